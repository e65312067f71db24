#include "platform/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "base/AtomicFile.h"

namespace zel {

namespace {

// libpng's error function must not return: it records the message and
// longjmps back to RunWrite, which holds no objects with destructors.
struct TPngSink {
    std::vector<uint8_t>* out;
    std::jmp_buf jump;
    char message[256];
};

void OnError(png_structp png, png_const_charp msg) {
    auto* sink = static_cast<TPngSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", msg ? msg : "PNG error");
    std::longjmp(sink->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, size_t n) {
    auto* sink = static_cast<TPngSink*>(png_get_io_ptr(png));
    bool ok = true;
    try {
        sink->out->insert(sink->out->end(), data, data + n);
    } catch (...) {
        ok = false;  // no C++ exception may cross libpng's frames
    }
    if (!ok) png_error(png, "out of memory");
}

void OnFlush(png_structp) {}

png_structp CreateWriter(TPngSink& sink) {
    if (setjmp(sink.jump)) return nullptr;
    return png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnError, OnWarning);
}

bool RunWrite(png_structp png, png_infop info, TPngSink& sink, const uint32_t* pixels, int width, int height,
              ptrdiff_t pitchBytes, bool opaque) {
    if (setjmp(sink.jump)) return false;
    png_set_write_fn(png, &sink, OnWrite, OnFlush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_set_bgr(png);
    if (opaque) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the alpha byte of each pixel
    const auto* base = reinterpret_cast<const uint8_t*>(pixels);
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(base + pitchBytes * y));
    png_write_end(png, info);
    return true;
}

}  // namespace

bool EncodePng(const uint32_t* pixels, int width, int height, ptrdiff_t pitchBytes, bool opaque,
               std::vector<uint8_t>& out, std::string* err) {
    auto fail = [&](const char* why) {
        if (err) *err = why;
        return false;
    };
    if (!pixels || width <= 0 || height <= 0) return fail("empty picture");
    if (pitchBytes < ptrdiff_t(width) * 4) return fail("rows overlap");
    const size_t base = out.size();
    TPngSink sink{};
    sink.out = &out;
    png_structp png = CreateWriter(sink);
    if (!png) return fail("cannot create the PNG writer");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return fail("cannot create the PNG writer");
    }
    const bool ok = RunWrite(png, info, sink, pixels, width, height, pitchBytes, opaque);
    png_destroy_write_struct(&png, &info);
    if (!ok) {
        out.resize(base);
        if (err) *err = sink.message;
    }
    return ok;
}

bool WritePngFile(const std::string& path, const uint32_t* pixels, int width, int height, ptrdiff_t pitchBytes,
                  bool opaque, std::string* err) {
    std::vector<uint8_t> bytes;
    try {
        if (!EncodePng(pixels, width, height, pitchBytes, opaque, bytes, err)) return false;
    } catch (const std::exception& e) {
        if (err) *err = e.what();
        return false;
    }
    return AtomicWriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), err);
}

}  // namespace zel
