// Another program's windows in constant motion, for the stress run of the
// real mossgate.exe.
//
//   churn_host <seed> <windows> <milliseconds> [h]
//
// Creates <windows> windows captioned "churn <n>" and, for the given time,
// restacks them rapidly at random (raise, lower, topmost on and off), hides
// and shows a few, destroys and recreates some and changes captions (now and
// then to an empty one). With "h" one more window, "churn hung", lives on a
// thread of its own that stops answering for several seconds at a time.
// Then it settles: every window it hid itself is shown, every caption is
// "churn <n>" again, the hung thread answers again, and the named event
// "churn_settled_<seed>" is set. It then runs until it is ended.
//
// While the named event "churn_pause_<seed>" is set it changes nothing (the
// hung thread keeps its habits) and the time does not count. A window it
// has hidden itself carries the property "churn_hidden_by_owner", so that
// another program can tell which hidden windows are the host's own doing.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "SeededRandom.h"

namespace {

constexpr wchar_t ChurnClass[] = L"churn_host_window";
constexpr wchar_t HiddenByOwner[] = L"churn_hidden_by_owner";

std::atomic<bool> settling{false};
std::atomic<bool> hungAnswers{false};

HWND openWindow(int n) {
    wchar_t caption[32];
    swprintf(caption, 32, L"churn %d", n);
    return CreateWindowExW(0, ChurnClass, caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30 + (n % 15) * 20,
                           30 + (n % 15) * 15, 300, 180, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Owns the one window that now and then stops answering, as a busy or hung
// program does.
DWORD WINAPI hungThread(void* seedParameter) {
    SeededRandom random{static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(seedParameter)) ^ 0x5A5A5A5Au};
    HWND window = CreateWindowExW(0, ChurnClass, L"churn hung", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 300,
                                  300, 180, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    (void)window;
    while (!settling) {
        const DWORD start = GetTickCount();
        const DWORD answering = 500 + random.below(2000);
        while (!settling && GetTickCount() - start < answering) {
            pump();
            Sleep(5);
        }
        if (!settling)
            Sleep(4000 + random.below(4000)); // long enough to count as hung
    }
    hungAnswers = true;
    for (;;) {
        pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 4)
        return 2;
    const unsigned seed = static_cast<unsigned>(wcstoul(argv[1], nullptr, 10));
    const int count = _wtoi(argv[2]);
    const DWORD duration = static_cast<DWORD>(_wtoi(argv[3]));
    const bool withHung = argc > 4 && wcschr(argv[4], L'h');

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = ChurnClass;
    RegisterClassExW(&windowClass);

    std::vector<HWND> windows;
    std::vector<bool> hiddenByUs(static_cast<size_t>(count), false);
    for (int n = 0; n < count; ++n)
        windows.push_back(openWindow(n));
    HANDLE hung = withHung ? CreateThread(nullptr, 0, hungThread,
                                          reinterpret_cast<void*>(static_cast<ULONG_PTR>(seed)), 0, nullptr)
                           : nullptr;

    wchar_t pauseName[64];
    swprintf(pauseName, 64, L"churn_pause_%u", seed);
    HANDLE pause = CreateEventW(nullptr, TRUE, FALSE, pauseName);

    SeededRandom random{seed};
    const HWND places[] = {HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST};
    DWORD active = 0;
    DWORD last = GetTickCount();
    while (active < duration) {
        const DWORD now = GetTickCount();
        if (pause && WaitForSingleObject(pause, 0) == WAIT_OBJECT_0) {
            pump();
            Sleep(5);
            last = now;
            continue;
        }
        active += now - last;
        last = now;
        // A burst of restacking with no pause, then a moment for the queue.
        const unsigned burst = 20 + random.below(60);
        for (unsigned i = 0; i < burst; ++i) {
            const size_t n = random.below(static_cast<unsigned>(count));
            HWND window = windows[n];
            const unsigned what = random.below(100);
            if (what < 80) {
                SetWindowPos(window, places[random.below(4)], 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            } else if (what < 86) {
                hiddenByUs[n] = !hiddenByUs[n];
                if (hiddenByUs[n])
                    SetPropW(window, HiddenByOwner, reinterpret_cast<HANDLE>(1));
                else
                    RemovePropW(window, HiddenByOwner);
                ShowWindow(window, hiddenByUs[n] ? SW_HIDE : SW_SHOWNA);
            } else if (what < 90) {
                RemovePropW(window, HiddenByOwner);
                DestroyWindow(window);
                windows[n] = openWindow(static_cast<int>(n));
                hiddenByUs[n] = false;
            } else {
                wchar_t caption[48];
                if (random.below(4) == 0)
                    caption[0] = L'\0';
                else
                    swprintf(caption, 48, L"churn %d renamed %u", static_cast<int>(n), random.below(1000));
                SetWindowTextW(window, caption);
            }
        }
        pump();
        if (random.below(4) == 0)
            Sleep(random.below(20));
    }

    settling = true;
    for (size_t n = 0; n < windows.size(); ++n) {
        wchar_t caption[32];
        swprintf(caption, 32, L"churn %d", static_cast<int>(n));
        SetWindowTextW(windows[n], caption);
        if (hiddenByUs[n]) {
            RemovePropW(windows[n], HiddenByOwner);
            ShowWindow(windows[n], SW_SHOWNA);
        }
    }
    // Settled only once the hung thread answers again.
    while (hung && !hungAnswers) {
        pump();
        Sleep(10);
    }
    pump();
    wchar_t settledName[64];
    swprintf(settledName, 64, L"churn_settled_%u", seed);
    HANDLE settled = CreateEventW(nullptr, TRUE, FALSE, settledName);
    SetEvent(settled);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
