; The mossgate installer: per user, no administrator. makensis is given
; VERSION, STAGE (the folder of staged files), OUTFILE and TARGET
; (x86-unicode for the released 32-bit program, amd64-unicode around a
; 64-bit build), and reads this file as UTF-8.
;
; Command-line switches, besides NSIS's own /S (silent) and /D=folder:
;   /NOAUTOSTART   do not start mossgate at sign-in (the option is on by default)

Unicode true
Target ${TARGET}
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS all
SetCompressor /SOLID lzma
SetDateSave on

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT "mossgate"
!define WINDOW_CLASS "mossgate_Wndclass"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\mossgate"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define CLOSE_WAIT 5000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "MIT licence"

!define MUI_ICON "${STAGE}\mossgate.ico"
!define MUI_UNICON "${STAGE}\mossgate.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\mossgate.exe"
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_LICENSE "${STAGE}\mossgate\LICENSE"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer's own pages follow the user's language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString StartAtSignIn ${LANG_ENGLISH} "start mossgate when I sign in"
LangString StartAtSignIn ${LANG_JAPANESE} "サインイン時に mossgate を起動する"
LangString CloseFailed ${LANG_ENGLISH} "mossgate is running and did not end within 5 seconds. Choose Exit in its tray menu, then run this again. Nothing was changed."
LangString CloseFailed ${LANG_JAPANESE} "実行中の mossgate が 5 秒以内に終了しませんでした。トレイアイコンのメニューで「mossgateの終了」を選んでから、もう一度実行してください。何も変更していません。"
LangString CannotWrite ${LANG_ENGLISH} "The folder $INSTDIR cannot be written to. Choose another folder. Nothing was changed."
LangString CannotWrite ${LANG_JAPANESE} "フォルダー $INSTDIR に書き込めません。別のフォルダーを選んでください。何も変更していません。"
LangString OtherInstallation ${LANG_ENGLISH} "mossgate is already installed in $R9. Uninstall it first, or install into that folder. Nothing was changed."
LangString OtherInstallation ${LANG_JAPANESE} "mossgate は既に $R9 にインストールされています。先にアンインストールするか、同じフォルダーにインストールしてください。何も変更していません。"
LangString PluginsKept ${LANG_ENGLISH} "The folder $INSTDIR\plugin holds plugins you added; it was left in place."
LangString PluginsKept ${LANG_JAPANESE} "フォルダー $INSTDIR\plugin には追加したプラグインがあるため、そのまま残しました。"

Var WasRunning

; Ends a running mossgate the way its own Exit does, so that every window it
; hid is shown again: WM_CLOSE to its window, then up to 5 seconds for the
; process to end. It is never killed; if it does not end, nothing changes.
!macro CLOSE_RUNNING un
Function ${un}CloseRunning
    StrCpy $WasRunning 0
    FindWindow $0 "${WINDOW_CLASS}" ""
    ${If} $0 == 0
        Return
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2' ; SYNCHRONIZE
    System::Call 'user32::PostMessageW(p r0, i 0x0010, p 0, p 0) i' ; WM_CLOSE
    StrCpy $3 1
    ${If} $2 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT}) i .r3'
        System::Call 'kernel32::CloseHandle(p r2) i'
    ${Else}
        ; No handle to wait on: wait for the window to go.
        ${For} $4 1 50
            Sleep 100
            FindWindow $0 "${WINDOW_CLASS}" ""
            ${If} $0 == 0
                StrCpy $3 0
                ${ExitFor}
            ${EndIf}
        ${Next}
    ${EndIf}
    ; Its guardian, the same executable, ends just after it; the file is
    ; free to replace once both have gone.
    ${If} $3 == 0
        StrCpy $3 1
        ${For} $4 1 50
            ClearErrors
            FileOpen $5 "$INSTDIR\mossgate.exe" a
            ${IfNot} ${Errors}
                FileClose $5
                StrCpy $3 0
                ${ExitFor}
            ${EndIf}
            Sleep 100
        ${Next}
    ${EndIf}
    ${If} $3 != 0
        MessageBox MB_ICONSTOP|MB_OK "$(CloseFailed)" /SD IDOK
        SetErrorLevel 3
        Quit
    ${EndIf}
    StrCpy $WasRunning 1
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

; Everything that can refuse is checked before anything is changed.
Section "-checks"
    ; A /D= folder that NSIS itself finds unusable (its drive is missing, a
    ; file stands in its way) is replaced by the default without a word;
    ; that is a folder this cannot write to. /D= always comes last.
    System::Call 'kernel32::GetCommandLineW() t .r0'
    StrLen $2 $0
    StrCpy $1 ""
    ${For} $3 0 $2
        StrCpy $4 $0 4 $3
        ${If} $4 == " /D="
            IntOp $3 $3 + 4
            StrCpy $1 $0 "" $3
            ${ExitFor}
        ${EndIf}
    ${Next}
    ${If} $1 != ""
    ${AndIf} $1 != $INSTDIR
        StrCpy $INSTDIR $1
        MessageBox MB_ICONSTOP|MB_OK "$(CannotWrite)" /SD IDOK
        SetErrorLevel 5
        Quit
    ${EndIf}
    ReadRegStr $R9 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R9 != ""
    ${AndIf} $R9 != $INSTDIR
    ${AndIf} ${FileExists} "$R9\mossgate.exe"
        MessageBox MB_ICONSTOP|MB_OK "$(OtherInstallation)" /SD IDOK
        SetErrorLevel 4
        Quit
    ${EndIf}
    StrCpy $R8 0
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
        StrCpy $R8 1 ; made here: removed again if nothing else goes in
    ${EndIf}
    ClearErrors
    CreateDirectory "$INSTDIR"
    FileOpen $0 "$INSTDIR\mossgate-setup.tmp" w
    ${If} ${Errors}
        ${If} $R8 == 1
            RMDir "$INSTDIR"
        ${EndIf}
        MessageBox MB_ICONSTOP|MB_OK "$(CannotWrite)" /SD IDOK
        SetErrorLevel 5
        Quit
    ${EndIf}
    FileClose $0
    Delete "$INSTDIR\mossgate-setup.tmp"
    ${If} $R8 == 1
        RMDir "$INSTDIR"
    ${EndIf}
    Call CloseRunning
SectionEnd

Section "mossgate" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}\mossgate\mossgate.exe"
    File "${STAGE}\mossgate\README.md"
    File "${STAGE}\mossgate\LICENSE"
    CreateDirectory "$INSTDIR\plugin"
    SetOutPath "$INSTDIR\sdk"
    File "${STAGE}\mossgate\sdk\plugins.md"
    File "${STAGE}\mossgate\sdk\mossgate_plugin.h"
    SetOutPath "$INSTDIR\sdk\example"
    File "${STAGE}\mossgate\sdk\example\hello_plugin.c"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\mossgate.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\mossgate.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "the mossgate developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(StartAtSignIn)" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\mossgate.exe"'
SectionEnd

Section "-restart"
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}
    ; An upgrade over a running mossgate starts the new one.
    ${If} $WasRunning == 1
        Exec '"$INSTDIR\mossgate.exe"'
    ${EndIf}
SectionEnd

Section "Uninstall"
    Call un.CloseRunning
    Delete "$INSTDIR\mossgate.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\sdk\plugins.md"
    Delete "$INSTDIR\sdk\mossgate_plugin.h"
    Delete "$INSTDIR\sdk\example\hello_plugin.c"
    RMDir "$INSTDIR\sdk\example"
    RMDir "$INSTDIR\sdk"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $0 == '"$INSTDIR\mossgate.exe"'
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Delete "$INSTDIR\uninstall.exe"
    ; A plugin folder the user filled stays, and the user is told.
    RMDir "$INSTDIR\plugin"
    ${If} ${FileExists} "$INSTDIR\plugin\*.*"
        MessageBox MB_ICONINFORMATION|MB_OK "$(PluginsKept)" /SD IDOK
    ${EndIf}
    RMDir "$INSTDIR"
SectionEnd

Function .onInit
    ; The documented switch that leaves starting at sign-in off.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOAUTOSTART" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecAutostart} 0
    ${EndIf}
FunctionEnd
