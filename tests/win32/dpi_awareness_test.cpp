// The process's DPI awareness, declared through whichever function the
// system has, and the system DPI the dialogs scale by.
#include <gtest/gtest.h>
#include <windows.h>

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

// Counts the libraries the loader maps while it exists (the loader's own
// notification, Vista and later).
class LoadWatch {
public:
    LoadWatch()
    {
        auto registerFunction = ntdllEntry<RegisterFunction>("LdrRegisterDllNotification");
        if (registerFunction && registerFunction(0, &LoadWatch::notified, &loads_, &cookie_) != 0)
            cookie_ = nullptr;
    }
    ~LoadWatch()
    {
        auto unregisterFunction = ntdllEntry<UnregisterFunction>("LdrUnregisterDllNotification");
        if (cookie_ && unregisterFunction)
            unregisterFunction(cookie_);
    }
    LoadWatch(const LoadWatch&) = delete;
    LoadWatch& operator=(const LoadWatch&) = delete;

    bool registered() const { return cookie_ != nullptr; }
    int loads() const { return loads_; }

private:
    static constexpr ULONG loaded = 1;   // LDR_DLL_NOTIFICATION_REASON_LOADED
    using Callback = void(CALLBACK*)(ULONG, const void*, void*);
    using RegisterFunction = LONG(NTAPI*)(ULONG, Callback, void*, void**);
    using UnregisterFunction = LONG(NTAPI*)(void*);

    template <typename Function>
    static Function ntdllEntry(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
    }
    static void CALLBACK notified(ULONG reason, const void*, void* count)
    {
        if (reason == loaded)
            ++*static_cast<int*>(count);
    }

    int loads_ = 0;
    void* cookie_ = nullptr;
};

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
    LoadWatch watch;
    ASSERT_TRUE(watch.registered()) << "Wine's ntdll has LdrRegisterDllNotification";
    EXPECT_TRUE(declareDpiAwareness(DpiAwareness::PerMonitor));
    EXPECT_TRUE(declareDpiAwareness(DpiAwareness::SystemDpi));
    EXPECT_EQ(watch.loads(), 0) << "the declarations loaded a library";
}

TEST(DpiAwareness, TheSystemDpiIsTheScreensLogicalPixelsPerInch)
{
    ScopedGetDC screen(nullptr);
    EXPECT_EQ(systemDpi(), GetDeviceCaps(screen, LOGPIXELSY));
    EXPECT_GE(systemDpi(), 96);
}
