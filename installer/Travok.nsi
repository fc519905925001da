; Travok's installer and uninstaller. cmake/Dist.cmake builds it with makensis and
; passes VERSION, STAGE (the folder of the files to install), FILES (their list),
; ICON and OUTFILE, and X64 for the 64-bit build's installer.
;   setup.exe [/S] [/AllUsers | /CurrentUser] [/D=folder]
; Per machine by default (Program Files, elevation asked for), per user on the install
; mode page or with /CurrentUser (the user's own programs folder, no elevation).
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

; The mode of an earlier install is read from its Apps entry, and so is its folder: an
; upgrade goes where the older version is.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "Travok"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${APPS_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${APPS_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
; The uninstaller finds its mode from its own folder (un.onInit), never from whichever
; install the registry names first.
!define MULTIUSER_NOUNINSTALL
!ifdef X64
  !define MULTIUSER_USE_PROGRAMFILES64
!endif
!include MultiUser.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Travok.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!macro InstallFile name
  File "${STAGE}/${name}"
!macroend

!macro RemoveFile name
  Delete "$INSTDIR\${name}"
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
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro UseOwnRegView
  Call RefuseOtherBuild
  ; /D= has set the folder already; the install mode would put its default over it.
  StrCpy $0 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
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

Section "Travok"
  SetOutPath "$INSTDIR"
  ; Over an older version the same names are simply replaced.
  !insertmacro ProgramFiles InstallFile
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Travok.lnk" "$INSTDIR\Travok.exe"
  Call RegisterServer
  Call WriteAppsEntry
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
  ${EndIf}
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
SectionEnd
