#include "app/Names.h"
#include "app/TrayApp.h"

namespace {
constexpr int AlreadyRunning = -1;
constexpr int StartFailed = -2;
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Kept open until the process ends: its existence is the guard.
    CreateMutexW(nullptr, FALSE, names::InstanceMutex);
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return AlreadyRunning;

    int result = StartFailed;
    {
        TrayApp app(instance);
        if (app.start())
            result = runMessageLoop();
    }
    return result;
}
