// TForm1: the flights asleep while the display is off. Windows Vista and later
// report the display's state to a window that asks for it; Windows 95 to XP
// send the foreground window the monitor-power command. Either way every
// monitor's flight timers stop while the display is off and run again when it
// comes back on.
#include "saver/saver_window.h"

#include "framework/system_version.h"

namespace {
constexpr WPARAM powerSettingChange = 0x8013;        // PBT_POWERSETTINGCHANGE
constexpr DWORD notifyWindowHandle = 0;              // DEVICE_NOTIFY_WINDOW_HANDLE

// POWERBROADCAST_SETTING, which the headers for Windows 95 do not name.
struct PowerSettingReport {
    GUID PowerSetting;
    DWORD DataLength;
    UCHAR Data[1];
};

using RegisterPowerSettingEntry = HANDLE(WINAPI*)(HANDLE recipient, const GUID* setting, DWORD flags);
using UnregisterPowerSettingEntry = BOOL(WINAPI*)(HANDLE registration);

// A function of USER32 that older systems lack: null there.
FARPROC user32Entry(const char* name)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

GUID toGuid(const PowerSettingId& id)
{
    GUID guid{};
    guid.Data1 = id.data1;
    guid.Data2 = id.data2;
    guid.Data3 = id.data3;
    for (size_t i = 0; i < id.data4.size(); ++i)
        guid.Data4[i] = id.data4[i];
    return guid;
}

PowerSettingId toSettingId(const GUID& guid)
{
    PowerSettingId id;
    id.data1 = guid.Data1;
    id.data2 = guid.Data2;
    id.data3 = guid.Data3;
    for (size_t i = 0; i < id.data4.size(); ++i)
        id.data4[i] = guid.Data4[i];
    return id;
}

std::vector<PowerSettingId> settingsOfThisSystem()
{
    const SystemVersion system = systemVersion();
    if (!system.ntFamily())
        return {};
    return displaySettingsToWatch(system.major, system.minor);
}
}

void TForm1::watchDisplayPower()
{
    const auto registerSetting =
        reinterpret_cast<RegisterPowerSettingEntry>(reinterpret_cast<void*>(user32Entry("RegisterPowerSettingNotification")));
    if (!registerSetting || !handle())
        return;
    // The first setting the system accepts; it reports the display's state at once.
    for (const PowerSettingId& setting : settingsOfThisSystem()) {
        const GUID guid = toGuid(setting);
        if ((displayNotification_ = registerSetting(handle(), &guid, notifyWindowHandle)))
            return;
    }
}

void TForm1::stopWatchingDisplayPower()
{
    if (!displayNotification_)
        return;
    const auto unregisterSetting = reinterpret_cast<UnregisterPowerSettingEntry>(
        reinterpret_cast<void*>(user32Entry("UnregisterPowerSettingNotification")));
    if (unregisterSetting)
        unregisterSetting(displayNotification_);
    displayNotification_ = nullptr;
}

void TForm1::powerBroadcast(WPARAM event, LPARAM report)
{
    if (event != powerSettingChange || !report)
        return;
    const auto& setting = *reinterpret_cast<const PowerSettingReport*>(report);
    if (const auto power = displayPowerSetting(toSettingId(setting.PowerSetting), setting.Data, setting.DataLength))
        displayPowerChanged(*power);
}

void TForm1::systemCommand(WPARAM command, LPARAM value)
{
    if (const auto power = monitorPowerCommand(command, value))
        displayPowerChanged(*power);
}

void TForm1::displayPowerChanged(DisplayPower power)
{
    const std::vector<MonitorFlight*> all = flights();
    FlightTimerSet running;
    for (const MonitorFlight* monitor : all)
        running.push_back({monitor->left.enabled(), monitor->right.enabled()});
    const FlightTimerSet wanted = displaySleep_.displayChanged(power, running);
    for (std::size_t index = 0; index < all.size() && index < wanted.size(); ++index) {
        MonitorFlight& monitor = *all[index];
        // Off before on: at most one timer of a flight runs at any time.
        if (!wanted[index].left)
            monitor.left.setEnabled(false);
        if (!wanted[index].right)
            monitor.right.setEnabled(false);
        monitor.left.setEnabled(wanted[index].left);
        monitor.right.setEnabled(wanted[index].right);
    }
}
