#include "app/Scoped.h"
#include "app/TrayApp.h"

namespace {

// A window's icon answer older than this is asked for again when the menu
// is built; a program that changes its icon shows the new one in the next
// menu opened a second later.
constexpr DWORD IconFreshFor = 1000;
// A window that answered it has no icon of its own rarely gains one; it is
// asked again less often.
constexpr DWORD NoIconFreshFor = 10000;
// How long the menu waits for windows to answer before it opens with the
// icons it has; answers that come later are taken when they come.
constexpr DWORD IconWait = 50;

TrayApp* liveApp = nullptr;

void CALLBACK iconAnswered(HWND window, UINT, ULONG_PTR data, LRESULT answer) {
    auto* app = reinterpret_cast<TrayApp*>(data);
    // An answer may come after the app that asked is gone.
    if (app == liveApp)
        app->onIconAnswer(window, reinterpret_cast<HICON>(answer));
}

void redrawOpenMenus() {
    HWND popup = nullptr;
    while ((popup = FindWindowExW(nullptr, popup, L"#32768", nullptr)))
        if (GetWindowThreadProcessId(popup, nullptr) == GetCurrentThreadId())
            InvalidateRect(popup, nullptr, TRUE);
}

} // namespace

void TrayApp::acceptIconAnswers(bool accept) {
    if (accept)
        liveApp = this;
    else if (liveApp == this)
        liveApp = nullptr;
}

void TrayApp::requestIcons() {
    const DWORD now = GetTickCount();
    for (auto it = iconRequests.begin(); it != iconRequests.end();)
        it = IsWindow(*it) ? std::next(it) : iconRequests.erase(it);
    // The message is sent without waiting: a busy window answers when it
    // can, a hung one when it is itself again, and neither holds up the
    // menu. A request still unanswered is not repeated.
    for (WindowEntry* entry : visibleWindows) {
        HWND window = entry->getHandle();
        const DWORD freshFor = entry->answeredNoIcon() ? NoIconFreshFor : IconFreshFor;
        if (!entry->iconStale(now, freshFor) || iconRequests.count(window))
            continue;
        iconRequests.insert(window);
        if (SendMessageCallbackW(window, WM_GETICON, ICON_SMALL, 0, iconAnswered,
                                 reinterpret_cast<ULONG_PTR>(this)))
            continue;
        // Refused (a program running as administrator; under Wine, any other
        // program): it will not answer later either, so it is not asked again.
        iconRequests.erase(window);
        entry->noteIconUnavailable();
    }
    const DWORD start = GetTickCount();
    while (!iconRequests.empty()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= IconWait)
            break;
        // Answers arrive with the thread's sent messages.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, IconWait - elapsed, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void TrayApp::onIconAnswer(HWND window, HICON icon) {
    iconRequests.erase(window);
    MutexLock lock(scanMutex);
    for (WindowEntry* entry : visibleWindows) {
        if (entry->getHandle() == window) {
            const HICON before = entry->getIcon();
            entry->noteIconAnswer(icon);
            if (menuShowing && entry->getIcon() != before)
                redrawOpenMenus();
            return;
        }
    }
}
