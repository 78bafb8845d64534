#include "app/running_mark.h"

#include <windows.h>

#include <vector>

#include "app/running_mark_state.h"
#include "framework/scoped.h"
#include "framework/system_version.h"

namespace {
// What every account may do with the mark: open it and wait on it; nothing
// that changes it (0x0001, MUTEX_MODIFY_STATE, would let it be released).
constexpr DWORD everyonesRights = SYNCHRONIZE;

// The security functions, looked up: Windows 95 lacks most of them.
struct SecurityFunctions {
    using InitializeDescriptor = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
    using SetDescriptorDacl = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
    using SetDescriptorOwner = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, PSID, BOOL);
    using InitializeAclEntry = BOOL(WINAPI*)(PACL, DWORD, DWORD);
    using AddAllowedAce = BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID);
    using OpenToken = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using TokenInformation = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
    using SidLength = DWORD(WINAPI*)(PSID);

    explicit SecurityFunctions(HMODULE advapi32)
        : initializeDescriptor(lookUp<InitializeDescriptor>(advapi32, "InitializeSecurityDescriptor")),
          setDacl(lookUp<SetDescriptorDacl>(advapi32, "SetSecurityDescriptorDacl")),
          setOwner(lookUp<SetDescriptorOwner>(advapi32, "SetSecurityDescriptorOwner")),
          initializeAcl(lookUp<InitializeAclEntry>(advapi32, "InitializeAcl")),
          addAllowedAce(lookUp<AddAllowedAce>(advapi32, "AddAccessAllowedAce")),
          openToken(lookUp<OpenToken>(advapi32, "OpenProcessToken")),
          tokenInformation(lookUp<TokenInformation>(advapi32, "GetTokenInformation")),
          sidLength(lookUp<SidLength>(advapi32, "GetLengthSid"))
    {
    }
    bool complete() const
    {
        return initializeDescriptor && setDacl && setOwner && initializeAcl && addAllowedAce && openToken
            && tokenInformation && sidLength;
    }

    InitializeDescriptor initializeDescriptor;
    SetDescriptorDacl setDacl;
    SetDescriptorOwner setOwner;
    InitializeAclEntry initializeAcl;
    AddAllowedAce addAllowedAce;
    OpenToken openToken;
    TokenInformation tokenInformation;
    SidLength sidLength;
};

// The account the saver runs as (its token's user), as a TOKEN_USER record;
// empty when the system does not say.
std::vector<BYTE> tokenUser(const SecurityFunctions& security)
{
    HANDLE token = nullptr;
    if (!security.openToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    security.tokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !security.tokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    CloseHandle(token);
    return user;
}

// The mark's access list: every account may open it and wait on it; only the
// account that made it may change it. That account owns it too: an elevated
// creator's token would otherwise make the Administrators group its owner.
class MarkSecurity {
public:
    MarkSecurity()
    {
        if (!systemVersion().ntFamily())
            return;   // Windows 9x has no access lists
        const SecurityFunctions security(GetModuleHandleA("advapi32.dll"));
        if (!security.complete())
            return;
        creator_ = tokenUser(security);
        if (creator_.empty())
            return;
        PSID creator = reinterpret_cast<TOKEN_USER*>(creator_.data())->User.Sid;
        PSID everyone = &everyone_;
        const DWORD aclSize = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD))
            + security.sidLength(everyone) + security.sidLength(creator);
        acl_.resize((aclSize + 3) / 4);
        PACL acl = reinterpret_cast<PACL>(acl_.data());
        if (security.initializeAcl(acl, static_cast<DWORD>(acl_.size() * 4), ACL_REVISION)
            && security.addAllowedAce(acl, ACL_REVISION, everyonesRights, everyone)
            && security.addAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, creator)
            && security.initializeDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)
            && security.setDacl(&descriptor_, TRUE, acl, FALSE)
            && security.setOwner(&descriptor_, creator, FALSE))
            attributes_.lpSecurityDescriptor = &descriptor_;
    }
    MarkSecurity(const MarkSecurity&) = delete;
    MarkSecurity& operator=(const MarkSecurity&) = delete;

    // Null where the system has no access lists, or where the list could not
    // be made: the mark then has the system's default one, its creator's.
    SECURITY_ATTRIBUTES* attributes() { return attributes_.lpSecurityDescriptor ? &attributes_ : nullptr; }

private:
    SID everyone_{SID_REVISION, 1, SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}};   // S-1-1-0
    std::vector<BYTE> creator_;
    std::vector<DWORD> acl_;   // DWORD-aligned, as an access list must be
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{sizeof attributes_, nullptr, FALSE};
};
}

const char* runningSaverMarkName()
{
    const SystemVersion system = systemVersion();
    return system.ntFamily() && system.major >= 5 ? "Global\\Skyvane saver running" : "Skyvane saver running";
}

bool holdRunningSaverMark()
{
    MarkSecurity security;
    const char* name = runningSaverMarkName();
    // Held by another account's saver, the mark opens for this one with the
    // rights every account has; making it asks for all of them, and is
    // refused. The saver still keeps the mark there while it runs by holding
    // it open for waiting. Either handle stays open for the process's life.
    // A mark gone between the two calls is made again, a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const HANDLE made = CreateMutexA(security.attributes(), FALSE, name);
        const DWORD makeError = GetLastError();
        const HANDLE opened = made ? nullptr : OpenMutexA(SYNCHRONIZE, FALSE, name);
        const DWORD openError = made || opened ? 0 : GetLastError();
        switch (runningMarkState(made != nullptr, makeError, opened != nullptr, openError)) {
        case RunningMarkState::Alone:
            return false;
        case RunningMarkState::AnotherRuns:
            return true;
        case RunningMarkState::Gone:
            break;
        }
    }
    return true;
}

bool aSaverRunsAnywhere()
{
    HANDLE mark = OpenMutexA(SYNCHRONIZE, FALSE, runningSaverMarkName());
    const DWORD openError = mark ? 0 : GetLastError();
    if (mark)
        CloseHandle(mark);
    return markMayBeHeld(mark != nullptr, openError);
}
