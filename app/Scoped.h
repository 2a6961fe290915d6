#pragma once
// Move-only owners for what a function creates and releases in the same scope.
#include <windows.h>
#include <utility>

template <typename Handle, typename Traits> class Scoped {
  public:
    Scoped() = default;
    explicit Scoped(Handle h) : handle(h) {}
    ~Scoped() { reset(); }
    Scoped(Scoped&& other) noexcept : handle(std::exchange(other.handle, Traits::invalid())) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) {
            reset();
            handle = std::exchange(other.handle, Traits::invalid());
        }
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Handle get() const { return handle; }
    explicit operator bool() const { return handle != Traits::invalid(); }
    Handle release() { return std::exchange(handle, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) {
        if (handle != Traits::invalid())
            Traits::close(handle);
        handle = h;
    }

  private:
    Handle handle = Traits::invalid();
};

namespace scoped_traits {
struct Library {
    static HMODULE invalid() { return nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
struct Handle {
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct Snapshot {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct Find {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
struct GdiObject {
    static HGDIOBJ invalid() { return nullptr; }
    static void close(HGDIOBJ h) { DeleteObject(h); }
};
struct Icon {
    static HICON invalid() { return nullptr; }
    static void close(HICON h) { DestroyIcon(h); }
};
} // namespace scoped_traits

using ScopedLibrary = Scoped<HMODULE, scoped_traits::Library>;
using ScopedHandle = Scoped<HANDLE, scoped_traits::Handle>;
using ScopedSnapshot = Scoped<HANDLE, scoped_traits::Snapshot>;
using ScopedFind = Scoped<HANDLE, scoped_traits::Find>;
using ScopedGdiObject = Scoped<HGDIOBJ, scoped_traits::GdiObject>;
using ScopedIcon = Scoped<HICON, scoped_traits::Icon>;

// A DC from GetDC, released on scope exit.
class WindowDC {
  public:
    explicit WindowDC(HWND w) : window(w), dc(GetDC(w)) {}
    ~WindowDC() {
        if (dc)
            ReleaseDC(window, dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc; }

  private:
    HWND window;
    HDC dc;
};

// Selects an object into a DC and puts the previous one back on scope exit.
class SelectedObject {
  public:
    SelectedObject(HDC d, HGDIOBJ obj) : dc(d), previous(SelectObject(d, obj)) {}
    ~SelectedObject() {
        if (previous)
            SelectObject(dc, previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc;
    HGDIOBJ previous;
};

// Waits for `object`, at most `limitMs`, handling messages that other threads
// send to this thread's windows meanwhile. The thread that holds the scan
// mutex reads window captions, which for windows of this process means
// sending them WM_GETTEXT; a plain wait here could deadlock on that. Sent
// messages can re-enter the caller (see app/TrayApp.h). Returns
// WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT or WAIT_FAILED.
inline DWORD waitHandlingSentMessages(HANDLE object, DWORD limitMs = INFINITE) {
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD remaining = INFINITE;
        if (limitMs != INFINITE) {
            const DWORD elapsed = GetTickCount() - start;
            remaining = elapsed >= limitMs ? 0 : limitMs - elapsed;
        }
        const DWORD result = MsgWaitForMultipleObjects(1, &object, FALSE, remaining, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1)
            return result == WAIT_ABANDONED_0 ? WAIT_ABANDONED : result;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Holds a Win32 mutex from construction to scope exit.
class MutexLock {
  public:
    explicit MutexLock(HANDLE m) : mutex(m) { (void)waitHandlingSentMessages(mutex); }
    ~MutexLock() { ReleaseMutex(mutex); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    HANDLE mutex;
};

// Looks an export up by name and casts it to the expected signature.
template <typename Fn> Fn findExport(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
