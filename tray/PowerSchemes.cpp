#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"

namespace {

using EnumPwrSchemesFn = BOOLEAN(WINAPI*)(BOOLEAN(CALLBACK*)(UINT, DWORD, LPWSTR, DWORD, LPWSTR, void*,
                                                             LPARAM),
                                          LPARAM);
using GetActivePwrSchemeFn = BOOLEAN(WINAPI*)(UINT*);
using SetActivePwrSchemeFn = BOOLEAN(WINAPI*)(UINT, void*, void*);

constexpr UINT AtEnd = 0xFFFFFFFF;

} // namespace

BOOLEAN CALLBACK powerSchemeEnumProc(UINT index, DWORD, LPWSTR name, DWORD, LPWSTR, void*, LPARAM context) {
    InsertMenuW(reinterpret_cast<HMENU>(context), AtEnd, MF_BYPOSITION,
                makeCommandId(index, ActionPowerScheme), name);
    return TRUE;
}

void TrayApp::fillPowerSchemeMenu(HMENU root, HMENU submenu) {
    ScopedLibrary powrprof(LoadLibraryW(L"powrprof.dll"));
    if (!powrprof)
        return;
    auto enumSchemes = findExport<EnumPwrSchemesFn>(powrprof.get(), "EnumPwrSchemes");
    auto getActive = findExport<GetActivePwrSchemeFn>(powrprof.get(), "GetActivePwrScheme");
    if (!enumSchemes || !getActive)
        return;
    enumSchemes(powerSchemeEnumProc, reinterpret_cast<LPARAM>(submenu));
    // Marked by command id, so the mark is right whatever order the library
    // lists the schemes in.
    UINT active = 0;
    if (getActive(&active))
        CheckMenuItem(submenu, makeCommandId(active, ActionPowerScheme), MF_BYCOMMAND | MF_CHECKED);
    InsertMenuW(root, AtEnd, MF_BYPOSITION | MF_POPUP | MF_OWNERDRAW, reinterpret_cast<UINT_PTR>(submenu),
                reinterpret_cast<const wchar_t*>(PowerItemTag));
}

void TrayApp::switchPowerScheme(UINT schemeIndex) {
    ScopedLibrary powrprof(LoadLibraryW(L"powrprof.dll"));
    if (!powrprof)
        return;
    if (auto setActive = findExport<SetActivePwrSchemeFn>(powrprof.get(), "SetActivePwrScheme"))
        setActive(schemeIndex, nullptr, nullptr);
}
