#pragma once
#include <windows.h>
#include <string>

#include "plugins/sdk/mossgate_plugin.h"

// One loaded plugin library.
struct PluginEntry {
    DWORD recordSize = sizeof(PluginEntry);
    DWORD loadTick = 0;
    HMODULE module = nullptr;
    UINT_PTR timerId = 0;
    MossgatePluginIdentity identity{};
    std::wstring path;

    // The identity text, never read past the end of the record.
    std::wstring identityText() const;
};
