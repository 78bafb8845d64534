; Skyvane's Windows installer, built on Linux with makensis by the cross build
; from the folder installer/stage.py fills:
;   makensis -DSTAGE=<stage dir> -DVERSION=<x.y.z> -DICON=<skyvane.ico>
;            -DPLUGINS=<stage dir>\plugins -DOUT=<setup exe>
;            [-DUNINSTALLER_COPY=<path>] skyvane.nsi
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
!ifndef PLUGINS
  !error "PLUGINS (the stage's plugins folder, with SkyvaneSetup.dll) is not defined"
!endif
!ifndef OUT
  !define OUT "skyvane-setup.exe"
!endif
!addplugindir /x86-ansi "${PLUGINS}"
; A copy of the uninstaller as the compiler writes it, for the import audit.
!ifdef UNINSTALLER_COPY
  !uninstfinalize 'cp "%1" "${UNINSTALLER_COPY}"'
!endif

!include LogicLib.nsh
!include WinVer.nsh
!include x64.nsh
!include "${STAGE}\files.nsh"
!include accounts.nsh
!insertmacro ACCOUNT_FUNCTIONS ""
!insertmacro ACCOUNT_FUNCTIONS "un."
!insertmacro ACCOUNT_SID_FUNCTION "un."

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
; Windows' own code for "done; the change completes when Windows restarts"
; (ERROR_SUCCESS_REBOOT_REQUIRED), the uninstaller's when a file it removes
; was in use; 5 (access denied) when an account may not change the machine.
!define EXIT_RESTART_PENDING 3010
!define EXIT_REFUSED 5
; The setup's when it could not read or change the restart's work, which may
; then delete the files it installed (ERROR_INSTALL_FAILURE).
!define EXIT_RESTART_WORK_UNCHECKED 1603
!define SAVER_WINDOW_CLASS "TForm1"
!define SAVER_WINDOW_TITLE "quillon7"
!define WM_KEYDOWN 0x0100
!define VK_SHIFT 0x10
!define SYNCHRONIZE 0x00100000
!define SAVER_END_WAIT_MS 15000
!define CSIDL_LOCAL_APPDATA 0x1c
; The uninstaller run in place: whoever starts it waits for the whole removal
; and gets its exit code. Started without it, NSIS's uninstaller runs on from
; a copy of itself in the temporary folder and its starter returns at once.
; "_?=" must come last and unquoted.
!define UNINSTALLER_IN_PLACE '"$WINDIR\skyvane-uninstall.exe" _?=$WINDIR'
!define UNINSTALLER_IN_PLACE_QUIET '"$WINDIR\skyvane-uninstall.exe" /S _?=$WINDIR'

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
Var RestartWork   ; what KeepInstalledFilesAtTheRestart found: 0, 1 or error

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
    SetErrorLevel ${EXIT_REFUSED}
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
    SetErrorLevel ${EXIT_REFUSED}
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
  SetShellVarContext all
  SetOutPath "$WINDIR"
  !insertmacro InstallProgramFiles
  WriteUninstaller "$WINDIR\skyvane-uninstall.exe"
  ; At once, so that a setup stopped part way does not leave its new files
  ; to the restart; again at the end for the Start menu's files.
  Call KeepInstalledFilesAtTheRestart

  CreateDirectory "$SMPROGRAMS\Skyvane"
  SetOutPath "$WINDIR\Skyvane"
  File "/oname=Skyvane - help.txt" "${STAGE}\help.txt"
  File "/oname=Picture credits.txt" "${STAGE}\credits.txt"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane - help.lnk" "$WINDIR\Skyvane\Skyvane - help.txt"
  CreateShortCut "$SMPROGRAMS\Skyvane\Picture credits.lnk" "$WINDIR\Skyvane\Picture credits.txt"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane settings.lnk" "$WINDIR\skyvane.scr" "/c"
  CreateShortCut "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk" "$WINDIR\skyvane-uninstall.exe" "_?=$WINDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$WINDIR\skyvane.scr"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '${UNINSTALLER_IN_PLACE}'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '${UNINSTALLER_IN_PLACE_QUIET}'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0   ; in KB, as the entry wants it
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${VENDOR_WEB_ADDRESS}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$WINDIR\Skyvane\Skyvane - help.txt"
  Call KeepInstalledFilesAtTheRestart
  ; The last look covers every file: only its answer counts.
  ${If} $RestartWork == error
    MessageBox MB_OK|MB_ICONEXCLAMATION "Skyvane is installed, but Windows may delete some of its files when it next restarts: an earlier removal left that work, and the setup could not check it.$\r$\n$\r$\nRestart Windows, then start the setup again." /SD IDOK
    SetErrorLevel ${EXIT_RESTART_WORK_UNCHECKED}
  ${EndIf}
SectionEnd

; A removal that found a file held open (by a scanner, the settings dialog, a
; saver in another session) left its deletion for the next restart, where
; Windows deletes by name: a setup run before then would lose its new files
; there. Those deletions, and only those, are taken out of the restart's work
; (the registry's list of the NT family, WININIT.INI of Windows 9x); the
; files installed by then are found by their short names too.
Function KeepInstalledFilesAtTheRestart
  Push ""
  !insertmacro PushInstalledFiles "$WINDIR"
  Push "$WINDIR\skyvane-uninstall.exe"
  Push "$WINDIR\Skyvane"
  Push "$WINDIR\Skyvane\Skyvane - help.txt"
  Push "$WINDIR\Skyvane\Picture credits.txt"
  Push "$SMPROGRAMS\Skyvane"
  Push "$SMPROGRAMS\Skyvane\Skyvane - help.lnk"
  Push "$SMPROGRAMS\Skyvane\Picture credits.lnk"
  Push "$SMPROGRAMS\Skyvane\Skyvane settings.lnk"
  Push "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk"
  ; Not installed, but the fake desktop the user captures next has its name.
  Push "$WINDIR\screen.bmp"
  SkyvaneSetup::KeepInstalledFiles
  Pop $RestartWork
  ${If} $RestartWork == 1
    DetailPrint "Kept the files that an earlier removal had left to be deleted when Windows restarts"
  ${ElseIf} $RestartWork == error
    DetailPrint "Could not read or change the work Windows keeps for its next restart"
  ${EndIf}
FunctionEnd

; The choice that Skyvane replaces, kept where the entry itself is kept: the
; NT family keeps the entry per user, so the record goes beside it under the
; user's HKEY_CURRENT_USER (an uninstaller started by another account never
; hands it to that account); Windows 9x keeps it in SYSTEM.INI for the whole
; machine, so the record goes beside the machine's uninstall entry (not into
; the settings key, whose absence gives the saver's first run its first-run
; settings), where the uninstaller of any profile finds it.
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
  ${If} ${IsNT}
    ; Copied as the registry holds it: a saver in a profile folder may have
    ; letters in its path that the setup's ANSI strings cannot hold.
    SkyvaneSetup::CopyRegistryText HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" HKCU "${SETTINGS_KEY}" "ScreenSaverBefore"
    Pop $0
    ${If} $0 != 1
      ; No saver chosen: an earlier setup's record must not stand for one.
      DeleteRegValue HKCU "${SETTINGS_KEY}" "ScreenSaverBefore"
    ${EndIf}
    WriteRegDWORD HKCU "${SETTINGS_KEY}" "ScreenSaveActiveBefore" $1
  ${Else}
    ; Beside the uninstall entry, which goes last: in the settings key the
    ; record would make the saver's first run find the key and skip its
    ; first-run settings.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "ScreenSaverBefore" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "ScreenSaveActiveBefore" $1
  ${EndIf}
FunctionEnd

; Windows 9x keeps the chosen saver in SYSTEM.INI, the NT family in the
; user's desktop settings; both are switched on through the system, which
; also tells the running shell. The short path has no spaces to quote.
; A setup that runs as another account than the desktop's, or where no one is
; logged on (the system account), would choose that account's saver: it
; tells the user how to choose Skyvane instead.
Section "Make Skyvane my screen saver" SecActivate
  Call SetupRunsAsTheDesktopUser
  Pop $0
  ${If} $0 == 0
    DetailPrint "This setup runs as another account than the one logged on here, or no one is logged on, so it has not chosen your screen saver."
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

; A running saver holds skyvane.scr, which then cannot be deleted: it is
; ended first and waited for, within bounds. Its orderly end gives back what
; it changed in the system; on the NT family a close asks for it, on Windows
; 9x a key, so the saver asks for the screen-saver password where one is set. A saver on another desktop or
; in another session is not seen here: its files go at the next restart.
Function un.EndRunningSaver
  FindWindow $0 "${SAVER_WINDOW_CLASS}" "${SAVER_WINDOW_TITLE}"
  ${If} $0 == 0
    Return
  ${EndIf}
  DetailPrint "Ending the running Skyvane screen saver"
  StrCpy $1 0
  System::Call 'user32::GetWindowThreadProcessId(i r0, *i .r1)'
  StrCpy $2 0
  ${If} $1 != 0
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) i .r2'
  ${EndIf}
  ${If} ${IsNT}
    ; A close, which the saver takes as its orderly end, and which reaches
    ; its window even while it shows an error box: the box's own message
    ; loop takes a key and leaves it there. 0x0010 is WM_CLOSE.
    System::Call 'user32::PostMessageA(i r0, i 0x0010, i 0, i 0)'
  ${Else}
    ; Windows 9x: a key, so the saver asks for its password where one is set.
    System::Call 'user32::PostMessageA(i r0, i ${WM_KEYDOWN}, i ${VK_SHIFT}, i 0)'
  ${EndIf}
  ${If} $2 != 0
  ${AndIf} $2 != "error"
    System::Call 'kernel32::WaitForSingleObject(i r2, i ${SAVER_END_WAIT_MS})'
    System::Call 'kernel32::CloseHandle(i r2)'
  ${Else}
    ; The process may not be opened (another account's): the window's end,
    ; and a moment for the process to leave after it.
    StrCpy $3 0
    ${DoWhile} $3 < ${SAVER_END_WAIT_MS}
      System::Call 'user32::IsWindow(i r0) i .r4'
      ${If} $4 == 0
        ${Break}
      ${EndIf}
      Sleep 250
      IntOp $3 $3 + 250
    ${Loop}
    Sleep 1000
  ${EndIf}
FunctionEnd

; Whether the recorded saver ($1) names a program that exists (a full path,
; or a bare name Windows finds in its directories): a saver given back must
; be one Windows can start. Sets $R7 to 1 when it does. Windows 9x's record
; is looked at as NSIS reads it; the NT family's (the key SUBKEY of ROOT) as
; the registry holds it, in Unicode: a path through a profile folder may have
; letters the ANSI strings cannot hold. A 32-bit program's System32 is
; SysWOW64 on 64-bit Windows: the saver is looked for in the system's own.
!macro RECORDED_SAVER_EXISTS ROOT SUBKEY
  StrCpy $R7 0
  ${If} ${IsNT}
    ${If} ${RunningX64}
      ${DisableX64FSRedirection}
    ${EndIf}
    SkyvaneSetup::NamedFileExists ${ROOT} "${SUBKEY}" "ScreenSaverBefore"
    Pop $R7
    ${If} ${RunningX64}
      ${EnableX64FSRedirection}
    ${EndIf}
  ${Else}
    ExpandEnvStrings $R7 $1
    ClearErrors
    SearchPath $R7 $R7
    ${If} ${Errors}
      StrCpy $R7 0
    ${Else}
      StrCpy $R7 1
    ${EndIf}
  ${EndIf}
!macroend

; Reads the setup's record from the key SUBKEY of ROOT into $1 (the saver
; chosen before) and $2 (whether it was on), and $R8 1; without a record $1
; is "", $2 0 and $R8 0.
!macro READ_RECORD ROOT SUBKEY
  StrCpy $R8 0
  StrCpy $1 ""
  ClearErrors
  ReadRegDWORD $2 ${ROOT} "${SUBKEY}" "ScreenSaveActiveBefore"
  ${If} ${Errors}
    StrCpy $2 0
  ${Else}
    StrCpy $R8 1
    ReadRegStr $1 ${ROOT} "${SUBKEY}" "ScreenSaverBefore"
  ${EndIf}
!macroend

; A saver that no longer exists is given back as none, switched off.
!macro SAVER_GIVEN_BACK ROOT SUBKEY
  ${If} $1 != ""
    !insertmacro RECORDED_SAVER_EXISTS ${ROOT} "${SUBKEY}"
    ${If} $R7 != 1
      DetailPrint "The screen saver chosen before, $1, is gone: switching the screen saver off"
      StrCpy $1 ""
    ${EndIf}
  ${EndIf}
  ${If} $1 == ""
    StrCpy $2 0
  ${EndIf}
!macroend

; The NT family's entry under ROOT set to the recorded saver, as the
; registry holds it, or taken out when none is given back; the error flag
; is set when it could not be written.
!macro ENTRY_GIVEN_BACK ROOT DESKTOP SUBKEY
  ${If} $1 == ""
    DeleteRegValue ${ROOT} "${DESKTOP}" "SCRNSAVE.EXE"
  ${Else}
    SkyvaneSetup::CopyRegistryText ${ROOT} "${SUBKEY}" "ScreenSaverBefore" ${ROOT} "${DESKTOP}" "SCRNSAVE.EXE"
    Pop $R7
    ${If} $R7 != 1
      SetErrors
    ${EndIf}
  ${EndIf}
!macroend

; This account's entry (the NT family) or the machine's (Windows 9x): while
; it still names Skyvane it goes back to what the setup recorded, on or off
; as it was, or, with nothing recorded, it goes and the saver is switched
; off; the user may have chosen another saver since. $R9 is 1 when the
; uninstaller runs as the desktop's user: only then is the running system
; told, since its setting is the desktop user's.
; Read before the program is deleted: its short path needs the file.
Function un.TakeBackScreenSaver
  Call un.ReadScreenSaverEntry
  Call un.NamesSkyvane
  Pop $0
  ${If} $0 == 1
    DetailPrint "Giving back the screen saver choice"
    ${If} ${IsNT}
      !insertmacro READ_RECORD HKCU "${SETTINGS_KEY}"
    ${Else}
      ; A setup before this one kept it per profile.
      !insertmacro READ_RECORD HKLM "${UNINSTALL_KEY}"
      ${If} $R8 == 0
        !insertmacro READ_RECORD HKCU "${SETTINGS_KEY}"
      ${EndIf}
    ${EndIf}
    !insertmacro SAVER_GIVEN_BACK HKCU "${SETTINGS_KEY}"
    ${If} ${IsNT}
      ClearErrors
      !insertmacro ENTRY_GIVEN_BACK HKCU "${DESKTOP_KEY}" "${SETTINGS_KEY}"
      ${If} ${Errors}
        DetailPrint "Could not give back the screen saver chosen before, $1"
      ${EndIf}
    ${ElseIf} $1 == ""
      DeleteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE"
    ${Else}
      WriteINIStr "$WINDIR\SYSTEM.INI" "boot" "SCRNSAVE.EXE" $1
    ${EndIf}
    ${If} $R9 == 1
      System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i $2, i 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $2
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${VENDOR}"
FunctionEnd

; An uninstaller that runs as another account than the desktop's (Windows
; 2000 and later) gives the desktop user's saver back in that user's own
; registry, loaded while the user is logged on (HKEY_USERS\<SID>), as
; un.TakeBackScreenSaver does for its own account; the running system, the
; desktop user's, is told whether the saver is on. Pushes 1 when it did or
; had nothing to give back, 0 when it could not: no one is logged on, the
; account or its registry cannot be found here, or may not be written.
Function un.TakeBackTheDesktopUsersSaver
  Call un.DesktopAccount
  Pop $3
  ${If} $3 == ""
  ${OrIf} $3 == "${DESKTOP_NOT_ASKED}"
    Push 0
    Return
  ${EndIf}
  Push $3
  Call un.AccountSid
  Pop $4
  ${If} $4 == ""
    Push 0
    Return
  ${EndIf}
  ClearErrors
  EnumRegValue $0 HKU "$4\${DESKTOP_KEY}" 0
  ${If} ${Errors}
    Push 0
    Return
  ${EndIf}
  ReadRegStr $0 HKU "$4\${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Push $0
  Call un.NamesSkyvane
  Pop $0
  ${If} $0 == 1
    DetailPrint "Giving back the screen saver choice of $3"
    !insertmacro READ_RECORD HKU "$4\${SETTINGS_KEY}"
    !insertmacro SAVER_GIVEN_BACK HKU "$4\${SETTINGS_KEY}"
    ClearErrors
    !insertmacro ENTRY_GIVEN_BACK HKU "$4\${DESKTOP_KEY}" "$4\${SETTINGS_KEY}"
    WriteRegStr HKU "$4\${DESKTOP_KEY}" "ScreenSaveActive" $2
    ${If} ${Errors}
      Push 0
      Return
    ${EndIf}
    System::Call "user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i $2, i 0, i 0)"
  ${EndIf}
  DeleteRegKey HKU "$4\${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKU "$4\Software\${VENDOR}"
  Push 1
FunctionEnd

; The NT family names the user's profile and temporary folders in Unicode: a
; letter outside the system's code page (the stroked L of a Polish name)
; comes back from an ANSI call as a look-alike, naming another folder (a
; look-alike account's, or the system's own temporary folder for the logon
; screen's saver), so NSIS's ANSI answer is never used there once the wide
; call has named the folder. The macro leaves in VAR the folder the wide call
; CALL writes at the address in $1 (2048 characters' room; its result in $2,
; a success where WIDE_OK holds), by its short name or its long one, whichever
; the code page spells exactly; "" when neither can be spelt, and it says so
; naming the folder as WHAT. FALLBACK (what NSIS's ANSI call gave) stands on
; Windows 9x, which names the folder in ANSI, and where the wide call failed.
!macro USER_FOLDER VAR CALL WIDE_OK FALLBACK WHAT
  StrCpy ${VAR} "${FALLBACK}"
  ${If} ${IsNT}
    System::Alloc 4096
    Pop $1
    System::Call '${CALL}'
    ${If} $2 != "error"
    ${AndIf} ${WIDE_OK}
      System::Alloc 4096
      Pop $3
      StrCpy ${VAR} ""
      System::Call 'kernel32::GetShortPathNameW(i r1, i r3, i 2048) i .r2'
      ${If} $2 > 0
      ${AndIf} $2 < 2048
        Push $3
        Call un.ExactAnsiSpelling
        Pop ${VAR}
      ${EndIf}
      ${If} ${VAR} == ""
        Push $1
        Call un.ExactAnsiSpelling
        Pop ${VAR}
      ${EndIf}
      System::Free $3
      ${If} ${VAR} == ""
        DetailPrint "Left Skyvane's files in ${WHAT}: its name has letters this uninstaller cannot spell, and no short name. Delete the Skyvane files there yourself."
      ${EndIf}
    ${EndIf}
    System::Free $1
  ${EndIf}
  ; Without the closing "\" GetTempPath gives.
  StrCpy $2 ${VAR} 1 -1
  ${If} $2 == "\"
    StrCpy ${VAR} ${VAR} -1
  ${EndIf}
!macroend

; On Vista and later Windows keeps what the program writes to the machine's
; settings and the Windows directory as a standard user in that user's
; virtual store: the uninstalling user's copies go too.
Function un.RemoveVirtualStoreCopies
  DeleteRegKey HKCU "${VIRTUAL_STORE_KEY}\${SETTINGS_KEY_IN_SOFTWARE}"
  DeleteRegKey /ifempty HKCU "${VIRTUAL_STORE_KEY}\${VENDOR}"
  DeleteRegKey HKCU "${VIRTUAL_STORE_KEY}\WOW6432Node\${SETTINGS_KEY_IN_SOFTWARE}"
  DeleteRegKey /ifempty HKCU "${VIRTUAL_STORE_KEY}\WOW6432Node\${VENDOR}"
  SetShellVarContext current
  !insertmacro USER_FOLDER $5 'shell32::SHGetFolderPathW(i 0, i ${CSIDL_LOCAL_APPDATA}, i 0, i 0, i r1) i .r2' "$2 == 0" \
    "$LOCALAPPDATA" "your local application data folder"
  ${If} $5 == ""
    Return
  ${EndIf}
  StrCpy $0 $WINDIR "" 3   ; C:\Windows is stored as VirtualStore\Windows
  StrCpy $0 "$5\VirtualStore\$0"
  Delete /REBOOTOK "$0\screen.bmp"
  !insertmacro RemoveDecodedImages "$0"
FunctionEnd

; The setup's folder goes once empty. When what is left in it waits for the
; next restart, it goes then, after them; anything else in it stays.
!macro REMOVE_FOLDER DIR
  RMDir "${DIR}"
  ${If} ${FileExists} "${DIR}\*.*"
  ${AndIf} ${RebootFlag}
    RMDir /REBOOTOK "${DIR}"
  ${EndIf}
!macroend

; Exactly what the setup installed, the decoded plane images by the names the
; saver gives them and the fake desktop it makes; a picture of the user's
; own that only looks like one of them (Intro.jpg, In99.jpg) stays.
; A file that cannot be deleted now (held open by another program) goes at
; the next restart, and the uninstaller says so, also in its exit code.
Section "Uninstall"
  Call un.EndRunningSaver
  Call un.SetupRunsAsTheDesktopUser
  Pop $R9
  Call un.TakeBackScreenSaver
  ${If} $R9 == 0
    Call un.TakeBackTheDesktopUsersSaver
    Pop $0
    ${If} $0 == 0
      DetailPrint "This uninstaller runs as another account than the one logged on here, or no one is logged on, so it could not give back that account's screen saver."
      DetailPrint "If Skyvane was your screen saver, open the screen saver settings of your own account and pick another one:"
      DetailPrint "Windows 2000 and XP: right-click the desktop, Properties, the Screen Saver tab."
      DetailPrint "Windows Vista and 7: right-click the desktop, Personalize, Screen Saver."
      DetailPrint "Windows 10 and 11: Settings > Personalization > Lock screen > Screen saver (Windows 8: the Control Panel's Personalization, Screen Saver)."
    ${EndIf}
  ${EndIf}
  !insertmacro RemoveProgramFiles "$WINDIR"
  !insertmacro RemoveDecodedImages "$WINDIR"
  ; A saver killed while the Windows directory refused its images left them
  ; in its own folder of this user's temporary directory, one run beside
  ; another saver in that run's folder there (named by its number). Any
  ; folder in it is looked in: only decoded images' names go, and a folder
  ; only once empty.
  !insertmacro USER_FOLDER $5 'kernel32::GetTempPathW(i 2048, i r1) i .r2' "$2 > 0" "$TEMP" \
    "your temporary folder"
  ${If} $5 != ""
    FindFirst $R0 $R1 "$5\Skyvane\*.*"
    ${DoWhile} $R1 != ""
      ${If} $R1 != "."
      ${AndIf} $R1 != ".."
      ${AndIf} ${FileExists} "$5\Skyvane\$R1\*.*"
        !insertmacro RemoveDecodedImages "$5\Skyvane\$R1"
        !insertmacro REMOVE_FOLDER "$5\Skyvane\$R1"
      ${EndIf}
      FindNext $R0 $R1
    ${Loop}
    FindClose $R0
    !insertmacro RemoveDecodedImages "$5\Skyvane"
    !insertmacro REMOVE_FOLDER "$5\Skyvane"
  ${EndIf}
  Delete /REBOOTOK "$WINDIR\screen.bmp"
  Delete /REBOOTOK "$WINDIR\Skyvane\Skyvane - help.txt"
  Delete /REBOOTOK "$WINDIR\Skyvane\Picture credits.txt"
  !insertmacro REMOVE_FOLDER "$WINDIR\Skyvane"
  SetShellVarContext all
  Delete /REBOOTOK "$SMPROGRAMS\Skyvane\Skyvane - help.lnk"
  Delete /REBOOTOK "$SMPROGRAMS\Skyvane\Picture credits.lnk"
  Delete /REBOOTOK "$SMPROGRAMS\Skyvane\Skyvane settings.lnk"
  Delete /REBOOTOK "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk"
  !insertmacro REMOVE_FOLDER "$SMPROGRAMS\Skyvane"
  ${If} ${AtLeastWinVista}
    Call un.RemoveVirtualStoreCopies
  ${EndIf}
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${VENDOR}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} ${RebootFlag}
    DetailPrint "Some files are in use: Windows removes them when it next restarts."
    SetErrorLevel ${EXIT_RESTART_PENDING}
  ${EndIf}
  ; Run in place, as the registered commands run it, this uninstaller's own
  ; file cannot go while it runs: it goes at the next restart (a setup run
  ; before then keeps it), which alone is no removal left undone.
  Delete /REBOOTOK "$WINDIR\skyvane-uninstall.exe"
SectionEnd
