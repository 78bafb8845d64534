// A window timer with enabled/interval semantics: setting a new interval on an
// enabled timer restarts its count; setting the same interval changes nothing.
// Ticks arrive as WM_TIMER at the owner window, which calls Timer::dispatch.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>

class Timer {
public:
    Timer(HWND owner, UINT_PTR id, UINT intervalMs, std::function<void()> onTimer);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setOwner(HWND owner);   // for timers declared before their window exists
    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    void setInterval(UINT intervalMs);
    UINT interval() const { return interval_; }
    UINT_PTR id() const { return id_; }

    // True when the WM_TIMER's id is this timer's; runs the handler guarded.
    // A tick that comes while the handler still runs (in a nested modal loop,
    // such as the error box of its own failure) is dropped: a tick that fails
    // every time shows one box, not one inside the other.
    bool dispatch(WPARAM timerId);

private:
    void restart();
    HWND owner_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
    bool ticking_ = false;
    std::function<void()> onTimer_;
};

// A seed for a random source from the high-resolution clock (the tick count
// where there is none), different at every call.
std::uint32_t clockSeed();
