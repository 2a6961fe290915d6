#include <gtest/gtest.h>

#include "app/Names.h"
#include "app/Scoped.h"
#include "support/TestSupport.h"
#include "tracking/ScreenEdges.h"
#include "tracking/WindowCalls.h"
#include "tray/WindowCommands.h"

namespace {

TEST(Transparency, PercentToAlpha) {
    struct Case {
        int percent, alpha;
    } cases[] = {{100, 255}, {250, 255}, {50, 127}, {20, 51}, {1, 2}, {0, 0}, {-5, 0}, {2147483647, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(percentToAlpha(c.percent), c.alpha);
    }
}

TEST(Transparency, TaskbarNeverFainterThan51) {
    struct Case {
        int alpha, taskbar;
    } cases[] = {{25, 51}, {0, 51}, {50, 51}, {51, 51}, {127, 127}, {255, 255}, {-1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alpha);
        EXPECT_EQ(taskbarAlpha(c.alpha), c.taskbar);
    }
}

// Drives the real dialog: `act` runs inside its modal loop once it is up.
struct DialogRun {
    static HWND dialog;
    // Whatever opens the dialog next meets `action`.
    static void arm(std::function<void(HWND)> action) {
        dialog = nullptr;
        onceOwnWindowOpens(L"#32770", [action](HWND found) {
            dialog = found;
            action(found);
        });
    }
    static INT_PTR run(std::function<void(HWND)> action) {
        arm(std::move(action));
        return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DialogResource), nullptr,
                               transparencyDialogProc, 0);
    }
};
HWND DialogRun::dialog;

void typeAndPress(HWND dialog, const wchar_t* text, WPARAM key) {
    HWND edit = GetDlgItem(dialog, PercentEditId);
    SetWindowTextW(edit, text);
    SetFocus(edit);
    PostMessageW(edit, WM_KEYDOWN, key, 0);
    PostMessageW(edit, WM_KEYUP, key, 0);
}

TEST(Transparency, DialogOpensAtTheCursorWithOneHundred) {
    SetCursorPos(600, 400);
    std::wstring initial;
    RECT frame{};
    const INT_PTR result = DialogRun::run([&](HWND dialog) {
        initial = windowText(GetDlgItem(dialog, PercentEditId));
        GetWindowRect(dialog, &frame);
        typeAndPress(dialog, L"50", VK_RETURN);
    });
    EXPECT_EQ(initial, L"100");
    EXPECT_EQ(result, 127);
    POINT cursor;
    GetCursorPos(&cursor);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    EXPECT_EQ(frame.left, cursor.x - 2 * width / 3);
    EXPECT_EQ(frame.top, cursor.y - 4 * height / 5);
}

TEST(Transparency, DialogResults) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        INT_PTR result;
    } cases[] = {
        {"enter on 100", [](HWND d) { typeAndPress(d, L"100", VK_RETURN); }, 255},
        {"enter on 20", [](HWND d) { typeAndPress(d, L"20", VK_RETURN); }, 51},
        {"enter on 0", [](HWND d) { typeAndPress(d, L"0", VK_RETURN); }, 0},
        {"enter on empty: no number", [](HWND d) { typeAndPress(d, L"", VK_RETURN); }, -1},
        {"beyond 32 bits: no number", [](HWND d) { typeAndPress(d, L"99999999999", VK_RETURN); }, -1},
        {"escape", [](HWND d) { typeAndPress(d, L"50", VK_ESCAPE); }, -1},
        {"right click", [](HWND d) { PostMessageW(d, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5)); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DialogRun::run(c.act), c.result);
    }
}

RECT frameOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// A bare app with test windows listed as a built menu would list them.
struct CommandFixture {
    BareApp app;
    std::vector<std::unique_ptr<TestWindow>> windows;
    WindowEntry* add(const WindowSpec& spec) {
        windows.push_back(std::make_unique<TestWindow>(spec));
        auto* entry = new WindowEntry(windows.back()->get());
        entry->refresh();
        app->visibleWindows.push_back(entry);
        app->menuWindows.push_back({entry, entry->getHandle()});
        return entry;
    }
    void run(UINT index, UINT action) { app->executeWindowCommand(makeCommandId(index, action)); }
};

TEST(Commands, HideMovesTheEntryAndShowBringsItBackAtTheEnd) {
    CommandFixture f;
    WindowEntry* first = f.add(WindowSpec{L"first"});
    WindowEntry* second = f.add(WindowSpec{L"second"});
    ShowWindow(first->getHandle(), SW_SHOWMAXIMIZED);
    first->refresh();

    f.run(0, ActionHide);
    EXPECT_FALSE(IsWindowVisible(first->getHandle()));
    EXPECT_TRUE(first->isHidden());
    EXPECT_EQ(f.app->hiddenWindows, std::list<WindowEntry*>{first});
    EXPECT_EQ(f.app->visibleWindows, std::list<WindowEntry*>{second});

    f.run(0, ActionHide); // the same menu: the entry is now in hiddenWindows
    EXPECT_TRUE(IsWindowVisible(first->getHandle()));
    EXPECT_TRUE(IsZoomed(first->getHandle())) << "shown with the show command saved before hiding";
    EXPECT_EQ(f.app->visibleWindows.back(), first);
    EXPECT_TRUE(f.app->hiddenWindows.empty());
    EXPECT_TRUE(lockIsFree(f.app->scanMutex));
}

TEST(Commands, StaleMenuEntriesDoNothing) {
    CommandFixture f;
    WindowEntry* entry = f.add(WindowSpec{L"stale"});
    TestWindow other(WindowSpec{L"other window"});

    // The entry at the menu position tracks another window by now, as when a
    // new entry lands at a freed entry's address.
    f.app->menuWindows.front().window = other.get();
    for (UINT action : {ActionHide, ActionTopmost, ActionFullScreen, ActionMoveToOrigin})
        f.run(0, action);
    EXPECT_TRUE(IsWindowVisible(entry->getHandle()));
    EXPECT_TRUE(IsWindowVisible(other.get()));
    EXPECT_FALSE(GetWindowLongW(entry->getHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(entry->isFullScreen());

    // Deleted since the build: the pointer is in no list.
    f.app->menuWindows.front().window = entry->getHandle();
    f.app->visibleWindows.clear();
    f.run(0, ActionHide);
    f.run(5, ActionHide); // beyond the menu
    EXPECT_TRUE(IsWindowVisible(entry->getHandle()));
    EXPECT_TRUE(lockIsFree(f.app->scanMutex));
    destroyEntry(entry);
}

TEST(Commands, EntryInTheOtherListIsLeftAlone) {
    CommandFixture f;
    WindowEntry* entry = f.add(WindowSpec{L"shown by its owner"});
    // Hidden by us, then shown by its owner: the scan put it back in
    // visibleWindows with its hidden flag still set.
    entry->toggleHidden();
    ShowWindow(entry->getHandle(), SW_SHOWNORMAL);
    f.run(0, ActionHide);
    EXPECT_TRUE(IsWindowVisible(entry->getHandle()));
    EXPECT_EQ(f.app->visibleWindows.front(), entry);

    // Window actions only act on visible entries.
    f.app->visibleWindows.clear();
    f.app->hiddenWindows.push_back(entry);
    f.run(0, ActionTopmost);
    EXPECT_FALSE(GetWindowLongW(entry->getHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(Commands, TopmostToggles) {
    CommandFixture f;
    WindowEntry* entry = f.add(WindowSpec{L"pin me"});
    f.run(0, ActionTopmost);
    EXPECT_TRUE(GetWindowLongW(entry->getHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    f.run(0, ActionTopmost);
    EXPECT_FALSE(GetWindowLongW(entry->getHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(Commands, TranslucentOnALayeredWindowClearsItWithoutTheDialog) {
    CommandFixture f;
    f.app->alphaBlendSupported = true;
    WindowSpec spec{L"already layered"};
    spec.exStyle = WS_EX_LAYERED;
    WindowEntry* entry = f.add(spec);
    SetLayeredWindowAttributes(entry->getHandle(), 0, 100, LWA_ALPHA);
    f.run(0, ActionTranslucent);
    EXPECT_FALSE(entry->isLayered());
}

// Only an OK with a number changes the window; every other end of the
// dialog's loop leaves it as it was.
TEST(Commands, TransparencyChangesOnlyOnAnOkWithANumber) {
    struct Case {
        const char* name;
        std::function<void(HWND)> end;
        bool layered;
        BYTE alpha;
    } cases[] = {
        {"ok on 40", [](HWND d) { typeAndPress(d, L"40", VK_RETURN); }, true, 102},
        {"ok on 100", [](HWND d) { typeAndPress(d, L"100", VK_RETURN); }, false, 0},
        {"ok on 0", [](HWND d) { typeAndPress(d, L"0", VK_RETURN); }, true, 0},
        {"ok on an empty box", [](HWND d) { typeAndPress(d, L"", VK_RETURN); }, false, 0},
        {"escape", [](HWND d) { typeAndPress(d, L"40", VK_ESCAPE); }, false, 0},
        {"right click", [](HWND d) { PostMessageW(d, WM_RBUTTONDOWN, MK_RBUTTON, 0); }, false, 0},
        {"quit message", [](HWND) { PostQuitMessage(0); }, false, 0},
        {"owner destroyed", [](HWND d) { DestroyWindow(GetWindow(d, GW_OWNER)); }, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CommandFixture f;
        f.app->alphaBlendSupported = true;
        WindowEntry* entry = f.add(WindowSpec{L"made translucent"});
        DialogRun::arm(c.end);
        f.run(0, ActionTranslucent);
        ASSERT_NE(DialogRun::dialog, nullptr) << "the dialog opened";
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EXPECT_EQ(entry->isLayered(), c.layered);
        BYTE alpha = 0;
        if (c.layered) {
            ASSERT_TRUE(GetLayeredWindowAttributes(entry->getHandle(), nullptr, &alpha, nullptr));
            EXPECT_EQ(alpha, c.alpha);
        }
        EXPECT_FALSE(f.app->busy);
    }
}

// A second monitor's taskbar (here a stand-in window of its class) turns
// translucent and opaque again with the primary one.
TEST(Commands, TaskbarTransparencyReachesEveryTaskbar) {
    registerTestClass(names::SecondaryTaskbarClass);
    WindowSpec spec{L""};
    spec.className = names::SecondaryTaskbarClass;
    spec.exStyle = WS_EX_TOOLWINDOW;
    TestWindow secondary(spec);
    HWND primary = FindWindowW(names::TaskbarClass, nullptr);
    ASSERT_NE(primary, nullptr);
    const LONG primaryStyle = GetWindowLongW(primary, GWL_EXSTYLE);

    CommandFixture f;
    f.app->alphaBlendSupported = true;
    DialogRun::arm([](HWND d) { typeAndPress(d, L"60", VK_RETURN); });
    f.run(TaskbarIndex, ActionTranslucent);
    BYTE alpha = 0;
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongW(primary, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }));
    ASSERT_TRUE(GetWindowLongW(secondary.get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    ASSERT_TRUE(GetLayeredWindowAttributes(secondary.get(), nullptr, &alpha, nullptr));
    EXPECT_EQ(alpha, 153);

    f.run(TaskbarIndex, ActionTranslucent); // layered: back to opaque, no dialog
    EXPECT_TRUE(waitFor([&] { return (GetWindowLongW(primary, GWL_EXSTYLE) & WS_EX_LAYERED) == 0; }));
    EXPECT_FALSE(GetWindowLongW(secondary.get(), GWL_EXSTYLE) & WS_EX_LAYERED);
    SetWindowLongW(primary, GWL_EXSTYLE, primaryStyle);
    secondary.destroy();
    UnregisterClassW(names::SecondaryTaskbarClass, GetModuleHandleW(nullptr));
}

// A program running as administrator refuses every change (Windows' UIPI;
// Wine has none, so a test property stands for it): nothing is done or
// recorded, and a balloon says why.
TEST(Commands, AWindowOfAProgramRunningAsAdministratorIsLeftAlone) {
    ElevatedWindows elevated;
    for (UINT action : {ActionHide, ActionTopmost, ActionTranslucent, ActionFullScreen, ActionMoveToOrigin}) {
        SCOPED_TRACE(action);
        CommandFixture f;
        f.app->alphaBlendSupported = true;
        WindowEntry* entry = f.add(WindowSpec{L"runs as administrator"});
        HWND window = entry->getHandle();
        SetPropW(window, ElevatedProperty, reinterpret_cast<HANDLE>(1));
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
        const RECT frame = frameOf(window);
        f.run(0, action);
        EXPECT_EQ(GetWindowLongW(window, GWL_STYLE), style);
        EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE), exStyle);
        const RECT after = frameOf(window);
        EXPECT_TRUE(EqualRect(&frame, &after));
        EXPECT_EQ(f.app->visibleWindows, std::list<WindowEntry*>{entry});
        EXPECT_TRUE(f.app->hiddenWindows.empty());
        EXPECT_FALSE(entry->isHidden() || entry->isFullScreen());
        EXPECT_TRUE(KillTimer(f.app->mainWindow, BalloonTimer)) << "a balloon was shown";
    }
}

TEST(Commands, SetAlphaLayersAndFullOpacityClears) {
    TestWindow window(WindowSpec{L"alpha"});
    WindowEntry entry(window.get());
    ASSERT_TRUE(entry.setAlpha(127));
    EXPECT_TRUE(entry.isLayered());
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window.get(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 127);
    entry.setAlpha(-1); // low byte 0xFF
    EXPECT_FALSE(entry.isLayered());
    entry.setAlpha(255);
    EXPECT_FALSE(entry.isLayered()) << "full opacity never layers an opaque window";
}

TEST(Commands, PowerSchemeAndUnknownActionsTouchNoWindow) {
    CommandFixture f;
    WindowEntry* entry = f.add(WindowSpec{L"unaffected"});
    for (UINT action : {0u, 7u, 15u})
        f.run(0, action);
    EXPECT_TRUE(IsWindowVisible(entry->getHandle()));
    EXPECT_TRUE(lockIsFree(f.app->scanMutex));
}

TEST(Commands, FullScreenAndBackOnAnotherProgramsWindow) {
    OtherProgramWindow other(L"m");
    HWND window = other.window;
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitFor([&] { return IsZoomed(window) != FALSE; }));
    WindowEntry entry(window);
    entry.refresh();

    ASSERT_TRUE(entry.toggleFullScreen());
    RECT expected = screenLessTaskbar(cutTaskbarDocked);
    AdjustWindowRectEx(&expected, GetWindowLongW(window, GWL_STYLE), FALSE,
                       GetWindowLongW(window, GWL_EXSTYLE));
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    OffsetRect(&expected, work.left, work.top);
    EXPECT_TRUE(waitFor([&] {
        const RECT r = frameOf(window);
        return !IsZoomed(window) && r.left == expected.left && r.top == expected.top &&
               r.right == expected.right && r.bottom == expected.bottom;
    })) << "stretched over the screen less the taskbar, grown by the frame";

    EXPECT_FALSE(entry.toggleFullScreen());
    EXPECT_TRUE(waitFor([&] { return IsZoomed(window) != FALSE; })) << "the maximised placement is back";
    // Un-maximised it goes back where it was before it was ever stretched
    // (window_host opens its first window at 40,40, 320 by 200).
    ShowWindow(window, SW_RESTORE);
    EXPECT_TRUE(waitFor([&] {
        const RECT r = frameOf(window);
        return !IsZoomed(window) && r.left == 40 && r.top == 40 && r.right == 360 && r.bottom == 240;
    })) << "the restore position survives full screen";
    ShowWindow(window, SW_MAXIMIZE);

    EXPECT_TRUE(entry.moveToOrigin());
    EXPECT_TRUE(waitFor([&] {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        return !IsZoomed(window) && origin.x == work.left && origin.y == work.top;
    })) << "the client area starts at the origin";
    entry.releaseIcon();
}

// A window that stopped answering keeps the change it was given: another
// command for it is refused at once with a balloon, and once it answers it
// ends where the accepted command put it.
TEST(Commands, ACommandForAWindowStillBusyWithTheLastIsRefused) {
    OtherProgramWindow other(L"t");
    HWND window = other.window;
    ASSERT_NE(window, nullptr);
    CommandFixture f;
    auto* entry = new WindowEntry(window);
    entry->refresh();
    f.app->visibleWindows.push_back(entry);
    f.app->menuWindows.push_back({entry, window});
    PostMessageW(window, HangMessage, 3000, 0);
    pumpMessages(200);

    f.run(0, ActionMoveToOrigin);
    EXPECT_EQ(pendingWindowCalls(), 1u) << "the move waits for the window";
    KillTimer(f.app->mainWindow, BalloonTimer);
    for (UINT action : {ActionFullScreen, ActionMoveToOrigin, ActionFullScreen}) {
        f.run(0, action);
        EXPECT_TRUE(KillTimer(f.app->mainWindow, BalloonTimer))
            << "a balloon says the window is not answering";
    }
    EXPECT_EQ(pendingWindowCalls(), 1u) << "nothing more was started";
    EXPECT_FALSE(entry->isFullScreen());

    EXPECT_TRUE(waitFor([&] { return pendingWindowCalls() == 0; }, 10000));
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, work.left);
    EXPECT_EQ(origin.y, work.top);
}

// A window that draws its own frame (as most of today's browsers and editors
// do) is placed by the frame it has, not by the one its style suggests.
const wchar_t ThinFrameClass[] = L"mossgate_test_thin_frame";
constexpr int ThinFrame = 2;

LRESULT CALLBACK thinFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCALCSIZE) {
        // Both forms start with the window rectangle, which becomes the client's.
        InflateRect(reinterpret_cast<RECT*>(lParam), -ThinFrame, -ThinFrame);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Commands, OriginAndFullScreenGoByTheFrameTheWindowHas) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = thinFrameProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = ThinFrameClass;
    RegisterClassExW(&windowClass);
    WindowSpec spec{L"draws its own frame"};
    spec.className = ThinFrameClass;
    TestWindow window(spec);
    ASSERT_NE(window.get(), nullptr);
    WindowEntry entry(window.get());
    entry.refresh();
    auto clientOnScreen = [&] {
        RECT client{};
        GetClientRect(window.get(), &client);
        MapWindowPoints(window.get(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        return client;
    };
    const RECT before = clientOnScreen();

    entry.moveToOrigin();
    RECT monitor{}, work{};
    windowMonitor(window.get(), monitor, work);
    RECT client = clientOnScreen();
    EXPECT_EQ(client.left, work.left);
    EXPECT_EQ(client.top, work.top);
    EXPECT_EQ(client.right - client.left, before.right - before.left) << "the client keeps its size";
    EXPECT_EQ(client.bottom - client.top, before.bottom - before.top);

    entry.toggleFullScreen();
    std::vector<RECT> bars;
    for (HWND bar : findTaskbars())
        bars.push_back(frameOf(bar));
    const RECT area = fullScreenArea(monitor, bars);
    client = clientOnScreen();
    EXPECT_TRUE(EqualRect(&client, &area))
        << "the client covers the screen less the taskbar: (" << client.left << ", " << client.top << ")-("
        << client.right << ", " << client.bottom << ") for (" << area.left << ", " << area.top << ")-("
        << area.right << ", " << area.bottom << ")";
    entry.toggleFullScreen();
    window.destroy();
    UnregisterClassW(ThinFrameClass, GetModuleHandleW(nullptr));
}

} // namespace
