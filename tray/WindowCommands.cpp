#include "tray/WindowCommands.h"
#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"
#include "tracking/ScreenEdges.h"
#include "tracking/WindowCalls.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int DialogCancelled = -1;

std::list<WindowEntry*>::iterator findIn(std::list<WindowEntry*>& list, const WindowEntry* entry) {
    return std::find(list.begin(), list.end(), entry);
}

} // namespace

int percentToAlpha(int percent) {
    const long long alpha = static_cast<long long>(percent) * 255 / 100;
    return static_cast<int>(std::clamp<long long>(alpha, 0, 255));
}

int taskbarAlpha(int alpha) {
    return (alpha >= 0 && alpha < TaskbarMinAlpha) ? TaskbarMinAlpha : alpha;
}

void TrayApp::executeWindowCommand(WPARAM commandId) {
    BusyScope operation(busy);
    if (!operation.entered())
        return;
    const UINT id = static_cast<UINT>(commandId);
    const UINT index = commandIndex(id);
    const UINT action = commandAction(id);

    // menuWindows is written only by this thread, so it is read unlocked.
    WindowEntry* entry = nullptr;
    HWND window = nullptr;
    if (index < menuWindows.size()) {
        const MenuWindow& item = *std::next(menuWindows.begin(), index);
        entry = item.entry;
        window = item.window;
    }

    UiLock lock(*this);
    auto inVisible = findIn(visibleWindows, entry);
    auto inHidden = findIn(hiddenWindows, entry);
    // The entry found by identity must still track the window the user chose:
    // a new entry may have been allocated at a deleted one's address.
    auto stillTracks = [&](std::list<WindowEntry*>::iterator it, const std::list<WindowEntry*>& list) {
        return it != list.end() && (*it)->getHandle() == window;
    };
    const bool visible = stillTracks(inVisible, visibleWindows);
    // Windows refuses every change to a program running as administrator
    // while this one does not: say so, and record nothing.
    auto refused = [this](HWND target) {
        if (!beyondReach(target))
            return false;
        showBalloon(texts::AdminWindowBalloon, texts::ProductName, BalloonTime);
        return true;
    };
    // A change with no asynchronous form still waiting for the window (it
    // stopped answering) decides its state; another is not started.
    auto stillBusy = [this](HWND target) {
        if (windowCallAccepted(target))
            return false;
        showBalloon(texts::NotRespondingBalloon, texts::ProductName, BalloonTime);
        return true;
    };

    switch (action) {
    case ActionHide: {
        const bool hidden = stillTracks(inHidden, hiddenWindows);
        // Only an entry still held by a list may be looked at: the pointer
        // may name one that a scan has freed since the menu was built.
        if (!visible && !hidden)
            return;
        if (entry->isHidden() ? !hidden : !visible)
            return;
        if (refused(window))
            return;
        if (entry->toggleHidden()) {
            visibleWindows.erase(inVisible);
            hiddenWindows.push_back(entry);
            wchar_t message[128];
            wsprintfW(message, texts::HiddenCountBalloon, static_cast<int>(hiddenWindows.size()));
            showBalloon(message, texts::ProductName, BalloonTime);
        } else {
            hiddenWindows.erase(inHidden);
            visibleWindows.push_back(entry);
        }
        break;
    }
    case ActionTopmost:
        if (visible && !refused(window))
            entry->toggleTopmost();
        break;
    case ActionFullScreen:
        if (visible && !refused(window) && !stillBusy(window))
            entry->toggleFullScreen();
        break;
    case ActionMoveToOrigin:
        if (visible && !refused(window) && !stillBusy(window))
            entry->moveToOrigin();
        break;
    case ActionPowerScheme:
        switchPowerScheme(index);
        break;
    case ActionTranslucent: {
        if (!alphaBlendSupported)
            break;
        const bool forTaskbar = index == TaskbarIndex;
        WindowEntry taskbar(forTaskbar ? FindWindowW(names::TaskbarClass, nullptr) : nullptr);
        WindowEntry* target = forTaskbar ? &taskbar : (visible ? entry : nullptr);
        if (!target || refused(target->getHandle()) || stillBusy(target->getHandle()))
            break;
        int alpha = 255;
        if (!target->isLayered()) {
            // Exit may have been chosen while this command waited for the
            // lock; no dialog opens for a program that is ending.
            if (quitting)
                break;
            // The dialog's loop also ends when the corner window is closed or
            // a quit message arrives; only an OK with a number changes anything.
            TransparencyAnswer answer;
            openDialog = &answer;
            DialogBoxParamW(instance, MAKEINTRESOURCEW(DialogResource), mainWindow, transparencyDialogProc,
                            reinterpret_cast<LPARAM>(&answer));
            openDialog = nullptr;
            if (!answer.given)
                break;
            alpha = forTaskbar ? taskbarAlpha(answer.alpha) : answer.alpha;
        }
        target->setAlpha(alpha);
        // The taskbars of other monitors follow the primary one.
        if (forTaskbar)
            for (HWND other : findTaskbars())
                if (other != taskbar.getHandle())
                    WindowEntry(other).setAlpha(alpha);
        break;
    }
    default:
        break;
    }
}

INT_PTR CALLBACK transparencyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        if (auto* answer = reinterpret_cast<TransparencyAnswer*>(lParam))
            answer->dialog = dialog;
        POINT cursor{};
        GetCursorPos(&cursor);
        RECT frame{};
        GetWindowRect(dialog, &frame);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        SetWindowPos(dialog, nullptr, cursor.x - 2 * width / 3, cursor.y - 4 * height / 5, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
        SetDlgItemTextW(dialog, PercentEditId, L"100");
        return TRUE;
    }
    case WM_COMMAND:
        if (wParam == IDOK) {
            BOOL isNumber = FALSE;
            const int percent = static_cast<int>(GetDlgItemInt(dialog, PercentEditId, &isNumber, TRUE));
            if (!isNumber) {
                EndDialog(dialog, DialogCancelled);
                return TRUE;
            }
            const int alpha = percentToAlpha(percent);
            if (auto* answer = reinterpret_cast<TransparencyAnswer*>(GetWindowLongPtrW(dialog, DWLP_USER))) {
                answer->given = true;
                answer->alpha = alpha;
            }
            EndDialog(dialog, alpha);
            return TRUE;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, DialogCancelled);
            return TRUE;
        }
        return FALSE;
    case WM_RBUTTONDOWN:
        EndDialog(dialog, DialogCancelled);
        return TRUE;
    default:
        return FALSE;
    }
}
