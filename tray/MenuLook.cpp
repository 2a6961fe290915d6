#include "tray/MenuLook.h"
#include "app/Names.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "app/TrayApp.h"

namespace {

constexpr int BaseIconSize = 16;
constexpr WORD PowerIconResource = 202;
constexpr int EffectiveDpi = 0; // MDT_EFFECTIVE_DPI

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

MenuLook::MenuLook(const TrayApp& app, UINT lookDpi)
    : dpi(lookDpi ? lookDpi : 96), iconSize(MulDiv(BaseIconSize, static_cast<int>(dpi), 96)) {
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
    if (iconDC) {
        if (previousImage)
            SelectObject(iconDC, previousImage);
        DeleteDC(iconDC);
    }
    for (const DrawnIcon& drawn : drawnIcons)
        DeleteObject(drawn.image);
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

void MenuLook::drawIcon(HDC dc, int x, int y, HICON icon, HBRUSH background) {
    if (!icon)
        return;
    HBITMAP image = nullptr;
    for (const DrawnIcon& drawn : drawnIcons)
        if (drawn.icon == icon && drawn.background == background)
            image = drawn.image;
    if (!iconDC && !(iconDC = CreateCompatibleDC(dc)))
        return;
    if (!image) {
        image = CreateCompatibleBitmap(dc, iconSize, iconSize);
        if (!image) {
            DrawIconEx(dc, x, y, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
            return;
        }
        HGDIOBJ before = SelectObject(iconDC, image);
        if (!previousImage)
            previousImage = before;
        const RECT square{0, 0, iconSize, iconSize};
        FillRect(iconDC, &square, background);
        DrawIconEx(iconDC, 0, 0, icon, iconSize, iconSize, 0, nullptr, DI_NORMAL);
        drawnIcons.push_back({icon, background, image});
    } else {
        HGDIOBJ before = SelectObject(iconDC, image);
        if (!previousImage)
            previousImage = before;
    }
    BitBlt(dc, x, y, iconSize, iconSize, iconDC, 0, 0, SRCCOPY);
}
