// A randomized stress run of the real mossgate.exe. Another process churns
// its windows (churn_host.exe) while this one opens and closes the tray menu,
// double-clicks, fires window commands, opens the transparency dialog and
// cancels it or sets a window to 0 %, sends tray events while a menu or the
// dialog is open, and ends mossgate's guardian, mossgate alone, or every
// mossgate process at once, starting mossgate again; a hung window is
// present part of the time. After each end no window of the other program
// may stay hidden or invisible but those it hid itself. Seeded: a failure
// prints its seed.
//
//   MOSSGATE_MONKEY_SEED     the seed (default 20261210)
//   MOSSGATE_MONKEY_SECONDS  how long the churn runs (default 20)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/Names.h"
#include "app/Scoped.h"
#include "support/SeededRandom.h"
#include "support/TestSupport.h"
#include "tests/monkey/ProbeRecord.h"

namespace {

constexpr int ChurnWindows = 30;
constexpr int IndexRange = 40;      // window indices tried: some beyond the menu
constexpr DWORD AnswerBound = 5000; // a WM_NULL must be answered within this
constexpr DWORD ExitBound = 10000;
// How long a window mossgate left hidden or invisible may take to come back
// once mossgate has ended: the hung window answers within 8 s.
constexpr DWORD RescueBound = 15000;
constexpr wchar_t ChurnClass[] = L"churn_host_window";
constexpr wchar_t HiddenByOwner[] = L"churn_hidden_by_owner";

unsigned setting(const wchar_t* name, unsigned fallback) {
    wchar_t text[32] = {};
    return GetEnvironmentVariableW(name, text, 32) ? static_cast<unsigned>(wcstoul(text, nullptr, 10))
                                                   : fallback;
}

HWND topLevelOf(DWORD processId, const wchar_t* className) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

struct WindowsOf {
    DWORD processId;
    const wchar_t* captionPrefix;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowsOf*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && windowText(window).rfind(search->captionPrefix, 0) == 0)
        search->found.push_back(window);
    return TRUE;
}

// All top-level windows of a process whose caption starts so, hidden or not.
// EnumWindows takes a snapshot; a walk could miss windows restacked meanwhile.
std::vector<HWND> windowsOf(DWORD processId, const wchar_t* captionPrefix) {
    WindowsOf search{processId, captionPrefix, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The churn host's windows, whatever their captions are now.
std::vector<HWND> churnWindowsOf(DWORD processId) {
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, ChurnClass, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            found.push_back(window);
    }
    return found;
}

// The windows the program should list as visible: every visible, qualifying
// top-level window, topmost first.
std::vector<HWND> qualifyingInZOrder() {
    std::vector<HWND> found;
    for (HWND w = GetTopWindow(GetDesktopWindow()); w; w = GetWindow(w, GW_HWNDNEXT))
        if (IsWindowVisible(w) && TrayApp::qualifies(w))
            found.push_back(w);
    return found;
}

class Monkey {
  public:
    Monkey(unsigned seed) : random{seed}, seed(seed) {}

    bool start(DWORD churnMs) {
        const std::wstring folder = testFolder() + L"monkey\\";
        CopyFileW((testFolder() + L"..\\mossgate.exe").c_str(), (folder + L"mossgate.exe").c_str(), FALSE);
        settled = CreateEventW(nullptr, TRUE, FALSE, (L"churn_settled_" + std::to_wstring(seed)).c_str());
        ResetEvent(settled);
        pause = CreateEventW(nullptr, TRUE, FALSE, (L"churn_pause_" + std::to_wstring(seed)).c_str());
        ResetEvent(pause);
        programPath = folder + L"mossgate.exe";
        churn = launch(L"\"" + testFolder() + L"churn_host.exe\" " + std::to_wstring(seed) + L" " +
                       std::to_wstring(ChurnWindows) + L" " + std::to_wstring(churnMs) + L" h");
        if (!churn ||
            !waitFor([&] { return windowsOf(GetProcessId(churn), L"churn").size() >= ChurnWindows; }, 20000))
            return false;
        HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
        taskbarLayered = GetWindowLongW(taskbar, GWL_EXSTYLE) & WS_EX_LAYERED;
        return startProgram();
    }

    bool startProgram() {
        if (program)
            CloseHandle(program);
        program = launch(L"\"" + programPath + L"\"");
        if (!program)
            return false;
        programId = GetProcessId(program);
        corner = nullptr;
        waitFor(
            [&] {
                HWND found = FindWindowW(names::WindowClass, nullptr);
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if (found && owner == programId)
                    corner = found;
                return corner != nullptr;
            },
            30000);
        return corner != nullptr;
    }

    ~Monkey() {
        endProcess(program);
        endProcess(churn);
        for (HANDLE h : {settled, pause})
            if (h)
                CloseHandle(h);
    }

    bool alive() const { return WaitForSingleObject(program, 0) == WAIT_TIMEOUT; }
    bool churnSettled() const { return WaitForSingleObject(settled, 0) == WAIT_OBJECT_0; }

    // Sends WM_NULL and notes how long the answer took; false when none came.
    bool answers() {
        DWORD_PTR result = 0;
        const DWORD start = GetTickCount();
        const bool answered =
            SendMessageTimeoutW(corner, WM_NULL, 0, 0, SMTO_NORMAL, AnswerBound, &result) != 0;
        slowestAnswer = std::max(slowestAnswer, GetTickCount() - start);
        return answered;
    }

    void step() {
        const unsigned what = random.below(100);
        if (what < 23)
            menu();
        else if (what < 31)
            trayEvent(WM_LBUTTONDBLCLK, random.below(3) == 0);
        else if (what < 74)
            command();
        else if (what < 88)
            dialog();
        else if (what < 90)
            endGuardian();
        else if (what < 92)
            endAndRestart(false);
        else if (what < 94)
            endAndRestart(true);
        else
            pumpMessages(random.below(60));
    }

    DWORD elapsed() const { return GetTickCount() - runStart; }

    // The guardian is ended on its own: a new one must guard the program.
    void endGuardian() {
        const DWORD guardian = guardianOf(programId);
        HANDLE process = guardian ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, guardian) : nullptr;
        if (!process)
            return;
        ++guardianEnds;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
        const DWORD start = GetTickCount();
        DWORD next = 0;
        if (!waitFor([&] { return (next = guardianOf(programId)) != 0 && next != guardian; }, 5000)) {
            ADD_FAILURE() << "no guardian was started again after " << elapsed() << " ms";
        }
        slowestGuardian = std::max(slowestGuardian, GetTickCount() - start);
    }

    // The churn host's windows that are hidden or invisible though the host
    // did not hide them itself.
    std::vector<HWND> lostWindows() const {
        std::vector<HWND> lost;
        for (HWND w : churnWindowsOf(GetProcessId(churn)))
            if (!GetPropW(w, HiddenByOwner) && (!IsWindowVisible(w) || alphaOf(w) == 0))
                lost.push_back(w);
        return lost;
    }

    // Ends mossgate alone (its guardian then acts) or every mossgate process
    // at once (the next start acts), with the churn held still, and checks
    // that no window is lost; then mossgate runs again.
    void endAndRestart(bool everyProcess) {
        SetEvent(pause);
        const DWORD pauseStart = GetTickCount();
        pumpMessages(50);
        if (everyProcess) {
            ++allEnds;
            endEveryProcessNamed(L"mossgate.exe");
            ASSERT_TRUE(startProgram()) << "mossgate starts again";
        } else {
            ++programEnds;
            TerminateProcess(program, 1);
            WaitForSingleObject(program, 5000);
        }
        const DWORD start = GetTickCount();
        if (!waitFor([&] { return lostWindows().empty(); }, RescueBound)) {
            std::wstring captions;
            for (HWND w : lostWindows())
                captions += windowText(w) + (IsWindowVisible(w) ? L" (invisible); " : L" (hidden); ");
            ADD_FAILURE() << "after " << (everyProcess ? "every mossgate process ended" : "mossgate ended")
                          << " at " << elapsed()
                          << " ms, windows stay lost: " << std::string(captions.begin(), captions.end());
        }
        slowestRescue = std::max(slowestRescue, GetTickCount() - start);
        if (!everyProcess) {
            ASSERT_TRUE(startProgram()) << "mossgate starts again";
        }
        ResetEvent(pause);
        paused += GetTickCount() - pauseStart;
    }

    HWND popup() const { return topLevelOf(programId, L"#32768"); }
    HWND openDialog() const { return topLevelOf(programId, L"#32770"); }

    bool openMenu() {
        trayEvent(WM_RBUTTONUP, false);
        return waitFor([&] { return popup() != nullptr; }, 3000);
    }

    void closeMenu() {
        if (HWND menu = popup())
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        waitFor([&] { return popup() == nullptr; }, 3000);
    }

    void menu() {
        if (!openMenu())
            return;
        ++menus;
        pumpMessages(random.below(150));
        if (random.below(3) == 0) // a second click while the menu is open
            trayEvent(random.below(2) ? WM_RBUTTONUP : WM_LBUTTONDBLCLK, random.below(2) == 0);
        closeMenu();
    }

    void command() {
        static const UINT actions[] = {
            ActionHide,        ActionHide, ActionHide, ActionTopmost, ActionFullScreen, ActionMoveToOrigin,
            ActionPowerScheme, 0,          9};
        const UINT id = makeCommandId(random.below(IndexRange), actions[random.below(9)]);
        if (random.below(4) == 0) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(corner, WM_COMMAND, id, 0, SMTO_NORMAL, 300, &result);
        } else {
            PostMessageW(corner, WM_COMMAND, id, 0);
        }
        ++commands;
    }

    void dialog() {
        const UINT index = random.below(5) == 0 ? TaskbarIndex : random.below(IndexRange);
        PostMessageW(corner, WM_COMMAND, makeCommandId(index, ActionTranslucent), 0);
        HWND box = nullptr;
        if (!waitFor([&] { return (box = openDialog()) != nullptr; }, 1000))
            return; // the entry was layered, or no entry at that index
        ++dialogs;
        pumpMessages(random.below(100));
        if (random.below(3) == 0) // tray events while the dialog's loop runs
            trayEvent(random.below(2) ? WM_RBUTTONUP : WM_LBUTTONDBLCLK, random.below(2) == 0);
        if (HWND menu = popup()) // a menu may have opened over the dialog
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        // The taskbar keeps any transparency it is given after mossgate, so
        // only other windows are set to 0 %.
        if (index != TaskbarIndex && random.below(3) == 0) {
            // 0 %: the window is there but cannot be seen.
            HWND edit = GetDlgItem(box, PercentEditId);
            DWORD_PTR result = 0;
            SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0"), SMTO_NORMAL, 1000,
                                &result);
            PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
            ++fades;
        } else {
            cancelDialog(box);
        }
        waitFor([&] { return openDialog() == nullptr; }, 3000);
    }

    void cancelDialog(HWND box) {
        switch (random.below(4)) {
        case 0:
            PostMessageW(GetDlgItem(box, PercentEditId), WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case 1:
            PostMessageW(box, WM_CLOSE, 0, 0);
            break;
        case 2:
            PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            break;
        default:
            PostMessageW(box, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
            break;
        }
    }

    // Tray events arrive posted from the shell; another program may send
    // them, which runs them inside whatever the UI thread waits in.
    void trayEvent(UINT mouse, bool sent) {
        if (sent) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(corner, TrayCallbackMessage, TrayIconId, mouse, SMTO_NORMAL, 300, &result);
        } else {
            PostMessageW(corner, TrayCallbackMessage, TrayIconId, mouse);
        }
    }

    // The program's lists as its menu shows them, read by the probe plugin.
    bool probe(std::vector<HWND>& visible, std::vector<HWND>& hidden) {
        HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, ProbeSectionName);
        HANDLE request = OpenEventW(EVENT_MODIFY_STATE, FALSE, ProbeRequestName);
        HANDLE done = OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, ProbeDoneName);
        bool read = false;
        if (section && request && done) {
            auto* record = static_cast<const ProbeRecord*>(
                MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof(ProbeRecord)));
            ResetEvent(done);
            SetEvent(request);
            for (int attempt = 0; attempt < 5 && !read; ++attempt) {
                openMenu();
                read = waitFor([&] { return WaitForSingleObject(done, 0) == WAIT_OBJECT_0; }, 3000);
            }
            closeMenu();
            if (read && record)
                split(*record, visible, hidden);
            UnmapViewOfFile(record);
        }
        for (HANDLE h : {section, request, done})
            if (h)
                CloseHandle(h);
        return read;
    }

    // Root items: version line, separator, the visible windows, then after a
    // separator the hidden ones, then a separator before the fixed items.
    static void split(const ProbeRecord& record, std::vector<HWND>& visible, std::vector<HWND>& hidden) {
        const LONG recorded = record.count;
        const LONG count = std::min<LONG>(recorded, static_cast<LONG>(ProbeCapacity));
        std::vector<HWND>* part = &visible;
        for (LONG i = 2; i < count; ++i) {
            const ProbeItem& item = record.items[i];
            if (item.kind == ProbeWindow) {
                part->push_back(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(item.window)));
            } else if (item.kind == ProbeSeparator) {
                if (part == &hidden || i + 1 >= count || record.items[i + 1].kind != ProbeWindow)
                    break;
                part = &hidden;
            }
        }
    }

    void exitSomehow() {
        const unsigned way = random.below(4);
        std::printf("monkey: leaving by way %u\n", way);
        switch (way) {
        case 0: // Exit chosen while the transparency dialog is open
            PostMessageW(corner, WM_COMMAND, makeCommandId(TaskbarIndex, ActionTranslucent), 0);
            waitFor([&] { return openDialog() != nullptr; }, 2000);
            PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
            break;
        case 1: // Exit while the menu is open
            openMenu();
            PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
            break;
        case 2: // another program closes the corner window
            PostMessageW(corner, WM_CLOSE, 0, 0);
            break;
        default:
            PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
            break;
        }
    }

    SeededRandom random;
    unsigned seed;
    std::wstring programPath;
    HANDLE program = nullptr;
    HANDLE churn = nullptr;
    HANDLE settled = nullptr;
    HANDLE pause = nullptr;
    DWORD runStart = GetTickCount();
    DWORD paused = 0;
    DWORD slowestGuardian = 0;
    DWORD slowestRescue = 0;
    int fades = 0, guardianEnds = 0, programEnds = 0, allEnds = 0;
    DWORD programId = 0;
    HWND corner = nullptr;
    bool taskbarLayered = false;
    DWORD slowestAnswer = 0;
    int menus = 0, commands = 0, dialogs = 0;
};

TEST(Monkey, ChurnMenusCommandsAndDialogsNeverBreakTheProgram) {
    const unsigned seed = setting(L"MOSSGATE_MONKEY_SEED", 20261210);
    const DWORD churnMs = setting(L"MOSSGATE_MONKEY_SECONDS", 20) * 1000;
    SCOPED_TRACE(testing::Message() << "seed " << seed << " (MOSSGATE_MONKEY_SEED to repeat)");
    std::printf("monkey: seed %u, %lu s of churn\n", seed, static_cast<unsigned long>(churnMs / 1000));

    Monkey monkey(seed);
    ASSERT_TRUE(monkey.start(churnMs));
    const DWORD start = GetTickCount();
    monkey.runStart = start;
    while (!monkey.churnSettled() && GetTickCount() - start < churnMs + monkey.paused + 60000) {
        monkey.step();
        if (testing::Test::HasFatalFailure())
            return;
        ASSERT_TRUE(monkey.alive()) << "the program died after " << (GetTickCount() - start) << " ms";
        ASSERT_TRUE(monkey.answers())
            << "no answer within " << AnswerBound << " ms after " << (GetTickCount() - start) << " ms";
    }
    ASSERT_TRUE(monkey.churnSettled());
    std::printf("monkey: %d menus, %d commands, %d dialogs, %d set to 0 %%; slowest answer %lu ms\n",
                monkey.menus, monkey.commands, monkey.dialogs, monkey.fades,
                static_cast<unsigned long>(monkey.slowestAnswer));
    std::printf("monkey: ended the guardian %d times (new one within %lu ms), mossgate alone %d times, "
                "every mossgate process %d times (windows back within %lu ms)\n",
                monkey.guardianEnds, static_cast<unsigned long>(monkey.slowestGuardian), monkey.programEnds,
                monkey.allEnds, static_cast<unsigned long>(monkey.slowestRescue));

    // Quiet now: a few passes bring the lists in step with the desktop. A
    // window mossgate hid and its program showed again counts as hidden
    // until its thread has surely handled the hide: up to six seconds.
    if (HWND box = monkey.openDialog())
        monkey.cancelDialog(box);
    monkey.closeMenu();
    pumpMessages(6500);
    // Under Wine the desktop's order can change while the menu opens (the
    // foreground moves to the program and another window may be raised), so
    // the menu is held against an order that stood from before it opened
    // until after it closed.
    std::vector<HWND> visible, hidden, desktop;
    for (int attempt = 0; attempt < 3; ++attempt) {
        desktop = qualifyingInZOrder();
        visible.clear();
        hidden.clear();
        ASSERT_TRUE(monkey.probe(visible, hidden)) << "the probe read the menu";
        if (qualifyingInZOrder() == desktop)
            break;
        pumpMessages(300);
    }
    EXPECT_EQ(visible, desktop) << "the visible list is the desktop's, in z-order";
    std::set<HWND> seen;
    for (const auto* part : {&visible, &hidden})
        for (HWND w : *part)
            EXPECT_TRUE(seen.insert(w).second) << "window " << w << " listed twice";
    for (HWND w : hidden)
        EXPECT_TRUE(IsWindow(w) && !IsWindowVisible(w)) << "a listed hidden window is hidden";
    std::printf("monkey: %zu visible and %zu hidden windows listed\n", visible.size(), hidden.size());

    monkey.exitSomehow();
    EXPECT_EQ(waitExit(monkey.program, ExitBound), 0u) << "the program ends promptly with 0";
    const std::vector<HWND> churnWindows = windowsOf(GetProcessId(monkey.churn), L"churn");
    std::wstring captions;
    for (HWND w : churnWindows)
        captions += windowText(w) + L"; ";
    EXPECT_EQ(churnWindows.size(), static_cast<size_t>(ChurnWindows + 1))
        << std::string(captions.begin(), captions.end());
    auto listedAs = [&](HWND w) {
        if (std::find(visible.begin(), visible.end(), w) != visible.end())
            return "listed visible";
        if (std::find(hidden.begin(), hidden.end(), w) != hidden.end())
            return "listed hidden";
        return "not listed";
    };
    for (HWND w : churnWindows) {
        EXPECT_TRUE(waitFor([&] { return IsWindowVisible(w) != FALSE; }, RescueBound))
            << windowText(w) << " is visible after exit (it was " << listedAs(w) << " before)";
        // Only ever set to 0 %, which no window keeps after mossgate.
        EXPECT_TRUE(waitFor([&] { return alphaOf(w) == NotLayered; }, RescueBound))
            << windowText(w) << " is not transparent (alpha " << alphaOf(w) << ")";
    }
    HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
    EXPECT_EQ((GetWindowLongW(taskbar, GWL_EXSTYLE) & WS_EX_LAYERED) != 0, monkey.taskbarLayered)
        << "the taskbar is as it was";
}

} // namespace
