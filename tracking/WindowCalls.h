#pragma once
// Calls on other programs' windows that never hang this program.
//
// ShowWindow, SetWindowPos, SetWindowLongW and SetWindowPlacement on a window
// of another thread wait until that thread answers, which a hung program
// never does. For this thread's own windows the calls are direct.
#include <windows.h>

#include <functional>

// The window's placement; its normal position is in workspace coordinates.
WINDOWPLACEMENT readPlacement(HWND window);

// Whether `window` belongs to the calling thread.
bool ownedByThisThread(HWND window);

// Shows or hides the window without waiting for its thread.
void showWindowNoWait(HWND window, int command);

// How long a command waits for a window whose change has no asynchronous
// form before it lets the change land on its own.
inline constexpr DWORD WindowCallLimit = 250;

// Calls still running for windows that have not answered yet are capped:
// one per window, so a window ends in the state of the command that was
// accepted, and this many in all, each with a small stack, so windows that
// never answer cannot use up the program's threads or address space.
inline constexpr size_t MaxPendingWindowCalls = 4;
inline constexpr SIZE_T WindowCallStack = 64 * 1024;

enum class WindowCall {
    Done,    // finished within the limit
    Pending, // still waiting for the window; it lands when the window answers
    Refused, // not started: a call on this window is still pending, or too many are
};

// Whether callWindow would start a call on `window` now.
bool windowCallAccepted(HWND window);

// Runs `call`, which acts on `window`, directly for this thread's windows and
// otherwise on a helper thread that is given `limitMs` to finish; sent
// messages are handled meanwhile. A call that takes longer goes on by itself
// and its effect lands when the window's thread answers again, so `call`
// must own everything it uses.
WindowCall callWindow(HWND window, DWORD limitMs, std::function<void()> call);

// The number of calls still pending, for the tests.
size_t pendingWindowCalls();

// Whether the window belongs to a program running at a higher integrity
// level than this one (as administrator, while this program does not):
// Windows then refuses every change this program would make to it.
bool beyondReach(HWND window);

// What could be read of a window's process. A process that opens but whose
// token does not belongs to another account (a program run as administrator
// with another user's credentials): that is beyond reach too. A process that
// does not open at all tells nothing, and neither does a level that cannot
// be read.
struct ProcessRank {
    bool processOpened;
    bool tokenOpened;
    DWORD level; // the integrity level; 0 when it could not be read
};
bool outranks(const ProcessRank& other, DWORD ownLevel);

// Tests decide which windows count as beyond reach (Wine runs every program
// at one level). Nothing in the program calls this.
void setReachProbeForTests(bool (*probe)(HWND window));
