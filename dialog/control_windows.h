// The Win32 side of the control tables: creates the child windows of a form
// from its ControlDesign table, with group boxes as real parents, and gives
// the form dialog-box keyboard handling (Tab, arrows, Enter on the default
// button). Shared by the settings dialog and the about box.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <span>
#include <vector>

#include "dialog/dialog_layout.h"
#include "framework/form.h"
#include "framework/scoped.h"

// A font of the given face and character height (ANSI character set).
HFONT createDesignFont(const FontDesign& font);

class ControlWindows {
public:
    ControlWindows() = default;
    ControlWindows(const ControlWindows&) = delete;
    ControlWindows& operator=(const ControlWindows&) = delete;

    // Creates every window of the table below form, in keyboard order, with
    // defaultButton as the button Enter presses; bounds, fonts and glyphs
    // scaled from 96 pixels per inch to dpi.
    void create(HWND form, std::span<const ControlDesign> table, const FontDesign& formFont, int defaultButton,
                int dpi);

    HWND window(int id) const;
    const ControlDesign* design(int id) const;

    bool isChecked(int id) const;
    void setChecked(int id, bool checked);
    std::string text(int id) const;
    // Sets a label's text; a label sized to its text takes the new size.
    void setText(int id, const std::string& text);

    // Draws a GlyphButton from its WM_DRAWITEM (owner-drawn so glyph and
    // caption sit side by side), with the default frame when Enter presses it.
    void drawButton(const DRAWITEMSTRUCT& item) const;

    // The button Enter presses: the button that has the focus, else the
    // designed default. Call on every BN_SETFOCUS and BN_KILLFOCUS so the
    // default frame moves with it, as in a dialog box.
    void focusChanged();
    int currentDefaultButton() const { return currentDefault_; }

private:
    HWND createWindow(HWND parent, const ControlDesign& control);
    void createChildren(HWND parentWindow, int parentId);
    void sizeToText(HWND label);
    // Widens a check box or radio button whose caption is wider than its
    // scaled design leaves room for.
    void widenForCaption(HWND button, const std::string& caption, const Bounds& scaled);

    void showAsDefault(int id, bool isDefault);

    std::span<const ControlDesign> table_;
    HWND form_ = nullptr;
    int dpi_ = 96;
    int designedDefault_ = 0;
    int currentDefault_ = 0;
    std::map<int, HWND> windows_;
    std::vector<GdiObject<HFONT>> fonts_;
    std::map<const FontDesign*, HFONT> fontFor_;
};

// Dialog-box keyboard handling for a form whose window carries the
// framework's dialog-navigation mark. Handles WM_NEXTDLGCTL (Tab and arrows
// move the focus), DM_GETDEFID (Enter presses the controls' current default
// button) and WM_ACTIVATE (the focus returns to the control that had it,
// or goes to the first control in keyboard order). Returns true when it
// handled the message, with its result in result.
bool handleDialogKeyboard(HWND form, HWND& lastFocus, const ControlWindows& controls, UINT message,
                          WPARAM wParam, LPARAM lParam, LRESULT& result);

// A form whose controls work like a dialog box's: it owns its control
// windows, and handleDialogKeyboard sees every message before dialogMessage.
class DialogForm : public Form {
protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) final
    {
        LRESULT result = 0;
        if (handleDialogKeyboard(handle(), lastFocus_, controls_, message, wParam, lParam, result))
            return result;
        return dialogMessage(message, wParam, lParam);
    }
    // The form's own messages; defaultHandling for the rest.
    virtual LRESULT dialogMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    ControlWindows controls_;

private:
    HWND lastFocus_ = nullptr;   // the control that had the focus when the form was left
};
