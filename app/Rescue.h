#pragma once
#include <windows.h>

// What brings hidden windows back when this process ends without its
// teardown. The windows themselves carry the marks that say what to do
// (tracking/WindowMarks.h); here are the ones who read them: a crash handler
// in this process, and a guardian process that outlives it.
class Rescue {
  public:
    Rescue() = default;
    ~Rescue();
    Rescue(const Rescue&) = delete;
    Rescue& operator=(const Rescue&) = delete;

    // Registers the marks and installs the crash handler. Failures leave the
    // program as it is.
    void start();
    // Keeps a guardian running from now on: starts it, and starts another
    // at once whenever it ends while this process runs. The guardian is the
    // running executable in its guardian role, so only the program's entry
    // function calls this.
    void keepGuardian();
    // Starts no more guardians; the one running stays to see this process end.
    void stopGuardian();

  private:
    static DWORD WINAPI keepGuardianRunning(void* self);
    HANDLE stopKeeping = nullptr;
    HANDLE keeper = nullptr; // the thread that restarts the guardian
};

// How the guardian is started: in the background, with no busy cursor for
// the user to wait on, since it never shows a window.
STARTUPINFOW guardianStartupInfo();

// The guardian role: the process id to watch when the command line is the
// one the guardian is started with, else 0.
DWORD guardedProcess(const wchar_t* commandLine);

// Waits for the process and then puts right every window still marked (a
// crash, or being killed, left them so). Returns the exit code.
int runGuardian(DWORD processId);
