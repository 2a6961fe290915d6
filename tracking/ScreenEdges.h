#pragma once
#include <windows.h>

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
