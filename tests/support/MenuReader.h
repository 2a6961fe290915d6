#pragma once
#include <windows.h>

#include <string>
#include <vector>

// One item of a menu as the system reports it.
struct MenuItem {
    UINT id = 0;
    UINT type = 0;  // MFT_ flags
    UINT state = 0; // MFS_ flags
    ULONG_PTR data = 0;
    std::wstring text; // only for string items
    std::vector<MenuItem> submenu;

    bool separator() const { return type & MFT_SEPARATOR; }
    bool ownerDrawn() const { return type & MFT_OWNERDRAW; }
    bool checked() const { return state & MFS_CHECKED; }
    bool grayed() const { return state & MFS_GRAYED; }
};

std::vector<MenuItem> readMenu(HMENU menu);
