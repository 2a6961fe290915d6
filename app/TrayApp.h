#pragma once
// Threads, locks and re-entry.
//
// Two threads of the program's own run: the UI thread (entry function,
// message loop, every window message, timer, menu, command, dialog and plugin
// call) and the watcher thread, which runs a desktop scan about every 100 ms.
// Helper threads started by callWindow (tracking/WindowCalls.h) touch no state
// of the program: each acts on one window with values it owns. The
// program started as mossgate.exe also has a thread that keeps its guardian
// process running (app/Rescue.h); it touches nothing else.
//
// scanMutex guards visibleWindows, hiddenWindows and the entries in them. The
// watcher holds it for each pass; the UI thread holds it while it builds and
// shows the menu (owner drawing reads entries), for a whole window command,
// dialog included, and for a desktop switch. Without it the lists are touched
// only before the watcher starts and after it has stopped. Every wait for it
// handles sent messages: the watcher's caption reads send WM_GETTEXT to this
// process's windows.
//
// Everything else belongs to the UI thread alone. quitting and watcherStop are
// atomics that the watcher reads.
//
// Re-entry: while the UI thread waits (for the mutex, a helper thread, a
// modal menu or dialog) or calls into another thread's window, messages that
// other programs send run on it, and modal loops dispatch posted ones too. So
// a tray event or a command can arrive in the middle of an operation on the
// lists. The operations on the lists (the menu, a window command, the desktop
// switch) run one at a time: `busy` is set for their whole length, and one
// that begins while it is set does nothing. Exit is always carried out: it
// changes no list, and its quit message ends any modal loop. Calls on other
// programs' windows never wait for them (tracking/WindowCalls.h).
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <list>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/Names.h"
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
class MenuLook;

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
    // The program's icon at `size`, from the same source as smallIcon; the
    // caller destroys it.
    HICON loadProgramIcon(int size) const;
    // (Re)loads trayIcon at the size the shell shows small icons at now.
    void loadTrayIcon();
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
    // Takes scanMutex for the UI thread (see uiWaiting); the caller releases it.
    void lockForUi();

    // Window icons: asked for when the menu is built, answered later.
    void requestIcons();
    void onIconAnswer(HWND window, HICON icon);
    void acceptIconAnswers(bool accept);

    // Menu.
    void showTrayMenu();
    bool buildTrayMenu(MenuSet& menus);
    void fillWindowSubmenu(WindowEntry* entry, HMENU submenu, UINT index);
    void fillPowerSchemeMenu(HMENU root, HMENU submenu);
    bool onMeasureItem(MEASUREITEMSTRUCT* item);
    bool onDrawItem(const DRAWITEMSTRUCT* item);
    bool isMenuItemData(ULONG_PTR data) const;
    static bool isFixedItem(ULONG_PTR data);
    void nameOwnerDrawnItems(HMENU root);
    // A character typed in the open menu (WM_MENUCHAR for its root).
    LRESULT onMenuChar(wchar_t typed);

    // Commands.
    void executeWindowCommand(WPARAM commandId);
    void switchPowerScheme(UINT schemeIndex);

    // Plugins.
    void loadPlugins();
    void startPluginTimers();
    void unloadPlugins();

    HWND mainWindow = nullptr;
    HINSTANCE instance;
    HANDLE scanMutex = nullptr; // guards the two window lists and their entries
    // The mutex that holds the scan lock's name when another object of that
    // name existed first; kept open for the life of the process.
    HANDLE scanMutexName = nullptr;
    HANDLE watcherThread = nullptr; // runs only while scanMutex exists
    NOTIFYICONDATAW trayData;
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    HICON infoIcon = nullptr;
    HICON errorIcon = nullptr;
    // The tray's icon at the shell's small-icon size (it follows the DPI);
    // smallIcon stands in when it cannot be loaded.
    HICON trayIcon = nullptr;
    // The icon file that smallIcon came from; empty for the built-in icon.
    std::wstring iconFile;
    // The corner window's side: 24 pixels at 96 DPI.
    int cornerSize = CornerSize;
    std::wstring tipText;
    DWORD lastSwitchTick = 0;
    bool alphaBlendSupported = false;
    bool themeActive = false;
    bool hover = false;
    std::atomic<bool> quitting{false};
    RECT workArea{};
    std::list<WindowEntry*> visibleWindows; // under scanMutex
    std::list<WindowEntry*> hiddenWindows;  // under scanMutex
    std::list<MenuWindow> menuWindows;      // UI thread
    std::vector<PluginEntry*> plugins;      // UI thread
    // UI thread: the power plans of the menu last built, in submenu order;
    // empty where the system lists schemes by index instead.
    std::vector<GUID> powerPlans;

    // UI thread: an operation on the window lists is running (see the top).
    bool busy = false;
    // UI thread: the transparency dialog's answer while the dialog is open.
    const struct TransparencyAnswer* openDialog = nullptr;
    // Set while the tray menu's own modal loop runs; owner-draw requests at
    // any other time are not ours.
    bool menuShowing = false;
    // UI thread: the look of the menu while it is open.
    MenuLook* menuLook = nullptr;
    // UI thread: the root of the menu while it is open.
    HMENU menuRoot = nullptr;
    // UI thread: windows asked for their icon that have not answered yet.
    std::unordered_set<HWND> iconRequests;
    // Tells the watcher to leave without touching `quitting`, whose value
    // decides what the teardown does with the tray icon.
    std::atomic<bool> watcherStop{false};
    // Set while the UI thread waits for scanMutex: a pass in progress then
    // ends its walk early, so the user never waits for a whole pass.
    std::atomic<bool> uiWaiting{false};
    // Brings hidden windows back should this process die without its
    // teardown.
    Rescue rescue;
};

static_assert(sizeof(NOTIFYICONDATAW) >= 936);

// Marks one operation on the window lists for its whole length. `entered` is
// false when another was already running; the caller then does nothing.
class BusyScope {
  public:
    explicit BusyScope(bool& flag) : busy(flag), first(!flag) { busy = true; }
    ~BusyScope() {
        if (first)
            busy = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    bool entered() const { return first; }

  private:
    bool& busy;
    bool first;
};

// Holds scanMutex for the UI thread from construction to scope exit.
class UiLock {
  public:
    explicit UiLock(TrayApp& app);
    ~UiLock();
    UiLock(const UiLock&) = delete;
    UiLock& operator=(const UiLock&) = delete;

  private:
    HANDLE mutex;
};

// What the transparency dialog answers: only an OK with a number is given.
struct TransparencyAnswer {
    bool given = false;
    int alpha = 0;
    HWND dialog = nullptr;
};

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI watcherThreadProc(void* parameter);
INT_PTR CALLBACK transparencyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int runMessageLoop();
UINT taskbarCreatedMessage();
