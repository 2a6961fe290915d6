#pragma once
// Typing in the open tray menu: a letter or digit reaches the window items
// whose captions start with it.
#include <windows.h>

#include <vector>

// An item of the root menu as typing sees it.
struct TypedItem {
    bool window;     // a window item; the fixed items keep their behaviour
    wchar_t initial; // the first character of its caption, 0 for none
};

// Whether a caption starting with `initial` answers to `typed`: upper and
// lower case, and full-width and half-width forms, count alike.
bool answersTo(wchar_t initial, wchar_t typed);

// The answer to WM_MENUCHAR: 0 when no window item answers (or `typed` is
// no letter or digit); MNC_EXECUTE at the one item that answers, which opens
// its submenu; else MNC_SELECT at the next one after `selected` (-1 for
// none), wrapping round.
LRESULT typedCharAnswer(wchar_t typed, const std::vector<TypedItem>& items, int selected);
