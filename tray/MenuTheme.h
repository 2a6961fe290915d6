#pragma once
// Light or dark: the tray menu follows the theme the user chose for apps.
#include <windows.h>

#include <optional>

enum class MenuMode {
    Light,
    Dark,
    // The system's colours, whatever the theme.
    HighContrast,
};

// The uxtheme export behind ordinal 135, which means different things by
// build, and nothing the program may call before build 17763.
enum class AppModeCall {
    None,
    AllowDarkModeForApp, // build 17763: BOOL allow
    SetPreferredAppMode, // build 18362 on: a mode
};

// What the program reads from the system to choose the menu's look.
struct MenuThemeInputs {
    std::optional<DWORD> appsUseLightTheme; // the registry value; none when absent
    bool highContrast;
    DWORD majorVersion; // as RtlGetNtVersionNumbers reports them, not shimmed
    DWORD build;
    bool hasOrdinal135; // in the system's uxtheme.dll
    bool hasOrdinal136; // FlushMenuThemes
};

// The choice: the look of the menu the program draws, and the calls that
// make the menus the system draws follow where the system has them.
struct MenuThemeChoice {
    MenuMode mode;
    AppModeCall call;
    int argument;    // what `call` is given: TRUE or FALSE, or the app mode
    bool flushMenus; // FlushMenuThemes after the call
};
MenuThemeChoice chooseMenuTheme(const MenuThemeInputs& inputs);

// The inputs as the system gives them now.
MenuThemeInputs readMenuThemeInputs();

// Applies the choice to the menus the system draws, when it differs from
// what was applied last (at start the system's own default, light).
void applySystemMenus(const MenuThemeChoice& choice);

// Whether a WM_SETTINGCHANGE says the app theme changed; the text comes
// from another program and is checked before it is read.
bool isColorSetChange(LPARAM lParam);

// The colours of the items the program draws.
struct MenuPalette {
    COLORREF background;
    COLORREF text;
    COLORREF selection;
    COLORREF selectedText;
    COLORREF grayedText;
    bool framedSelection; // a one-pixel frame round the selected item
    COLORREF frame;
    bool ownArrows; // the program draws the submenu arrows itself
};
MenuPalette menuPalette(MenuMode mode, bool themeActive);
