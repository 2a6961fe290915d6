#include "support/MenuReader.h"

std::vector<MenuItem> readMenu(HMENU menu) {
    std::vector<MenuItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        MenuItem item;
        item.id = info.wID;
        item.type = info.fType;
        item.state = info.fState;
        item.data = info.dwItemData;
        if (!(info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR))) {
            wchar_t text[256] = {};
            GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
            item.text = text;
        }
        if (info.hSubMenu)
            item.submenu = readMenu(info.hSubMenu);
        items.push_back(item);
    }
    return items;
}
