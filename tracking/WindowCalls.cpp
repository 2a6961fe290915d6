#include "tracking/WindowCalls.h"
#include "app/Scoped.h"

namespace {

bool (*reachProbeForTests)(HWND) = nullptr;

// The integrity level of a process token: the last sub-authority of its
// mandatory label; 0 when it cannot be read.
DWORD integrityLevel(HANDLE token) {
    BYTE buffer[128];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size))
        return 0;
    PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    return count ? *GetSidSubAuthority(sid, count - 1U) : 0;
}

ProcessRank rankOf(HANDLE process) {
    ProcessRank rank{process != nullptr, false, 0};
    HANDLE token = nullptr;
    if (process && OpenProcessToken(process, TOKEN_QUERY, &token)) {
        ScopedHandle ownedToken(token);
        rank.tokenOpened = true;
        rank.level = integrityLevel(token);
    }
    return rank;
}

// The windows with a call still pending, one slot each; only a caller that
// has taken a slot starts a helper, and the helper frees it when its call
// has landed.
struct PendingCalls {
    CRITICAL_SECTION lock;
    HWND windows[MaxPendingWindowCalls] = {};
    PendingCalls() { InitializeCriticalSection(&lock); }
};

PendingCalls& pendingCalls() {
    static PendingCalls calls;
    return calls;
}

class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CRITICAL_SECTION& section) : held(section) { EnterCriticalSection(&held); }
    ~CriticalSectionLock() { LeaveCriticalSection(&held); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

  private:
    CRITICAL_SECTION& held;
};

constexpr size_t NoSlot = MaxPendingWindowCalls;

// The slot a call on `window` may take, or NoSlot; the caller holds the lock.
size_t freeSlotFor(const PendingCalls& calls, HWND window) {
    size_t free = NoSlot;
    for (size_t i = 0; i < MaxPendingWindowCalls; ++i) {
        if (calls.windows[i] == window)
            return NoSlot;
        if (!calls.windows[i] && free == NoSlot)
            free = i;
    }
    return free;
}

void freeSlot(size_t slot) {
    PendingCalls& calls = pendingCalls();
    CriticalSectionLock lock(calls.lock);
    calls.windows[slot] = nullptr;
}

// Shared by the caller and the helper thread; the last one to let go frees it.
struct Job {
    std::function<void()> call;
    size_t slot;
    LONG holders = 2;
};

void release(Job* job) {
    if (InterlockedDecrement(&job->holders) == 0)
        delete job;
}

DWORD WINAPI runJob(void* parameter) {
    auto* job = static_cast<Job*>(parameter);
    job->call();
    freeSlot(job->slot);
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

bool windowCallAccepted(HWND window) {
    if (ownedByThisThread(window))
        return true;
    PendingCalls& calls = pendingCalls();
    CriticalSectionLock lock(calls.lock);
    return freeSlotFor(calls, window) != NoSlot;
}

WindowCall callWindow(HWND window, DWORD limitMs, std::function<void()> call) {
    if (ownedByThisThread(window)) {
        call();
        return WindowCall::Done;
    }
    size_t slot = NoSlot;
    {
        PendingCalls& calls = pendingCalls();
        CriticalSectionLock lock(calls.lock);
        slot = freeSlotFor(calls, window);
        if (slot == NoSlot)
            return WindowCall::Refused;
        calls.windows[slot] = window;
    }
    auto* job = new Job{std::move(call), slot};
    ScopedHandle thread(
        CreateThread(nullptr, WindowCallStack, runJob, job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        // Nothing ran: the change is dropped rather than risk a hang.
        freeSlot(slot);
        delete job;
        return WindowCall::Refused;
    }
    const bool finished = waitHandlingSentMessages(thread.get(), limitMs) == WAIT_OBJECT_0;
    release(job);
    return finished ? WindowCall::Done : WindowCall::Pending;
}

size_t pendingWindowCalls() {
    PendingCalls& calls = pendingCalls();
    CriticalSectionLock lock(calls.lock);
    size_t count = 0;
    for (HWND window : calls.windows)
        count += window != nullptr;
    return count;
}

bool outranks(const ProcessRank& other, DWORD ownLevel) {
    if (!other.processOpened)
        return false;
    if (!other.tokenOpened)
        return true;
    return ownLevel && other.level > ownLevel;
}

bool beyondReach(HWND window) {
    if (reachProbeForTests)
        return reachProbeForTests(window);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId())
        return false;
    static const DWORD ownLevel = rankOf(GetCurrentProcess()).level;
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    return outranks(rankOf(process.get()), ownLevel);
}

void setReachProbeForTests(bool (*probe)(HWND window)) {
    reachProbeForTests = probe;
}
