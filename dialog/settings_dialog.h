// TForm2 (unit Unit2), the settings dialog: the main window of configuration
// mode. It shows the settings in its controls, saves them on every close, and
// hosts the fake desktop capture and the about box. Its member functions are
// defined by role:
//   settings_dialog.cpp       creation, FormCreate, the delay display, closing,
//                             More Software and About
//   fake_desktop_capture.cpp  RadfakeClick, Button1Click, the capture flow
#pragma once
#include <windows.h>
#include <string>

#include "dialog/capture_run.h"
#include "dialog/capture_surface.h"
#include "dialog/control_windows.h"
#include "framework/surface.h"
#include "framework/timer.h"
#include "settings/settings.h"

// The backdrop drawn at twice its size (beside background.jpg in the Windows
// directory), which the dialog shows where it is scaled.
inline constexpr const char* denseBackdropName = "background2x.jpg";

class TForm2 : public DialogForm, private DelayDisplay {
public:
    TForm2();
    ~TForm2() override;

    // Creates the dialog as the application's main window and shows it once
    // FormCreate has returned, whatever happened in it.
    void createAndShow();

protected:
    void createControls() override;
    void FormCreate() override;
    bool FormCloseQuery() override;
    LRESULT dialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Creation.
    void loadDialogBackdrop();
    int loadBackdropPicture();
    void paintBackdrop(HDC dc);
    void showSettingsInControls();

    // The delay: ScrollBar1's position and Label1's text.
    void setScrollPosition(int position) override;
    void setLabelText(const std::string& text) override;
    void onScroll(WPARAM request);
    void ScrollBar1Change();

    // Buttons and radio buttons.
    void onCommand(int id, int notification);
    void onRadioClicked();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

    // Closing.
    DialogChoices choicesFromControls() const;

    // The fake desktop capture.
    void RadfakeClick();
    void Button1Click();
    void promptFakeDesktopCapture();
    void Timer1Timer();
    void captureFakeDesktop();

    int dpi_ = 96;   // the system's, by which the design is scaled
    bool radfakeChecked_ = false;   // runs RadfakeClick only when it becomes checked

    // Image1: the backdrop picture, drawn at its own size at the top-left
    // (design bounds 106 x 105 until FormCreate sizes it to the form); above
    // 96 DPI the picture is smoothly enlarged with the form.
    SceneSurface Image1{106, 105};
    // ImFake: the capture surface.
    CaptureSurface ImFake;

    Timer Timer1;
    std::string fakeDesktopPath;
    bool hideOnNextTick = false;
    // From the explanation to the confirmation: further triggers are ignored.
    CaptureRun captureRun_;
};
