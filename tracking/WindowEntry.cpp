#include "tracking/WindowEntry.h"
#include "app/OsVersion.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "tracking/WindowCalls.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <type_traits>

namespace {

constexpr int TextBufferChars = 259;
constexpr DWORD ExePathChars = 279;
constexpr UINT IconReplyTimeout = 500;

std::wstring readWindowText(HWND window) {
    wchar_t buffer[TextBufferChars] = {};
    GetWindowTextW(window, buffer, TextBufferChars);
    return buffer;
}

bool isNtFamily() {
    OSVERSIONINFOW version;
    return readOsVersion(version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, wchar_t*, DWORD);

} // namespace

static_assert(sizeof(WINDOWPLACEMENT) == 44);
static_assert(std::is_standard_layout_v<WindowEntry>, "the accessible name must lead the entry");

void WindowEntry::setMenuName(const std::wstring& name) {
    menuName = name;
    accessibleName.cchWText = static_cast<DWORD>(menuName.size());
    accessibleName.pszWText = menuName.data();
}

void WindowEntry::load() {
    if (!hwnd)
        return;
    caption = readWindowText(hwnd);
    wchar_t classBuffer[TextBufferChars] = {};
    GetClassNameW(hwnd, classBuffer, TextBufferChars);
    className = classBuffer;
    (void)queryExePath();

    WINDOWPLACEMENT placement = readPlacement(hwnd);
    savedShowCmd = placement.showCmd;
    hidden = placement.showCmd == 0;

    SHFILEINFOW info{};
    SHGetFileInfoW(exePath.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON);
    icon = info.hIcon;
    fullScreen = false;
    ownsIcon = true;
    loaded = true;
}

bool WindowEntry::refresh() {
    const bool firstFill = !loaded;
    if (!loaded)
        load();
    if (!loaded)
        return false;
    WINDOWPLACEMENT placement = readPlacement(hwnd);
    if (!fullScreen) {
        if (placement.showCmd != 0)
            savedShowCmd = placement.showCmd;
        else
            hidden = true;
    }
    // The window itself is asked for its icon only when the menu is built
    // (TrayApp::requestIcons): asking on every pass would wake its program
    // ten times a second. Until it answers, the class's icon serves.
    if (firstFill)
        (void)applyIconAnswer(nullptr);
    caption = readWindowText(hwnd);
    return true;
}

bool WindowEntry::fetchIcon() {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETICON, ICON_SMALL, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, IconReplyTimeout,
                             &answer))
        answer = 0;
    return noteIconAnswer(reinterpret_cast<HICON>(answer));
}

bool WindowEntry::applyIconAnswer(HICON answer) {
    HICON found = answer;
    if (!found)
        found = reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICONSM));
    if (!found)
        return false;
    if (found != icon)
        releaseIcon();
    icon = found;
    ownsIcon = false;
    return true;
}

bool WindowEntry::noteIconAnswer(HICON answer) {
    noIconAnswer = answer == nullptr;
    iconAnswerTick = GetTickCount() | 1; // never 0, which means "never answered"
    return applyIconAnswer(answer);
}

bool WindowEntry::iconStale(DWORD now, DWORD freshFor) const {
    return !iconUnavailable && (iconAnswerTick == 0 || now - iconAnswerTick >= freshFor);
}

bool WindowEntry::queryExePath() {
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    wchar_t buffer[ExePathChars] = {};

    // Asked with the least access there is, this works across 32 and 64 bits
    // and for most programs running as administrator, where reading the
    // process's modules does not. It exists from Windows Vista on.
    using QueryImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, wchar_t*, DWORD*);
    if (auto queryImageName =
            findExport<QueryImageNameFn>(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")) {
        ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
        DWORD length = ExePathChars;
        if (process && queryImageName(process.get(), 0, buffer, &length) && length > 0) {
            exePath = buffer;
            return true;
        }
    }

    if (isNtFamily()) {
        ScopedLibrary psapi(loadSystemLibrary(L"PSAPI.DLL"));
        if (!psapi)
            return false;
        auto enumModules = findExport<EnumProcessModulesFn>(psapi.get(), "EnumProcessModules");
        auto moduleFileName = findExport<GetModuleFileNameExFn>(psapi.get(), "GetModuleFileNameExW");
        bool found = false;
        if (enumModules && moduleFileName) {
            ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
            HMODULE first = nullptr;
            DWORD needed = 0;
            if (process && enumModules(process.get(), &first, sizeof(first), &needed))
                found = moduleFileName(process.get(), first, buffer, ExePathChars) != 0;
        }
        if (found) {
            exePath = buffer;
            return true;
        }
    }

    ScopedSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    PROCESSENTRY32W process{};
    process.dwSize = sizeof(process);
    for (BOOL more = Process32FirstW(snapshot.get(), &process); more;
         more = Process32NextW(snapshot.get(), &process)) {
        if (process.th32ProcessID == processId) {
            lstrcpynW(buffer, process.szExeFile, ExePathChars);
            exePath = buffer;
            return true;
        }
    }
    return false;
}

bool WindowEntry::isLayered() const {
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

void WindowEntry::releaseIcon() {
    if (ownsIcon && icon)
        DestroyIcon(icon);
    if (ownsIcon)
        icon = nullptr;
}

HICON WindowEntry::takeIcon() {
    HICON taken = ownsIcon ? icon : nullptr;
    if (ownsIcon)
        icon = nullptr;
    return taken;
}

void destroyEntry(WindowEntry* entry) {
    if (!entry)
        return;
    entry->releaseIcon();
    delete entry;
}
