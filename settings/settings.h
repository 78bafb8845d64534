// The settings store: the saver's and the dialog's choices in the registry key
// HKEY_LOCAL_MACHINE\Software\Brelmor\Skyvane (14 REG_DWORD values), loaded
// into saverSettings and saved from the dialog's controls. Every operation
// opens the key and closes it again before it returns: loading for reading
// only, so a standard user's saver and dialog work; the first-run values and
// saving for writing, creating the key when missing. A key that cannot be
// read is no error: nothing is read. A value that cannot be read or written
// throws ERegistryException and the operation stops at that value.
// Pure header: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>

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

// The dialog's controls as saveSettings reads them on close. The type flags
// are in the order they are written.
struct DialogChoices {
    bool F16 = false;      // Chkf16
    bool F15 = false;      // chkf15
    bool Awac = false;     // Chkawac
    bool U2 = false;       // Chku2
    bool B52 = false;      // Chkb52
    bool SR71 = false;     // Chksr71
    bool Wing = false;     // Chkwing
    bool F117 = false;     // Chkf117
    bool B2 = false;       // Chkb2
    bool F22 = false;      // Chkf22
    bool Other = false;    // Chkother ("All Others")
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

// Fills saverSettings from the key. A missing type reads as on, a missing
// Delay as 4, a missing Random or Fake as off. The type flags, Random and Fake
// are cleared first; Delay keeps its previous value until it is read.
// saverVariant false is the dialog's call: it then also shows Delay in
// *display (which may be null only in the saver variant).
void loadSettings(bool saverVariant, DelayDisplay* display = nullptr);

// Writes all 14 values from the dialog's controls (the dialog applies
// applyAllOthersRule first). Delay is label1Text read as an integer; a text
// that is not one throws EConvertError "'%s' is not a valid integer value"
// after the 11 type values have been written. A key that cannot be opened for
// writing throws ESettingsNotSaved before anything is written.
void saveSettings(const DialogChoices& choices);
