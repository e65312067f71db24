#include "graphics/JpegRowDecoder.h"

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFileError.h"
#include "graphics/JpegSupport.h"

namespace zel {

namespace {

// One frame; false with the message in the error manager. Holds no objects
// with destructors (see JpegSupport.h): the row buffer and the callbacks
// live in the loader.
bool RunFrame(TJpegDecompressor& j, std::vector<uint8_t>& rowBuf, const uint8_t* data, size_t size,
              TJpegLoader& owner) {
    jpeg_decompress_struct* c = &j.cinfo;
    if (setjmp(j.err.jump)) {
        jpeg_abort_decompress(c);
        return false;
    }
    jpeg_mem_src(c, data, static_cast<unsigned long>(size));
    jpeg_read_header(c, TRUE);
    c->scale_num = c->scale_denom = 1;
    c->do_block_smoothing = FALSE;
    const bool grey = c->jpeg_color_space == JCS_GRAYSCALE;
    if (grey) {
        c->out_color_space = JCS_GRAYSCALE;
        c->quantize_colors = TRUE;
        c->desired_number_of_colors = 236;
    } else {
        c->out_color_space = JCS_EXT_BGR;
        c->quantize_colors = FALSE;
    }
    jpeg_calc_output_dimensions(c);
    if (c->output_width > unsigned(TARGB8888::kMaxSide) || c->output_height > unsigned(TARGB8888::kMaxSide) ||
        int64_t{c->output_width} * c->output_height > kMaxImageFilePixels)
        JpegFail(reinterpret_cast<j_common_ptr>(c), "picture too large");
    RequireJpegData(c, size);
    const int32_t format = grey ? TJpegLoader::kFormatGrey8 : TJpegLoader::kFormatBgr24;
    rowBuf.resize(size_t{c->output_width} * (grey ? 1 : 3));
    if (owner.onHeader)
        owner.onHeader(static_cast<int32_t>(c->output_width), static_cast<int32_t>(c->output_height), format);
    c->dct_method = JDCT_IFAST;
    c->dither_mode = JDITHER_ORDERED;
    c->two_pass_quantize = FALSE;
    jpeg_start_decompress(c);
    const TJpegLoader::TRowCallback& onRow = grey ? owner.onRow8 : owner.onRow24;
    while (c->output_scanline < c->output_height) {
        const int32_t y = static_cast<int32_t>(c->output_scanline);
        JSAMPROW row = rowBuf.data();
        if (jpeg_read_scanlines(c, &row, 1) != 1) JpegFail(reinterpret_cast<j_common_ptr>(c), "no row decoded");
        if (onRow) onRow(rowBuf.data(), y);
    }
    jpeg_finish_decompress(c);
    return true;
}

}  // namespace

TJpegLoader::TJpegLoader() : jpeg_(std::make_unique<TJpegDecompressor>()) {}

TJpegLoader::~TJpegLoader() = default;

bool TJpegLoader::Decode(TMemoryStream* stream) {
    if (!stream) {
        lastError_ = "no stream";
        return false;
    }
    return Decode(stream->Data() + stream->Position(), stream->Remaining());
}

bool TJpegLoader::Decode(const uint8_t* data, size_t size) {
    lastError_.clear();
    if (!data || size == 0) {
        lastError_ = "empty stream";
        return false;
    }
    try {
        if (!RunFrame(*jpeg_, row_, data, size, *this)) {
            lastError_ = jpeg_->err.message;
            return false;
        }
    } catch (...) {
        // A callback (or the row buffer) failed mid-frame: reset the
        // decompressor for the next frame and let the owner see the error.
        jpeg_abort_decompress(&jpeg_->cinfo);
        throw;
    }
    return true;
}

}  // namespace zel
