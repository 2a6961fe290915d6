#include <gtest/gtest.h>

#include "app/Names.h"
#include "app/Rescue.h"
#include "app/RescueState.h"
#include "support/TestSupport.h"

#include <tlhelp32.h>

namespace {

// The guardian: the same executable, started by the program.
HANDLE openGuardian(HANDLE program) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    HANDLE guardian = nullptr;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !guardian;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == GetProcessId(program) &&
            lstrcmpiW(entry.szExeFile, L"mossgate.exe") == 0)
            guardian = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    CloseHandle(snapshot);
    return guardian;
}

// Two windows of another program and mossgate as a user has it: the
// executable copied alone into a folder.
struct RunningProgram : HostAndProgram {
    RunningProgram() : HostAndProgram(2, L"", L"alone") {}
    bool guarded() const {
        HANDLE guardian = openGuardian(program);
        if (guardian)
            CloseHandle(guardian);
        return guardian != nullptr;
    }
};

TEST(Rescue, KilledProgramsHiddenWindowsComeBack) {
    RunningProgram run;
    ASSERT_TRUE(run.ready());
    ASSERT_TRUE(waitFor([&] { return run.guarded(); }, 10000));
    pumpMessages(300); // a scan pass lists the windows
    ASSERT_TRUE(openAndCloseMenu(run.corner));
    // The two host windows are the only ones listed: ids for indices 0 and 1.
    PostMessageW(run.corner, WM_COMMAND, makeCommandId(0, ActionHide), 0);
    PostMessageW(run.corner, WM_COMMAND, makeCommandId(1, ActionHide), 0);
    ASSERT_TRUE(waitFor([&] { return run.allHidden(); }));

    TerminateProcess(run.program, 1);
    // The guardian acts as soon as the process is gone; the bound only
    // allows for a loaded machine.
    EXPECT_TRUE(waitFor([&] { return run.allVisible(); }, 3000));
}

TEST(Rescue, WindowsHiddenByADesktopSwitchComeBack) {
    RunningProgram run;
    ASSERT_TRUE(run.ready());
    ASSERT_TRUE(waitFor([&] { return run.guarded(); }, 10000));
    pumpMessages(1200); // a scan pass, and past the switch guard
    PostMessageW(run.corner, TrayCallbackMessage, TrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(waitFor([&] { return run.allHidden(); }));
    TerminateProcess(run.program, 1);
    EXPECT_TRUE(waitFor([&] { return run.allVisible(); }, 3000));
}

TEST(Rescue, GuardianEndsWithANormalExit) {
    RunningProgram run;
    ASSERT_TRUE(run.ready());
    HANDLE guardian = nullptr;
    ASSERT_TRUE(waitFor([&] { return (guardian = openGuardian(run.program)) != nullptr; }, 10000));
    PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(run.programExit(), 0u);
    EXPECT_TRUE(waitFor([&] { return WaitForSingleObject(guardian, 0) == WAIT_OBJECT_0; }, 5000));
    CloseHandle(guardian);
}

TEST(Rescue, ProgramRunsOnWhenItsGuardianIsKilled) {
    RunningProgram run;
    ASSERT_TRUE(run.ready());
    HANDLE guardian = nullptr;
    ASSERT_TRUE(waitFor([&] { return (guardian = openGuardian(run.program)) != nullptr; }, 10000));
    TerminateProcess(guardian, 1);
    CloseHandle(guardian);
    pumpMessages(300);
    PostMessageW(run.corner, TrayCallbackMessage, TrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(waitFor([&] { return run.allHidden(); })) << "the switch still works";
    PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(run.programExit(), 0u);
    EXPECT_TRUE(waitFor([&] { return run.allVisible(); })) << "the normal exit shows them";
}

TEST(Rescue, OnlyThePrivateArgumentStartsTheGuardianRole) {
    struct Case {
        const wchar_t* commandLine;
        DWORD guarded;
    } cases[] = {
        {L"mossgate.exe", 0},
        {L"\"C:\\some folder\\mossgate.exe\" /mossgate:guardian 4242", 4242},
        {L"mossgate.exe /mossgate:guardian", 0},
        {L"mossgate.exe /mossgate:guardian 4242 more", 0},
        {L"mossgate.exe /mossgate:guardian zero", 0},
        {L"mossgate.exe /MOSSGATE:GUARDIAN 4242", 0},
        {L"mossgate.exe 4242", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.guarded);
        EXPECT_EQ(guardedProcess(c.commandLine), c.guarded);
    }
}

TEST(Rescue, RecordOnlyEverShowsHiddenWindows) {
    TestWindow hidden(WindowSpec{L"hidden one"}), visible(WindowSpec{L"visible one"});
    ShowWindow(hidden.get(), SW_HIDE);
    auto state = std::make_unique<RescueState>();
    state->magic = RescueMagic;
    state->count = 3;
    state->windows[0] = {reinterpret_cast<ULONG_PTR>(hidden.get()), SW_HIDE, 0}; // tampered command
    state->windows[1] = {reinterpret_cast<ULONG_PTR>(visible.get()), SW_SHOWMINIMIZED, 0};
    state->windows[2] = {0xDEAD0, SW_SHOWNORMAL, 0}; // no such window

    state->cleanExit = 1;
    showRescuedWindows(*state);
    EXPECT_FALSE(IsWindowVisible(hidden.get())) << "after a clean exit nothing is touched";

    state->cleanExit = 0;
    showRescuedWindows(*state);
    EXPECT_TRUE(IsWindowVisible(hidden.get()));
    EXPECT_FALSE(IsIconic(hidden.get())) << "an unknown show command shows normally";
    EXPECT_FALSE(IsIconic(visible.get())) << "a visible window is left as it is";

    ShowWindow(hidden.get(), SW_HIDE);
    state->count = 1000000; // beyond the record: read only its capacity
    showRescuedWindows(*state);
    EXPECT_TRUE(IsWindowVisible(hidden.get()));
}

} // namespace
