#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "app/Names.h"
#include "app/Scoped.h"
#include "support/MenuReader.h"
#include "support/TestSupport.h"
#include "tray/MenuSet.h"

namespace {

// Builds the menu the way a right click does and reads it back.
std::vector<MenuItem> buildAndRead(TrayApp& app) {
    MenuSet menus;
    if (!app.buildTrayMenu(menus))
        return {};
    std::vector<MenuItem> items = readMenu(menus.root);
    menus.destroyAll();
    ReleaseMutex(app.scanMutex);
    return items;
}

// Windows put straight into the lists, so the test decides what is listed.
struct Tracked {
    std::vector<std::unique_ptr<TestWindow>> windows;
    void add(TrayApp& app, const WindowSpec& spec, bool hidden) {
        windows.push_back(std::make_unique<TestWindow>(spec));
        auto* entry = new WindowEntry(windows.back()->get());
        entry->refresh();
        if (hidden) {
            entry->toggleHidden();
            app.hiddenWindows.push_back(entry);
        } else {
            app.visibleWindows.push_back(entry);
        }
    }
};

std::vector<UINT> ids(const std::vector<MenuItem>& items) {
    std::vector<UINT> result;
    for (const MenuItem& item : items)
        result.push_back(item.id);
    return result;
}

TEST(Menu, WithoutWindowsHoldsTheFixedItemsInOrder) {
    BareApp app;
    const auto items = buildAndRead(*app);
    ASSERT_GE(items.size(), 8u);
    size_t i = 0;
    EXPECT_EQ(items[i].id, VersionCommand);
    EXPECT_TRUE(items[i].ownerDrawn());
    EXPECT_EQ(items[i++].data, VersionItemTag);
    EXPECT_TRUE(items[i++].separator());
    EXPECT_EQ(items[i].text, L"(no visible window)");
    EXPECT_EQ(items[i].id, 0u);
    EXPECT_TRUE(items[i++].grayed());
    EXPECT_TRUE(items[i++].separator());
    ASSERT_EQ(items[i].data, TaskbarItemTag);
    ASSERT_EQ(items[i].submenu.size(), 1u);
    EXPECT_EQ(items[i].submenu[0].id, 0xF7F3u);
    EXPECT_EQ(items[i++].submenu[0].text, L"半透明表示");
    if (items[i].data == PowerItemTag)
        ++i; // present wherever the power library offers its exports
    EXPECT_TRUE(items[i++].separator());
    EXPECT_EQ(items[i].id, AboutCommand);
    EXPECT_EQ(items[i++].data, AboutItemTag);
    EXPECT_EQ(items[i].id, ExitCommand);
    EXPECT_EQ(items[i++].data, ExitItemTag);
    EXPECT_EQ(i, items.size());
}

TEST(Menu, VisibleThenHiddenWindowsWithTheirCommandIds) {
    BareApp app;
    app->alphaBlendSupported = true;
    Tracked tracked;
    for (int i = 0; i < 3; ++i)
        tracked.add(*app, WindowSpec{L"visible " + std::to_wstring(i)}, false);
    for (int i = 0; i < 2; ++i)
        tracked.add(*app, WindowSpec{L"hidden " + std::to_wstring(i)}, true);
    const auto items = buildAndRead(*app);

    ASSERT_GE(items.size(), 9u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[2 + i].data, reinterpret_cast<ULONG_PTR>(*std::next(app->visibleWindows.begin(), i)));
        EXPECT_EQ(ids(items[2 + i].submenu),
                  (std::vector<UINT>{0xF001u + i * 16, 0xF002u + i * 16, 0xF003u + i * 16, 0xF004u + i * 16,
                                     0xF006u + i * 16}));
        EXPECT_FALSE(items[2 + i].submenu[0].checked());
    }
    EXPECT_TRUE(items[5].separator());
    EXPECT_EQ(ids(items[6].submenu), (std::vector<UINT>{0xF031, 0xF032, 0xF033, 0xF034, 0xF036}));
    EXPECT_EQ(ids(items[7].submenu), (std::vector<UINT>{0xF041, 0xF042, 0xF043, 0xF044, 0xF046}));
    EXPECT_EQ(items[6].submenu[0].text, L"非表示");
    EXPECT_TRUE(items[6].submenu[0].checked()) << "a hidden window's hide item is checked";
    EXPECT_EQ(items[6].submenu[4].text, L"(0, 0)に移動");
    EXPECT_TRUE(items[8].separator());
    ASSERT_EQ(app->menuWindows.size(), 5u);
    EXPECT_EQ(app->menuWindows.back().entry, app->hiddenWindows.back());
    EXPECT_EQ(app->menuWindows.back().window, app->hiddenWindows.back()->getHandle());
}

TEST(Menu, OnlyHiddenWindowsStartAtIndexZero) {
    BareApp app;
    Tracked tracked;
    tracked.add(*app, WindowSpec{L"only hidden"}, true);
    const auto items = buildAndRead(*app);
    ASSERT_GE(items.size(), 5u);
    EXPECT_EQ(items[2].text, L"(no visible window)");
    EXPECT_TRUE(items[3].separator());
    EXPECT_EQ(items[4].submenu.at(0).id, 0xF001u);
}

TEST(Menu, ItemStatesFollowTheWindowsStyles) {
    BareApp app;
    app->alphaBlendSupported = true;
    Tracked tracked;
    WindowSpec maximised{L"maximised"}, fixed{L"fixed size"}, topmost{L"topmost"}, layered{L"layered"};
    maximised.style |= WS_MAXIMIZE;
    fixed.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    topmost.exStyle = WS_EX_TOPMOST;
    layered.exStyle = WS_EX_LAYERED;
    for (const WindowSpec& spec : {maximised, fixed, topmost, layered})
        tracked.add(*app, spec, false);
    const auto items = buildAndRead(*app);
    const auto& maxMenu = items.at(2).submenu;
    const auto& fixedMenu = items.at(3).submenu;
    EXPECT_TRUE(maxMenu.at(4).grayed()) << "move to origin is grayed when maximised";
    EXPECT_FALSE(fixedMenu.at(4).grayed());
    EXPECT_TRUE(fixedMenu.at(3).grayed()) << "full screen needs a sizing border";
    EXPECT_FALSE(maxMenu.at(3).grayed());
    EXPECT_TRUE(items.at(4).submenu.at(1).checked()) << "topmost";
    EXPECT_TRUE(items.at(5).submenu.at(2).checked()) << "layered";
    EXPECT_FALSE(items.at(4).submenu.at(2).checked());
}

TEST(Menu, FullScreenItemCheckedWhileStretched) {
    BareApp app;
    Tracked tracked;
    tracked.add(*app, WindowSpec{L"stretched"}, false);
    app->visibleWindows.front()->toggleFullScreen();
    const auto items = buildAndRead(*app);
    EXPECT_TRUE(items.at(2).submenu.at(3).checked());
    app->visibleWindows.front()->toggleFullScreen();
}

TEST(Menu, WithoutLayeredWindowsSubmenusHaveFourItems) {
    BareApp app;
    app->alphaBlendSupported = false;
    Tracked tracked;
    tracked.add(*app, WindowSpec{L"no alpha"}, false);
    const auto items = buildAndRead(*app);
    EXPECT_EQ(ids(items.at(2).submenu), (std::vector<UINT>{0xF001, 0xF002, 0xF004, 0xF006}));
    bool taskbar = false;
    for (const MenuItem& item : items)
        taskbar |= item.data == TaskbarItemTag;
    EXPECT_TRUE(taskbar);
}

TEST(Menu, LayeredTaskbarItemIsChecked) {
    HWND taskbar = FindWindowW(names::TaskbarClass, nullptr);
    ASSERT_NE(taskbar, nullptr);
    const LONG exStyle = GetWindowLongW(taskbar, GWL_EXSTYLE);
    SetWindowLongW(taskbar, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    BareApp app;
    const auto items = buildAndRead(*app);
    SetWindowLongW(taskbar, GWL_EXSTYLE, exStyle);
    bool checked = false;
    for (const MenuItem& item : items)
        if (item.data == TaskbarItemTag)
            checked = item.submenu.at(0).checked();
    EXPECT_TRUE(checked);
}

TEST(Menu, AtMost127WindowItemsAndNoSharedIds) {
    BareApp app;
    app->alphaBlendSupported = true;
    Tracked tracked;
    for (int i = 0; i < 120; ++i)
        tracked.add(*app, WindowSpec{L"many " + std::to_wstring(i)}, false);
    for (int i = 0; i < 10; ++i)
        tracked.add(*app, WindowSpec{L"many hidden " + std::to_wstring(i)}, true);
    const auto items = buildAndRead(*app);
    std::set<UINT> seen;
    size_t windowItems = 0;
    for (const MenuItem& item : items) {
        if (item.data < VersionItemTag || item.data > ExitItemTag) {
            if (item.submenu.empty())
                continue;
            ++windowItems;
        }
        for (const MenuItem& sub : item.submenu)
            EXPECT_TRUE(seen.insert(sub.id).second) << "id " << sub.id << " appears twice";
    }
    EXPECT_EQ(windowItems, 127u);
    EXPECT_EQ(app->menuWindows.size(), 127u);
}

TEST(Menu, SecondBuildReplacesMenuWindows) {
    BareApp app;
    Tracked tracked;
    tracked.add(*app, WindowSpec{L"first build"}, false);
    buildAndRead(*app);
    ASSERT_EQ(app->menuWindows.size(), 1u);
    tracked.add(*app, WindowSpec{L"second build"}, false);
    destroyEntry(app->visibleWindows.front());
    app->visibleWindows.pop_front();
    buildAndRead(*app);
    ASSERT_EQ(app->menuWindows.size(), 1u);
    EXPECT_EQ(app->menuWindows.front().window, tracked.windows.back()->get());
}

TEST(Menu, RightClickShowsTheMenuAndReleasesTheLockAfterwards) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    TestWindow window(WindowSpec{L"listed in the shown menu"});
    waitUntilListed(*app, window.get());
    std::vector<MenuItem> shownItems;
    UINT measuredHeight = 0;
    onceOwnWindowOpens(L"#32768", [&](HWND popup) {
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        shownItems = readMenu(menu);
        RECT item{};
        if (GetMenuItemRect(nullptr, menu, 0, &item))
            measuredHeight = item.bottom - item.top;
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    ASSERT_FALSE(shownItems.empty());
    EXPECT_EQ(shownItems.front().id, VersionCommand);
    EXPECT_EQ(shownItems.back().id, ExitCommand);
    EXPECT_GE(measuredHeight, 20u) << "measured by the owner-draw handler";
    bool listed = false;
    for (const MenuItem& item : shownItems)
        listed |= item.data == reinterpret_cast<ULONG_PTR>(app->menuWindows.front().entry);
    EXPECT_TRUE(listed);
    EXPECT_FALSE(app->menuShowing);
    MSG null;
    EXPECT_TRUE(PeekMessageW(&null, app->mainWindow, WM_NULL, WM_NULL, PM_REMOVE))
        << "a WM_NULL follows the tray menu, so that it closes on the next click elsewhere";

    // The watcher gets the lock again once the menu has closed.
    EXPECT_TRUE(lockIsFree(app->scanMutex));
}

// Owner-draw requests that any program can send while the menu is open: only
// one in our own memory, for a menu item, naming an item of this menu, counts.
TEST(Menu, OwnerDrawRequestsCountOnlyForItemsOfTheOpenMenu) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    UINT validWidth = 0, buttonWidth = 0, strangerWidth = 0;
    HWND corner = app->mainWindow;
    onceOwnWindowOpens(L"#32768", [&](HWND) {
        MEASUREITEMSTRUCT valid{};
        valid.CtlType = ODT_MENU;
        valid.itemData = VersionItemTag;
        SendMessageW(corner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&valid));
        MEASUREITEMSTRUCT button = valid;
        button.itemWidth = 0;
        button.CtlType = ODT_BUTTON;
        SendMessageW(corner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&button));
        MEASUREITEMSTRUCT stranger = valid;
        stranger.itemWidth = 0;
        stranger.itemData = 0x12345678; // no item of this menu: not an entry to read
        SendMessageW(corner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&stranger));
        DRAWITEMSTRUCT strangerDraw{};
        strangerDraw.CtlType = ODT_MENU;
        strangerDraw.itemData = 0x12345678;
        SendMessageW(corner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&strangerDraw));
        for (LPARAM pointer : {LPARAM(1), LPARAM(0x10), LPARAM(-1)}) {
            SendMessageW(corner, WM_MEASUREITEM, 0, pointer);
            SendMessageW(corner, WM_DRAWITEM, 0, pointer);
        }
        validWidth = valid.itemWidth;
        buttonWidth = button.itemWidth;
        strangerWidth = stranger.itemWidth;
        EndMenu();
    });
    SendMessageW(app->mainWindow, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    EXPECT_GT(validWidth, 35u) << "a request for an item of the open menu is measured";
    EXPECT_EQ(buttonWidth, 0u) << "not a menu item";
    EXPECT_EQ(strangerWidth, 0u) << "not an item of this menu";
}

} // namespace
