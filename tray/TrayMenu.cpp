#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"
#include "tray/MenuLook.h"
#include "tray/MenuSet.h"
#include "tray/MenuTheme.h"
#include "tray/MenuTyping.h"
#include "tray/OwnerDraw.h"

namespace {

constexpr UINT OwnerDrawPopup = MF_BYPOSITION | MF_POPUP | MF_OWNERDRAW;
constexpr UINT OwnerDrawItem = MF_BYPOSITION | MF_OWNERDRAW;
constexpr UINT AtEnd = 0xFFFFFFFF;

void appendSeparator(HMENU menu) {
    InsertMenuW(menu, AtEnd, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

} // namespace

void TrayApp::showTrayMenu() {
    BusyScope operation(busy);
    if (!operation.entered())
        return;
    MenuSet menus;
    if (!buildTrayMenu(menus))
        return;
    // Building waits for the lock and for windows' icons, and Exit may have
    // been chosen meanwhile (another program sent it): no menu opens for a
    // program that is ending, whose quit message the menu's loop could eat.
    if (!quitting) {
        POINT cursor{};
        GetCursorPos(&cursor);
        // Light or dark as the user's settings say now, so that a change in
        // Settings shows in the next menu; measured and drawn for the
        // monitor the menu opens on.
        const MenuThemeChoice theme = chooseMenuTheme(readMenuThemeInputs());
        applySystemMenus(theme);
        MenuLook look(*this, dpiAt(cursor), theme.mode);
        if (theme.mode == MenuMode::Dark) {
            MENUINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = MIM_BACKGROUND;
            info.hbrBack = look.background;
            SetMenuInfo(menus.root, &info);
        }
        menuLook = &look;
        menuRoot = menus.root;
        SetForegroundWindow(mainWindow);
        menuShowing = true;
        TrackPopupMenu(menus.root, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, mainWindow,
                       nullptr);
        menuShowing = false;
        menuRoot = nullptr;
        menuLook = nullptr;
        // So that the menu closes when the user clicks elsewhere next time,
        // as the documentation of tray menus asks.
        PostMessageW(mainWindow, WM_NULL, 0, 0);
    }
    menus.destroyAll();
    ReleaseMutex(scanMutex);
    // Exit chosen while the menu was open ends the loop even if the menu's
    // loop took the quit message.
    if (quitting)
        PostQuitMessage(0);
}

// Builds the whole root popup into `menus`. On success the caller holds the
// scan mutex and must release it after the menus are destroyed.
bool TrayApp::buildTrayMenu(MenuSet& menus) {
    themeActive = queryThemeActive();
    HMENU loaded = menus.add(LoadMenuW(instance, MAKEINTRESOURCEW(MenuResource)));
    if (!loaded)
        return false;
    HMENU root = GetSubMenu(loaded, 0);
    menus.root = root;
    DeleteMenu(root, 0, MF_BYPOSITION);

    lockForUi();
    requestIcons();
    menuWindows.clear();
    UINT index = 0;
    // Window items stop at 127 so that no two items, nor an item and the
    // taskbar's 0xF7F3, ever share a command id.
    auto appendWindows = [&](const std::list<WindowEntry*>& windows) {
        for (WindowEntry* entry : windows) {
            if (index >= MaxWindowItems)
                return;
            HMENU submenu = menus.add(CreateMenu());
            fillWindowSubmenu(entry, submenu, index);
            menuWindows.push_back({entry, entry->getHandle()});
            InsertMenuW(root, AtEnd, OwnerDrawPopup, reinterpret_cast<UINT_PTR>(submenu),
                        reinterpret_cast<const wchar_t*>(entry));
            ++index;
        }
    };
    appendWindows(visibleWindows);
    if (visibleWindows.empty())
        InsertMenuW(root, AtEnd, MF_BYPOSITION | MF_GRAYED | MF_DISABLED, 0, texts::NoVisibleWindow);
    if (!hiddenWindows.empty()) {
        appendSeparator(root);
        appendWindows(hiddenWindows);
    }
    appendSeparator(root);

    if (HWND taskbar = FindWindowW(names::TaskbarClass, nullptr)) {
        UINT flags = MF_BYPOSITION;
        if (GetWindowLongW(taskbar, GWL_EXSTYLE) & WS_EX_LAYERED)
            flags |= MF_CHECKED;
        HMENU submenu = menus.add(CreateMenu());
        InsertMenuW(submenu, 0, flags, TaskbarTranslucentCommand, texts::TaskbarTranslucent);
        InsertMenuW(root, AtEnd, OwnerDrawPopup, reinterpret_cast<UINT_PTR>(submenu),
                    reinterpret_cast<const wchar_t*>(TaskbarItemTag));
    }
    fillPowerSchemeMenu(root, menus.add(CreateMenu()));

    InsertMenuW(root, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    InsertMenuW(root, 0, OwnerDrawItem, VersionCommand, reinterpret_cast<const wchar_t*>(VersionItemTag));
    appendSeparator(root);
    InsertMenuW(root, AtEnd, OwnerDrawItem, AboutCommand, reinterpret_cast<const wchar_t*>(AboutItemTag));
    InsertMenuW(root, AtEnd, OwnerDrawItem, ExitCommand, reinterpret_cast<const wchar_t*>(ExitItemTag));
    nameOwnerDrawnItems(root);
    return true;
}

// Each owner-drawn item also carries the text it shows, for screen readers
// and UI automation, with every "&" doubled so that none becomes an access
// key. A window item's data, its entry, begins with the same name.
void TrayApp::nameOwnerDrawnItems(HMENU root) {
    const int count = GetMenuItemCount(root);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        if (!GetMenuItemInfoW(root, static_cast<UINT>(position), TRUE, &info) ||
            !(info.fType & MFT_OWNERDRAW))
            continue;
        std::wstring name;
        for (wchar_t c : menuItemText(info.dwItemData)) {
            name += c;
            if (c == L'&')
                name += c;
        }
        if (!isFixedItem(info.dwItemData))
            reinterpret_cast<WindowEntry*>(info.dwItemData)->setMenuName(name);
        MENUITEMINFOW named{};
        named.cbSize = sizeof(named);
        named.fMask = MIIM_STRING;
        named.dwTypeData = name.data();
        SetMenuItemInfoW(root, static_cast<UINT>(position), TRUE, &named);
    }
}

LRESULT TrayApp::onMenuChar(wchar_t typed) {
    std::vector<TypedItem> items;
    int selected = -1;
    const int count = GetMenuItemCount(menuRoot);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STATE | MIIM_SUBMENU;
        TypedItem item{false, 0};
        if (GetMenuItemInfoW(menuRoot, static_cast<UINT>(position), TRUE, &info)) {
            if (info.fState & MFS_HILITE)
                selected = position;
            item.window = (info.fType & MFT_OWNERDRAW) && info.hSubMenu && !isFixedItem(info.dwItemData);
            if (item.window) {
                const std::wstring caption =
                    reinterpret_cast<const WindowEntry*>(info.dwItemData)->getCaption();
                item.initial = caption.empty() ? 0 : caption.front();
            }
        }
        items.push_back(item);
    }
    return typedCharAnswer(typed, items, selected);
}

void TrayApp::fillWindowSubmenu(WindowEntry* entry, HMENU submenu, UINT index) {
    HWND window = entry->getHandle();
    auto style = [window] { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); };
    auto exStyle = [window] { return static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)); };
    auto append = [&](UINT flags, UINT action, const wchar_t* text) {
        InsertMenuW(submenu, AtEnd, MF_BYPOSITION | flags, makeCommandId(index, action), text);
    };

    append((style() & WS_VISIBLE) ? 0 : MF_CHECKED, ActionHide, texts::ActionHide);
    append((exStyle() & WS_EX_TOPMOST) ? MF_CHECKED : 0, ActionTopmost, texts::ActionTopmost);
    if (alphaBlendSupported)
        append((exStyle() & WS_EX_LAYERED) ? MF_CHECKED : 0, ActionTranslucent, texts::ActionTranslucent);
    UINT fullScreenFlags = MF_GRAYED;
    if (style() & WS_THICKFRAME)
        fullScreenFlags = entry->isFullScreen() ? MF_CHECKED : 0;
    append(fullScreenFlags, ActionFullScreen, texts::ActionFullScreen);
    append((style() & WS_MAXIMIZE) ? MF_GRAYED : 0, ActionMoveToOrigin, texts::ActionMoveToOrigin);
}

bool TrayApp::isFixedItem(ULONG_PTR data) {
    return data >= VersionItemTag && data <= ExitItemTag;
}

bool TrayApp::isMenuItemData(ULONG_PTR data) const {
    if (isFixedItem(data))
        return true;
    for (const MenuWindow& item : menuWindows)
        if (reinterpret_cast<ULONG_PTR>(item.entry) == data)
            return true;
    return false;
}
