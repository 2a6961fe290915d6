#include "app/Names.h"
#include "app/Scoped.h"
#include "app/TrayApp.h"

#include <algorithm>

namespace {

constexpr int QualifyTextChars = 63;
constexpr DWORD PassPeriod = 100;

} // namespace

bool TrayApp::qualifies(HWND window) {
    wchar_t text[QualifyTextChars];
    if (GetWindowTextW(window, text, QualifyTextChars) == 0)
        return false;
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    if (exStyle & WS_EX_APPWINDOW)
        return true;
    if (exStyle & WS_EX_TOOLWINDOW)
        return false;
    return GetWindow(window, GW_OWNER) == nullptr;
}

void TrayApp::scanDesktop() {
    const size_t hiddenBefore = hiddenWindows.size();
    for (auto it = hiddenWindows.begin(); it != hiddenWindows.end();) {
        WindowEntry* entry = *it;
        HWND window = entry->getHandle();
        if (!IsWindow(window)) {
            destroyEntry(entry);
            it = hiddenWindows.erase(it);
        } else if (IsWindowVisible(window)) {
            // Shown again by some other means: track it as visible once more.
            it = hiddenWindows.erase(it);
            if (qualifies(window))
                visibleWindows.push_back(entry);
            else
                destroyEntry(entry);
        } else {
            ++it;
        }
    }

    if (hiddenWindows.size() != hiddenBefore)
        rescue.publish(hiddenWindows);

    size_t confirmed = 0;
    for (HWND window = GetTopWindow(GetDesktopWindow()); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (!IsWindow(window) || !IsWindowVisible(window) || !qualifies(window))
            continue;
        auto found = std::find_if(visibleWindows.begin(), visibleWindows.end(),
                                  [window](const WindowEntry* e) { return e->getHandle() == window; });
        if (found != visibleWindows.end()) {
            // Moving the node keeps the entry and costs no allocation.
            visibleWindows.splice(visibleWindows.end(), visibleWindows, found);
        } else {
            visibleWindows.push_back(new WindowEntry(window));
        }
        visibleWindows.back()->refresh();
        ++confirmed;
    }

    // Everything confirmed now stands behind what was not; drop the rest.
    for (size_t excess = visibleWindows.size() - confirmed; excess > 0; --excess) {
        destroyEntry(visibleWindows.front());
        visibleWindows.pop_front();
    }
}

DWORD WINAPI watcherThreadProc(void*) {
    HWND corner = FindWindowW(names::WindowClass, nullptr);
    auto* app = corner ? static_cast<TrayApp*>(GetPropW(corner, names::AppProperty)) : nullptr;
    if (!app)
        return 0;
    while (!app->quitting && !app->watcherStop) {
        const DWORD passStart = GetTickCount();
        {
            MutexLock lock(app->scanMutex);
            app->scanDesktop();
        }
        const DWORD elapsed = GetTickCount() - passStart;
        Sleep(elapsed <= PassPeriod ? PassPeriod - elapsed : 1);
    }
    return 0;
}
