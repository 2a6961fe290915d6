#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <list>
#include <string>
#include <vector>

#include "app/Rescue.h"
#include "plugins/PluginEntry.h"
#include "tracking/WindowEntry.h"

// A window item of the menu last built: the entry and the window it tracked
// then, so a command never acts on a different window that a new entry at the
// same address tracks by now.
struct MenuWindow {
    WindowEntry* entry;
    HWND window;
};

class MenuSet;

// What a plugin's balloon request asks the tray to show.
struct PluginBalloon {
    std::wstring text;
    std::wstring title;
    DWORD time = 0;
};

// The application: owns the corner window, the tray icon, the window lists
// and the plugins. Fields are public so the tests can set up and read back
// the state they check.
class TrayApp {
  public:
    explicit TrayApp(HINSTANCE instance);
    ~TrayApp();
    TrayApp(const TrayApp&) = delete;
    TrayApp& operator=(const TrayApp&) = delete;

    // Start-up and shutdown.
    bool start();
    bool loadIcons(const wchar_t* fileName);
    bool createMainWindow();
    void computeWorkArea(RECT& r);
    static bool queryThemeActive();
    void stopWatcher();

    // Main window.
    void onTimer(UINT_PTR timerId);
    void onTrayEvent(UINT mouseMessage);
    void onCommand(WPARAM wParam, LPARAM lParam);
    void invalidateCorner();
    void paintCorner(HDC dc);
    std::wstring aboutText() const;

    // Tray icon and balloons.
    void fillTrayRecord();
    bool addTrayIcon();
    bool removeTrayIcon();
    NOTIFYICONDATAW balloonRecord(const std::wstring& text, const std::wstring& title, DWORD time) const;
    bool showBalloon(const std::wstring& text, const std::wstring& title, DWORD time);
    bool setTrayTip(const std::wstring& text);
    // Reads a plugin's notice; false when the message is to be ignored.
    bool pluginBalloon(LPARAM notice, PluginBalloon& balloon) const;
    void onPluginBalloon(LPARAM notice);

    // Window tracking.
    static bool qualifies(HWND window);
    void scanDesktop();
    void switchDesktop();
    void restoreHiddenWindows();
    static bool switchAllowed(DWORD now, DWORD lastSwitch);

    // Menu.
    void showTrayMenu();
    bool buildTrayMenu(MenuSet& menus);
    void fillWindowSubmenu(WindowEntry* entry, HMENU submenu, UINT index);
    void fillPowerSchemeMenu(HMENU root, HMENU submenu);
    bool onMeasureItem(MEASUREITEMSTRUCT* item);
    bool onDrawItem(const DRAWITEMSTRUCT* item);
    bool isMenuItemData(ULONG_PTR data) const;

    // Commands.
    void executeWindowCommand(WPARAM commandId);
    void switchPowerScheme(UINT schemeIndex);

    // Plugins.
    void loadPlugins();
    void startPluginTimers();
    void unloadPlugins();

    HWND mainWindow = nullptr;
    HINSTANCE instance;
    HANDLE scanMutex = nullptr;
    HANDLE watcherThread = nullptr;
    NOTIFYICONDATAW trayData;
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    HICON infoIcon = nullptr;
    HICON errorIcon = nullptr;
    std::wstring tipText;
    DWORD lastSwitchTick = 0;
    bool alphaBlendSupported = false;
    bool themeActive = false;
    bool hover = false;
    std::atomic<bool> quitting{false};
    RECT workArea{};
    std::list<WindowEntry*> visibleWindows;
    std::list<WindowEntry*> hiddenWindows;
    std::list<MenuWindow> menuWindows;
    std::vector<PluginEntry*> plugins;

    // Set while the tray menu's own modal loop runs; owner-draw requests at
    // any other time are not ours.
    bool menuShowing = false;
    // Tells the watcher to leave without touching `quitting`, whose value
    // decides what the teardown does with the tray icon.
    std::atomic<bool> watcherStop{false};
    // Tells the guardian process which windows are hidden, for the case
    // that this process dies without its teardown.
    Rescue rescue;
};

static_assert(sizeof(NOTIFYICONDATAW) >= 936);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI watcherThreadProc(void* parameter);
INT_PTR CALLBACK transparencyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int runMessageLoop();
UINT taskbarCreatedMessage();
