#include "tracking/ScreenEdges.h"
#include "app/Names.h"

RECT cutTaskbarReaching(RECT r, const RECT& t) {
    if (t.right >= r.right && t.top <= r.top && t.bottom >= r.bottom)
        r.right = t.left;
    else if (t.bottom >= r.bottom && t.left <= r.left && t.right >= r.right)
        r.bottom = t.top;
    else if (t.left <= r.left && t.top <= r.top && t.bottom >= r.bottom)
        r.left = t.right;
    else if (t.top <= r.top && t.left <= r.left && t.right >= r.right)
        r.top = t.bottom;
    return r;
}

RECT cutTaskbarDocked(RECT s, const RECT& t) {
    if (t.right == s.right && t.top == s.top && t.bottom == s.bottom)
        s.right = t.left;
    else if (t.left == s.left && t.right == s.right && t.bottom == s.bottom)
        s.bottom = t.top;
    else if (t.left == s.left && t.top == s.top && t.bottom == s.bottom)
        s.left = t.right;
    else if (t.left == s.left && t.top == s.top && t.right == s.right)
        s.top = t.bottom;
    return s;
}

RECT screenLessTaskbar(RECT (*cut)(RECT, const RECT&)) {
    RECT screen{};
    GetWindowRect(GetDesktopWindow(), &screen);
    HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
    if (!taskbar)
        return screen;
    RECT bar{};
    GetWindowRect(taskbar, &bar);
    return cut(screen, bar);
}

RECT fullScreenArea(const RECT& monitor, const std::vector<RECT>& taskbars) {
    for (const RECT& taskbar : taskbars) {
        const POINT centre{taskbar.left + (taskbar.right - taskbar.left) / 2,
                           taskbar.top + (taskbar.bottom - taskbar.top) / 2};
        if (PtInRect(&monitor, centre))
            return cutTaskbarDocked(monitor, taskbar);
    }
    return monitor;
}

RECT atWorkAreaCorner(RECT frame, const RECT& workArea) {
    OffsetRect(&frame, workArea.left, workArea.top);
    return frame;
}

std::vector<HWND> findTaskbars() {
    std::vector<HWND> taskbars;
    if (HWND primary = FindWindowW(names::TaskbarClass, nullptr))
        taskbars.push_back(primary);
    HWND secondary = nullptr;
    while ((secondary = FindWindowExW(nullptr, secondary, names::SecondaryTaskbarClass, nullptr)))
        taskbars.push_back(secondary);
    return taskbars;
}

void windowMonitor(HWND window, RECT& monitor, RECT& workArea) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) {
        monitor = info.rcMonitor;
        workArea = info.rcWork;
        return;
    }
    GetWindowRect(GetDesktopWindow(), &monitor);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
}
