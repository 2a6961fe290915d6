#include <gtest/gtest.h>

#include "app/Names.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "support/MenuReader.h"
#include "support/TestSupport.h"
#include "tray/MenuSet.h"

namespace {

// The stand-in power library (tests/fixtures/fake_powrprof.c) lists three
// plans by GUID, the second active, and three schemes by index in the order
// 2, 0, 1 with scheme 0 active.
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

// Keeps the stand-in loaded, so that what it records outlives the
// program's own load and release of it, and reads that record.
struct StandinRecord {
    ScopedLibrary standin{LoadLibraryW((standinFolder() + L"\\powrprof.dll").c_str())};
    LONG lastActivated(const char* what) const {
        auto read = findExport<LONG (*)()>(standin.get(), what);
        return read ? read() : -2;
    }
};

// The stand-in's index functions only, as on systems before Vista (and as
// under Wine, whose PowerEnumerate is not implemented).
struct LegacyPower {
    LegacyPower() { SetEnvironmentVariableW(L"MOSSGATE_FAKE_POWER", L"legacy"); }
    ~LegacyPower() { SetEnvironmentVariableW(L"MOSSGATE_FAKE_POWER", nullptr); }
};

struct Expected {
    UINT id;
    const wchar_t* name;
    bool checked;
};

void expectSubmenu(const MenuItem* entry, const std::vector<Expected>& expected) {
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->ownerDrawn());
    ASSERT_EQ(entry->submenu.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entry->submenu[i].id, expected[i].id);
        EXPECT_EQ(entry->submenu[i].text, expected[i].name);
        EXPECT_EQ(entry->submenu[i].checked(), expected[i].checked);
    }
    // It follows the taskbar entry and precedes the separator before about.
    EXPECT_EQ((entry - 1)->data, TaskbarItemTag);
    EXPECT_TRUE((entry + 1)->separator());
}

TEST(Power, PlansListedByNameWithTheActiveOneChecked) {
    BareApp app;
    const auto items = buildAndRead(*app);
    expectSubmenu(
        powerEntry(items),
        {{0xF005, L"Plan balanced", false}, {0xF015, L"Plan fast", true}, {0xF025, L"Plan saver", false}});
}

TEST(Power, ChoosingAPlanMakesItsGuidActive) {
    StandinRecord record;
    BareApp app;
    buildAndRead(*app);
    app->onCommand(0xF025, 0);
    EXPECT_EQ(record.lastActivated("lastActivatedPowerPlan"), 2);
}

TEST(Power, WithoutPlansTheSchemesAreListedByIndexWithTheActiveOneChecked) {
    LegacyPower legacy;
    StandinRecord record;
    BareApp app;
    const auto items = buildAndRead(*app);
    expectSubmenu(
        powerEntry(items),
        {{0xF025, L"Scheme two", false}, {0xF005, L"Scheme zero", true}, {0xF015, L"Scheme one", false}});
    app->onCommand(0xF025, 0);
    EXPECT_EQ(record.lastActivated("lastActivatedScheme"), 2);
}

TEST(Power, NoPowerEntryWithoutTheLibrary) {
    useSystemLibraryFolderForTests((testFolder() + L"no such folder").c_str());
    BareApp app;
    const auto items = buildAndRead(*app);
    useSystemLibraryFolderForTests(standinFolder().c_str());
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
