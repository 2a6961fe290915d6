#include <gtest/gtest.h>

#include "app/Names.h"
#include "support/TestSupport.h"

namespace {

TEST(Switch, GuardMeasuresASecondAcrossTickWrap) {
    struct Case {
        DWORD now, last;
        bool allowed;
    } cases[] = {
        {1000, 0, true},           // first switch once the counter reaches 1000
        {999, 0, false},           //
        {5000, 4001, false},       // 999 ms later
        {5000, 4000, true},        // exactly a second later
        {500, 0xFFFFFE0Cu, true},  // 1000 ms across the wrap
        {100, 0xFFFFFFF0u, false}, // 116 ms across the wrap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.now << " after " << c.last);
        EXPECT_EQ(TrayApp::switchAllowed(c.now, c.last), c.allowed);
    }
}

const wchar_t ImeClass[] = L"IMWindowClass";
const wchar_t ImeLookalikeClass[] = L"imwindowclass";

// Class names are case-insensitive within a process, so each class lives
// only as long as its test.
struct ScopedClass {
    const wchar_t* name;
    explicit ScopedClass(const wchar_t* n) : name(n) { registerTestClass(name); }
    ~ScopedClass() { UnregisterClassW(name, GetModuleHandleW(nullptr)); }
};

TEST(Switch, HidesAClassThatDiffersFromTheInputMethodsOnlyInCase) {
    ScopedClass lookalikeClass(ImeLookalikeClass);
    BareApp app;
    WindowSpec spec{L"look-alike"};
    spec.className = ImeLookalikeClass;
    {
        TestWindow lookalike(spec);
        app->scanDesktop();
        app->lastSwitchTick = GetTickCount() - 5000;
        app->switchDesktop();
        EXPECT_FALSE(IsWindowVisible(lookalike.get()));
        EXPECT_TRUE(isListed(app->hiddenWindows, lookalike.get()));
    }
    app->scanDesktop();
}

TEST(Switch, SwapsTheSetsAndLeavesInputMethodWindowsAlone) {
    ScopedClass imeClass(ImeClass);
    BareApp app;
    TestWindow a(WindowSpec{L"desk one a"}), b(WindowSpec{L"desk one b"}), earlier(WindowSpec{L"desk two"});
    WindowSpec imeSpec{L"input method"};
    imeSpec.className = ImeClass;
    TestWindow ime(imeSpec);

    app->scanDesktop();
    WindowEntry* earlierEntry = hideTracked(*app, earlier.get());
    ASSERT_NE(earlierEntry, nullptr);

    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    for (HWND w : {a.get(), b.get()}) {
        EXPECT_FALSE(IsWindowVisible(w));
        EXPECT_TRUE(isListed(app->hiddenWindows, w));
    }
    EXPECT_TRUE(IsWindowVisible(earlier.get()));
    EXPECT_EQ(app->visibleWindows.size(), 1u);
    EXPECT_EQ(app->visibleWindows.front(), earlierEntry);
    EXPECT_TRUE(IsWindowVisible(ime.get()));
    EXPECT_FALSE(isListed(app->hiddenWindows, ime.get()));

    // Within a second of the last switch nothing happens.
    app->switchDesktop();
    EXPECT_FALSE(IsWindowVisible(a.get()));
    EXPECT_TRUE(IsWindowVisible(earlier.get()));

    app->scanDesktop();
    EXPECT_TRUE(isListed(app->visibleWindows, ime.get())) << "the next pass tracks it again";

    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    EXPECT_TRUE(IsWindowVisible(a.get()));
    EXPECT_TRUE(IsWindowVisible(b.get()));
    EXPECT_FALSE(IsWindowVisible(earlier.get()));
    EXPECT_TRUE(IsWindowVisible(ime.get()));
}

// An entry in visibleWindows can still be flagged hidden while its window
// shows (its program showed it again before a pass saw the hide land); the
// switch shows it (it is) and parks it in hiddenWindows until the next pass.
// Exit, or a switch, in that moment must not hide it again: nothing would
// ever show it.
TEST(Switch, AWindowAlreadyShownIsNotHiddenByTheRestore) {
    BareApp app;
    TestWindow window(WindowSpec{L"shown by its owner"});
    app->scanDesktop();
    WindowEntry* entry = entryFor(app->visibleWindows, window.get());
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->toggleHidden());
    ShowWindow(window.get(), SW_SHOWNORMAL);
    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    ASSERT_TRUE(isListed(app->hiddenWindows, window.get()));
    EXPECT_TRUE(IsWindowVisible(window.get()));
    app->restoreHiddenWindows();
    EXPECT_TRUE(IsWindowVisible(window.get()));
}

TEST(Switch, AWindowOfAProgramRunningAsAdministratorStaysListedAsVisible) {
    ElevatedWindows elevated;
    BareApp app;
    TestWindow plain(WindowSpec{L"switched"}), elevatedWindow(WindowSpec{L"runs as administrator"});
    SetPropW(elevatedWindow.get(), ElevatedProperty, reinterpret_cast<HANDLE>(1));
    app->scanDesktop();
    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    EXPECT_FALSE(IsWindowVisible(plain.get()));
    EXPECT_TRUE(IsWindowVisible(elevatedWindow.get()));
    EXPECT_TRUE(isListed(app->visibleWindows, elevatedWindow.get()));
    EXPECT_FALSE(isListed(app->hiddenWindows, elevatedWindow.get()))
        << "nothing is recorded that did not happen";
}

TEST(Switch, WindowsComeBackMaximisedOrMinimisedAsTheyWere) {
    BareApp app;
    TestWindow maximised(WindowSpec{L"was maximised"}), minimised(WindowSpec{L"was minimised"});
    ShowWindow(maximised.get(), SW_SHOWMAXIMIZED);
    ShowWindow(minimised.get(), SW_SHOWMINIMIZED);
    app->scanDesktop();
    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    ASSERT_FALSE(IsWindowVisible(maximised.get()));
    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    EXPECT_TRUE(IsZoomed(maximised.get()));
    EXPECT_TRUE(IsIconic(minimised.get()));
    EXPECT_TRUE(IsWindowVisible(minimised.get()));
}

TEST(Switch, MinimisesFirstOnlyWindowsWithAMinimiseBox) {
    BareApp app;
    WindowSpec plainSpec{L"no minimise box"};
    plainSpec.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    TestWindow boxed(WindowSpec{L"minimise box"}), plain(plainSpec);
    WindowEntry boxedEntry(boxed.get()), plainEntry(plain.get());
    boxedEntry.refresh();
    plainEntry.refresh();
    EXPECT_TRUE(boxedEntry.toggleHidden());
    EXPECT_TRUE(plainEntry.toggleHidden());
    EXPECT_TRUE(IsIconic(boxed.get()));
    EXPECT_FALSE(IsIconic(plain.get()));
    boxedEntry.releaseIcon();
    plainEntry.releaseIcon();
}

} // namespace
