// mossgate's guardian: waits for the mossgate process whose id it is given
// and, if that process ends without having shown its hidden windows again
// (a crash, or being killed), shows them. It only ever shows windows.
#include "app/RescueState.h"

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const DWORD processId = wcstoul(commandLine, nullptr, 10);
    if (!processId)
        return 1;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, RescueSectionName(processId).text);
    if (!process)
        return 2;
    if (!section)
        return 3;
    const auto* state =
        static_cast<const RescueState*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, sizeof(RescueState)));
    if (!state)
        return 1;
    WaitForSingleObject(process, INFINITE);
    showRescuedWindows(*state);
    return 0;
}
