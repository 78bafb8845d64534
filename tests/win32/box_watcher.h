// Answers the message boxes this process opens: records each box's caption
// and text and presses its OK button, so a test can run code that reports an
// error in the framework's modal error box. It may first post a message to
// the box's owner, which the box's own loop then hands to it.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

class BoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    // A Win32 thread and critical section: the program's runtime (MinGW's
    // Win32-threads flavour) has no std::thread or std::mutex.
    // toOwner: posted to each box's owner first (0: none); the box is
    // answered only if it is still there a good while after.
    explicit BoxWatcher(UINT toOwner = 0, WPARAM toOwnerParameter = 0)
        : toOwner_(toOwner), toOwnerParameter_(toOwnerParameter)
    {
        InitializeCriticalSection(&lock_);
        thread_ = CreateThread(nullptr, 0, &BoxWatcher::run, this, 0, nullptr);
    }
    ~BoxWatcher()
    {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        DeleteCriticalSection(&lock_);
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<Box> boxes() const
    {
        EnterCriticalSection(&lock_);
        std::vector<Box> copy = boxes_;
        LeaveCriticalSection(&lock_);
        return copy;
    }

private:
    static BOOL CALLBACK visit(HWND window, LPARAM parameter)
    {
        auto* self = reinterpret_cast<BoxWatcher*>(parameter);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char className[64] = {};
        GetClassNameA(window, className, sizeof className);
        if (process != GetCurrentProcessId() || std::string(className) != "#32770" || !IsWindowVisible(window))
            return TRUE;
        char caption[256] = {};
        char text[1024] = {};
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);   // a message box's text control
        EnterCriticalSection(&self->lock_);
        self->boxes_.push_back({caption, text});
        LeaveCriticalSection(&self->lock_);
        if (self->toOwner_) {
            PostMessageA(GetWindow(window, GW_OWNER), self->toOwner_, self->toOwnerParameter_, 0);
            for (int i = 0; i < 500 && IsWindow(window); ++i)
                Sleep(10);
        }
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        // Wait for this box to go before looking again, so it is counted once.
        for (int i = 0; i < 200 && IsWindow(window) && IsWindowVisible(window); ++i)
            Sleep(10);
        return TRUE;
    }

    static DWORD WINAPI run(LPVOID parameter)
    {
        auto* self = static_cast<BoxWatcher*>(parameter);
        while (!self->stop_) {
            EnumWindows(&BoxWatcher::visit, reinterpret_cast<LPARAM>(self));
            Sleep(30);
        }
        return 0;
    }

    mutable CRITICAL_SECTION lock_;
    std::vector<Box> boxes_;
    std::atomic<bool> stop_{false};
    HANDLE thread_ = nullptr;
    UINT toOwner_;
    WPARAM toOwnerParameter_;
};
