/* Example mossgate plugin: says hello in a balloon once a minute. */
#include "mossgate_plugin.h"

static DWORD pluginKey;

__declspec(dllexport) BOOL WINAPI GetPluginIdentify(DWORD key, MossgatePluginIdentity* identity) {
    pluginKey = key;
    lstrcpynW(identity->text, L"hello plugin 1.0 (balloon every minute)", MOSSGATE_IDENTITY_TEXT_CHARS);
    return TRUE;
}

__declspec(dllexport) DWORD GetTimerInterval(void) {
    return 60 * 1000;
}

__declspec(dllexport) void CALLBACK PluginTimerFunc(HWND window, UINT message, UINT_PTR timerId, DWORD time) {
    (void)message;
    (void)timerId;
    (void)time;
    MossgatePluginNotice notice;
    ZeroMemory(&notice, sizeof(notice));
    notice.displayTime = 5000;
    lstrcpynW(notice.title, L"hello", MOSSGATE_NOTICE_TITLE_CHARS);
    lstrcpynW(notice.text, L"mossgate plugin says hello.", MOSSGATE_NOTICE_TEXT_CHARS);
    notice.key = pluginKey;
    /* Sent, not posted: the notice lives on this stack. */
    SendMessageW(window, MOSSGATE_PLUGIN_BALLOON_MESSAGE, 0, (LPARAM)&notice);
}

__declspec(dllexport) void StopPlugin(void) {}
