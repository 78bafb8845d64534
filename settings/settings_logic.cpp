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

// Reads the values of the settings key: a value that is not there, or that
// cannot be read, gives the value assumed for it, and the error of the first
// one that cannot be read is kept for the caller to report.
class ValueReader {
public:
    // opened false: the key is missing and reads as empty.
    ValueReader(KeyAccess& key, bool opened) : key_(key), opened_(opened) {}

    int32_t integer(const char* name, int32_t assumed)
    {
        if (!opened_ || !key_.valueExists(name))
            return assumed;
        try {
            return key_.readInteger(name);
        } catch (const ERegistryException& error) {
            if (!firstFailure_)
                firstFailure_ = error;
            return assumed;
        }
    }
    bool boolean(const char* name, bool assumed) { return integer(name, assumed ? 1 : 0) != 0; }

    const std::optional<ERegistryException>& firstFailure() const { return firstFailure_; }

private:
    KeyAccess& key_;
    bool opened_;
    std::optional<ERegistryException> firstFailure_;
};

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
    for (const SettingValueRow& value : {delayValue, randomValue, fakeValue})
        key.writeInteger(value.valueName, value.firstRun);
    key.closeKey();
}

std::optional<ERegistryException> loadSettings(KeyAccess& key, SaverSettings& settings, bool saverVariant,
                                               DelayDisplay* display)
{
    // Delay is deliberately not reset: a key that cannot be read leaves the
    // previous number.
    for (const PlaneTypeRow& row : planeTypes)
        settings.*row.flag = false;
    settings.Random = false;
    settings.Fake = false;

    // Read access is enough, and all a standard user may have. A missing key
    // reads like an empty one: every value takes its assumed reading.
    const KeyReading reading = key.openKeyForReading(settingsKeyPath);
    if (reading == KeyReading::Refused)
        return std::nullopt;
    const bool opened = reading == KeyReading::Opened;
    // One value that cannot be read costs only itself: the others are read
    // as stored, and the dialog shows and saves them back.
    ValueReader read(key, opened);
    for (const PlaneTypeRow& row : planeTypes)
        settings.*row.flag = read.boolean(row.valueName, true);
    settings.Delay = read.integer(delayValue.valueName, delayValue.assumed);
    if (!saverVariant && display) {
        // The label is set last so it shows the stored number even where the
        // scroll bar had to limit its position.
        display->setScrollPosition(settings.Delay);
        display->setLabelText(std::to_string(settings.Delay));
    }
    settings.Random = read.boolean(randomValue.valueName, randomValue.assumed != 0);
    settings.Fake = read.boolean(fakeValue.valueName, fakeValue.assumed != 0);
    if (opened)
        key.closeKey();
    return read.firstFailure();
}

void saveSettings(KeyAccess& key, const DialogChoices& choices)
{
    // Dropping the user's choices without a word would look like a save.
    if (!key.openKey(settingsKeyPath, true))
        throw ESettingsNotSaved(std::string("Cannot save the settings to HKEY_LOCAL_MACHINE\\") + settingsKeyPath);
    for (PlaneType type : typeWriteOrder)
        key.writeBool(planeTypeRow(type).valueName, choices.types[type]);
    key.writeInteger(delayValue.valueName, strToInt(choices.label1Text));
    key.writeBool(randomValue.valueName, !choices.radorderChecked);
    key.writeBool(fakeValue.valueName, !choices.raddesktopChecked);
    key.closeKey();
}
