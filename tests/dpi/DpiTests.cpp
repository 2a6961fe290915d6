// The menu, the tray icon, the corner window and the dialog at the DPI the
// Wine prefix runs at (LogPixels), which tests/dpi/dpi.sh sets to 96, 144
// and 192 and passes on as MOSSGATE_EXPECT_DPI.
#include <gtest/gtest.h>

#include "app/Names.h"
#include "support/TestSupport.h"
#include "tray/MenuLook.h"
#include "tray/WindowCommands.h"

namespace {

UINT expectedDpi() {
    wchar_t text[16] = {};
    return GetEnvironmentVariableW(L"MOSSGATE_EXPECT_DPI", text, 16) ? static_cast<UINT>(_wtoi(text)) : 96;
}

int scaled(int length) {
    return MulDiv(length, static_cast<int>(expectedDpi()), 96);
}

int iconWidth(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return bitmap.bmWidth;
}

// The text of an item in the system's menu font at the expected DPI, sized
// by the test's own means.
SIZE menuTextSize(const wchar_t* text) {
    using ParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    auto forDpi = reinterpret_cast<ParametersForDpiFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (forDpi)
        forDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, expectedDpi());
    HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);
    return size;
}

TEST(Dpi, TheMonitorsDpiIsTheOneSet) {
    EXPECT_EQ(dpiAt(POINT{10, 10}), expectedDpi());
}

TEST(Dpi, MenuItemsAreSizedForTheDpiAndTheTextFits) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    RECT exitItem{};
    SetCursorPos(500, 400);
    onceOwnWindowOpens(L"#32768", [&](HWND popup) {
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        GetMenuItemRect(nullptr, menu, GetMenuItemCount(menu) - 1, &exitItem);
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    const int height = exitItem.bottom - exitItem.top;
    const int width = exitItem.right - exitItem.left;
    const SIZE text = menuTextSize(L"mossgateの終了");
    EXPECT_GE(height, scaled(20));
    EXPECT_GE(height, text.cy + scaled(4)) << "the text is not clipped top or bottom";
    EXPECT_GE(width, text.cx + scaled(25)) << "the text fits beside the icon";
}

// The exit item drawn into a bitmap: its icon covers the size for the DPI.
TEST(Dpi, IconsAreDrawnAtTheSizeForTheDpi) {
    BareApp app;
    MenuLook look(*app, expectedDpi());
    app->menuLook = &look;
    const int width = scaled(200), height = scaled(40);
    DrawnItem item(*app, ExitItemTag, width, height);
    app->menuLook = nullptr;
    const COLORREF background = GetSysColor(COLOR_MENU);
    int left = width, right = -1;
    for (int x = 0; x < scaled(25); ++x)
        for (int y = 0; y < height; ++y)
            if (item.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    const int drawn = right - left + 1;
    EXPECT_LE(drawn, scaled(16));
    EXPECT_GE(drawn, scaled(16) - scaled(4)) << "the icon was drawn " << drawn << " wide";
}

TEST(Dpi, TrayIconAndCornerWindowFollowTheDpi) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    EXPECT_EQ(iconWidth(app->trayIcon), GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), scaled(16));
    RECT frame{};
    GetWindowRect(app->mainWindow, &frame);
    EXPECT_EQ(frame.left, app->workArea.right - scaled(CornerSize));
    EXPECT_EQ(frame.top, app->workArea.bottom - scaled(CornerSize));
}

TEST(Dpi, TheTransparencyDialogsFontFollowsTheDpi) {
    HWND openDialog = nullptr;
    LOGFONTW dialogFont{};
    onceOwnWindowOpens(L"#32770", [&](HWND dialog) {
        openDialog = dialog;
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(dialogFont),
                   &dialogFont);
        EndDialog(dialog, -1);
    });
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(DialogResource), nullptr,
                    transparencyDialogProc, 0);
    ASSERT_NE(openDialog, nullptr);
    // Tahoma at 9 points.
    EXPECT_EQ(std::abs(dialogFont.lfHeight), MulDiv(9, static_cast<int>(expectedDpi()), 72));
}

} // namespace
