#include "framework/timer.h"

#include "framework/application.h"
#include "framework/exceptions.h"

Timer::Timer(HWND owner, UINT_PTR id, UINT intervalMs, std::function<void()> onTimer)
    : owner_(owner), id_(id), interval_(intervalMs), onTimer_(std::move(onTimer))
{
}

Timer::~Timer()
{
    if (owner_)
        KillTimer(owner_, id_);
}

void Timer::setOwner(HWND owner)
{
    if (owner_ == owner)
        return;
    if (owner_)
        KillTimer(owner_, id_);
    owner_ = owner;
    restart();
}

void Timer::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    restart();
}

void Timer::setInterval(UINT intervalMs)
{
    // The same interval again leaves the running count alone; a new one
    // starts counting afresh from now.
    if (interval_ == intervalMs)
        return;
    interval_ = intervalMs;
    restart();
}

void Timer::restart()
{
    if (!owner_)
        return;
    // KillTimer also removes the ticks already waiting in the queue.
    KillTimer(owner_, id_);
    // An interval of 0 keeps the timer silent, as does a missing handler.
    if (enabled_ && interval_ != 0 && onTimer_) {
        if (!SetTimer(owner_, id_, interval_, nullptr)) {
            // A timer that did not start is not running: the next enable tries again.
            enabled_ = false;
            throw Exception("Not enough timers available");
        }
    }
}

bool Timer::dispatch(WPARAM timerId)
{
    if (timerId != id_)
        return false;
    if (!enabled_ || !onTimer_ || ticking_)
        return true;
    ticking_ = true;
    Application::instance().guarded(onTimer_, owner_);
    ticking_ = false;
    return true;
}

std::uint32_t clockSeed()
{
    LARGE_INTEGER now;
    if (QueryPerformanceCounter(&now))
        return static_cast<std::uint32_t>(now.QuadPart ^ (now.QuadPart >> 32));
    return GetTickCount();
}
