#include <gtest/gtest.h>

#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "support/TestSupport.h"
#include "tracking/ScreenEdges.h"

namespace {

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct EdgeCase {
    const char* name;
    RECT taskbar;
    RECT reaching; // corner window's work area
    RECT docked;   // full-screen area
};

// A 1024x768 desktop with the taskbar in each place the rules tell apart.
const EdgeCase edgeCases[] = {
    {"right", {984, 0, 1024, 768}, {0, 0, 984, 768}, {0, 0, 984, 768}},
    {"bottom", {0, 738, 1024, 768}, {0, 0, 1024, 738}, {0, 0, 1024, 738}},
    {"left", {0, 0, 40, 768}, {40, 0, 1024, 768}, {40, 0, 1024, 768}},
    {"top", {0, 0, 1024, 30}, {0, 30, 1024, 768}, {0, 30, 1024, 768}},
    {"floating", {300, 300, 700, 330}, {0, 0, 1024, 768}, {0, 0, 1024, 768}},
    // Overhanging the screen by two pixels, as a themed taskbar does: it still
    // counts for the corner window, but it is not docked for full screen.
    {"bottom overhanging", {-2, 738, 1026, 770}, {0, 0, 1024, 738}, {0, 0, 1024, 768}},
    {"auto-hidden at the bottom", {0, 766, 1024, 798}, {0, 0, 1024, 766}, {0, 0, 1024, 768}},
};

TEST(ScreenEdges, TaskbarCutFromDesktopByEdgeRules) {
    const RECT desktop{0, 0, 1024, 768};
    for (const EdgeCase& c : edgeCases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(sameRect(cutTaskbarReaching(desktop, c.taskbar), c.reaching));
        EXPECT_TRUE(sameRect(cutTaskbarDocked(desktop, c.taskbar), c.docked));
    }
}

// Monitors side by side and stacked, with negative coordinates, and the
// taskbar of the window's monitor on each edge.
TEST(ScreenEdges, FullScreenAndOriginFollowTheWindowsMonitor) {
    const RECT primary{0, 0, 1920, 1080};
    const RECT left{-1280, 0, 0, 1024};
    const RECT above{0, -1080, 1920, 0};
    const RECT primaryBar{0, 1040, 1920, 1080};
    struct Case {
        const char* name;
        RECT monitor;
        std::vector<RECT> taskbars;
        RECT area;
    } cases[] = {
        {"primary, bottom", primary, {primaryBar}, {0, 0, 1920, 1040}},
        {"primary, top", primary, {{0, 0, 1920, 40}}, {0, 40, 1920, 1080}},
        {"primary, left", primary, {{0, 0, 60, 1080}}, {60, 0, 1920, 1080}},
        {"primary, right", primary, {{1860, 0, 1920, 1080}}, {0, 0, 1860, 1080}},
        {"primary, auto-hidden", primary, {{0, 1078, 1920, 1118}}, primary},
        {"left, its own at the bottom", left, {primaryBar, {-1280, 984, 0, 1024}}, {-1280, 0, 0, 984}},
        {"left, its own on the left", left, {primaryBar, {-1280, 0, -1220, 1024}}, {-1220, 0, 0, 1024}},
        {"left, none of its own", left, {primaryBar}, left},
        {"above, its own on top", above, {primaryBar, {0, -1080, 1920, -1040}}, {0, -1040, 1920, 0}},
        {"above, its own on the right", above, {primaryBar, {1860, -1080, 1920, 0}}, {0, -1080, 1860, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(sameRect(fullScreenArea(c.monitor, c.taskbars), c.area));
    }
    // A frame 8 wide and a 31 high caption around a 400 by 300 client area.
    const RECT frame{-8, -31, 408, 308};
    EXPECT_TRUE(sameRect(atWorkAreaCorner(frame, {-1280, 0, 0, 984}), {-1288, -31, -872, 308}));
    EXPECT_TRUE(sameRect(atWorkAreaCorner(frame, {0, -1040, 1920, 0}), {-8, -1071, 408, -732}));
}

TEST(About, TextLineByLine) {
    BareApp app;
    for (bool supported : {true, false}) {
        app->alphaBlendSupported = supported;
        const std::wstring expected = std::wstring(L"mossgate v0.37.12\n") + texts::AboutCredits + L" \n" +
                                      texts::AboutHomePage + L"\n" +
                                      (supported ? L"Your OS supports Alphablend function."
                                                 : L"Your OS doesn't support Alphablend function.");
        EXPECT_EQ(app->aboutText(), expected);
    }
}

TEST(About, ListsEachPluginOnItsOwnLine) {
    BareApp app;
    app->alphaBlendSupported = true;
    PluginEntry first, second;
    lstrcpyW(first.identity.text, L"first plugin");
    lstrcpyW(second.identity.text, L"second plugin");
    app->plugins = {&first, &second};
    const std::wstring text = app->aboutText();
    app->plugins.clear();
    const std::wstring tail = L"Your OS supports Alphablend function.\n\nand following plugin(s) are loaded:"
                              L"\n  * first plugin\n  * second plugin";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(Startup, CornerWindowIsBoundHiddenAndInTheWorkAreaCorner) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    HWND corner = FindWindowW(names::WindowClass, nullptr);
    ASSERT_EQ(corner, app->mainWindow);
    EXPECT_EQ(GetPropW(corner, names::AppProperty), &*app);
    EXPECT_FALSE(IsWindowVisible(corner));
    EXPECT_EQ(GetWindowLongW(corner, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
              WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    EXPECT_EQ(GetClassLongW(corner, GCL_STYLE), static_cast<DWORD>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));

    HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
    ASSERT_NE(taskbar, nullptr) << "the tests run in a desktop with a taskbar";
    RECT bar;
    GetWindowRect(taskbar, &bar);
    EXPECT_EQ(app->workArea.bottom, bar.top);
    RECT frame;
    GetWindowRect(corner, &frame);
    // Wine enlarges tiny windows, so only the top-left corner is certain.
    EXPECT_EQ(frame.left, app->workArea.right - CornerSize);
    EXPECT_EQ(frame.top, app->workArea.bottom - CornerSize);
    EXPECT_NE(app->scanMutex, nullptr);
    EXPECT_NE(app->watcherThread, nullptr);
}

TEST(Startup, AnObjectHoldingTheScanMutexNameLeavesTheWatcherALock) {
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, names::ScanMutex);
    ASSERT_NE(squatter, nullptr);
    {
        AppUnderTest app;
        ASSERT_TRUE(app.start());
        ASSERT_NE(app->scanMutex, nullptr);
        EXPECT_NE(app->watcherThread, nullptr);
        MutexLock lock(app->scanMutex);
        EXPECT_FALSE(lockIsFree(app->scanMutex)) << "a lock that excludes the watcher";
    }
    CloseHandle(squatter);
}

TEST(Startup, FailsWithoutAnyIcon) {
    // kernel32 holds no icon 102, and the folder holds no tray.ico.
    TrayApp app(GetModuleHandleW(L"kernel32.dll"));
    EXPECT_FALSE(app.start());
    EXPECT_EQ(app.mainWindow, nullptr);
}

TEST(Startup, IconFileReplacesBuiltInIconAndBadFileFallsBack) {
    BareApp app;
    const HICON builtIn = app->smallIcon;
    ASSERT_NE(builtIn, nullptr);

    // The build puts a copy of the program's icon file beside the tests: a
    // readable file wins over the resource.
    EXPECT_TRUE(app->loadIcons((testFolder() + L"good_tray.ico").c_str()));
    EXPECT_NE(app->smallIcon, builtIn);
    EXPECT_NE(app->largeIcon, nullptr);

    // A corrupt file falls back to the resource, size by size.
    const std::wstring bad = testFolder() + L"bad_tray.ico";
    HANDLE file = CreateFileW(bad.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "not an icon", 11, &written, nullptr);
    CloseHandle(file);
    EXPECT_TRUE(app->loadIcons(bad.c_str()));
    EXPECT_EQ(app->smallIcon, builtIn);
    DeleteFileW(bad.c_str());
    EXPECT_TRUE(app->loadIcons((testFolder() + L"missing.ico").c_str()));
    EXPECT_EQ(app->smallIcon, builtIn);
}

TEST(MainWindow, CreationWithoutApplicationFails) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"mossgate_unbound_test";
    ASSERT_TRUE(RegisterClassExW(&windowClass));
    HWND window = CreateWindowExW(0, L"mossgate_unbound_test", nullptr, 0, 0, 0, 24, 24, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(window, nullptr);
    UnregisterClassW(L"mossgate_unbound_test", GetModuleHandleW(nullptr));
}

TEST(MainWindow, OnlyTheWindowCommandBlockReachesTheExecutor) {
    struct Case {
        WPARAM id;
        bool hides;
    } cases[] = {
        {0xF001, true},  // window 0, hide
        {0xF801, false}, // bit 11 set: outside the block
        {0xE001, false}, // below the block
        {0x1F001, true}, // only the low word is examined
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        BareApp app;
        TestWindow window;
        auto* entry = new WindowEntry(window.get());
        entry->refresh();
        app->visibleWindows.push_back(entry);
        app->menuWindows.push_back({entry, window.get()});
        app->onCommand(c.id, 0);
        EXPECT_EQ(!IsWindowVisible(window.get()), c.hides);
    }
}

TEST(MainWindow, ExitCommandUnbindsAndQuits) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    TestWindow window;
    SendMessageW(app->mainWindow, WM_COMMAND, ExitCommand, 0);
    EXPECT_TRUE(app->quitting);
    EXPECT_EQ(GetPropW(app->mainWindow, names::AppProperty), nullptr);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// Another program closes the corner window: the loop ends without Exit, the
// hidden windows come back, and no icon is left in the tray or put back.
TEST(MainWindow, DestroyedWindowLeavesNoTrayIcon) {
    TestWindow window(WindowSpec{L"hidden when destroyed"});
    HWND corner = nullptr;
    {
        AppUnderTest app;
        ASSERT_TRUE(app.start());
        corner = app->mainWindow;
        ASSERT_TRUE(waitFor([&] { return trayIconPresent(corner); }));
        {
            MutexLock lock(app->scanMutex);
            app->scanDesktop();
            app->menuWindows = {{entryFor(app->visibleWindows, window.get()), window.get()}};
        }
        app->executeWindowCommand(makeCommandId(0, ActionHide));
        ASSERT_FALSE(IsWindowVisible(window.get()));
        DestroyWindow(corner);
        EXPECT_FALSE(trayIconPresent(corner)) << "WM_DESTROY took the icon down";
        MSG quit;
        EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        app.tearDown();
        EXPECT_TRUE(IsWindowVisible(window.get()));
        EXPECT_FALSE(trayIconPresent(corner)) << "the teardown did not put it back";
    }
}

TEST(MainWindow, TeardownAfterExitShowsEveryHiddenWindowAgain) {
    TestWindow first, second;
    {
        AppUnderTest app;
        ASSERT_TRUE(app.start());
        {
            MutexLock lock(app->scanMutex);
            app->scanDesktop();
            app->menuWindows.clear();
            for (HWND w : {first.get(), second.get()})
                app->menuWindows.push_back({entryFor(app->visibleWindows, w), w});
        }
        app->executeWindowCommand(makeCommandId(0, ActionHide));
        app->executeWindowCommand(makeCommandId(1, ActionHide));
        ASSERT_FALSE(IsWindowVisible(first.get()));
        ASSERT_FALSE(IsWindowVisible(second.get()));
        SendMessageW(app->mainWindow, WM_COMMAND, ExitCommand, 0);
    }
    EXPECT_TRUE(IsWindowVisible(first.get()));
    EXPECT_TRUE(IsWindowVisible(second.get()));
}

} // namespace
