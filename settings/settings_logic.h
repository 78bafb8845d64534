// The settings store's decisions over any KeyAccess: the registry schema, the
// first-run values, the read and write orders. settings.cpp runs them on the
// real registry key; the native tests run them on a key in memory. Pure.
#pragma once
#include <array>
#include <string_view>

#include "settings/key_access.h"
#include "settings/settings.h"

// Relative to HKEY_LOCAL_MACHINE, without a leading backslash.
inline constexpr const char* settingsKeyPath = "Software\\Brelmor\\Skyvane";

// One aircraft type's registry value and its place in the record.
struct TypeValue {
    const char* name;
    bool SaverSettings::*flag;
};

// The order both writers write the types in (F16, F15, Awac, U2, ...).
extern const std::array<TypeValue, 11> typeWriteOrder;
// The order loadSettings reads them in (F16, SR71, F15, Awac, U2, ...).
extern const std::array<TypeValue, 11> typeReadOrder;

void ensureDefaultSettings(KeyAccess& key);
void loadSettings(KeyAccess& key, SaverSettings& settings, bool saverVariant, DelayDisplay* display);
void saveSettings(KeyAccess& key, const DialogChoices& choices);
