#include "app/Names.h"
#include "app/ReadableMemory.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"
#include "tray/MenuTheme.h"

namespace {

constexpr UINT ExitPause = 100;
constexpr int CornerIconInset = 4;

TrayApp* boundApp(HWND window) {
    return static_cast<TrayApp*>(GetPropW(window, names::AppProperty));
}

// Owner-draw structures carry pointers, and any program can send these
// messages. Only a request for one of the items of the menu that is open
// right now, in a structure of our own memory, is acted on.
template <typename Item> Item* ownMenuRequest(const TrayApp& app, LPARAM lParam) {
    auto* item = reinterpret_cast<Item*>(lParam);
    if (!app.menuShowing || !isReadableMemory(item, sizeof(Item)))
        return nullptr;
    if (item->CtlType != ODT_MENU || !app.isMenuItemData(item->itemData))
        return nullptr;
    return item;
}

} // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TrayApp* app = boundApp(window);
    if (!app) {
        if (message != WM_CREATE)
            return DefWindowProcW(window, message, wParam, lParam);
        app = static_cast<TrayApp*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (!app)
            return -1;
        SetPropW(window, names::AppProperty, app);
    }

    switch (message) {
    case WM_DESTROY:
        // Another program closed the window: the icon goes with it.
        app->removeTrayIcon();
        PostQuitMessage(0);
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (HDC dc = BeginPaint(window, &paint)) {
            app->paintCorner(dc);
            EndPaint(window, &paint);
        }
        break;
    }
    case WM_DRAWITEM: {
        if (auto* item = ownMenuRequest<DRAWITEMSTRUCT>(*app, lParam))
            app->onDrawItem(item);
        break;
    }
    case WM_MEASUREITEM: {
        if (auto* item = ownMenuRequest<MEASUREITEMSTRUCT>(*app, lParam))
            app->onMeasureItem(item);
        break;
    }
    case WM_COMMAND:
        app->onCommand(wParam, lParam);
        break;
    case WM_MENUCHAR:
        // Typing in the open tray menu; other menus keep the default.
        if (app->menuShowing && app->menuRoot && reinterpret_cast<HMENU>(lParam) == app->menuRoot)
            if (const LRESULT answer = app->onMenuChar(static_cast<wchar_t>(LOWORD(wParam))))
                return answer;
        break;
    case WM_SETTINGCHANGE:
        // The app theme changed in Settings: the menus the system draws
        // follow now; the program's own follow at the next showing.
        if (isColorSetChange(lParam))
            applySystemMenus(chooseMenuTheme(readMenuThemeInputs()));
        break;
    case WM_TIMER:
        app->onTimer(wParam);
        break;
    case WM_MOUSEMOVE:
        if (!app->hover) {
            app->hover = true;
            app->invalidateCorner();
        }
        break;
    case WM_LBUTTONUP:
        app->onTrayEvent(WM_LBUTTONUP);
        break;
    case WM_NCMOUSELEAVE:
    case WM_MOUSELEAVE:
        if (app->hover) {
            app->hover = false;
            app->invalidateCorner();
        }
        break;
    case TrayCallbackMessage:
        app->onTrayEvent(static_cast<UINT>(lParam));
        break;
    case PluginBalloonMessage:
        app->onPluginBalloon(lParam);
        break;
    default:
        // The shell sends it after a restart and when the DPI changes: the
        // icon is loaded again at the size the shell now wants.
        if (message == taskbarCreatedMessage() && message != 0) {
            app->loadTrayIcon();
            app->addTrayIcon();
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TrayApp::onTimer(UINT_PTR timerId) {
    switch (timerId) {
    case TrayRetryTimer:
        if (FindWindowW(names::TaskbarClass, nullptr) && addTrayIcon())
            KillTimer(mainWindow, TrayRetryTimer);
        break;
    case BalloonTimer:
        showBalloon(L"", L"", 0);
        KillTimer(mainWindow, BalloonTimer);
        break;
    default:
        break;
    }
}

void TrayApp::onTrayEvent(UINT mouseMessage) {
    // A click while the transparency dialog waits for its answer brings the
    // dialog forward; other operations drop the event (see TrayApp.h).
    if (busy && openDialog && openDialog->dialog &&
        (mouseMessage == WM_RBUTTONUP || mouseMessage == WM_LBUTTONDBLCLK))
        SetForegroundWindow(openDialog->dialog);
    switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
        switchDesktop();
        break;
    case WM_RBUTTONUP:
        showTrayMenu();
        break;
    default:
        break;
    }
}

void TrayApp::onCommand(WPARAM wParam, LPARAM) {
    const UINT id = LOWORD(wParam);
    if (id == ExitCommand) {
        quitting = true;
        Sleep(ExitPause);
        removeTrayIcon();
        RemovePropW(mainWindow, names::AppProperty);
        // Chosen while the menu's loop runs (a second menu, or a message from
        // another program): that loop may swallow the quit message, so the
        // menu closes first. A dialog's loop ends on the quit message itself.
        if (menuShowing)
            EndMenu();
        PostQuitMessage(0);
    } else if (id == AboutCommand && !busy) {
        MessageBoxW(nullptr, aboutText().c_str(), texts::AboutCaption, MB_OK | MB_ICONINFORMATION);
    } else if (isWindowCommand(id)) {
        executeWindowCommand(wParam);
    }
}

std::wstring TrayApp::aboutText() const {
    std::wstring text = texts::VersionLine;
    text += L"\n";
    text += texts::AboutCredits;
    text += L" \n";
    text += texts::AboutHomePage;
    text += L"\n";
    text += alphaBlendSupported ? texts::AlphaSupported : texts::AlphaUnsupported;
    if (!plugins.empty())
        text += texts::PluginsHeading;
    for (const PluginEntry* plugin : plugins) {
        text += texts::PluginBullet;
        text += plugin->identityText();
    }
    return text;
}

void TrayApp::invalidateCorner() {
    InvalidateRect(mainWindow, nullptr, TRUE);
}

void TrayApp::paintCorner(HDC dc) {
    RECT rc;
    GetClientRect(mainWindow, &rc);
    HBRUSH iconBackground = GetSysColorBrush(COLOR_BTNFACE);
    FillRect(dc, &rc, iconBackground);
    {
        ScopedGdiObject light(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DLIGHT)));
        SelectedObject selected(dc, light.get());
        MoveToEx(dc, rc.left, rc.bottom - 1, nullptr);
        LineTo(dc, rc.left, rc.top);
        LineTo(dc, rc.right - 1, rc.top);
    }
    {
        ScopedGdiObject dark(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW)));
        SelectedObject selected(dc, dark.get());
        LineTo(dc, rc.right - 1, rc.bottom - 1);
        LineTo(dc, rc.left, rc.bottom - 1);
    }
    if (hover) {
        InflateRect(&rc, -2, -2);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_HIGHLIGHT));
        InflateRect(&rc, -1, -1);
        iconBackground = GetSysColorBrush(COLOR_MENUHILIGHT);
        FillRect(dc, &rc, iconBackground);
    }
    RECT client;
    GetClientRect(mainWindow, &client);
    const int inset = MulDiv(CornerIconInset, cornerSize, CornerSize);
    const int iconSize = MulDiv(16, cornerSize, CornerSize);
    DrawIconEx(dc, client.left + inset, client.top + inset, smallIcon, iconSize, iconSize, 0, iconBackground,
               DI_NORMAL);
}
