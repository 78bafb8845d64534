#include "dialog/control_windows.h"

#include <array>
#include <stdexcept>
#include <string>

#include "dialog/button_glyphs.h"
#include "dialog/dpi_scaling.h"
#include "framework/application.h"

namespace {

constexpr const char* groupBoxProcProperty = "SkyvaneGroupBoxProc";

// A group box is the real parent of its controls, but the button class keeps
// their notifications to itself and does not paint its inside. This
// subclass fills the inside with the button face colour and passes the
// notifications on to the form.
LRESULT CALLBACK groupBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto original = reinterpret_cast<WNDPROC>(GetPropA(box, groupBoxProcProperty));
    switch (message) {
    case WM_ERASEBKGND: {
        RECT inside;
        GetClientRect(box, &inside);
        FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
        return SendMessageA(topLevelWindowOf(box), message, wParam, lParam);
    case WM_NCDESTROY:
        RemovePropA(box, groupBoxProcProperty);
        SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        break;
    }
    return CallWindowProcA(original, box, message, wParam, lParam);
}

constexpr const char* choiceProcProperty = "SkyvaneChoiceProc";

// A check box or radio button draws a new check or pressed state over its box
// alone, and some systems' buttons (Wine's among them) invert the focus
// rectangle around the caption again with each such drawing: after Space, a
// click or an arrow key it can be gone although the button has the focus. A
// focused button whose state changed is drawn whole once more, which shows the
// focus rectangle exactly once, in the system's colours.
LRESULT CALLBACK choiceProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto original = reinterpret_cast<WNDPROC>(GetPropA(button, choiceProcProperty));
    if (message == WM_NCDESTROY) {
        RemovePropA(button, choiceProcProperty);
        SetWindowLongPtrA(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        return CallWindowProcA(original, button, message, wParam, lParam);
    }
    const LRESULT result = CallWindowProcA(original, button, message, wParam, lParam);
    if ((message == BM_SETCHECK || message == BM_SETSTATE) && GetFocus() == button)
        InvalidateRect(button, nullptr, FALSE);
    return result;
}

// Puts procedure in front of the window's own, which it finds under property.
void subclass(HWND window, const char* property, WNDPROC procedure)
{
    SetPropA(window, property, reinterpret_cast<HANDLE>(GetWindowLongPtrA(window, GWLP_WNDPROC)));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

struct WindowKind {
    const char* className;
    DWORD style;
};

WindowKind windowKind(ControlKind kind)
{
    switch (kind) {
    case ControlKind::GroupBox: return {"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN};
    case ControlKind::ScrollBar: return {"SCROLLBAR", SBS_HORZ};
    case ControlKind::Label: return {"STATIC", SS_LEFT | SS_NOPREFIX};
    case ControlKind::WrappedLabel: return {"STATIC", SS_LEFT | SS_NOPREFIX};
    case ControlKind::LinkLabel: return {"STATIC", SS_LEFT | SS_NOPREFIX | SS_NOTIFY};
    case ControlKind::RadioButton: return {"BUTTON", BS_AUTORADIOBUTTON};
    case ControlKind::CheckBox: return {"BUTTON", BS_AUTOCHECKBOX};
    // BS_NOTIFY: the form hears when a button gains or loses the focus.
    case ControlKind::PushButton: return {"BUTTON", BS_PUSHBUTTON | BS_NOTIFY};
    case ControlKind::GlyphButton: return {"BUTTON", BS_OWNERDRAW | BS_NOTIFY};
    case ControlKind::Picture: break;
    }
    return {"STATIC", 0};
}

// Draws the glyph size pixels square; each design pixel becomes a block.
void drawGlyph(HDC dc, int left, int top, const Glyph& glyph, int size)
{
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (auto colour = glyphColour(glyph.rows[glyphDesignPixel(y, size)][glyphDesignPixel(x, size)]))
                SetPixelV(dc, left + x, top + y,
                          RGB((*colour >> 16) & 0xFF, (*colour >> 8) & 0xFF, *colour & 0xFF));
}

bool isPushButton(HWND window)
{
    return (SendMessageA(window, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0
        || (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW;
}

}

HFONT createDesignFont(const FontDesign& font)
{
    return CreateFontA(-font.pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       font.family == FontFamily::FixedPitch ? FIXED_PITCH | FF_MODERN
                                                             : VARIABLE_PITCH | FF_SWISS,
                       font.face);
}

void ControlWindows::create(HWND form, std::span<const ControlDesign> table, const FontDesign& formFont,
                            int defaultButton, int dpi)
{
    table_ = table;
    form_ = form;
    dpi_ = dpi;
    designedDefault_ = currentDefault_ = defaultButton;
    fonts_.emplace_back(createDesignFont(scaledFont(formFont, dpi_)));
    fontFor_[nullptr] = fonts_.back().get();
    for (const ControlDesign& control : table) {
        if (control.font && !fontFor_.count(control.font)) {
            fonts_.emplace_back(createDesignFont(scaledFont(*control.font, dpi_)));
            fontFor_[control.font] = fonts_.back().get();
        }
    }
    createChildren(form, formParent);
    showAsDefault(defaultButton, true);
}

void ControlWindows::createChildren(HWND parentWindow, int parentId)
{
    for (const ControlDesign* control : childrenInCreationOrder(table_, parentId)) {
        HWND window = createWindow(parentWindow, *control);
        windows_[control->id] = window;
        if (control->kind == ControlKind::GroupBox)
            createChildren(window, control->id);
    }
}

HWND ControlWindows::createWindow(HWND parent, const ControlDesign& control)
{
    const WindowKind kind = windowKind(control.kind);
    DWORD style = WS_CHILD | WS_VISIBLE | kind.style;
    if (takesFocus(control.kind))
        style |= WS_TABSTOP;
    if (startsKeyboardGroup(table_, control))
        style |= WS_GROUP;
    // Tab and the arrow keys look inside a group box for its controls.
    const DWORD exStyle = control.kind == ControlKind::GroupBox ? WS_EX_CONTROLPARENT : 0;
    const Bounds b = scaledBounds(control.bounds, dpi_);
    HWND window = CreateWindowExA(exStyle, kind.className, control.caption, style, b.left, b.top,
                                  b.width, b.height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window)
        throw std::runtime_error(std::string("Error creating window ") + control.name);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor_.at(control.font)), FALSE);
    if (control.kind == ControlKind::GroupBox)
        subclass(window, groupBoxProcProperty, &groupBoxProc);
    if (control.kind == ControlKind::Label)
        sizeToText(window);
    if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::RadioButton) {
        subclass(window, choiceProcProperty, &choiceProc);
        widenForCaption(window, control.caption, b);
    }
    return window;
}

HWND ControlWindows::window(int id) const
{
    auto found = windows_.find(id);
    return found == windows_.end() ? nullptr : found->second;
}

const ControlDesign* ControlWindows::design(int id) const
{
    return findControl(table_, id);
}

bool ControlWindows::isChecked(int id) const
{
    return SendMessageA(window(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ControlWindows::setChecked(int id, bool checked)
{
    SendMessageA(window(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string ControlWindows::text(int id) const
{
    HWND control = window(id);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void ControlWindows::setText(int id, const std::string& text)
{
    HWND control = window(id);
    SetWindowTextA(control, text.c_str());
    const ControlDesign* controlDesign = design(id);
    if (controlDesign && controlDesign->kind == ControlKind::Label)
        sizeToText(control);
}

void ControlWindows::widenForCaption(HWND button, const std::string& caption, const Bounds& scaled)
{
    // The caption grows a little faster than the design where the font's
    // rounded height does, so a caption that fits at 96 DPI may not at 120.
    ScopedGetDC dc(button);
    ScopedSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0)));
    SIZE captionSize{0, 0}, digitSize{0, 0};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &captionSize);
    GetTextExtentPoint32A(dc, "0", 1, &digitSize);
    const int width = captionedButtonWidth(scaled.width, captionSize.cx, digitSize.cx, dpi_);
    if (width != scaled.width)
        SetWindowPos(button, nullptr, 0, 0, width, scaled.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlWindows::sizeToText(HWND label)
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(label)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(label, text.data(), static_cast<int>(text.size()))));
    ScopedGetDC dc(label);
    ScopedSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
    RECT extent{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    RECT old;
    GetWindowRect(label, &old);
    SetWindowPos(label, nullptr, 0, 0, extent.right, extent.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The parent repaints where a longer old text stood.
    HWND parent = GetParent(label);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&old), 2);
    InvalidateRect(parent, &old, TRUE);
}

void ControlWindows::focusChanged()
{
    HWND focus = GetFocus();
    int wanted = designedDefault_;
    if (focus && IsChild(form_, focus) && isPushButton(focus))
        wanted = GetDlgCtrlID(focus);
    if (wanted == currentDefault_)
        return;
    showAsDefault(currentDefault_, false);
    currentDefault_ = wanted;
    showAsDefault(currentDefault_, true);
}

void ControlWindows::showAsDefault(int id, bool isDefault)
{
    const ControlDesign* control = design(id);
    HWND button = window(id);
    if (!control || !button)
        return;
    if (control->kind == ControlKind::PushButton)
        SendMessageA(button, BM_SETSTYLE, (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY, TRUE);
    else
        InvalidateRect(button, nullptr, FALSE);   // drawButton draws the frame
}

void ControlWindows::drawButton(const DRAWITEMSTRUCT& item) const
{
    const bool isDefault = static_cast<int>(item.CtlID) == currentDefault_;
    HDC dc = item.hDC;
    RECT face = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    if (isDefault) {
        FrameRect(dc, &face, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&face, -1, -1);
    }
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const ControlDesign* control = design(static_cast<int>(item.CtlID));
    std::string caption = text(static_cast<int>(item.CtlID));
    const Glyph* glyph = control ? glyphFor(control->glyph) : nullptr;
    std::array<std::array<char, glyphSize + 1>, glyphSize> greyed{};
    Glyph disabledLook{};
    if (glyph && disabled) {
        disabledLook = disabledGlyph(*glyph, greyed);
        glyph = &disabledLook;
    }

    ScopedSelectObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
    SIZE textSize{0, 0};
    GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &textSize);
    const int drawnGlyphSize = scaledLength(glyphSize, dpi_);
    const int spacing = scaledLength(4, dpi_);
    const int contentWidth = (glyph ? drawnGlyphSize + spacing : 0) + textSize.cx;
    const int shift = pushed ? 1 : 0;
    int left = (item.rcItem.left + item.rcItem.right - contentWidth) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;
    if (glyph) {
        drawGlyph(dc, left, middle - drawnGlyphSize / 2, *glyph, drawnGlyphSize);
        left += drawnGlyphSize + spacing;
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    TextOutA(dc, left, middle - textSize.cy / 2, caption.c_str(), static_cast<int>(caption.size()));

    if (item.itemState & ODS_FOCUS) {
        RECT focus = face;
        const int inset = scaledLength(3, dpi_);
        InflateRect(&focus, -inset, -inset);
        DrawFocusRect(dc, &focus);
    }
}

bool handleDialogKeyboard(HWND form, HWND& lastFocus, const ControlWindows& controls, UINT message,
                          WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_NEXTDLGCTL: {
        // Sent by IsDialogMessage for Tab and for arrows outside radio groups.
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                     : GetNextDlgTabItem(form, GetFocus(), wParam != 0);
        if (target)
            SetFocus(target);
        result = 0;
        return true;
    }
    case DM_GETDEFID:
        result = MAKELRESULT(controls.currentDefaultButton(), DC_HASDEFID);
        return true;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(form, focus))
                lastFocus = focus;
            return false;
        }
        if (HIWORD(wParam))   // minimised
            return false;
        if (!lastFocus || !IsWindow(lastFocus) || !IsChild(form, lastFocus))
            lastFocus = GetNextDlgTabItem(form, nullptr, FALSE);
        if (lastFocus)
            SetFocus(lastFocus);
        result = 0;
        return true;
    }
    return false;
}
