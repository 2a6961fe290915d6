#pragma once
#include <windows.h>

// The system's version as GetVersionExW reports it; false when the call
// fails. The call is deprecated but is what tells the NT family apart.
inline bool readOsVersion(OSVERSIONINFOW& version) {
    version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExW(&version) != FALSE;
#pragma GCC diagnostic pop
}
