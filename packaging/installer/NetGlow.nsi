; NetGlow's installer and uninstaller.
;   makensis -DVERSION=<x.y.z> -DBUILD_DIR=<build tree> -DOUT_FILE=<setup.exe> NetGlow.nsi
; BUILD_DIR holds NetGlow.exe, NetGlow.chm, ReadMe.txt and res/icons/app.ico.
;
; Switches: /S silent; /D=<folder> (last, unquoted); /AllUsers or
; /CurrentUser; /AUTOSTART writes the Run value in the silent mode too.
; Exit codes: 0 done, 1 cancelled, 2 aborted, 3 silent and NetGlow did not end
; (nothing replaced).

; NetGlow.exe is a 64-bit program; a 64-bit installer also sees the 64-bit
; Program Files, system folder and registry without redirection.
Target amd64-unicode

!ifndef VERSION | BUILD_DIR | OUT_FILE
  !error "define VERSION, BUILD_DIR and OUT_FILE"
!endif

Name "NetGlow"
OutFile "${OUT_FILE}"
; Per user needs no rights; all users elevate on request (see RelaunchElevated).
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS all
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "NetGlow ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "NetGlow"
VIAddVersionKey /LANG=1033 "FileDescription" "NetGlow setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 The NetGlow authors, MIT License"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NetGlow"
; The value the tray menu's "Start with Windows" writes (tray/start_with_windows_win.cpp).
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "NetGlow"
; The program's main window class and its tray menu's Quit (res/resource.h).
!define WINDOW_CLASS "NetGlow"
!define CMD_QUIT 1024
; The exit code of a silent run that found NetGlow running and could not
; end it (1 is a cancel or a refused elevation): winget reads it as "in use".
!define EXIT_IN_USE 3
!define QUIT_WAIT_MS 10000
!define NPCAP_URL "https://npcap.com/#download"
!define LOG_FILE "install.log"
!define NPCAP_MISSING "Npcap is missing: NetGlow cannot watch an adapter until it is installed. Download Npcap from ${NPCAP_URL}; its WinPcap API-compatible mode is not needed (NetGlow looks in Npcap's own folder first)."

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include WinMessages.nsh

!define MUI_ICON "${BUILD_DIR}/res/icons/app.ico"
!define MUI_UNICON "${BUILD_DIR}/res/icons/app.ico"
!define MUI_ABORTWARNING

Var Params
Var AllUsers      ; 1: for all users, into Program Files
Var DirGiven      ; 1: /D= named the folder
Var AutoStart     ; 1: write the Run value
Var AutoStartBox
Var AutoStartShown ; 1: the options page has set $AutoStart once
Var ScopeAllBox
Var WasRunning    ; 1: the copy of this folder was quit, to be started again
Var NpcapMissing  ; 1: neither capture library is in the system folder
Var CaptureLibrary
Var FirstPage     ; the page shown first, which has nothing to go back to

Page custom NpcapPage
Page custom ScopePage ScopePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_SHOW DirectoryPageShow
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
Page custom ClosePage ClosePageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "&Start NetGlow"
!define MUI_FINISHPAGE_RUN_FUNCTION StartNetGlow
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE un.ConfirmLeave
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Functions the installer and the uninstaller both need, once for each.
!macro SHARED_FUNCTIONS UN
  ; Runs this program again elevated with the parameters in $0 (an
  ; uninstaller's "_?=" last), waits for it and ends with its exit code.
  ; Explicit padding keeps the structure's 64-bit layout
  ; (SHELLEXECUTEINFOW, 112 bytes; hProcess at its end).
  Function ${UN}RelaunchElevated
    ; Once only: an elevated copy that is still no administrator's gives up.
    ClearErrors
    ${GetOptions} $CMDLINE "/Relaunched" $1
    ${IfNot} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "Only an administrator can install or remove NetGlow for all users." /SD IDOK
      SetErrorLevel 1
      Quit
    ${EndIf}
    StrCpy $0 "/Relaunched $0"
    System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w r0, p 0, i 1, i 0, \
                   p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .r1'
    System::Call 'shell32::ShellExecuteExW(p r1) i .r2'
    ${If} $2 = 0
      ; Refused at the elevation prompt.
      System::Free $1
      SetErrorLevel 1
      Quit
    ${EndIf}
    System::Call '*$1(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .r3)'
    System::Free $1
    System::Call 'kernel32::WaitForSingleObject(p r3, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p r3, *i .r4)'
    System::Call 'kernel32::CloseHandle(p r3)'
    SetErrorLevel $4
    Quit
  FunctionEnd

  ; Sends the copy of NetGlow that runs from $INSTDIR in this session the
  ; tray menu's Quit, so that it saves its settings as a user's Quit does,
  ; and waits a bounded time for it to end. A copy run from another folder
  ; (a portable one) is left alone. $R0: "none", "ended" or "running".
  Function ${UN}QuitRunningCopy
    Push $0
    Push $1
    Push $2
    Push $3
    StrCpy $R0 none
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 <> 0
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
      ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
      System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r1) p .r2'
      ${If} $2 P<> 0
        System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN})'
        ${If} $3 == "$INSTDIR\NetGlow.exe"
          ; Posted, not sent: a busy copy must not hold the installer. The
          ; registered message passes the filter of an elevated copy; the
          ; menu's command reaches copies from before it.
          System::Call 'user32::RegisterWindowMessageW(w "NetGlow.Quit") i .r3'
          System::Call 'user32::PostMessageW(p r0, i r3, p 0, p 0)'
          System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${CMD_QUIT}, p 0)'
          System::Call 'kernel32::WaitForSingleObject(p r2, i ${QUIT_WAIT_MS}) i .r3'
          ${If} $3 = 0
            StrCpy $R0 ended
          ${Else}
            StrCpy $R0 running
          ${EndIf}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r2)'
      ${EndIf}
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
  FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

!macro NO_BACK_ON_FIRST_PAGE PAGE
  ${If} $FirstPage == ""
    StrCpy $FirstPage "${PAGE}"
  ${EndIf}
  ${If} $FirstPage == "${PAGE}"
    GetDlgItem $0 $HWNDPARENT 3
    EnableWindow $0 0
  ${EndIf}
!macroend

; The folder of the chosen scope, unless /D= named one: an earlier
; installation's, else the default.
Function ApplyScope
  ${If} $AllUsers = 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} $DirGiven = 1
    Return
  ${EndIf}
  ReadRegStr $INSTDIR SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ${If} $AllUsers = 1
    StrCpy $INSTDIR "$PROGRAMFILES64\NetGlow"
  ${Else}
    GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB} ; FOLDERID_UserProgramFiles
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\NetGlow"
  ${EndIf}
FunctionEnd

; All users need an elevated installer: start one with the same switches
; and this folder, and end with its exit code.
Function ElevateForAllUsers
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    Return
  ${EndIf}
  StrCpy $0 "/AllUsers"
  ${If} ${Silent}
    StrCpy $0 "$0 /S"
  ${EndIf}
  ${If} $AutoStart = 1
    StrCpy $0 "$0 /AUTOSTART"
  ${EndIf}
  ${If} $DirGiven = 1
    StrCpy $0 "$0 /D=$INSTDIR"
  ${EndIf}
  ; From the scope page: this installer's window gives way to the other's.
  ${If} $HWNDPARENT P<> 0
    HideWindow
  ${EndIf}
  Call RelaunchElevated
FunctionEnd

Function .onInit
  ; NSIS has set $INSTDIR from /D= before this runs, and from nothing else.
  StrCpy $DirGiven 0
  ${If} $INSTDIR != ""
    StrCpy $DirGiven 1
  ${EndIf}
  ${GetParameters} $Params
  StrCpy $AllUsers 0
  ClearErrors
  ${GetOptions} $Params "/AllUsers" $0
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${Else}
    ; Without a switch an interactive run offers the scope of an earlier
    ; installation for all users that has none of its own for this user.
    ClearErrors
    ${GetOptions} $Params "/CurrentUser" $0
    ${If} ${Errors}
    ${AndIfNot} ${Silent}
      ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
      ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
      ${If} $0 == ""
      ${AndIf} $1 != ""
        StrCpy $AllUsers 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  StrCpy $AutoStart 0
  ClearErrors
  ${GetOptions} $Params "/AUTOSTART" $0
  ${IfNot} ${Errors}
    StrCpy $AutoStart 1
  ${EndIf}
  Call ApplyScope
  ; /AllUsers skips the scope page, where the choice would elevate.
  ${If} $AllUsers = 1
    ClearErrors
    ${GetOptions} $Params "/AllUsers" $0
    ${IfNot} ${Errors}
      Call ElevateForAllUsers
    ${EndIf}
  ${EndIf}

  StrCpy $NpcapMissing 0
  ${If} ${FileExists} "$SYSDIR\Npcap\wpcap.dll"
    StrCpy $CaptureLibrary "$SYSDIR\Npcap\wpcap.dll"
  ${ElseIf} ${FileExists} "$SYSDIR\wpcap.dll"
    StrCpy $CaptureLibrary "$SYSDIR\wpcap.dll"
  ${Else}
    StrCpy $NpcapMissing 1
  ${EndIf}

  StrCpy $WasRunning 0
  ${If} ${Silent}
    Call QuitRunningCopy
    ${If} $R0 == running
      ${If} ${FileExists} "$INSTDIR\*.*"
        FileOpen $0 "$INSTDIR\${LOG_FILE}" a
        FileSeek $0 0 END
        FileWrite $0 "NetGlow ${VERSION} setup$\r$\nNetGlow did not end within 10 seconds of its Quit: nothing was replaced.$\r$\n"
        FileClose $0
      ${EndIf}
      SetErrorLevel ${EXIT_IN_USE}
      Quit
    ${ElseIf} $R0 == ended
      StrCpy $WasRunning 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function NpcapPage
  ${If} $NpcapMissing = 0
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Npcap is missing" "NetGlow needs a packet-capture driver."
  nsDialogs::Create 1018
  Pop $0
  !insertmacro NO_BACK_ON_FIRST_PAGE npcap
  ${NSD_CreateLabel} 0 0 100% 60u "NetGlow watches a network adapter through Npcap, which is not installed on this computer. Setup installs NetGlow anyway. To use it, install Npcap from its download page, then start NetGlow. Npcap's option $\"Install Npcap in WinPcap API-compatible Mode$\" is not needed: NetGlow looks in Npcap's own folder first."
  Pop $0
  ${NSD_CreateLink} 0 66u 100% 12u "${NPCAP_URL}"
  Pop $0
  ${NSD_OnClick} $0 OpenNpcapPage
  nsDialogs::Show
FunctionEnd

Function OpenNpcapPage
  Pop $0
  ExecShell "open" "${NPCAP_URL}"
FunctionEnd

Function ScopePage
  ClearErrors
  ${GetOptions} $Params "/AllUsers" $0
  ${IfNot} ${Errors}
    Abort
  ${EndIf}
  ClearErrors
  ${GetOptions} $Params "/CurrentUser" $0
  ${IfNot} ${Errors}
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Choose users" "Install NetGlow for you alone or for everyone on this computer."
  nsDialogs::Create 1018
  Pop $0
  !insertmacro NO_BACK_ON_FIRST_PAGE scope
  ${NSD_CreateRadioButton} 0 10u 100% 12u "Only for &me (no administrator rights needed)"
  Pop $1
  ${NSD_CreateRadioButton} 0 30u 100% 12u "For &all users of this computer (needs administrator rights)"
  Pop $ScopeAllBox
  ${If} $AllUsers = 1
    ${NSD_Check} $ScopeAllBox
  ${Else}
    ${NSD_Check} $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ScopePageLeave
  ${NSD_GetState} $ScopeAllBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AllUsers 1
    ; An elevated copy takes over from here; this one ends with it.
    Call ElevateForAllUsers
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyScope
FunctionEnd

Function DirectoryPageShow
  !insertmacro NO_BACK_ON_FIRST_PAGE directory
FunctionEnd

; Checked for a new installation and with /AUTOSTART; for an earlier
; installation in this folder, as its Run value stands.
Function OptionsPage
  ${If} $AutoStart = 0
  ${AndIf} $AutoStartShown != 1
    StrCpy $AutoStart 1
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
      Call RunValueNamesThisCopy
      StrCpy $AutoStart $R0
    ${EndIf}
  ${EndIf}
  StrCpy $AutoStartShown 1
  !insertmacro MUI_HEADER_TEXT "Options" "Choose when NetGlow starts."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateCheckbox} 0 10u 100% 12u "Start NetGlow when I &sign in"
  Pop $AutoStartBox
  ${If} $AutoStart = 1
    ${NSD_Check} $AutoStartBox
  ${EndIf}
  ; The last page before the files are copied (the next one shows only
  ; when NetGlow does not end).
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^InstallBtn)"
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${NSD_GetState} $AutoStartBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AutoStart 1
  ${Else}
    StrCpy $AutoStart 0
  ${EndIf}
FunctionEnd

Function ClosePage
  Call QuitRunningCopy
  ${If} $R0 != running
    ${If} $R0 == ended
      StrCpy $WasRunning 1
    ${EndIf}
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "NetGlow is still running" "It must end before its files can be replaced."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 60u "NetGlow did not end within 10 seconds of being asked to quit: it may still be starting, its first Setup open. Answer its Setup, or wait until its icon shows in the notification area, then choose Retry. Cancel leaves NetGlow as it is."
  Pop $0
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:&Retry"
  nsDialogs::Show
FunctionEnd

Function ClosePageLeave
  Call QuitRunningCopy
  ${If} $R0 == running
    Abort
  ${ElseIf} $R0 == ended
    StrCpy $WasRunning 1
  ${EndIf}
FunctionEnd

; $R0: 1 when the Run value names $INSTDIR\NetGlow.exe, quoted or not,
; letters compared without case as the program compares them.
!macro RUN_VALUE_FUNCTION UN
  Function ${UN}RunValueNamesThisCopy
    ReadRegStr $R1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    StrCpy $R0 0
    ${If} $R1 == '"$INSTDIR\NetGlow.exe"'
    ${OrIf} $R1 == "$INSTDIR\NetGlow.exe"
      StrCpy $R0 1
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro RUN_VALUE_FUNCTION ""
!insertmacro RUN_VALUE_FUNCTION "un."

; An installation for all users runs elevated: the program is started by
; the shell's own process, so that it runs as the signed-in user.
Function StartNetGlow
  ${If} $AllUsers = 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\NetGlow.exe"'
  ${Else}
    Exec '"$INSTDIR\NetGlow.exe"'
  ${EndIf}
FunctionEnd

; No offer to start it without a capture library, nor a second start of a
; copy started again already.
Function FinishPageShow
  ${If} $NpcapMissing = 1
  ${OrIf} $WasRunning = 1
    ${NSD_Uncheck} $mui.FinishPage.Run
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
  ${If} $NpcapMissing = 1
    ${NSD_SetText} $mui.FinishPage.Text "NetGlow has been installed on your computer. Install Npcap (${NPCAP_URL}) before you start it; its WinPcap API-compatible mode is not needed.$\r$\n$\r$\nClick Finish to close Setup."
  ${EndIf}
FunctionEnd

; The size of a file in bytes, added to $R2.
!macro ADD_FILE_SIZE FILE
  FileOpen $0 "${FILE}" r
  FileSeek $0 0 END $1
  FileClose $0
  IntOp $R2 $R2 + $1
!macroend

Section "NetGlow"
  SectionIn RO
  SetOutPath "$INSTDIR"
  ; NetGlow.ini and NetGlow.txt, the settings and the log, are never
  ; written here.
  File "${BUILD_DIR}/NetGlow.exe"
  File "${BUILD_DIR}/NetGlow.chm"
  File "${BUILD_DIR}/ReadMe.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\NetGlow.lnk" "$INSTDIR\NetGlow.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "NetGlow"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "NetGlow"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\NetGlow.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  ; In KB, of the files installed here, rounded up.
  StrCpy $R2 0
  !insertmacro ADD_FILE_SIZE "$INSTDIR\NetGlow.exe"
  !insertmacro ADD_FILE_SIZE "$INSTDIR\NetGlow.chm"
  !insertmacro ADD_FILE_SIZE "$INSTDIR\ReadMe.txt"
  !insertmacro ADD_FILE_SIZE "$INSTDIR\Uninstall.exe"
  IntOp $R2 $R2 + 1023
  IntOp $R2 $R2 / 1024
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  ; The silent mode leaves a value the user set from the tray menu alone.
  ${If} $AutoStart = 1
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\NetGlow.exe"'
  ${ElseIfNot} ${Silent}
    Call RunValueNamesThisCopy
    ${If} $R0 = 1
      DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
  ${EndIf}

  ; This NSIS build keeps no log of its own; the silent mode has no other
  ; way to tell what it found.
  FileOpen $0 "$INSTDIR\${LOG_FILE}" a
  FileSeek $0 0 END
  FileWrite $0 "NetGlow ${VERSION} setup$\r$\n"
  ${If} $AllUsers = 1
    FileWrite $0 "Installed for all users in $INSTDIR$\r$\n"
  ${Else}
    FileWrite $0 "Installed for the current user in $INSTDIR$\r$\n"
  ${EndIf}
  ${If} $NpcapMissing = 1
    FileWrite $0 "${NPCAP_MISSING}$\r$\n"
    DetailPrint "${NPCAP_MISSING}"
  ${Else}
    FileWrite $0 "Capture library: $CaptureLibrary$\r$\n"
  ${EndIf}
  ${If} $WasRunning = 1
    FileWrite $0 "NetGlow was running: it quit before its files were replaced and was started again.$\r$\n"
  ${EndIf}
  FileClose $0

  ${If} $WasRunning = 1
    Call StartNetGlow
  ${EndIf}
SectionEnd

Function un.onInit
  ; An installation for all users is the one the machine's key names.
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $AllUsers 1
  ${EndIf}
  ${If} $AllUsers = 1
    SetShellVarContext all
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      ; The copy in the temporary folder runs again, told where to act.
      StrCpy $0 "_?=$INSTDIR"
      ${If} ${Silent}
        StrCpy $0 "/S $0"
      ${EndIf}
      Call un.RelaunchElevated
    ${EndIf}
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ${If} ${Silent}
    Call un.QuitRunningCopy
    ${If} $R0 == running
      SetErrorLevel ${EXIT_IN_USE}
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.ConfirmLeave
  Call un.QuitRunningCopy
  ${DoWhile} $R0 == running
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "NetGlow did not end within 10 seconds of being asked to quit: it may still be starting, its first Setup open.$\r$\n$\r$\nAnswer its Setup, or wait until its icon shows in the notification area, then choose Retry." IDRETRY retry
    Quit
    retry:
    Call un.QuitRunningCopy
  ${Loop}
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\NetGlow.exe"
  Delete "$INSTDIR\NetGlow.chm"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\${LOG_FILE}"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\NetGlow.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ; A value that names another copy belongs to that copy.
  Call un.RunValueNamesThisCopy
  ${If} $R0 = 1
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  MessageBox MB_YESNO|MB_ICONQUESTION "Remove NetGlow's settings and connection log as well?$\r$\n$\r$\nChoose No to keep them for a later installation." /SD IDNO IDNO keep
    Delete "$INSTDIR\NetGlow.ini"
    Delete "$INSTDIR\NetGlow.txt"
    Delete "$INSTDIR\NetGlow.*.txt"
    ; The user's own folder, whichever scope this was.
    SetShellVarContext current
    Delete "$LOCALAPPDATA\NetGlow\NetGlow.ini"
    Delete "$LOCALAPPDATA\NetGlow\NetGlow.txt"
    Delete "$LOCALAPPDATA\NetGlow\NetGlow.*.txt"
    RMDir "$LOCALAPPDATA\NetGlow"
  keep:
  ; Kept while it still holds the settings.
  RMDir "$INSTDIR"
SectionEnd
