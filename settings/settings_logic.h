// The settings store's decisions over any KeyAccess: the registry schema, the
// first-run values, the read and write orders. settings.cpp runs them on the
// real registry key; the native tests run them on a key in memory. Pure.
#pragma once
#include <array>
#include <optional>
#include <string_view>

#include "settings/key_access.h"
#include "settings/settings.h"

// Relative to HKEY_LOCAL_MACHINE, without a leading backslash.
inline constexpr const char* settingsKeyPath = "Software\\Brelmor\\Skyvane";

void ensureDefaultSettings(KeyAccess& key);
[[nodiscard]] std::optional<ERegistryException> loadSettings(KeyAccess& key, SaverSettings& settings,
                                                             bool saverVariant, DelayDisplay* display);
void saveSettings(KeyAccess& key, const DialogChoices& choices);
