#include "tray/MenuLook.h"
#include "app/Names.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "app/TrayApp.h"

#include <algorithm>

namespace {

constexpr int BaseIconSize = 16;
constexpr WORD PowerIconResource = 202;
constexpr int EffectiveDpi = 0; // MDT_EFFECTIVE_DPI
// Room in the icon strip: every item's icon on both its backgrounds.
constexpr int StripSlots = 2 * 136;

// The system's menu font at `dpi`: Windows 10 gives the metrics for any DPI;
// before it, the metrics are the system DPI's and the font is scaled.
HFONT createMenuFont(UINT dpi) {
    using ParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
    NONCLIENTMETRICSW metrics{};
    auto forDpi =
        findExport<ParametersForDpiFn>(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi");
    metrics.cbSize = sizeof(metrics);
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMenuFont);
    metrics = {};
    metrics.cbSize = 500; // the form without the padded border, which every system knows
    static_assert(sizeof(NONCLIENTMETRICSW) >= 500);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
    metrics.lfMenuFont.lfHeight =
        MulDiv(metrics.lfMenuFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

HICON loadIconAt(HINSTANCE module, const wchar_t* name, int size, UINT flags = 0) {
    return static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, size, size, flags));
}

} // namespace

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT dpiAt(POINT point) {
    // Windows 8.1 on knows each monitor's DPI.
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    ScopedLibrary shcore(loadSystemLibrary(L"shcore.dll"));
    if (auto forMonitor =
            shcore ? findExport<GetDpiForMonitorFn>(shcore.get(), "GetDpiForMonitor") : nullptr) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(forMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), EffectiveDpi, &x, &y)) &&
            y)
            return y;
    }
    return systemDpi();
}

MenuLook::MenuLook(const TrayApp& app, UINT lookDpi, MenuMode lookMode)
    : dpi(lookDpi ? lookDpi : 96), iconSize(MulDiv(BaseIconSize, static_cast<int>(dpi), 96)), mode(lookMode),
      palette(menuPalette(lookMode, app.themeActive)) {
    if (mode == MenuMode::Dark) {
        background = CreateSolidBrush(palette.background);
        selection = CreateSolidBrush(palette.selection);
        ownsBrushes = true;
    } else {
        background = GetSysColorBrush(COLOR_MENU);
        selection = GetSysColorBrush(app.themeActive ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT);
    }
    font = createMenuFont(dpi);
    measuringDC = CreateCompatibleDC(nullptr);
    if (measuringDC && font)
        previousFont = SelectObject(measuringDC, font);
    TEXTMETRICW metrics{};
    if (measuringDC && GetTextMetricsW(measuringDC, &metrics))
        lineHeight = metrics.tmHeight;
    if (iconSize == BaseIconSize) {
        version = app.smallIcon;
        info = app.infoIcon;
        error = app.errorIcon;
        return;
    }
    // At another size each icon is loaded again, from its best image there.
    version = own(app.loadProgramIcon(iconSize));
    info = own(loadIconAt(nullptr, IDI_INFORMATION, iconSize));
    error = own(loadIconAt(nullptr, IDI_ERROR, iconSize));
    if (!version)
        version = app.smallIcon;
    if (!info)
        info = app.infoIcon;
    if (!error)
        error = app.errorIcon;
}

MenuLook::~MenuLook() {
    if (canvasSurface.dc && previousCanvasFont)
        SelectObject(canvasSurface.dc, previousCanvasFont);
    canvasSurface.release();
    iconStrip.release();
    if (measuringDC) {
        if (previousFont)
            SelectObject(measuringDC, previousFont);
        DeleteDC(measuringDC);
    }
    if (font)
        DeleteObject(font);
    for (HICON icon : ownedIcons)
        if (icon)
            DestroyIcon(icon);
    if (ownsBrushes) {
        DeleteObject(background);
        DeleteObject(selection);
    }
}

HICON MenuLook::own(HICON icon) {
    for (HICON& slot : ownedIcons) {
        if (!slot) {
            slot = icon;
            return icon;
        }
    }
    return icon; // never: one slot for each icon a look loads
}

HICON MenuLook::powerIcon() {
    if (!powerLoaded) {
        powerLoaded = true;
        ScopedLibrary library(loadSystemLibrary(L"powercfg.cpl"));
        if (library)
            power = own(loadIconAt(library.get(), MAKEINTRESOURCEW(PowerIconResource), iconSize));
    }
    return power;
}

HICON MenuLook::taskbarIcon() {
    if (!taskbarLoaded) {
        taskbarLoaded = true;
        if (HWND bar = FindWindowW(names::TaskbarClass, nullptr)) {
            WindowEntry transient(bar);
            transient.load();
            taskbar = own(transient.takeIcon());
        }
    }
    return taskbar;
}

bool MenuLook::Surface::make(HDC like, int wide, int high) {
    release();
    dc = CreateCompatibleDC(like);
    bitmap = dc ? CreateCompatibleBitmap(like, wide, high) : nullptr;
    if (!bitmap) {
        release();
        return false;
    }
    previousBitmap = SelectObject(dc, bitmap);
    width = wide;
    height = high;
    return true;
}

void MenuLook::Surface::release() {
    if (dc) {
        if (previousBitmap)
            SelectObject(dc, previousBitmap);
        DeleteDC(dc);
    }
    if (bitmap)
        DeleteObject(bitmap);
    *this = Surface{};
}

HDC MenuLook::canvas(HDC like, int width, int height) {
    if (canvasSurface.dc && width <= canvasSurface.width && height <= canvasSurface.height)
        return canvasSurface.dc;
    // Items are measured before any is drawn; the widest sets the size.
    if (canvasSurface.dc && previousCanvasFont)
        SelectObject(canvasSurface.dc, previousCanvasFont);
    previousCanvasFont = nullptr;
    if (!canvasSurface.make(like, std::max(width, canvasSurface.width),
                            std::max(height, canvasSurface.height)))
        return nullptr;
    previousCanvasFont = SelectObject(canvasSurface.dc, font);
    SetBkMode(canvasSurface.dc, TRANSPARENT);
    return canvasSurface.dc;
}

void MenuLook::showCanvas(HDC dc, const RECT& item) const {
    BitBlt(dc, item.left, item.top, item.right - item.left, item.bottom - item.top, canvasSurface.dc, 0, 0,
           SRCCOPY);
}

const MenuLook::DrawnIcon* MenuLook::findDrawn(HICON icon, HBRUSH background) const {
    for (const DrawnIcon& drawn : drawnIcons)
        if (drawn.icon == icon && drawn.background == background)
            return &drawn;
    return nullptr;
}

HBITMAP MenuLook::drawnImage(HICON icon, HBRUSH background) const {
    return findDrawn(icon, background) ? iconStrip.bitmap : nullptr;
}

void MenuLook::drawIcon(HDC dc, int x, int y, HICON icon, HBRUSH background) {
    if (!icon)
        return;
    const DrawnIcon* drawn = findDrawn(icon, background);
    if (!drawn && static_cast<int>(drawnIcons.size()) < StripSlots &&
        (iconStrip.dc || iconStrip.make(dc, iconSize * StripSlots, iconSize))) {
        const int slot = static_cast<int>(drawnIcons.size());
        const RECT square{slot * iconSize, 0, (slot + 1) * iconSize, iconSize};
        FillRect(iconStrip.dc, &square, background);
        DrawIconEx(iconStrip.dc, square.left, 0, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
        drawnIcons.push_back({icon, background, slot});
        drawn = &drawnIcons.back();
    }
    if (drawn)
        BitBlt(dc, x, y, iconSize, iconSize, iconStrip.dc, drawn->slot * iconSize, 0, SRCCOPY);
    else // the strip is full, or could not be made
        DrawIconEx(dc, x, y, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
}
