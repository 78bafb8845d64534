; Whether the setup (or its uninstaller) runs as the account that is logged on
; at the desktop. A standard user who types an administrator's name and
; password when Vista or later asks for them, or who starts the setup with
; "Run as" on 2000 and XP, runs it as that administrator: its
; HKEY_CURRENT_USER, where the NT family keeps the chosen screen saver, is then
; not the user's. A setup pushed by a management tool as the system account
; runs where no one is logged on at all (session 0 of Vista and later, XP
; before anyone logs on): the session answers with no user name.
;
; Windows 95, 98 and ME have no accounts, and NT 4.0 has none of the functions
; asked here (the System plugin looks each one up when it is called): where
; the setup's own account cannot be named, the two count as the same, and so
; they do where the session cannot be asked (terminal services not running).
;
;   Call SetupRunsAsTheDesktopUser   pushes 1, or 0 for another account or
;                                    no one logged on
;   Push SETUP  Push DESKTOP  Call SameAccount
;                                    pushes 0 when the setup's account is
;                                    named ("DOMAIN\name") and the desktop's
;                                    is another or no one (""); 1 otherwise
;   Call DesktopAccount              pushes "DOMAIN\name", "" for no one, or
;                                    "?" when the session cannot be asked
;                                    (no account name holds a "?")
;   Push "DOMAIN\name"  Call AccountSid
;                                    pushes the account's SID as text
;                                    ("S-1-5-21-..."), or "" (NT 4.0 cannot
;                                    write one; an account unknown here)
;
; The functions come as macros for the installer ("") and the uninstaller
; ("un."): !insertmacro ACCOUNT_FUNCTIONS PREFIX for all but AccountSid,
; !insertmacro ACCOUNT_SID_FUNCTION PREFIX for that one.

!include LogicLib.nsh
!include WinVer.nsh

!define /ifndef NAME_SAM_COMPATIBLE 2   ; GetUserNameExA: DOMAIN\name
!define /ifndef WTS_USER_NAME 5
!define /ifndef WTS_DOMAIN_NAME 7
!define /ifndef WTS_CURRENT_SESSION -1
!define /ifndef SECURITY_MAX_SID_SIZE 68
!define DESKTOP_NOT_ASKED "?"

!macro ACCOUNT_FUNCTIONS UN
; Windows compares account names without regard to case; so does StrCmp.
Function ${UN}SameAccount
  Exch $0   ; the desktop's account
  Exch
  Exch $1   ; the setup's account
  ${If} $1 == ""
  ${OrIf} $0 == "${DESKTOP_NOT_ASKED}"
  ${OrIf} $0 == $1
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; Pushes DOMAIN\name of the account this process runs as, or "".
Function ${UN}SetupAccount
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
; WTS_DOMAIN_NAME), or "${DESKTOP_NOT_ASKED}" when the session cannot be asked.
Function ${UN}SessionText
  Exch $0   ; which text
  Push $1
  Push $2
  System::Call 'wtsapi32::WTSQuerySessionInformationA(i 0, i ${WTS_CURRENT_SESSION}, i r0, *i .r1, *i .r2) i .r0'
  ${If} $0 == "error"
  ${OrIf} $0 == 0
    StrCpy $0 "${DESKTOP_NOT_ASKED}"
  ${Else}
    System::Call 'kernel32::lstrcpynA(t .r0, i r1, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(i r1)'
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Pushes DOMAIN\name of the account logged on in this session (the one whose
; desktop the setup's windows are on), "" when the session has no user, or
; "${DESKTOP_NOT_ASKED}".
Function ${UN}DesktopAccount
  Push $0
  Push $1
  Push ${WTS_USER_NAME}
  Call ${UN}SessionText
  Pop $0
  Push ${WTS_DOMAIN_NAME}
  Call ${UN}SessionText
  Pop $1
  ${If} $0 == "${DESKTOP_NOT_ASKED}"
  ${OrIf} $1 == "${DESKTOP_NOT_ASKED}"
    StrCpy $0 "${DESKTOP_NOT_ASKED}"
  ${ElseIf} $0 == ""
    StrCpy $0 ""
  ${ElseIf} $1 == ""   ; a user without a domain cannot be named in full
    StrCpy $0 "${DESKTOP_NOT_ASKED}"
  ${Else}
    StrCpy $0 "$1\$0"
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

Function ${UN}SetupRunsAsTheDesktopUser
  ${IfNot} ${IsNT}
    Push 1
    Return
  ${EndIf}
  Call ${UN}SetupAccount
  Call ${UN}DesktopAccount
  Call ${UN}SameAccount
FunctionEnd

!macroend

; The SID of a named account as text, through LookupAccountNameA and
; ConvertSidToStringSidA (Windows 2000 and later).
!macro ACCOUNT_SID_FUNCTION UN
Function ${UN}AccountSid
  Exch $0   ; DOMAIN\name
  Push $1
  Push $2
  Push $3
  System::Alloc ${SECURITY_MAX_SID_SIZE}
  Pop $1
  System::Call 'advapi32::LookupAccountNameA(i 0, t r0, i r1, *i ${SECURITY_MAX_SID_SIZE}, t .r3, *i ${NSIS_MAX_STRLEN}, *i .r2) i .r2'
  StrCpy $0 ""
  ${If} $2 != "error"
  ${AndIf} $2 != 0
    System::Call 'advapi32::ConvertSidToStringSidA(i r1, *i .r3) i .r2'
    ${If} $2 != "error"
    ${AndIf} $2 != 0
      System::Call 'kernel32::lstrcpynA(t .r0, i r3, i ${NSIS_MAX_STRLEN})'
      System::Call 'kernel32::LocalFree(i r3)'
    ${EndIf}
  ${EndIf}
  System::Free $1
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!macroend
