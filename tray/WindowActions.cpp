#include "app/Names.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "tracking/ScreenEdges.h"
#include "tracking/WindowCalls.h"
#include "tracking/WindowEntry.h"
#include "tracking/WindowMarks.h"

#include <memory>

namespace {

constexpr BYTE Opaque = 0xFF;

// A hide request on another thread's window counts as carried out once this
// long has passed and the thread is not hung: a thread not hung has taken
// its messages within the last five seconds (after that IsHungAppWindow says
// so), and taking them carries out the requests queued before.
constexpr DWORD HidePendingGrace = 6000;

// SetWindowPlacement reads a top-level window's normal position in workspace
// coordinates: screen coordinates less the offset of the work area on the
// monitor that holds the rectangle. Tool windows use screen coordinates.
POINT workspaceOffset(HWND window, const RECT& r) {
    if (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        return {0, 0};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info))
        return {0, 0};
    return {info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
}

RECT toWorkspace(HWND window, RECT r) {
    const POINT offset = workspaceOffset(window, r);
    OffsetRect(&r, -offset.x, -offset.y);
    return r;
}

RECT toScreen(HWND window, RECT r) {
    const POINT offset = workspaceOffset(window, r);
    OffsetRect(&r, offset.x, offset.y);
    return r;
}

void moveTo(HWND window, const RECT& r) {
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Puts the window in its normal state at `screenRect`. Returns the window's
// own normal rectangle in screen coordinates when it had to be read on the
// way (see below), else an empty one.
RECT placeNormal(HWND window, const RECT& screenRect) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    placement.showCmd = SW_SHOWNORMAL;
    placement.rcNormalPosition = toWorkspace(window, screenRect);
    if (SetWindowPlacement(window, &placement))
        return {};
    // Wine refuses SetWindowPlacement on another process's window, and its
    // GetWindowPlacement then reports the current rectangle as the normal
    // one. The window restored to normal shows the real one.
    ShowWindow(window, SW_SHOWNORMAL);
    RECT normal{};
    GetWindowRect(window, &normal);
    moveTo(window, screenRect);
    return normal;
}

void restorePlacement(HWND window, WINDOWPLACEMENT placement) {
    // A placement read while the window was hidden says so; restoring it
    // must never hide the window.
    if (placement.showCmd == SW_HIDE)
        placement.showCmd = SW_SHOWNORMAL;
    if (SetWindowPlacement(window, &placement))
        return;
    ShowWindow(window, SW_SHOWNORMAL);
    moveTo(window, toScreen(window, placement.rcNormalPosition));
    if (placement.showCmd != SW_SHOWNORMAL)
        ShowWindow(window, static_cast<int>(placement.showCmd));
}

// Grows `r`, a client rectangle in screen coordinates, by the window's frame
// less its menu bar. The frame is measured as the window stands on the
// screen, so it is right at whatever DPI the window and its monitor have,
// and for windows that draw their own frame. A minimised window shows no
// frame: its style says what the frame will be, at the window's own DPI.
void addFrame(HWND window, RECT& r) {
    RECT frame{}, client{};
    if (!IsIconic(window) && GetWindowRect(window, &frame) && GetClientRect(window, &client)) {
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        int top = client.top - frame.top;
        MENUBARINFO menuBar{};
        menuBar.cbSize = sizeof(menuBar);
        if (GetMenu(window) && GetMenuBarInfo(window, OBJID_MENU, 0, &menuBar))
            top -= menuBar.rcBar.bottom - menuBar.rcBar.top;
        r.left -= client.left - frame.left;
        r.top -= top;
        r.right += frame.right - client.right;
        r.bottom += frame.bottom - client.bottom;
        return;
    }
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    using DpiForWindowFn = UINT(WINAPI*)(HWND);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto adjustForDpi = findExport<AdjustForDpiFn>(user32, "AdjustWindowRectExForDpi");
    auto dpiForWindow = findExport<DpiForWindowFn>(user32, "GetDpiForWindow");
    const UINT dpi = dpiForWindow ? dpiForWindow(window) : 0;
    if (adjustForDpi && dpi)
        adjustForDpi(&r, style, FALSE, exStyle, dpi);
    else
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

} // namespace

bool WindowEntry::toggleHidden() {
    if (hidden) {
        showWindowNoWait(hwnd, static_cast<int>(savedShowCmd));
        unmarkHidden(hwnd);
        hidden = false;
        return false;
    }
    // Marked first: whatever ends this process from here on, the mark
    // brings the window back.
    markHidden(hwnd, savedShowCmd);
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_MINIMIZEBOX)
        showWindowNoWait(hwnd, SW_SHOWMINIMIZED);
    showWindowNoWait(hwnd, SW_HIDE);
    hidden = true;
    hideTick = GetTickCount();
    // This thread's windows are hidden at once; another thread's only when
    // it has handled the request (see hidePending).
    hideLanded = ownedByThisThread(hwnd);
    return true;
}

void WindowEntry::forgetHidden() {
    hidden = false;
    unmarkHidden(hwnd);
}

bool WindowEntry::hidePending(DWORD now) const {
    return hidden && !hideLanded && (now - hideTick < HidePendingGrace || IsHungAppWindow(hwnd));
}

bool WindowEntry::toggleTopmost() {
    const bool topmost = GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST;
    SetWindowPos(hwnd, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    return !topmost;
}

bool WindowEntry::setAlpha(int alpha) {
    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    ScopedLibrary user32(loadSystemLibrary(L"user32.dll"));
    if (!user32)
        return false;
    auto setLayered = findExport<SetLayeredFn>(user32.get(), "SetLayeredWindowAttributes");
    if (!setLayered)
        return false;
    const BYTE level = static_cast<BYTE>(alpha & 0xFF);
    LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    // Full opacity takes layering off; it never puts it on a window that
    // was opaque already.
    exStyle = level == Opaque ? exStyle & ~WS_EX_LAYERED : exStyle | WS_EX_LAYERED;
    // A fully transparent window is as good as hidden: it is marked before
    // it fades, and unmarked once it is visible again, so that it never
    // stays invisible after this program.
    const bool invisible = level == 0;
    const bool wasMarked = markedInvisible(hwnd);
    if (invisible)
        markInvisible(hwnd);
    // Restyling another thread's window waits for it. The library handle is
    // the system's user32, loaded for the life of the process, so the
    // function stays valid should the change land late.
    const WindowCall result =
        callWindow(hwnd, WindowCallLimit, [window = hwnd, exStyle, setLayered, level, invisible] {
            SetWindowLongW(window, GWL_EXSTYLE, exStyle);
            setLayered(window, 0, level, LWA_ALPHA);
            if (!invisible)
                unmarkInvisible(window);
        });
    if (result == WindowCall::Refused && invisible && !wasMarked)
        unmarkInvisible(hwnd);
    return true;
}

bool WindowEntry::toggleFullScreen() {
    // A change still waiting for this window refuses this one, and decides
    // the window's state.
    if (fullScreen) {
        if (callWindow(hwnd, WindowCallLimit, [window = hwnd, placement = savedPlacement] {
                restorePlacement(window, placement);
            }) != WindowCall::Refused)
            fullScreen = false;
        return fullScreen;
    }
    savedPlacement = readPlacement(hwnd);
    // The monitor the window is on; with one monitor, the screen.
    RECT monitor{}, workArea{};
    windowMonitor(hwnd, monitor, workArea);
    std::vector<RECT> taskbars;
    for (HWND taskbar : findTaskbars()) {
        RECT bar{};
        GetWindowRect(taskbar, &bar);
        taskbars.push_back(bar);
    }
    RECT screen = fullScreenArea(monitor, taskbars);
    addFrame(hwnd, screen);
    auto normal = std::make_shared<RECT>();
    const WindowCall result = callWindow(
        hwnd, WindowCallLimit, [window = hwnd, screen, normal] { *normal = placeNormal(window, screen); });
    if (result == WindowCall::Refused)
        return false;
    if (result == WindowCall::Done && !IsRectEmpty(normal.get()))
        savedPlacement.rcNormalPosition = toWorkspace(hwnd, *normal);
    fullScreen = true;
    return true;
}

bool WindowEntry::moveToOrigin() {
    // The client area as it stands on the screen, moved to (0, 0).
    RECT r{};
    GetClientRect(hwnd, &r);
    if (!IsIconic(hwnd)) {
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        OffsetRect(&r, -r.left, -r.top);
    }
    addFrame(hwnd, r);
    // The corner of the work area of the window's own monitor.
    RECT monitor{}, workArea{};
    windowMonitor(hwnd, monitor, workArea);
    r = atWorkAreaCorner(r, workArea);
    callWindow(hwnd, WindowCallLimit, [window = hwnd, r] { placeNormal(window, r); });
    return true;
}
