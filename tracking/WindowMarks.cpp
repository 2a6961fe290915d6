#include "tracking/WindowMarks.h"
#include "app/Names.h"
#include "tracking/WindowCalls.h"

#include <vector>

namespace {

// The hidden mark's value: a flag that keeps it non-null, and the show command.
constexpr ULONG_PTR HiddenFlag = 0x100;
constexpr ULONG_PTR ShowCommandBits = 0xFF;
constexpr ULONG_PTR InvisibleValue = 1;
constexpr BYTE Opaque = 0xFF;

struct MarkAtoms {
    ATOM hidden;
    ATOM invisible;
};

const MarkAtoms& atoms() {
    static const MarkAtoms registered{GlobalAddAtomW(names::HiddenMark),
                                      GlobalAddAtomW(names::InvisibleMark)};
    return registered;
}

// Read and changed without waiting: properties involve no message to the window.
void setMark(ATOM atom, HWND window, ULONG_PTR value) {
    if (atom)
        SetPropW(window, MAKEINTATOM(atom), reinterpret_cast<HANDLE>(value));
}

ULONG_PTR readMark(ATOM atom, HWND window) {
    return atom ? reinterpret_cast<ULONG_PTR>(GetPropW(window, MAKEINTATOM(atom))) : 0;
}

void removeMark(ATOM atom, HWND window) {
    if (atom)
        RemovePropW(window, MAKEINTATOM(atom));
}

using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// user32 is loaded for the life of every GUI process, so looking the
// function up needs no loading; systems without layered windows lack it.
SetLayeredFn setLayered() {
    return reinterpret_cast<SetLayeredFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetLayeredWindowAttributes")));
}

// Shows a marked hidden window and makes a marked invisible one opaque; both
// without waiting. True when the window still needs its layering taken off.
bool putRight(HWND window, const MarkAtoms& marks) {
    if (const ULONG_PTR hidden = readMark(marks.hidden, window)) {
        // A window still on the screen may yet have the hide waiting in its
        // queue (its thread is busy); a show queued behind it wins, and does
        // nothing to a window that is already shown.
        const UINT saved = static_cast<UINT>(hidden & ShowCommandBits);
        showWindowNoWait(window, IsWindowVisible(window) ? SW_SHOWNA : restoringShowCommand(saved));
        removeMark(marks.hidden, window);
    }
    if (!readMark(marks.invisible, window))
        return false;
    if (SetLayeredFn opaque = setLayered())
        opaque(window, 0, Opaque, LWA_ALPHA);
    return true;
}

BOOL CALLBACK putRightNow(HWND window, LPARAM) {
    putRight(window, atoms());
    return TRUE;
}

BOOL CALLBACK collectMarked(HWND window, LPARAM parameter) {
    if (putRight(window, atoms()))
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

} // namespace

bool prepareMarks() {
    return atoms().hidden && atoms().invisible;
}

void markHidden(HWND window, UINT showCmd) {
    setMark(atoms().hidden, window, HiddenFlag | (showCmd & ShowCommandBits));
}

void unmarkHidden(HWND window) {
    removeMark(atoms().hidden, window);
}

void markInvisible(HWND window) {
    setMark(atoms().invisible, window, InvisibleValue);
}

void unmarkInvisible(HWND window) {
    removeMark(atoms().invisible, window);
}

bool markedHidden(HWND window) {
    return readMark(atoms().hidden, window) != 0;
}

bool markedInvisible(HWND window) {
    return readMark(atoms().invisible, window) != 0;
}

int restoringShowCommand(UINT saved) {
    switch (saved) {
    case SW_SHOWMINIMIZED:
    case SW_SHOWMAXIMIZED:
        return static_cast<int>(saved);
    default:
        return SW_SHOWNORMAL;
    }
}

void restoreMarkedWindows(DWORD waitMs) {
    std::vector<HWND> layered;
    EnumWindows(collectMarked, reinterpret_cast<LPARAM>(&layered));
    for (HWND window : layered) {
        // A window that refuses this now keeps its mark for the next try.
        callWindow(window, waitMs, [window] {
            SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) & ~WS_EX_LAYERED);
            unmarkInvisible(window);
        });
    }
}

void restoreMarkedWindowsNow() {
    EnumWindows(putRightNow, 0);
}
