// Window icons are asked for when the menu is built, never on the 100 ms
// pass, and without waiting. The windows here belong to other threads: Wine
// passes WM_GETICON between threads as Windows does between processes.
#include <gtest/gtest.h>

#include "app/Scoped.h"
#include "support/TestSupport.h"

namespace {

HICON listedIcon(TrayApp& app, HWND window) {
    MutexLock lock(app.scanMutex);
    WindowEntry* entry = entryFor(app.visibleWindows, window);
    return entry ? entry->getIcon() : nullptr;
}

bool listed(TrayApp& app, HWND window) {
    MutexLock lock(app.scanMutex);
    return isListed(app.visibleWindows, window);
}

// The icon the open menu shows for the window, read inside the menu's loop.
HICON iconInTheMenu(AppUnderTest& app, HWND window) {
    HICON shown = nullptr;
    onceOwnWindowOpens(L"#32768", [&](HWND) {
        shown = listedIcon(*app, window);
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    return shown;
}

TEST(Icons, PassesAskNoWindowForItsIcon) {
    BareApp app;
    ThreadWindow window(L"left in peace");
    app->scanDesktop();
    ASSERT_TRUE(isListed(app->visibleWindows, window.get()));
    const LONG before = window.iconRequests();
    for (int pass = 0; pass < 10; ++pass)
        app->scanDesktop();
    EXPECT_EQ(window.iconRequests(), before) << "ten passes woke the window's program";
}

TEST(Icons, AnIconItsProgramChangesShowsInTheNextMenu) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    ThreadWindow window(L"changes its icon");
    const HICON first = LoadIconW(nullptr, IDI_APPLICATION);
    const HICON second = LoadIconW(nullptr, IDI_WARNING);
    window.answerIcon(first);
    ASSERT_TRUE(waitFor([&] { return listed(*app, window.get()); }));
    EXPECT_EQ(iconInTheMenu(app, window.get()), first);

    window.answerIcon(second);
    pumpMessages(1100);
    EXPECT_EQ(iconInTheMenu(app, window.get()), second);
    EXPECT_EQ(window.iconRequests(), 2) << "asked once per menu, not on every pass";
}

TEST(Icons, ABusyWindowHoldsUpNeitherTheMenuNorThePasses) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    ThreadWindow busy(L"busy program");
    const HICON answer = LoadIconW(nullptr, IDI_WARNING);
    busy.answerIcon(answer);
    ASSERT_TRUE(waitFor([&] { return listed(*app, busy.get()); }));
    busy.holdIconAnswers(true);

    bool openedWhileBusy = false;
    onceOwnWindowOpens(L"#32768", [&](HWND) {
        openedWhileBusy = !busy.answering();
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    EXPECT_TRUE(openedWhileBusy) << "the menu opened without the window's answer";
    TestWindow later(WindowSpec{L"opened meanwhile"});
    EXPECT_TRUE(waitFor([&] { return listed(*app, later.get()); })) << "the passes go on";

    busy.holdIconAnswers(false);
    EXPECT_TRUE(waitFor([&] { return listedIcon(*app, busy.get()) == answer; })) << "a late answer is taken";
}

} // namespace
