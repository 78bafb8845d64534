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

constexpr FlightTimers none{};
constexpr FlightTimers left{true, false};
constexpr FlightTimers right{false, true};

TEST(DisplaySleep, OffStopsTheRunningTimerAndOnGivesBackExactlyThatOneOnce)
{
    // A plane waiting for its pause has its direction's timer enabled with the
    // pause interval: after the display's sleep the same timer runs again,
    // neither lost nor joined by the other one.
    for (const FlightTimers running : {left, right}) {
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
    twice.displayChanged(DisplayPower::Off, left);
    EXPECT_EQ(twice.displayChanged(DisplayPower::On, none), left);
    EXPECT_EQ(twice.displayChanged(DisplayPower::On, none), none);

    // A timer that ran while asleep is the one to resume, not the one before.
    DisplaySleep newer;
    newer.displayChanged(DisplayPower::Off, left);
    EXPECT_EQ(newer.displayChanged(DisplayPower::Off, right), none);
    EXPECT_EQ(newer.displayChanged(DisplayPower::On, none), right);
}

} // namespace
