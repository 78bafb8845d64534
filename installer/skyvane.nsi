; Skyvane's Windows installer. Built on Linux with makensis by the cross build:
;   makensis -DSCR=<skyvane.scr> -DDATA=<data dir> -DOUT=<setup exe> skyvane.nsi
; The program and its data files go into the Windows directory, where the
; program looks for them and where Windows' screen-saver settings list it.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef SCR
  !error "SCR (path of skyvane.scr) is not defined"
!endif
!ifndef DATA
  !error "DATA (directory of In*.sdd, screen.jpg, background.jpg) is not defined"
!endif
!ifndef OUT
  !define OUT "skyvane-setup.exe"
!endif

!define PRODUCT "Skyvane"
!define VENDOR "Brelmor"
!define VERSION "2.3"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
!define SETTINGS_KEY "Software\Brelmor\Skyvane"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT}"
InstallDir "$WINDIR"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "2.3.0.0"
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

Section "Skyvane screen saver (required)" SecMain
  SectionIn RO
  SetOutPath "$WINDIR"
  File "${SCR}"
  File "${DATA}/In*.sdd"
  File "${DATA}/screen.jpg"
  File "${DATA}/background.jpg"
  WriteUninstaller "$WINDIR\skyvane-uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Skyvane"
  SetOutPath "$WINDIR\Skyvane"
  File "/oname=Skyvane - help.txt" "help.txt"
  File "/oname=Picture credits.txt" "credits.txt"
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

Section "Make Skyvane my screen saver" SecActivate
  WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" "$WINDIR\skyvane.scr"
  WriteRegStr HKCU "Control Panel\Desktop" "ScreenSaveActive" "1"
SectionEnd

Section "Uninstall"
  ; The decoded plane images exist only while the saver runs; a saver that was
  ; ended by force can leave them behind, so they go too.
  Delete "$WINDIR\skyvane.scr"
  Delete "$WINDIR\In*.sdd"
  Delete "$WINDIR\In*.jpg"
  Delete "$WINDIR\screen.jpg"
  Delete "$WINDIR\screen.bmp"
  Delete "$WINDIR\background.jpg"
  Delete "$WINDIR\Skyvane\Skyvane - help.txt"
  Delete "$WINDIR\Skyvane\Picture credits.txt"
  RMDir "$WINDIR\Skyvane"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Skyvane\*.lnk"
  RMDir "$SMPROGRAMS\Skyvane"
  ReadRegStr $0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  StrCmp $0 "$WINDIR\skyvane.scr" 0 +2
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Brelmor"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$WINDIR\skyvane-uninstall.exe"
SectionEnd
