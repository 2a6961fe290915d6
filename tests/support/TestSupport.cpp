#include "support/TestSupport.h"
#include "app/Names.h"
#include "app/Scoped.h"
#include "tracking/WindowCalls.h"

#include <cstdio>
#include <tlhelp32.h>
#include <map>

namespace {

constexpr wchar_t DefaultClass[] = L"mossgate_test_window";
std::map<HWND, HICON> iconAnswers;
std::map<std::pair<HWND, UINT>, std::function<void()>> messageHooks;

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto hook = messageHooks.find({window, message});
    if (hook != messageHooks.end()) {
        auto action = hook->second; // the action may replace its own hook
        action();
    }
    if (message == WM_GETICON && wParam == ICON_SMALL) {
        auto it = iconAnswers.find(window);
        return it == iconAnswers.end() ? 0 : reinterpret_cast<LRESULT>(it->second);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

void pumpMessages(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs)
            return condition();
        pumpMessages(10);
    }
    return true;
}

bool registerTestClass(const wchar_t* name, HICON smallIcon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = testWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = name;
    windowClass.hIconSm = smallIcon;
    return RegisterClassExW(&windowClass) != 0;
}

TestWindow::TestWindow(const WindowSpec& spec) {
    static const bool registered = registerTestClass(DefaultClass);
    (void)registered;
    const RECT& f = spec.frame;
    hwnd = CreateWindowExW(spec.exStyle, spec.className ? spec.className : DefaultClass, spec.caption.c_str(),
                           spec.style, f.left, f.top, f.right - f.left, f.bottom - f.top, spec.owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    destroy();
}

void TestWindow::destroy() {
    if (hwnd) {
        iconAnswers.erase(hwnd);
        for (auto it = messageHooks.begin(); it != messageHooks.end();)
            it = it->first.first == hwnd ? messageHooks.erase(it) : std::next(it);
        DestroyWindow(hwnd);
        hwnd = nullptr;
    }
}

void TestWindow::answerIcon(HICON icon) {
    iconAnswers[hwnd] = icon;
}

void TestWindow::onMessage(UINT message, std::function<void()> action) {
    messageHooks[{hwnd, message}] = std::move(action);
}

namespace {
constexpr wchar_t ThreadWindowClass[] = L"mossgate_test_thread_window";
constexpr UINT CloseThreadWindow = WM_APP + 7;
} // namespace

ThreadWindow::ThreadWindow(const std::wstring& text) : caption(text) {
    created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    thread = CreateThread(nullptr, 0, run, this, 0, nullptr);
    WaitForSingleObject(created, 10000);
}

ThreadWindow::~ThreadWindow() {
    SetEvent(release);
    PostMessageW(hwnd, CloseThreadWindow, 0, 0);
    waitFor([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000);
    for (HANDLE h : {thread, created, release})
        CloseHandle(h);
}

void ThreadWindow::holdIconAnswers(bool hold) {
    if (hold)
        ResetEvent(release);
    else
        SetEvent(release);
}

DWORD WINAPI ThreadWindow::run(void* parameter) {
    auto* self = static_cast<ThreadWindow*>(parameter);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = ThreadWindowClass;
    RegisterClassExW(&windowClass); // fails harmlessly once it exists
    self->hwnd =
        CreateWindowExW(0, ThreadWindowClass, self->caption.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200,
                        200, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(self->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    SetEvent(self->created);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == CloseThreadWindow) {
            DestroyWindow(self->hwnd);
            break;
        }
        DispatchMessageW(&message);
    }
    return 0;
}

LRESULT CALLBACK ThreadWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ThreadWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_GETICON && wParam == ICON_SMALL) {
        ++self->requests;
        ++self->inHandler;
        // Busy with this request; other sent messages (a caption read, which
        // for another process's window sends nothing) are still answered.
        waitHandlingSentMessages(self->release);
        --self->inHandler;
        return reinterpret_cast<LRESULT>(self->answer.load());
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

AppUnderTest::AppUnderTest() {
    app.emplace(GetModuleHandleW(nullptr));
}

AppUnderTest::~AppUnderTest() {
    shutDown();
}

bool AppUnderTest::start() {
    return app->start();
}

void AppUnderTest::shutDown() {
    if (app && app->mainWindow)
        app->removeTrayIcon();
    tearDown();
}

void AppUnderTest::tearDown() {
    if (!app)
        return;
    HWND window = app->mainWindow;
    HANDLE scanMutex = app->scanMutex;
    HANDLE scanMutexName = app->scanMutexName;
    app.reset();
    if (window) {
        RemovePropW(window, names::AppProperty);
        DestroyWindow(window);
    }
    // The program keeps its mutex for its whole life; a test that squats on
    // the name needs it gone.
    for (HANDLE mutex : {scanMutex, scanMutexName})
        if (mutex)
            CloseHandle(mutex);
    UnregisterClassW(names::WindowClass, GetModuleHandleW(nullptr));
    // Drop the quit message or timers the app may have left behind.
    pumpMessages(0);
}

BareApp::BareApp() : app(GetModuleHandleW(nullptr)) {
    app.loadIcons(nullptr);
    app.mainWindow = CreateWindowExW(0, L"STATIC", L"bare mossgate", 0, 0, 0, 24, 24, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    app.scanMutex = CreateMutexW(nullptr, FALSE, nullptr);
}

BareApp::~BareApp() {
    HWND window = app.mainWindow;
    app.quitting = true; // a bare app has no tray icon to put back
    app.restoreHiddenWindows();
    app.menuWindows.clear();
    CloseHandle(app.scanMutex);
    app.scanMutex = nullptr;
    DestroyWindow(window);
}

HANDLE launch(const std::wstring& command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring line = command;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

void endProcess(HANDLE process) {
    if (!process)
        return;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

namespace {
const wchar_t* awaitedClass = nullptr;
std::function<void(HWND)> awaitedAction;
UINT_PTR awaitTimer = 0;

void CALLBACK pollForOwnWindow(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = awaitedAction ? findOwnWindow(awaitedClass, nullptr) : nullptr;
    if (!window)
        return;
    KillTimer(nullptr, awaitTimer);
    awaitTimer = 0;
    auto act = std::move(awaitedAction);
    awaitedAction = nullptr;
    act(window);
}
} // namespace

void onceOwnWindowOpens(const wchar_t* className, std::function<void(HWND)> act) {
    // One wait at a time: a window that never opened leaves no poll behind.
    if (awaitTimer)
        KillTimer(nullptr, awaitTimer);
    awaitedClass = className;
    awaitedAction = std::move(act);
    awaitTimer = SetTimer(nullptr, 0, 50, pollForOwnWindow);
}

DrawnItem::DrawnItem(TrayApp& app, ULONG_PTR itemData, int width, int height, UINT state, UINT action) {
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    previous = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.itemData = itemData;
    item.itemState = state;
    item.itemAction = action;
    item.hDC = dc;
    item.rcItem = {0, 0, width, height};
    app.onDrawItem(&item);
}

DrawnItem::~DrawnItem() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

HANDLE launchProgram(const wchar_t* folder) {
    std::wstring path = testFolder() + L"..\\mossgate.exe";
    if (folder) {
        const std::wstring copy = testFolder() + folder;
        CreateDirectoryW(copy.c_str(), nullptr);
        CopyFileW(path.c_str(), (copy + L"\\mossgate.exe").c_str(), FALSE);
        path = copy + L"\\mossgate.exe";
    }
    return launch(L"\"" + path + L"\"");
}

HostAndProgram::HostAndProgram(int count, const wchar_t* flags, const wchar_t* programFolder) {
    // The previous test's program must be gone: one instance at a time.
    waitFor([] { return FindWindowW(names::WindowClass, nullptr) == nullptr; }, 10000);
    host = launch(L"\"" + testFolder() + L"window_host.exe\" " + std::to_wstring(count) + L" " + flags);
    // The previous test's host windows may linger a moment after their
    // process has gone, so only this host's windows count.
    windows.resize(static_cast<size_t>(count));
    const bool hostUp = waitFor(
        [&] {
            for (int n = 0; n < count; ++n)
                if (!(windows[n] = findWindowOf(host, (L"host window " + std::to_wstring(n)).c_str())))
                    return false;
            return true;
        },
        20000);
    program = launchProgram(programFolder);
    corner = waitForCorner();
    // Say which part did not come up, for the test that finds it not ready.
    if (!hostUp)
        std::fprintf(stderr, "window_host %s, its windows not all found\n",
                     host && WaitForSingleObject(host, 0) == WAIT_TIMEOUT ? "running" : "not running");
    if (!program || !corner)
        std::fprintf(stderr, "mossgate.exe %s, corner window %s\n", program ? "started" : "not started",
                     corner ? "found" : "not found");
}

HostAndProgram::~HostAndProgram() {
    endProcess(program);
    endProcess(host);
}

bool HostAndProgram::ready() const {
    for (HWND window : windows)
        if (!window)
            return false;
    return host && program && corner;
}

bool HostAndProgram::allVisible() const {
    for (HWND window : windows)
        if (!IsWindowVisible(window))
            return false;
    return true;
}

bool HostAndProgram::allHidden() const {
    for (HWND window : windows)
        if (IsWindowVisible(window))
            return false;
    return true;
}

DWORD HostAndProgram::programExit(DWORD timeoutMs) {
    const DWORD code = waitExit(program, timeoutMs);
    if (code != STILL_ACTIVE) {
        CloseHandle(program);
        program = nullptr;
    }
    return code;
}

OtherProgramWindow::OtherProgramWindow(const wchar_t* flags) {
    host = launch(L"\"" + testFolder() + L"window_host.exe\" 1 " + flags);
    if (host)
        waitFor([&] { return (window = findWindowOf(host, L"host window 0")) != nullptr; }, 20000);
}

OtherProgramWindow::~OtherProgramWindow() {
    endProcess(host);
}

HWND waitForCorner() {
    HWND corner = nullptr;
    waitFor([&] { return (corner = FindWindowW(names::WindowClass, nullptr)) != nullptr; }, 30000);
    return corner;
}

HWND openMenuOf(DWORD processId) {
    HWND popup = nullptr;
    while ((popup = FindWindowExW(nullptr, popup, L"#32768", nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(popup, &owner);
        if (owner == processId && IsWindowVisible(popup))
            return popup;
    }
    return nullptr;
}

HWND openDialogOf(DWORD processId) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        if (owner == processId && IsWindowVisible(dialog))
            return dialog;
    }
    return nullptr;
}

void endEveryProcessNamed(const wchar_t* exeName) {
    std::vector<HANDLE> processes;
    ScopedSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (lstrcmpiW(entry.szExeFile, exeName) == 0)
            if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID))
                processes.push_back(process);
    for (HANDLE process : processes)
        TerminateProcess(process, 1);
    for (HANDLE process : processes) {
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
}

DWORD guardianOf(DWORD programId) {
    ScopedSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == programId && lstrcmpiW(entry.szExeFile, L"mossgate.exe") == 0)
            return entry.th32ProcessID;
    return 0;
}

int threadCount(DWORD processId) {
    ScopedSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry))
        count += entry.th32OwnerProcessID == processId;
    return count;
}

int alphaOf(HWND window) {
    if (!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED))
        return NotLayered;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return 255;
    return alpha;
}

bool openAndCloseMenu(HWND corner) {
    DWORD processId = 0;
    GetWindowThreadProcessId(corner, &processId);
    PostMessageW(corner, TrayCallbackMessage, TrayIconId, WM_RBUTTONUP);
    HWND popup = nullptr;
    if (!waitFor([&] { return (popup = openMenuOf(processId)) != nullptr; }, 10000))
        return false;
    PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    return waitFor([&] { return !IsWindowVisible(popup); }, 10000);
}

DWORD waitExit(HANDLE process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    waitFor([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, timeoutMs);
    GetExitCodeProcess(process, &code);
    return code;
}

std::wstring testFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

bool iconAlive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return false;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

namespace {

// A top-level window of one process, by class (any when null), caption (any
// when null) and, when asked, visibility.
struct Search {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != s->processId || (s->visibleOnly && !IsWindowVisible(window)))
        return TRUE;
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    if (s->className && lstrcmpW(name, s->className) != 0)
        return TRUE;
    if (s->caption && windowText(window) != s->caption)
        return TRUE;
    s->found = window;
    return FALSE;
}

HWND findWindow(Search search) {
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DWORD WINAPI probeLock(void* mutex) {
    const DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), 2000);
    if (result == WAIT_OBJECT_0)
        ReleaseMutex(static_cast<HANDLE>(mutex));
    return result;
}

} // namespace

HWND findOwnWindow(const wchar_t* className, const wchar_t* caption) {
    return findWindow({GetCurrentProcessId(), className, caption, true, nullptr});
}

WindowEntry* entryFor(const std::list<WindowEntry*>& list, HWND window) {
    for (WindowEntry* entry : list)
        if (entry->getHandle() == window)
            return entry;
    return nullptr;
}

bool isListed(const std::list<WindowEntry*>& list, HWND window) {
    return entryFor(list, window) != nullptr;
}

bool waitUntilListed(TrayApp& app, HWND window) {
    return waitFor([&] {
        MutexLock lock(app.scanMutex);
        return isListed(app.visibleWindows, window);
    });
}

bool lockIsFree(HANDLE mutex) {
    HANDLE probe = CreateThread(nullptr, 0, probeLock, mutex, 0, nullptr);
    waitFor([&] { return WaitForSingleObject(probe, 0) == WAIT_OBJECT_0; }, 5000);
    DWORD result = 1;
    GetExitCodeThread(probe, &result);
    CloseHandle(probe);
    return result == WAIT_OBJECT_0;
}

HWND findWindowOf(HANDLE process, const wchar_t* caption) {
    return findWindow({GetProcessId(process), nullptr, caption, false, nullptr});
}

bool trayIconPresent(HWND corner) {
    // The shell accepts a change only for an icon it has: (window, id) names it.
    NOTIFYICONDATAW probe{};
    probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
    probe.hWnd = corner;
    probe.uID = TrayIconId;
    probe.uFlags = NIF_TIP;
    lstrcpyW(probe.szTip, L"mossgate");
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

WindowEntry* hideTracked(TrayApp& app, HWND window) {
    WindowEntry* entry = entryFor(app.visibleWindows, window);
    if (!entry || !entry->toggleHidden())
        return nullptr;
    app.visibleWindows.remove(entry);
    app.hiddenWindows.push_back(entry);
    return entry;
}

ElevatedWindows::ElevatedWindows() {
    setReachProbeForTests([](HWND window) { return GetPropW(window, ElevatedProperty) != nullptr; });
}

ElevatedWindows::~ElevatedWindows() {
    setReachProbeForTests(nullptr);
}
