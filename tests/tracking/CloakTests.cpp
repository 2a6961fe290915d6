// Windows 10 and 11 cloak windows that IsWindowVisible still calls visible:
// suspended Store apps, shell hosts, every window on another virtual desktop.
// Wine has no cloaking, so the stand-in desktop window manager of
// test_standins reports the windows that carry a test property as cloaked.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

constexpr wchar_t CloakedProperty[] = L"mossgate_test_cloaked";

TEST(Cloaking, ACloakedWindowIsNeitherListedNorHiddenBySwitch) {
    BareApp app;
    TestWindow shown(WindowSpec{L"on this desktop"}), cloaked(WindowSpec{L"on another desktop"});
    SetPropW(cloaked.get(), CloakedProperty, reinterpret_cast<HANDLE>(1));
    EXPECT_FALSE(TrayApp::qualifies(cloaked.get()));
    EXPECT_TRUE(TrayApp::qualifies(shown.get()));

    app->scanDesktop();
    EXPECT_TRUE(isListed(app->visibleWindows, shown.get()));
    EXPECT_FALSE(isListed(app->visibleWindows, cloaked.get()));
    app->lastSwitchTick = GetTickCount() - 5000;
    app->switchDesktop();
    EXPECT_FALSE(IsWindowVisible(shown.get()));
    EXPECT_TRUE(IsWindowVisible(cloaked.get())) << "the switch leaves a cloaked window alone";

    // Uncloaked (the user switched virtual desktops), it is listed again.
    RemovePropW(cloaked.get(), CloakedProperty);
    app->scanDesktop();
    EXPECT_TRUE(isListed(app->visibleWindows, cloaked.get()));
}

} // namespace
