// The texts the settings dialog, the capture and the about box show, and the
// vendor's web address. Pure.
#pragma once

#include "resources/resource.h"

namespace dialog_text {

inline constexpr const char* vendorWebAddress = VENDOR_WEB_ADDRESS;

// Settings dialog.
inline constexpr const char* noBrowserMessage =
    "The page cannot be shown because no default web browser is set up on this computer.\r\n\r\n"
    "You can still view and download all Brelmor software online at " VENDOR_WEB_ADDRESS;

// Fake desktop capture.
inline constexpr const char* informationCaption = "Information";
inline constexpr const char* capturePrompt =
    "You can select any \"screen picture\" as your fake background. This window will disappear "
    "and give you 7 seconds to show anything on your screen, and this will capture that screen "
    "and reappear. This capture will become your background when your screensaver starts, and "
    "the planes will cruise across. You may want to pre-open any windows, then click \"ok\" to "
    "start (in 7 seconds this screen will reappear).";
inline constexpr const char* captureDone =
    "Done. Your screen was captured and will become your new \"fake desktop\". Click ok, then "
    "click preview to see your new \"fake background\". Make sure the fake background option is "
    "selected.  More information is also available on your start-programs menu under "
    "Skyvane - help.";

// About box.
inline constexpr const char* aboutVendorLine =
    "Skyvane by Brelmor - Version 2.3 (picture credits are listed on your programs menu under "
    "Skyvane)";
inline constexpr const char* aboutDisclaimerCaption = "Disclaimer";
inline constexpr const char* aboutNoWarranty =
    "This software is provided \"as is\", without warranties of any kind, express or implied, "
    "including fitness for a particular purpose and merchantability.";
inline constexpr const char* aboutLiability =
    "In no event shall Brelmor be liable for any damages arising from the use of, or the "
    "inability to use, this software.";
inline constexpr const char* aboutAcceptance =
    "By installing or using this software you accept these terms. If you do not accept them, "
    "do not use the software.";
inline constexpr const char* aboutLinkLine =
    VENDOR_WEB_ADDRESS "  <---  Click here for more software downloads!";
inline constexpr const char* aboutReturn = "Return";

}
