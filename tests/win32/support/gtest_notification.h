// GoogleTest's Notification on a Win32 event. The Win32-threads runtime of
// MinGW, which the program is built with, has no std::mutex; GoogleTest needs
// a Notification only to start threads of its own, and is given this one
// (forced into its sources with -include) instead of the std::mutex version.
#pragma once
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {
class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};
}
