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

// Runs `call`, which acts on `window`, directly for this thread's windows and
// otherwise on a helper thread that is given `limitMs` to finish; sent
// messages are handled meanwhile. A call that takes longer goes on by itself
// and its effect lands when the window's thread answers again, so `call`
// must own everything it uses. True when the call finished within the limit.
bool callWindow(HWND window, DWORD limitMs, std::function<void()> call);

// Whether the window belongs to a program running at a higher integrity
// level than this one (as administrator, while this program does not):
// Windows then refuses every change this program would make to it.
bool beyondReach(HWND window);

// Tests decide which windows count as beyond reach (Wine runs every program
// at one level). Nothing in the program calls this.
void setReachProbeForTests(bool (*probe)(HWND window));
