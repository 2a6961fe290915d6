#include <gtest/gtest.h>

#include "app/Names.h"
#include "support/TestSupport.h"
#include "tray/MenuLook.h"
#include "tray/OwnerDraw.h"

namespace {

TEST(OwnerDraw, CaptionShortening) {
    const std::wstring c62(62, L'a'), c63(63, L'b'), c100(100, L'c');
    struct Case {
        std::wstring caption, shown;
    } cases[] = {
        {L"", L""},
        {c62, c62},
        {c63, c63 + L" ..."},
        {c100, std::wstring(63, L'c') + L" ..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption.size());
        EXPECT_EQ(shortenCaption(c.caption), c.shown);
    }
}

TEST(OwnerDraw, MeasuresTextWidthPlus35AndAtLeast20High) {
    BareApp app;
    TestWindow untitled(WindowSpec{L""});
    WindowEntry empty(untitled.get());
    empty.refresh();
    MEASUREITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.itemData = reinterpret_cast<ULONG_PTR>(&empty);
    ASSERT_TRUE(app->onMeasureItem(&item));
    EXPECT_EQ(item.itemWidth, 35u) << "an empty caption leaves room for the icon only";
    EXPECT_GE(item.itemHeight, 20u);

    item.itemData = ExitItemTag;
    ASSERT_TRUE(app->onMeasureItem(&item));
    EXPECT_GT(item.itemWidth, 35u);
    EXPECT_GE(item.itemHeight, 20u);
    empty.releaseIcon();
}

COLORREF drawAndSample(TrayApp& app, bool themeActive, UINT state, UINT action, POINT at) {
    app.themeActive = themeActive;
    DrawnItem drawn(app, AboutItemTag, 200, 40, state, action);
    return drawn.pixel(at.x, at.y);
}

TEST(OwnerDraw, FillAndFrameFollowSelectionAndTheme) {
    BareApp app;
    const POINT inside{190, 20}, corner{0, 0};
    struct Case {
        bool theme;
        UINT state, action;
        int fill, frame;
    } cases[] = {
        {false, 0, ODA_DRAWENTIRE, COLOR_MENU, COLOR_MENU},
        {true, 0, ODA_DRAWENTIRE, COLOR_MENU, COLOR_MENU},
        {false, ODS_SELECTED, ODA_SELECT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHT},
        {true, ODS_SELECTED, ODA_SELECT, COLOR_MENUHILIGHT, COLOR_HIGHLIGHT},
        {true, ODS_SELECTED, ODA_DRAWENTIRE, COLOR_MENUHILIGHT, COLOR_HIGHLIGHT},
        {true, ODS_SELECTED, ODA_FOCUS, COLOR_MENU, COLOR_MENU}, // neither entire nor select
        {true, 0, ODA_SELECT, COLOR_MENU, COLOR_MENU},           // losing the selection
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "theme " << c.theme << " state " << c.state << " action " << c.action);
        EXPECT_EQ(drawAndSample(*app, c.theme, c.state, c.action, inside), GetSysColor(c.fill));
        EXPECT_EQ(drawAndSample(*app, c.theme, c.state, c.action, corner), GetSysColor(c.frame));
    }
}

bool gdiObjectAlive(HGDIOBJ object) {
    return GetObjectType(object) != 0;
}

// A menu opens and closes a thousand times in a month; each showing's font,
// device context, icons and drawn icon images go when it closes.
TEST(OwnerDraw, AShowingsLookReleasesEverythingItMade) {
    BareApp app;
    HFONT font = nullptr;
    HDC measuringDC = nullptr;
    HICON version = nullptr;
    HBITMAP drawnIcon = nullptr;
    {
        MenuLook look(*app, 192); // at 200 % the fixed items' icons are loaded anew
        app->menuLook = &look;
        font = look.font;
        measuringDC = look.measuringDC;
        version = look.versionIcon();
        DrawnItem item(*app, VersionItemTag, 400, 80);
        app->menuLook = nullptr;
        drawnIcon = look.drawnImage(version, GetSysColorBrush(COLOR_MENU));
        ASSERT_TRUE(gdiObjectAlive(drawnIcon));
        ASSERT_TRUE(gdiObjectAlive(font));
        ASSERT_NE(version, app->smallIcon);
        ASSERT_TRUE(iconAlive(version));
    }
    EXPECT_FALSE(gdiObjectAlive(font));
    EXPECT_FALSE(gdiObjectAlive(measuringDC));
    EXPECT_FALSE(iconAlive(version));
    EXPECT_FALSE(gdiObjectAlive(drawnIcon));
}

} // namespace
