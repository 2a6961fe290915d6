#include <gtest/gtest.h>

#include <cwctype>

#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "support/TestSupport.h"

namespace {

std::wstring folderOf(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder = path;
    folder = folder.substr(0, folder.rfind(L'\\'));
    for (wchar_t& ch : folder)
        ch = static_cast<wchar_t>(towlower(ch));
    return folder;
}

std::wstring systemFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring text = folder;
    for (wchar_t& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return text;
}

// A powrprof.dll planted beside the program (here: beside this test, which
// runs with Wine told to prefer such copies, as Windows does for a library
// that is not a known system DLL) is found by a plain load by name, never
// by the program's loader.
TEST(SystemLibrary, ACopyPlantedBesideTheProgramIsNeverLoaded) {
    const std::wstring planted = testFolder() + L"powrprof.dll";
    ASSERT_TRUE(CopyFileW((standinFolder() + L"\\powrprof.dll").c_str(), planted.c_str(), FALSE));
    useSystemLibraryFolderForTests(nullptr);
    {
        ScopedLibrary plain(LoadLibraryW(L"powrprof.dll"));
        ASSERT_TRUE(plain);
        EXPECT_NE(GetProcAddress(plain.get(), "lastActivatedScheme"), nullptr)
            << "a plain load takes the planted copy";
    }
    {
        ScopedLibrary loaded(loadSystemLibrary(L"powrprof.dll"));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(GetProcAddress(loaded.get(), "lastActivatedScheme"), nullptr) << "not the planted copy";
        EXPECT_EQ(folderOf(loaded.get()), systemFolder());
    }
    useSystemLibraryFolderForTests(standinFolder().c_str());
    DeleteFileW(planted.c_str());
}

// A 32-bit process cannot read a 64-bit process's modules; the stand-in
// process-status library fails the same way for every process. The full
// path still comes, from the system's own account of the process.
TEST(SystemLibrary, FullExecutablePathWhereModulesCannotBeRead) {
    HANDLE host = launch(L"\"" + testFolder() + L"..\\window_host.exe\" 1");
    HWND window = nullptr;
    ASSERT_TRUE(waitFor([&] { return (window = findWindowOf(host, L"host window 0")) != nullptr; }, 20000));
    WindowEntry entry(window);
    entry.refresh();
    std::wstring path = entry.getExePath();
    for (wchar_t& ch : path)
        ch = static_cast<wchar_t>(towlower(ch));
    EXPECT_NE(path.find(L"\\tests\\window_host.exe"), std::wstring::npos) << "a full path, not the bare name";
    entry.releaseIcon();
    endProcess(host);
}

} // namespace
