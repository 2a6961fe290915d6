#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"

#include <cwchar>

namespace {
constexpr DWORD ModulePathChars = 1024;
} // namespace

std::wstring PluginEntry::identityText() const {
    return std::wstring(identity.text, wcsnlen(identity.text, MOSSGATE_IDENTITY_TEXT_CHARS));
}

void TrayApp::loadPlugins() {
    wchar_t modulePath[ModulePathChars] = {};
    GetModuleFileNameW(nullptr, modulePath, ModulePathChars);
    std::wstring folder = modulePath;
    folder.resize(folder.rfind(L'\\') == std::wstring::npos ? 0 : folder.rfind(L'\\'));
    folder += names::PluginFolder;

    // The folder stays the current directory for the rest of the run, which
    // lets plugins find their own files by relative names.
    SetCurrentDirectoryW(folder.c_str());

    WIN32_FIND_DATAW found;
    ScopedFind search(FindFirstFileW(names::PluginPattern, &found));
    if (!search)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::wstring path = folder + found.cFileName;
        HMODULE module = LoadLibraryW(path.c_str());
        if (!module)
            continue;
        auto identify = findExport<MossgateGetPluginIdentifyFn>(module, "GetPluginIdentify");
        if (!identify) {
            std::wstring warning = texts::NotPluginBefore;
            warning += found.cFileName;
            warning += texts::NotPluginAfter;
            MessageBoxW(mainWindow, warning.c_str(), texts::PluginLoaderCaption, MB_OK | MB_ICONEXCLAMATION);
            FreeLibrary(module);
            continue;
        }
        auto* plugin = new PluginEntry;
        plugin->module = module;
        plugin->path = path;
        plugin->loadTick = GetTickCount();
        plugin->identity.size = MOSSGATE_IDENTITY_SIZE;
        identify(plugin->loadTick, &plugin->identity);
        plugins.push_back(plugin);
    } while (FindNextFileW(search.get(), &found));
}

void TrayApp::startPluginTimers() {
    UINT_PTR nextId = FirstPluginTimerId;
    for (PluginEntry* plugin : plugins) {
        auto interval = findExport<MossgateGetTimerIntervalFn>(plugin->module, "GetTimerInterval");
        auto timerProc = findExport<MossgatePluginTimerFn>(plugin->module, "PluginTimerFunc");
        if (!interval || !timerProc)
            continue;
        SetTimer(mainWindow, nextId, interval(), timerProc);
        plugin->timerId = nextId++;
    }
}

void TrayApp::unloadPlugins() {
    for (PluginEntry* plugin : plugins) {
        if (plugin->module) {
            if (auto stop = findExport<MossgateStopPluginFn>(plugin->module, "StopPlugin"))
                stop();
            FreeLibrary(plugin->module);
        }
        delete plugin;
    }
    plugins.clear();
}
