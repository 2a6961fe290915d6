#include "app/TrayApp.h"
#include "app/Names.h"
#include "app/OsVersion.h"
#include "app/Scoped.h"
#include "app/SystemLibrary.h"
#include "app/Texts.h"
#include "tracking/ScreenEdges.h"

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

    OSVERSIONINFOW version;
    if (readOsVersion(version))
        alphaBlendSupported = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

bool TrayApp::start() {
    if (!loadIcons(nullptr) || !createMainWindow())
        return false;
    rescue.start();
    return true;
}

bool TrayApp::loadIcons(const wchar_t* fileName) {
    const wchar_t* file = fileName ? fileName : names::IconFile;
    // Each size falls back to the built-in icon on its own.
    auto load = [&](int size) {
        HICON icon = loadIconAt(nullptr, file, size, LR_LOADFROMFILE | LR_SHARED);
        return icon ? icon : loadIconAt(instance, MAKEINTRESOURCEW(IconResource), size, LR_SHARED);
    };
    largeIcon = load(32);
    if (!largeIcon)
        return false;
    smallIcon = load(16);
    return smallIcon != nullptr;
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
    mainWindow = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, names::WindowClass, nullptr, 0,
                                 workArea.right - CornerSize, workArea.bottom - CornerSize, CornerSize,
                                 CornerSize, nullptr, nullptr, instance, this);
    if (!mainWindow)
        return false;

    // Running as administrator, the program would not hear a shell of lower
    // rank announce its restart, and its icon would not come back.
    using ChangeFilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    if (auto changeFilter =
            findExport<ChangeFilterFn>(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx"))
        changeFilter(mainWindow, taskbarCreated, AllowMessage, nullptr);

    loadPlugins();
    if (FindWindowW(names::TaskbarClass, nullptr) && !addTrayIcon())
        SetTimer(mainWindow, TrayRetryTimer, TrayRetryInterval, nullptr);
    scanDesktop();
    scanMutex = CreateMutexW(nullptr, FALSE, names::ScanMutex);
    // What matters is the lock, not its name, which another object may hold.
    if (!scanMutex)
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
    // The watcher may still be in a pass (a hung window costs it up to half a
    // second), so it must be gone before the lists are freed.
    stopWatcher();
    unloadPlugins();
    restoreHiddenWindows();
    rescue.markCleanExit();
    for (WindowEntry* entry : visibleWindows)
        destroyEntry(entry);
    visibleWindows.clear();
}
