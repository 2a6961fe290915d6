#include "app/Names.h"
#include "app/Scoped.h"
#include "tracking/ScreenEdges.h"
#include "tracking/WindowEntry.h"

namespace {

constexpr BYTE Opaque = 0xFF;

// Places a window as `placement` says. Wine refuses SetWindowPlacement on
// another process's window; there the same end state is reached by moving
// the window and then applying the show command.
void applyPlacement(HWND window, const WINDOWPLACEMENT& placement) {
    if (SetWindowPlacement(window, &placement))
        return;
    RECT r = placement.rcNormalPosition;
    // The normal position is in workspace coordinates; SetWindowPos wants
    // screen coordinates.
    if (!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        OffsetRect(&r, work.left, work.top);
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (placement.showCmd != SW_SHOWNORMAL)
        ShowWindow(window, placement.showCmd);
}

WINDOWPLACEMENT normalPlacement(const RECT& position) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    placement.showCmd = SW_SHOWNORMAL;
    placement.rcNormalPosition = position;
    return placement;
}

void addFrame(HWND window, RECT& r) {
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
}

} // namespace

bool WindowEntry::toggleHidden() {
    if (hidden) {
        ShowWindow(hwnd, static_cast<int>(savedShowCmd));
        hidden = false;
        return false;
    }
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_MINIMIZEBOX)
        ShowWindow(hwnd, SW_SHOWMINIMIZED);
    ShowWindow(hwnd, SW_HIDE);
    hidden = true;
    return true;
}

bool WindowEntry::toggleTopmost() {
    const bool topmost = GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST;
    SetWindowPos(hwnd, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return !topmost;
}

bool WindowEntry::setAlpha(int alpha) {
    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    ScopedLibrary user32(LoadLibraryW(L"user32.dll"));
    if (!user32)
        return false;
    auto setLayered = findExport<SetLayeredFn>(user32.get(), "SetLayeredWindowAttributes");
    if (!setLayered)
        return false;
    const BYTE level = static_cast<BYTE>(alpha & 0xFF);
    LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    // Full opacity switches layering off again on a layered window.
    exStyle = level == Opaque ? exStyle ^ WS_EX_LAYERED : exStyle | WS_EX_LAYERED;
    SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle);
    setLayered(hwnd, 0, level, LWA_ALPHA);
    return true;
}

bool WindowEntry::toggleFullScreen() {
    if (fullScreen) {
        applyPlacement(hwnd, savedPlacement);
        fullScreen = false;
        return false;
    }
    savedPlacement = {};
    savedPlacement.length = sizeof(savedPlacement);
    GetWindowPlacement(hwnd, &savedPlacement);
    RECT screen = screenLessTaskbar(cutTaskbarDocked);
    addFrame(hwnd, screen);
    applyPlacement(hwnd, normalPlacement(screen));
    fullScreen = true;
    return true;
}

bool WindowEntry::moveToOrigin() {
    RECT r{};
    GetClientRect(hwnd, &r);
    addFrame(hwnd, r);
    applyPlacement(hwnd, normalPlacement(r));
    return true;
}
