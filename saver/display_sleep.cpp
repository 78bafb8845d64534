#include "saver/display_sleep.h"

#include <algorithm>

namespace {
constexpr uintptr_t systemCommandMask = 0xFFF0;
constexpr uintptr_t monitorPowerCommandId = 0xF170;   // SC_MONITORPOWER
constexpr intptr_t monitorOn = -1;
constexpr intptr_t monitorLowPower = 1;
constexpr intptr_t monitorOff = 2;

constexpr uint32_t settingOff = 0;
constexpr uint32_t settingOn = 1;
constexpr uint32_t settingDimmed = 2;
}

std::optional<DisplayPower> monitorPowerCommand(uintptr_t wParam, intptr_t lParam)
{
    if ((wParam & systemCommandMask) != monitorPowerCommandId)
        return std::nullopt;
    switch (lParam) {
    case monitorOn:
        return DisplayPower::On;
    case monitorLowPower:
    case monitorOff:
        return DisplayPower::Off;
    default:
        return std::nullopt;
    }
}

std::vector<PowerSettingId> displaySettingsToWatch(uint32_t majorVersion, uint32_t minorVersion)
{
    if (majorVersion > 6 || (majorVersion == 6 && minorVersion >= 2))
        return {consoleDisplayState, monitorPowerOn};
    if (majorVersion == 6)
        return {monitorPowerOn};
    return {};
}

std::optional<DisplayPower> displayPowerSetting(const PowerSettingId& setting, const uint8_t* data,
                                                uint32_t dataLength)
{
    if (!data || dataLength < 4)
        return std::nullopt;
    const uint32_t value = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16
        | uint32_t(data[3]) << 24;
    if (setting == consoleDisplayState) {
        if (value == settingOff)
            return DisplayPower::Off;
        if (value == settingOn || value == settingDimmed)
            return DisplayPower::On;
    } else if (setting == monitorPowerOn) {
        if (value == settingOff)
            return DisplayPower::Off;
        if (value == settingOn)
            return DisplayPower::On;
    }
    return std::nullopt;
}

FlightTimerSet DisplaySleep::displayChanged(DisplayPower power, const FlightTimerSet& running)
{
    if (power == DisplayPower::Off) {
        if (!asleep_)
            stopped_ = running;
        stopped_.resize(std::max(stopped_.size(), running.size()));
        // A timer started while asleep is that flight's newer plan: it is the one to resume.
        for (std::size_t flight = 0; flight < running.size(); ++flight) {
            if (running[flight].any())
                stopped_[flight] = running[flight];
        }
        asleep_ = true;
        return FlightTimerSet(running.size());
    }
    if (!asleep_)
        return running;
    asleep_ = false;
    FlightTimerSet resumed = running;
    for (std::size_t flight = 0; flight < resumed.size() && flight < stopped_.size(); ++flight) {
        if (!resumed[flight].any())
            resumed[flight] = stopped_[flight];
    }
    stopped_.clear();
    return resumed;
}
