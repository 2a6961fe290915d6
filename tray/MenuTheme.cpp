#include "tray/MenuTheme.h"
#include "app/ReadableMemory.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"

#include <cwchar>

namespace {

constexpr wchar_t PersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t AppsUseLightTheme[] = L"AppsUseLightTheme";
constexpr wchar_t ImmersiveColorSet[] = L"ImmersiveColorSet";

constexpr WORD AppModeOrdinal = 135;
constexpr WORD FlushMenuThemesOrdinal = 136;
// The builds from which ordinal 135 means what AppModeCall names.
constexpr DWORD AllowDarkModeBuild = 17763;
constexpr DWORD PreferredAppModeBuild = 18362;
// SetPreferredAppMode's modes.
constexpr int DefaultAppMode = 0;
constexpr int ForceDarkAppMode = 2;

// The dark menu of Windows 11.
constexpr COLORREF DarkBackground = RGB(43, 43, 43);
constexpr COLORREF DarkText = RGB(255, 255, 255);
constexpr COLORREF DarkSelection = RGB(65, 65, 65);
constexpr COLORREF DarkGrayedText = RGB(128, 128, 128);

// The system's build, which compatibility shims do not change.
void ntVersion(DWORD& major, DWORD& build) {
    using VersionNumbersFn = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
    major = build = 0;
    DWORD minor = 0;
    if (auto numbers =
            findExport<VersionNumbersFn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetNtVersionNumbers")) {
        numbers(&major, &minor, &build);
        build &= 0x0FFFFFFF; // the top bits say what kind of build it is
    }
}

FARPROC ordinal(HMODULE module, WORD number) {
    return module ? GetProcAddress(module, MAKEINTRESOURCEA(number)) : nullptr;
}

// uxtheme keeps the app mode it is given; it stays loaded so that the mode
// does, as it does anyway in a program whose controls are themed.
HMODULE uxtheme() {
    static const HMODULE library = loadSystemLibrary(L"uxtheme.dll");
    return library;
}

} // namespace

MenuThemeChoice chooseMenuTheme(const MenuThemeInputs& in) {
    MenuThemeChoice choice{MenuMode::Light, AppModeCall::None, 0, false};
    if (in.highContrast)
        choice.mode = MenuMode::HighContrast;
    else if (in.appsUseLightTheme && *in.appsUseLightTheme == 0)
        choice.mode = MenuMode::Dark;
    const bool dark = choice.mode == MenuMode::Dark;
    // The ordinals are used only where their meaning is known.
    if (in.majorVersion == 10 && in.hasOrdinal135) {
        if (in.build >= PreferredAppModeBuild) {
            choice.call = AppModeCall::SetPreferredAppMode;
            choice.argument = dark ? ForceDarkAppMode : DefaultAppMode;
        } else if (in.build >= AllowDarkModeBuild) {
            choice.call = AppModeCall::AllowDarkModeForApp;
            choice.argument = dark ? TRUE : FALSE;
        }
    }
    choice.flushMenus = choice.call != AppModeCall::None && in.hasOrdinal136;
    return choice;
}

MenuThemeInputs readMenuThemeInputs() {
    MenuThemeInputs in{};
    DWORD value = 0, size = sizeof(value), type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, PersonalizeKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExW(key, AppsUseLightTheme, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) == ERROR_SUCCESS &&
            type == REG_DWORD)
            in.appsUseLightTheme = value;
        RegCloseKey(key);
    }
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    in.highContrast = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
                      (contrast.dwFlags & HCF_HIGHCONTRASTON);
    ntVersion(in.majorVersion, in.build);
    if (in.majorVersion == 10 && in.build >= AllowDarkModeBuild) {
        in.hasOrdinal135 = ordinal(uxtheme(), AppModeOrdinal) != nullptr;
        in.hasOrdinal136 = ordinal(uxtheme(), FlushMenuThemesOrdinal) != nullptr;
    }
    return in;
}

void applySystemMenus(const MenuThemeChoice& choice) {
    static AppModeCall lastCall = AppModeCall::None;
    static int lastArgument = 0;
    if (choice.call == AppModeCall::None || (choice.call == lastCall && choice.argument == lastArgument))
        return;
    lastCall = choice.call;
    lastArgument = choice.argument;
    // Both forms take one 32-bit argument: a BOOL, or the mode.
    using AppModeFn = int(WINAPI*)(int);
    if (auto setMode =
            reinterpret_cast<AppModeFn>(reinterpret_cast<void*>(ordinal(uxtheme(), AppModeOrdinal))))
        setMode(choice.argument);
    using FlushFn = void(WINAPI*)();
    if (choice.flushMenus)
        if (auto flush = reinterpret_cast<FlushFn>(
                reinterpret_cast<void*>(ordinal(uxtheme(), FlushMenuThemesOrdinal))))
            flush();
}

bool isColorSetChange(LPARAM lParam) {
    const auto* text = reinterpret_cast<const wchar_t*>(lParam);
    constexpr size_t length = sizeof(ImmersiveColorSet) / sizeof(wchar_t);
    return text && isReadableMemory(text, sizeof(ImmersiveColorSet)) &&
           wcsncmp(text, ImmersiveColorSet, length) == 0;
}

MenuPalette menuPalette(MenuMode mode, bool themeActive) {
    if (mode == MenuMode::Dark)
        return {DarkBackground, DarkText, DarkSelection, DarkText,
                DarkGrayedText, false,    DarkSelection, true};
    // The system's colours, as the menu has always had them.
    MenuPalette palette{};
    palette.background = GetSysColor(COLOR_MENU);
    palette.text = GetSysColor(COLOR_MENUTEXT);
    palette.selection = GetSysColor(themeActive ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT);
    palette.selectedText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    palette.grayedText = GetSysColor(COLOR_GRAYTEXT);
    palette.framedSelection = themeActive;
    palette.frame = GetSysColor(COLOR_HIGHLIGHT);
    palette.ownArrows = false;
    return palette;
}
