#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "app/Names.h"
#include "app/Texts.h"
#include "support/TestSupport.h"

// The fixture plugins report what happens to them here.
static std::mutex eventsLock;
static std::vector<std::wstring> events;
extern "C" __declspec(dllexport) void recordPluginEvent(const wchar_t* event) {
    std::lock_guard<std::mutex> lock(eventsLock);
    events.push_back(event);
}

namespace {

std::wstring pluginFolder() {
    return testFolder() + L"plugin";
}
std::wstring fixture(const wchar_t* name) {
    return testFolder() + L"..\\fixtures\\" + name;
}

void removeFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeFolder(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// A fresh plugin folder holding copies of the named fixtures.
void preparePluginFolder(std::initializer_list<const wchar_t*> fixtures) {
    SetCurrentDirectoryW(testFolder().c_str());
    removeFolder(pluginFolder());
    CreateDirectoryW(pluginFolder().c_str(), nullptr);
    for (const wchar_t* name : fixtures)
        CopyFileW(fixture(name).c_str(), (pluginFolder() + L"\\" + name).c_str(), FALSE);
    std::lock_guard<std::mutex> lock(eventsLock);
    events.clear();
}

std::vector<std::wstring> takeEvents() {
    std::lock_guard<std::mutex> lock(eventsLock);
    return events;
}

// Answers the loader's warning boxes from another thread, keeping their texts.
class BoxAnswerer {
  public:
    BoxAnswerer()
        : thread([this] {
              while (!stop) {
                  if (HWND box = findOwnWindow(L"#32770", texts::PluginLoaderCaption)) {
                      wchar_t text[512] = {};
                      GetDlgItemTextW(box, 0xFFFF, text, 512);
                      {
                          std::lock_guard<std::mutex> lock(textsLock);
                          texts.push_back(text);
                      }
                      SendMessageW(box, WM_COMMAND, IDOK, 0);
                      waitGone(box);
                  }
                  Sleep(20);
              }
          }) {}
    ~BoxAnswerer() {
        stop = true;
        thread.join();
    }
    std::vector<std::wstring> seen() {
        std::lock_guard<std::mutex> lock(textsLock);
        return texts;
    }

  private:
    static void waitGone(HWND box) {
        for (int i = 0; i < 250 && IsWindow(box); ++i)
            Sleep(20);
    }
    std::atomic<bool> stop{false};
    std::mutex textsLock;
    std::vector<std::wstring> texts;
    std::thread thread;
};

std::wstring currentDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, path);
    std::wstring result = path;
    if (!result.empty() && result.back() == L'\\')
        result.pop_back();
    std::transform(result.begin(), result.end(), result.begin(), towlower);
    return result;
}

std::wstring lowered(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), towlower);
    return s;
}

TEST(Plugins, LibraryWithoutIdentityIsReportedOnceAndTheNextStillLoads) {
    preparePluginFolder({L"not_plugin.dll", L"plug_b.dll"});
    BareApp app;
    std::vector<std::wstring> boxes;
    {
        BoxAnswerer answerer;
        app->loadPlugins();
        boxes = answerer.seen();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], L"plugin ディレクトリにある not_plugin.dll は mossgate plugin ではありません。");
    ASSERT_EQ(app->plugins.size(), 1u);
    EXPECT_EQ(app->plugins[0]->identityText(), L"plugin B");
    EXPECT_EQ(lowered(app->plugins[0]->path), lowered(pluginFolder() + L"\\plug_b.dll"));
    const auto seen = takeEvents();
    EXPECT_NE(std::find(seen.begin(), seen.end(), L"free N"), seen.end()) << "the refused library is freed";
    EXPECT_EQ(std::find(seen.begin(), seen.end(), L"stop N"), seen.end());
    app->unloadPlugins();
}

TEST(Plugins, FoldersAndFilesThatAreNoLibrariesAreSkippedSilently) {
    preparePluginFolder({L"plug_b.dll"});
    CreateDirectoryW((pluginFolder() + L"\\x.dll").c_str(), nullptr);
    writeFile(pluginFolder() + L"\\garbage.dll", std::string(3000, '\x5a'));
    writeFile(pluginFolder() + L"\\empty.dll", "");
    writeFile(pluginFolder() + L"\\truncated.dll", "MZ\x90\x00");
    BareApp app;
    std::vector<std::wstring> boxes;
    {
        BoxAnswerer answerer;
        app->loadPlugins();
        boxes = answerer.seen();
    }
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(app->plugins.size(), 1u);
    EXPECT_EQ(app->plugins[0]->identityText(), L"plugin B");
    app->unloadPlugins();
}

TEST(Plugins, TimersGoToPluginsWithBothTimerExportsInLoadOrder) {
    preparePluginFolder({L"plug_a.dll", L"plug_b.dll", L"plug_c.dll"});
    BareApp app;
    app->loadPlugins();
    ASSERT_EQ(app->plugins.size(), 3u);
    app->startPluginTimers();
    UINT_PTR next = FirstPluginTimerId;
    for (const PluginEntry* plugin : app->plugins) {
        const std::wstring identity = plugin->identityText();
        SCOPED_TRACE(std::string(identity.begin(), identity.end()));
        if (identity == L"plugin B") {
            EXPECT_EQ(plugin->timerId, 0u);
        } else {
            EXPECT_EQ(plugin->timerId, next++);
        }
    }
    EXPECT_EQ(next, FirstPluginTimerId + 2);
    ASSERT_TRUE(waitFor([] {
        const auto seen = takeEvents();
        return std::count(seen.begin(), seen.end(), L"timer A") > 0 &&
               std::count(seen.begin(), seen.end(), L"timer C") > 0;
    }));
    for (const PluginEntry* plugin : app->plugins)
        if (plugin->timerId)
            KillTimer(app->mainWindow, plugin->timerId);
    app->unloadPlugins();
}

TEST(Plugins, IdentityOnlyPluginIsListedInTheAboutText) {
    preparePluginFolder({L"plug_b.dll"});
    BareApp app;
    app->loadPlugins();
    app->startPluginTimers();
    ASSERT_EQ(app->plugins.size(), 1u);
    EXPECT_EQ(app->plugins[0]->timerId, 0u);
    const std::wstring about = app->aboutText();
    const std::wstring tail = L"\n\nand following plugin(s) are loaded:\n  * plugin B";
    ASSERT_GE(about.size(), tail.size());
    EXPECT_EQ(about.substr(about.size() - tail.size()), tail);
    app->unloadPlugins();
}

TEST(Plugins, EachPluginIsStoppedOnceThenFreedInLoadOrder) {
    preparePluginFolder({L"plug_a.dll", L"plug_b.dll", L"plug_c.dll"});
    BareApp app;
    app->loadPlugins();
    std::vector<std::wstring> expected;
    for (const PluginEntry* plugin : app->plugins) {
        const std::wstring name = plugin->identityText().substr(7);
        if (name != L"B")
            expected.push_back(L"stop " + name);
        expected.push_back(L"free " + name);
    }
    preparePluginFolder({}); // forget the load events; the libraries stay loaded
    app->unloadPlugins();
    EXPECT_EQ(takeEvents(), expected);
    EXPECT_TRUE(app->plugins.empty());
}

TEST(Plugins, CurrentDirectoryIsThePluginFolderEvenWhenEmpty) {
    preparePluginFolder({});
    BareApp app;
    app->loadPlugins();
    EXPECT_TRUE(app->plugins.empty());
    EXPECT_EQ(currentDirectory(), lowered(pluginFolder()));
}

TEST(Plugins, WithoutAPluginFolderNothingLoads) {
    preparePluginFolder({});
    removeFolder(pluginFolder());
    // A library in the unchanged current directory is still not loaded: the
    // loader only loads from the plugin folder.
    CopyFileW(fixture(L"plug_b.dll").c_str(), (testFolder() + L"plug_b.dll").c_str(), FALSE);
    BareApp app;
    std::vector<std::wstring> boxes;
    {
        BoxAnswerer answerer;
        app->loadPlugins();
        boxes = answerer.seen();
    }
    EXPECT_TRUE(app->plugins.empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(currentDirectory() + L"\\", lowered(testFolder()));
    DeleteFileW((testFolder() + L"plug_b.dll").c_str());
}

TEST(Plugins, UnterminatedIdentityIsReadToTheRecordsEnd) {
    preparePluginFolder({L"unterminated.dll"});
    BareApp app;
    app->loadPlugins();
    ASSERT_EQ(app->plugins.size(), 1u);
    EXPECT_EQ(app->plugins[0]->identityText(), std::wstring(MOSSGATE_IDENTITY_TEXT_CHARS, L'u'));
    app->unloadPlugins();
}

TEST(Plugins, BalloonRequestWithTheLoadKeyIsShown) {
    preparePluginFolder({L"plug_a.dll", L"plug_b.dll"});
    BareApp app;
    app->loadPlugins();
    ASSERT_EQ(app->plugins.size(), 2u);
    MossgatePluginNotice notice{};
    notice.key = app->plugins[1]->loadTick;
    notice.displayTime = 3000;
    lstrcpyW(notice.title, L"from a plugin");
    lstrcpyW(notice.text, L"balloon text");
    PluginBalloon balloon;
    ASSERT_TRUE(app->pluginBalloon(reinterpret_cast<LPARAM>(&notice), balloon));
    EXPECT_EQ(balloon.title, L"mossgate - from a plugin");
    EXPECT_EQ(balloon.text, L"balloon text");
    EXPECT_EQ(balloon.time, 3000u);
    app->unloadPlugins();
}

} // namespace
