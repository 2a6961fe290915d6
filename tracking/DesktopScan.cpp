#include "app/Names.h"
#include "app/Scoped.h"
#include "app/TrayApp.h"
#include "tracking/Cloaking.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr int QualifyTextChars = 63;
constexpr DWORD PassPeriod = 100;

// The z-order walk holds the scan mutex, which the menu waits for. While
// other programs restack their windows the walk can meet a window twice or
// keep meeting new ones; it stops after this many steps or this long, and at
// once when the UI thread waits for the mutex.
constexpr size_t MaxWalkSteps = 20000;
constexpr DWORD MaxWalkTime = 2000;

} // namespace

bool TrayApp::qualifies(HWND window) {
    wchar_t text[QualifyTextChars];
    if (GetWindowTextW(window, text, QualifyTextChars) == 0)
        return false;
    if (isCloaked(window))
        return false;
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    if (exStyle & WS_EX_APPWINDOW)
        return true;
    if (exStyle & WS_EX_TOOLWINDOW)
        return false;
    return GetWindow(window, GW_OWNER) == nullptr;
}

void TrayApp::scanDesktop() {
    const DWORD passStart = GetTickCount();
    for (auto it = hiddenWindows.begin(); it != hiddenWindows.end();) {
        WindowEntry* entry = *it;
        HWND window = entry->getHandle();
        if (!IsWindow(window)) {
            destroyEntry(entry);
            it = hiddenWindows.erase(it);
        } else if (!IsWindowVisible(window) || entry->hidePending(passStart)) {
            ++it; // hidden, or the window's thread has yet to hide it
        } else {
            // Shown again by its own program once the hide had landed: an
            // ordinary visible window from now on, tracked as one if it
            // qualifies.
            entry->forgetHidden();
            it = hiddenWindows.erase(it);
            if (qualifies(window))
                visibleWindows.push_back(entry);
            else
                destroyEntry(entry);
        }
    }

    // Every window is looked at once per pass, so each entry is confirmed at
    // most once. A window this program hides is never listed as visible too,
    // even while its thread has yet to hide it.
    std::unordered_set<HWND> met;
    for (const WindowEntry* entry : hiddenWindows)
        met.insert(entry->getHandle());
    // Where each window's entry stands; moving nodes within the list keeps
    // these valid, and the lookup costs the same at 10 windows as at 1,000.
    std::unordered_map<HWND, std::list<WindowEntry*>::iterator> entries;
    for (auto it = visibleWindows.begin(); it != visibleWindows.end(); ++it)
        entries.emplace((*it)->getHandle(), it);
    // The windows the walk confirms gather here, in z-order.
    std::list<WindowEntry*> walked;
    size_t steps = 0;
    bool walkComplete = true;
    for (HWND window = GetTopWindow(GetDesktopWindow()); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (++steps > MaxWalkSteps || GetTickCount() - passStart > MaxWalkTime || uiWaiting) {
            walkComplete = false;
            break;
        }
        if (!met.insert(window).second)
            continue;
        if (!IsWindowVisible(window) || !qualifies(window))
            continue;
        auto found = entries.find(window);
        if (found != entries.end()) {
            // Moving the node keeps the entry and costs no allocation.
            walked.splice(walked.end(), visibleWindows, found->second);
        } else {
            walked.push_back(new WindowEntry(window));
        }
        walked.back()->refresh();
    }

    // What the walk did not confirm goes. A walk cut short has not seen
    // every window: nothing goes, and what it did not reach keeps its last
    // known order behind the windows it confirmed, which stand above it.
    while (walkComplete && !visibleWindows.empty()) {
        destroyEntry(visibleWindows.front());
        visibleWindows.pop_front();
    }
    visibleWindows.splice(visibleWindows.begin(), walked);
}

void TrayApp::lockForUi() {
    uiWaiting = true;
    (void)waitHandlingSentMessages(scanMutex);
    uiWaiting = false;
}

UiLock::UiLock(TrayApp& app) : mutex(app.scanMutex) {
    app.lockForUi();
}

UiLock::~UiLock() {
    ReleaseMutex(mutex);
}

DWORD WINAPI watcherThreadProc(void* parameter) {
    auto* app = static_cast<TrayApp*>(parameter);
    if (!app || !app->scanMutex)
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
