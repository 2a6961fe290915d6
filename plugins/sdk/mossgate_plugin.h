/*
 * mossgate plugin kit.
 *
 * A plugin is a 32-bit Windows DLL placed in the "plugin" folder beside
 * mossgate.exe. mossgate loads every "*.dll" there at start-up and keeps the
 * ones that export GetPluginIdentify. Exports are looked up by their plain,
 * undecorated names:
 *
 *   GetPluginIdentify  required  stdcall  (key, identity)   called once at load
 *   GetTimerInterval   optional  cdecl    () -> period ms   called once, only if
 *   PluginTimerFunc    optional  stdcall  TIMERPROC         both are exported
 *   StopPlugin         optional  cdecl    ()                called once at exit
 *
 * Keep the key given to GetPluginIdentify: it identifies your plugin when you
 * ask for a balloon by sending MOSSGATE_PLUGIN_BALLOON_MESSAGE with a
 * MossgatePluginNotice to the window your timer procedure receives. Every
 * call happens on mossgate's UI thread.
 *
 * Undecorated names: i686 stdcall functions are exported as "Name@8" unless
 * told otherwise.
 *   MinGW: link with -Wl,--kill-at (or pass a .def file to the linker).
 *   MSVC:  link with /DEF:plugin.def, where plugin.def reads
 *            EXPORTS
 *              GetPluginIdentify
 *              GetTimerInterval
 *              PluginTimerFunc
 *              StopPlugin
 */
#ifndef MOSSGATE_PLUGIN_H
#define MOSSGATE_PLUGIN_H

#include <windows.h>
#include <stddef.h>

#define MOSSGATE_PLUGIN_BALLOON_MESSAGE 2817u
#define MOSSGATE_IDENTITY_SIZE 584u
#define MOSSGATE_IDENTITY_TEXT_CHARS 288
#define MOSSGATE_NOTICE_SIZE 588u
#define MOSSGATE_NOTICE_TITLE_CHARS 32
#define MOSSGATE_NOTICE_TEXT_CHARS 256

#ifdef __cplusplus
extern "C" {
#endif

/* Filled by the plugin in GetPluginIdentify; the host sets size to 584. */
typedef struct MossgatePluginIdentity {
    DWORD size;
    DWORD reserved;
    WCHAR text[MOSSGATE_IDENTITY_TEXT_CHARS]; /* terminated UTF-16 */
} MossgatePluginIdentity;

/* Sent by pointer in lParam of MOSSGATE_PLUGIN_BALLOON_MESSAGE. */
typedef struct MossgatePluginNotice {
    DWORD reserved;
    DWORD displayTime; /* ms; 0 leaves removing the balloon to the shell */
    WCHAR title[MOSSGATE_NOTICE_TITLE_CHARS];
    WCHAR text[MOSSGATE_NOTICE_TEXT_CHARS];
    DWORD key; /* the key your GetPluginIdentify received */
} MossgatePluginNotice;

typedef BOOL(WINAPI* MossgateGetPluginIdentifyFn)(DWORD key, MossgatePluginIdentity* identity);
typedef DWORD (*MossgateGetTimerIntervalFn)(void);
typedef void(CALLBACK* MossgatePluginTimerFn)(HWND window, UINT message, UINT_PTR timerId, DWORD time);
typedef void (*MossgateStopPluginFn)(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#define MOSSGATE_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define MOSSGATE_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

MOSSGATE_STATIC_ASSERT(sizeof(MossgatePluginIdentity) == MOSSGATE_IDENTITY_SIZE,
                       "identity record is 584 bytes");
MOSSGATE_STATIC_ASSERT(offsetof(MossgatePluginIdentity, text) == 8, "identity text starts at byte 8");
MOSSGATE_STATIC_ASSERT(sizeof(MossgatePluginNotice) == MOSSGATE_NOTICE_SIZE, "notice record is 588 bytes");
MOSSGATE_STATIC_ASSERT(offsetof(MossgatePluginNotice, displayTime) == 4, "display time at byte 4");
MOSSGATE_STATIC_ASSERT(offsetof(MossgatePluginNotice, title) == 8, "title at byte 8");
MOSSGATE_STATIC_ASSERT(offsetof(MossgatePluginNotice, text) == 72, "text at byte 72");
MOSSGATE_STATIC_ASSERT(offsetof(MossgatePluginNotice, key) == 584, "key at byte 584");

#endif
