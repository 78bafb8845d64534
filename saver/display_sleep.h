// The flights sleep while the display is off: what the system's messages say
// about the display, which of its settings to ask for, and which flight timers
// run after each change. While the display is off no timer runs and nothing is
// drawn; when it comes back on, the timers that were stopped run again with
// the intervals they had, so a plane flies on from where it stopped and a
// plane waiting for its pause waits for it anew. Pure: no <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

enum class DisplayPower { On, Off };

// Windows 95 to XP: WM_SYSCOMMAND with SC_MONITORPOWER (the low four bits of
// wParam are the system's own), lParam 2 off, 1 low power (the screen shows
// nothing either), -1 on. Nothing for any other command or value.
std::optional<DisplayPower> monitorPowerCommand(uintptr_t wParam, intptr_t lParam);

// A power setting's identifier, laid out as the system's GUID.
struct PowerSettingId {
    uint32_t data1 = 0;
    uint16_t data2 = 0, data3 = 0;
    std::array<uint8_t, 8> data4{};
    friend bool operator==(const PowerSettingId&, const PowerSettingId&) = default;
};

// The console display's state (Windows 8 on): 0 off, 1 on, 2 dimmed.
inline constexpr PowerSettingId consoleDisplayState{
    0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}};
// The monitor's power (Windows Vista on): 0 off, 1 on.
inline constexpr PowerSettingId monitorPowerOn{
    0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};

// The settings to ask the system to report, best first: the console display's
// state where the system has it (6.2, Windows 8, on), then the monitor's power
// (6.0, Vista, on). The first the system accepts is the one to keep; before
// Vista there is none and the monitor-power command tells instead.
std::vector<PowerSettingId> displaySettingsToWatch(uint32_t majorVersion, uint32_t minorVersion);

// A setting's change as PBT_POWERSETTINGCHANGE reports it: its data is a
// 32-bit value. "Dimmed" still shows the scene, so it counts as on. Nothing
// for another setting or data that is too short.
std::optional<DisplayPower> displayPowerSetting(const PowerSettingId& setting, const uint8_t* data,
                                                uint32_t dataLength);

// Which of one flight's two timers are enabled.
struct FlightTimers {
    bool left = false, right = false;
    bool any() const { return left || right; }
    friend bool operator==(const FlightTimers&, const FlightTimers&) = default;
};

// The timers of every flight, one entry a monitor.
using FlightTimerSet = std::vector<FlightTimers>;

// The display's state as the flights follow it.
class DisplaySleep {
public:
    // The display turned on or off while the timers are as running says;
    // returns how they must be. Off stops every timer and keeps which ran
    // (another "off" keeps them, but for a flight whose timer ran again
    // meanwhile: that is its newer plan). On gives back the stopped ones,
    // once, and keeps every timer that runs: a flight whose timer was started
    // while asleep (a tick that ended after an error box was closed) flies on
    // that one, never on two.
    FlightTimerSet displayChanged(DisplayPower power, const FlightTimerSet& running);
    bool asleep() const { return asleep_; }

private:
    bool asleep_ = false;
    FlightTimerSet stopped_;
};
