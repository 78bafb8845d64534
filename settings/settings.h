// The settings store: the saver's and the dialog's choices in the registry key
// HKEY_LOCAL_MACHINE\Software\Brelmor\Skyvane (14 REG_DWORD values), loaded
// into saverSettings and saved from the dialog's controls. Every operation
// opens the key and closes it again before it returns: loading for reading
// only, so a standard user's saver and dialog work; the first-run values and
// saving for writing, creating the key when missing. A key that cannot be
// read is no error: nothing is read. A value that cannot be read takes its
// assumed value and its error is handed back to the caller; a value that
// cannot be written throws ERegistryException and the writing stops there.
// Pure header: no <windows.h>.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "framework/exceptions.h"

// The loaded settings: one record for the process, zero until loadSettings.
struct SaverSettings {
    bool Random = false;   // choose planes at random instead of in catalogue order
    bool Fake = false;     // background is the fake desktop picture, not the live desktop
    // The 11 aircraft types: true when planes of that type may fly.
    bool F16 = false;
    bool SR71 = false;
    bool F15 = false;
    bool U2 = false;
    bool Awac = false;
    bool B52 = false;
    bool Wing = false;
    bool F117 = false;
    bool B2 = false;
    bool F22 = false;
    bool Other = false;
    int32_t Delay = 0;     // whole seconds between planes, as stored (no range enforced)
};

// Written only by loadSettings.
extern SaverSettings saverSettings;

// The dialog's delay controls, which the dialog variant of loadSettings sets:
// first the scroll bar's position (ScrollBar1, which limits it to 1..300 and
// may write its own position into the label), then the label's text (Label1),
// which shows the stored number unlimited.
struct DelayDisplay {
    virtual ~DelayDisplay() = default;
    virtual void setScrollPosition(int position) = 0;
    virtual void setLabelText(const std::string& text) = 0;
};

// The aircraft types, named like their registry values, in the order
// loadSettings reads them.
enum class PlaneType { F16, SR71, F15, Awac, U2, B52, Wing, F117, B2, F22, Other };
inline constexpr int planeTypeCount = 11;

// The names of the 14 registry values live here: the types' in planeTypes,
// the other three in the rows below it.

// The one table of the types: registry value, the settings dialog's check box
// caption and the loaded record's field. Indexed by PlaneType. Every type is
// on at the first run and when its value is missing.
struct PlaneTypeRow {
    PlaneType type;
    const char* valueName;
    const char* caption;
    bool SaverSettings::*flag;
};
inline constexpr std::array<PlaneTypeRow, planeTypeCount> planeTypes{{
    {PlaneType::F16, "F16", "F-16 Jets", &SaverSettings::F16},
    {PlaneType::SR71, "SR71", "SR-71 Blackbird", &SaverSettings::SR71},
    {PlaneType::F15, "F15", "F-15 Jets", &SaverSettings::F15},
    {PlaneType::Awac, "Awac", "AWAC Air Reconnaisance", &SaverSettings::Awac},
    {PlaneType::U2, "U2", "U-2 Spy Plane", &SaverSettings::U2},
    {PlaneType::B52, "B52", "B-52 Bomber", &SaverSettings::B52},
    {PlaneType::Wing, "Wing", "The Flying Wing", &SaverSettings::Wing},
    {PlaneType::F117, "F117", "F-117 Stealth Nighthawk", &SaverSettings::F117},
    {PlaneType::B2, "B2", "B-2 Stealth Bomber", &SaverSettings::B2},
    {PlaneType::F22, "F22", "F-22 Raptor", &SaverSettings::F22},
    {PlaneType::Other, "Other", "All Others", &SaverSettings::Other},
}};
constexpr const PlaneTypeRow& planeTypeRow(PlaneType type) { return planeTypes[static_cast<int>(type)]; }

// The three values beside the types: registry value, the number the saver's
// first run writes and the one assumed when the value is missing or cannot
// be read. Random and Fake are booleans (1 or 0).
struct SettingValueRow {
    const char* valueName;
    int32_t firstRun;
    int32_t assumed;
};
inline constexpr SettingValueRow delayValue{"Delay", 3, 4};
inline constexpr SettingValueRow randomValue{"Random", 1, 0};
inline constexpr SettingValueRow fakeValue{"Fake", 0, 0};

// The orders over the table. loadSettings reads in table order; both writers
// write in this one.
inline constexpr std::array<PlaneType, planeTypeCount> typeWriteOrder{
    PlaneType::F16, PlaneType::F15, PlaneType::Awac, PlaneType::U2, PlaneType::B52, PlaneType::SR71,
    PlaneType::Wing, PlaneType::F117, PlaneType::B2, PlaneType::F22, PlaneType::Other};

// Which types may fly (or are checked), indexed by PlaneType.
class PlaneTypeFlags {
public:
    bool operator[](PlaneType type) const { return flags_[static_cast<int>(type)]; }
    void set(PlaneType type, bool enabled) { flags_[static_cast<int>(type)] = enabled; }
    bool any() const;
    static PlaneTypeFlags all();
    static PlaneTypeFlags only(PlaneType type);
private:
    std::array<bool, planeTypeCount> flags_{};
};

// The 11 type flags of the loaded settings.
PlaneTypeFlags enabledPlaneTypes(const SaverSettings& settings);

// The dialog's controls as saveSettings reads them on close.
struct DialogChoices {
    PlaneTypeFlags types;          // the type check boxes (Chkf16 ... Chkother)
    std::string label1Text;        // Label1: the delay as the dialog shows it
    bool radorderChecked = false;  // "In Order": Random is saved as false
    bool raddesktopChecked = false;// "Use Your Desktop": Fake is saved as false
};

// The dialog's "All Others" rule, applied before saving: when no type box is
// checked, "All Others" becomes checked, so at least one type is always saved.
// Returns true when it checked "All Others" (the dialog then checks Chkother).
bool applyAllOthersRule(DialogChoices& choices);

// Saver start-up: when the key does not exist, creates it with the first-run
// values (all 11 types on, Delay 3, Random on, Fake off). An existing key is
// left as it is, even with values missing.
void ensureDefaultSettings();

// Fills saverSettings from the key. A value that is missing, or that cannot be
// read (not a REG_DWORD, or longer than 4 bytes), takes its assumed value: a
// type on, Delay 4, Random and Fake off; every other value is read as stored.
// A key that cannot be read leaves the type flags, Random and Fake off and
// Delay as it was. saverVariant false is the dialog's call: it then also
// shows Delay in *display (which may be null only in the saver variant).
// Returns the error of the first value that could not be read ("Invalid data
// type for '%s'", "Failed to get data for '%s'"), for the caller to report
// once its own set-up is done; nothing when every value was read.
[[nodiscard]] std::optional<ERegistryException> loadSettings(bool saverVariant, DelayDisplay* display = nullptr);

// Writes all 14 values from the dialog's controls (the dialog applies
// applyAllOthersRule first). Delay is label1Text read as an integer; a text
// that is not one throws EConvertError "'%s' is not a valid integer value"
// after the 11 type values have been written. A key that cannot be opened for
// writing throws ESettingsNotSaved before anything is written.
void saveSettings(const DialogChoices& choices);
