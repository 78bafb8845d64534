// Resource identifiers of skyvane.scr.
#pragma once

// The program's icon (the lowest icon id, so the shell shows it for the file).
#define IDI_SKYVANE 1

// String 1 is the name the Display Properties list shows for a screen saver.
#define IDS_SAVER_NAME 1

// The vendor's web address, opened by the about box's link line. The text is
// shared with the dialog's own texts.
#define IDS_VENDOR_WEB_ADDRESS 2
#define VENDOR_WEB_ADDRESS "http://www.brelmor.example/"
