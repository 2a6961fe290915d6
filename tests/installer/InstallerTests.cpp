// The real installer, run silently in a Wine prefix of its own (see
// installer.sh): what it puts in place, mossgate started as Windows starts it
// at sign-in, an upgrade over the running mossgate with a window hidden
// through it, an uninstall while it runs, and the refusals that change
// nothing. MOSSGATE_SETUP names the installer.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "app/Names.h"
#include "support/TestSupport.h"

namespace {

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\mossgate";
constexpr wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD SetupTimeout = 60000;

std::wstring setup() {
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(L"MOSSGATE_SETUP", path, MAX_PATH);
    return path;
}

std::wstring folder(int id) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring installDir() {
    return folder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\mossgate";
}

std::wstring shortcut() {
    return folder(CSIDL_PROGRAMS) + L"\\mossgate.lnk";
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A value under HKCU; empty when there is none.
std::wstring readValue(const wchar_t* key, const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return L"";
    DWORD type = 0;
    if (RegQueryValueExW(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        text[0] = 0;
    RegCloseKey(opened);
    if (type == REG_DWORD) {
        DWORD number = 0;
        memcpy(&number, text, sizeof(number));
        return std::to_wstring(number);
    }
    return text;
}

bool keyExists(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// Runs a command line to its end; its exit code.
DWORD run(const std::wstring& commandLine) {
    HANDLE process = launch(commandLine);
    if (!process)
        return STILL_ACTIVE;
    const DWORD code = waitExit(process, SetupTimeout);
    CloseHandle(process);
    return code;
}

// The uninstaller copies itself away and returns at once; it is done when
// its entry and the folder are gone.
bool uninstall() {
    const std::wstring quiet = readValue(UninstallKey, L"QuietUninstallString");
    if (quiet.empty() || run(quiet) != 0)
        return false;
    return waitFor([] { return !keyExists(UninstallKey) && !exists(installDir()); }, SetupTimeout);
}

// The corner window of a mossgate other than `notProcess`, once it runs.
HWND cornerOf(DWORD& processId, DWORD notProcess = 0) {
    HWND corner = nullptr;
    waitFor(
        [&] {
            corner = FindWindowW(names::WindowClass, nullptr);
            processId = 0;
            GetWindowThreadProcessId(corner, &processId);
            return corner && processId != notProcess;
        },
        30000);
    return corner;
}

// Hides the first listed window through mossgate's own menu command.
bool hideThrough(HWND corner, HWND window) {
    if (!openAndCloseMenu(corner))
        return false;
    PostMessageW(corner, WM_COMMAND, makeCommandId(0, ActionHide), 0);
    return waitFor([&] { return !IsWindowVisible(window); });
}

class Installer : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(setup().empty()) << "MOSSGATE_SETUP names the installer";
        ASSERT_TRUE(waitFor([] { return FindWindowW(names::TaskbarClass, nullptr) != nullptr; }, 30000));
        if (keyExists(UninstallKey))
            uninstall();
    }
};

TEST_F(Installer, InstallStartUpgradeAndUninstallWhileItRuns) {
    ASSERT_EQ(run(L"\"" + setup() + L"\" /S"), 0u) << "a silent install";
    const std::wstring dir = installDir();
    for (const wchar_t* file :
         {L"mossgate.exe", L"README.md", L"LICENSE", L"uninstall.exe", L"plugin", L"sdk\\mossgate_plugin.h",
          L"sdk\\plugins.md", L"sdk\\example\\hello_plugin.c"})
        EXPECT_TRUE(exists(dir + L"\\" + file)) << std::string(file, file + wcslen(file));
    EXPECT_TRUE(exists(shortcut())) << "a Start-menu shortcut";
    const std::wstring atSignIn = readValue(RunKey, L"mossgate");
    EXPECT_EQ(atSignIn, L"\"" + dir + L"\\mossgate.exe\"") << "starts at sign-in";
    EXPECT_EQ(readValue(UninstallKey, L"DisplayName"), L"mossgate");
    EXPECT_EQ(readValue(UninstallKey, L"DisplayVersion"), L"0.37.12");
    EXPECT_EQ(readValue(UninstallKey, L"InstallLocation"), dir);
    EXPECT_EQ(readValue(UninstallKey, L"DisplayIcon"), dir + L"\\mossgate.exe,0");
    EXPECT_EQ(readValue(UninstallKey, L"UninstallString"), L"\"" + dir + L"\\uninstall.exe\"");
    EXPECT_EQ(readValue(UninstallKey, L"QuietUninstallString"), L"\"" + dir + L"\\uninstall.exe\" /S");
    EXPECT_EQ(readValue(UninstallKey, L"NoModify"), L"1");
    EXPECT_EQ(readValue(UninstallKey, L"NoRepair"), L"1");
    EXPECT_GT(std::stoul(readValue(UninstallKey, L"EstimatedSize") + L"0"), 0u) << "a size in KiB";

    // Started as Windows starts it at sign-in, with a window hidden through it.
    HANDLE program = launch(atSignIn);
    ASSERT_NE(program, nullptr);
    DWORD firstId = 0;
    HWND corner = cornerOf(firstId);
    ASSERT_NE(corner, nullptr);
    OtherProgramWindow other;
    ASSERT_NE(other.window, nullptr);
    pumpMessages(300);
    ASSERT_TRUE(hideThrough(corner, other.window));

    // The upgrade closes it as its Exit does, and starts the new one.
    EXPECT_EQ(run(L"\"" + setup() + L"\" /S"), 0u) << "an upgrade over the running mossgate";
    EXPECT_EQ(waitExit(program), 0u) << "the old mossgate ended by itself";
    CloseHandle(program);
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(other.window) != FALSE; }))
        << "its hidden window is back";
    DWORD secondId = 0;
    HWND upgraded = cornerOf(secondId, firstId);
    ASSERT_NE(upgraded, nullptr) << "the new mossgate runs";

    // The uninstaller closes it too, and takes away all it added.
    pumpMessages(300);
    ASSERT_TRUE(hideThrough(upgraded, other.window));
    ASSERT_TRUE(uninstall()) << "a silent uninstall";
    EXPECT_TRUE(waitFor([&] { return IsWindowVisible(other.window) != FALSE; }))
        << "its hidden window is back";
    EXPECT_TRUE(waitFor([] { return FindWindowW(names::WindowClass, nullptr) == nullptr; }));
    EXPECT_FALSE(exists(dir));
    EXPECT_FALSE(exists(shortcut()));
    EXPECT_TRUE(readValue(RunKey, L"mossgate").empty());
    EXPECT_FALSE(keyExists(UninstallKey));
}

// A mossgate that does not end when asked: a window of its class in this
// process, which ignores WM_CLOSE.
LRESULT CALLBACK stubbornProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(Installer, RefusalsChangeNothingAndAutostartCanBeLeftOff) {
    const std::wstring dir = installDir();
    // Installed in one folder, it does not install into another as well.
    ASSERT_EQ(run(L"\"" + setup() + L"\" /S"), 0u);
    const std::wstring elsewhere = L"C:\\mossgate-elsewhere";
    EXPECT_NE(run(L"\"" + setup() + L"\" /S /D=" + elsewhere), 0u);
    EXPECT_FALSE(exists(elsewhere));
    EXPECT_EQ(readValue(UninstallKey, L"InstallLocation"), dir);
    ASSERT_TRUE(uninstall());

    // Folders it cannot write to: below a file, and on a drive that is not
    // there.
    const std::wstring blocker = L"C:\\mossgate-blocker";
    HANDLE file = CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    for (const std::wstring& unwritable : {blocker + L"\\mossgate", std::wstring(L"Q:\\mossgate")}) {
        SCOPED_TRACE(std::string(unwritable.begin(), unwritable.end()));
        EXPECT_NE(run(L"\"" + setup() + L"\" /S /D=" + unwritable), 0u);
        EXPECT_FALSE(keyExists(UninstallKey));
        EXPECT_FALSE(exists(dir));
    }
    DeleteFileW(blocker.c_str());

    // A running mossgate that will not end within five seconds.
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = stubbornProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = names::WindowClass;
    ASSERT_TRUE(RegisterClassExW(&windowClass));
    HWND stubborn = CreateWindowExW(0, names::WindowClass, nullptr, 0, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(run(L"\"" + setup() + L"\" /S"), 0u) << "it is never killed";
    EXPECT_TRUE(IsWindow(stubborn));
    EXPECT_FALSE(exists(dir + L"\\mossgate.exe"));
    EXPECT_FALSE(keyExists(UninstallKey));
    DestroyWindow(stubborn);
    UnregisterClassW(names::WindowClass, GetModuleHandleW(nullptr));

    // The documented switch leaves starting at sign-in off.
    ASSERT_EQ(run(L"\"" + setup() + L"\" /S /NOAUTOSTART"), 0u);
    EXPECT_TRUE(exists(dir + L"\\mossgate.exe"));
    EXPECT_TRUE(readValue(RunKey, L"mossgate").empty());

    // A plugin folder the user filled outlives the uninstall.
    const std::wstring plugin = dir + L"\\plugin\\mine.dll";
    CloseHandle(CreateFileW(plugin.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_EQ(run(readValue(UninstallKey, L"QuietUninstallString")), 0u);
    EXPECT_TRUE(waitFor([] { return !keyExists(UninstallKey); }, SetupTimeout));
    EXPECT_TRUE(waitFor([&] { return !exists(dir + L"\\mossgate.exe"); }, SetupTimeout));
    EXPECT_TRUE(exists(plugin)) << "the user's plugin stays";
    DeleteFileW(plugin.c_str());
    RemoveDirectoryW((dir + L"\\plugin").c_str());
    RemoveDirectoryW(dir.c_str());
}

} // namespace
