#include "app/TrayApp.h"
#include "app/Names.h"
#include "app/OsVersion.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "app/Texts.h"
#include "tracking/ScreenEdges.h"
#include "tracking/WindowCalls.h"
#include "tracking/WindowMarks.h"
#include "tray/MenuLook.h"

namespace {

// Registered before the entry function runs, as the shell expects any tray
// program to know the number when it restarts.
const UINT taskbarCreated = RegisterWindowMessageW(names::TaskbarCreated);
constexpr DWORD AllowMessage = 1; // MSGFLT_ALLOW, Windows 7 on

HICON loadIconAt(HINSTANCE module, const wchar_t* name, int size, UINT flags) {
    return static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, size, size, flags));
}

} // namespace

UINT taskbarCreatedMessage() {
    return taskbarCreated;
}

TrayApp::TrayApp(HINSTANCE moduleInstance) : instance(moduleInstance) {
    ZeroMemory(&trayData, sizeof(trayData));
    infoIcon = loadIconAt(nullptr, IDI_INFORMATION, 16, LR_SHARED);
    errorIcon = loadIconAt(nullptr, IDI_ERROR, 16, LR_SHARED);
    tipText = texts::ProductName;
    themeActive = queryThemeActive();
    acceptIconAnswers(true);

    OSVERSIONINFOW version;
    if (readOsVersion(version))
        alphaBlendSupported = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

bool TrayApp::start() {
    rescue.start();
    // Windows that an earlier mossgate left hidden or invisible (every one
    // of its processes was ended at once) come back before anything else.
    restoreMarkedWindows(WindowCallLimit);
    return loadIcons(nullptr) && createMainWindow();
}

bool TrayApp::loadIcons(const wchar_t* fileName) {
    const wchar_t* file = fileName ? fileName : names::IconFile;
    // Each size falls back to the built-in icon on its own.
    auto load = [&](int size, bool& fromFile) {
        HICON icon = loadIconAt(nullptr, file, size, LR_LOADFROMFILE | LR_SHARED);
        fromFile = icon != nullptr;
        return icon ? icon : loadIconAt(instance, MAKEINTRESOURCEW(IconResource), size, LR_SHARED);
    };
    bool largeFromFile = false, smallFromFile = false;
    largeIcon = load(32, largeFromFile);
    if (!largeIcon)
        return false;
    smallIcon = load(16, smallFromFile);
    // A relative name is resolved now, before the plugin folder becomes the
    // current directory.
    iconFile.clear();
    if (smallFromFile) {
        wchar_t full[MAX_PATH] = {};
        if (GetFullPathNameW(file, MAX_PATH, full, nullptr))
            iconFile = full;
    }
    return smallIcon != nullptr;
}

HICON TrayApp::loadProgramIcon(int size) const {
    if (!iconFile.empty())
        if (HICON icon = loadIconAt(nullptr, iconFile.c_str(), size, LR_LOADFROMFILE))
            return icon;
    return loadIconAt(instance, MAKEINTRESOURCEW(IconResource), size, 0);
}

void TrayApp::loadTrayIcon() {
    HICON fresh = nullptr;
    // LoadIconMetric (common controls 6, which the manifest asks for, so the
    // library comes from the system's side-by-side store) knows the size the
    // shell wants; elsewhere the small-icon metric says it.
    using LoadIconMetricFn = HRESULT(WINAPI*)(HINSTANCE, const wchar_t*, int, HICON*);
    ScopedLibrary comctl32(LoadLibraryW(L"comctl32.dll"));
    auto loadMetric = comctl32 ? findExport<LoadIconMetricFn>(comctl32.get(), "LoadIconMetric") : nullptr;
    if (iconFile.empty() && loadMetric &&
        FAILED(loadMetric(instance, MAKEINTRESOURCEW(IconResource), 0 /* LIM_SMALL */, &fresh)))
        fresh = nullptr;
    if (!fresh)
        fresh = loadProgramIcon(GetSystemMetrics(SM_CXSMICON));
    if (!fresh)
        return;
    if (trayIcon)
        DestroyIcon(trayIcon);
    trayIcon = fresh;
}

bool TrayApp::createMainWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = largeIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = names::WindowClass;
    windowClass.hIconSm = smallIcon;
    if (!RegisterClassExW(&windowClass))
        return false;

    computeWorkArea(workArea);
    cornerSize = MulDiv(CornerSize, static_cast<int>(systemDpi()), 96);
    mainWindow = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, names::WindowClass, nullptr, 0,
                                 workArea.right - cornerSize, workArea.bottom - cornerSize, cornerSize,
                                 cornerSize, nullptr, nullptr, instance, this);
    if (!mainWindow)
        return false;

    // Running as administrator, the program would not hear a shell of lower
    // rank announce its restart, and its icon would not come back.
    using ChangeFilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    if (auto changeFilter =
            findExport<ChangeFilterFn>(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"))
        changeFilter(mainWindow, taskbarCreated, AllowMessage, nullptr);

    loadPlugins();
    loadTrayIcon();
    if (FindWindowW(names::TaskbarClass, nullptr) && !addTrayIcon())
        SetTimer(mainWindow, TrayRetryTimer, TrayRetryInterval, nullptr);
    scanDesktop();
    // What matters is the lock, not its name: another process may hold a
    // mutex of that name, or another object may. The lists then get a lock
    // of their own, and the name is kept open all the same.
    SetLastError(ERROR_SUCCESS);
    scanMutex = CreateMutexW(nullptr, FALSE, names::ScanMutex);
    if (scanMutex && GetLastError() == ERROR_ALREADY_EXISTS)
        scanMutexName = scanMutex;
    if (!scanMutex || scanMutexName)
        scanMutex = CreateMutexW(nullptr, FALSE, nullptr);
    // The watcher never runs without the lock; the lists then keep what the
    // first scan found.
    if (scanMutex)
        watcherThread = CreateThread(nullptr, 0, watcherThreadProc, this, 0, nullptr);
    startPluginTimers();
    ShowWindow(mainWindow, SW_HIDE);
    return true;
}

void TrayApp::computeWorkArea(RECT& r) {
    r = screenLessTaskbar(cutTaskbarReaching);
}

bool TrayApp::queryThemeActive() {
    ScopedLibrary uxtheme(loadSystemLibrary(L"uxtheme.dll"));
    if (!uxtheme)
        return false;
    auto isThemeActive = findExport<BOOL(WINAPI*)()>(uxtheme.get(), "IsThemeActive");
    return isThemeActive && isThemeActive();
}

int runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void TrayApp::stopWatcher() {
    if (!watcherThread)
        return;
    watcherStop = true;
    waitHandlingSentMessages(watcherThread);
}

TrayApp::~TrayApp() {
    acceptIconAnswers(false);
    // The watcher may still be in a pass (a hung window costs it up to half a
    // second), so it must be gone before the lists are freed.
    stopWatcher();
    rescue.stopGuardian();
    unloadPlugins();
    restoreHiddenWindows();
    // What is left marked: windows made fully transparent. No window stays
    // invisible after the program; other transparency stays as it is.
    restoreMarkedWindows(WindowCallLimit);
    for (WindowEntry* entry : visibleWindows)
        destroyEntry(entry);
    visibleWindows.clear();
}
