#pragma once
#include <windows.h>

#include <vector>

// The desktop less a taskbar that reaches at least across one whole edge; a
// taskbar that touches no edge that way leaves the desktop whole. Used for
// the corner window's place.
RECT cutTaskbarReaching(RECT desktop, const RECT& taskbar);

// The screen less a taskbar docked exactly along one whole edge; an
// auto-hidden or floating taskbar leaves the screen whole. Used for full
// screen.
RECT cutTaskbarDocked(RECT screen, const RECT& taskbar);

// Reads the desktop and, when there is one, the taskbar, and applies `cut`.
RECT screenLessTaskbar(RECT (*cut)(RECT, const RECT&));

// Where full screen stretches a window on the monitor `monitor`: the monitor
// less the taskbar docked along one of its whole edges. Of the taskbars
// (the primary one and those on other monitors) only one lying on this
// monitor counts; with none, the monitor is whole.
RECT fullScreenArea(const RECT& monitor, const std::vector<RECT>& taskbars);

// The window rectangle `frame` (around a client area whose corner is at
// (0, 0)) moved so that the client area starts at the work area's corner.
RECT atWorkAreaCorner(RECT frame, const RECT& workArea);

// The taskbars: the primary one first, then those of other monitors.
std::vector<HWND> findTaskbars();

// The monitor the window is on and that monitor's work area.
void windowMonitor(HWND window, RECT& monitor, RECT& workArea);
