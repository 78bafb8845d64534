; Skyvane's Windows installer, built on Linux with makensis by the cross build
; from the folder installer/stage.py fills:
;   makensis -DSTAGE=<stage dir> -DVERSION=<x.y.z> -DICON=<skyvane.ico>
;            -DOUT=<setup exe> [-DUNINSTALLER_COPY=<path>] skyvane.nsi
; The program and its data files go into the Windows directory, where the
; program looks for them and where Windows' screen-saver settings list it.

; The ANSI installer: Windows 95, 98 and ME start no other kind.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef STAGE
  !error "STAGE (the folder installer/stage.py filled) is not defined"
!endif
!ifndef VERSION
  !error "VERSION (the program's version, x.y.z) is not defined"
!endif
!ifndef ICON
  !error "ICON (the program's icon, skyvane.ico) is not defined"
!endif
!ifndef OUT
  !define OUT "skyvane-setup.exe"
!endif
; A copy of the uninstaller as the compiler writes it, for the import audit.
!ifdef UNINSTALLER_COPY
  !uninstfinalize 'cp "%1" "${UNINSTALLER_COPY}"'
!endif

!include LogicLib.nsh
!include WinVer.nsh
!include "${STAGE}\files.nsh"
!include accounts.nsh

!define PRODUCT "Skyvane"
!define VENDOR "Brelmor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
!define SETTINGS_KEY_IN_SOFTWARE "${VENDOR}\Skyvane"
!define SETTINGS_KEY "Software\${SETTINGS_KEY_IN_SOFTWARE}"
!define DESKTOP_KEY "Control Panel\Desktop"
!define VIRTUAL_STORE_KEY "Software\Classes\VirtualStore\MACHINE\SOFTWARE"
; The web address the program's about box shows, from the program's resources.
!searchparse /file "${__FILEDIR__}\..\resources\resource.h" '#define VENDOR_WEB_ADDRESS "' VENDOR_WEB_ADDRESS '"'
!define SPI_GETSCREENSAVEACTIVE 16
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT}"
InstallDir "$WINDIR"
ShowInstDetails show
ShowUninstDetails show
InstallColors /windows
Icon "${ICON}"
UninstallIcon "${ICON}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${VENDOR}"
VIAddVersionKey "FileDescription" "${PRODUCT} screen saver setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${VENDOR}"

Page components
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var ScreenSaverPath

; Windows NT 4.0 to XP let a limited user start the setup or the uninstaller
; (from the Start menu, also Vista and later with UAC switched off), which
; would then fail half way; so before anything is changed, try what both must
; do: write into the Windows directory and the machine's registry settings.
; Pushes 1 when this account may, 0 when it may not. A probe file that cannot
; be deleted at once (a scanner looking at it) is no refusal: it goes at the
; next restart.
!macro MAY_CHANGE_THE_MACHINE_FUNCTION UN
Function ${UN}MayChangeTheMachine
  Push $0
  ClearErrors
  FileOpen $0 "$WINDIR\skyvane-setup.probe" w
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    FileClose $0
    Delete /REBOOTOK "$WINDIR\skyvane-setup.probe"
    ClearErrors
    WriteRegStr HKLM "${UNINSTALL_KEY}" "SetupProbe" ""
    ${If} ${Errors}
      StrCpy $0 0
    ${Else}
      DeleteRegValue HKLM "${UNINSTALL_KEY}" "SetupProbe"
      DeleteRegKey /ifempty HKLM "${UNINSTALL_KEY}"
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
  Exch $0
FunctionEnd
!macroend
!insertmacro MAY_CHANGE_THE_MACHINE_FUNCTION ""
!insertmacro MAY_CHANGE_THE_MACHINE_FUNCTION "un."

Function .onInit
  Call MayChangeTheMachine
  Pop $0
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "Skyvane must be installed by an administrator.$\r$\n$\r$\nThis account may not change the Windows folder. Log on as an administrator and start the setup again." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
FunctionEnd

; Before its first page, so that a refused uninstaller changes nothing at all,
; not even the user's screen saver choice.
Function un.onInit
  Call un.MayChangeTheMachine
  Pop $0
  ${If} $0 == 0
    MessageBox MB_OK|MB_ICONSTOP "Skyvane must be removed by an administrator.$\r$\n$\r$\nThis account may not change the Windows folder. Log on as an administrator and remove Skyvane again." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
FunctionEnd

; The screen saver entry as this family keeps it: Windows 9x in SYSTEM.INI,
; the NT family in the user's desktop settings. Pushes it, or "".
!macro SCREEN_SAVER_ENTRY_FUNCTIONS UN
Function ${UN}ReadScreenSaverEntry
  Push $0
  ${If} ${IsNT}
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${Else}
    ReadINIStr $0 "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
  ${EndIf}
  Exch $0
FunctionEnd

; Pops an entry; pushes 1 when it names Skyvane by its long or short path
; (in any case), else 0. The short path needs the installed program.
Function ${UN}NamesSkyvane
  Exch $0
  Push $1
  GetFullPathName /SHORT $1 "$WINDIR\skyvane.scr"
  ${If} $0 == ""
    StrCpy $0 0
  ${ElseIf} $0 == "$WINDIR\skyvane.scr"
  ${OrIf} $0 == $1
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro SCREEN_SAVER_ENTRY_FUNCTIONS ""
!insertmacro SCREEN_SAVER_ENTRY_FUNCTIONS "un."

Section "Skyvane screen saver (required)" SecMain
  SectionIn RO
  SetOutPath "$WINDIR"
  !insertmacro InstallProgramFiles
  WriteUninstaller "$WINDIR\skyvane-uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Skyvane"
  SetOutPath "$WINDIR\Skyvane"
  File "/oname=Skyvane - help.txt" "${STAGE}\help.txt"
  File "/oname=Picture credits.txt" "${STAGE}\credits.txt"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane - help.lnk" "$WINDIR\Skyvane\Skyvane - help.txt"
  CreateShortCut "$SMPROGRAMS\Skyvane\Picture credits.lnk" "$WINDIR\Skyvane\Picture credits.txt"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane settings.lnk" "$WINDIR\skyvane.scr" "/c"
  CreateShortCut "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk" "$WINDIR\skyvane-uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$WINDIR\skyvane.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$WINDIR\skyvane-uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$WINDIR\skyvane-uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0   ; in KB, as the entry wants it
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${VENDOR_WEB_ADDRESS}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$WINDIR\Skyvane\Skyvane - help.txt"
SectionEnd

; The user's choice that Skyvane replaces, kept per user beside the user's
; own saver entry (the NT family keeps it per user; on Windows 9x
; HKEY_CURRENT_USER is the machine's one user or the profile's own): an
; uninstaller started by another account never hands it to that account.
; Nothing is kept when the entry names Skyvane already: a second setup must
; not take Skyvane for the user's earlier saver.
Function RecordScreenSaverChoice
  Call ReadScreenSaverEntry
  Pop $0
  Push $0
  Call NamesSkyvane
  Pop $1
  ${If} $1 == 1
    Return
  ${EndIf}
  ; Both families keep the switch here; the system's answer only stands in
  ; for a missing value (Wine's answers what the X server's saver does).
  ReadRegStr $1 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
  ${If} $1 == ""
    System::Call "user32::SystemParametersInfoA(i ${SPI_GETSCREENSAVEACTIVE}, i 0, *i .r1, i 0)"
  ${EndIf}
  ${If} $1 != 0
    StrCpy $1 1
  ${EndIf}
  WriteRegStr HKCU "${SETTINGS_KEY}" "ScreenSaverBefore" $0
  WriteRegDWORD HKCU "${SETTINGS_KEY}" "ScreenSaveActiveBefore" $1
FunctionEnd

; Windows 9x keeps the chosen saver in SYSTEM.INI, the NT family in the
; user's desktop settings; both are switched on through the system, which
; also tells the running shell. The short path has no spaces to quote.
; A setup that runs as another account than the desktop's would choose that
; account's saver: it tells the user how to choose Skyvane instead.
Section "Make Skyvane my screen saver" SecActivate
  Call SetupRunsAsTheDesktopUser
  Pop $0
  ${If} $0 == 0
    DetailPrint "This setup runs as another account than the one logged on, so it has not chosen your screen saver."
    DetailPrint "To make Skyvane your screen saver, open the screen saver settings of your own account and pick Skyvane"
    DetailPrint "(Skyvane - help in the Start menu, under Choosing Skyvane, tells where they are)."
    Return
  ${EndIf}
  DetailPrint "Making Skyvane the screen saver and switching it on"
  Call RecordScreenSaverChoice
  GetFullPathName /SHORT $ScreenSaverPath "$WINDIR\skyvane.scr"
  StrCmp $ScreenSaverPath "" 0 +2
    StrCpy $ScreenSaverPath "$WINDIR\skyvane.scr"
  ${If} ${IsNT}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $ScreenSaverPath
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ${Else}
    WriteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE" $ScreenSaverPath
  ${EndIf}
  System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, i 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})"
SectionEnd

; While the saver entry still names Skyvane it goes back to what the setup
; recorded, on or off as it was, or, with nothing recorded, it goes and the
; saver is switched off; the user may have chosen another saver since.
; Read before the program is deleted: its short path needs the file.
Function un.TakeBackScreenSaver
  Call un.ReadScreenSaverEntry
  Call un.NamesSkyvane
  Pop $0
  ${If} $0 == 1
    DetailPrint "Giving back the screen saver choice"
    ClearErrors
    ReadRegDWORD $2 HKCU "${SETTINGS_KEY}" "ScreenSaveActiveBefore"
    ${If} ${Errors}
      StrCpy $1 ""
      StrCpy $2 0
    ${Else}
      ReadRegStr $1 HKCU "${SETTINGS_KEY}" "ScreenSaverBefore"
    ${EndIf}
    ${If} ${IsNT}
      ${If} $1 == ""
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      ${Else}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $1
      ${EndIf}
    ${ElseIf} $1 == ""
      DeleteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
    ${Else}
      WriteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE" $1
    ${EndIf}
    System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i $2, i 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})"
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${VENDOR}"
FunctionEnd

; On Vista and later Windows keeps what the program writes to the machine's
; settings and the Windows directory as a standard user in that user's
; virtual store: the uninstalling user's copies go too.
Function un.RemoveVirtualStoreCopies
  DeleteRegKey HKCU "${VIRTUAL_STORE_KEY}\${SETTINGS_KEY_IN_SOFTWARE}"
  DeleteRegKey /ifempty HKCU "${VIRTUAL_STORE_KEY}\${VENDOR}"
  DeleteRegKey HKCU "${VIRTUAL_STORE_KEY}\WOW6432Node\${SETTINGS_KEY_IN_SOFTWARE}"
  DeleteRegKey /ifempty HKCU "${VIRTUAL_STORE_KEY}\WOW6432Node\${VENDOR}"
  SetShellVarContext current
  StrCpy $0 $WINDIR "" 3   ; C:\Windows is stored as VirtualStore\Windows
  StrCpy $0 "$LOCALAPPDATA\VirtualStore\$0"
  Delete "$0\screen.bmp"
  !insertmacro RemoveDecodedImages "$0"
FunctionEnd

; Exactly what the setup installed, the decoded plane images by the names the
; saver gives them and the fake desktop it makes; a picture of the user's
; own that only looks like one of them (Intro.jpg, In99.jpg) stays.
Section "Uninstall"
  Call un.TakeBackScreenSaver
  !insertmacro RemoveProgramFiles "$WINDIR"
  !insertmacro RemoveDecodedImages "$WINDIR"
  Delete "$WINDIR\screen.bmp"
  Delete "$WINDIR\Skyvane\Skyvane - help.txt"
  Delete "$WINDIR\Skyvane\Picture credits.txt"
  RMDir "$WINDIR\Skyvane"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Skyvane\Skyvane - help.lnk"
  Delete "$SMPROGRAMS\Skyvane\Picture credits.lnk"
  Delete "$SMPROGRAMS\Skyvane\Skyvane settings.lnk"
  Delete "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk"
  RMDir "$SMPROGRAMS\Skyvane"
  ${If} ${AtLeastWinVista}
    Call un.RemoveVirtualStoreCopies
  ${EndIf}
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${VENDOR}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$WINDIR\skyvane-uninstall.exe"
SectionEnd
