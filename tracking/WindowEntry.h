#pragma once
#include <windows.h>
#include <oleacc.h>

#include <string>

// What the program knows about one top-level window of another program.
class WindowEntry {
  public:
    explicit WindowEntry(HWND window) : hwnd(window) {}
    WindowEntry(const WindowEntry&) = delete;
    WindowEntry& operator=(const WindowEntry&) = delete;

    void load();
    bool refresh();
    bool queryExePath();
    // Asks the window for its small icon and waits (at most 500 ms) for the
    // answer; the program itself asks without waiting (noteIconAnswer).
    bool fetchIcon();
    // Takes the window's answer to WM_GETICON (null: none), falling back to
    // the class's icon; false when neither has one.
    bool applyIconAnswer(HICON answer);
    // The window has answered WM_GETICON: takes the answer and notes when;
    // false when the entry has no icon from the window or its class.
    bool noteIconAnswer(HICON answer);
    // Whether the window's own icon was last asked for `freshFor` ms ago or
    // more, or never.
    bool iconStale(DWORD now, DWORD freshFor) const;
    // The window cannot be asked for its icon; its class's serves from now on.
    void noteIconUnavailable() { iconUnavailable = true; }
    // The window's last answer was that it has no small icon of its own.
    bool answeredNoIcon() const { return noIconAnswer; }

    // Destroys the icon only when the entry owns it (the executable's icon).
    void releaseIcon();
    // Hands the owned icon to the caller, who must destroy it.
    HICON takeIcon();

    HWND getHandle() const { return hwnd; }
    bool isHidden() const { return hidden; }
    // Hidden by this program, and the window's thread may not have handled
    // the request yet (it is busy or hung). Seeing the window go proves
    // nothing: its own program may hide and show it before the request lands.
    bool hidePending(DWORD now) const;
    // The window's own program showed it again after this program's hide
    // had landed: from now on it is an ordinary visible window.
    void forgetHidden();
    bool isLayered() const;
    bool isFullScreen() const { return fullScreen; }
    HICON getIcon() const { return icon; }
    bool getOwnsIcon() const { return ownsIcon; }
    UINT getSavedShowCmd() const { return savedShowCmd; }
    std::wstring getCaption() const { return caption; }
    // The name a screen reader gives the window's menu item; the item's data
    // points to this entry, which begins with the record that carries it.
    void setMenuName(const std::wstring& name);
    std::wstring getClassName() const { return className; }
    const std::wstring& getExePath() const { return exePath; }

    bool toggleHidden();
    bool toggleTopmost();
    bool setAlpha(int alpha);
    bool toggleFullScreen();
    bool moveToOrigin();

  private:
    // First, so that the menu item's data points to it (oleacc's convention).
    MSAAMENUINFO accessibleName{static_cast<DWORD>(MSAA_MENU_SIG), 0, nullptr};
    HWND hwnd;
    bool loaded = false;
    std::wstring caption;
    std::wstring className;
    std::wstring exePath;
    bool hidden = false;
    UINT savedShowCmd = 0;
    HICON icon = nullptr;
    bool ownsIcon = false;
    bool fullScreen = false;
    WINDOWPLACEMENT savedPlacement{};
    DWORD hideTick = 0;       // when toggleHidden last asked the window to hide
    bool hideLanded = false;  // the request was carried out before toggleHidden returned
    DWORD iconAnswerTick = 0; // when the window last answered WM_GETICON; 0: never
    bool iconUnavailable = false;
    bool noIconAnswer = false;
    std::wstring menuName; // what accessibleName points to
};

// Deletes a list entry together with the icon it owns.
void destroyEntry(WindowEntry* entry);
