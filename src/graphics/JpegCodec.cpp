#include "graphics/JpegCodec.h"

#include <jerror.h>

#include <algorithm>
#include <cstring>

#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFileError.h"
#include "graphics/JpegSupport.h"

namespace zel {

namespace {

// A progressive file needs about ten scans; thousands only burn time.
constexpr int kMaxScans = 256;

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (corrupt data the library can step over) are not printed.
void OnOutputMessage(j_common_ptr) {}

void OnProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) JpegFail(cinfo, "too many scans in a progressive JPEG");
}

void InstallHandlers(j_common_ptr cinfo, TJpegErrorManager& err) {
    cinfo->err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.output_message = OnOutputMessage;
    err.message[0] = '\0';
}

}  // namespace

void RequireJpegData(jpeg_decompress_struct* c, size_t size) {
    // At one bit per 8 x 8 block a byte holds 512 pixels; eight times that is
    // surely a cut-off file.
    constexpr int64_t kMaxPixelsPerByte = 4096;
    if (!c->arith_code && int64_t{c->image_width} * c->image_height > kMaxPixelsPerByte * int64_t(size))
        JpegFail(reinterpret_cast<j_common_ptr>(c), "picture too large for its data");
}

void JpegFail(j_common_ptr cinfo, const char* text) {
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", text);
    std::longjmp(err->jump, 1);
}

bool CreateJpegDecompress(jpeg_decompress_struct& cinfo, TJpegErrorManager& err) {
    InstallHandlers(reinterpret_cast<j_common_ptr>(&cinfo), err);
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    err.progress.progress_monitor = OnProgress;
    cinfo.progress = &err.progress;
    return true;
}

bool CreateJpegCompress(jpeg_compress_struct& cinfo, TJpegErrorManager& err) {
    InstallHandlers(reinterpret_cast<j_common_ptr>(&cinfo), err);
    if (setjmp(err.jump)) return false;
    jpeg_create_compress(&cinfo);
    return true;
}

TJpegDecompressor::TJpegDecompressor() {
    if (!CreateJpegDecompress(cinfo, err)) throw EImageFileError("JPEG", err.message);
}

TJpegDecompressor::~TJpegDecompressor() { jpeg_destroy_decompress(&cinfo); }

namespace {

// Runs one decode; false with the message in the error manager. Holds no
// objects with destructors (see JpegSupport.h).
bool RunDecode(TJpegDecompressor& j, const uint8_t* data, size_t size, TJpegOutput output, TARGB8888& tmp) {
    jpeg_decompress_struct* c = &j.cinfo;
    if (setjmp(j.err.jump)) {
        jpeg_abort_decompress(c);
        return false;
    }
    jpeg_mem_src(c, data, static_cast<unsigned long>(size));
    jpeg_read_header(c, TRUE);
    const bool grey = output == TJpegOutput::GreyLevels ||
                      (output == TJpegOutput::Auto && c->jpeg_color_space == JCS_GRAYSCALE);
    c->scale_num = c->scale_denom = 1;
    c->do_block_smoothing = FALSE;
    c->dct_method = JDCT_ISLOW;
    if (grey) {
        c->out_color_space = JCS_GRAYSCALE;
        c->quantize_colors = TRUE;
        c->desired_number_of_colors = 236;
        c->two_pass_quantize = FALSE;
        c->dither_mode = JDITHER_FS;
    } else {
        c->out_color_space = JCS_EXT_BGRA;
    }
    jpeg_calc_output_dimensions(c);
    if (c->output_width > unsigned(TARGB8888::kMaxSide) || c->output_height > unsigned(TARGB8888::kMaxSide) ||
        int64_t{c->output_width} * c->output_height > kMaxImageFilePixels)
        JpegFail(reinterpret_cast<j_common_ptr>(c), "picture too large");
    RequireJpegData(c, size);
    tmp.NewImage(static_cast<int32_t>(c->output_width), static_cast<int32_t>(c->output_height));
    jpeg_start_decompress(c);
    if (grey && (c->actual_number_of_colors != 236 || c->colormap == nullptr))
        JpegFail(reinterpret_cast<j_common_ptr>(c), "grey quantiser unavailable");
    const int32_t w = static_cast<int32_t>(c->output_width);
    while (c->output_scanline < c->output_height) {
        JSAMPROW rows[16];
        const int32_t first = static_cast<int32_t>(c->output_scanline);
        const int32_t n = std::min<int32_t>(16, static_cast<int32_t>(c->output_height) - first);
        for (int32_t k = 0; k < n; ++k) rows[k] = reinterpret_cast<JSAMPROW>(tmp.Row(first + k));
        const int32_t got = static_cast<int32_t>(jpeg_read_scanlines(c, rows, static_cast<JDIMENSION>(n)));
        if (!grey) continue;
        // Level indices were written to the first bytes of each row; widen
        // them in place from the right so no index is overwritten unread.
        const JSAMPLE* levels = c->colormap[0];
        for (int32_t k = 0; k < got; ++k) {
            uint32_t* row = tmp.Row(first + k);
            const uint8_t* idx = reinterpret_cast<const uint8_t*>(row);
            for (int32_t x = w - 1; x >= 0; --x) {
                const uint32_t g = levels[idx[x]];
                row[x] = 0xFF000000u | g << 16 | g << 8 | g;
            }
        }
    }
    jpeg_finish_decompress(c);
    return true;
}

// Destination manager that grows a vector. A failed allocation is turned
// into a library error inside the callback, so no C++ exception crosses
// libjpeg's frames.
struct TVectorDestination {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* out;
    size_t base;
};

void DestInit(j_compress_ptr c) {
    auto* d = reinterpret_cast<TVectorDestination*>(c->dest);
    try {
        d->out->resize(d->base + 65536);
    } catch (...) {
        ERREXIT1(c, JERR_OUT_OF_MEMORY, 1);
    }
    d->pub.next_output_byte = d->out->data() + d->base;
    d->pub.free_in_buffer = d->out->size() - d->base;
}

boolean DestGrow(j_compress_ptr c) {
    auto* d = reinterpret_cast<TVectorDestination*>(c->dest);
    const size_t used = d->out->size();  // the whole buffer is full when this is called
    try {
        d->out->resize(used * 2);
    } catch (...) {
        ERREXIT1(c, JERR_OUT_OF_MEMORY, 2);
    }
    d->pub.next_output_byte = d->out->data() + used;
    d->pub.free_in_buffer = d->out->size() - used;
    return TRUE;
}

void DestTerm(j_compress_ptr c) {
    auto* d = reinterpret_cast<TVectorDestination*>(c->dest);
    d->out->resize(d->out->size() - d->pub.free_in_buffer);
}

bool RunEncode(jpeg_compress_struct* c, TJpegErrorManager& err, TVectorDestination& dest, const TARGB8888& img,
               int quality) {
    if (setjmp(err.jump)) {
        jpeg_abort_compress(c);
        return false;
    }
    c->dest = &dest.pub;
    c->image_width = static_cast<JDIMENSION>(img.Width());
    c->image_height = static_cast<JDIMENSION>(img.Height());
    c->input_components = 4;
    c->in_color_space = JCS_EXT_BGRA;
    jpeg_set_defaults(c);
    jpeg_set_quality(c, quality, TRUE);
    c->dct_method = JDCT_ISLOW;
    c->smoothing_factor = 0;
    c->optimize_coding = FALSE;
    jpeg_start_compress(c, TRUE);
    while (c->next_scanline < c->image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(img.Row(static_cast<int32_t>(c->next_scanline))));
        jpeg_write_scanlines(c, &row, 1);
    }
    jpeg_finish_compress(c);
    return true;
}

}  // namespace

void DecodeJpeg(const uint8_t* data, size_t size, TJpegOutput output, TARGB8888& img) {
    TJpegDecompressor j;
    TARGB8888 tmp;
    if (!RunDecode(j, data, size, output, tmp)) throw EImageFileError("JPEG", j.err.message);
    tmp.SetTransparencyFlag(false);  // every decoded pixel is opaque
    img = std::move(tmp);
}

bool EncodeJpeg(const TARGB8888& img, int quality, std::vector<uint8_t>& out, std::string* errText) {
    if (img.Empty()) {
        if (errText) *errText = "empty picture";
        return false;
    }
    jpeg_compress_struct cinfo{};
    TJpegErrorManager err{};
    if (!CreateJpegCompress(cinfo, err)) {
        if (errText) *errText = err.message;
        return false;
    }
    const size_t base = out.size();
    TVectorDestination dest{};
    dest.pub.init_destination = DestInit;
    dest.pub.empty_output_buffer = DestGrow;
    dest.pub.term_destination = DestTerm;
    dest.out = &out;
    dest.base = base;
    const bool ok = RunEncode(&cinfo, err, dest, img, std::clamp(quality, 0, 100));
    jpeg_destroy_compress(&cinfo);
    if (!ok) {
        out.resize(base);
        if (errText) *errText = err.message;
    }
    return ok;
}

}  // namespace zel
