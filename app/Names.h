#pragma once
// Names of system objects and the numbers other programs and plugins rely on.
#include <windows.h>

namespace names {

inline constexpr wchar_t InstanceMutex[] = L"Mutex_MossGate";
inline constexpr wchar_t WindowClass[] = L"mossgate_Wndclass";
inline constexpr wchar_t AppProperty[] = L"mossgateMainWnd_pointer";
inline constexpr wchar_t ScanMutex[] = L"mossgate_is_very_bad_program_:p";
inline constexpr wchar_t TaskbarClass[] = L"Shell_TrayWnd";
inline constexpr wchar_t SecondaryTaskbarClass[] = L"Shell_SecondaryTrayWnd";
inline constexpr wchar_t TaskbarCreated[] = L"TaskbarCreated";
inline constexpr wchar_t ImeWindowClass[] = L"IMWindowClass";
inline constexpr wchar_t IconFile[] = L"tray.ico";
inline constexpr wchar_t PluginFolder[] = L"\\plugin\\";
inline constexpr wchar_t PluginPattern[] = L"*.dll";
// The private argument that starts mossgate.exe as the guardian of another
// mossgate process; users never type it.
inline constexpr wchar_t GuardianSwitch[] = L"/mossgate:guardian";
// Properties left on other programs' windows: this program hid the window
// (the value holds the show command that brings it back), or left it fully
// transparent. Any mossgate process that finds them puts the window right.
inline constexpr wchar_t HiddenMark[] = L"mossgateHidden_mark";
inline constexpr wchar_t InvisibleMark[] = L"mossgateInvisible_mark";

} // namespace names

// Window messages of the corner window.
inline constexpr UINT TrayCallbackMessage = 2031;
inline constexpr UINT PluginBalloonMessage = 2817;

// Timers of the corner window.
inline constexpr UINT_PTR TrayRetryTimer = 2;
inline constexpr UINT_PTR BalloonTimer = 4;
inline constexpr UINT_PTR FirstPluginTimerId = 100;
inline constexpr UINT TrayRetryInterval = 200;

// Resources.
inline constexpr WORD MenuResource = 101;
inline constexpr WORD IconResource = 102;
inline constexpr WORD DialogResource = 103;
inline constexpr WORD PlaceholderItemId = 107;
inline constexpr int PercentEditId = 1000;

inline constexpr UINT TrayIconId = 3;
inline constexpr int CornerSize = 24;

// Menu command ids and owner-draw item data.
inline constexpr UINT ExitCommand = 40001;
inline constexpr UINT AboutCommand = 40002;
inline constexpr UINT VersionCommand = 40003;
inline constexpr UINT WindowCommandBase = 0xF000;
inline constexpr UINT WindowCommandMask = 0xF800;
inline constexpr UINT TaskbarIndex = 127;
inline constexpr UINT MaxWindowItems = 127;

enum WindowAction : UINT {
    ActionHide = 1,
    ActionTopmost = 2,
    ActionTranslucent = 3,
    ActionFullScreen = 4,
    ActionPowerScheme = 5,
    ActionMoveToOrigin = 6,
};

constexpr UINT makeCommandId(UINT index, UINT action) {
    return WindowCommandBase + (index & 0x7F) * 16 + action;
}
constexpr UINT commandIndex(UINT id) {
    return (id >> 4) & 0x7F;
}
constexpr UINT commandAction(UINT id) {
    return id & 0xF;
}
constexpr bool isWindowCommand(UINT id) {
    return (id & WindowCommandMask) == WindowCommandBase;
}

inline constexpr UINT TaskbarTranslucentCommand = makeCommandId(TaskbarIndex, ActionTranslucent);
static_assert(TaskbarTranslucentCommand == 0xF7F3);

enum ItemTag : ULONG_PTR {
    VersionItemTag = 0x7000,
    PowerItemTag = 0x7001,
    TaskbarItemTag = 0x7002,
    AboutItemTag = 0x7003,
    ExitItemTag = 0x7004,
};

inline constexpr int TaskbarMinAlpha = 51;
inline constexpr DWORD BalloonTime = 6000;
