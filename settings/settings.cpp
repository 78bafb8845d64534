// The settings store on the real registry: HKEY_LOCAL_MACHINE.
#include "settings/settings.h"

#include "settings/registry.h"
#include "settings/settings_logic.h"

void ensureDefaultSettings()
{
    RegistryKey key(HKEY_LOCAL_MACHINE);
    ensureDefaultSettings(key);
}

std::optional<ERegistryException> loadSettings(bool saverVariant, DelayDisplay* display)
{
    RegistryKey key(HKEY_LOCAL_MACHINE);
    return loadSettings(key, saverSettings, saverVariant, display);
}

void saveSettings(const DialogChoices& choices)
{
    RegistryKey key(HKEY_LOCAL_MACHINE);
    saveSettings(key, choices);
}
