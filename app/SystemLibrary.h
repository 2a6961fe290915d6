#pragma once
// Optional parts of the system (uxtheme, powrprof, PSAPI, dwmapi, user32,
// powercfg.cpl) are loaded from the system folder only, so that a DLL of the
// same name planted beside mossgate.exe is never loaded in their place.
#include <windows.h>

// Loads `name` from the system folder; null when it is not there.
HMODULE loadSystemLibrary(const wchar_t* name);

// Tests load stand-ins for these libraries from a folder of their own.
// Nothing in the program calls this.
void useSystemLibraryFolderForTests(const wchar_t* folder);
