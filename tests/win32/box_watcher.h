// Answers the message boxes this process opens: records each box's caption
// and text and presses its OK button, so a test can run code that reports an
// error in the framework's modal error box.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class BoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    BoxWatcher() : thread_([this] { watch(); }) {}
    ~BoxWatcher()
    {
        stop_ = true;
        thread_.join();
    }
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<Box> boxes() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
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
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->boxes_.push_back({caption, text});
        }
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        // Wait for this box to go before looking again, so it is counted once.
        for (int i = 0; i < 200 && IsWindow(window) && IsWindowVisible(window); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return TRUE;
    }

    void watch()
    {
        while (!stop_) {
            EnumWindows(&BoxWatcher::visit, reinterpret_cast<LPARAM>(this));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }

    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
