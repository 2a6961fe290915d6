#include <gtest/gtest.h>

#include "app/Names.h"
#include "support/TestSupport.h"

namespace {

TEST(TrayRecord, TipIsCutAt127Characters) {
    BareApp app;
    app->tipText = std::wstring(200, L't');
    app->fillTrayRecord();
    EXPECT_EQ(app->trayData.cbSize, NOTIFYICONDATAW_V2_SIZE);
#ifndef _WIN64
    EXPECT_EQ(app->trayData.cbSize, 936u);
#endif
    EXPECT_EQ(app->trayData.uID, TrayIconId);
    EXPECT_EQ(app->trayData.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(app->trayData.uCallbackMessage, TrayCallbackMessage);
    EXPECT_EQ(std::wstring(app->trayData.szTip), std::wstring(127, L't'));
}

TEST(TrayRecord, BalloonTextAndTitleAreCut) {
    BareApp app;
    const NOTIFYICONDATAW record = app->balloonRecord(std::wstring(300, L'x'), std::wstring(100, L'y'), 6000);
    EXPECT_EQ(std::wstring(record.szInfo), std::wstring(255, L'x'));
    EXPECT_EQ(std::wstring(record.szInfoTitle), std::wstring(63, L'y'));
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_ICON | NIF_INFO));
    EXPECT_EQ(record.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(record.uTimeout, 6000u);
    EXPECT_EQ(record.szTip[0], L'\0');
}

int balloonTimerFirings = 0;
LRESULT CALLBACK countBalloonTimer(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code >= 0 && message->message == WM_TIMER && message->wParam == BalloonTimer)
        ++balloonTimerFirings;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Balloon, TimerFiresOnceAndClearsTheBalloon) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, countBalloonTimer, nullptr, GetCurrentThreadId());
    balloonTimerFirings = 0;
    app->showBalloon(L"short balloon", L"mossgate", 50);
    pumpMessages(400);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(balloonTimerFirings, 1) << "armed with the display time, killed when it fires";
}

struct NoticeCase {
    const char* name;
    DWORD key;
    std::wstring title;
    bool shown;
    std::wstring expectedTitle;
};

TEST(PluginBalloon, MatchesTheKeyAndPrefixesTheTitle) {
    BareApp app;
    PluginEntry first, second;
    first.loadTick = 1111;
    second.loadTick = 2222;
    app->plugins = {&first, &second};
    const NoticeCase cases[] = {
        {"second plugin", 2222, L"hello", true, L"mossgate - hello"},
        {"31 characters", 1111, std::wstring(31, L'k'), true, L"mossgate - " + std::wstring(31, L'k')},
        {"empty title", 1111, L"", true, L"mossgate - "},
        {"unknown key", 3333, L"hello", false, L""},
    };
    for (const NoticeCase& c : cases) {
        SCOPED_TRACE(c.name);
        MossgatePluginNotice notice{};
        notice.displayTime = 1234;
        notice.key = c.key;
        lstrcpyW(notice.title, c.title.c_str());
        lstrcpyW(notice.text, L"notice text");
        PluginBalloon balloon;
        ASSERT_EQ(app->pluginBalloon(reinterpret_cast<LPARAM>(&notice), balloon), c.shown);
        if (c.shown) {
            EXPECT_EQ(balloon.title, c.expectedTitle);
            EXPECT_EQ(balloon.text, L"notice text");
            EXPECT_EQ(balloon.time, 1234u);
        }
    }
    app->plugins.clear();
    MossgatePluginNotice notice{};
    notice.key = 1111;
    PluginBalloon balloon;
    EXPECT_FALSE(app->pluginBalloon(reinterpret_cast<LPARAM>(&notice), balloon)) << "no plugins, no balloon";
}

TEST(PluginBalloon, BadPointersAreIgnoredAndTextsNeverOverrun) {
    BareApp app;
    PluginEntry plugin;
    plugin.loadTick = 77;
    app->plugins = {&plugin};

    // Two pages, the second inaccessible: a notice ending exactly at the
    // first page's end, with no terminators anywhere.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old = 0;
    VirtualProtect(pages + page, page, PAGE_NOACCESS, &old);
    auto* notice = reinterpret_cast<MossgatePluginNotice*>(pages + page - sizeof(MossgatePluginNotice));
    for (WCHAR& ch : notice->title)
        ch = L'T';
    for (WCHAR& ch : notice->text)
        ch = L'X';
    notice->key = 77;
    PluginBalloon balloon;
    ASSERT_TRUE(app->pluginBalloon(reinterpret_cast<LPARAM>(notice), balloon));
    EXPECT_EQ(balloon.title, L"mossgate - " + std::wstring(32, L'T'));
    EXPECT_EQ(balloon.text, std::wstring(256, L'X'));

    const LPARAM bad[] = {
        0,
        0x10,
        reinterpret_cast<LPARAM>(pages + page),              // inaccessible
        reinterpret_cast<LPARAM>(pages + page - 100),        // runs into the inaccessible page
        static_cast<LPARAM>(~static_cast<ULONG_PTR>(0) - 4), // wraps around
    };
    for (LPARAM pointer : bad) {
        SCOPED_TRACE(pointer);
        EXPECT_FALSE(app->pluginBalloon(pointer, balloon));
    }
    VirtualFree(pages, 0, MEM_RELEASE);
    EXPECT_FALSE(app->pluginBalloon(reinterpret_cast<LPARAM>(notice), balloon)) << "freed memory";
    app->plugins.clear();
}

TEST(PluginBalloon, HostileMessagesLeaveTheWindowAnswering) {
    AppUnderTest app;
    ASSERT_TRUE(app.start());
    PluginEntry plugin;
    plugin.loadTick = 5;
    app->plugins.push_back(&plugin);
    for (LPARAM pointer : {LPARAM(0), LPARAM(1), LPARAM(0x7FFF0000), LPARAM(-1)})
        SendMessageW(app->mainWindow, PluginBalloonMessage, 0, pointer);
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(app->mainWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
    app->plugins.clear();
}

} // namespace
