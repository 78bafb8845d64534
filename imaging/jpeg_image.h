// A JPEG picture: the whole file in memory, its header read at load, its
// pixels decoded on demand and kept. Pure (libjpeg, no <windows.h>).
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/picture.h"

class JpegImage {
public:
    // Reads the header; a damaged header throws EJpegError. So does a picture
    // of more than maxPicturePixels (JERR_IMAGE_TOO_BIG).
    explicit JpegImage(std::vector<uint8_t> data);

    int width() const { return width_; }
    int height() const { return height_; }
    bool greyscale() const { return greyscale_; }

    // Full-size decode with the accurate integer DCT and block smoothing:
    // 24 bits per pixel for colour, 8 bits with at most 236 grey levels from
    // libjpeg's quantiser for greyscale. Errors throw EJpegError with libjpeg's
    // message code; warnings are ignored. Decodes once and keeps the result.
    // Adobe CMYK files are converted to 24-bit colour. Hostile files are
    // bounded: more than 500 scans fail with JERR_IMAGE_TOO_BIG, whole-image
    // buffers over 256 MB (large progressive files) with JERR_NO_BACKING_STORE.
    const Picture& bitmap();

private:
    std::vector<uint8_t> data_;
    int width_ = 0, height_ = 0;
    bool greyscale_ = false;
    std::optional<Picture> decoded_;
};
