// Tray events and commands that arrive while the UI thread is inside an
// operation: from a call into a window (here a window of this thread, whose
// procedure runs inside the call), a pumped wait or a modal loop.
#include <gtest/gtest.h>

#include <set>

#include "app/Names.h"
#include "app/Scoped.h"
#include "support/MenuReader.h"
#include "support/TestSupport.h"

namespace {

bool eachListedOnce(const TrayApp& app) {
    std::set<HWND> seen;
    for (const auto* list : {&app.visibleWindows, &app.hiddenWindows})
        for (const WindowEntry* entry : *list)
            if (!seen.insert(entry->getHandle()).second)
                return false;
    return true;
}

TEST(Reentry, ADoubleClickDuringASwitchIsDropped) {
    BareApp app;
    TestWindow a(WindowSpec{L"switch a"}), b(WindowSpec{L"switch b"}), c(WindowSpec{L"switch c"});
    app->scanDesktop();
    const size_t tracked = app->visibleWindows.size();
    int nested = 0;
    b.onMessage(WM_SHOWWINDOW, [&] {
        if (nested++ == 0)
            app->onTrayEvent(WM_LBUTTONDBLCLK);
    });
    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    EXPECT_GT(nested, 0) << "the event arrived during the switch";
    for (HWND w : {a.get(), b.get(), c.get()}) {
        EXPECT_FALSE(IsWindowVisible(w));
        EXPECT_TRUE(isListed(app->hiddenWindows, w));
    }
    EXPECT_TRUE(app->visibleWindows.empty());
    EXPECT_EQ(app->hiddenWindows.size(), tracked);
    EXPECT_TRUE(eachListedOnce(*app));
}

TEST(Reentry, ACommandDuringACommandIsDropped) {
    BareApp app;
    TestWindow a(WindowSpec{L"command a"}), b(WindowSpec{L"command b"});
    for (HWND w : {a.get(), b.get()}) {
        auto* entry = new WindowEntry(w);
        entry->refresh();
        app->visibleWindows.push_back(entry);
        app->menuWindows.push_back({entry, w});
    }
    int nested = 0;
    a.onMessage(WM_SHOWWINDOW, [&] {
        if (nested++ == 0) {
            app->onCommand(makeCommandId(0, ActionHide), 0);
            app->onCommand(makeCommandId(1, ActionHide), 0);
        }
    });
    app->executeWindowCommand(makeCommandId(0, ActionHide));
    EXPECT_GT(nested, 0);
    EXPECT_FALSE(IsWindowVisible(a.get()));
    EXPECT_TRUE(IsWindowVisible(b.get())) << "the nested command did not run";
    ASSERT_EQ(app->hiddenWindows.size(), 1u);
    EXPECT_EQ(app->hiddenWindows.front()->getHandle(), a.get());
    ASSERT_EQ(app->visibleWindows.size(), 1u);
    EXPECT_EQ(app->visibleWindows.front()->getHandle(), b.get());
}

// Inside the menu's loop: a second right click, as another program could send.
TEST(Reentry, ASecondRightClickWhileTheMenuIsOpenIsDropped) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    int menusSeen = 0;
    bool stillShowing = false;
    onceOwnWindowOpens(L"#32768", [&](HWND) {
        ++menusSeen;
        app->onTrayEvent(WM_RBUTTONUP);
        stillShowing = app->menuShowing;
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    EXPECT_EQ(menusSeen, 1) << "no nested menu";
    EXPECT_TRUE(stillShowing) << "the open menu still counts as open";
    EXPECT_FALSE(app->menuShowing);
    EXPECT_FALSE(app->busy);
    EXPECT_TRUE(lockIsFree(app->scanMutex));
}

int menusCreated = 0;

// Counts the popup menus this thread creates, open for a moment or not.
LRESULT CALLBACK countMenus(int code, WPARAM wParam, LPARAM lParam) {
    wchar_t name[16] = {};
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16) &&
        lstrcmpW(name, L"#32768") == 0)
        ++menusCreated;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Exit chosen while the menu is being built (another program sends it while
// the builder waits for a window to answer for its icon): no menu opens for
// the ending program, and the quit message still ends its loop.
TEST(Reentry, ExitWhileTheMenuIsBeingBuiltOpensNoMenuAndStillQuits) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    TestWindow window(WindowSpec{L"asked for its icon"});
    ASSERT_TRUE(waitUntilListed(*app, window.get()));
    window.onMessage(WM_GETICON, [&] { app->onCommand(ExitCommand, 0); });
    menusCreated = 0;
    HHOOK hook = SetWindowsHookExW(WH_CBT, countMenus, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    onceOwnWindowOpens(L"#32768", [](HWND) { EndMenu(); });
    app->onTrayEvent(WM_RBUTTONUP);
    UnhookWindowsHookEx(hook);
    window.onMessage(WM_GETICON, [] {});
    EXPECT_TRUE(app->quitting);
    EXPECT_EQ(menusCreated, 0) << "no menu opened";
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the loop still ends";
    EXPECT_FALSE(app->busy);
}

} // namespace
