#include <gtest/gtest.h>

#include <cwctype>

#include "support/TestSupport.h"
#include "tracking/WindowCalls.h"

namespace {

HICON makeIcon(BYTE shade) {
    BYTE andMask[32 * 4];
    BYTE xorMask[32 * 4];
    memset(andMask, 0, sizeof(andMask));
    memset(xorMask, shade, sizeof(xorMask));
    return CreateIcon(GetModuleHandleW(nullptr), 32, 32, 1, 1, andMask, xorMask);
}

const wchar_t NoIconClass[] = L"mossgate_test_noicon";
const wchar_t ClassIconClass[] = L"mossgate_test_classicon";

TEST(Entry, LoadReadsTheWindowOnce) {
    TestWindow window(WindowSpec{L"load me"});
    WindowEntry entry(window.get());
    ASSERT_TRUE(entry.refresh());
    EXPECT_EQ(entry.getCaption(), L"load me");
    EXPECT_EQ(entry.getClassName(), L"mossgate_test_window");
    EXPECT_EQ(entry.getSavedShowCmd(), static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_FALSE(entry.isHidden());
    std::wstring exe = entry.getExePath();
    for (auto& ch : exe)
        ch = towlower(ch);
    EXPECT_NE(exe.find(L"test_tracking.exe"), std::wstring::npos);

    SetWindowTextW(window.get(), L"renamed");
    entry.refresh();
    EXPECT_EQ(entry.getCaption(), L"renamed");
    entry.releaseIcon();
}

TEST(Entry, NullHandleIsNeverLoaded) {
    WindowEntry entry(nullptr);
    EXPECT_FALSE(entry.refresh());
    EXPECT_EQ(entry.getIcon(), nullptr);
}

TEST(Entry, FollowsTheWindowsSmallIconWithoutDestroyingIt) {
    TestWindow window(WindowSpec{L"icon changes"});
    HICON first = makeIcon(0x11), second = makeIcon(0x77);
    window.answerIcon(first);
    WindowEntry entry(window.get());
    entry.refresh();
    entry.fetchIcon();
    EXPECT_EQ(entry.getIcon(), first);
    EXPECT_FALSE(entry.getOwnsIcon());
    window.answerIcon(second);
    entry.fetchIcon();
    EXPECT_EQ(entry.getIcon(), second);
    EXPECT_TRUE(iconAlive(first)) << "the window's own icon is never destroyed";
    DestroyIcon(first);
    DestroyIcon(second);
}

TEST(Entry, FallsBackToTheClassIcon) {
    HICON classIcon = makeIcon(0x33);
    registerTestClass(ClassIconClass, classIcon);
    WindowSpec spec{L"class icon"};
    spec.className = ClassIconClass;
    TestWindow window(spec);
    WindowEntry entry(window.get());
    entry.refresh();
    EXPECT_EQ(entry.getIcon(), reinterpret_cast<HICON>(GetClassLongPtrW(window.get(), GCLP_HICONSM)));
    EXPECT_FALSE(entry.getOwnsIcon());
}

TEST(Entry, ExecutableIconIsOwnedAndReplacedOnceTheWindowHasOne) {
    registerTestClass(NoIconClass);
    WindowSpec spec{L"no icon"};
    spec.className = NoIconClass;
    TestWindow window(spec);
    WindowEntry entry(window.get());
    entry.refresh();
    const HICON fileIcon = entry.getIcon();
    ASSERT_NE(fileIcon, nullptr);
    EXPECT_TRUE(entry.getOwnsIcon());

    HICON own = makeIcon(0x55);
    window.answerIcon(own);
    entry.fetchIcon();
    EXPECT_EQ(entry.getIcon(), own);
    EXPECT_FALSE(iconAlive(fileIcon)) << "the replaced executable icon is destroyed";
    DestroyIcon(own);
}

TEST(Entry, ScanReleasesTheOwnedIconOfAnEntryItDrops) {
    registerTestClass(NoIconClass);
    BareApp app;
    WindowSpec spec{L"closes with its file icon"};
    spec.className = NoIconClass;
    TestWindow window(spec);
    app->scanDesktop();
    WindowEntry* entry = entryFor(app->visibleWindows, window.get());
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->getOwnsIcon());
    const HICON fileIcon = entry->getIcon();
    ASSERT_TRUE(iconAlive(fileIcon));
    window.destroy();
    app->scanDesktop();
    EXPECT_FALSE(iconAlive(fileIcon));
}

TEST(Entry, FullScreenFreezesShowStateButNotCaption) {
    TestWindow window(WindowSpec{L"stretched"});
    WindowEntry entry(window.get());
    entry.refresh();
    ASSERT_TRUE(entry.toggleFullScreen());
    ShowWindow(window.get(), SW_SHOWMINIMIZED);
    SetWindowTextW(window.get(), L"stretched, renamed");
    entry.refresh();
    EXPECT_EQ(entry.getSavedShowCmd(), static_cast<UINT>(SW_SHOWNORMAL));
    EXPECT_EQ(entry.getCaption(), L"stretched, renamed");
    entry.releaseIcon();
}

// Whether Windows would refuse this program's changes to a window, from what
// could be read of the window's process.
TEST(Reach, AProcessWhoseTokenCannotBeOpenedIsBeyondReach) {
    constexpr DWORD Medium = 0x2000, High = 0x3000;
    struct Case {
        const char* name;
        ProcessRank rank;
        DWORD ownLevel;
        bool beyond;
    } cases[] = {
        {"same level", {true, true, Medium}, Medium, false},
        {"running as administrator", {true, true, High}, Medium, true},
        {"lower level", {true, true, Medium}, High, false},
        {"another account's token", {true, false, 0}, Medium, true},
        {"process does not open", {false, false, 0}, Medium, false},
        {"level unreadable", {true, true, 0}, Medium, false},
        {"own level unreadable", {true, true, High}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(outranks(c.rank, c.ownLevel), c.beyond);
    }
}

} // namespace
