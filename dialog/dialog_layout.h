// The controls of the settings dialog (TForm2, unit Unit2) and of the about
// box (TFrmabout, unit Uabout) as data: kind, parent, caption, bounds in
// pixels relative to the parent, font and keyboard order. The Win32 side
// creates the windows from these tables. Pure.
#pragma once
#include <array>
#include <span>
#include <vector>

#include "dialog/dialog_texts.h"

#include "settings/settings.h"

enum class ControlKind {
    Picture,       // drawn by the form itself, no window of its own
    GroupBox,      // a real parent window for the controls inside it
    ScrollBar,     // horizontal
    Label,         // sized to its text
    WrappedLabel,  // fixed size, word-wrapped
    LinkLabel,     // fixed size, word-wrapped, clickable with the hand cursor
    RadioButton,
    CheckBox,
    PushButton,
    GlyphButton,   // push button with a 16 x 16 glyph before its caption
};

enum class GlyphKind { None, ArrowRight, CheckMark };

// The kind of face, so a system without the named face picks a similar one.
enum class FontFamily { Proportional, FixedPitch };

struct FontDesign {
    const char* face;
    int pixelHeight;   // character height (CreateFont's negative height)
    FontFamily family = FontFamily::Proportional;
};

inline constexpr FontDesign arial11{"Arial", 11};
inline constexpr FontDesign arial12{"Arial", 12};
inline constexpr FontDesign msSansSerif11{"MS Sans Serif", 11};
inline constexpr FontDesign msSansSerif13{"MS Sans Serif", 13};
inline constexpr FontDesign courierNew13{"Courier New", 13, FontFamily::FixedPitch};

struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;   // width 0: sized to the text
};

inline constexpr int formParent = 0;
inline constexpr int noTabStop = -1;

struct ControlDesign {
    int id;               // the window's control id
    const char* name;
    ControlKind kind;
    int parent;           // id of the parent group box, or formParent
    const char* caption;
    Bounds bounds;
    int tabOrder;         // among the parent's children; noTabStop for no focus
    const FontDesign* font = nullptr;   // null: the form's font
    GlyphKind glyph = GlyphKind::None;
};

// ---------------------------------------------------------------- Unit2
namespace Unit2 {

enum ControlId : int {
    Image1 = 100, ImFake,
    GroupBox1, ScrollBar1, Label1, Label2,
    GroupBox4, Raddesktop, Radfake, Button1,
    GroupBox2, Radorder, Radrandom,
    GroupBox3, Chkf16, Chksr71, Chkawac, Chku2, Chkb52, Chkwing, Chkf117, Chkb2, Chkf22, chkf15,
    Chkother,
    BitBtn3, BitBtn1, BitBtn2,
};

struct FormDesign {
    const char* caption;
    int left, top, width, height;   // outer bounds on the screen
    FontDesign font;
};
inline constexpr FormDesign form{"Skyvane", 380, 189, 555, 441, arial11};

// Where FormCreate puts the backdrop: the form's top-left, the form's outer size.
inline constexpr Bounds backdropBounds{0, 0, 555, 441};

struct ScrollRange {
    int minimum, maximum, arrowStep, pageStep;
};
inline constexpr ScrollRange delayRange{1, 300, 1, 1};
inline constexpr int delayDesignPosition = 2;
inline constexpr const char* label1DesignText = "Label1";

inline constexpr std::array<ControlDesign, 28> controls{{
    {Image1, "Image1", ControlKind::Picture, formParent, "", {160, 122, 106, 105}, noTabStop},
    {ImFake, "ImFake", ControlKind::Picture, formParent, "", {221, 11, 105, 105}, noTabStop},
    {GroupBox1, "GroupBox1", ControlKind::GroupBox, formParent, "Planes Appear Every:", {420, 3, 121, 52}, 0},
    {ScrollBar1, "ScrollBar1", ControlKind::ScrollBar, GroupBox1, "", {14, 18, 92, 11}, 0},
    {Label1, "Label1", ControlKind::Label, GroupBox1, label1DesignText, {20, 33, 0, 0}, noTabStop},
    {Label2, "Label2", ControlKind::Label, GroupBox1, "Seconds", {41, 33, 0, 0}, noTabStop},
    {GroupBox4, "GroupBox4", ControlKind::GroupBox, formParent, "Background", {421, 73, 124, 73}, 6},
    {Raddesktop, "Raddesktop", ControlKind::RadioButton, GroupBox4, "Use Your Desktop", {5, 15, 113, 17}, 0},
    {Radfake, "Radfake", ControlKind::RadioButton, GroupBox4, "Use Fake Desktop", {5, 31, 113, 17}, 1},
    {Button1, "Button1", ControlKind::PushButton, GroupBox4, "Get Fake Desktop", {8, 52, 107, 16}, 2},
    {GroupBox2, "GroupBox2", ControlKind::GroupBox, formParent, "Show Planes:", {432, 178, 103, 51}, 1},
    {Radorder, "Radorder", ControlKind::RadioButton, GroupBox2, "In Order", {6, 13, 83, 17}, 0},
    {Radrandom, "Radrandom", ControlKind::RadioButton, GroupBox2, "Random Order", {6, 29, 91, 17}, 1},
    {GroupBox3, "GroupBox3", ControlKind::GroupBox, formParent, "Show Following Planes:", {5, 205, 156, 193}, 2},
    {Chkf16, "Chkf16", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::F16).caption, {5, 13, 97, 17}, 0},
    {Chksr71, "Chksr71", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::SR71).caption, {5, 29, 97, 17}, 10},
    {Chkawac, "Chkawac", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::Awac).caption, {5, 45, 147, 17}, 3},
    {Chku2, "Chku2", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::U2).caption, {5, 61, 97, 17}, 2},
    {Chkb52, "Chkb52", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::B52).caption, {5, 77, 97, 17}, 4},
    {Chkwing, "Chkwing", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::Wing).caption, {5, 93, 97, 17}, 5},
    {Chkf117, "Chkf117", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::F117).caption, {5, 109, 146, 17}, 7},
    {Chkb2, "Chkb2", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::B2).caption, {5, 125, 149, 17}, 6},
    {Chkf22, "Chkf22", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::F22).caption, {5, 141, 138, 17}, 8},
    {chkf15, "chkf15", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::F15).caption, {5, 157, 97, 17}, 1},
    {Chkother, "Chkother", ControlKind::CheckBox, GroupBox3, planeTypeRow(PlaneType::Other).caption, {5, 173, 97, 17}, 9},
    {BitBtn3, "BitBtn3", ControlKind::GlyphButton, formParent, "More Software", {431, 326, 109, 22}, 5,
     nullptr, GlyphKind::ArrowRight},
    {BitBtn1, "BitBtn1", ControlKind::PushButton, formParent, "About", {431, 352, 109, 22}, 3},
    {BitBtn2, "BitBtn2", ControlKind::GlyphButton, formParent, "OK", {431, 376, 109, 22}, 4,
     nullptr, GlyphKind::CheckMark},
}};

// The default button: Enter presses it unless the focus is on another button.
inline constexpr int defaultButton = BitBtn2;

// One plane-type check box and its type.
struct TypeBox {
    int control;
    PlaneType type;
};

// In the order FormCreate checks them.
inline constexpr std::array<TypeBox, planeTypeCount> typeBoxes{{
    {Chkf16, PlaneType::F16}, {Chksr71, PlaneType::SR71}, {chkf15, PlaneType::F15}, {Chku2, PlaneType::U2},
    {Chkawac, PlaneType::Awac}, {Chkf22, PlaneType::F22}, {Chkf117, PlaneType::F117}, {Chkb2, PlaneType::B2},
    {Chkb52, PlaneType::B52}, {Chkwing, PlaneType::Wing}, {Chkother, PlaneType::Other},
}};

}

// ---------------------------------------------------------------- Uabout
namespace Uabout {

enum ControlId : int {
    GroupBox1 = 200, Label1, GroupBox2, Label2, Label3, Label4, Label5, Button1,
};

inline constexpr int clientWidth = 559;
inline constexpr int clientHeight = 354;
inline constexpr FontDesign formFont = msSansSerif11;

inline constexpr std::array<ControlDesign, 8> controls{{
    {GroupBox1, "GroupBox1", ControlKind::GroupBox, formParent, "", {8, 16, 537, 297}, 0},
    {Label1, "Label1", ControlKind::WrappedLabel, GroupBox1, dialog_text::aboutVendorLine, {24, 13, 363, 51}, noTabStop,
     &courierNew13},
    {GroupBox2, "GroupBox2", ControlKind::GroupBox, GroupBox1, dialog_text::aboutDisclaimerCaption, {20, 64, 501, 217}, 0,
     &msSansSerif13},
    {Label2, "Label2", ControlKind::WrappedLabel, GroupBox2, dialog_text::aboutNoWarranty, {12, 16, 477, 65}, noTabStop,
     &courierNew13},
    {Label3, "Label3", ControlKind::WrappedLabel, GroupBox2, dialog_text::aboutLiability, {12, 63, 477, 57}, noTabStop,
     &courierNew13},
    {Label4, "Label4", ControlKind::WrappedLabel, GroupBox2, dialog_text::aboutAcceptance, {12, 110, 469, 52}, noTabStop,
     &courierNew13},
    {Label5, "Label5", ControlKind::LinkLabel, GroupBox2, dialog_text::aboutLinkLine, {14, 176, 395, 30}, noTabStop,
     &arial12},
    {Button1, "Button1", ControlKind::PushButton, formParent, dialog_text::aboutReturn, {468, 324, 75, 25}, 1},
}};

inline constexpr int defaultButton = Button1;

}

// ---------------------------------------------------------------- rules
// Whether the control can hold the keyboard focus.
bool takesFocus(ControlKind kind);

// The controls that are children of parent (a group box's id or formParent),
// in the order their windows are created: the parent's keyboard order, with
// the controls that take no focus first in table order.
std::vector<const ControlDesign*> childrenInCreationOrder(std::span<const ControlDesign> table, int parent);

// Whether the control's window starts a keyboard group (WS_GROUP): the first
// focusable child of each parent, and every button, so arrow keys move only
// between the radio buttons of one box or among the check boxes of one box.
bool startsKeyboardGroup(std::span<const ControlDesign> table, const ControlDesign& control);

const ControlDesign* findControl(std::span<const ControlDesign> table, int id);
