; Whether the setup runs as the account that is logged on at the desktop.
; A standard user who types an administrator's name and password when Vista
; or later asks for them, or who starts the setup with "Run as" on 2000 and
; XP, runs it as that administrator: its HKEY_CURRENT_USER, where the NT family
; keeps the chosen screen saver, is then not the user's.
;
; Windows 95, 98 and ME have no accounts, and NT 4.0 has none of the functions
; asked here (the System plugin looks each one up when it is called): where
; an account cannot be named, the two count as the same.
;
;   Call SetupRunsAsTheDesktopUser   pushes 1, or 0 for another account
;   Push SETUP  Push DESKTOP  Call SameAccount
;                                    pushes 0 only when both are named
;                                    ("DOMAIN\name") and differ

!include LogicLib.nsh
!include WinVer.nsh

!define /ifndef NAME_SAM_COMPATIBLE 2   ; GetUserNameExA: DOMAIN\name
!define /ifndef WTS_USER_NAME 5
!define /ifndef WTS_DOMAIN_NAME 7
!define /ifndef WTS_CURRENT_SESSION -1

; Windows compares account names without regard to case; so does StrCmp.
Function SameAccount
  Exch $0   ; the desktop's account
  Exch
  Exch $1   ; the setup's account
  ${If} $0 == ""
  ${OrIf} $1 == ""
  ${OrIf} $0 == $1
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; Pushes DOMAIN\name of the account this process runs as, or "".
Function SetupAccount
  Push $0
  Push $1
  System::Call 'secur32::GetUserNameExA(i ${NAME_SAM_COMPATIBLE}, t .r1, *i ${NSIS_MAX_STRLEN}) i .r0'
  ${If} $0 == "error"
  ${OrIf} $0 == 0
    StrCpy $1 ""
  ${EndIf}
  StrCpy $0 $1
  Pop $1
  Exch $0
FunctionEnd

; Pushes one text of the session this process runs in (WTS_USER_NAME,
; WTS_DOMAIN_NAME), or "".
Function SessionText
  Exch $0   ; which text
  Push $1
  Push $2
  System::Call 'wtsapi32::WTSQuerySessionInformationA(i 0, i ${WTS_CURRENT_SESSION}, i r0, *i .r1, *i .r2) i .r0'
  ${If} $0 == "error"
  ${OrIf} $0 == 0
    StrCpy $0 ""
  ${Else}
    System::Call 'kernel32::lstrcpynA(t .r0, i r1, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(i r1)'
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Pushes DOMAIN\name of the account logged on in this session (the one whose
; desktop the setup's windows are on), or "".
Function DesktopAccount
  Push $0
  Push $1
  Push ${WTS_USER_NAME}
  Call SessionText
  Pop $0
  Push ${WTS_DOMAIN_NAME}
  Call SessionText
  Pop $1
  ${If} $0 == ""
  ${OrIf} $1 == ""
    StrCpy $0 ""
  ${Else}
    StrCpy $0 "$1\$0"
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

Function SetupRunsAsTheDesktopUser
  ${IfNot} ${IsNT}
    Push 1
    Return
  ${EndIf}
  Call SetupAccount
  Call DesktopAccount
  Call SameAccount
FunctionEnd
