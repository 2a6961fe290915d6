#include "app/Names.h"
#include "app/Rescue.h"
#include "app/TrayApp.h"

namespace {
constexpr int AlreadyRunning = -1;
constexpr int StartFailed = -2;
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (const DWORD guarded = guardedProcess(GetCommandLineW()))
        return runGuardian(guarded);

    // Kept open until the process ends: its existence is the guard. An
    // instance that runs elevated holds it beyond this one's access.
    HANDLE guard = CreateMutexW(nullptr, FALSE, names::InstanceMutex);
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!guard && error == ERROR_ACCESS_DENIED))
        return AlreadyRunning;

    int result = StartFailed;
    {
        TrayApp app(instance);
        if (app.start()) {
            app.rescue.keepGuardian();
            result = runMessageLoop();
        }
    }
    return result;
}
