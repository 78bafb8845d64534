#include "dialog/delay_scroll.h"

#include <algorithm>
#include <cstdint>

int clampedPosition(int position, const Unit2::ScrollRange& range)
{
    return std::clamp(position, range.minimum, range.maximum);
}

int scrolledPosition(ScrollRequest request, int position, int trackPosition, const Unit2::ScrollRange& range)
{
    // 64-bit so a position near the int limits cannot overflow on a step.
    int64_t next = position;
    switch (request) {
    case ScrollRequest::LineLess: next -= range.arrowStep; break;
    case ScrollRequest::LineMore: next += range.arrowStep; break;
    case ScrollRequest::PageLess: next -= range.pageStep; break;
    case ScrollRequest::PageMore: next += range.pageStep; break;
    case ScrollRequest::ToMinimum: next = range.minimum; break;
    case ScrollRequest::ToMaximum: next = range.maximum; break;
    case ScrollRequest::ThumbTrack:
    case ScrollRequest::ThumbPosition: next = trackPosition; break;
    case ScrollRequest::EndScroll: break;
    }
    return static_cast<int>(std::clamp<int64_t>(next, range.minimum, range.maximum));
}
