#include <gtest/gtest.h>

#include <algorithm>

#include "app/Names.h"
#include "app/Scoped.h"
#include "support/TestSupport.h"
#include "tracking/WindowMarks.h"

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

// Stacks the windows so the first is on top and each lies under the one
// before it.
void stackTopFirst(std::initializer_list<HWND> windows) {
    for (auto it = std::rbegin(windows); it != std::rend(windows); ++it)
        SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
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
    stackTopFirst({a.get(), b.get(), c.get()});
    app->scanDesktop();
    EXPECT_LT(positionOf(app->visibleWindows, a.get()), positionOf(app->visibleWindows, b.get()));
    EXPECT_LT(positionOf(app->visibleWindows, b.get()), positionOf(app->visibleWindows, c.get()));
    WindowEntry* entryOfC = entryFor(app->visibleWindows, c.get());

    SetWindowPos(c.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    app->scanDesktop();
    EXPECT_LT(positionOf(app->visibleWindows, c.get()), positionOf(app->visibleWindows, a.get()));
    EXPECT_EQ(entryFor(app->visibleWindows, c.get()), entryOfC) << "an entry keeps its identity";
}

// The UI thread asks for the lock while the walk is half done: the walk
// gives way. The menu built next must still list the windows in z-order,
// those the walk confirmed above those it did not reach, and lose none.
TEST(Scan, AWalkThatGivesWayKeepsTheZOrderAndDropsNothing) {
    BareApp app;
    TestWindow a(WindowSpec{L"given way a"}), b(WindowSpec{L"given way b"}), c(WindowSpec{L"given way c"});
    stackTopFirst({a.get(), b.get(), c.get()});
    app->scanDesktop();
    ASSERT_LT(positionOf(app->visibleWindows, a.get()), positionOf(app->visibleWindows, b.get()));
    ASSERT_LT(positionOf(app->visibleWindows, b.get()), positionOf(app->visibleWindows, c.get()));
    const size_t listed = app->visibleWindows.size();

    SetWindowPos(c.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    bool gaveWay = false;
    c.onMessage(WM_GETTEXT, [&] {
        app->uiWaiting = true;
        gaveWay = true;
    });
    app->scanDesktop();
    c.onMessage(WM_GETTEXT, [] {});
    app->uiWaiting = false;
    ASSERT_TRUE(gaveWay);
    EXPECT_EQ(app->visibleWindows.size(), listed) << "a walk cut short drops nothing";
    EXPECT_LT(positionOf(app->visibleWindows, c.get()), positionOf(app->visibleWindows, a.get()));
    EXPECT_LT(positionOf(app->visibleWindows, a.get()), positionOf(app->visibleWindows, b.get()));
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

// Hidden by this program and shown again by its own once the hide had
// landed, the window is an ordinary visible one: its Hide item and the
// desktop switch hide it, and when its own program hides it later, this
// program does not take it for one of its own and leaves it be at exit.
TEST(Scan, WindowShownByItsOwnerAfterTheHideLandedIsAnOrdinaryVisibleWindow) {
    BareApp app;
    TestWindow window(WindowSpec{L"shown by owner"});
    HWND w = window.get();
    app->scanDesktop();
    WindowEntry* entry = hideTracked(*app, w);
    ASSERT_NE(entry, nullptr);
    app->scanDesktop();
    EXPECT_EQ(entryFor(app->hiddenWindows, w), entry) << "still hidden: stays in hiddenWindows";

    auto shownByItsProgram = [&] {
        ShowWindow(w, SW_SHOWNORMAL);
        app->scanDesktop();
        WindowEntry* listed = entryFor(app->visibleWindows, w);
        EXPECT_NE(listed, nullptr);
        EXPECT_FALSE(isListed(app->hiddenWindows, w));
        EXPECT_FALSE(listed && listed->isHidden());
        EXPECT_FALSE(markedHidden(w));
        return listed;
    };
    entry = shownByItsProgram();

    app->menuWindows = {{entry, w}};
    app->executeWindowCommand(makeCommandId(0, ActionHide));
    EXPECT_FALSE(IsWindowVisible(w)) << "its Hide item hides it";
    EXPECT_EQ(entryFor(app->hiddenWindows, w), entry);
    app->scanDesktop();
    shownByItsProgram();

    app->lastSwitchTick = GetTickCount() - 2000;
    app->switchDesktop();
    EXPECT_FALSE(IsWindowVisible(w)) << "the desktop switch hides it";
    app->scanDesktop();
    shownByItsProgram();

    ShowWindow(w, SW_HIDE); // its program tucks it away itself
    app->scanDesktop();
    EXPECT_FALSE(isListed(app->visibleWindows, w));
    EXPECT_FALSE(isListed(app->hiddenWindows, w));
    app->restoreHiddenWindows();
    EXPECT_FALSE(IsWindowVisible(w)) << "not this program's to show";
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

int countListed(const std::list<WindowEntry*>& list, HWND window) {
    return static_cast<int>(std::count_if(
        list.begin(), list.end(), [window](const WindowEntry* e) { return e->getHandle() == window; }));
}

// While the walk reads one window's caption the other drops to the bottom,
// behind the walk, so the walk meets it again; and again, were it not for
// remembering what it has met.
TEST(Scan, WindowsRestackedDuringTheWalkAreListedOnceAndTheWalkEnds) {
    BareApp app;
    TestWindow a(WindowSpec{L"restacked a"}), b(WindowSpec{L"restacked b"});
    app->scanDesktop();
    int moves = 0;
    auto sendToBottom = [&](HWND other) {
        return [&moves, other] {
            if (moves < 300 && ++moves)
                SetWindowPos(other, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        };
    };
    a.onMessage(WM_GETTEXT, sendToBottom(b.get()));
    b.onMessage(WM_GETTEXT, sendToBottom(a.get()));
    app->scanDesktop();
    a.onMessage(WM_GETTEXT, [] {});
    b.onMessage(WM_GETTEXT, [] {});
    EXPECT_LT(moves, 20) << "the walk did not keep going round";
    EXPECT_EQ(countListed(app->visibleWindows, a.get()), 1);
    EXPECT_EQ(countListed(app->visibleWindows, b.get()), 1);
    for (const WindowEntry* entry : app->visibleWindows)
        EXPECT_EQ(countListed(app->visibleWindows, entry->getHandle()), 1);
}

// A hide request waits in the queue of a thread that does not answer: the
// window stays in hiddenWindows, is not listed as visible too, and is hidden
// once its thread answers again.
TEST(Scan, HideWaitingForABusyWindowKeepsItInHiddenWindows) {
    OtherProgramWindow other(L"t");
    HWND window = other.window;
    ASSERT_NE(window, nullptr);
    BareApp app;
    app->scanDesktop();
    PostMessageW(window, HangMessage, 1500, 0);
    pumpMessages(100);
    WindowEntry* entry = hideTracked(*app, window);
    ASSERT_NE(entry, nullptr);
    app->scanDesktop();
    EXPECT_TRUE(IsWindowVisible(window)) << "its thread has not hidden it yet";
    EXPECT_EQ(entryFor(app->hiddenWindows, window), entry);
    EXPECT_FALSE(isListed(app->visibleWindows, window));
    EXPECT_TRUE(waitFor([&] { return !IsWindowVisible(window); }, 5000));
    app->scanDesktop();
    EXPECT_EQ(entryFor(app->hiddenWindows, window), entry);
    app->restoreHiddenWindows();
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != FALSE; }));
}

// The window's own program hides and shows it while this program's hide
// waits in its queue; seeing it go and come back proves nothing, and the
// hide that lands after must not lose the window.
TEST(Scan, AHideThatLandsAfterTheWindowsOwnProgramShowedItIsNotLost) {
    OtherProgramWindow other(L"t");
    HWND window = other.window;
    ASSERT_NE(window, nullptr);
    BareApp app;
    app->scanDesktop();
    PostMessageW(window, FlickerMessage, 700, 0);
    pumpMessages(100);
    ASSERT_NE(hideTracked(*app, window), nullptr);
    ASSERT_TRUE(waitFor([&] { return !IsWindowVisible(window); })) << "its program hides it";
    app->scanDesktop();
    ASSERT_TRUE(waitFor([&] { return IsWindowVisible(window) != FALSE; })) << "and shows it again";
    app->scanDesktop();
    ASSERT_TRUE(waitFor([&] { return !IsWindowVisible(window); })) << "then this program's hide lands";
    app->scanDesktop();
    EXPECT_TRUE(isListed(app->hiddenWindows, window));
    EXPECT_TRUE(markedHidden(window));
    app->restoreHiddenWindows();
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != FALSE; })) << "Exit shows it";
}

TEST(Scan, HungWindowDelaysAPassOnlyBoundedly) {
    OtherProgramWindow other(L"h");
    HWND hung = other.window;
    ASSERT_TRUE(hung && waitFor([&] { return IsWindowVisible(hung) != FALSE; }));
    BareApp app;
    app->scanDesktop();
    const DWORD start = GetTickCount();
    app->scanDesktop();
    const DWORD elapsed = GetTickCount() - start;
    // One unanswered icon request costs at most its 500 ms time-out; the
    // bound here only catches a pass that waits on the window for good.
    EXPECT_LT(elapsed, 4000u);
    EXPECT_TRUE(isListed(app->visibleWindows, hung));
}

TEST(Watcher, ScansForTheApplicationItIsGiven) {
    BareApp app; // no window of the program's class exists to look it up by
    TestWindow window(WindowSpec{L"seen by the watcher"});
    HANDLE thread = CreateThread(nullptr, 0, watcherThreadProc, &*app, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(waitUntilListed(*app, window.get()));
    app->watcherStop = true;
    waitHandlingSentMessages(thread);
    CloseHandle(thread);
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
    endProcess(host);
}

} // namespace
