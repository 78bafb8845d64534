// Any byte string given to the BMP reader either fails with the reader's own
// errors or gives a self-consistent picture that survives a write and a
// second read unchanged.
#include <cstdint>
#include <cstdlib>

#include "imaging/image_errors.h"
#include "imaging/bitmap_file.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool samePicture(const Picture& a, const Picture& b)
{
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           a.palette == b.palette && a.redMask == b.redMask && a.greenMask == b.greenMask &&
           a.blueMask == b.blueMask && a.bits == b.bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    Picture picture;
    try {
        picture = readBitmapFile({data, size});
    } catch (const EInvalidGraphic&) {
        return 0;
    } catch (const EBitmapReadError&) {
        require(size > 0 && size < 14);  // only a file shorter than its file header
        return 0;
    }
    if (picture.empty())
        return 0;

    require(static_cast<uint64_t>(picture.width) * picture.height <= maxPicturePixels);
    require(picture.bits.size() == picture.stride() * picture.height);
    if (picture.bitsPerPixel <= 8)
        require(!picture.palette.empty() && picture.palette.size() <= (std::size_t{1} << picture.bitsPerPixel));
    else
        require(picture.palette.empty());

    // Round trips of very large pictures only repeat the same code slowly.
    if (picture.bits.size() <= (4u << 20))
        require(samePicture(readBitmapFile(writeBitmapFile(picture)), picture));
    return 0;
}
