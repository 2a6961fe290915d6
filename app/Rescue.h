#pragma once
#include <windows.h>

#include <list>

class WindowEntry;

// Keeps the guardian informed of the windows this program has hidden, so
// they come back even when the process dies without its teardown.
class Rescue {
  public:
    Rescue() = default;
    ~Rescue();
    Rescue(const Rescue&) = delete;
    Rescue& operator=(const Rescue&) = delete;

    // Creates the shared section and installs the crash handler. Failures
    // leave the program as it is.
    void start();
    // Starts the guardian: the running executable in its guardian role, so
    // only the program's entry function calls it.
    void startGuardian();
    // Records the hidden set, plus `more` when given; the caller holds the
    // scan mutex. Windows are announced before they are hidden: listing one
    // that is still visible does no harm, as the guardian skips those.
    void publish(const std::list<WindowEntry*>& hiddenWindows, const std::list<WindowEntry*>* more = nullptr);
    // The program has shown its windows itself: the guardian leaves them be.
    void markCleanExit();

  private:
    HANDLE section = nullptr;
    struct RescueState* state = nullptr;
};

// The guardian role: the process id to watch when the command line is the
// one Rescue::start gives the guardian, else 0.
DWORD guardedProcess(const wchar_t* commandLine);

// Waits for the process and, if it ended without showing its hidden windows
// again (a crash, or being killed), shows them. Returns the exit code.
int runGuardian(DWORD processId);
