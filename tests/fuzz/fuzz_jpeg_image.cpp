// Any byte string given to the JPEG decoder either fails with EJpegError or
// gives a picture of the header's size and the promised format, decoded once.
#include <cstdint>
#include <cstdlib>

#include "imaging/image_errors.h"
#include "imaging/jpeg_image.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Larger pictures decode correctly but slowly; the size cap itself has its
// own unit test.
constexpr uint64_t maxFuzzedPixels = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    try {
        JpegImage jpeg(std::vector<uint8_t>(data, data + size));
        require(jpeg.width() > 0 && jpeg.height() > 0);
        require(static_cast<uint64_t>(jpeg.width()) * jpeg.height() <= maxPicturePixels);
        if (static_cast<uint64_t>(jpeg.width()) * jpeg.height() > maxFuzzedPixels)
            return 0;
        const Picture& picture = jpeg.bitmap();
        require(picture.width == jpeg.width() && picture.height == jpeg.height());
        require(picture.bits.size() == picture.stride() * picture.height);
        if (jpeg.greyscale())
            require(picture.bitsPerPixel == 8 && !picture.palette.empty() && picture.palette.size() <= 236);
        else
            require(picture.bitsPerPixel == 24 && picture.palette.empty());
        require(&jpeg.bitmap() == &picture);
    } catch (const EJpegError&) {
    }
    return 0;
}
