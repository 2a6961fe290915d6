#include <gtest/gtest.h>

#include <algorithm>

#include "app/Names.h"
#include "support/TestSupport.h"

namespace {

int positionOf(const std::list<WindowEntry*>& list, HWND window) {
    int i = 0;
    for (WindowEntry* entry : list) {
        if (entry->getHandle() == window)
            return i;
        ++i;
    }
    return -1;
}

TEST(Qualifies, CaptionStylesAndOwnerDecide) {
    TestWindow owner(WindowSpec{L"owner"});
    struct Case {
        const wchar_t* caption;
        DWORD exStyle;
        bool owned;
        bool qualifies;
    } cases[] = {
        {L"plain", 0, false, true},
        {L"", 0, false, false},
        {L"", WS_EX_APPWINDOW, false, false},
        {L"tool", WS_EX_TOOLWINDOW, false, false},
        {L"tool app", WS_EX_TOOLWINDOW | WS_EX_APPWINDOW, false, true},
        {L"owned", 0, true, false},
        {L"owned app", WS_EX_APPWINDOW, true, true},
        {L"owned tool app", WS_EX_TOOLWINDOW | WS_EX_APPWINDOW, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "caption '" << std::string(c.caption, c.caption + wcslen(c.caption)) << "' exStyle "
                     << c.exStyle << " owned " << c.owned);
        WindowSpec spec{c.caption};
        spec.exStyle = c.exStyle;
        spec.owner = c.owned ? owner.get() : nullptr;
        TestWindow window(spec);
        ASSERT_NE(window.get(), nullptr);
        EXPECT_EQ(TrayApp::qualifies(window.get()), c.qualifies);
    }
}

TEST(Scan, FollowsZOrderTopmostFirst) {
    BareApp app;
    TestWindow a(WindowSpec{L"window a"}), b(WindowSpec{L"window b"}), c(WindowSpec{L"window c"});
    for (HWND w : {c.get(), b.get(), a.get()})
        SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    app->scanDesktop();
    EXPECT_LT(positionOf(app->visibleWindows, a.get()), positionOf(app->visibleWindows, b.get()));
    EXPECT_LT(positionOf(app->visibleWindows, b.get()), positionOf(app->visibleWindows, c.get()));
    WindowEntry* entryOfC = entryFor(app->visibleWindows, c.get());

    SetWindowPos(c.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    app->scanDesktop();
    EXPECT_LT(positionOf(app->visibleWindows, c.get()), positionOf(app->visibleWindows, a.get()));
    EXPECT_EQ(entryFor(app->visibleWindows, c.get()), entryOfC) << "an entry keeps its identity";
}

TEST(Scan, DropsClosedWindowsAndWindowsHiddenByTheirProgram) {
    BareApp app;
    TestWindow kept(WindowSpec{L"kept"}), closed(WindowSpec{L"closed"}), tucked(WindowSpec{L"tucked"}),
        alsoClosed(WindowSpec{L"also closed"});
    app->scanDesktop();
    WindowEntry* keptEntry = entryFor(app->visibleWindows, kept.get());
    ASSERT_NE(keptEntry, nullptr);
    const HWND closedHandle = closed.get();
    const HWND alsoClosedHandle = alsoClosed.get();
    closed.destroy();
    alsoClosed.destroy();
    ShowWindow(tucked.get(), SW_HIDE);
    app->scanDesktop();
    for (HWND gone : {closedHandle, alsoClosedHandle, tucked.get()}) {
        EXPECT_FALSE(isListed(app->visibleWindows, gone));
        EXPECT_FALSE(isListed(app->hiddenWindows, gone));
    }
    EXPECT_EQ(entryFor(app->visibleWindows, kept.get()), keptEntry);
}

TEST(Scan, WindowShownByItsOwnerComesBackStillMarkedHidden) {
    BareApp app;
    TestWindow window(WindowSpec{L"shown by owner"});
    app->scanDesktop();
    WindowEntry* entry = hideTracked(*app, window.get());
    ASSERT_NE(entry, nullptr);

    app->scanDesktop();
    EXPECT_EQ(entryFor(app->hiddenWindows, window.get()), entry) << "still hidden: stays in hiddenWindows";

    ShowWindow(window.get(), SW_SHOWNORMAL);
    app->scanDesktop();
    EXPECT_EQ(entryFor(app->visibleWindows, window.get()), entry);
    EXPECT_FALSE(isListed(app->hiddenWindows, window.get()));
    EXPECT_TRUE(entry->isHidden());
}

TEST(Scan, HiddenWindowThatIsDestroyedLosesItsEntry) {
    BareApp app;
    TestWindow window(WindowSpec{L"hidden then closed"});
    app->scanDesktop();
    WindowEntry* entry = hideTracked(*app, window.get());
    ASSERT_NE(entry, nullptr);
    window.destroy();
    app->scanDesktop();
    EXPECT_TRUE(app->hiddenWindows.empty());
}

TEST(Scan, HungWindowDelaysAPassOnlyBoundedly) {
    HANDLE host = launch(L"\"" + testFolder() + L"window_host.exe\" 1 h");
    ASSERT_NE(host, nullptr);
    HWND hung = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (hung = findWindowOf(host, L"host window 0")) && IsWindowVisible(hung); }, 20000));
    BareApp app;
    app->scanDesktop();
    const DWORD start = GetTickCount();
    app->scanDesktop();
    const DWORD elapsed = GetTickCount() - start;
    // One unanswered icon request costs at most its 500 ms time-out; the
    // bound here only catches a pass that waits on the window for good.
    EXPECT_LT(elapsed, 4000u);
    EXPECT_TRUE(isListed(app->visibleWindows, hung));
    TerminateProcess(host, 0);
    CloseHandle(host);
}

TEST(Watcher, TeardownWaitsForASlowPass) {
    HANDLE host = launch(L"\"" + testFolder() + L"window_host.exe\" 3 h");
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(waitFor([&] { return findWindowOf(host, L"host window 2") != nullptr; }, 20000));
    // Each round ends the app while the watcher is likely inside a pass that
    // waits on the hung windows; freed entries in use would crash the process.
    for (int round = 0; round < 150; ++round) {
        AppUnderTest app;
        ASSERT_TRUE(app.start());
        pumpMessages(static_cast<DWORD>(round * 7 % 120));
        if (round % 2)
            app->quitting = true;
        app.shutDown();
    }
    TerminateProcess(host, 0);
    CloseHandle(host);
}

} // namespace
