// The dialog's Win32 glue: windows made from a control table (group boxes as
// real parents that pass their controls' notifications on to the form, labels
// sized to their text, fonts), the dialog-box keyboard handling, and the
// capture surface that keeps a screen-sized bitmap at the display's depth.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "dialog/capture_surface.h"
#include "dialog/control_windows.h"
#include "dialog/dpi_scaling.h"
#include "framework/scoped.h"

namespace {

enum : int { Box = 300, Check, Radio1, Radio2, Label, Button, Glyphed };

constexpr std::array<ControlDesign, 7> table{{
    {Box, "Box", ControlKind::GroupBox, formParent, "Box", {10, 10, 200, 120}, 0},
    {Check, "Check", ControlKind::CheckBox, Box, "Check", {5, 15, 100, 17}, 0},
    {Radio1, "Radio1", ControlKind::RadioButton, Box, "One", {5, 35, 100, 17}, 1},
    {Radio2, "Radio2", ControlKind::RadioButton, Box, "Two", {5, 55, 100, 17}, 2},
    {Label, "Label", ControlKind::Label, Box, "x", {5, 80, 0, 0}, noTabStop},
    {Button, "Button", ControlKind::PushButton, formParent, "Push", {10, 140, 80, 22}, 1},
    {Glyphed, "Glyphed", ControlKind::GlyphButton, formParent, "OK", {100, 140, 80, 22}, 2, nullptr,
     GlyphKind::CheckMark},
}};

// A plain top-level window that records the notifications reaching it.
struct TestWindow {
    static inline std::vector<std::pair<int, int>> commands;
    static inline int drawn = 0;
    HWND window = nullptr;

    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COMMAND)
            commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        if (message == WM_DRAWITEM)
            ++drawn;
        return DefWindowProcA(window, message, wParam, lParam);
    }

    TestWindow()
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "SkyvaneDialogControlsTest";
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        RegisterClassA(&windowClass);
        window = CreateWindowExA(WS_EX_CONTROLPARENT, "SkyvaneDialogControlsTest", "test",
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        commands.clear();
        drawn = 0;
    }
    ~TestWindow() { DestroyWindow(window); }
};

void pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}

TEST(ControlWindows, GroupBoxesAreRealParentsAndPassNotificationsToTheForm)
{
    TestWindow form;
    ControlWindows controls;
    controls.create(form.window, table, arial11, Glyphed, designDpi);

    HWND box = controls.window(Box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetParent(controls.window(Check)), box);
    EXPECT_EQ(GetParent(controls.window(Button)), form.window);
    RECT r{};
    GetWindowRect(controls.window(Check), &r);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 15);
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_TRUE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);

    // A click inside the box reaches the form with the control's id.
    SendMessageA(controls.window(Check), BM_CLICK, 0, 0);
    pump();
    ASSERT_FALSE(TestWindow::commands.empty()) << "the click never reached the form";
    EXPECT_EQ(TestWindow::commands.back(), std::make_pair(static_cast<int>(Check), static_cast<int>(BN_CLICKED)));
    EXPECT_TRUE(controls.isChecked(Check));

    // The box's controls are one keyboard group, started by its first control;
    // clicking one radio button clears the other.
    SendMessageA(controls.window(Radio1), BM_CLICK, 0, 0);
    SendMessageA(controls.window(Radio2), BM_CLICK, 0, 0);
    pump();
    EXPECT_FALSE(controls.isChecked(Radio1));
    EXPECT_TRUE(controls.isChecked(Radio2));
    EXPECT_TRUE(GetWindowLongA(controls.window(Check), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongA(controls.window(Radio1), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(GetWindowLongA(controls.window(Radio2), GWL_STYLE) & WS_GROUP);
    EXPECT_TRUE(GetWindowLongA(controls.window(Button), GWL_STYLE) & WS_GROUP);

    // Owner-drawn buttons are drawn by their parent, the form.
    ShowWindow(form.window, SW_SHOW);
    UpdateWindow(form.window);
    pump();
    EXPECT_GT(TestWindow::drawn, 0);
}

TEST(ControlWindows, ALabelSizedToItsTextGrowsAndShrinksWithIt)
{
    TestWindow form;
    ControlWindows controls;
    controls.create(form.window, table, arial11, Glyphed, designDpi);
    auto width = [&] {
        RECT r{};
        GetWindowRect(controls.window(Label), &r);
        return r.right - r.left;
    };
    const int one = width();
    controls.setText(Label, "Label1 and much more text");
    const int longer = width();
    controls.setText(Label, "x");
    EXPECT_GT(one, 0);
    EXPECT_GT(longer, 4 * one);
    EXPECT_EQ(width(), one);
    EXPECT_EQ(controls.text(Label), "x");
}

TEST(ControlWindows, AtAHigherDpiBoundsAndFontsGrowByDpiOver96)
{
    TestWindow form;
    ControlWindows normal;
    normal.create(form.window, table, arial11, Glyphed, designDpi);
    TestWindow larger;
    ControlWindows scaled;
    scaled.create(larger.window, table, arial11, Glyphed, 144);

    auto placeIn = [](HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
        return std::array{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    // Check {5, 15, 100, 17} in the box {10, 10, 200, 120}; Button {10, 140, 80, 22}.
    EXPECT_EQ(placeIn(scaled.window(Box)), (std::array<LONG, 4>{15, 15, 300, 180}));
    EXPECT_EQ(placeIn(scaled.window(Check)), (std::array<LONG, 4>{8, 23, 150, 25}));
    EXPECT_EQ(placeIn(scaled.window(Button)), (std::array<LONG, 4>{15, 210, 120, 33}));
    EXPECT_EQ(placeIn(normal.window(Check)), (std::array<LONG, 4>{5, 15, 100, 17}));

    auto fontHeight = [](HWND control) {
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
        return font.lfHeight;
    };
    EXPECT_EQ(fontHeight(normal.window(Check)), -11);
    EXPECT_EQ(fontHeight(scaled.window(Check)), -17);

    // A label sized to its text is as large as the larger font makes it.
    normal.setText(Label, "Planes Appear Every");
    scaled.setText(Label, "Planes Appear Every");
    const auto small = placeIn(normal.window(Label));
    const auto large = placeIn(scaled.window(Label));
    EXPECT_GT(large[2], small[2] * 5 / 4);
    EXPECT_GT(large[3], small[3]);
}

TEST(ControlWindows, KeyboardHandlingMovesTheFocusAndNamesTheButtonForEnter)
{
    TestWindow form;
    ControlWindows controls;
    controls.create(form.window, table, arial11, Glyphed, designDpi);
    ShowWindow(form.window, SW_SHOW);
    HWND lastFocus = nullptr;
    LRESULT result = 0;

    ASSERT_TRUE(handleDialogKeyboard(form.window, lastFocus, controls, WM_ACTIVATE, WA_ACTIVE, 0, result));
    EXPECT_EQ(GetFocus(), controls.window(Check)) << "the first control in keyboard order gets the focus";

    // Enter presses the default button, unless a button has the focus.
    ASSERT_TRUE(handleDialogKeyboard(form.window, lastFocus, controls, DM_GETDEFID, 0, 0, result));
    EXPECT_EQ(LOWORD(result), Glyphed);
    EXPECT_EQ(HIWORD(result), DC_HASDEFID);
    EXPECT_FALSE(GetWindowLongA(controls.window(Button), GWL_STYLE) & BS_DEFPUSHBUTTON);
    SetFocus(controls.window(Button));
    controls.focusChanged();
    handleDialogKeyboard(form.window, lastFocus, controls, DM_GETDEFID, 0, 0, result);
    EXPECT_EQ(LOWORD(result), Button);
    EXPECT_EQ((GetWindowLongA(controls.window(Button), GWL_STYLE) & BS_TYPEMASK), BS_DEFPUSHBUTTON)
        << "the focused push button does not show itself as the default";
    SetFocus(controls.window(Check));
    controls.focusChanged();
    EXPECT_EQ(controls.currentDefaultButton(), Glyphed) << "the default did not come back";
    EXPECT_EQ((GetWindowLongA(controls.window(Button), GWL_STYLE) & BS_TYPEMASK), BS_PUSHBUTTON);

    // Tab: the next control in keyboard order, into and out of the box.
    SetFocus(controls.window(Check));
    handleDialogKeyboard(form.window, lastFocus, controls, WM_NEXTDLGCTL, 0, 0, result);
    EXPECT_EQ(GetFocus(), controls.window(Radio1));
    handleDialogKeyboard(form.window, lastFocus, controls, WM_NEXTDLGCTL, 1, 0, result);
    EXPECT_EQ(GetFocus(), controls.window(Check));

    // The focus is remembered across deactivation.
    SetFocus(controls.window(Button));
    EXPECT_FALSE(handleDialogKeyboard(form.window, lastFocus, controls, WM_ACTIVATE, WA_INACTIVE, 0, result));
    SetFocus(nullptr);
    handleDialogKeyboard(form.window, lastFocus, controls, WM_ACTIVATE, WA_ACTIVE, 0, result);
    EXPECT_EQ(GetFocus(), controls.window(Button));
}

TEST(CaptureSurface, IsScreenDeepStartsWhiteAndFollowsTheSizeItIsGiven)
{
    ScopedGetDC screen(nullptr);
    const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    CaptureSurface surface;
    EXPECT_TRUE(surface.toPicture().empty());

    surface.resize(37, 21);
    Picture white = surface.toPicture();
    EXPECT_EQ(white.width, 37);
    EXPECT_EQ(white.height, 21);
    EXPECT_EQ(white.bitsPerPixel, depth);
    ASSERT_EQ(white.bits.size(), white.stride() * 21);
    if (depth >= 24) {
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 37; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(white.row(y)[x * depth / 8 + c], 0xFF) << "not white at " << x << "," << y;
    }

    // What is drawn on the canvas is what the picture holds.
    RECT corner{0, 0, 3, 2};
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(surface.canvas(), &corner, red.get());
    Picture drawn = surface.toPicture();
    if (depth == 32 || depth == 24) {
        const uint8_t* top = drawn.row(0);
        EXPECT_EQ(top[0], 0x00);   // blue
        EXPECT_EQ(top[1], 0x00);   // green
        EXPECT_EQ(top[2], 0xFF);   // red
        EXPECT_EQ(drawn.row(2)[2], 0xFF) << "the third row should still be white";
    }

    // Another size gives a new white surface of that size.
    surface.resize(50, 40);
    Picture resized = surface.toPicture();
    EXPECT_EQ(resized.width, 50);
    EXPECT_EQ(resized.height, 40);
    if (depth >= 24) {
        EXPECT_EQ(resized.row(0)[2], 0xFF);
    }
}
