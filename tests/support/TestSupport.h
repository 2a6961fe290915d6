#pragma once
#include <windows.h>

#include <atomic>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TrayApp.h"

// Pumps this thread's messages for `ms` milliseconds.
void pumpMessages(DWORD ms);

// Pumps messages until `condition` holds or `timeoutMs` passes; returns the
// condition's last value.
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

struct WindowSpec {
    std::wstring caption = L"test window";
    DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    DWORD exStyle = 0;
    HWND owner = nullptr;
    const wchar_t* className = nullptr; // the default test class
    RECT frame{100, 100, 400, 300};
};

// A real top-level window of this process, destroyed at scope end.
class TestWindow {
  public:
    explicit TestWindow(const WindowSpec& spec = {});
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND get() const { return hwnd; }
    void destroy();

    // Makes the window answer WM_GETICON with `icon`.
    void answerIcon(HICON icon);
    // Runs `action` whenever the window receives `message`, before the
    // default handling; this is how a test re-enters the program from inside
    // a call the program makes on the window.
    void onMessage(UINT message, std::function<void()> action);

  private:
    HWND hwnd = nullptr;
};

// A top-level window owned by a thread of its own, which answers WM_GETICON
// as it is told and counts the requests. Wine passes WM_GETICON between
// threads as Windows does between processes, so this stands for another
// program's window where that matters.
class ThreadWindow {
  public:
    explicit ThreadWindow(const std::wstring& caption);
    ~ThreadWindow();
    ThreadWindow(const ThreadWindow&) = delete;
    ThreadWindow& operator=(const ThreadWindow&) = delete;
    HWND get() const { return hwnd; }
    void answerIcon(HICON icon) { answer = icon; }
    // While held, the window's thread stays inside its WM_GETICON handling,
    // as a busy program's does.
    void holdIconAnswers(bool hold);
    LONG iconRequests() const { return requests; }
    bool answering() const { return inHandler == 0; }

  private:
    static DWORD WINAPI run(void* self);
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::wstring caption;
    HANDLE thread = nullptr;
    HANDLE created = nullptr;
    HANDLE release = nullptr;
    HWND hwnd = nullptr;
    std::atomic<HICON> answer{nullptr};
    std::atomic<LONG> requests{0};
    std::atomic<LONG> inHandler{0};
};

// Registers a window class of the given name with the test procedure and an
// optional small class icon. Returns false when it already exists.
bool registerTestClass(const wchar_t* name, HICON smallIcon = nullptr);

// The application started as the program starts it, and taken down again
// (window destroyed, class unregistered) so the next test can start anew.
class AppUnderTest {
  public:
    AppUnderTest();
    ~AppUnderTest();
    bool start();
    // Takes the tray icon down, then tears down as tearDown does.
    void shutDown();
    // The program's own teardown, then what a test needs gone before the
    // next one starts (window, class, scan mutex).
    void tearDown();
    TrayApp& operator*() { return *app; }
    TrayApp* operator->() { return &*app; }

  private:
    std::optional<TrayApp> app;
};

// A TrayApp with just its corner window (no tray icon, plugins, scan or
// watcher) and its scan mutex, for driving the parts one at a time.
class BareApp {
  public:
    BareApp();
    ~BareApp();
    TrayApp& operator*() { return app; }
    TrayApp* operator->() { return &app; }

  private:
    TrayApp app;
};

// Runs `command` as a child process and returns its handle.
HANDLE launch(const std::wstring& command);
// Ends a child process, waits for it and closes its handle.
void endProcess(HANDLE process);

// Runs `act` once, from inside the modal loop about to run (a menu's or a
// dialog's), as soon as a visible window of this process of the class
// `className` is up: "#32768" for a menu, "#32770" for a dialog.
void onceOwnWindowOpens(const wchar_t* className, std::function<void(HWND)> act);

// An owner-drawn item of the tray menu drawn by `app` into a bitmap of the
// given size, whose pixels can be read back.
class DrawnItem {
  public:
    DrawnItem(TrayApp& app, ULONG_PTR itemData, int width, int height, UINT state = 0,
              UINT action = ODA_DRAWENTIRE);
    ~DrawnItem();
    DrawnItem(const DrawnItem&) = delete;
    DrawnItem& operator=(const DrawnItem&) = delete;
    COLORREF pixel(int x, int y) const { return GetPixel(dc, x, y); }

  private:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

// Starts mossgate.exe as a user does. With a folder name, from a copy of the
// executable alone in that folder beside the tests.
HANDLE launchProgram(const wchar_t* folder = nullptr);
// The corner window of the running program, once it exists.
HWND waitForCorner();
// Windows of another program (window_host with `count` windows and `flags`)
// and mossgate started beside them, the way a user has them. Both processes
// are ended at scope end unless the test has waited for one and cleared it.
struct HostAndProgram {
    HostAndProgram(int count, const wchar_t* flags = L"", const wchar_t* programFolder = nullptr);
    ~HostAndProgram();
    HostAndProgram(const HostAndProgram&) = delete;
    HostAndProgram& operator=(const HostAndProgram&) = delete;
    bool ready() const;
    bool allVisible() const;
    bool allHidden() const;
    // Waits for the program to end and returns its exit code.
    DWORD programExit(DWORD timeoutMs = 20000);

    HANDLE host = nullptr;
    HANDLE program = nullptr;
    HWND corner = nullptr;
    std::vector<HWND> windows; // "host window 0" first
};

// The first window of another program (window_host with one window and
// `flags`); the program is ended at scope end. `window` is null when it did
// not come up.
struct OtherProgramWindow {
    explicit OtherProgramWindow(const wchar_t* flags = L"");
    ~OtherProgramWindow();
    OtherProgramWindow(const OtherProgramWindow&) = delete;
    OtherProgramWindow& operator=(const OtherProgramWindow&) = delete;
    HANDLE host = nullptr;
    HWND window = nullptr;
};

// Opens the program's tray menu (which gives the listed windows their
// command ids) and closes it again without a choice.
bool openAndCloseMenu(HWND corner);
// The visible popup menu of a process, if one is open.
HWND openMenuOf(DWORD processId);
// Posted with wParam milliseconds to a window of window_host started with
// the t flag: the window's thread stops answering for that long.
inline constexpr UINT HangMessage = WM_APP + 1;
// Posted with wParam milliseconds to such a window: its thread stops
// answering that long, then hides the window, waits, shows it, waits, and
// only then answers again.
inline constexpr UINT FlickerMessage = WM_APP + 2;
DWORD waitExit(HANDLE process, DWORD timeoutMs = 20000);

// The visible dialog of a process, if one is open.
HWND openDialogOf(DWORD processId);
// Ends every process of this name at once, as "taskkill /f /im" does.
void endEveryProcessNamed(const wchar_t* exeName);
// The guardian of a running mossgate: its child process of the same name;
// 0 when there is none.
DWORD guardianOf(DWORD programId);
// The number of threads a process runs.
int threadCount(DWORD processId);

// A window's opacity: its layered alpha, or NotLayered for an ordinary window.
inline constexpr int NotLayered = 256;
int alphaOf(HWND window);

// The folder of the running test executable, with a trailing backslash.
std::wstring testFolder();

// The folder of the stand-in system libraries (test_standins only).
std::wstring standinFolder();

// Finds a visible top-level window of this process whose caption is `caption`
// and whose class is `className` (any when null).
HWND findOwnWindow(const wchar_t* className, const wchar_t* caption);

std::wstring windowText(HWND window);

// Whether an icon handle still stands for an icon (destroyed ones do not).
bool iconAlive(HICON icon);

// Whether the shell holds mossgate's tray icon for this corner window.
bool trayIconPresent(HWND corner);

// The top-level window of `process` captioned `caption`. A window of a host
// that has just ended can linger a moment, so tests look for their own host's.
HWND findWindowOf(HANDLE process, const wchar_t* caption);

// True when another thread can take `mutex` (this thread's own hold on a
// Win32 mutex would not show). Pumps meanwhile: the watcher may be reading
// this thread's window captions.
bool lockIsFree(HANDLE mutex);

// Hides a tracked visible window the way the hide command does, moving its
// entry to hiddenWindows; returns the entry, or null when it is not tracked.
WindowEntry* hideTracked(TrayApp& app, HWND window);

bool isListed(const std::list<WindowEntry*>& list, HWND window);
// Waits for the running app's watcher to list `window` as visible.
bool waitUntilListed(TrayApp& app, HWND window);
WindowEntry* entryFor(const std::list<WindowEntry*>& list, HWND window);

// Makes the windows that carry the property ElevatedProperty count as
// windows of a program running as administrator, for the life of the object.
inline constexpr wchar_t ElevatedProperty[] = L"mossgate_test_elevated";
struct ElevatedWindows {
    ElevatedWindows();
    ~ElevatedWindows();
};
