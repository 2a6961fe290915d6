#include "tray/OwnerDraw.h"
#include "app/Names.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "app/Texts.h"
#include "app/TrayApp.h"

namespace {

constexpr size_t CaptionChars = 63;
constexpr int IconInset = 2;
constexpr int IconSize = 16;
constexpr int TextLeft = 25;
constexpr int ExtraWidth = 35;
constexpr int ExtraHeight = 4;
constexpr int MinItemHeight = 20;
constexpr WORD PowerIconResource = 202;
constexpr UINT MeasureFlags = DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX;
constexpr UINT DrawFlags = DT_SINGLELINE | DT_NOPREFIX;

// The system's menu font, read afresh each time so a change of settings
// shows at once.
HFONT createMenuFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 500;
    static_assert(sizeof(NONCLIENTMETRICSW) >= 500);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

HICON loadPowerSchemeIcon() {
    ScopedLibrary library(loadSystemLibrary(L"powercfg.cpl"));
    return library ? LoadIconW(library.get(), MAKEINTRESOURCEW(PowerIconResource)) : nullptr;
}

HICON loadTaskbarIcon() {
    HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
    if (!taskbar)
        return nullptr;
    WindowEntry transient(taskbar);
    transient.load();
    return transient.takeIcon();
}

} // namespace

std::wstring shortenCaption(const std::wstring& caption) {
    std::wstring text = caption.substr(0, CaptionChars);
    if (caption.size() >= CaptionChars)
        text += texts::CaptionEllipsis;
    return text;
}

static std::wstring itemText(ULONG_PTR data) {
    switch (data) {
    case VersionItemTag:
        return texts::VersionLine;
    case PowerItemTag:
        return texts::PowerSchemeItem;
    case TaskbarItemTag:
        return texts::TaskbarItem;
    case AboutItemTag:
        return texts::AboutItem;
    case ExitItemTag:
        return texts::ExitItem;
    default:
        return shortenCaption(reinterpret_cast<const WindowEntry*>(data)->getCaption());
    }
}

bool TrayApp::onMeasureItem(MEASUREITEMSTRUCT* item) {
    const std::wstring text = itemText(item->itemData);
    ScopedGdiObject font(createMenuFont());
    WindowDC dc(mainWindow);
    RECT measured{};
    {
        SelectedObject selected(dc.get(), font.get());
        DrawTextW(dc.get(), text.c_str(), lstrlenW(text.c_str()), &measured, MeasureFlags);
    }
    item->itemWidth = measured.right + ExtraWidth;
    item->itemHeight = std::max<LONG>(measured.bottom + ExtraHeight, MinItemHeight);
    return true;
}

bool TrayApp::onDrawItem(const DRAWITEMSTRUCT* item) {
    const std::wstring text = itemText(item->itemData);
    HICON icon = nullptr;
    ScopedIcon releasedIcon;
    switch (item->itemData) {
    case VersionItemTag:
        icon = smallIcon;
        break;
    case PowerItemTag:
        releasedIcon.reset(loadPowerSchemeIcon());
        icon = releasedIcon.get();
        break;
    case TaskbarItemTag:
        releasedIcon.reset(loadTaskbarIcon());
        icon = releasedIcon.get();
        break;
    case AboutItemTag:
        icon = infoIcon;
        break;
    case ExitItemTag:
        icon = errorIcon;
        break;
    default:
        icon = reinterpret_cast<const WindowEntry*>(item->itemData)->getIcon();
        break;
    }

    HDC dc = item->hDC;
    const RECT& rc = item->rcItem;
    ScopedGdiObject font(createMenuFont());
    SelectedObject selectedFont(dc, font.get());

    const bool selected =
        (item->itemState & ODS_SELECTED) && (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT));
    int fillColour = COLOR_MENU;
    int textColour = COLOR_MENUTEXT;
    if (selected) {
        fillColour = themeActive ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT;
        textColour = COLOR_HIGHLIGHTTEXT;
    }
    HBRUSH fill = GetSysColorBrush(fillColour);
    SetTextColor(dc, GetSysColor(textColour));
    SetBkMode(dc, TRANSPARENT);
    FillRect(dc, &rc, fill);

    if (themeActive && selected) {
        ScopedGdiObject pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_HIGHLIGHT)));
        SelectedObject selectedPen(dc, pen.get());
        MoveToEx(dc, rc.left, rc.top, nullptr);
        LineTo(dc, rc.right - 1, rc.top);
        LineTo(dc, rc.right - 1, rc.bottom - 1);
        LineTo(dc, rc.left, rc.bottom - 1);
        LineTo(dc, rc.left, rc.top);
    }

    RECT textRect{};
    DrawTextW(dc, text.c_str(), -1, &textRect, MeasureFlags);
    const int width = textRect.right;
    const int height = textRect.bottom;
    textRect.left = rc.left + TextLeft;
    textRect.right = textRect.left + width;
    textRect.top = rc.top + (rc.bottom - rc.top) / 2 - height / 2;
    textRect.bottom = textRect.top + height;
    DrawTextW(dc, text.c_str(), -1, &textRect, DrawFlags);

    DrawIconEx(dc, rc.left + IconInset, rc.top + IconInset, icon, IconSize, IconSize, 0, fill, DI_NORMAL);
    return true;
}
