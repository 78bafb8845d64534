// JPEG pictures through libjpeg's 6b API (libjpeg-turbo).
//
// libjpeg reports a fatal error by calling error_exit, which must not return.
// C++ exceptions cannot be thrown through libjpeg's C frames, so error_exit
// longjmps back to runGuarded (below), which turns the message code into
// EJpegError once libjpeg's frames are gone. The steps that run under
// runGuarded hold only trivially destructible locals, so the jump skips no
// destructor; everything that owns memory lives outside them.
#include "imaging/jpeg_image.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h uses FILE and size_t without including them
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/image_errors.h"

namespace {

// A file may carry any number of scans (progressive refinements, or repeated
// sequential scans), each of which walks the whole image: a few kilobytes
// could keep the decoder busy for hours. Ordinary encoders write at most
// about ten.
constexpr int maxScans = 500;

// Memory for libjpeg's whole-image buffers (progressive coefficients); more
// needs a backing store, which is not built in, so libjpeg refuses the file.
constexpr long maxDecoderMemory = 256L << 20;

constexpr int greyLevels = 236;

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer to it is a pointer to this
    std::jmp_buf jump;
};

void leaveOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings and trace messages are ignored; nothing is printed.
void ignoreMessage(j_common_ptr, int) {}
void printNothing(j_common_ptr) {}

void stopEndlessScans(j_common_ptr common)
{
    const auto info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > maxScans)
        ERREXIT(info, JERR_IMAGE_TOO_BIG);
}

// The data source: the whole file is in memory from the start, so a request
// for more means the data ended early. Like libjpeg's own sources, supply an
// end-of-image marker so that what was read is decoded (libjpeg warns, which
// is ignored).
const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr info)
{
    info->src->next_input_byte = endOfImage;
    info->src->bytes_in_buffer = sizeof endOfImage;
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr& source = *info->src;
    if (static_cast<unsigned long>(count) < source.bytes_in_buffer) {
        source.next_input_byte += count;
        source.bytes_in_buffer -= static_cast<std::size_t>(count);
    } else {
        // Skipping past the end: jump straight to the end marker rather than
        // refilling once per missing byte.
        fillInputBuffer(info);
    }
}

// One libjpeg decompressor over a byte buffer; destroyed on every path.
struct Decoder {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    jpeg_source_mgr source{};
    jpeg_progress_mgr progress{};

    Decoder()
    {
        info.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = leaveOnError;
        errors.pub.emit_message = ignoreMessage;
        errors.pub.output_message = printNothing;
        progress.progress_monitor = stopEndlessScans;
    }
    ~Decoder() { jpeg_destroy_decompress(&info); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

// Runs step, which calls libjpeg; a libjpeg error comes back here by
// longjmp and is thrown as EJpegError with its message code.
template <class Step>
void runGuarded(Decoder& decoder, Step&& step)
{
    if (setjmp(decoder.errors.jump) != 0)
        throw EJpegError(decoder.errors.pub.msg_code);
    step();
}

// Guarded step: creates the decompressor over data and reads the header.
void openAndReadHeader(Decoder& decoder, const std::vector<uint8_t>& data)
{
    jpeg_decompress_struct& info = decoder.info;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = maxDecoderMemory;
    info.progress = &decoder.progress;
    decoder.source.init_source = initSource;
    decoder.source.fill_input_buffer = fillInputBuffer;
    decoder.source.skip_input_data = skipInputData;
    decoder.source.resync_to_restart = jpeg_resync_to_restart;
    decoder.source.term_source = termSource;
    decoder.source.next_input_byte = data.data();
    decoder.source.bytes_in_buffer = data.size();
    info.src = &decoder.source;
    jpeg_read_header(&info, TRUE);
    if (static_cast<uint64_t>(info.image_width) * info.image_height > maxPicturePixels)
        ERREXIT(&info, JERR_IMAGE_TOO_BIG);
}

bool isCmyk(const jpeg_decompress_struct& info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// Guarded step: the decoding parameters, then the start of the decode.
void startDecode(jpeg_decompress_struct& info)
{
    info.scale_num = 1;
    info.scale_denom = 1;
    info.dct_method = JDCT_ISLOW;
    info.do_block_smoothing = TRUE;
    info.buffered_image = FALSE;
    if (info.jpeg_color_space == JCS_GRAYSCALE) {
        info.out_color_space = JCS_GRAYSCALE;
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = greyLevels;
    } else if (isCmyk(info)) {
        info.out_color_space = JCS_CMYK;  // libjpeg has no CMYK to RGB conversion
    } else {
        // libjpeg refuses what it cannot convert. Its colour conversion gives
        // the rows in the bitmap's own order, blue first.
        info.out_color_space = JCS_EXT_BGR;
    }
    jpeg_start_decompress(&info);
}

// Adobe's encoders store CMYK inverted (0 = full ink); others store it plain.
void cmykToBgr(const uint8_t* cmyk, uint8_t* row, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x) {
        const uint8_t* ink = cmyk + 4 * x;
        unsigned c = ink[0], m = ink[1], y = ink[2], k = ink[3];
        if (!inverted) {
            c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
        }
        row[3 * x] = static_cast<uint8_t>((y * k + 127) / 255);
        row[3 * x + 1] = static_cast<uint8_t>((m * k + 127) / 255);
        row[3 * x + 2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

// Guarded step: reads every scanline into the picture's rows.
void readRows(jpeg_decompress_struct& info, Picture& picture, uint8_t* cmykRow)
{
    const bool cmyk = info.out_color_space == JCS_CMYK;
    const bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        uint8_t* row = picture.row(static_cast<int>(info.output_scanline));
        JSAMPROW target = cmyk ? cmykRow : row;
        if (jpeg_read_scanlines(&info, &target, 1) != 1)
            ERREXIT(&info, JERR_INPUT_EMPTY);  // cannot happen with a memory source
        if (cmyk)
            cmykToBgr(cmykRow, row, info.output_width, inverted);
    }
    jpeg_finish_decompress(&info);
}

Picture emptyPictureFor(const jpeg_decompress_struct& info)
{
    Picture picture;
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    if (info.quantize_colors) {
        picture.bitsPerPixel = 8;
        const int colors = info.actual_number_of_colors < greyLevels ? info.actual_number_of_colors : greyLevels;
        for (int i = 0; i < colors; ++i) {
            const uint32_t grey = info.colormap[0][i];
            picture.palette.push_back(grey << 16 | grey << 8 | grey);
        }
    } else {
        picture.bitsPerPixel = 24;
    }
    picture.bits.resize(picture.stride() * picture.height);
    return picture;
}

}  // namespace

JpegImage::JpegImage(std::vector<uint8_t> data) : data_(std::move(data))
{
    Decoder decoder;
    runGuarded(decoder, [&] { openAndReadHeader(decoder, data_); });
    width_ = static_cast<int>(decoder.info.image_width);
    height_ = static_cast<int>(decoder.info.image_height);
    greyscale_ = decoder.info.jpeg_color_space == JCS_GRAYSCALE;
}

const Picture& JpegImage::bitmap()
{
    if (decoded_)
        return *decoded_;
    Decoder decoder;
    runGuarded(decoder, [&] {
        openAndReadHeader(decoder, data_);
        startDecode(decoder.info);
    });
    Picture picture;
    std::vector<uint8_t> cmykRow;
    try {
        picture = emptyPictureFor(decoder.info);
        if (decoder.info.out_color_space == JCS_CMYK)
            cmykRow.resize(static_cast<std::size_t>(decoder.info.output_width) * 4);
    } catch (const std::bad_alloc&) {
        throw EJpegError(JERR_OUT_OF_MEMORY);
    }
    runGuarded(decoder, [&] { readRows(decoder.info, picture, cmykRow.data()); });
    decoded_ = std::move(picture);
    return *decoded_;
}
