// How the dialog's delay scroll bar moves. Pure.
#pragma once
#include "dialog/dialog_layout.h"

// What the user asked the scroll bar to do (the scroll bar's notification).
enum class ScrollRequest {
    LineLess, LineMore,     // arrow buttons, arrow keys
    PageLess, PageMore,     // clicks beside the thumb, Page Up/Down
    ToMinimum, ToMaximum,   // Home, End
    ThumbTrack,             // the thumb is being dragged
    ThumbPosition,          // the thumb was released
    EndScroll,              // the end of a series of requests
};

// The position after the request, within the range. trackPosition is the
// thumb's position for the two thumb requests and ignored otherwise.
int scrolledPosition(ScrollRequest request, int position, int trackPosition, const Unit2::ScrollRange& range);

// A position set from outside (the stored delay) as the scroll bar keeps it.
int clampedPosition(int position, const Unit2::ScrollRange& range);
