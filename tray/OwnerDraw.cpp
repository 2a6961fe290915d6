#include "tray/OwnerDraw.h"
#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"
#include "tray/MenuLook.h"

#include <optional>

namespace {

constexpr size_t CaptionChars = 63;
// Lengths at 96 DPI; the look of each showing scales them.
constexpr int IconInset = 2;
constexpr int TextLeft = 25;
constexpr int ExtraWidth = 35;
constexpr int ExtraHeight = 4;
constexpr int MinItemHeight = 20;
constexpr UINT MeasureFlags = DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX;
constexpr UINT DrawFlags = DT_SINGLELINE | DT_NOPREFIX;
// The submenu arrow: a triangle this wide and twice as high, this far from
// the item's right edge, in an area the system would draw its own in.
constexpr int ArrowWidth = 4;
constexpr int ArrowRight = 7;
constexpr int ArrowArea = 16;

void drawSubmenuArrow(HDC dc, const RECT& item, COLORREF colour, const MenuLook& look) {
    const int width = look.scale(ArrowWidth);
    const int right = item.right - look.scale(ArrowRight);
    const int middle = item.top + (item.bottom - item.top) / 2;
    const POINT points[] = {
        {right - width, middle - width}, {right, middle}, {right - width, middle + width}};
    ScopedGdiObject brush(CreateSolidBrush(colour));
    ScopedGdiObject pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject selectedBrush(dc, brush.get());
    SelectedObject selectedPen(dc, pen.get());
    Polygon(dc, points, 3);
}

} // namespace

std::wstring shortenCaption(const std::wstring& caption) {
    std::wstring text = caption.substr(0, CaptionChars);
    if (caption.size() >= CaptionChars)
        text += texts::CaptionEllipsis;
    return text;
}

std::wstring menuItemText(ULONG_PTR data) {
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

// The look of the open menu; a request outside one (a test's) gets a look
// of its own at the system's DPI.
class LookInUse {
  public:
    explicit LookInUse(TrayApp& app) {
        if (!app.menuLook)
            transient.emplace(app, systemDpi());
        look = app.menuLook ? app.menuLook : &*transient;
    }
    MenuLook& operator*() { return *look; }
    MenuLook* operator->() { return look; }

  private:
    std::optional<MenuLook> transient;
    MenuLook* look = nullptr;
};

bool TrayApp::onMeasureItem(MEASUREITEMSTRUCT* item) {
    LookInUse look(*this);
    const std::wstring text = menuItemText(item->itemData);
    RECT measured{};
    DrawTextW(look->measuringDC, text.c_str(), lstrlenW(text.c_str()), &measured, MeasureFlags);
    item->itemWidth = measured.right + look->scale(ExtraWidth);
    item->itemHeight = std::max<LONG>(measured.bottom + look->scale(ExtraHeight), look->scale(MinItemHeight));
    return true;
}

bool TrayApp::onDrawItem(const DRAWITEMSTRUCT* item) {
    LookInUse look(*this);
    const std::wstring text = menuItemText(item->itemData);
    HICON icon = nullptr;
    switch (item->itemData) {
    case VersionItemTag:
        icon = look->versionIcon();
        break;
    case PowerItemTag:
        icon = look->powerIcon();
        break;
    case TaskbarItemTag:
        icon = look->taskbarIcon();
        break;
    case AboutItemTag:
        icon = look->infoIcon();
        break;
    case ExitItemTag:
        icon = look->errorIcon();
        break;
    default:
        icon = reinterpret_cast<const WindowEntry*>(item->itemData)->getIcon();
        break;
    }

    // Painted on the look's canvas and copied in one piece; straight into
    // the menu's device context only when there is no canvas.
    const RECT& itemRect = item->rcItem;
    HDC dc = look->canvas(item->hDC, itemRect.right - itemRect.left, itemRect.bottom - itemRect.top);
    RECT rc{0, 0, itemRect.right - itemRect.left, itemRect.bottom - itemRect.top};
    std::optional<SelectedObject> selectedFont;
    if (!dc) {
        dc = item->hDC;
        rc = itemRect;
        selectedFont.emplace(dc, look->font);
        SetBkMode(dc, TRANSPARENT);
    }

    const bool selected =
        (item->itemState & ODS_SELECTED) && (item->itemAction & (ODA_DRAWENTIRE | ODA_SELECT));
    const MenuPalette& palette = look->palette;
    HBRUSH fill = selected ? look->selection : look->background;
    COLORREF textColour = selected ? palette.selectedText : palette.text;
    if (item->itemState & (ODS_GRAYED | ODS_DISABLED))
        textColour = palette.grayedText;
    SetTextColor(dc, textColour);
    FillRect(dc, &rc, fill);

    if (palette.framedSelection && selected) {
        ScopedGdiObject pen(CreatePen(PS_SOLID, 1, palette.frame));
        SelectedObject selectedPen(dc, pen.get());
        MoveToEx(dc, rc.left, rc.top, nullptr);
        LineTo(dc, rc.right - 1, rc.top);
        LineTo(dc, rc.right - 1, rc.bottom - 1);
        LineTo(dc, rc.left, rc.bottom - 1);
        LineTo(dc, rc.left, rc.top);
    }

    // The line, centred; it runs to the item's right edge, which the
    // measured width keeps it within.
    RECT textRect{};
    textRect.left = rc.left + look->scale(TextLeft);
    textRect.right = rc.right;
    textRect.top = rc.top + (rc.bottom - rc.top) / 2 - look->lineHeight / 2;
    textRect.bottom = textRect.top + look->lineHeight;
    DrawTextW(dc, text.c_str(), -1, &textRect, DrawFlags);

    const int inset = look->scale(IconInset);
    look->drawIcon(dc, rc.left + inset, rc.top + inset, icon, fill);
    // The system draws the arrow of an item with a submenu after this, in
    // the light theme's colour; on a dark item it is drawn here, in the
    // text's colour, and the system's is kept off.
    const bool ownArrow = palette.ownArrows && item->itemData != VersionItemTag &&
                          item->itemData != AboutItemTag && item->itemData != ExitItemTag;
    if (ownArrow)
        drawSubmenuArrow(dc, rc, textColour, *look);
    if (!selectedFont)
        look->showCanvas(item->hDC, itemRect);
    if (ownArrow)
        ExcludeClipRect(item->hDC, itemRect.right - look->scale(ArrowArea), itemRect.top, itemRect.right,
                        itemRect.bottom);
    return true;
}
