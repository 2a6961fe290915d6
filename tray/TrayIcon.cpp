#include "app/Names.h"
#include "app/ReadableMemory.h"
#include "app/Texts.h"
#include "app/TrayApp.h"

#include <algorithm>
#include <cwchar>

namespace {

// The Windows 2000 layout: the record without its trailing guidItem.
constexpr DWORD TrayRecordSize = NOTIFYICONDATAW_V2_SIZE;
#ifndef _WIN64
static_assert(TrayRecordSize == 936);
#endif

template <size_t N> void copyCut(wchar_t (&field)[N], const std::wstring& text) {
    const size_t length = std::min(text.size(), N - 1);
    wmemcpy(field, text.data(), length);
    field[length] = L'\0';
}

template <size_t N> std::wstring boundedText(const WCHAR (&field)[N]) {
    return std::wstring(field, wcsnlen(field, N));
}

} // namespace

void TrayApp::fillTrayRecord() {
    trayData.cbSize = TrayRecordSize;
    trayData.hWnd = mainWindow;
    trayData.uID = TrayIconId;
    trayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayData.uCallbackMessage = TrayCallbackMessage;
    trayData.hIcon = trayIcon ? trayIcon : smallIcon;
    copyCut(trayData.szTip, tipText);
}

bool TrayApp::addTrayIcon() {
    fillTrayRecord();
    if (Shell_NotifyIconW(NIM_ADD, &trayData))
        return true;
    return Shell_NotifyIconW(NIM_MODIFY, &trayData) != FALSE;
}

bool TrayApp::removeTrayIcon() {
    return Shell_NotifyIconW(NIM_DELETE, &trayData) != FALSE;
}

NOTIFYICONDATAW TrayApp::balloonRecord(const std::wstring& text, const std::wstring& title,
                                       DWORD time) const {
    NOTIFYICONDATAW balloon;
    ZeroMemory(&balloon, sizeof(balloon));
    balloon.cbSize = TrayRecordSize;
    balloon.hWnd = mainWindow;
    balloon.uID = TrayIconId;
    balloon.uFlags = NIF_ICON | NIF_INFO;
    balloon.hIcon = trayIcon ? trayIcon : smallIcon;
    copyCut(balloon.szInfo, text);
    balloon.uTimeout = time;
    copyCut(balloon.szInfoTitle, title);
    balloon.dwInfoFlags = NIIF_INFO;
    return balloon;
}

bool TrayApp::showBalloon(const std::wstring& text, const std::wstring& title, DWORD time) {
    NOTIFYICONDATAW balloon = balloonRecord(text, title, time);
    const bool shown = Shell_NotifyIconW(NIM_MODIFY, &balloon) != FALSE;
    if (time != 0)
        SetTimer(mainWindow, BalloonTimer, time, nullptr);
    return shown;
}

bool TrayApp::setTrayTip(const std::wstring& text) {
    tipText = text;
    return addTrayIcon();
}

bool TrayApp::pluginBalloon(LPARAM lParam, PluginBalloon& balloon) const {
    if (plugins.empty())
        return false;
    const auto* source = reinterpret_cast<const MossgatePluginNotice*>(lParam);
    if (!isReadableMemory(source, sizeof(MossgatePluginNotice)))
        return false;
    MossgatePluginNotice notice;
    memcpy(&notice, source, sizeof(notice));
    for (const PluginEntry* plugin : plugins) {
        if (plugin->loadTick == notice.key) {
            balloon.text = boundedText(notice.text);
            balloon.title = texts::PluginTitlePrefix + boundedText(notice.title);
            balloon.time = notice.displayTime;
            return true;
        }
    }
    return false;
}

void TrayApp::onPluginBalloon(LPARAM lParam) {
    PluginBalloon balloon;
    if (pluginBalloon(lParam, balloon))
        showBalloon(balloon.text, balloon.title, balloon.time);
}
