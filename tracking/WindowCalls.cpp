#include "tracking/WindowCalls.h"
#include "app/Scoped.h"

namespace {

bool (*reachProbeForTests)(HWND) = nullptr;

// The integrity level of a process token: the last sub-authority of its
// mandatory label; 0 when it cannot be read.
DWORD integrityLevel(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return 0;
    ScopedHandle ownedToken(token);
    BYTE buffer[128];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size))
        return 0;
    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    return count ? *GetSidSubAuthority(sid, count - 1U) : 0;
}

// Shared by the caller and the helper thread; the last one to let go frees it.
struct Job {
    std::function<void()> call;
    LONG holders = 2;
};

void release(Job* job) {
    if (InterlockedDecrement(&job->holders) == 0)
        delete job;
}

DWORD WINAPI runJob(void* parameter) {
    auto* job = static_cast<Job*>(parameter);
    job->call();
    release(job);
    return 0;
}

} // namespace

WINDOWPLACEMENT readPlacement(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    GetWindowPlacement(window, &placement);
    return placement;
}

bool ownedByThisThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

void showWindowNoWait(HWND window, int command) {
    if (ownedByThisThread(window))
        ShowWindow(window, command);
    else
        ShowWindowAsync(window, command);
}

bool callWindow(HWND window, DWORD limitMs, std::function<void()> call) {
    if (ownedByThisThread(window)) {
        call();
        return true;
    }
    auto* job = new Job{std::move(call)};
    ScopedHandle thread(CreateThread(nullptr, 0, runJob, job, 0, nullptr));
    if (!thread) {
        delete job; // nothing ran: the change is dropped rather than risk a hang
        return false;
    }
    const bool finished = waitHandlingSentMessages(thread.get(), limitMs) == WAIT_OBJECT_0;
    release(job);
    return finished;
}

bool beyondReach(HWND window) {
    if (reachProbeForTests)
        return reachProbeForTests(window);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId())
        return false;
    static const DWORD ownLevel = integrityLevel(GetCurrentProcess());
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    // A level that cannot be read is no reason to refuse.
    return process && ownLevel && integrityLevel(process.get()) > ownLevel;
}

void setReachProbeForTests(bool (*probe)(HWND window)) {
    reachProbeForTests = probe;
}
