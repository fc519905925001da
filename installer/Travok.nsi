; Travok's installer and uninstaller. cmake/Dist.cmake builds it with makensis and
; passes VERSION, STAGE (the folder of the files to install), FILES (their list),
; ICON and OUTFILE, and X64 for the 64-bit build's installer.
;   setup.exe [/S] [/AllUsers | /CurrentUser] [/D=folder]
; Per machine by default (Program Files), per user on the install mode page or with
; /CurrentUser (the user's own programs folder). Setup starts without elevation; only a
; per-machine install or uninstall asks Windows for it, by starting itself again elevated.
; Exit codes: 0 done, 1 cancelled, 2 the other build is installed, 3 Travok is running
; from the folder, 4 administrator rights needed and not given, 5 the folder cannot be
; made administrators-only, 3010 done once Windows restarts. A silent run that stops
; says why in a line of %TEMP%\Travok-setup.log.
!ifdef X64
  ; A 64-bit installer sees the 64-bit Program Files folder and registry view as they
  ; are, where a 32-bit one is redirected to the 32-bit ones.
  Target amd64-unicode
!else
  Unicode true
!endif
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include StrFunc.nsh
${Using:StrFunc} StrStr
${Using:StrFunc} UnStrStr
!include ${FILES}

!define PROGID "Travok.Application"
!define CLSID "{7C3B5A10-4E2F-11D4-8B91-00A0C95E3D27}"
!define PUBLISHER "the Travok project"
; Each build has an Apps entry of its own, so that either can tell the other is there:
; HKEY_CURRENT_USER's Uninstall key is the same in both registry views.
!define UNINSTALL_KEYS "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!ifdef X64
  !define APPS_KEY "${UNINSTALL_KEYS}\Travok-x64"
  !define DISPLAY_NAME "Travok (64-bit)"
  !define OTHER_APPS_KEY "${UNINSTALL_KEYS}\Travok"
  !define OTHER_NAME "Travok (32-bit)"
!else
  !define APPS_KEY "${UNINSTALL_KEYS}\Travok"
  !define DISPLAY_NAME "Travok"
  !define OTHER_APPS_KEY "${UNINSTALL_KEYS}\Travok-x64"
  !define OTHER_NAME "Travok (64-bit)"
!endif

Name "Travok"
OutFile "${OUTFILE}"
BrandingText "Travok ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey ProductName "Travok"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Travok Setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "MIT License, ${PUBLISHER}"

; The install mode, its folder and the elevation are decided here rather than by
; MultiUser.nsh, which can only ask for elevation at launch for every mode. Windows
; starts setup as its caller is (NSIS would otherwise ask for administrator rights).
RequestExecutionLevel user
!include nsDialogs.nsh
!include WinMessages.nsh
; The mode page's texts from NSIS's language files.
!define MULTIUSER_INSTALLMODEPAGE
!define EXIT_OTHER_BUILD 2
!define EXIT_RUNNING 3
!define EXIT_NEEDS_ADMIN 4
!define EXIT_FOLDER_NOT_SECURED 5
!define EXIT_REBOOT 3010
; SHELLEXECUTEINFOW as the System plug-in lays it out: it packs a structure, so the
; 64-bit layout spells out its padding.
!ifdef X64
  !define SEI_SIZE 112
  !define SEI_PAD "i 0,"
!else
  !define SEI_SIZE 60
  !define SEI_PAD ""
!endif
; The folder's access list for all users' installs: protected from the parent's,
; Administrators and SYSTEM in full, Users read and execute; owned by Administrators,
; so that no ordinary user keeps the owner's right to change it.
!define MACHINE_FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

Var installMode   ; "AllUsers" or "CurrentUser"
Var machineDir    ; the folder of an install for all users, "" when none
Var userDir       ; the folder of this user's own install, "" when none
Var elevated      ; 1 when this process holds administrator rights
Var relaunched    ; 1 in the elevated copy that a setup or uninstaller started
Var modePage
Var modeAllUsers
Var modeCurrentUser

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The elevated copy goes on from the folder: its user has seen and chosen the rest.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenRelaunched
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenRelaunched
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE"
Page custom ModePageShow ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartTravokAsUser
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The last resort for a file that cannot go now: it goes when Windows restarts.
!macro RemoveFile name
  Delete "$INSTDIR\${name}"
  ${If} ${FileExists} "$INSTDIR\${name}"
    Delete /REBOOTOK "$INSTDIR\${name}"
  ${EndIf}
!macroend

; The registry view of this build's programs: the 64-bit one for the 64-bit build.
!macro UseOwnRegView
  !ifdef X64
    SetRegView 64
  !else
    SetRegView default
  !endif
!macroend

; One build at a time: both register the same ProgID and class, so uninstalling either
; would take the server away from the other. Setup stops, changing nothing, while the
; other build is installed for all users or for this one.
Function RefuseOtherBuild
  StrCpy $R0 ""
  !ifdef X64
    SetRegView 32
    ReadRegStr $R0 HKLM "${OTHER_APPS_KEY}" "InstallLocation"
  !else
    ; 32-bit Windows has no 64-bit view, and no 64-bit Travok.
    ${If} ${RunningX64}
      SetRegView 64
      ReadRegStr $R0 HKLM "${OTHER_APPS_KEY}" "InstallLocation"
    ${EndIf}
  !endif
  !insertmacro UseOwnRegView
  ${If} $R0 == ""
    ReadRegStr $R0 HKCU "${OTHER_APPS_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $R0 != ""
    MessageBox MB_OK|MB_ICONSTOP "${OTHER_NAME} is installed in $R0.$\r$\n$\r$\nUninstall it first (from Apps, or with its Uninstall.exe), then run this setup again." /SD IDOK
    SetErrorLevel ${EXIT_OTHER_BUILD}
    Quit
  ${EndIf}
FunctionEnd

; --- Shared by setup and uninstaller: the log, elevation and running programs ---

!macro SharedFunctions UN
; Appends a line to %TEMP%\Travok-setup.log when silent, where no message box shows.
Function ${UN}LogLine
  Exch $R0
  ${If} ${Silent}
    Push $R1
    Push $R2
    Push $R3
    Push $R4
    Push $R5
    Push $R6
    Push $R7
    ${${UN}GetTime} "" "L" $R1 $R2 $R3 $R4 $R5 $R6 $R7
    Push $R1
    FileOpen $R1 "$TEMP\Travok-setup.log" a
    FileSeek $R1 0 END
    Pop $R7
    FileWrite $R1 "$R3-$R2-$R7 $R5:$R6 $EXEFILE: $R0$\r$\n"
    FileClose $R1
    Pop $R7
    Pop $R6
    Pop $R5
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R1
  ${EndIf}
  Pop $R0
FunctionEnd

; Sets $elevated: 1 when the process's token is elevated (an administrator whom UAC
; has let through, or one with UAC off), else 0 (a standard user, or an administrator
; that Windows started with the limited token).
Function ${UN}ReadElevation
  Push $0
  Push $1
  StrCpy $elevated 0
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r0)i .r1' ; TOKEN_QUERY
  ${If} $1 != 0
    System::Call 'advapi32::GetTokenInformation(p r0, i 20, *i .r1, i 4, *i)i' ; TokenElevation
    ${If} $1 = 1
      StrCpy $elevated 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Starts this program again with the "runas" verb, so that Windows asks for elevation
; (an administrator confirms, a standard user gives an administrator's password),
; waits for it and quits with its exit code. Returns only when it was not started,
; with the Win32 error in $R0 (1223: the user said no).
; Stack: the parameters for the elevated copy.
Function ${UN}RunElevated
  Exch $R1
  Push $R2
  Push $R3
  System::Call '*(i ${SEI_SIZE}, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w R1, p 0, i 1, ${SEI_PAD} p 0, p 0, p 0, p 0, i 0, ${SEI_PAD} p 0, p 0)p .R2'
  System::Call 'shell32::ShellExecuteExW(p R2)i .R3 ?e'
  Pop $R0
  ${If} $R3 != 0
    System::Call '*$R2(i, i, p, p, p, p, p, i, ${SEI_PAD} p, p, p, p, i, ${SEI_PAD} p, p .R3)'
    System::Free $R2
    HideWindow
    System::Call 'kernel32::WaitForSingleObject(p R3, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p R3, *i .R0)'
    System::Call 'kernel32::CloseHandle(p R3)'
    SetErrorLevel $R0
    Quit
  ${EndIf}
  System::Free $R2
  Pop $R3
  Pop $R2
  Pop $R1
FunctionEnd

; Sets $R0 to the names of the programs that run now from $INSTDIR, "" when none. Each
; process's image is compared by its short path, as the folder is: either may have been
; given in the long form.
Function ${UN}FindRunningPrograms
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $R0 ""
  GetFullPathName /SHORT $5 "$INSTDIR"
  System::Call 'kernel32::GetCurrentProcessId()i .r6'
  System::Alloc 16384
  Pop $0
  System::Call 'kernel32::K32EnumProcesses(p r0, i 16384, *i .r1)i .r2'
  ${If} $2 != 0
  ${AndIf} $5 != ""
    IntOp $1 $1 / 4
    StrCpy $2 0
    ${DoWhile} $2 < $1
      IntOp $3 $2 * 4
      IntPtrOp $3 $0 + $3
      System::Call '*$3(i .r3)'
      IntOp $2 $2 + 1
      ${If} $3 = $6
        ${Continue}
      ${EndIf}
      System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r3)p .r4' ; PROCESS_QUERY_LIMITED_INFORMATION
      ${If} $4 P<> 0
        System::Call 'kernel32::QueryFullProcessImageNameW(p r4, i 0, w .r3, *i ${NSIS_MAX_STRLEN})i'
        System::Call 'kernel32::CloseHandle(p r4)'
        GetFullPathName /SHORT $4 "$3"
        ${GetParent} $4 $4
        ${If} $4 == $5
          ${GetFileName} $3 $3
          ${If} $R0 == ""
            StrCpy $R0 $3
          ${Else}
            StrCpy $R0 "$R0, $3"
          ${EndIf}
        ${EndIf}
      ${EndIf}
    ${Loop}
  ${EndIf}
  System::Free $0
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Windows can neither replace nor delete a running program: asks the user to close the
; ones that run from $INSTDIR, with Retry and Cancel. Cancel (and a silent run, which
; cannot ask) ends setup with EXIT_RUNNING before anything has changed.
Function ${UN}CloseRunningPrograms
  Push $R0
  ${Do}
    Call ${UN}FindRunningPrograms
    ${If} $R0 == ""
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Travok is running from $INSTDIR ($R0).$\r$\n$\r$\nClose every Travok window, and end the scripts that use Travok, then choose Retry." /SD IDCANCEL IDRETRY +2
    Goto cancelled
  ${Loop}
  Pop $R0
  Return
cancelled:
  Push "stopped: Travok is running from $INSTDIR ($R0); nothing was changed"
  Call ${UN}LogLine
  SetErrorLevel ${EXIT_RUNNING}
  Quit
FunctionEnd
!macroend

!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; Sets the mode, the shell folders and (unless /D= gave one) the folder.
Function UseAllUsers
  StrCpy $installMode AllUsers
  SetShellVarContext all
  ${If} $machineDir != ""
    StrCpy $INSTDIR $machineDir
  ${Else}
    !ifdef X64
      StrCpy $INSTDIR "$PROGRAMFILES64\Travok"
    !else
      StrCpy $INSTDIR "$PROGRAMFILES\Travok"
    !endif
  ${EndIf}
FunctionEnd

Function UseCurrentUser
  StrCpy $installMode CurrentUser
  SetShellVarContext current
  ${If} $userDir != ""
    StrCpy $INSTDIR $userDir
  ${Else}
    GetKnownFolderPath $INSTDIR {5CD7AEE2-2219-4A67-B85D-6C9CE15660CB} ; FOLDERID_UserProgramFiles
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\Travok"
  ${EndIf}
FunctionEnd

; An install for all users can only be upgraded where it is, for all users: a second
; copy just for this user would shadow it. Stops, changing nothing, when asked for that.
Function RefuseSecondCopy
  MessageBox MB_OK|MB_ICONSTOP "Travok is installed for all users of this computer, in $machineDir.$\r$\n$\r$\nAn upgrade replaces it there, for all users, which needs an administrator. Run this setup again and choose $\"For all users$\", or ask an administrator to run it." /SD IDOK
  Push "stopped: Travok is installed for all users in $machineDir; a copy just for this user was refused"
  Call LogLine
  SetErrorLevel ${EXIT_NEEDS_ADMIN}
  Quit
FunctionEnd

; For all users without administrator rights: starts this setup again elevated, with
; the mode and folder decided here, and ends with its exit code. When Windows does not
; start it, or the elevated copy still has no rights, says so and changes nothing:
; returns (to the mode page) when interactive, else ends with EXIT_NEEDS_ADMIN.
Function ElevateForAllUsers
  ${If} $elevated == 1
    Return
  ${EndIf}
  StrCpy $R0 0
  ${If} $relaunched != 1
    ${If} ${Silent}
      Push "/S /AllUsers /Relaunched /D=$INSTDIR"
    ${Else}
      Push "/AllUsers /Relaunched /D=$INSTDIR"
    ${EndIf}
    Call RunElevated
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "Installing Travok for all users of this computer needs an administrator, and Windows did not grant administrator rights (error $R0). Nothing was changed.$\r$\n$\r$\nChoose $\"Just for me$\", or ask an administrator to run this setup." /SD IDOK
  ${If} ${Silent}
  ${OrIf} $relaunched == 1
    Push "stopped: installing for all users needs administrator rights, which Windows did not grant (error $R0); nothing was changed"
    Call LogLine
    SetErrorLevel ${EXIT_NEEDS_ADMIN}
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro UseOwnRegView
  Call RefuseOtherBuild
  Call ReadElevation
  ReadRegStr $machineDir HKLM "${APPS_KEY}" "InstallLocation"
  ReadRegStr $userDir HKCU "${APPS_KEY}" "InstallLocation"
  ; /D= has set the folder already; the install mode would put its default over it.
  StrCpy $R2 $INSTDIR
  ${GetParameters} $R0
  ${StrStr} $R1 $R0 "/Relaunched"
  ${If} $R1 != ""
    StrCpy $relaunched 1
  ${EndIf}
  ; An earlier install decides the mode: an upgrade goes where the older version is.
  ${If} $machineDir != ""
    Call UseAllUsers
  ${ElseIf} $userDir != ""
    Call UseCurrentUser
  ${ElseIf} $elevated == 1
  ${OrIf} ${Silent}
    Call UseAllUsers
  ${Else}
    ; Offered first to whoever can elevate: an administrator with the limited token.
    System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r0)i .r1'
    System::Call 'advapi32::GetTokenInformation(p r0, i 18, *i .r1, i 4, *i)i' ; TokenElevationType
    System::Call 'kernel32::CloseHandle(p r0)'
    ${If} $1 = 3 ; TokenElevationTypeLimited
      Call UseAllUsers
    ${Else}
      Call UseCurrentUser
    ${EndIf}
  ${EndIf}
  ${StrStr} $R1 $R0 "/CurrentUser"
  ${If} $R1 != ""
    ${If} $machineDir != ""
      Call RefuseSecondCopy
    ${EndIf}
    Call UseCurrentUser
  ${EndIf}
  ${StrStr} $R1 $R0 "/AllUsers"
  ${If} $R1 != ""
    Call UseAllUsers
  ${EndIf}
  ${If} $R2 != ""
    StrCpy $INSTDIR $R2
  ${EndIf}
  ; A silent setup cannot ask on a page: it elevates now. The interactive one does so
  ; when the mode page is left; its elevated copy, which skips that page, checks here.
  ${If} $installMode == AllUsers
    ${If} ${Silent}
    ${OrIf} $relaunched == 1
      Call ElevateForAllUsers
    ${EndIf}
  ${EndIf}
FunctionEnd

Function SkipWhenRelaunched
  ${If} $relaunched == 1
    Abort
  ${EndIf}
FunctionEnd

; "For all users" or "Just for me". With an install for all users in place only the
; first is offered; the elevated copy has its mode already.
Function ModePageShow
  ${If} $relaunched == 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "$(MULTIUSER_TEXT_INSTALLMODE_TITLE)" "$(MULTIUSER_TEXT_INSTALLMODE_SUBTITLE)"
  nsDialogs::Create 1018
  Pop $modePage
  ${If} $machineDir != ""
    ${NSD_CreateLabel} 0 0 100% 40u "Travok is installed for all users of this computer, in $machineDir. It is upgraded there, for all users; Windows asks for an administrator's approval."
  ${Else}
    ${NSD_CreateLabel} 0 0 100% 40u "Install Travok for all users of this computer (Windows asks for an administrator's approval), or just for you (no approval needed)."
  ${EndIf}
  Pop $R0
  ${NSD_CreateRadioButton} 15u 50u -15u 12u "For all users"
  Pop $modeAllUsers
  ${NSD_CreateRadioButton} 15u 70u -15u 12u "Just for me"
  Pop $modeCurrentUser
  ${If} $installMode == AllUsers
    ${NSD_Check} $modeAllUsers
  ${Else}
    ${NSD_Check} $modeCurrentUser
  ${EndIf}
  ${If} $machineDir != ""
    EnableWindow $modeCurrentUser 0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $modeAllUsers $R0
  ${If} $R0 = ${BST_CHECKED}
    Call UseAllUsers
    Call ElevateForAllUsers
    ; Still here: the elevation was refused. The page stays, for "Just for me".
    ${If} $elevated != 1
      Abort
    ${EndIf}
  ${Else}
    Call UseCurrentUser
  ${EndIf}
FunctionEnd

; Gives the folder of an install for all users the access list MACHINE_FOLDER_SDDL:
; Travok registers for every user a program in a folder that only administrators can
; change, and any folder outside Program Files (C:\Tools) would let every user change
; its files. Stops, changing nothing, on a folder where it cannot be set (a file system
; without access lists, a share): creates the folder first, and removes it again then.
Function SecureMachineFolder
  ${If} $installMode != AllUsers
    Return
  ${EndIf}
  StrCpy $R3 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $R3 1
  ${EndIf}
  CreateDirectory "$INSTDIR"
  StrCpy $R1 0
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${MACHINE_FOLDER_SDDL}", i 1, *p .R4, p 0)i .R1'
  ${If} $R1 != 0
    System::Call 'advapi32::GetSecurityDescriptorDacl(p R4, *i, *p .R5, *i)i'
    System::Call 'advapi32::GetSecurityDescriptorOwner(p R4, *p .R6, *i)i'
    ; OWNER | DACL | PROTECTED_DACL, on the folder and, by inheritance, all within it.
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p R6, p 0, p R5, p 0)i .R1'
    System::Call 'kernel32::LocalFree(p R4)'
  ${Else}
    StrCpy $R1 -1
  ${EndIf}
  ${If} $R1 != 0
    ${If} $R3 == 1
      RMDir "$INSTDIR"
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "Setup cannot make $INSTDIR a folder that only administrators can change (error $R1). A program that every user's scripts start must not live where any user could replace it.$\r$\n$\r$\nChoose another folder, for example in Program Files." /SD IDOK
    Push "stopped: $INSTDIR cannot be made administrators-only (error $R1); nothing was changed"
    Call LogLine
    SetErrorLevel ${EXIT_FOLDER_NOT_SECURED}
    Quit
  ${EndIf}
FunctionEnd

; The finish page's start: through Explorer, the desktop's own shell, which starts
; Travok as the signed-in user at the desktop's integrity level. Started by this setup,
; which may be elevated, Travok would be elevated too, and Windows would then keep
; Explorer's drops from its window.
Function StartTravokAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Travok.exe"'
FunctionEnd

; The LocalServer32 value of the installed server, as Travok's own refresh writes it:
; the short path when it holds no space, else the long path, quoted when it holds one
; (an unquoted "C:\Program Files\..." would start C:\Program.exe first).
Function ServerCommandPath
  GetFullPathName /SHORT $R0 "$INSTDIR\Travok.exe"
  ${StrStr} $R1 $R0 " "
  ${If} $R0 == ""
  ${OrIf} $R1 != ""
    StrCpy $R0 "$INSTDIR\Travok.exe"
    ${StrStr} $R1 $R0 " "
    ${If} $R1 != ""
      StrCpy $R0 '"$R0"'
    ${EndIf}
  ${EndIf}
FunctionEnd

; Writes a name key's value only when the key does not exist yet, as Travok's refresh
; does: its read of an existing key without a value succeeds with an empty one, while
; ReadRegStr would fail there, so the test is whether the key can be enumerated.
!macro WriteNameKey key
  ClearErrors
  EnumRegKey $R1 SHCTX "${key}" 0
  ${If} ${Errors}
    WriteRegStr SHCTX "${key}" "" "${PROGID}"
  ${EndIf}
!macroend

; The six keys of the automation server, in the hive of the install mode, by the rules
; of Travok's refresh.
Function RegisterServer
  Call ServerCommandPath
  !insertmacro WriteNameKey "Software\Classes\${PROGID}"
  !insertmacro WriteNameKey "Software\Classes\CLSID\${CLSID}"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\CLSID" "" "${CLSID}"
  WriteRegStr SHCTX "Software\Classes\CLSID\${CLSID}\ProgID" "" "${PROGID}"
  WriteRegStr SHCTX "Software\Classes\CLSID\${CLSID}\InprocHandler32" "" "ole32.dll"
  WriteRegStr SHCTX "Software\Classes\CLSID\${CLSID}\LocalServer32" "" "$R0"
FunctionEnd

Function WriteAppsEntry
  WriteRegStr SHCTX "${APPS_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr SHCTX "${APPS_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${APPS_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${APPS_KEY}" "DisplayIcon" '"$INSTDIR\Travok.exe",0'
  WriteRegStr SHCTX "${APPS_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${APPS_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${APPS_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${APPS_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${APPS_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
  WriteRegDWORD SHCTX "${APPS_KEY}" "EstimatedSize" $R0
FunctionEnd

; An upgrade replaces the files all together or not at all. The new ones are unpacked
; beside the old ones first; then each old one is renamed aside, and if any cannot be
; (a program that started meanwhile, a file another program holds), those already
; renamed go back and the new ones go. Only then do the new ones take the names.
Var swapFailed

!macro StageFile name
  File "/oname=$INSTDIR\${name}.new" "${STAGE}/${name}"
!macroend

!macro SetAsideFile name
  ${If} $swapFailed == ""
  ${AndIf} ${FileExists} "$INSTDIR\${name}"
    Delete "$INSTDIR\${name}.old"
    ClearErrors
    Rename "$INSTDIR\${name}" "$INSTDIR\${name}.old"
    ${If} ${Errors}
      StrCpy $swapFailed "${name}"
    ${EndIf}
  ${EndIf}
!macroend

!macro PutBackFile name
  ${IfNot} ${FileExists} "$INSTDIR\${name}"
  ${AndIf} ${FileExists} "$INSTDIR\${name}.old"
    Rename "$INSTDIR\${name}.old" "$INSTDIR\${name}"
  ${EndIf}
  Delete "$INSTDIR\${name}.new"
!macroend

!macro TakeNewFile name
  Rename "$INSTDIR\${name}.new" "$INSTDIR\${name}"
  ; The last resort: an old program that runs still, started after the check, goes
  ; when Windows restarts.
  Delete "$INSTDIR\${name}.old"
  ${If} ${FileExists} "$INSTDIR\${name}.old"
    Delete /REBOOTOK "$INSTDIR\${name}.old"
  ${EndIf}
!macroend

Section "Travok"
  Call CloseRunningPrograms
  Call SecureMachineFolder
  SetOutPath "$INSTDIR"
  AllowSkipFiles off
  !insertmacro ProgramFiles StageFile
  StrCpy $swapFailed ""
  !insertmacro ProgramFiles SetAsideFile
  ${If} $swapFailed != ""
    !insertmacro ProgramFiles PutBackFile
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\$swapFailed is in use by another program. Nothing was changed.$\r$\n$\r$\nClose the programs that use Travok's files, then run this setup again." /SD IDOK
    Push "stopped: $INSTDIR\$swapFailed is in use; nothing was changed"
    Call LogLine
    SetErrorLevel ${EXIT_RUNNING}
    Quit
  ${EndIf}
  !insertmacro ProgramFiles TakeNewFile
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Travok.lnk" "$INSTDIR\Travok.exe"
  Call RegisterServer
  Call WriteAppsEntry
  ${If} ${RebootFlag}
    Push "done: the old programs still running are removed when Windows restarts"
    Call LogLine
    SetErrorLevel ${EXIT_REBOOT}
  ${EndIf}
SectionEnd

; The install this uninstaller belongs to is the one whose Apps entry names its folder;
; the short forms are compared, since either may have been written in the long one.
Var ownFolder

Function un.onInit
  !insertmacro UseOwnRegView
  GetFullPathName /SHORT $ownFolder "$INSTDIR"
  ReadRegStr $R0 HKLM "${APPS_KEY}" "InstallLocation"
  GetFullPathName /SHORT $R0 "$R0"
  ${If} $R0 == $ownFolder
  ${AndIf} $R0 != ""
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
    Return
  ${EndIf}
  ; An install for all users: only an administrator may remove it. Without the rights,
  ; this uninstaller starts itself again elevated; when Windows does not, it says so
  ; and changes nothing.
  Call un.ReadElevation
  ${If} $elevated == 1
    Return
  ${EndIf}
  StrCpy $R0 0
  ${un.GetParameters} $R1
  ${UnStrStr} $R1 $R1 "/Relaunched"
  ${If} $R1 == ""
    ${If} ${Silent}
      Push "/S /Relaunched _?=$INSTDIR"
    ${Else}
      Push "/Relaunched _?=$INSTDIR"
    ${EndIf}
    Call un.RunElevated
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "Travok is installed for all users of this computer, in $INSTDIR. Only an administrator can uninstall it, and Windows did not grant administrator rights (error $R0). Nothing was changed." /SD IDOK
  Push "stopped: uninstalling for all users needs administrator rights, which Windows did not grant (error $R0); nothing was changed"
  Call un.LogLine
  SetErrorLevel ${EXIT_NEEDS_ADMIN}
  Quit
FunctionEnd

; Pops a LocalServer32 value; pushes 1 when the program it names lies in this install's
; folder, else 0. A value that names a missing file has no short form and is not ours.
Function un.PointsIntoInstall
  Exch $R0
  Push $R1
  StrCpy $R1 $R0 1
  ${If} $R1 == '"'
    StrCpy $R0 $R0 "" 1
    StrCpy $R1 $R0 1 -1
    ${If} $R1 == '"'
      StrCpy $R0 $R0 -1
    ${EndIf}
  ${EndIf}
  GetFullPathName /SHORT $R0 "$R0"
  StrLen $R1 "$ownFolder\"
  StrCpy $R0 $R0 $R1
  ${If} $R0 == "$ownFolder\"
  ${AndIf} $ownFolder != ""
    StrCpy $R0 1
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  Pop $R1
  Exch $R0
FunctionEnd

; Removes the server's keys from one hive, where Travok's installer or its refresh put
; them, but only while they name the program of this install: another copy's
; registration, or another program's, stays.
!macro UnregisterServerIn ROOT
  ReadRegStr $R2 ${ROOT} "Software\Classes\CLSID\${CLSID}\LocalServer32" ""
  Push $R2
  Call un.PointsIntoInstall
  Pop $R2
  ${If} $R2 == 1
    ReadRegStr $R2 ${ROOT} "Software\Classes\${PROGID}\CLSID" ""
    ${If} $R2 == "${CLSID}"
      DeleteRegKey ${ROOT} "Software\Classes\${PROGID}"
    ${EndIf}
    DeleteRegKey ${ROOT} "Software\Classes\CLSID\${CLSID}"
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.CloseRunningPrograms
  ; The keys first: the check reads the program's path while the file is still there.
  !insertmacro UnregisterServerIn HKLM
  !insertmacro UnregisterServerIn HKCU
  ReadRegStr $R0 SHCTX "${APPS_KEY}" "InstallLocation"
  GetFullPathName /SHORT $R0 "$R0"
  ${If} $R0 == $ownFolder
    DeleteRegKey SHCTX "${APPS_KEY}"
    Delete "$SMPROGRAMS\Travok.lnk"
  ${EndIf}
  !insertmacro ProgramFiles RemoveFile
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: the folder may have been one the user keeps other files in.
  RMDir "$INSTDIR"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
    MessageBox MB_OK|MB_ICONINFORMATION "Some of Travok's files in $INSTDIR are in use. They are removed when Windows restarts." /SD IDOK
    Push "done: files in use in $INSTDIR are removed when Windows restarts"
    Call un.LogLine
    SetErrorLevel ${EXIT_REBOOT}
  ${EndIf}
SectionEnd
