// The flights asleep while the display is off: what each system message says
// about the display, which setting each Windows version is asked for, and
// which flight timers run after each change.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "saver/display_sleep.h"

namespace {

constexpr uintptr_t monitorPower = 0xF170;   // SC_MONITORPOWER
constexpr uintptr_t screenSave = 0xF140;     // SC_SCREENSAVE
constexpr uintptr_t close = 0xF060;          // SC_CLOSE

TEST(MonitorPowerCommand, OffAndLowPowerSleepOnWakesAnythingElseSaysNothing)
{
    struct Row {
        uintptr_t wParam;
        intptr_t lParam;
        std::optional<DisplayPower> expected;
    };
    const Row rows[] = {
        {monitorPower, 2, DisplayPower::Off},
        {monitorPower, 1, DisplayPower::Off},
        {monitorPower, -1, DisplayPower::On},
        {monitorPower | 0x2, 2, DisplayPower::Off},   // the low four bits are the system's
        {monitorPower | 0xF, -1, DisplayPower::On},
        {monitorPower, 0, std::nullopt},
        {monitorPower, 3, std::nullopt},
        {screenSave, 2, std::nullopt},
        {close, -1, std::nullopt},
        {monitorPower + 0x10, 2, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(monitorPowerCommand(row.wParam, row.lParam), row.expected)
            << std::hex << "wParam " << row.wParam << " lParam " << row.lParam;
}

TEST(DisplaySettingsToWatch, TheConsoleDisplayFromWindows8TheMonitorFromVistaNoneBefore)
{
    using Settings = std::vector<PowerSettingId>;
    EXPECT_EQ(displaySettingsToWatch(10, 0), (Settings{consoleDisplayState, monitorPowerOn}));
    EXPECT_EQ(displaySettingsToWatch(6, 3), (Settings{consoleDisplayState, monitorPowerOn}));
    EXPECT_EQ(displaySettingsToWatch(6, 2), (Settings{consoleDisplayState, monitorPowerOn}));
    EXPECT_EQ(displaySettingsToWatch(6, 1), Settings{monitorPowerOn});
    EXPECT_EQ(displaySettingsToWatch(6, 0), Settings{monitorPowerOn});
    EXPECT_EQ(displaySettingsToWatch(5, 1), Settings{});
    EXPECT_EQ(displaySettingsToWatch(4, 0), Settings{});
}

TEST(DisplayPowerSetting, DimmedCountsAsOnAndOnlyTheDisplaySettingsCount)
{
    struct Row {
        PowerSettingId setting;
        std::vector<uint8_t> data;
        std::optional<DisplayPower> expected;
    };
    PowerSettingId other = consoleDisplayState;
    other.data4[7] ^= 1;
    const Row rows[] = {
        {consoleDisplayState, {0, 0, 0, 0}, DisplayPower::Off},
        {consoleDisplayState, {1, 0, 0, 0}, DisplayPower::On},
        {consoleDisplayState, {2, 0, 0, 0}, DisplayPower::On},
        {consoleDisplayState, {3, 0, 0, 0}, std::nullopt},
        {consoleDisplayState, {0, 0, 0, 1}, std::nullopt},   // little-endian: not 0
        {consoleDisplayState, {0, 0, 0}, std::nullopt},      // too short
        {monitorPowerOn, {0, 0, 0, 0}, DisplayPower::Off},
        {monitorPowerOn, {1, 0, 0, 0}, DisplayPower::On},
        {monitorPowerOn, {2, 0, 0, 0}, std::nullopt},
        {other, {0, 0, 0, 0}, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(displayPowerSetting(row.setting, row.data.data(), uint32_t(row.data.size())), row.expected)
            << "setting " << std::hex << row.setting.data1 << " data size " << row.data.size() << " first byte "
            << (row.data.empty() ? -1 : row.data[0]);
    EXPECT_EQ(displayPowerSetting(consoleDisplayState, nullptr, 4), std::nullopt);
}

constexpr FlightTimers off{};
constexpr FlightTimers left{true, false};
constexpr FlightTimers right{false, true};
// One flight (one monitor), as the saver has on a single monitor.
const FlightTimerSet none{off};

TEST(DisplaySleep, OffStopsTheRunningTimerAndOnGivesBackExactlyThatOneOnce)
{
    // A plane waiting for its pause has its direction's timer enabled with the
    // pause interval: after the display's sleep the same timer runs again,
    // neither lost nor joined by the other one.
    for (const FlightTimers timer : {left, right}) {
        const FlightTimerSet running{timer};
        DisplaySleep sleep;
        EXPECT_EQ(sleep.displayChanged(DisplayPower::On, running), running);
        EXPECT_FALSE(sleep.asleep());
        EXPECT_EQ(sleep.displayChanged(DisplayPower::Off, running), none);
        EXPECT_TRUE(sleep.asleep());
        EXPECT_EQ(sleep.displayChanged(DisplayPower::Off, none), none);   // off again, low power after off
        EXPECT_EQ(sleep.displayChanged(DisplayPower::On, none), running);
        EXPECT_FALSE(sleep.asleep());
        EXPECT_EQ(sleep.displayChanged(DisplayPower::On, running), running);   // on again changes nothing
    }
}

TEST(DisplaySleep, StoppedFlightsStayStoppedAndTheNewestPlanWins)
{
    // The flights stopped by a failure before the display went off stay stopped.
    DisplaySleep failed;
    EXPECT_EQ(failed.displayChanged(DisplayPower::Off, none), none);
    EXPECT_EQ(failed.displayChanged(DisplayPower::On, none), none);

    // "On" gives back once: another "on" resumes nothing.
    DisplaySleep twice;
    twice.displayChanged(DisplayPower::Off, {left});
    EXPECT_EQ(twice.displayChanged(DisplayPower::On, none), FlightTimerSet{left});
    EXPECT_EQ(twice.displayChanged(DisplayPower::On, none), none);

    // A timer that ran while asleep is the one to resume, not the one before.
    DisplaySleep newer;
    newer.displayChanged(DisplayPower::Off, {left});
    EXPECT_EQ(newer.displayChanged(DisplayPower::Off, {right}), none);
    EXPECT_EQ(newer.displayChanged(DisplayPower::On, none), FlightTimerSet{right});

    // A timer started while asleep (a tick that ended after its error box was
    // closed) keeps running when the display comes back on: it is that
    // flight's plan, and the timer stopped before is not added to it.
    DisplaySleep startedAsleep;
    startedAsleep.displayChanged(DisplayPower::Off, {left});
    EXPECT_EQ(startedAsleep.displayChanged(DisplayPower::On, {right}), FlightTimerSet{right});
    DisplaySleep stoppedBefore;
    stoppedBefore.displayChanged(DisplayPower::Off, none);
    EXPECT_EQ(stoppedBefore.displayChanged(DisplayPower::On, {left}), FlightTimerSet{left});
}

TEST(DisplaySleep, EveryMonitorsFlightSleepsAndWakesOnItsOwnTimer)
{
    // Three monitors: one flying left to right, one waiting on its right-hand
    // timer, one whose flights stopped after a failure.
    const FlightTimerSet running{left, right, off};
    const FlightTimerSet allOff{off, off, off};
    DisplaySleep sleep;
    EXPECT_EQ(sleep.displayChanged(DisplayPower::Off, running), allOff);
    EXPECT_EQ(sleep.displayChanged(DisplayPower::Off, allOff), allOff);
    EXPECT_EQ(sleep.displayChanged(DisplayPower::On, allOff), running);

    // While asleep the second monitor's timer ran again with its next plane:
    // that plan replaces its own, the others keep theirs.
    DisplaySleep newer;
    newer.displayChanged(DisplayPower::Off, running);
    EXPECT_EQ(newer.displayChanged(DisplayPower::Off, {off, left, off}), allOff);
    EXPECT_EQ(newer.displayChanged(DisplayPower::On, allOff), (FlightTimerSet{left, left, off}));

    // The third monitor's timer started while asleep, and the display came
    // on without another "off": it keeps running beside the two given back.
    DisplaySleep started;
    started.displayChanged(DisplayPower::Off, running);
    EXPECT_EQ(started.displayChanged(DisplayPower::On, {off, off, right}), (FlightTimerSet{left, right, right}));
}

} // namespace
