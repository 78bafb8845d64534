// The settings dialog's and the about box's pure parts: the control tables
// agree with themselves and with the settings store, the keyboard order and
// groups follow from them, the delay scroll bar's arithmetic, the glyphs.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

#include "dialog/button_glyphs.h"
#include "dialog/delay_scroll.h"
#include "dialog/dialog_layout.h"
#include "settings/settings_logic.h"

namespace {

std::vector<std::string> names(const std::vector<const ControlDesign*>& controls)
{
    std::vector<std::string> out;
    for (const ControlDesign* control : controls)
        out.push_back(control->name);
    return out;
}

template <std::size_t N>
void expectConsistentTable(const std::array<ControlDesign, N>& table, const char* form)
{
    std::set<int> ids;
    for (const ControlDesign& control : table) {
        EXPECT_TRUE(ids.insert(control.id).second) << form << ": id of " << control.name << " used twice";
        // Ids 1 and 2 are IDOK and IDCANCEL, which the keyboard handling sends.
        EXPECT_GT(control.id, 2) << control.name;
        if (control.parent == formParent)
            continue;
        const ControlDesign* parent = findControl(table, control.parent);
        ASSERT_NE(parent, nullptr) << form << ": parent of " << control.name << " missing";
        EXPECT_EQ(parent->kind, ControlKind::GroupBox) << control.name << " sits in a non-box";
        if (control.bounds.width == 0)
            continue;   // sized to its text
        EXPECT_LE(control.bounds.left + control.bounds.width, parent->bounds.width)
            << control.name << " sticks out of " << parent->name;
        EXPECT_LE(control.bounds.top + control.bounds.height, parent->bounds.height)
            << control.name << " sticks out of " << parent->name;
    }
    // Keyboard positions are distinct among the children of one parent.
    for (const ControlDesign& parent : table) {
        std::set<int> orders;
        for (const ControlDesign* child : childrenInCreationOrder(table, parent.id)) {
            if (child->tabOrder != noTabStop) {
                EXPECT_TRUE(orders.insert(child->tabOrder).second)
                    << form << ": two children of " << parent.name << " at tab position " << child->tabOrder;
            }
        }
    }
}

}

TEST(DialogLayout, TablesAreConsistent)
{
    expectConsistentTable(Unit2::controls, "TForm2");
    expectConsistentTable(Uabout::controls, "TFrmabout");
}

TEST(DialogLayout, WindowsAreCreatedInKeyboardOrderWithoutPictures)
{
    using namespace Unit2;
    EXPECT_EQ(names(childrenInCreationOrder(controls, formParent)),
              (std::vector<std::string>{"GroupBox1", "GroupBox2", "GroupBox3", "BitBtn1", "BitBtn2", "BitBtn3",
                                        "GroupBox4"}));
    EXPECT_EQ(names(childrenInCreationOrder(controls, GroupBox3)),
              (std::vector<std::string>{"Chkf16", "chkf15", "Chku2", "Chkawac", "Chkb52", "Chkwing", "Chkb2",
                                        "Chkf117", "Chkf22", "Chkother", "Chksr71"}));
    // Controls without a tab stop come first, in table order.
    EXPECT_EQ(names(childrenInCreationOrder(controls, GroupBox1)),
              (std::vector<std::string>{"Label1", "Label2", "ScrollBar1"}));
    EXPECT_EQ(names(childrenInCreationOrder(Uabout::controls, Uabout::GroupBox2)),
              (std::vector<std::string>{"Label2", "Label3", "Label4", "Label5"}));
}

TEST(DialogLayout, KeyboardGroupsSeparateTheRadioPairsTheCheckBoxesAndEachButton)
{
    using namespace Unit2;
    auto starts = [](int id) { return startsKeyboardGroup(controls, *findControl(controls, id)); };
    EXPECT_TRUE(starts(ScrollBar1));
    EXPECT_TRUE(starts(Raddesktop));
    EXPECT_FALSE(starts(Radfake));
    EXPECT_TRUE(starts(Button1));
    EXPECT_TRUE(starts(Radorder));
    EXPECT_FALSE(starts(Radrandom));
    EXPECT_TRUE(starts(Chkf16));
    for (int box : {chkf15, Chku2, Chkawac, Chkb52, Chkwing, Chkb2, Chkf117, Chkf22, Chkother, Chksr71})
        EXPECT_FALSE(starts(box)) << findControl(controls, box)->name;
    for (int button : {BitBtn1, BitBtn2, BitBtn3})
        EXPECT_TRUE(starts(button)) << findControl(controls, button)->name;
    for (int label : {Label1, Label2})
        EXPECT_FALSE(starts(label));
    EXPECT_FALSE(takesFocus(ControlKind::GroupBox));
    EXPECT_FALSE(takesFocus(ControlKind::LinkLabel));
}

TEST(DialogLayout, EveryTypeHasOneCheckBoxShowingItsCaption)
{
    std::set<int> controlsSeen;
    PlaneTypeFlags typesSeen;
    for (const Unit2::TypeBox& box : Unit2::typeBoxes) {
        const ControlDesign* control = findControl(Unit2::controls, box.control);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->kind, ControlKind::CheckBox) << control->name;
        EXPECT_EQ(control->parent, Unit2::GroupBox3) << control->name;
        EXPECT_STREQ(control->caption, planeTypeRow(box.type).caption) << control->name;
        EXPECT_TRUE(controlsSeen.insert(box.control).second) << control->name << " twice";
        EXPECT_FALSE(typesSeen[box.type]) << planeTypeRow(box.type).valueName << " has two boxes";
        typesSeen.set(box.type, true);
    }
    for (const PlaneTypeRow& row : planeTypes)
        EXPECT_TRUE(typesSeen[row.type]) << row.valueName << " has no box";

    // "All Others" is the box the store's rule checks when no box is.
    DialogChoices none;
    EXPECT_TRUE(applyAllOthersRule(none));
    for (const Unit2::TypeBox& box : Unit2::typeBoxes)
        EXPECT_EQ(none.types[box.type], box.control == Unit2::Chkother) << box.control;
}

TEST(DelayScroll, StepsClampAndJump)
{
    const Unit2::ScrollRange range = Unit2::delayRange;
    struct Case {
        ScrollRequest request;
        int position, track, expected;
    };
    const Case cases[] = {
        {ScrollRequest::LineMore, 4, 0, 5},       {ScrollRequest::LineLess, 4, 0, 3},
        {ScrollRequest::PageMore, 4, 0, 5},       {ScrollRequest::PageLess, 4, 0, 3},
        {ScrollRequest::LineLess, 1, 0, 1},       {ScrollRequest::PageMore, 300, 0, 300},
        {ScrollRequest::ToMinimum, 150, 0, 1},    {ScrollRequest::ToMaximum, 150, 0, 300},
        {ScrollRequest::ThumbTrack, 4, 77, 77},   {ScrollRequest::ThumbPosition, 4, 299, 299},
        {ScrollRequest::ThumbTrack, 4, 0, 1},     {ScrollRequest::ThumbTrack, 4, 9999, 300},
        {ScrollRequest::EndScroll, 42, 7, 42},
        // Extreme numbers do not overflow on a step.
        {ScrollRequest::LineMore, INT_MAX, 0, 300}, {ScrollRequest::LineLess, INT_MIN, 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scrolledPosition(c.request, c.position, c.track, range), c.expected)
            << "request " << static_cast<int>(c.request) << " from " << c.position;
}

TEST(DelayScroll, StoredDelaysAreKeptWithinTheRange)
{
    EXPECT_EQ(clampedPosition(0, Unit2::delayRange), 1);
    EXPECT_EQ(clampedPosition(-7, Unit2::delayRange), 1);
    EXPECT_EQ(clampedPosition(4, Unit2::delayRange), 4);
    EXPECT_EQ(clampedPosition(500, Unit2::delayRange), 300);
    EXPECT_EQ(clampedPosition(INT_MIN, Unit2::delayRange), 1);
}

TEST(ButtonGlyphs, AreSixteenSquareAndUseOnlyKnownColours)
{
    for (const Glyph* glyph : {&arrowRightGlyph, &checkMarkGlyph}) {
        int opaque = 0;
        for (const char* row : glyph->rows) {
            ASSERT_EQ(std::string(row).size(), static_cast<std::size_t>(glyphSize));
            for (int x = 0; x < glyphSize; ++x) {
                if (row[x] == '.')
                    continue;
                ++opaque;
                EXPECT_TRUE(glyphColour(row[x]).has_value()) << "unknown pixel '" << row[x] << "'";
            }
        }
        EXPECT_GT(opaque, 20);
    }
    EXPECT_EQ(glyphFor(GlyphKind::ArrowRight), &arrowRightGlyph);
    EXPECT_EQ(glyphFor(GlyphKind::CheckMark), &checkMarkGlyph);
    EXPECT_EQ(glyphFor(GlyphKind::None), nullptr);
}

TEST(ButtonGlyphs, TheArrowIsRedAndPointsRight)
{
    // The tip, the rightmost pixel, is in the middle row; the body is red.
    int tipRow = -1, tipColumn = -1, red = 0;
    for (int y = 0; y < glyphSize; ++y)
        for (int x = 0; x < glyphSize; ++x) {
            const char pixel = arrowRightGlyph.rows[y][x];
            if (pixel != '.' && x > tipColumn) {
                tipColumn = x;
                tipRow = y;
            }
            red += glyphColour(pixel) == std::optional<uint32_t>(0xFF0000);
        }
    EXPECT_EQ(tipRow, 8);
    EXPECT_GT(red, 30);
}

TEST(ButtonGlyphs, TheDisabledLookKeepsTheShapeInGreyWithAWhiteShadow)
{
    std::array<std::array<char, glyphSize + 1>, glyphSize> storage{};
    const Glyph disabled = disabledGlyph(arrowRightGlyph, storage);
    for (int y = 0; y < glyphSize; ++y)
        for (int x = 0; x < glyphSize; ++x) {
            const bool shape = arrowRightGlyph.rows[y][x] != '.';
            const bool shadow = x > 0 && y > 0 && arrowRightGlyph.rows[y - 1][x - 1] != '.';
            const char expected = shape ? 'd' : shadow ? 'w' : '.';
            EXPECT_EQ(disabled.rows[y][x], expected) << "at " << x << "," << y;
        }
}
