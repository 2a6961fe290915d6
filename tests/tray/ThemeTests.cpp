// The tray menu at home on today's Windows: light or dark as the user's app
// theme says, reachable by typing, and named for screen readers.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/Names.h"
#include "app/Scoped.h"
#include "support/MenuReader.h"
#include "support/TestSupport.h"
#include "tray/MenuLook.h"
#include "tray/MenuTheme.h"
#include "tray/MenuTyping.h"
#include "tray/OwnerDraw.h"

namespace {

int luminance(COLORREF c) {
    return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000;
}

TEST(MenuTheme, ChoiceByThemeContrastAndBuild) {
    using Call = AppModeCall;
    struct Case {
        const char* name;
        MenuThemeInputs in;
        MenuMode mode;
        Call call;
        int argument;
        bool flush;
    } cases[] = {
        {"no value: light",
         {std::nullopt, false, 10, 22631, true, true},
         MenuMode::Light,
         Call::SetPreferredAppMode,
         0,
         true},
        {"light", {1u, false, 10, 22631, true, true}, MenuMode::Light, Call::SetPreferredAppMode, 0, true},
        {"dark on 22631",
         {0u, false, 10, 22631, true, true},
         MenuMode::Dark,
         Call::SetPreferredAppMode,
         2,
         true},
        {"dark on 18362",
         {0u, false, 10, 18362, true, true},
         MenuMode::Dark,
         Call::SetPreferredAppMode,
         2,
         true},
        {"dark on 17763",
         {0u, false, 10, 17763, true, true},
         MenuMode::Dark,
         Call::AllowDarkModeForApp,
         1,
         true},
        {"dark on 17134: no ordinal means it yet",
         {0u, false, 10, 17134, true, true},
         MenuMode::Dark,
         Call::None,
         0,
         false},
        {"dark, ordinal 135 missing",
         {0u, false, 10, 22631, false, true},
         MenuMode::Dark,
         Call::None,
         0,
         false},
        {"dark, ordinal 136 missing",
         {0u, false, 10, 22631, true, false},
         MenuMode::Dark,
         Call::SetPreferredAppMode,
         2,
         false},
        {"dark on Windows 7 (as Wine reports)",
         {0u, false, 6, 7601, false, false},
         MenuMode::Dark,
         Call::None,
         0,
         false},
        {"high contrast beats dark",
         {0u, true, 10, 22631, true, true},
         MenuMode::HighContrast,
         Call::SetPreferredAppMode,
         0,
         true},
        {"high contrast, light",
         {1u, true, 10, 19045, true, true},
         MenuMode::HighContrast,
         Call::SetPreferredAppMode,
         0,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MenuThemeChoice choice = chooseMenuTheme(c.in);
        EXPECT_EQ(choice.mode, c.mode);
        EXPECT_EQ(choice.call, c.call);
        EXPECT_EQ(choice.argument, c.argument);
        EXPECT_EQ(choice.flushMenus, c.flush);
    }
}

TEST(MenuTheme, DarkPaletteIsDarkAndTheOthersAreTheSystemsColours) {
    const MenuPalette dark = menuPalette(MenuMode::Dark, true);
    EXPECT_LT(luminance(dark.background), 80);
    EXPECT_GT(luminance(dark.text), 200);
    EXPECT_NE(dark.selection, dark.background);
    EXPECT_LT(luminance(dark.grayedText), luminance(dark.text));
    EXPECT_GT(luminance(dark.grayedText), luminance(dark.background));
    for (MenuMode mode : {MenuMode::Light, MenuMode::HighContrast}) {
        const MenuPalette system = menuPalette(mode, false);
        EXPECT_EQ(system.background, GetSysColor(COLOR_MENU));
        EXPECT_EQ(system.text, GetSysColor(COLOR_MENUTEXT));
        EXPECT_EQ(system.selection, GetSysColor(COLOR_HIGHLIGHT));
        EXPECT_FALSE(system.ownArrows);
    }
}

// A dark item is drawn dark with light text; an item that opens a submenu
// gets a light arrow at its right end, the others none.
TEST(MenuTheme, DarkItemsAreDrawnDarkWithTheirOwnArrow) {
    BareApp app;
    MenuLook look(*app, systemDpi(), MenuMode::Dark);
    app->menuLook = &look;
    const int width = 200, height = 24;
    const int arrowX = width - look.scale(7) - 1, middle = height / 2;
    {
        DrawnItem taskbar(*app, TaskbarItemTag, width, height);
        EXPECT_LT(luminance(taskbar.pixel(width - 3, 1)), 80) << "dark fill";
        EXPECT_GT(luminance(taskbar.pixel(arrowX, middle)), 200) << "a light arrow";
    }
    {
        DrawnItem about(*app, AboutItemTag, width, height);
        EXPECT_LT(luminance(about.pixel(arrowX, middle)), 80) << "no arrow without a submenu";
    }
    app->menuLook = nullptr;
}

TEST(MenuTyping, AnswerByTheTypedCharacter) {
    const std::vector<TypedItem> items = {
        {false, L'm'},  // 0: the version line, fixed
        {false, 0},     // 1: separator
        {true, L'N'},   // 2: Notepad
        {true, L'b'},   // 3: browser
        {true, L'n'},   // 4: notes
        {true, 0xFF2E}, // 5: a full-width Ｎ
        {true, L'Z'},   // 6: the only Z
        {true, 0},      // 7: no caption
        {false, L'e'},  // 8: exit, fixed
    };
    struct Case {
        const char* name;
        wchar_t typed;
        int selected;
        LRESULT answer;
    } cases[] = {
        {"several: the first after none selected", L'n', -1, MAKELRESULT(2, MNC_SELECT)},
        {"several: the next after the selected one", L'n', 2, MAKELRESULT(4, MNC_SELECT)},
        {"the full-width one counts", L'n', 4, MAKELRESULT(5, MNC_SELECT)},
        {"wraps round", L'N', 5, MAKELRESULT(2, MNC_SELECT)},
        {"selected item not a match", L'n', 3, MAKELRESULT(4, MNC_SELECT)},
        {"full-width input", 0xFF4E, 2, MAKELRESULT(4, MNC_SELECT)},
        {"exactly one opens it", L'z', -1, MAKELRESULT(6, MNC_EXECUTE)},
        {"single, typed full width", 0xFF3A, 3, MAKELRESULT(6, MNC_EXECUTE)},
        {"no window starts so", L'q', 2, 0},
        {"fixed items are not reached", L'e', -1, 0},
        {"not a letter or digit", L'&', -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(typedCharAnswer(c.typed, items, c.selected), c.answer);
    }
}

// Polls for the submenu a key press opens, inside the menu's own loop.
struct SubmenuWatch {
    static HMENU root;
    static std::vector<MenuItem> opened;
    static int ticks;
    static void CALLBACK poll(HWND, UINT, UINT_PTR timer, DWORD) {
        HWND popup = nullptr;
        while ((popup = FindWindowExW(nullptr, popup, L"#32768", nullptr))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(popup, &owner);
            HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
            if (owner == GetCurrentProcessId() && IsWindowVisible(popup) && menu && menu != root) {
                opened = readMenu(menu);
                break;
            }
        }
        if (!opened.empty() || ++ticks > 60) {
            KillTimer(nullptr, timer);
            EndMenu();
        }
    }
};
HMENU SubmenuWatch::root = nullptr;
std::vector<MenuItem> SubmenuWatch::opened;
int SubmenuWatch::ticks = 0;

void pressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

// A real key press in the real menu: the only window whose caption starts
// with the letter has its submenu opened.
TEST(MenuTyping, ALetterOpensTheOnlyWindowStartingWithIt) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    TestWindow zebra(WindowSpec{L"Zebra crossing"});
    ASSERT_TRUE(waitUntilListed(*app, zebra.get()));
    SubmenuWatch::opened.clear();
    SubmenuWatch::ticks = 0;
    onceOwnWindowOpens(L"#32768", [&](HWND) {
        SubmenuWatch::root = app->menuRoot;
        pressKey('Z');
        SetTimer(nullptr, 0, 50, SubmenuWatch::poll);
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    ASSERT_FALSE(SubmenuWatch::opened.empty()) << "a submenu opened";
    UINT index = 0;
    for (const MenuWindow& item : app->menuWindows) {
        if (item.window == zebra.get())
            break;
        ++index;
    }
    ASSERT_LT(index, app->menuWindows.size());
    EXPECT_EQ(SubmenuWatch::opened.front().id, makeCommandId(index, ActionHide)) << "the zebra's own submenu";
}

// Every owner-drawn item carries the text it draws as its string, "&"
// doubled; a window item's data begins with oleacc's record of the same name.
TEST(MenuNames, EveryOwnerDrawnItemCarriesTheTextItDraws) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    TestWindow fish(WindowSpec{L"Fish & Chips"});
    ASSERT_TRUE(waitUntilListed(*app, fish.get()));
    struct Named {
        ULONG_PTR data;
        UINT type;
        std::wstring name;
        std::wstring drawn;
        bool accessible;
    };
    std::vector<Named> items;
    onceOwnWindowOpens(L"#32768", [&](HWND popup) {
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[300] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 300;
            GetMenuItemInfoW(menu, i, TRUE, &info);
            if (!(info.fType & MFT_OWNERDRAW))
                continue;
            Named named{info.dwItemData, info.fType, text, menuItemText(info.dwItemData), true};
            if (!TrayApp::isFixedItem(info.dwItemData)) {
                const auto* record = reinterpret_cast<const MSAAMENUINFO*>(info.dwItemData);
                named.accessible = record->dwMSAASignature == static_cast<DWORD>(MSAA_MENU_SIG) &&
                                   std::wstring(record->pszWText, record->cchWText) == named.name;
            }
            items.push_back(named);
        }
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    ASSERT_GE(items.size(), 4u) << "version, a window, about and exit at least";
    bool sawFish = false;
    for (const Named& item : items) {
        std::wstring expected;
        for (wchar_t c : item.drawn)
            expected += c == L'&' ? L"&&" : std::wstring(1, c);
        EXPECT_EQ(item.name, expected);
        EXPECT_TRUE(item.type & MFT_OWNERDRAW) << "still owner-drawn";
        EXPECT_TRUE(item.accessible) << "the entry leads with its name";
        sawFish |= item.name == L"Fish && Chips";
    }
    EXPECT_TRUE(sawFish);
}

// The real program's menu, read back as pixels from the screen: light, then
// dark after the user switches the app theme, then light again, all in one
// run of the program.
class AppTheme {
  public:
    AppTheme() {
        RegCreateKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr);
    }
    ~AppTheme() {
        RegDeleteValueW(key, L"AppsUseLightTheme");
        RegCloseKey(key);
    }
    // What Settings does: the value, then the broadcast.
    void set(DWORD light, HWND corner) {
        RegSetValueExW(key, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&light),
                       sizeof(light));
        DWORD_PTR result = 0;
        SendMessageTimeoutW(corner, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"),
                            SMTO_NORMAL, 2000, &result);
    }

  private:
    HKEY key = nullptr;
};

// The median brightness of what the screen shows of a window.
int medianLuminance(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    std::vector<int> values;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2)
            values.push_back(luminance(GetPixel(dc, x, y)));
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    if (values.empty())
        return -1;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

TEST(MenuTheme, TheRealMenuTurnsDarkAndLightAgainWithoutARestart) {
    AppTheme theme;
    HANDLE program = launchProgram();
    ASSERT_NE(program, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    const DWORD programId = GetProcessId(program);
    auto menuBrightness = [&] {
        PostMessageW(corner, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
        HWND popup = nullptr;
        if (!waitFor([&] { return (popup = openMenuOf(programId)) != nullptr; }))
            return -1;
        pumpMessages(300); // drawn
        const int brightness = medianLuminance(popup);
        PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        waitFor([&] { return openMenuOf(programId) == nullptr; });
        return brightness;
    };
    const int light = menuBrightness();
    theme.set(0, corner);
    const int dark = menuBrightness();
    theme.set(1, corner);
    const int lightAgain = menuBrightness();
    std::printf("menu brightness: light %d, dark %d, light again %d\n", light, dark, lightAgain);
    EXPECT_GT(light, 150);
    EXPECT_LT(dark, 80);
    EXPECT_GT(lightAgain, 150);
    PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(waitExit(program), 0u);
    CloseHandle(program);
}

} // namespace
