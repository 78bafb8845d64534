// The process's DPI awareness, declared through whichever function the
// system has, and the system DPI the dialogs scale by.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "framework/dpi_awareness.h"
#include "framework/scoped.h"

namespace {

using IsAwareFunction = BOOL(WINAPI*)();
using GetContextFunction = HANDLE(WINAPI*)();
using AreContextsEqualFunction = BOOL(WINAPI*)(HANDLE, HANDLE);

template <typename Function>
Function user32Entry(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

// Libraries the loader maps, counted through its own notification (Vista on).
int loadsSeen = 0;
void CALLBACK libraryNotified(ULONG reason, const void*, void*)
{
    loadsSeen += reason == 1;   // LDR_DLL_NOTIFICATION_REASON_LOADED
}

template <typename Function>
Function ntdllEntry(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

}

TEST(DpiAwareness, TheDeclaredAwarenessIsTheProcesssAndADeclarationAgainKeepsIt)
{
    auto isAware = user32Entry<IsAwareFunction>("IsProcessDPIAware");
    auto threadContext = user32Entry<GetContextFunction>("GetThreadDpiAwarenessContext");
    auto equal = user32Entry<AreContextsEqualFunction>("AreDpiAwarenessContextsEqual");
    ASSERT_TRUE(isAware && threadContext && equal) << "Wine's user32 has the DPI functions";
    const HANDLE systemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
    const HANDLE perMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
    const HANDLE perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    auto perMonitorNow = [&] { return equal(threadContext(), perMonitorV2) || equal(threadContext(), perMonitor); };
    // Wine starts every program per-monitor aware already; Windows starts
    // one without a manifest unaware. Either way the declaration succeeds.
    EXPECT_TRUE(declareDpiAwareness(DpiAwareness::PerMonitor));
    EXPECT_TRUE(isAware());
    EXPECT_TRUE(perMonitorNow());
    // Already declared: the process stays as it is and the call says so.
    EXPECT_TRUE(declareDpiAwareness(DpiAwareness::SystemDpi));
    EXPECT_TRUE(perMonitorNow());
    EXPECT_FALSE(equal(threadContext(), systemAware));
}

TEST(DpiAwareness, AnAwarenessAlreadySetIsTakenWithoutLoadingTheOlderFunctionsLibrary)
{
    // The process is aware from the test above or from its start; every
    // declaration now ends at the Windows 10 function's "already set".
    ASSERT_TRUE(declareDpiAwareness(DpiAwareness::PerMonitor));
    using Register = LONG(NTAPI*)(ULONG, void(CALLBACK*)(ULONG, const void*, void*), void*, void**);
    auto watch = ntdllEntry<Register>("LdrRegisterDllNotification");
    auto unwatch = ntdllEntry<LONG(NTAPI*)(void*)>("LdrUnregisterDllNotification");
    void* cookie = nullptr;
    ASSERT_TRUE(watch && unwatch && watch(0, libraryNotified, nullptr, &cookie) == 0) << "Wine's ntdll has it";
    EXPECT_TRUE(declareDpiAwareness(DpiAwareness::PerMonitor));
    EXPECT_TRUE(declareDpiAwareness(DpiAwareness::SystemDpi));
    unwatch(cookie);
    EXPECT_EQ(loadsSeen, 0) << "the declarations loaded a library";
}

TEST(DpiAwareness, TheSystemDpiIsTheScreensLogicalPixelsPerInch)
{
    ScopedGetDC screen(nullptr);
    EXPECT_EQ(systemDpi(), GetDeviceCaps(screen, LOGPIXELSY));
    EXPECT_GE(systemDpi(), 96);
    // One monitor, no change since log-on: the primary monitor's own DPI
    // (through shcore.dll where there is one) is the system's.
    EXPECT_EQ(primaryMonitorDpi(), GetDeviceCaps(screen, LOGPIXELSX));
}

TEST(DpiAwareness, TheOlderFunctionsLibraryComesFromTheSystemDirectoryOnly)
{
    // A library named shcore.dll beside the program, whose declaration fails.
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
    std::string directory(path);
    directory.erase(directory.find_last_of('\\') + 1);
    const std::string planted = directory + "shcore.dll";
    ASSERT_TRUE(CopyFileA((directory + "fixtures\\planted_shcore.dll").c_str(), planted.c_str(), FALSE))
        << "error " << GetLastError();
    ASSERT_EQ(GetModuleHandleA("shcore.dll"), nullptr) << "the library is loaded already";
    const bool declared = declareDpiAwarenessThroughShcore(DpiAwareness::PerMonitor);
    DeleteFileA(planted.c_str());
    EXPECT_TRUE(declared) << "the planted library answered";
    EXPECT_EQ(GetModuleHandleA("shcore.dll"), nullptr) << "loaded for one call and unloaded";
}
