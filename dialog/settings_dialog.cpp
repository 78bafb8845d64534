#include "dialog/settings_dialog.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "dialog/about_box.h"
#include "dialog/delay_scroll.h"
#include "dialog/dialog_texts.h"
#include "dialog/dpi_scaling.h"
#include "framework/application.h"
#include "framework/dpi_awareness.h"
#include "framework/exceptions.h"
#include "framework/files.h"
#include "framework/paths.h"
#include "framework/scoped.h"
#include "framework/shell.h"
#include "framework/surface.h"
#include "imaging/picture_scaling.h"
#include "resources/resource.h"
#include "settings/windows_directory.h"

using namespace Unit2;

namespace {

constexpr UINT_PTR timer1Id = 1;

// The main monitor's work area; the whole screen where the system cannot tell.
ScreenRect workArea()
{
    RECT area{};
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) && area.right > area.left && area.bottom > area.top)
        return {area.left, area.top, area.right, area.bottom};
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::optional<ScrollRequest> scrollRequest(WORD code)
{
    switch (code) {
    case SB_LINELEFT: return ScrollRequest::LineLess;
    case SB_LINERIGHT: return ScrollRequest::LineMore;
    case SB_PAGELEFT: return ScrollRequest::PageLess;
    case SB_PAGERIGHT: return ScrollRequest::PageMore;
    case SB_LEFT: return ScrollRequest::ToMinimum;
    case SB_RIGHT: return ScrollRequest::ToMaximum;
    case SB_THUMBTRACK: return ScrollRequest::ThumbTrack;
    case SB_THUMBPOSITION: return ScrollRequest::ThumbPosition;
    case SB_ENDSCROLL: return ScrollRequest::EndScroll;
    }
    return std::nullopt;
}

}

TForm2::TForm2() : Timer1(nullptr, timer1Id, 200, [this] { Timer1Timer(); })
{
}

TForm2::~TForm2() = default;

void TForm2::createAndShow()
{
    Design design;
    design.className = "TForm2";
    design.caption = form.caption;
    // No WS_HSCROLL / WS_VSCROLL: the form shows no scroll bars.
    design.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    design.exStyle = WS_EX_CONTROLPARENT;
    dpi_ = systemDpi();
    const WindowPlace place = scaledFormPlace(form, dpi_, workArea());
    design.left = place.left;
    design.top = place.top;
    design.width = place.width;
    design.height = place.height;
    design.icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SKYVANE));
    design.isMainForm = true;
    design.dialogNavigation = true;
    create(design);
    show(SW_SHOWNORMAL);
}

void TForm2::createControls()
{
    controls_.create(handle(), controls, form.font, defaultButton, dpi_);
    SCROLLINFO range{};
    range.cbSize = sizeof range;
    range.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    range.nMin = delayRange.minimum;
    range.nMax = delayRange.maximum;
    range.nPage = 0;
    range.nPos = delayDesignPosition;
    SetScrollInfo(controls_.window(ScrollBar1), SB_CTL, &range, TRUE);
    registerTimer(Timer1);
}

void TForm2::FormCreate()
{
    // The settings are shown whatever happens to the backdrop or to one stored
    // value: a dialog left in its design state would save that over the
    // user's choices on close. Each problem is reported once the settings are
    // in place, in the order they happened, and the dialog shows without it.
    std::exception_ptr backdropFailure;
    try {
        loadDialogBackdrop();
    } catch (...) {
        backdropFailure = std::current_exception();
    }
    const std::optional<ERegistryException> unreadableSetting = loadSettings(false, this);
    showSettingsInControls();
    if (backdropFailure && unreadableSetting)
        Application::instance().guarded([&] { std::rethrow_exception(backdropFailure); }, handle());
    else if (backdropFailure)
        std::rethrow_exception(backdropFailure);
    if (unreadableSetting)
        throw *unreadableSetting;
}

// Where the dialog is scaled, the backdrop made for twice the density, as
// sharp as the controls around it; returns its density (2), or 1 where there
// is none that can be read and background.jpg took its place.
int TForm2::loadBackdropPicture()
{
    if (dpi_ > designDpi) {
        try {
            Image1.assignJpeg(std::make_unique<JpegImage>(readWholeFile(dataFilePath(denseBackdropName))));
            convertJpegToBitmap(*Image1.jpeg());
            return 2;
        } catch (const std::exception&) {
            // background.jpg, enlarged, as everywhere without it
        }
    }
    // Decoded here, so a damaged file is reported now and not at every repaint.
    Image1.assignJpeg(std::make_unique<JpegImage>(readWholeFile(dataFilePath("background.jpg"))));
    convertJpegToBitmap(*Image1.jpeg());
    return 1;
}

void TForm2::loadDialogBackdrop()
{
    const int density = loadBackdropPicture();
    const Picture& backdrop = convertJpegToBitmap(*Image1.jpeg());
    // Image1 covers the form from its top-left corner at the form's design
    // size; the picture is drawn there at its own size, under every control.
    // Only that part of it is kept, and scaled (a large picture enlarged
    // whole would not fit in memory).
    const Bounds bounds = scaledBounds(backdropBounds, dpi_);
    Image1.assignBitmap(smoothlyScaledPart(backdrop, scaledLengthOfPicture(backdrop.width, dpi_, density),
                                           scaledLengthOfPicture(backdrop.height, dpi_, density), bounds.width,
                                           bounds.height));
    Image1.setWidth(bounds.width);
    Image1.setHeight(bounds.height);
    InvalidateRect(handle(), nullptr, TRUE);
}

void TForm2::paintBackdrop(HDC dc)
{
    if (!Image1.hasBitmap())
        return;
    const int width = std::min(Image1.pictureWidth(), Image1.width());
    const int height = std::min(Image1.pictureHeight(), Image1.height());
    const Bounds bounds = scaledBounds(backdropBounds, dpi_);
    BitBlt(dc, bounds.left, bounds.top, width, height, Image1.canvas(), 0, 0, SRCCOPY);
}

void TForm2::showSettingsInControls()
{
    for (const TypeBox& box : typeBoxes)
        if (saverSettings.*planeTypeRow(box.type).flag)
            controls_.setChecked(box.control, true);
    controls_.setChecked(saverSettings.Random ? Radrandom : Radorder, true);
    // Checking "Use Fake Desktop" counts as a click on it (RadfakeClick).
    controls_.setChecked(saverSettings.Fake ? Radfake : Raddesktop, true);
    onRadioClicked();
}

// ---------------------------------------------------------------- delay

void TForm2::setScrollPosition(int position)
{
    HWND scrollBar = controls_.window(ScrollBar1);
    const int kept = clampedPosition(position, delayRange);
    if (kept == GetScrollPos(scrollBar, SB_CTL))
        return;
    SetScrollPos(scrollBar, SB_CTL, kept, TRUE);
    ScrollBar1Change();
}

void TForm2::setLabelText(const std::string& text)
{
    controls_.setText(Label1, text);
}

void TForm2::onScroll(WPARAM request)
{
    const auto asked = scrollRequest(LOWORD(request));
    if (!asked)
        return;
    HWND scrollBar = controls_.window(ScrollBar1);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(scrollBar, SB_CTL, &info);
    const int next = scrolledPosition(*asked, info.nPos, info.nTrackPos, delayRange);
    if (next == info.nPos)
        return;
    SetScrollPos(scrollBar, SB_CTL, next, TRUE);
    ScrollBar1Change();
}

void TForm2::ScrollBar1Change()
{
    controls_.setText(Label1, std::to_string(GetScrollPos(controls_.window(ScrollBar1), SB_CTL)));
}

// ---------------------------------------------------------------- commands

void TForm2::onCommand(int id, int notification)
{
    if (notification == BN_SETFOCUS || notification == BN_KILLFOCUS)
        controls_.focusChanged();
    if (notification != BN_CLICKED)
        return;
    switch (id) {
    case BitBtn1: BitBtn1Click(); break;
    case BitBtn2: BitBtn2Click(); break;
    case BitBtn3: BitBtn3Click(); break;
    case Button1: Button1Click(); break;
    case Raddesktop:
    case Radfake:
    case Radorder:
    case Radrandom: onRadioClicked(); break;
    default: break;   // IDCANCEL from Escape among them: there is no cancel
    }
}

void TForm2::onRadioClicked()
{
    // Tab stops at the checked button of each pair (at the first while none
    // is checked); the arrow keys move between the two.
    for (auto [first, second] : {std::pair{Raddesktop, Radfake}, std::pair{Radorder, Radrandom}}) {
        const int stop = controls_.isChecked(second) ? second : first;
        for (int radio : {first, second}) {
            HWND button = controls_.window(radio);
            const LONG style = GetWindowLongA(button, GWL_STYLE);
            const LONG wanted = radio == stop ? style | WS_TABSTOP : style & ~WS_TABSTOP;
            if (wanted != style)
                SetWindowLongA(button, GWL_STYLE, wanted);
        }
    }
    // A click on the radio button that is already checked changes nothing.
    const bool checked = controls_.isChecked(Radfake);
    const bool becameChecked = checked && !radfakeChecked_;
    radfakeChecked_ = checked;
    if (becameChecked)
        RadfakeClick();
}

void TForm2::BitBtn1Click()
{
    showAboutBox(handle());
}

void TForm2::BitBtn2Click()
{
    close();
}

void TForm2::BitBtn3Click()
{
    if (openWithShell(handle(), dialog_text::vendorWebAddress, SW_SHOWMAXIMIZED) < 32)
        MessageBoxA(handle(), dialog_text::noBrowserMessage, Application::instance().title().c_str(), MB_OK);
}

// ---------------------------------------------------------------- closing

DialogChoices TForm2::choicesFromControls() const
{
    DialogChoices choices;
    for (const TypeBox& box : typeBoxes)
        choices.types.set(box.type, controls_.isChecked(box.control));
    choices.label1Text = controls_.text(Label1);
    choices.radorderChecked = controls_.isChecked(Radorder);
    choices.raddesktopChecked = controls_.isChecked(Raddesktop);
    return choices;
}

bool TForm2::FormCloseQuery()
{
    DialogChoices choices = choicesFromControls();
    // At least one type always flies: with no box checked, "All Others" is.
    if (applyAllOthersRule(choices))
        controls_.setChecked(Chkother, true);
    // A label that is not a number throws here; the dialog then stays open.
    // A key the user may not write is reported, and the dialog still closes:
    // every later close would fail the same way.
    try {
        saveSettings(choices);
    } catch (const ESettingsNotSaved& error) {
        Application::instance().showException(error, handle());
    }
    return true;
}

LRESULT TForm2::dialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        ScopedPaint paint(handle());
        paintBackdrop(paint.dc());
        return 0;
    }
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == controls_.window(ScrollBar1))
            onScroll(wParam);
        return 0;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        controls_.drawButton(item);
        return TRUE;
    }
    case WM_QUERYENDSESSION:
        // Shutdown and log-off close the dialog too, so they save like a close.
        return FormCloseQuery() ? TRUE : FALSE;
    case WM_ENDSESSION:
        if (wParam)
            DestroyWindow(handle());
        return 0;
    }
    return defaultHandling(message, wParam, lParam);
}
