#pragma once
// Every text the user sees, exactly as the product's documents give it.

namespace texts {

inline constexpr wchar_t ProductName[] = L"mossgate";
inline constexpr wchar_t VersionLine[] = L"mossgate v0.37.12";
inline constexpr wchar_t AboutCaption[] = L"about mossgate";
inline constexpr wchar_t AboutCredits[] = L"Written by the mossgate developers, 2025-2026.";
inline constexpr wchar_t AboutHomePage[] = L"https://mossgate.example.org/";
inline constexpr wchar_t AlphaSupported[] = L"Your OS supports Alphablend function.";
inline constexpr wchar_t AlphaUnsupported[] = L"Your OS doesn't support Alphablend function.";
inline constexpr wchar_t PluginsHeading[] = L"\n\nand following plugin(s) are loaded:";
inline constexpr wchar_t PluginBullet[] = L"\n  * ";

inline constexpr wchar_t NoVisibleWindow[] = L"(no visible window)";
inline constexpr wchar_t ActionHide[] = L"非表示";
inline constexpr wchar_t ActionTopmost[] = L"最前面表示";
inline constexpr wchar_t ActionTranslucent[] = L"半透明化表示";
inline constexpr wchar_t ActionFullScreen[] = L"全画面表示";
inline constexpr wchar_t ActionMoveToOrigin[] = L"(0, 0)に移動";
inline constexpr wchar_t TaskbarTranslucent[] = L"半透明表示";

inline constexpr wchar_t PowerSchemeItem[] = L"電源スキーム切り替え";
inline constexpr wchar_t TaskbarItem[] = L"タスクバー";
inline constexpr wchar_t AboutItem[] = L"バージョン情報...";
inline constexpr wchar_t ExitItem[] = L"mossgateの終了";
inline constexpr wchar_t CaptionEllipsis[] = L" ...";

inline constexpr wchar_t SwitchBalloon[] = L"デスクトップを切り替えました。";
inline constexpr wchar_t HiddenCountBalloon[] = L"現在%d個の非表示ウィンドウを保持しています。";
inline constexpr wchar_t PluginTitlePrefix[] = L"mossgate - ";
inline constexpr wchar_t AdminWindowBalloon[] =
    L"管理者として実行中のプログラムのウィンドウは操作できません。";
inline constexpr wchar_t NotRespondingBalloon[] =
    L"このウィンドウは応答していません。前の操作が終わるまでお待ちください。";

inline constexpr wchar_t NotPluginBefore[] = L"plugin ディレクトリにある ";
inline constexpr wchar_t NotPluginAfter[] = L" は mossgate plugin ではありません。";
inline constexpr wchar_t PluginLoaderCaption[] = L"mossgate plugin loader";

} // namespace texts
