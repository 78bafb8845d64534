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
;   Push ADDRESS  Call ExactAnsiSpelling
;                                    pushes the wide string at ADDRESS as the
;                                    code page spells it exactly, or ""
;
; The NT family names accounts in Unicode: asked in ANSI, it spells a letter
; outside the code page as a look-alike (the stroked L of "Łukasz" as L),
; which may be another account's name. So the names are asked for wide, and
; an account whose name the code page cannot spell exactly stands as its SID.
;
; The functions come as macros for the installer ("") and the uninstaller
; ("un."): !insertmacro ACCOUNT_FUNCTIONS PREFIX for all but AccountSid,
; !insertmacro ACCOUNT_SID_FUNCTION PREFIX for that one.

!include LogicLib.nsh
!include WinVer.nsh

!define /ifndef NAME_SAM_COMPATIBLE 2   ; GetUserNameExW: DOMAIN\name
!define /ifndef WTS_USER_NAME 5
!define /ifndef WTS_DOMAIN_NAME 7
!define /ifndef WTS_CURRENT_SESSION -1
!define /ifndef SECURITY_MAX_SID_SIZE 68
!define DESKTOP_NOT_ASKED "?"
!define /math WIDE_ROOM ${NSIS_MAX_STRLEN} * 2   ; bytes: a wide string as long as an NSIS one
!define /math TWICE_WIDE_ROOM ${WIDE_ROOM} * 2

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

; Windows spells a wide string it cannot spell exactly with a look-alike
; ("best fit"); NT 4.0 rejects the flag that forbids it, so the spelling is
; turned back and compared.
Function ${UN}ExactAnsiSpelling
  Exch $0   ; the wide string's address
  Push $1
  Push $2
  Push $3
  Push $4
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0, i r0, i -1, t .r1, i ${NSIS_MAX_STRLEN}, i 0, i 0) i .r2'
  ${If} $2 > 0
    System::Alloc ${WIDE_ROOM}
    Pop $3
    System::Call 'kernel32::MultiByteToWideChar(i 0, i 0, t r1, i -1, i r3, i ${NSIS_MAX_STRLEN}) i .r2'
    System::Call 'kernel32::lstrlenW(i r0) i .r4'
    IntOp $4 $4 + 1
    ${If} $2 == $4
      IntOp $4 $4 * 2
      System::Call 'ntdll::RtlCompareMemory(i r0, i r3, i r4) i .r2'
      ${If} $2 != $4
        StrCpy $1 ""
      ${EndIf}
    ${Else}
      StrCpy $1 ""
    ${EndIf}
    System::Free $3
  ${Else}
    StrCpy $1 ""
  ${EndIf}
  StrCpy $0 $1
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Pops the address of a wide DOMAIN\name; pushes the account's SID as text,
; or "" (NT 4.0 cannot write one; an account unknown here).
Function ${UN}WideAccountSid
  Exch $0
  Push $1
  Push $2
  Push $3
  System::Alloc ${SECURITY_MAX_SID_SIZE}
  Pop $1
  System::Alloc ${WIDE_ROOM}
  Pop $3
  System::Call 'advapi32::LookupAccountNameW(i 0, i r0, i r1, *i ${SECURITY_MAX_SID_SIZE}, i r3, *i ${NSIS_MAX_STRLEN}, *i .r2) i .r2'
  System::Free $3
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

; Pops the address of a wide DOMAIN\name; pushes it as the code page spells
; it exactly, else the account's SID, else "".
Function ${UN}WideAccountText
  Exch $0
  Push $1
  Push $0
  Call ${UN}ExactAnsiSpelling
  Pop $1
  ${If} $1 == ""
    Push $0
    Call ${UN}WideAccountSid
    Pop $1
  ${EndIf}
  StrCpy $0 $1
  Pop $1
  Exch $0
FunctionEnd

; Pushes DOMAIN\name of the account this process runs as (or its SID), or "".
Function ${UN}SetupAccount
  Push $0
  Push $1
  System::Alloc ${WIDE_ROOM}
  Pop $1
  System::Call 'secur32::GetUserNameExW(i ${NAME_SAM_COMPATIBLE}, i r1, *i ${NSIS_MAX_STRLEN}) i .r0'
  ${If} $0 == "error"
  ${OrIf} $0 == 0
    StrCpy $0 ""
  ${Else}
    Push $1
    Call ${UN}WideAccountText
    Pop $0
  ${EndIf}
  System::Free $1
  Pop $1
  Exch $0
FunctionEnd

; Pops the address of a wide buffer (NSIS_MAX_STRLEN characters) and one
; text of the session this process runs in (WTS_USER_NAME, WTS_DOMAIN_NAME);
; writes the text there and pushes 1, or pushes "${DESKTOP_NOT_ASKED}" when
; the session cannot be asked.
Function ${UN}SessionText
  Exch $0   ; where
  Exch
  Exch $1   ; which text
  Push $2
  Push $3
  System::Call 'wtsapi32::WTSQuerySessionInformationW(i 0, i ${WTS_CURRENT_SESSION}, i r1, *i .r2, *i .r3) i .r3'
  ${If} $3 == "error"
  ${OrIf} $3 == 0
    StrCpy $0 "${DESKTOP_NOT_ASKED}"
  ${Else}
    System::Call 'kernel32::lstrcpynW(i r0, i r2, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(i r2)'
    StrCpy $0 1
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Pushes DOMAIN\name of the account logged on in this session (the one whose
; desktop the setup's windows are on) or its SID, "" when the session has no
; user, or "${DESKTOP_NOT_ASKED}" (also for a user who cannot be named).
Function ${UN}DesktopAccount
  Push $0
  Push $1
  Push $2
  Push $3
  System::Alloc ${WIDE_ROOM}
  Pop $2   ; the user's name
  System::Alloc ${TWICE_WIDE_ROOM}
  Pop $3   ; the domain, then DOMAIN\name
  Push ${WTS_USER_NAME}
  Push $2
  Call ${UN}SessionText
  Pop $0
  Push ${WTS_DOMAIN_NAME}
  Push $3
  Call ${UN}SessionText
  Pop $1
  ${If} $0 == "${DESKTOP_NOT_ASKED}"
  ${OrIf} $1 == "${DESKTOP_NOT_ASKED}"
    StrCpy $0 "${DESKTOP_NOT_ASKED}"
  ${Else}
    System::Call 'kernel32::lstrlenW(i r2) i .r0'
    System::Call 'kernel32::lstrlenW(i r3) i .r1'
    ${If} $0 == 0
      StrCpy $0 ""
    ${ElseIf} $1 == 0   ; a user without a domain cannot be named in full
      StrCpy $0 "${DESKTOP_NOT_ASKED}"
    ${Else}
      System::Call 'kernel32::lstrcatW(i r3, w "\")'
      System::Call 'kernel32::lstrcatW(i r3, i r2)'
      Push $3
      Call ${UN}WideAccountText
      Pop $0
      ${If} $0 == ""
        StrCpy $0 "${DESKTOP_NOT_ASKED}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  System::Free $3
  System::Free $2
  Pop $3
  Pop $2
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

; The SID of a named account as text (Windows 2000 and later); a SID stands
; for itself: it names an account whose name the code page cannot spell.
!macro ACCOUNT_SID_FUNCTION UN
Function ${UN}AccountSid
  Exch $0   ; DOMAIN\name
  Push $1
  StrCpy $1 $0 4
  ${If} $1 != "S-1-"
    System::Alloc ${WIDE_ROOM}
    Pop $1
    System::Call 'kernel32::MultiByteToWideChar(i 0, i 0, t r0, i -1, i r1, i ${NSIS_MAX_STRLEN})'
    Push $1
    Call ${UN}WideAccountSid
    Pop $0
    System::Free $1
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd
!macroend
