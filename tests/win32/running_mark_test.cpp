// The running mark under Wine: a name taken by another kind of object keeps a
// start off the shared images; the mark a saver makes lets every account
// wait on it and nothing more, and belongs to its creator.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "app/running_mark.h"

namespace {

// The process's token user, as a TOKEN_USER record.
std::vector<BYTE> tokenUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    CloseHandle(token);
    return user;
}

TEST(RunningMark, ANameOfAnotherKindKeepsOffTheSharedImages)
{
    HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, runningSaverMarkName());
    ASSERT_NE(squatter, nullptr);
    EXPECT_TRUE(holdRunningSaverMark()) << "taken as no saver running";
    EXPECT_TRUE(aSaverRunsAnywhere());
    CloseHandle(squatter);
}

TEST(RunningMark, EveryoneMayOnlyWaitOnItAndItsCreatorOwnsIt)
{
    ASSERT_FALSE(aSaverRunsAnywhere()) << "a mark was there before";
    ASSERT_FALSE(holdRunningSaverMark());
    EXPECT_TRUE(holdRunningSaverMark()) << "a second saver does not find the first";
    EXPECT_TRUE(aSaverRunsAnywhere());

    HANDLE mark = OpenMutexA(READ_CONTROL, FALSE, runningSaverMarkName());
    ASSERT_NE(mark, nullptr) << GetLastError();
    const SECURITY_INFORMATION asked = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetKernelObjectSecurity(mark, asked, nullptr, 0, &size);
    std::vector<DWORD> descriptor((size + 3) / 4 + 1);
    ASSERT_TRUE(GetKernelObjectSecurity(mark, asked, descriptor.data(), size, &size)) << GetLastError();
    CloseHandle(mark);

    const std::vector<BYTE> user = tokenUser();
    ASSERT_FALSE(user.empty());
    PSID creator = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted));
    ASSERT_NE(owner, nullptr);
    EXPECT_TRUE(EqualSid(owner, creator)) << "the creator does not own the mark";

    BOOL present = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted));
    ASSERT_TRUE(present && acl) << "no access list: every account may do anything";
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    ASSERT_EQ(acl->AceCount, 2);
    bool everyoneSeen = false, creatorSeen = false;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(acl, index, &entry));
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        ASSERT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        PSID sid = &allowed->SidStart;
        if (EqualSid(sid, everyone)) {
            everyoneSeen = true;
            EXPECT_EQ(allowed->Mask, static_cast<DWORD>(SYNCHRONIZE)) << std::hex << allowed->Mask;
        } else if (EqualSid(sid, creator)) {
            creatorSeen = true;
            EXPECT_EQ(allowed->Mask, static_cast<DWORD>(MUTEX_ALL_ACCESS)) << std::hex << allowed->Mask;
        }
    }
    FreeSid(everyone);
    EXPECT_TRUE(everyoneSeen && creatorSeen);
}

} // namespace
