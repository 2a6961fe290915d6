#include "app/Rescue.h"
#include "app/RescueState.h"
#include "app/Names.h"
#include "tracking/WindowEntry.h"

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

const RescueState* crashState = nullptr;

LONG WINAPI rescueOnCrash(EXCEPTION_POINTERS*) {
    // Only system calls on the shared record: the heap and the lists may be
    // what broke.
    if (crashState)
        showRescuedWindows(*crashState);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

Rescue::~Rescue() {
    if (state)
        UnmapViewOfFile(state);
    if (section)
        CloseHandle(section);
    if (crashState == state)
        crashState = nullptr;
}

void Rescue::start() {
    const DWORD processId = GetCurrentProcessId();
    section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(RescueState),
                                 RescueSectionName(processId).text);
    if (!section)
        return;
    state = static_cast<RescueState*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, sizeof(RescueState)));
    if (!state)
        return;
    state->count = 0;
    state->cleanExit = 0;
    state->magic = RescueMagic;
    crashState = state;
    SetUnhandledExceptionFilter(rescueOnCrash);
}

void Rescue::startGuardian() {
    if (!state)
        return;
    // The guardian is this same executable, so a copy of mossgate.exe alone
    // carries the guarantee.
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, path, MAX_PATH))
        return;
    wchar_t processId[16];
    wsprintfW(processId, L"%lu", GetCurrentProcessId());
    std::wstring command = L"\"" + std::wstring(path) + L"\" " + names::GuardianSwitch + L" " + processId;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Without a guardian the program runs as before; the crash handler stays.
    if (CreateProcessW(path, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
}

void Rescue::publish(const std::list<WindowEntry*>& hiddenWindows, const std::list<WindowEntry*>* more) {
    if (!state)
        return;
    LONG count = 0;
    for (const std::list<WindowEntry*>* list : {&hiddenWindows, more}) {
        if (!list)
            continue;
        for (const WindowEntry* entry : *list) {
            if (static_cast<DWORD>(count) == RescueCapacity)
                break;
            state->windows[count].handle = reinterpret_cast<ULONG_PTR>(entry->getHandle());
            state->windows[count].showCmd = entry->getSavedShowCmd();
            ++count;
        }
    }
    InterlockedExchange(&state->count, count);
}

void Rescue::markCleanExit() {
    if (state)
        InterlockedExchange(&state->cleanExit, 1);
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
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, RescueSectionName(processId).text);
    if (!section)
        return 3;
    const auto* watched =
        static_cast<const RescueState*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof(RescueState)));
    if (!watched)
        return 1;
    WaitForSingleObject(process, INFINITE);
    showRescuedWindows(*watched);
    return 0;
}
