#pragma once
#include <windows.h>

#include <string>

// A window item's text: the caption's first 63 characters, followed by " ..."
// once the caption reaches 63 characters.
std::wstring shortenCaption(const std::wstring& caption);

// The text an owner-drawn item of the tray menu shows, by its item data: a
// fixed item's tag, or the window entry it stands for.
std::wstring menuItemText(ULONG_PTR data);
