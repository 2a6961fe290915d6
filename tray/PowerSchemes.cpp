#include "app/Names.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "app/Texts.h"
#include "app/TrayApp.h"

#include <vector>

namespace {

// Since Windows Vista a power plan is a GUID.
using PowerEnumerateFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, int, ULONG, UCHAR*, DWORD*);
using PowerReadFriendlyNameFn = DWORD(WINAPI*)(HKEY, const GUID*, const GUID*, const GUID*, UCHAR*, DWORD*);
using PowerGetActiveSchemeFn = DWORD(WINAPI*)(HKEY, GUID**);
using PowerSetActiveSchemeFn = DWORD(WINAPI*)(HKEY, const GUID*);
constexpr int AccessScheme = 16; // ACCESS_SCHEME

// The functions of the older systems, by index.
using EnumPwrSchemesFn = BOOLEAN(WINAPI*)(BOOLEAN(CALLBACK*)(UINT, DWORD, LPWSTR, DWORD, LPWSTR, void*,
                                                             LPARAM),
                                          LPARAM);
using GetActivePwrSchemeFn = BOOLEAN(WINAPI*)(UINT*);
using SetActivePwrSchemeFn = BOOLEAN(WINAPI*)(UINT, void*, void*);

constexpr UINT AtEnd = 0xFFFFFFFF;

struct PowerPlan {
    GUID id;
    std::wstring name;
};

std::wstring friendlyName(PowerReadFriendlyNameFn readName, const GUID& plan) {
    DWORD size = 0;
    if (readName(nullptr, &plan, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (readName(nullptr, &plan, nullptr, nullptr, reinterpret_cast<UCHAR*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    return text.data();
}

// The plans in the order the system lists them; false when it cannot (the
// function is missing or fails, as on systems before Vista and under Wine).
bool listPowerPlans(HMODULE powrprof, std::vector<PowerPlan>& plans) {
    auto enumerate = findExport<PowerEnumerateFn>(powrprof, "PowerEnumerate");
    auto readName = findExport<PowerReadFriendlyNameFn>(powrprof, "PowerReadFriendlyName");
    if (!enumerate || !readName)
        return false;
    for (ULONG index = 0; index < MaxWindowItems; ++index) {
        GUID plan{};
        DWORD size = sizeof(plan);
        const DWORD result =
            enumerate(nullptr, nullptr, nullptr, AccessScheme, index, reinterpret_cast<UCHAR*>(&plan), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            return true;
        if (result != ERROR_SUCCESS)
            return index > 0;
        plans.push_back({plan, friendlyName(readName, plan)});
    }
    return true;
}

bool activePowerPlan(HMODULE powrprof, GUID& active) {
    auto getActive = findExport<PowerGetActiveSchemeFn>(powrprof, "PowerGetActiveScheme");
    GUID* found = nullptr;
    if (!getActive || getActive(nullptr, &found) != ERROR_SUCCESS || !found)
        return false;
    active = *found;
    LocalFree(found);
    return true;
}

} // namespace

BOOLEAN CALLBACK powerSchemeEnumProc(UINT index, DWORD, LPWSTR name, DWORD, LPWSTR, void*, LPARAM context) {
    InsertMenuW(reinterpret_cast<HMENU>(context), AtEnd, MF_BYPOSITION,
                makeCommandId(index, ActionPowerScheme), name);
    return TRUE;
}

void TrayApp::fillPowerSchemeMenu(HMENU root, HMENU submenu) {
    powerPlans.clear();
    ScopedLibrary powrprof(loadSystemLibrary(L"powrprof.dll"));
    if (!powrprof)
        return;
    std::vector<PowerPlan> plans;
    if (listPowerPlans(powrprof.get(), plans)) {
        // The item's index in the submenu stands for the plan's GUID.
        GUID active{};
        const bool haveActive = activePowerPlan(powrprof.get(), active);
        for (UINT index = 0; index < plans.size(); ++index) {
            const UINT flags = haveActive && IsEqualGUID(plans[index].id, active) ? MF_CHECKED : 0;
            InsertMenuW(submenu, AtEnd, MF_BYPOSITION | flags, makeCommandId(index, ActionPowerScheme),
                        plans[index].name.c_str());
            powerPlans.push_back(plans[index].id);
        }
    } else {
        auto enumSchemes = findExport<EnumPwrSchemesFn>(powrprof.get(), "EnumPwrSchemes");
        auto getActive = findExport<GetActivePwrSchemeFn>(powrprof.get(), "GetActivePwrScheme");
        if (!enumSchemes || !getActive)
            return;
        enumSchemes(powerSchemeEnumProc, reinterpret_cast<LPARAM>(submenu));
        // Marked by command id, so the mark is right whatever order the
        // library lists the schemes in.
        UINT active = 0;
        if (getActive(&active))
            CheckMenuItem(submenu, makeCommandId(active, ActionPowerScheme), MF_BYCOMMAND | MF_CHECKED);
    }
    InsertMenuW(root, AtEnd, MF_BYPOSITION | MF_POPUP | MF_OWNERDRAW, reinterpret_cast<UINT_PTR>(submenu),
                reinterpret_cast<const wchar_t*>(PowerItemTag));
}

void TrayApp::switchPowerScheme(UINT schemeIndex) {
    ScopedLibrary powrprof(loadSystemLibrary(L"powrprof.dll"));
    if (!powrprof)
        return;
    if (!powerPlans.empty()) {
        auto setActive = findExport<PowerSetActiveSchemeFn>(powrprof.get(), "PowerSetActiveScheme");
        if (setActive && schemeIndex < powerPlans.size())
            setActive(nullptr, &powerPlans[schemeIndex]);
        return;
    }
    if (auto setActive = findExport<SetActivePwrSchemeFn>(powrprof.get(), "SetActivePwrScheme"))
        setActive(schemeIndex, nullptr, nullptr);
}
