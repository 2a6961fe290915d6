#include <gtest/gtest.h>

#include <cstdio>

#include "app/Names.h"
#include "support/TestSupport.h"

namespace {

TEST(Program, SecondInstanceEndsWithMinusOneAndExitEndsWithZero) {
    HANDLE first = launchProgram();
    ASSERT_NE(first, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);

    HANDLE second = launchProgram();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(waitExit(second), static_cast<DWORD>(-1));
    CloseHandle(second);
    EXPECT_EQ(FindWindowW(names::WindowClass, nullptr), corner) << "the first instance is untouched";

    PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(waitExit(first), 0u);
    CloseHandle(first);
}

TEST(Program, ClosingTheCornerWindowEndsTheProgram) {
    HANDLE program = launchProgram();
    ASSERT_NE(program, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    PostMessageW(corner, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitExit(program), 0u);
    CloseHandle(program);
}

} // namespace

namespace {

TEST(Program, SurvivesHostileMessagesFromAnotherProgram) {
    HANDLE program = launchProgram();
    ASSERT_NE(program, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    DWORD_PTR answer = 0;
    auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
        SendMessageTimeoutW(corner, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &answer);
    };

    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    const LPARAM pointers[] = {0, 1, 0x10000, 0x7FFE0000, -1, static_cast<LPARAM>(next())};
    // Owner-draw requests count only while the menu is open, so they come
    // then: the pointers mean nothing in the program's memory.
    PostMessageW(corner, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    HWND popup = nullptr;
    ASSERT_TRUE(waitFor([&] { return (popup = openMenuOf(GetProcessId(program))) != nullptr; }));
    for (LPARAM pointer : pointers) {
        send(PluginBalloonMessage, 0, pointer);
        send(WM_DRAWITEM, 0, pointer);
        send(WM_MEASUREITEM, 0, pointer);
    }
    EXPECT_TRUE(IsWindowVisible(popup)) << "the menu is still open";
    PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    waitFor([&] { return !IsWindowVisible(popup); });
    // Command ids at random, but none that ends the program or opens a modal
    // box (About, the taskbar's transparency dialog).
    for (int i = 0; i < 2000; ++i) {
        const WPARAM id = (i % 2) ? (0xF000 | (next() & 0x7FF)) : (next() & 0xFFFF);
        if (id == ExitCommand || id == AboutCommand || id == TaskbarTranslucentCommand)
            continue;
        send(WM_COMMAND, id, static_cast<LPARAM>(next()));
    }
    for (UINT mouse = WM_MOUSEFIRST; mouse <= WM_MOUSELAST; ++mouse)
        if (mouse != WM_RBUTTONUP && mouse != WM_LBUTTONDBLCLK)
            send(TrayCallbackMessage, TrayIconId, mouse);

    EXPECT_TRUE(SendMessageTimeoutW(corner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer))
        << "still answering";
    EXPECT_EQ(WaitForSingleObject(program, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
    PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(waitExit(program), 0u);
    CloseHandle(program);
}

} // namespace

namespace {

// Windows come and go in another program while the menu opens and closes and
// commands fire. The suite runs a short version; scripts/soak sets
// MOSSGATE_SOAK_WINDOWS=10000.
TEST(Program, SoakWindowsComeAndGoWhileTheMenuAndCommandsRun) {
    wchar_t setting[16] = {};
    const int windows =
        GetEnvironmentVariableW(L"MOSSGATE_SOAK_WINDOWS", setting, 16) ? _wtoi(setting) : 1000;
    HANDLE program = launchProgram();
    ASSERT_NE(program, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    HANDLE churn = launch(L"\"" + testFolder() + L"window_host.exe\" " + std::to_wstring(windows) + L" bi");
    ASSERT_NE(churn, nullptr);

    int menus = 0, commands = 0;
    const DWORD limit = 60000 + static_cast<DWORD>(windows) * 20;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(churn, 0) == WAIT_TIMEOUT && GetTickCount() - start < limit) {
        PostMessageW(corner, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
        HWND popup = nullptr;
        if (waitFor([&] { return (popup = FindWindowW(L"#32768", nullptr)) && IsWindowVisible(popup); },
                    5000)) {
            PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
            waitFor([&] { return !IsWindowVisible(popup); }, 5000);
            ++menus;
        }
        // Hide, pin, stretch and move whatever the last menu listed.
        for (UINT action : {ActionHide, ActionTopmost, ActionFullScreen, ActionMoveToOrigin}) {
            PostMessageW(corner, WM_COMMAND, makeCommandId(commands % 8, action), 0);
            ++commands;
        }
        pumpMessages(50);
    }
    EXPECT_EQ(WaitForSingleObject(churn, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "the churn finished";
    endProcess(churn);
    EXPECT_GT(menus, 0);
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(corner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(waitExit(program, 30000), 0u);
    CloseHandle(program);
}

} // namespace

namespace {

TEST(Program, TaskbarCreatedBringsTheIconBack) {
    HANDLE program = launchProgram();
    ASSERT_NE(program, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    ASSERT_TRUE(waitFor([&] { return trayIconPresent(corner); }));

    // What a restarted shell has: no icon, then the broadcast.
    NOTIFYICONDATAW gone{};
    gone.cbSize = NOTIFYICONDATAW_V2_SIZE;
    gone.hWnd = corner;
    gone.uID = TrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    EXPECT_FALSE(trayIconPresent(corner));
    PostMessageW(corner, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(waitFor([&] { return trayIconPresent(corner); }));

    PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(waitExit(program), 0u);
    CloseHandle(program);
}

TEST(Program, ClosedWhileItsMenuIsOpenItEndsAndShowsHiddenWindows) {
    HostAndProgram run(1);
    ASSERT_TRUE(run.ready());
    pumpMessages(1200); // a scan pass, and past the switch guard
    PostMessageW(run.corner, TrayCallbackMessage, TrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(waitFor([&] { return run.allHidden(); }));

    PostMessageW(run.corner, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    ASSERT_TRUE(waitFor([&] { return openMenuOf(GetProcessId(run.program)) != nullptr; }));
    PostMessageW(run.corner, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.programExit(), 0u) << "no deadlock between the menu's lock and the teardown";
    EXPECT_TRUE(waitFor([&] { return run.allVisible(); }));
}

} // namespace

namespace {

TEST(Program, MenuStillOpensBesideAHungWindow) {
    HostAndProgram run(1, L"h");
    ASSERT_TRUE(run.ready());
    pumpMessages(1500); // the watcher is now waiting on the hung window pass after pass
    PostMessageW(run.corner, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    HWND popup = nullptr;
    EXPECT_TRUE(waitFor([&] { return (popup = openMenuOf(GetProcessId(run.program))) != nullptr; }, 10000));
    if (popup)
        PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(run.programExit(), 0u);
}

// The dialog's loop ends without an answer when the corner window is closed
// or Exit is chosen (from a second menu, say); neither may change the window.
TEST(Program, EndedWhileTheTransparencyDialogIsOpenItChangesNothing) {
    HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
    ASSERT_NE(taskbar, nullptr);
    const LONG taskbarStyle = GetWindowLongW(taskbar, GWL_EXSTYLE);
    struct Case {
        const char* name;
        bool taskbar;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"window, closed", false, WM_CLOSE, 0},
        {"window, exit chosen", false, WM_COMMAND, ExitCommand},
        {"taskbar, closed", true, WM_CLOSE, 0},
        {"taskbar, exit chosen", true, WM_COMMAND, ExitCommand},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostAndProgram run(1);
        ASSERT_TRUE(run.ready());
        pumpMessages(300); // a scan pass lists the window
        ASSERT_TRUE(openAndCloseMenu(run.corner));
        HWND target = c.taskbar ? taskbar : run.windows[0];
        const LONG before = GetWindowLongW(target, GWL_EXSTYLE);
        PostMessageW(run.corner, WM_COMMAND, makeCommandId(c.taskbar ? TaskbarIndex : 0, ActionTranslucent),
                     0);
        HWND dialog = nullptr;
        ASSERT_TRUE(waitFor([&] {
            dialog = FindWindowW(L"#32770", nullptr);
            DWORD owner = 0;
            GetWindowThreadProcessId(dialog, &owner);
            return dialog && owner == GetProcessId(run.program) && IsWindowVisible(dialog);
        }));
        PostMessageW(run.corner, c.message, c.wParam, 0);
        EXPECT_EQ(run.programExit(), 0u) << "no deadlock between the dialog's lock and the teardown";
        EXPECT_EQ(GetWindowLongW(target, GWL_EXSTYLE), before) << "the target is as it was";
        SetWindowLongW(taskbar, GWL_EXSTYLE, taskbarStyle);
    }
}

// Hiding and showing other programs' windows never waits for them: Exit
// shows the windows that answer at once, and the hung one when it answers.
TEST(Program, ExitIsNotHeldUpByAHungHiddenWindow) {
    HostAndProgram run(2, L"t");
    ASSERT_TRUE(run.ready());
    pumpMessages(300);
    ASSERT_TRUE(openAndCloseMenu(run.corner));
    PostMessageW(run.corner, WM_COMMAND, makeCommandId(0, ActionHide), 0);
    PostMessageW(run.corner, WM_COMMAND, makeCommandId(1, ActionHide), 0);
    ASSERT_TRUE(waitFor([&] { return run.allHidden(); }));

    constexpr DWORD HungFor = 8000;
    PostMessageW(run.windows[0], HangMessage, HungFor, 0);
    pumpMessages(200);
    const DWORD start = GetTickCount();
    PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(run.programExit(3000), 0u) << "Exit does not wait for the hung window";
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(run.windows[1]) != FALSE; }, 1000));
    EXPECT_LT(GetTickCount() - start, HungFor);
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(run.windows[0]) != FALSE; }, HungFor + 5000))
        << "the hung window is shown once its thread answers";
}

// An elevated instance holds the mutex beyond this one's access: its
// creation then fails with ERROR_ACCESS_DENIED, which means "running" too.
TEST(Program, AnInstanceItCannotOpenCountsAsRunning) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    alignas(DWORD) BYTE aclBuffer[64];
    auto* emptyAcl = reinterpret_cast<ACL*>(aclBuffer);
    InitializeAcl(emptyAcl, sizeof(aclBuffer), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, emptyAcl, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    HANDLE held = CreateMutexW(&attributes, FALSE, names::InstanceMutex);
    ASSERT_NE(held, nullptr);
    HANDLE probe = CreateMutexW(nullptr, FALSE, names::InstanceMutex);
    const DWORD probeError = GetLastError();
    if (probe)
        CloseHandle(probe);
    if (probe || probeError != ERROR_ACCESS_DENIED) {
        CloseHandle(held);
        GTEST_SKIP() << "this system does not deny access to the mutex (error " << probeError << ")";
    }
    HANDLE program = launchProgram();
    EXPECT_EQ(waitExit(program), static_cast<DWORD>(-1));
    CloseHandle(program);
    CloseHandle(held);
}

} // namespace

namespace {

// Another process holds a mutex under the scan lock's name before mossgate
// starts: mossgate locks its lists with a lock of its own, its menu opens
// and Exit ends it.
TEST(Program, AMutexHeldUnderTheScanLocksNameStallsNothing) {
    HANDLE squatter = CreateMutexW(nullptr, TRUE, names::ScanMutex);
    ASSERT_NE(squatter, nullptr);
    HostAndProgram run(1);
    ASSERT_TRUE(run.ready());
    EXPECT_TRUE(openAndCloseMenu(run.corner)) << "the menu opens";
    PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(run.programExit(), 0u) << "Exit completes";
    ReleaseMutex(squatter);
    CloseHandle(squatter);
}

// Forty moves for a window whose thread does not answer start one helper
// thread, not forty; once the window answers it is at the origin.
TEST(Program, CommandsForAHungWindowStartOneHelperNotOneEach) {
    HostAndProgram run(1, L"t");
    ASSERT_TRUE(run.ready());
    pumpMessages(300);
    ASSERT_TRUE(openAndCloseMenu(run.corner));
    const DWORD programId = GetProcessId(run.program);
    pumpMessages(500);
    const int before = threadCount(programId);
    PostMessageW(run.windows[0], HangMessage, 6000, 0);
    pumpMessages(200);
    for (int i = 0; i < 40; ++i)
        PostMessageW(run.corner, WM_COMMAND, makeCommandId(0, ActionMoveToOrigin), 0);
    pumpMessages(1500); // the program takes every command in turn
    const int during = threadCount(programId);
    std::printf("mossgate threads: %d before the commands, %d while the window hangs\n", before, during);
    EXPECT_LE(during, before + 1);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(waitFor(
        [&] {
            POINT origin{0, 0};
            ClientToScreen(run.windows[0], &origin);
            return origin.x == work.left && origin.y == work.top;
        },
        15000))
        << "the accepted move lands when the window answers";
    EXPECT_TRUE(waitFor([&] { return threadCount(programId) <= before; }, 5000)) << "the helper has ended";
    PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(run.programExit(), 0u);
}

} // namespace
