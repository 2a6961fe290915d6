#pragma once
#include <windows.h>

#include <vector>

#include "tray/MenuTheme.h"

class TrayApp;

// What the owner-drawn items of one showing of the tray menu are measured
// and drawn with, at the DPI of the monitor where the menu opens: the menu
// font, a device context to measure in, the sizes, and the icons at that
// size. Made when the menu opens and released when it closes, so that each
// item's measuring and drawing creates nothing.
class MenuLook {
  public:
    MenuLook(const TrayApp& app, UINT dpi, MenuMode mode = MenuMode::Light);
    ~MenuLook();
    MenuLook(const MenuLook&) = delete;
    MenuLook& operator=(const MenuLook&) = delete;

    // A length given for 96 DPI, at this look's DPI.
    int scale(int length) const { return MulDiv(length, static_cast<int>(dpi), 96); }

    // The icons of the fixed items; the power and taskbar icons are loaded
    // the first time they are drawn.
    HICON versionIcon() const { return version; }
    HICON infoIcon() const { return info; }
    HICON errorIcon() const { return error; }
    HICON powerIcon();
    HICON taskbarIcon();

    // A device context to paint an item of `width` by `height` into at
    // (0, 0), with the font selected; showCanvas then copies the painting to
    // the item's place in `dc`. Null when none can be made: the caller then
    // paints into `dc` itself. Everything stays selected for the showing,
    // since selecting into a device context costs more than the painting.
    HDC canvas(HDC like, int width, int height);
    void showCanvas(HDC dc, const RECT& item) const;

    // Draws `icon` at (x, y) over `background`, with which the item is
    // filled. Each icon is drawn once per background and showing and copied
    // from then on: a menu redraws its items as the pointer moves.
    void drawIcon(HDC dc, int x, int y, HICON icon, HBRUSH background);
    // The image that holds the icon drawn over `background`; null if none.
    HBITMAP drawnImage(HICON icon, HBRUSH background) const;

    const UINT dpi;
    const int iconSize;
    const MenuMode mode;
    const MenuPalette palette;
    // The item fills; the system's own brushes, or made for the dark look.
    HBRUSH background = nullptr;
    HBRUSH selection = nullptr;
    HFONT font = nullptr;
    HDC measuringDC = nullptr;
    // The height of a line of text in the font, as a single-line DrawTextW
    // measures it.
    int lineHeight = 0;

  private:
    HICON version = nullptr;
    HICON info = nullptr;
    HICON error = nullptr;
    HICON power = nullptr;
    HICON taskbar = nullptr;
    bool powerLoaded = false;
    bool taskbarLoaded = false;
    HICON ownedIcons[5] = {};
    bool ownsBrushes = false;
    HGDIOBJ previousFont = nullptr;
    HICON own(HICON icon);

    // A device context with a bitmap selected for good; released together.
    struct Surface {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ previousBitmap = nullptr;
        int width = 0;
        int height = 0;
        bool make(HDC like, int width, int height);
        void release();
    };
    Surface canvasSurface;
    HGDIOBJ previousCanvasFont = nullptr;

    // The icons drawn so far, side by side in one strip.
    struct DrawnIcon {
        HICON icon;
        HBRUSH background;
        int slot;
    };
    std::vector<DrawnIcon> drawnIcons;
    Surface iconStrip;
    const DrawnIcon* findDrawn(HICON icon, HBRUSH background) const;
};

// The DPI of the monitor at a point of the screen.
UINT dpiAt(POINT point);

// The DPI of the system, which a program that knows no monitors' DPI sees.
UINT systemDpi();
