#include "graphics/PngReader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFileError.h"

namespace zel {

namespace {

// libpng calls our error function, which must not return: it records the
// message and longjmps back to the setjmp in RunRead. RunRead holds no
// objects with destructors, so the jump skips nothing; the C++ error is
// raised by DecodePng outside every library frame.
struct TPngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
    std::jmp_buf jump;
    char message[256];
};

void OnError(png_structp png, png_const_charp msg) {
    auto* src = static_cast<TPngSource*>(png_get_error_ptr(png));
    std::snprintf(src->message, sizeof src->message, "%s", msg ? msg : "PNG error");
    std::longjmp(src->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, size_t n) {
    auto* src = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (n > src->size - src->pos) png_error(png, "file ends early");
    std::memcpy(out, src->data + src->pos, n);
    src->pos += n;
}

// Owns the libpng structures for the duration of one decode.
struct TPngReadHolder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    ~TPngReadHolder() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

// Walks the chunk list up to IEND: every chunk must lie inside the data.
// libpng trusts a declared chunk length until it has allocated for it, so a
// 60-byte file declaring a 1 GiB text chunk would cost a 1 GiB allocation.
// Adds up the lengths of the image data chunks in imageData.
const char* CheckChunks(const uint8_t* data, size_t size, uint64_t& imageData) {
    size_t at = 8;
    imageData = 0;
    while (at < size) {
        if (size - at < 12) return "file ends inside a chunk header";
        const uint32_t len = uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 | uint32_t{data[at + 2]} << 8 |
                             data[at + 3];
        if (len > size - at - 12) return "a chunk reaches past the end of the file";
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return nullptr;
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0) imageData += len;
        at += 12 + size_t{len};
    }
    return "no IEND chunk";
}

// Deflate makes at most 1032 bytes of one (a 258-byte match in two bits), so
// image data too short for the declared size even at that rate is a damaged
// file: it is refused before a picture of up to 256 MiB is made for it.
bool ImageDataCanFill(png_structp png, png_infop info, uint64_t imageData) {
    const uint64_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    const uint64_t bitsPerPixel = uint64_t{png_get_bit_depth(png, info)} * png_get_channels(png, info);
    const uint64_t pixelBytes = (w * h * bitsPerPixel) / 8;
    return pixelBytes <= imageData * 1032 + 1024;
}

// Ancillary chunks we never use; libpng skips them unread instead of
// parsing (and for the compressed text chunks, inflating) them.
constexpr png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0"
                                      "sCAL\0sPLT\0sRGB\0sTER\0tEXt\0tIME\0zTXt";

bool RunRead(TPngReadHolder& h, TPngSource& src, TARGB8888& tmp, const uint64_t* imageData) {
    png_structp png = h.png;
    png_infop info = h.info;
    if (setjmp(src.jump)) return false;
    png_set_read_fn(png, &src, OnRead);
    png_set_user_limits(png, TARGB8888::kMaxSide, TARGB8888::kMaxSide);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, int(sizeof kIgnoredChunks / 5));
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 hgt = png_get_image_height(png, info);
    if (int64_t{w} * hgt > kMaxImageFilePixels) png_error(png, "picture too large");
    if (imageData && !ImageDataCanFill(png, info, *imageData)) png_error(png, "picture too large for its data");
    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // no effect when there is alpha already
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{w} * 4) png_error(png, "unexpected row layout");
    tmp.NewImage(static_cast<int32_t>(w), static_cast<int32_t>(hgt));
    h.rows.resize(hgt);
    for (png_uint_32 y = 0; y < hgt; ++y) h.rows[y] = reinterpret_cast<png_bytep>(tmp.Row(static_cast<int32_t>(y)));
    png_read_image(png, h.rows.data());
    png_read_end(png, nullptr);
    return true;
}

// Creation can already report an error through OnError: give it a place to land.
png_structp CreateReader(TPngSource& src) {
    if (setjmp(src.jump)) return nullptr;
    return png_create_read_struct(PNG_LIBPNG_VER_STRING, &src, OnError, OnWarning);
}

}  // namespace

bool IsPngSignature(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

void DecodePng(const uint8_t* data, size_t size, TARGB8888& img) {
    TPngSource src{};
    src.data = data;
    src.size = size;
    TPngReadHolder h;
    h.png = CreateReader(src);
    if (!h.png) throw EImageFileError("PNG", "cannot create the PNG reader");
    h.info = png_create_info_struct(h.png);
    if (!h.info) throw EImageFileError("PNG", "cannot create the PNG reader");
    uint64_t imageData = 0;
    const bool signed_ = IsPngSignature(data, size);
    if (signed_) {
        if (const char* why = CheckChunks(data, size, imageData)) throw EImageFileError("PNG", why);
    }
    TARGB8888 tmp;
    if (!RunRead(h, src, tmp, signed_ ? &imageData : nullptr)) throw EImageFileError("PNG", src.message);
    tmp.UpdateTransparency();
    img = std::move(tmp);
}

}  // namespace zel
