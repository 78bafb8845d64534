// Window timers: ticks reach their handler through the owner form, a new
// interval starts the count afresh, disabled or zero-interval timers hold no
// system timer, and a failing tick is reported without stopping the program,
// in one box at a time: no tick runs inside the box of its own failure.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "box_watcher.h"
#include "framework/application.h"
#include "framework/exceptions.h"
#include "framework/form.h"
#include "framework/timer.h"

namespace {

constexpr DWORD generousTimeoutMs = 10000;
constexpr UINT oneHourMs = 60 * 60 * 1000;

class TimerForm : public Form {
public:
    TimerForm()
    {
        Design design;
        design.className = "SkyvaneTimerTestForm";
        design.caption = "timer test";
        create(design);
    }
    using Form::registerTimer;
};

// Dispatches this thread's messages until the condition holds or the
// generous timeout has passed; returns the condition.
bool pumpUntil(const std::function<bool()>& condition)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > generousTimeoutMs)
            return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
    return true;
}

// True when the system holds a timer of that id for the window (and removes it).
bool systemTimerExists(HWND window, UINT_PTR id)
{
    return KillTimer(window, id) != FALSE;
}

BOOL CALLBACK countOpenBox(HWND window, LPARAM count)
{
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && IsWindowVisible(window))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

class Timers : public ::testing::Test {
protected:
    void SetUp() override { Application::instance().initialize(GetModuleHandleA(nullptr)); }
    TimerForm form;
    int ticks = 0;
};

TEST_F(Timers, AnEnabledTimerTicksIntoItsHandler)
{
    Timer timer(nullptr, 7, 10, [this] { ++ticks; });
    form.registerTimer(timer);
    EXPECT_FALSE(timer.enabled());
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([this] { return ticks >= 2; }));
}

TEST_F(Timers, ATimerEnabledBeforeItHasAWindowStartsWithTheWindow)
{
    Timer timer(nullptr, 8, 10, [this] { ++ticks; });
    timer.setEnabled(true);
    form.registerTimer(timer);
    EXPECT_TRUE(pumpUntil([this] { return ticks >= 1; }));
}

TEST_F(Timers, ANewIntervalStartsTheCountAfresh)
{
    Timer timer(nullptr, 9, oneHourMs, [this] { ++ticks; });
    form.registerTimer(timer);
    timer.setEnabled(true);
    // The hour already begun must not delay the new, short interval.
    timer.setInterval(10);
    EXPECT_EQ(timer.interval(), 10u);
    EXPECT_TRUE(pumpUntil([this] { return ticks >= 1; }));
}

TEST_F(Timers, DisabledAndZeroIntervalTimersHoldNoSystemTimer)
{
    Timer timer(nullptr, 10, 25, [this] { ++ticks; });
    form.registerTimer(timer);
    EXPECT_FALSE(systemTimerExists(form.handle(), 10));

    timer.setEnabled(true);
    timer.setEnabled(false);
    EXPECT_FALSE(systemTimerExists(form.handle(), 10));

    timer.setInterval(0);
    timer.setEnabled(true);
    EXPECT_FALSE(systemTimerExists(form.handle(), 10));

    timer.setInterval(25);   // a real interval starts it
    EXPECT_TRUE(systemTimerExists(form.handle(), 10));
}

TEST_F(Timers, DispatchAnswersOnlyForItsOwnIdAndOnlyRunsWhenEnabled)
{
    Timer timer(nullptr, 11, 25, [this] { ++ticks; });
    form.registerTimer(timer);
    EXPECT_FALSE(timer.dispatch(12));
    EXPECT_TRUE(timer.dispatch(11));   // a tick left over from before it was disabled
    EXPECT_EQ(ticks, 0);
    timer.setEnabled(true);
    EXPECT_TRUE(timer.dispatch(11));
    EXPECT_EQ(ticks, 1);
}

TEST_F(Timers, AFailingTickIsReportedAndTheTimerGoesOn)
{
    Application::instance().setTitle("Skyvane!");
    BoxWatcher boxes;
    Timer timer(nullptr, 13, 10, [this] {
        if (++ticks == 1)
            throw std::runtime_error("Range check error");
    });
    form.registerTimer(timer);
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([this] { return ticks >= 3; }));
    timer.setEnabled(false);
    ASSERT_FALSE(boxes.boxes().empty());
    EXPECT_EQ(boxes.boxes().front().caption, "Skyvane!");
    EXPECT_EQ(boxes.boxes().front().text, "Range check error.");
}

TEST_F(Timers, ATickThatAlwaysFailsRunsNeverInsideTheBoxOfItsFailure)
{
    BoxWatcher boxes;
    int ticksInsideABox = 0;
    Timer timer(nullptr, 14, 5, [&] {
        if (++ticks == 3)
            timer.setEnabled(false);   // the third failure is the last
        // A box of this thread still open means this tick runs in its modal loop.
        EnumThreadWindows(GetCurrentThreadId(), &countOpenBox, reinterpret_cast<LPARAM>(&ticksInsideABox));
        throw std::runtime_error("Out of system resources");
    });
    form.registerTimer(timer);
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([&] { return !timer.enabled(); }));
    EXPECT_EQ(ticksInsideABox, 0) << "of " << ticks << " ticks";
    EXPECT_EQ(static_cast<int>(boxes.boxes().size()), ticks);
}

TEST_F(Timers, ATimerThatCouldNotStartIsNotEnabledSoTheNextEnableStartsIt)
{
    // The system refuses a timer for a window that is gone.
    HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(gone && DestroyWindow(gone));
    Timer timer(gone, 15, 10, [this] { ++ticks; });
    EXPECT_THROW(timer.setEnabled(true), Exception);
    EXPECT_FALSE(timer.enabled());

    form.registerTimer(timer);
    EXPECT_FALSE(systemTimerExists(form.handle(), 15));
    timer.setEnabled(true);
    EXPECT_TRUE(pumpUntil([this] { return ticks >= 1; }));
}

} // namespace
