#include "settings/settings_logic.h"

#include <string>

#include "framework/exceptions.h"
#include "settings/integer_text.h"

SaverSettings saverSettings;

bool PlaneTypeFlags::any() const
{
    for (bool flag : flags_)
        if (flag)
            return true;
    return false;
}

PlaneTypeFlags PlaneTypeFlags::all()
{
    PlaneTypeFlags flags;
    for (const PlaneTypeRow& row : planeTypes)
        flags.set(row.type, true);
    return flags;
}

PlaneTypeFlags PlaneTypeFlags::only(PlaneType type)
{
    PlaneTypeFlags flags;
    flags.set(type, true);
    return flags;
}

PlaneTypeFlags enabledPlaneTypes(const SaverSettings& settings)
{
    PlaneTypeFlags flags;
    for (const PlaneTypeRow& row : planeTypes)
        flags.set(row.type, settings.*row.flag);
    return flags;
}

namespace {

constexpr int32_t firstRunDelay = 3;
constexpr int32_t missingDelay = 4;

}

bool applyAllOthersRule(DialogChoices& choices)
{
    if (choices.types.any())
        return false;
    choices.types.set(PlaneType::Other, true);
    return true;
}

void ensureDefaultSettings(KeyAccess& key)
{
    if (key.keyExists(settingsKeyPath))
        return;
    if (!key.openKey(settingsKeyPath, true))
        return;
    for (PlaneType type : typeWriteOrder)
        key.writeBool(planeTypeRow(type).valueName, true);
    key.writeInteger("Delay", firstRunDelay);
    key.writeBool("Random", true);
    key.writeBool("Fake", false);
    key.closeKey();
}

void loadSettings(KeyAccess& key, SaverSettings& settings, bool saverVariant, DelayDisplay* display)
{
    // Delay is deliberately not reset: a failed read leaves the previous number.
    for (const PlaneTypeRow& row : planeTypes)
        settings.*row.flag = false;
    settings.Random = false;
    settings.Fake = false;

    // Read access is enough, and all a standard user may have. A missing key
    // reads like an empty one: every value takes its assumed reading.
    const KeyReading reading = key.openKeyForReading(settingsKeyPath);
    if (reading == KeyReading::Refused)
        return;
    const bool opened = reading == KeyReading::Opened;
    auto stored = [&](const char* name) { return opened && key.valueExists(name); };

    for (const PlaneTypeRow& row : planeTypes)
        settings.*row.flag = stored(row.valueName) ? key.readBool(row.valueName) : true;
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
    for (PlaneType type : typeWriteOrder)
        key.writeBool(planeTypeRow(type).valueName, choices.types[type]);
    key.writeInteger("Delay", strToInt(choices.label1Text));
    key.writeBool("Random", !choices.radorderChecked);
    key.writeBool("Fake", !choices.raddesktopChecked);
    key.closeKey();
}
