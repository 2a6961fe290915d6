#include <gtest/gtest.h>

#include "app/Names.h"
#include "support/MenuReader.h"
#include "support/TestSupport.h"
#include "tray/MenuSet.h"

namespace {

// This executable runs beside a stand-in "powrprof.dll" that reports three
// schemes in the order 2, 0, 1 with scheme 0 active; PowerMissing runs with
// the library disabled.
const MenuItem* powerEntry(const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items)
        if (item.data == PowerItemTag)
            return &item;
    return nullptr;
}

std::vector<MenuItem> buildAndRead(TrayApp& app) {
    MenuSet menus;
    if (!app.buildTrayMenu(menus))
        return {};
    auto items = readMenu(menus.root);
    menus.destroyAll();
    ReleaseMutex(app.scanMutex);
    return items;
}

TEST(Power, SchemesListedAsReportedWithTheActiveOneChecked) {
    BareApp app;
    const auto items = buildAndRead(*app);
    const MenuItem* entry = powerEntry(items);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->ownerDrawn());
    ASSERT_EQ(entry->submenu.size(), 3u);
    const UINT expectedIds[] = {0xF025, 0xF005, 0xF015};
    const wchar_t* names[] = {L"Scheme two", L"Scheme zero", L"Scheme one"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(entry->submenu[i].id, expectedIds[i]);
        EXPECT_EQ(entry->submenu[i].text, names[i]);
        EXPECT_EQ(entry->submenu[i].checked(), i == 1) << "the active scheme's item, wherever it stands";
    }
    // It follows the taskbar entry and precedes the separator before about.
    EXPECT_EQ((entry - 1)->data, TaskbarItemTag);
    EXPECT_TRUE((entry + 1)->separator());
}

TEST(Power, ChoosingASchemeMakesItActive) {
    HMODULE library = LoadLibraryW(L"powrprof.dll"); // keeps the stand-in's state alive
    ASSERT_NE(library, nullptr);
    auto lastActivated =
        reinterpret_cast<LONG (*)()>(reinterpret_cast<void*>(GetProcAddress(library, "lastActivatedScheme")));
    ASSERT_NE(lastActivated, nullptr) << "the stand-in library was loaded";
    BareApp app;
    app->onCommand(0xF025, 0);
    EXPECT_EQ(lastActivated(), 2);
    FreeLibrary(library);
}

TEST(PowerMissing, NoPowerEntryWithoutTheLibrary) {
    BareApp app;
    const auto items = buildAndRead(*app);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(powerEntry(items), nullptr);
    size_t about = 0;
    while (about < items.size() && items[about].id != AboutCommand)
        ++about;
    ASSERT_GE(about, 2u);
    EXPECT_TRUE(items[about - 1].separator());
    EXPECT_EQ(items[about - 2].data, TaskbarItemTag);
}

} // namespace
