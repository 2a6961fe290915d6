#include "app/Rescue.h"
#include "app/Names.h"
#include "tracking/WindowMarks.h"

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

// A guardian that cannot be started now (the executable renamed during an
// upgrade, say) is tried again after this long.
constexpr DWORD GuardianRetry = 1000;
// The guardian waits this long for each window that does not answer the
// change that takes its layering off; the window is opaque meanwhile.
constexpr DWORD GuardianWindowWait = 10000;
constexpr SIZE_T KeeperStack = 64 * 1024;

LONG WINAPI rescueOnCrash(EXCEPTION_POINTERS*) {
    // Only system calls: the heap and the lists may be what broke.
    restoreMarkedWindowsNow();
    return EXCEPTION_CONTINUE_SEARCH;
}

// Starts the guardian of this process; null when it could not be started.
HANDLE startGuardian() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    wchar_t processId[16];
    wsprintfW(processId, L"%lu", GetCurrentProcessId());
    std::wstring command = L"\"" + std::wstring(path) + L"\" " + names::GuardianSwitch + L" " + processId;
    STARTUPINFOW startup = guardianStartupInfo();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

} // namespace

Rescue::~Rescue() {
    stopGuardian();
}

void Rescue::start() {
    if (prepareMarks())
        SetUnhandledExceptionFilter(rescueOnCrash);
}

void Rescue::keepGuardian() {
    if (keeper)
        return;
    stopKeeping = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopKeeping)
        return;
    keeper = CreateThread(nullptr, KeeperStack, keepGuardianRunning, this, STACK_SIZE_PARAM_IS_A_RESERVATION,
                          nullptr);
}

void Rescue::stopGuardian() {
    if (keeper) {
        SetEvent(stopKeeping);
        WaitForSingleObject(keeper, INFINITE); // it only ever waits, so it leaves at once
        CloseHandle(keeper);
        keeper = nullptr;
    }
    if (stopKeeping) {
        CloseHandle(stopKeeping);
        stopKeeping = nullptr;
    }
}

DWORD WINAPI Rescue::keepGuardianRunning(void* parameter) {
    auto* self = static_cast<Rescue*>(parameter);
    for (;;) {
        HANDLE guardian = startGuardian();
        if (!guardian) {
            if (WaitForSingleObject(self->stopKeeping, GuardianRetry) == WAIT_OBJECT_0)
                return 0;
            continue;
        }
        const HANDLE waits[] = {self->stopKeeping, guardian};
        const DWORD ended = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        CloseHandle(guardian);
        if (ended != WAIT_OBJECT_0 + 1)
            return 0;
        // The guardian was ended (from the task manager, say): the marks on
        // the windows tell the next one everything it needs.
    }
}

STARTUPINFOW guardianStartupInfo() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
    return startup;
}

DWORD guardedProcess(const wchar_t* commandLine) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv)
        return 0;
    DWORD processId = 0;
    if (argc == 3 && lstrcmpW(argv[1], names::GuardianSwitch) == 0)
        processId = wcstoul(argv[2], nullptr, 10);
    LocalFree(argv);
    return processId;
}

int runGuardian(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return 2;
    if (!prepareMarks())
        return 3;
    WaitForSingleObject(process, INFINITE);
    restoreMarkedWindows(GuardianWindowWait);
    return 0;
}
