#include "app/SystemLibrary.h"

#include <string>

namespace {

std::wstring& testFolder() {
    static std::wstring folder;
    return folder;
}

// LOAD_LIBRARY_SEARCH_SYSTEM32 is understood where AddDllDirectory exists
// (Windows 8, and Windows 7 with its update KB2533623); elsewhere the flag
// fails the call, so a full path serves.
bool searchFlagsUnderstood() {
    static const bool understood =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return understood;
}

} // namespace

void useSystemLibraryFolderForTests(const wchar_t* folder) {
    testFolder() = folder ? folder : L"";
}

HMODULE loadSystemLibrary(const wchar_t* name) {
    if (!testFolder().empty())
        return LoadLibraryW((testFolder() + L"\\" + name).c_str());
    if (searchFlagsUnderstood())
        return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return LoadLibraryW((std::wstring(folder) + L"\\" + name).c_str());
}
