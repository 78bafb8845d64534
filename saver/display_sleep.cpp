#include "saver/display_sleep.h"

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

FlightTimers DisplaySleep::displayChanged(DisplayPower power, FlightTimers running)
{
    if (power == DisplayPower::Off) {
        // A timer started while asleep is the newer plan: it is the one to resume.
        if (!asleep_ || running.left || running.right)
            stopped_ = running;
        asleep_ = true;
        return {};
    }
    if (!asleep_)
        return running;
    asleep_ = false;
    const FlightTimers resumed = stopped_;
    stopped_ = {};
    return resumed;
}
