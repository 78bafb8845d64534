#include "framework/raster_clip.h"

#include <algorithm>

namespace {

std::optional<ClippedCopy> clipSameSize(const ClipRect& dst, const ClipRect& src, int64_t targetWidth,
                                        int64_t targetHeight, int64_t originWidth, int64_t originHeight)
{
    const int64_t offsetX = int64_t(src.left) - dst.left;
    const int64_t offsetY = int64_t(src.top) - dst.top;
    const int64_t left = std::max({int64_t(dst.left), int64_t(0), -offsetX});
    const int64_t top = std::max({int64_t(dst.top), int64_t(0), -offsetY});
    const int64_t right = std::min({int64_t(dst.right), targetWidth, originWidth - offsetX});
    const int64_t bottom = std::min({int64_t(dst.bottom), targetHeight, originHeight - offsetY});
    if (right <= left || bottom <= top)
        return std::nullopt;
    const auto width = int32_t(right - left), height = int32_t(bottom - top);
    return ClippedCopy{int32_t(left), int32_t(top), width, height,
                       int32_t(left + offsetX), int32_t(top + offsetY), width, height, false};
}

std::optional<ClippedCopy> clipScaled(const ClipRect& dst, const ClipRect& src, int64_t targetWidth,
                                      int64_t targetHeight, int64_t originWidth, int64_t originHeight)
{
    const int64_t dstWidth = int64_t(dst.right) - dst.left, dstHeight = int64_t(dst.bottom) - dst.top;
    const int64_t srcWidth = int64_t(src.right) - src.left, srcHeight = int64_t(src.bottom) - src.top;
    const int64_t clipLeft = std::max<int64_t>(src.left, 0);
    const int64_t clipTop = std::max<int64_t>(src.top, 0);
    const int64_t clipRight = std::min<int64_t>(src.right, originWidth);
    const int64_t clipBottom = std::min<int64_t>(src.bottom, originHeight);
    if (clipRight <= clipLeft || clipBottom <= clipTop)
        return std::nullopt;
    const auto mapX = [&](int64_t x) { return dst.left + (x - src.left) * dstWidth / srcWidth; };
    const auto mapY = [&](int64_t y) { return dst.top + (y - src.top) * dstHeight / srcHeight; };
    const int64_t left = mapX(clipLeft), right = mapX(clipRight);
    const int64_t top = mapY(clipTop), bottom = mapY(clipBottom);
    if (right <= left || bottom <= top || right <= 0 || bottom <= 0 || left >= targetWidth || top >= targetHeight)
        return std::nullopt;
    return ClippedCopy{int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top),
                       int32_t(clipLeft), int32_t(clipTop), int32_t(clipRight - clipLeft),
                       int32_t(clipBottom - clipTop), true};
}

}

std::optional<ClippedCopy> clipRasterCopy(const ClipRect& dst, const ClipRect& src, int32_t targetWidth,
                                          int32_t targetHeight, int32_t originWidth, int32_t originHeight)
{
    const int64_t dstWidth = int64_t(dst.right) - dst.left, dstHeight = int64_t(dst.bottom) - dst.top;
    const int64_t srcWidth = int64_t(src.right) - src.left, srcHeight = int64_t(src.bottom) - src.top;
    if (dstWidth <= 0 || dstHeight <= 0 || srcWidth <= 0 || srcHeight <= 0)
        return std::nullopt;
    if (dstWidth == srcWidth && dstHeight == srcHeight)
        return clipSameSize(dst, src, targetWidth, targetHeight, originWidth, originHeight);
    return clipScaled(dst, src, targetWidth, targetHeight, originWidth, originHeight);
}
