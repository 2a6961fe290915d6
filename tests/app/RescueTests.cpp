#include <gtest/gtest.h>

#include "app/Names.h"
#include "app/Rescue.h"
#include "support/TestSupport.h"
#include "tracking/WindowCalls.h"
#include "tracking/WindowMarks.h"

namespace {

// The guardian: the same executable, started by the program.
HANDLE openGuardian(HANDLE program) {
    const DWORD guardian = guardianOf(GetProcessId(program));
    return guardian ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, guardian) : nullptr;
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
    // Ends the guardian and waits until a new one guards the program.
    void killGuardian() {
        HANDLE guardian = openGuardian(program);
        ASSERT_NE(guardian, nullptr);
        TerminateProcess(guardian, 1);
        WaitForSingleObject(guardian, 5000);
        CloseHandle(guardian);
    }
    bool stillHidden(HWND window) const { return IsWindow(window) && !IsWindowVisible(window); }
};

// Hides the first listed window and sets the second to 0 % through the
// program's own menu commands and dialog. Returns the windows in that order.
std::pair<HWND, HWND> hideOneAndFadeOne(RunningProgram& run) {
    pumpMessages(300); // a scan pass lists the windows
    EXPECT_TRUE(openAndCloseMenu(run.corner));
    PostMessageW(run.corner, WM_COMMAND, makeCommandId(0, ActionHide), 0);
    HWND hidden = nullptr;
    waitFor([&] {
        for (HWND w : run.windows)
            if (!IsWindowVisible(w))
                hidden = w;
        return hidden != nullptr;
    });
    HWND faded = run.windows[0] == hidden ? run.windows[1] : run.windows[0];
    PostMessageW(run.corner, WM_COMMAND, makeCommandId(1, ActionTranslucent), 0);
    HWND dialog = nullptr;
    waitFor([&] { return (dialog = openDialogOf(GetProcessId(run.program))) != nullptr; });
    HWND edit = GetDlgItem(dialog, PercentEditId);
    SetWindowTextW(edit, L"0");
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    waitFor([&] { return alphaOf(faded) == 0; });
    return {hidden, faded};
}

// Whatever ends mossgate, the window it hid is shown and the window it left
// at 0 % is opaque, not layered, and neither keeps a mark; through Exit, the
// guardian, a guardian started again, or the next start after every mossgate
// process was ended at once.
TEST(Rescue, WhateverEndsTheProgramNoWindowStaysHiddenOrInvisible) {
    enum End { ExitChosen, ProgramKilled, GuardianThenProgramKilled, EveryProcessEnded };
    struct Case {
        const char* name;
        End end;
    } cases[] = {
        {"exit", ExitChosen},
        {"program killed", ProgramKilled},
        {"guardian killed, then the program", GuardianThenProgramKilled},
        {"every mossgate process ended at once, then started again", EveryProcessEnded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunningProgram run;
        ASSERT_TRUE(run.ready());
        ASSERT_TRUE(waitFor([&] { return run.guarded(); }, 10000));
        const auto [hidden, faded] = hideOneAndFadeOne(run);
        ASSERT_TRUE(run.stillHidden(hidden));
        ASSERT_EQ(alphaOf(faded), 0);
        EXPECT_TRUE(markedHidden(hidden) && markedInvisible(faded)) << "the windows carry the facts";

        switch (c.end) {
        case ExitChosen:
            PostMessageW(run.corner, WM_COMMAND, ExitCommand, 0);
            EXPECT_EQ(run.programExit(), 0u);
            break;
        case ProgramKilled:
            TerminateProcess(run.program, 1);
            break;
        case GuardianThenProgramKilled:
            run.killGuardian();
            // A new guardian starts at once; the bound only allows for a
            // loaded machine.
            ASSERT_TRUE(waitFor([&] { return run.guarded(); }, 5000)) << "the guardian is started again";
            TerminateProcess(run.program, 1);
            break;
        case EveryProcessEnded: {
            endEveryProcessNamed(L"mossgate.exe");
            pumpMessages(500);
            EXPECT_TRUE(run.stillHidden(hidden)) << "nobody is left to show it";
            HANDLE again = launchProgram(L"alone");
            ASSERT_NE(again, nullptr);
            CloseHandle(run.program);
            run.program = again;
            break;
        }
        }
        EXPECT_TRUE(waitFor([&] { return IsWindowVisible(hidden) != FALSE; }, 5000));
        EXPECT_TRUE(waitFor([&] { return alphaOf(faded) == NotLayered; }, 5000))
            << "opaque and no longer layered, alpha " << alphaOf(faded);
        EXPECT_TRUE(waitFor([&] { return !markedHidden(hidden) && !markedInvisible(faded); }, 5000))
            << "no mark is left";
    }
}

// The record an earlier guardian read lived in a section named after the
// program's process id, which another process could create first and then
// rewrite. Whatever such a section says, a killed program's windows come back.
TEST(Rescue, ASectionPlantedUnderTheProgramsNameChangesNothing) {
    waitFor([] { return FindWindowW(names::WindowClass, nullptr) == nullptr; }, 10000);
    OtherProgramWindow other;
    HWND window = other.window;
    ASSERT_NE(window, nullptr);
    const std::wstring path = testFolder() + L"..\\mossgate.exe";
    std::wstring line = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                               nullptr, &startup, &info));
    wchar_t name[40];
    wsprintfW(name, L"mossgate_rescue_%lu", info.dwProcessId);
    // magic, "clean exit", count: a guardian trusting it restores nothing.
    struct Planted {
        DWORD magic;
        volatile LONG cleanExit;
        volatile LONG count;
    };
    constexpr DWORD RecordSize = 16 + 4096 * 16;
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, RecordSize, name);
    auto* planted = static_cast<Planted*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(planted, nullptr);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    pumpMessages(300);
    ASSERT_TRUE(openAndCloseMenu(corner));
    PostMessageW(corner, WM_COMMAND, makeCommandId(0, ActionHide), 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindowVisible(window); }));
    pumpMessages(1000); // the guardian is up
    planted->magic = 0x5352474D;
    InterlockedExchange(&planted->cleanExit, 1);
    TerminateProcess(info.hProcess, 1);
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000));
    UnmapViewOfFile(planted);
    CloseHandle(section);
    CloseHandle(info.hProcess);
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

// On Windows a program started without this flag shows the busy cursor for
// seconds unless it pumps messages, which the guardian never does.
TEST(Rescue, TheGuardianStartsWithoutTheBusyCursor) {
    EXPECT_TRUE(guardianStartupInfo().dwFlags & STARTF_FORCEOFFFEEDBACK);
}

// The marks say what to do, and only ever bring windows back: a hidden
// window is shown with a sound show command, a visible one is left as it
// is, an invisible one is made opaque and loses its layering.
TEST(Marks, RestoringShowsHiddenAndFadedWindowsAndRemovesTheMarks) {
    TestWindow hidden(WindowSpec{L"marked hidden"}), maximised(WindowSpec{L"marked maximised"}),
        visible(WindowSpec{L"marked but visible"});
    WindowSpec fadedSpec{L"marked invisible"};
    fadedSpec.exStyle = WS_EX_LAYERED;
    TestWindow faded(fadedSpec);
    ASSERT_TRUE(prepareMarks());
    ShowWindow(hidden.get(), SW_HIDE);
    ShowWindow(maximised.get(), SW_HIDE);
    markHidden(hidden.get(), SW_HIDE); // a command that would hide it again
    markHidden(maximised.get(), SW_SHOWMAXIMIZED);
    markHidden(visible.get(), SW_SHOWMINIMIZED);
    SetLayeredWindowAttributes(faded.get(), 0, 0, LWA_ALPHA);
    markInvisible(faded.get());

    restoreMarkedWindowsNow(); // as a crashing process does
    EXPECT_TRUE(IsWindowVisible(hidden.get()));
    EXPECT_FALSE(IsIconic(hidden.get())) << "an unsound show command shows normally";
    EXPECT_TRUE(IsZoomed(maximised.get()));
    EXPECT_FALSE(IsIconic(visible.get())) << "a visible window is left as it is";
    EXPECT_EQ(alphaOf(faded.get()), 255) << "opaque at once";
    EXPECT_TRUE(markedInvisible(faded.get())) << "its layering is left for later";
    for (HWND w : {hidden.get(), maximised.get(), visible.get()})
        EXPECT_FALSE(markedHidden(w));

    restoreMarkedWindows(WindowCallLimit);
    EXPECT_EQ(alphaOf(faded.get()), NotLayered);
    EXPECT_FALSE(markedInvisible(faded.get()));
}

// Marks follow what the commands do, whichever way the window goes.
TEST(Marks, HideShowAndFullTransparencyMarkAndUnmark) {
    TestWindow window(WindowSpec{L"marked by commands"});
    WindowEntry entry(window.get());
    entry.refresh();
    ASSERT_TRUE(entry.toggleHidden());
    EXPECT_TRUE(markedHidden(window.get()));
    ASSERT_FALSE(entry.toggleHidden());
    EXPECT_FALSE(markedHidden(window.get()));

    struct Step {
        int alpha;
        bool marked;
    } steps[] = {{0, true}, {128, false}, {0, true}, {255, false}, {0, true}, {-1, false}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.alpha);
        entry.setAlpha(s.alpha);
        EXPECT_EQ(markedInvisible(window.get()), s.marked);
    }
}

} // namespace
