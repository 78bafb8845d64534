// The dialogs at the system's DPI: designed lengths, control bounds, fonts,
// the form's place and the button glyphs grow by DPI / 96 and are the design
// itself at 96 DPI.
#include <gtest/gtest.h>

#include <array>

#include "dialog/button_glyphs.h"
#include "dialog/dialog_layout.h"
#include "dialog/dpi_scaling.h"

TEST(DpiScaling, At96DpiEverythingIsTheDesign)
{
    for (int dpi : {96, 0, -1}) {   // 0 and below: the system could not tell
        for (const ControlDesign& control : Unit2::controls) {
            const Bounds scaled = scaledBounds(control.bounds, dpi);
            EXPECT_EQ((std::array{scaled.left, scaled.top, scaled.width, scaled.height}),
                      (std::array{control.bounds.left, control.bounds.top, control.bounds.width,
                                  control.bounds.height}))
                << control.name;
        }
        EXPECT_EQ(scaledFont(arial11, dpi).pixelHeight, 11);
        EXPECT_EQ(scaledFormPlace(Unit2::form, dpi, {0, 0, 1024, 768}), (WindowPlace{380, 189, 555, 441}));
        for (int i = 0; i < glyphSize; ++i)
            EXPECT_EQ(glyphDesignPixel(i, glyphSize), i);
    }
}

TEST(DpiScaling, LengthsGrowByDpiOver96RoundedToTheNearestPixel)
{
    EXPECT_EQ(scaledLength(555, 120), 694);    // 693.75
    EXPECT_EQ(scaledLength(555, 144), 833);    // 832.5: halves away from zero
    EXPECT_EQ(scaledLength(441, 144), 662);    // 661.5
    EXPECT_EQ(scaledLength(555, 192), 1110);
    EXPECT_EQ(scaledLength(11, 144), 17);      // 16.5
    EXPECT_EQ(scaledLength(-11, 144), -17);
    EXPECT_EQ(scaledLength(0, 192), 0);
    EXPECT_EQ(scaledLength(16, 120), 20);
    EXPECT_EQ(scaledLength(10, 72), 8);        // 7.5, below 96 DPI too
    // The backdrop drawn at twice the size: as it is at 200 %, reduced below.
    EXPECT_EQ(scaledLengthOfPicture(1110, 192, 2), 1110);
    EXPECT_EQ(scaledLengthOfPicture(1110, 144, 2), 833);
    EXPECT_EQ(scaledLengthOfPicture(882, 120, 2), 551);   // 551.25
    EXPECT_EQ(scaledLengthOfPicture(555, 144, 1), scaledLength(555, 144));
}

TEST(DpiScaling, ControlsThatMeetInTheDesignStillMeetWhenScaled)
{
    const Bounds first = scaledBounds({5, 13, 97, 17}, 144);
    EXPECT_EQ((std::array{first.left, first.top, first.width, first.height}), (std::array{8, 20, 145, 25}));
    // One control ends where the next begins. Scaling each size by itself
    // would make them overlap at 150 % (8 + 8 > 15); the scaled edges meet.
    for (const int dpi : {120, 144, 168, 192, 240}) {
        for (int top = 0; top < 40; ++top) {
            const Bounds upper = scaledBounds({5, top, 20, 5}, dpi);
            const Bounds lower = scaledBounds({5, top + 5, 20, 5}, dpi);
            EXPECT_EQ(upper.top + upper.height, lower.top) << dpi << " " << top;
            const Bounds beside = scaledBounds({25, top, 20, 5}, dpi);
            EXPECT_EQ(upper.left + upper.width, beside.left) << dpi;
        }
    }
    // A label sized to its text keeps a free size.
    const Bounds label = scaledBounds({20, 33, 0, 0}, 192);
    EXPECT_EQ((std::array{label.left, label.top, label.width, label.height}), (std::array{40, 66, 0, 0}));
}

TEST(DpiScaling, TheFormKeepsItsScaledPlaceWhereItFitsTheWorkArea)
{
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {0, 0, 935, 630}), (WindowPlace{380, 189, 555, 441}));
    EXPECT_EQ(scaledFormPlace(Unit2::form, 144, {0, 0, 1920, 1080}), (WindowPlace{570, 284, 833, 662}));
    // A taskbar at the top or the left that leaves the place free moves nothing.
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {0, 189, 1024, 768}), (WindowPlace{380, 189, 555, 441}));
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {380, 0, 1024, 768}), (WindowPlace{380, 189, 555, 441}));
}

TEST(DpiScaling, WhereItDoesNotFitTheFormMovesJustFarEnoughIntoTheWorkArea)
{
    // 640 x 480 and 800 x 600 at 96 DPI, with a 28-pixel taskbar at the bottom.
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {0, 0, 640, 452}), (WindowPlace{85, 11, 555, 441}));
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {0, 0, 800, 572}), (WindowPlace{245, 131, 555, 441}));
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {0, 0, 800, 600}), (WindowPlace{245, 159, 555, 441}));
    // A taskbar at the top or the left pushes it the other way.
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {0, 200, 1024, 768}), (WindowPlace{380, 200, 555, 441}));
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {400, 0, 1024, 768}), (WindowPlace{400, 189, 555, 441}));
    // 200 % on a screen too small for the scaled place: moved up and left.
    EXPECT_EQ(scaledFormPlace(Unit2::form, 192, {0, 0, 1600, 900}), (WindowPlace{490, 18, 1110, 882}));
    // Larger than the work area: the top-left corner goes to the work area's.
    EXPECT_EQ(scaledFormPlace(Unit2::form, 192, {0, 0, 1024, 768}), (WindowPlace{0, 0, 1110, 882}));
    EXPECT_EQ(scaledFormPlace(Unit2::form, 96, {30, 40, 500, 400}), (WindowPlace{30, 40, 555, 441}));
}

TEST(DpiScaling, TheAboutBoxIsCentred)
{
    EXPECT_EQ(centredOnScreen(839, 531, 1920, 1080), (WindowPlace{540, 274, 839, 531}));
    EXPECT_EQ(centredOnScreen(559, 354, 1024, 768), (WindowPlace{232, 207, 559, 354}));
}

TEST(DpiScaling, CheckBoxesAndRadioButtonsAreWideEnoughForTheirCaption)
{
    // Room for the mark (13 design pixels), half a digit, the caption and a
    // pixel either side: the design where that is enough.
    EXPECT_EQ(captionedButtonWidth(97, 70, 6, 96), 97);
    EXPECT_EQ(captionedButtonWidth(97, 79, 6, 96), 97);    // 13 + 3 + 1 + 79 + 1 = 97
    EXPECT_EQ(captionedButtonWidth(97, 80, 6, 96), 98);
    EXPECT_EQ(captionedButtonWidth(121, 100, 8, 120), 122);   // 16 + 4 + 1 + 100 + 1
    EXPECT_EQ(captionedButtonWidth(194, 160, 12, 192), 194);
    EXPECT_EQ(captionedButtonWidth(194, 170, 12, 192), 204);  // 26 + 6 + 1 + 170 + 1
}

TEST(DpiScaling, GlyphsGrowInWholeDesignPixels)
{
    // At 24 pixels every design pixel becomes 1 or 2 pixels across, in order,
    // and every design pixel is shown.
    std::array<int, glyphSize> shown{};
    int previous = 0;
    for (int i = 0; i < 24; ++i) {
        const int pixel = glyphDesignPixel(i, 24);
        EXPECT_GE(pixel, previous);
        EXPECT_LE(pixel - previous, 1);
        previous = pixel;
        ++shown[pixel];
    }
    for (int count : shown)
        EXPECT_TRUE(count == 1 || count == 2);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(glyphDesignPixel(i, 32), i / 2);
    EXPECT_EQ(glyphDesignPixel(31, 32), glyphSize - 1);
}
