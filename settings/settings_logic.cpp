#include "settings/settings_logic.h"

#include <string>

#include "framework/exceptions.h"
#include "settings/integer_text.h"

SaverSettings saverSettings;

const std::array<TypeValue, 11> typeWriteOrder{{
    {"F16", &SaverSettings::F16},
    {"F15", &SaverSettings::F15},
    {"Awac", &SaverSettings::Awac},
    {"U2", &SaverSettings::U2},
    {"B52", &SaverSettings::B52},
    {"SR71", &SaverSettings::SR71},
    {"Wing", &SaverSettings::Wing},
    {"F117", &SaverSettings::F117},
    {"B2", &SaverSettings::B2},
    {"F22", &SaverSettings::F22},
    {"Other", &SaverSettings::Other},
}};

const std::array<TypeValue, 11> typeReadOrder{{
    {"F16", &SaverSettings::F16},
    {"SR71", &SaverSettings::SR71},
    {"F15", &SaverSettings::F15},
    {"Awac", &SaverSettings::Awac},
    {"U2", &SaverSettings::U2},
    {"B52", &SaverSettings::B52},
    {"Wing", &SaverSettings::Wing},
    {"F117", &SaverSettings::F117},
    {"B2", &SaverSettings::B2},
    {"F22", &SaverSettings::F22},
    {"Other", &SaverSettings::Other},
}};

namespace {

constexpr int32_t firstRunDelay = 3;
constexpr int32_t missingDelay = 4;

// The dialog's check boxes in write order, matching typeWriteOrder.
std::array<bool, 11> checkedTypes(const DialogChoices& c)
{
    return {c.F16, c.F15, c.Awac, c.U2, c.B52, c.SR71, c.Wing, c.F117, c.B2, c.F22, c.Other};
}

}

bool applyAllOthersRule(DialogChoices& choices)
{
    for (bool checked : checkedTypes(choices))
        if (checked)
            return false;
    choices.Other = true;
    return true;
}

void ensureDefaultSettings(KeyAccess& key)
{
    if (key.keyExists(settingsKeyPath))
        return;
    if (!key.openKey(settingsKeyPath, true))
        return;
    for (const TypeValue& type : typeWriteOrder)
        key.writeBool(type.name, true);
    key.writeInteger("Delay", firstRunDelay);
    key.writeBool("Random", true);
    key.writeBool("Fake", false);
    key.closeKey();
}

void loadSettings(KeyAccess& key, SaverSettings& settings, bool saverVariant, DelayDisplay* display)
{
    // Delay is deliberately not reset: a failed read leaves the previous number.
    for (const TypeValue& type : typeReadOrder)
        settings.*type.flag = false;
    settings.Random = false;
    settings.Fake = false;

    // Read access is enough, and all a standard user may have. A missing key
    // reads like an empty one: every value takes its assumed reading.
    const KeyReading reading = key.openKeyForReading(settingsKeyPath);
    if (reading == KeyReading::Refused)
        return;
    const bool opened = reading == KeyReading::Opened;
    auto stored = [&](const char* name) { return opened && key.valueExists(name); };

    for (const TypeValue& type : typeReadOrder)
        settings.*type.flag = stored(type.name) ? key.readBool(type.name) : true;
    settings.Delay = stored("Delay") ? key.readInteger("Delay") : missingDelay;
    if (!saverVariant && display) {
        // The label is set last so it shows the stored number even where the
        // scroll bar had to limit its position.
        display->setScrollPosition(settings.Delay);
        display->setLabelText(std::to_string(settings.Delay));
    }
    settings.Random = stored("Random") && key.readBool("Random");
    settings.Fake = stored("Fake") && key.readBool("Fake");
    if (opened)
        key.closeKey();
}

void saveSettings(KeyAccess& key, const DialogChoices& choices)
{
    // Dropping the user's choices without a word would look like a save.
    if (!key.openKey(settingsKeyPath, true))
        throw ESettingsNotSaved(std::string("Cannot save the settings to HKEY_LOCAL_MACHINE\\") + settingsKeyPath);
    const std::array<bool, 11> checked = checkedTypes(choices);
    for (std::size_t i = 0; i < typeWriteOrder.size(); ++i)
        key.writeBool(typeWriteOrder[i].name, checked[i]);
    key.writeInteger("Delay", strToInt(choices.label1Text));
    key.writeBool("Random", !choices.radorderChecked);
    key.writeBool("Fake", !choices.raddesktopChecked);
    key.closeKey();
}
