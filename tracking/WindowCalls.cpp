#include "tracking/WindowCalls.h"
#include "app/Scoped.h"

namespace {

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
