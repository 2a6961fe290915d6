#include "tracking/Cloaking.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"

namespace {

using GetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
constexpr DWORD CloakedAttribute = 14; // DWMWA_CLOAKED, Windows 8 on

} // namespace

bool isCloaked(HWND window) {
    // Asked about every window on every pass, so the library stays loaded
    // for the process's life rather than being loaded for each call.
    static const GetWindowAttributeFn getAttribute = [] {
        HMODULE dwmapi = loadSystemLibrary(L"dwmapi.dll");
        return dwmapi ? findExport<GetWindowAttributeFn>(dwmapi, "DwmGetWindowAttribute") : nullptr;
    }();
    DWORD cloaked = 0;
    return getAttribute && SUCCEEDED(getAttribute(window, CloakedAttribute, &cloaked, sizeof(cloaked))) &&
           cloaked != 0;
}
