// Owns windows for the tests and benchmarks, in a process of its own as
// other programs' windows are on a real desktop.
//
//   window_host <count> [flags]
//     flags: i  every other window has no icon of its own (class or window)
//            m  windows start maximised
//            h  the thread stops answering messages once the windows exist
//            c  open and close <count> windows one after another, then wait
//            b  open and close <count> windows in batches of 100 that each
//               stay for 300 ms (long enough for a scan pass), then exit
//            t  each window on a thread of its own; posting HangMessage
//               (WM_APP + 1) with wParam milliseconds to a window makes its
//               thread stop answering for that long; posting FlickerMessage
//               (WM_APP + 2) makes it do the same, then hide the window
//               itself, wait as long again, show it, and wait once more,
//               all before it answers again
// Windows are captioned "host window <n>". The process runs until it is
// ended or receives WM_QUIT.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT HangMessage = WM_APP + 1;
constexpr UINT FlickerMessage = WM_APP + 2;
constexpr wchar_t IconClass[] = L"window_host_icon";
constexpr wchar_t PlainClass[] = L"window_host_plain";

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == HangMessage) {
        Sleep(static_cast<DWORD>(wParam));
        return 0;
    }
    if (message == FlickerMessage) {
        const auto pause = static_cast<DWORD>(wParam);
        Sleep(pause);
        ShowWindow(window, SW_HIDE);
        Sleep(pause);
        ShowWindow(window, SW_SHOWNA);
        Sleep(pause);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerClass(const wchar_t* name, HICON smallIcon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = name;
    windowClass.hIconSm = smallIcon;
    RegisterClassExW(&windowClass);
}

HWND openWindow(int n, bool withIcon, bool maximised) {
    wchar_t caption[64];
    swprintf(caption, 64, L"host window %d", n);
    DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | (maximised ? WS_MAXIMIZE : 0);
    return CreateWindowExW(0, withIcon ? IconClass : PlainClass, caption, style, 40 + (n % 20) * 10,
                           40 + (n % 20) * 10, 320, 200, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

void runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

struct ThreadWindow {
    int n;
    bool withIcon;
    bool maximised;
};

DWORD WINAPI windowThread(void* parameter) {
    const auto* spec = static_cast<const ThreadWindow*>(parameter);
    openWindow(spec->n, spec->withIcon, spec->maximised);
    runMessageLoop();
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const int count = argc > 1 ? _wtoi(argv[1]) : 1;
    const std::wstring flags = argc > 2 ? argv[2] : L"";
    const bool someWithoutIcon = flags.find(L'i') != std::wstring::npos;
    const bool maximised = flags.find(L'm') != std::wstring::npos;
    const bool hang = flags.find(L'h') != std::wstring::npos;
    const bool cycle = flags.find(L'c') != std::wstring::npos;
    const bool batches = flags.find(L'b') != std::wstring::npos;
    const bool threads = flags.find(L't') != std::wstring::npos;

    registerClass(IconClass, LoadIconW(nullptr, IDI_APPLICATION));
    registerClass(PlainClass, nullptr);

    if (batches) {
        constexpr int BatchSize = 100;
        HWND batch[BatchSize];
        for (int n = 0; n < count; n += BatchSize) {
            const int size = count - n < BatchSize ? count - n : BatchSize;
            for (int i = 0; i < size; ++i)
                batch[i] = openWindow(n + i, !(someWithoutIcon && i % 2), maximised);
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < 300) {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&message);
                Sleep(5);
            }
            for (int i = 0; i < size; ++i)
                DestroyWindow(batch[i]);
        }
        return 0;
    }

    if (threads) {
        HANDLE last = nullptr;
        for (int n = 0; n < count; ++n)
            last = CreateThread(nullptr, 0, windowThread,
                                new ThreadWindow{n, !(someWithoutIcon && n % 2), maximised}, 0, nullptr);
        WaitForSingleObject(last, INFINITE);
        return 0;
    }

    for (int n = 0; n < count; ++n) {
        HWND window = openWindow(n, !(someWithoutIcon && n % 2), maximised);
        if (cycle) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            DestroyWindow(window);
        }
    }
    if (hang)
        Sleep(INFINITE);

    runMessageLoop();
    return 0;
}
