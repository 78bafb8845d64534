// Windows bitmap files. Every field is read through bounds-checked little-endian
// readers and every size is computed in 64 bits and checked before use, so a
// damaged or hostile file ends in EInvalidGraphic, never in a stray read or an
// unbounded allocation.
#include "imaging/bitmap_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "imaging/image_errors.h"

namespace {

using Bytes = std::span<const uint8_t>;

constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t coreHeaderSize = 12;  // BITMAPCOREHEADER (OS/2 1.x)
constexpr std::size_t infoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr std::size_t maskBlockSize = 12;   // red, green, blue masks after an info header

// Field offsets from the start of the file.
constexpr std::size_t offPixelData = 10;
constexpr std::size_t offHeaderSize = 14;
constexpr std::size_t offMasks = 54;        // after a 40-byte header, or inside V2..V5

constexpr uint32_t compressionRgb = 0;
constexpr uint32_t compressionRle8 = 1;
constexpr uint32_t compressionRle4 = 2;
constexpr uint32_t compressionBitfields = 3;

[[noreturn]] void invalid() { throw EInvalidGraphic(); }

bool fits(Bytes bytes, uint64_t offset, uint64_t length)
{
    return offset <= bytes.size() && length <= bytes.size() - offset;
}

uint16_t readU16(Bytes bytes, uint64_t offset)
{
    if (!fits(bytes, offset, 2))
        invalid();
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t readU32(Bytes bytes, uint64_t offset)
{
    if (!fits(bytes, offset, 4))
        invalid();
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

int32_t readS32(Bytes bytes, uint64_t offset) { return static_cast<int32_t>(readU32(bytes, offset)); }

uint64_t strideFor(uint64_t width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

// What the headers say, before any pixel is read.
struct Layout {
    std::size_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;  // always positive; topDown tells the row order
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t compression = compressionRgb;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    uint64_t paletteOffset = 0;
    uint64_t paletteCount = 0;
    std::size_t paletteEntrySize = 4;
    uint64_t pixelOffset = 0;
};

bool isKnownHeaderSize(std::size_t size)
{
    // core, info, V2 (RGB masks), V3 (RGBA masks), V4, V5
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

void readCoreHeader(Bytes bytes, Layout& layout)
{
    layout.width = readU16(bytes, 18);
    layout.height = readU16(bytes, 20);
    if (readU16(bytes, 22) != 1)
        invalid();
    layout.bitsPerPixel = readU16(bytes, 24);
    if (layout.bitsPerPixel != 1 && layout.bitsPerPixel != 4 && layout.bitsPerPixel != 8 && layout.bitsPerPixel != 24)
        invalid();
    layout.paletteEntrySize = 3;
}

void readInfoHeader(Bytes bytes, Layout& layout)
{
    const int32_t width = readS32(bytes, 18);
    const int32_t height = readS32(bytes, 22);
    if (width < 0 || height == INT32_MIN)
        invalid();
    layout.width = width;
    layout.topDown = height < 0;
    layout.height = height < 0 ? -static_cast<int64_t>(height) : height;
    if (readU16(bytes, 26) != 1)
        invalid();
    layout.bitsPerPixel = readU16(bytes, 28);
    layout.compression = readU32(bytes, 30);
    layout.colorsUsed = readU32(bytes, 46);

    const int bpp = layout.bitsPerPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        invalid();
    switch (layout.compression) {
    case compressionRgb: break;
    case compressionRle8: if (bpp != 8 || layout.topDown) invalid(); break;
    case compressionRle4: if (bpp != 4 || layout.topDown) invalid(); break;
    case compressionBitfields: if (bpp != 16 && bpp != 32) invalid(); break;
    default: invalid();  // JPEG, PNG and other embedded formats are not bitmaps we draw
    }
}

// Masks must each be one run of set bits, inside the pixel, not overlapping.
void checkMasks(const uint32_t (&masks)[3], int bitsPerPixel)
{
    const uint64_t pixelBits = bitsPerPixel == 32 ? 0xFFFFFFFFull : (1ull << bitsPerPixel) - 1;
    uint32_t seen = 0;
    for (uint32_t mask : masks) {
        if (mask == 0 || mask > pixelBits || (mask & seen) != 0)
            invalid();
        const uint32_t shifted = mask >> std::countr_zero(mask);
        if ((shifted & (shifted + 1)) != 0)
            invalid();
        seen |= mask;
    }
}

Layout readLayout(Bytes bytes)
{
    Layout layout;
    if (bytes[0] != 'B' || bytes[1] != 'M')
        invalid();
    layout.headerSize = readU32(bytes, offHeaderSize);
    if (!isKnownHeaderSize(layout.headerSize) || !fits(bytes, fileHeaderSize, layout.headerSize))
        invalid();
    if (layout.headerSize == coreHeaderSize)
        readCoreHeader(bytes, layout);
    else
        readInfoHeader(bytes, layout);

    uint64_t afterHeaders = fileHeaderSize + layout.headerSize;
    if (layout.compression == compressionBitfields) {
        for (int i = 0; i < 3; ++i)
            layout.masks[i] = readU32(bytes, offMasks + 4 * i);
        checkMasks(layout.masks, layout.bitsPerPixel);
        if (layout.headerSize == infoHeaderSize)
            afterHeaders += maskBlockSize;
    }

    layout.paletteOffset = afterHeaders;
    layout.pixelOffset = readU32(bytes, offPixelData);
    if (layout.pixelOffset < layout.paletteOffset || layout.pixelOffset > bytes.size())
        invalid();
    if (layout.bitsPerPixel <= 8) {
        // Some writers leave "colours used" at 0 (all) but store only the
        // colours they use: the pixel offset then ends the table early.
        const uint64_t fullPalette = uint64_t{1} << layout.bitsPerPixel;
        const uint64_t declared = layout.colorsUsed == 0 ? fullPalette : layout.colorsUsed;
        const uint64_t stored = (layout.pixelOffset - layout.paletteOffset) / layout.paletteEntrySize;
        layout.paletteCount = std::min({declared, fullPalette, stored});
        if (layout.paletteCount == 0)
            invalid();
    }
    if (static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(layout.height) > maxPicturePixels)
        invalid();
    return layout;
}

std::vector<uint32_t> readPalette(Bytes bytes, const Layout& layout)
{
    std::vector<uint32_t> palette;
    palette.reserve(layout.paletteCount);
    for (uint64_t i = 0; i < layout.paletteCount; ++i) {
        const uint64_t at = layout.paletteOffset + i * layout.paletteEntrySize;
        const uint32_t blue = bytes[at], green = bytes[at + 1], red = bytes[at + 2];
        palette.push_back(red << 16 | green << 8 | blue);
    }
    return palette;
}

void readUncompressedRows(Bytes bytes, const Layout& layout, Picture& picture)
{
    // Sized only after the rows are known to be in the file, so the
    // allocation never exceeds what the file itself holds.
    const uint64_t stride = picture.stride();
    if (!fits(bytes, layout.pixelOffset, stride * layout.height))
        invalid();
    picture.bits.resize(stride * layout.height);
    const uint8_t* source = bytes.data() + layout.pixelOffset;
    for (int64_t fileRow = 0; fileRow < layout.height; ++fileRow) {
        // Rows are kept bottom-up; a top-down file's first row is the top row.
        const int64_t row = layout.topDown ? layout.height - 1 - fileRow : fileRow;
        std::memcpy(picture.bits.data() + row * stride, source + fileRow * stride, stride);
    }
}

// Writes one palette index of an RLE picture; pixels outside the picture
// (runs past the right edge, deltas past the top) are dropped, as Windows does.
class RlePixelSink {
public:
    explicit RlePixelSink(Picture& picture) : picture_(picture) {}

    void put(uint8_t index)
    {
        if (x_ < picture_.width && y_ < picture_.height) {
            uint8_t* row = picture_.bits.data() + static_cast<std::size_t>(y_) * picture_.stride();
            if (picture_.bitsPerPixel == 8) {
                row[x_] = index;
            } else {
                uint8_t& pair = row[x_ / 2];
                pair = (x_ % 2 == 0) ? static_cast<uint8_t>((pair & 0x0F) | index << 4)
                                     : static_cast<uint8_t>((pair & 0xF0) | (index & 0x0F));
            }
        }
        if (x_ < picture_.width)
            ++x_;
    }
    void endOfLine() { x_ = 0; ++y_; }
    void delta(int dx, int dy)
    {
        x_ = std::min<int64_t>(x_ + dx, picture_.width);
        y_ += dy;
    }
    bool full() const { return y_ >= picture_.height; }

private:
    Picture& picture_;
    int64_t x_ = 0;  // counted from the left
    int64_t y_ = 0;  // counted from the bottom, the order RLE rows are stored in
};

// Expands RLE8 or RLE4 data: pairs (count, value) are runs; (0, 0) ends a
// line, (0, 1) the bitmap, (0, 2, dx, dy) moves, (0, n >= 3) starts n literal
// pixels padded to a 16-bit boundary. Data that stops cleanly between
// commands without the end-of-bitmap mark leaves the rest at index 0; data
// cut inside a command is invalid.
void readRleRows(Bytes bytes, const Layout& layout, Picture& picture)
{
    const bool rle4 = layout.compression == compressionRle4;
    RlePixelSink sink(picture);
    uint64_t at = layout.pixelOffset;
    while (at + 2 <= bytes.size() && !sink.full()) {
        const uint8_t count = bytes[at], value = bytes[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                sink.put(rle4 ? static_cast<uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        if (value == 0) {
            sink.endOfLine();
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (!fits(bytes, at, 2))
                invalid();
            sink.delta(bytes[at], bytes[at + 1]);
            at += 2;
        } else {
            const uint64_t dataBytes = rle4 ? (value + 1) / 2 : value;
            const uint64_t paddedBytes = (dataBytes + 1) & ~uint64_t{1};
            if (!fits(bytes, at, paddedBytes))
                invalid();
            for (int i = 0; i < value; ++i) {
                const uint8_t byte = bytes[at + (rle4 ? i / 2 : i)];
                sink.put(rle4 ? static_cast<uint8_t>(i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            at += paddedBytes;
        }
    }
}

// Checks that a picture handed to the writer is self-consistent.
void checkWritable(const Picture& picture)
{
    const int bpp = picture.bitsPerPixel;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        invalid();
    if (bpp <= 8 && picture.palette.size() > (std::size_t{1} << bpp))
        invalid();
    const bool anyMask = picture.redMask || picture.greenMask || picture.blueMask;
    if (anyMask) {
        if (bpp != 16 && bpp != 32)
            invalid();
        checkMasks({picture.redMask, picture.greenMask, picture.blueMask}, bpp);
    }
    const uint64_t imageSize = strideFor(picture.width, bpp) * static_cast<uint64_t>(picture.height);
    if (picture.bits.size() < imageSize || imageSize > 0xFFFFFFFFull - 0x10000)
        invalid();
}

class ByteWriter {
public:
    void u16(uint32_t value) { bytes_.push_back(value & 0xFF); bytes_.push_back(value >> 8 & 0xFF); }
    void u32(uint32_t value) { u16(value & 0xFFFF); u16(value >> 16); }
    void raw(const uint8_t* data, std::size_t length) { bytes_.insert(bytes_.end(), data, data + length); }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace

Picture readBitmapFile(std::span<const uint8_t> bytes)
{
    if (bytes.empty())
        return Picture{};
    if (bytes.size() < fileHeaderSize)
        throw EBitmapReadError();

    const Layout layout = readLayout(bytes);
    if (layout.width == 0 || layout.height == 0)
        return Picture{};

    Picture picture;
    picture.width = static_cast<int>(layout.width);
    picture.height = static_cast<int>(layout.height);
    picture.bitsPerPixel = layout.bitsPerPixel;
    picture.palette = readPalette(bytes, layout);
    if (layout.compression == compressionBitfields) {
        picture.redMask = layout.masks[0];
        picture.greenMask = layout.masks[1];
        picture.blueMask = layout.masks[2];
    }
    if (layout.compression == compressionRle8 || layout.compression == compressionRle4) {
        picture.bits.assign(picture.stride() * picture.height, 0);
        readRleRows(bytes, layout, picture);
    } else {
        readUncompressedRows(bytes, layout, picture);
    }
    return picture;
}

std::vector<uint8_t> writeBitmapFile(const Picture& picture)
{
    // An empty picture is saved as an empty file, which reads back as empty.
    if (picture.empty())
        return {};
    checkWritable(picture);

    const bool bitfields = picture.redMask || picture.greenMask || picture.blueMask;
    const std::vector<uint32_t> colourTable = colourTableOf(picture);
    const uint32_t paletteCount = static_cast<uint32_t>(colourTable.size());
    const uint32_t fullPalette = picture.bitsPerPixel <= 8 ? 1u << picture.bitsPerPixel : 0;
    const uint32_t pixelOffset = static_cast<uint32_t>(fileHeaderSize + infoHeaderSize +
                                                       (bitfields ? maskBlockSize : 0) + 4 * paletteCount);
    const uint32_t imageSize = static_cast<uint32_t>(picture.stride() * picture.height);

    ByteWriter out;
    out.bytes().reserve(pixelOffset + imageSize);
    out.u16('B' | 'M' << 8);
    out.u32(pixelOffset + imageSize);
    out.u16(0);
    out.u16(0);
    out.u32(pixelOffset);

    out.u32(infoHeaderSize);
    out.u32(static_cast<uint32_t>(picture.width));
    out.u32(static_cast<uint32_t>(picture.height));  // positive: rows bottom-up
    out.u16(1);
    out.u16(static_cast<uint32_t>(picture.bitsPerPixel));
    out.u32(bitfields ? compressionBitfields : compressionRgb);
    out.u32(imageSize);
    out.u32(0);  // horizontal resolution: unknown
    out.u32(0);  // vertical resolution: unknown
    out.u32(paletteCount == fullPalette ? 0 : paletteCount);  // 0: the full table
    out.u32(0);  // all colours important

    if (bitfields) {
        out.u32(picture.redMask);
        out.u32(picture.greenMask);
        out.u32(picture.blueMask);
    }
    for (uint32_t i = 0; i < paletteCount; ++i) {
        const uint32_t color = colourTable[i];
        const std::array<uint8_t, 4> entry{static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                                           static_cast<uint8_t>(color >> 16), 0};
        out.raw(entry.data(), entry.size());
    }
    out.raw(picture.bits.data(), imageSize);
    return std::move(out.bytes());
}
