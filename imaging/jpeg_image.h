// A JPEG picture: the whole file in memory, its header read at load, its
// pixels decoded on demand and kept. Pure (libjpeg, no <windows.h>).
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/picture.h"

class JpegImage {
public:
    // Reads the header; a damaged header throws EJpegError.
    explicit JpegImage(std::vector<uint8_t> data);

    int width() const { return width_; }
    int height() const { return height_; }
    bool greyscale() const { return greyscale_; }

    // Full-size decode with the accurate integer DCT and block smoothing:
    // 24 bits per pixel for colour, 8 bits with at most 236 grey levels from
    // libjpeg's quantiser for greyscale. Errors throw EJpegError with libjpeg's
    // message code; warnings are ignored. Decodes once and keeps the result.
    const Picture& bitmap();

private:
    std::vector<uint8_t> data_;
    int width_ = 0, height_ = 0;
    bool greyscale_ = false;
    std::optional<Picture> decoded_;
};
