#pragma once
// Marks this program leaves on other programs' windows while it has them
// hidden or fully transparent. They live on the windows themselves, so the
// fact outlives every mossgate process: the guardian, a crashing process and
// the next start all find them there and put the windows right. A window
// that its own program destroys takes its marks with it.
#include <windows.h>

// Registers the marks' names with the system. The marks are kept under
// atoms registered once, so that no window destroyed with a mark on it
// leaves a reference behind. False when the system refused.
bool prepareMarks();

// The window is hidden by this program; `showCmd` brings it back.
void markHidden(HWND window, UINT showCmd);
void unmarkHidden(HWND window);
// The window is fully transparent (alpha 0) by this program's doing.
void markInvisible(HWND window);
void unmarkInvisible(HWND window);

bool markedHidden(HWND window);
bool markedInvisible(HWND window);

// The show command that brings a hidden window back, whatever a mark holds:
// only the three ways of showing a window are ever used.
int restoringShowCommand(UINT saved);

// Puts right every top-level window that carries a mark: shows the hidden
// ones, gives the fully transparent ones their opacity back and takes their
// layering off, and removes the marks. Shows never wait for the window;
// taking layering off has no asynchronous form, and waits at most `waitMs`
// per window (tracking/WindowCalls.h), a window that answers later keeping
// its mark until then.
void restoreMarkedWindows(DWORD waitMs);

// The same for a process that is crashing: it allocates nothing and starts
// nothing. The windows are shown and made opaque; their layering, and the
// mark that says so, are left to the guardian or the next start.
void restoreMarkedWindowsNow();
