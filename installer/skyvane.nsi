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

!define PRODUCT "Skyvane"
!define VENDOR "Brelmor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
!define SETTINGS_KEY_IN_SOFTWARE "${VENDOR}\Skyvane"
!define SETTINGS_KEY "Software\${SETTINGS_KEY_IN_SOFTWARE}"
!define DESKTOP_KEY "Control Panel\Desktop"
!define VIRTUAL_STORE_KEY "Software\Classes\VirtualStore\MACHINE\SOFTWARE"
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

; Windows NT 4.0 to XP let a limited user start the setup, which would then
; fail half way; so before anything is copied, try what the setup must do:
; write into the Windows directory and the machine's registry settings.
Function .onInit
  ClearErrors
  FileOpen $0 "$WINDIR\skyvane-setup.probe" w
  IfErrors mayNotWrite
  FileClose $0
  Delete "$WINDIR\skyvane-setup.probe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "SetupProbe" ""
  IfErrors mayNotWrite
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "SetupProbe"
  DeleteRegKey /ifempty HKLM "${UNINSTALL_KEY}"
  Return
mayNotWrite:
  MessageBox MB_OK|MB_ICONSTOP "Skyvane must be installed by an administrator.$\r$\n$\r$\nThis account may not change the Windows folder. Log on as an administrator and start the setup again." /SD IDOK
  SetErrorLevel 5
  Quit
FunctionEnd

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
SectionEnd

; Windows 9x keeps the chosen saver in SYSTEM.INI, the NT family in the
; user's desktop settings; both are switched on through the system, which
; also tells the running shell. The short path has no spaces to quote.
Section "Make Skyvane my screen saver" SecActivate
  DetailPrint "Making Skyvane the screen saver and switching it on"
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

; The saver entry goes only while it still names Skyvane (by its long or
; short path, in any case); the user may have chosen another saver since.
; Read before the program is deleted: its short path needs the file.
Function un.TakeBackScreenSaver
  GetFullPathName /SHORT $1 "$WINDIR\skyvane.scr"
  ${If} ${IsNT}
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${Else}
    ReadINIStr $0 "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
  ${EndIf}
  ${If} $0 == ""
    Return
  ${EndIf}
  ${If} $0 != "$WINDIR\skyvane.scr"
  ${AndIf} $0 != $1
    Return
  ${EndIf}
  DetailPrint "Giving back the screen saver choice"
  ${If} ${IsNT}
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${Else}
    DeleteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
  ${EndIf}
  System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 0, i 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})"
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
