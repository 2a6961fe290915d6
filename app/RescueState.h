#pragma once
// The record through which a dying mossgate hands its hidden windows to the
// guardian process. It lives in a named shared-memory section that exists
// only while mossgate runs; nothing is written to disk.
#include <windows.h>

inline constexpr DWORD RescueMagic = 0x5352474D; // "MGRS"
inline constexpr DWORD RescueCapacity = 4096;

struct RescueWindow {
    ULONGLONG handle; // window handles fit in 32 bits, even in 64-bit processes
    DWORD showCmd;
    DWORD reserved;
};

struct RescueState {
    DWORD magic;
    volatile LONG cleanExit; // set once mossgate has shown its windows itself
    volatile LONG count;
    DWORD reserved;
    RescueWindow windows[RescueCapacity];
};

// One section per mossgate process, so instances never read each other's.
struct RescueSectionName {
    explicit RescueSectionName(DWORD processId) { wsprintfW(text, L"mossgate_rescue_%lu", processId); }
    wchar_t text[40];
};

// The show command that brings a hidden window back, whatever the record
// says: only the three ways of showing a window are ever used.
inline int rescueShowCommand(DWORD saved) {
    switch (saved) {
    case SW_SHOWMINIMIZED:
    case SW_SHOWMAXIMIZED:
        return static_cast<int>(saved);
    default:
        return SW_SHOWNORMAL;
    }
}

// Shows every listed window that still exists and is hidden; touches nothing
// else. Used by the guardian and by the crash handler, neither of which may
// wait for a hung window: the requests are left in the windows' queues.
inline void showRescuedWindows(const RescueState& state) {
    if (state.magic != RescueMagic || state.cleanExit)
        return;
    const DWORD count =
        static_cast<DWORD>(state.count) < RescueCapacity ? static_cast<DWORD>(state.count) : RescueCapacity;
    for (DWORD i = 0; i < count; ++i) {
        HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(state.windows[i].handle));
        if (IsWindow(window) && !IsWindowVisible(window))
            ShowWindowAsync(window, rescueShowCommand(state.windows[i].showCmd));
    }
}
