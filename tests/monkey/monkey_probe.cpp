// A plugin for the stress test: when the test asks, it reads the tray menu
// of the mossgate it is loaded into while that menu is open, writes the
// windows it lists into a named section and closes the menu. Its timer runs
// inside the menu's own loop, as every plugin timer does.
#include "plugins/sdk/mossgate_plugin.h"
#include "tests/monkey/ProbeRecord.h"
#include "tracking/WindowEntry.h"

namespace {

HANDLE section = nullptr;
ProbeRecord* record = nullptr;
HANDLE request = nullptr;
HANDLE done = nullptr;

constexpr ULONG_PTR FirstItemTag = 0x7000;
constexpr ULONG_PTR LastItemTag = 0x7004;

HWND ownOpenMenu() {
    HWND popup = nullptr;
    while ((popup = FindWindowExW(nullptr, popup, L"#32768", nullptr))) {
        DWORD process = 0;
        GetWindowThreadProcessId(popup, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(popup))
            return popup;
    }
    return nullptr;
}

void readMenu(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    LONG written = 0;
    for (int i = 0; i < count && static_cast<DWORD>(written) < ProbeCapacity; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        ProbeItem& item = record->items[written++];
        item.kind = ProbeOther;
        item.window = 0;
        if (info.fType & MFT_SEPARATOR) {
            item.kind = ProbeSeparator;
        } else if ((info.fType & MFT_OWNERDRAW) && info.hSubMenu &&
                   (info.dwItemData < FirstItemTag || info.dwItemData > LastItemTag)) {
            item.kind = ProbeWindow;
            item.window = reinterpret_cast<ULONG_PTR>(
                reinterpret_cast<const WindowEntry*>(info.dwItemData)->getHandle());
        }
    }
    InterlockedExchange(&record->count, written);
}

} // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI GetPluginIdentify(DWORD, MossgatePluginIdentity* identity) {
    lstrcpyW(identity->text, L"stress test probe");
    section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeRecord),
                                 ProbeSectionName);
    if (section)
        record = static_cast<ProbeRecord*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(ProbeRecord)));
    request = CreateEventW(nullptr, TRUE, FALSE, ProbeRequestName);
    done = CreateEventW(nullptr, TRUE, FALSE, ProbeDoneName);
    return TRUE;
}

__declspec(dllexport) DWORD GetTimerInterval(void) {
    return 20;
}

__declspec(dllexport) void CALLBACK PluginTimerFunc(HWND, UINT, UINT_PTR, DWORD) {
    if (!record || WaitForSingleObject(request, 0) != WAIT_OBJECT_0)
        return;
    HWND popup = ownOpenMenu();
    if (!popup)
        return;
    readMenu(reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)));
    ResetEvent(request);
    SetEvent(done);
    EndMenu();
}

} // extern "C"
