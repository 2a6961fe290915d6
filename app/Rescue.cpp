#include "app/Rescue.h"
#include "app/RescueState.h"
#include "tracking/WindowEntry.h"

namespace {

constexpr wchar_t GuardianFile[] = L"mossgate_guard.exe";

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

    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring guardian = path;
    guardian = guardian.substr(0, guardian.rfind(L'\\') + 1) + GuardianFile;
    std::wstring command = L"\"" + guardian + L"\" " + std::to_wstring(processId);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // Without a guardian the program runs as before; the crash handler stays.
    if (CreateProcessW(guardian.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
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
