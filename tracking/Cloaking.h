#pragma once
#include <windows.h>

// Whether the desktop window manager keeps the window "cloaked": present and
// visible by its style, yet not shown. Windows 10 and 11 cloak suspended
// Store apps, shell hosts and every window on another virtual desktop. A
// system without the desktop window manager, or a failed query, means no.
bool isCloaked(HWND window);
