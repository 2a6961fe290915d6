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
