// Fixture writers for the picture-file tests: PNGs of every colour type made
// with libpng, greyscale and colour JPEGs made with libjpeg, and small BMP
// headers written byte by byte, so each test holds its input next to what
// it expects.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace zel::test {

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline std::string TestData(const std::string& rel) { return std::string(ZEL_TESTDATA_DIR) + "/" + rel; }

struct PngLayout {
    int width = 0, height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;  // tRNS for palette pictures
    bool greyKey = false;               // tRNS for grey/RGB pictures
    png_color_16 key{};
    std::vector<std::vector<uint8_t>> rows;  // packed samples as libpng expects them (big-endian 16-bit)
};

inline void PngWriteToVector(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
inline void PngFlushNothing(png_structp) {}

inline std::vector<uint8_t> MakePng(const PngLayout& s) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    for (auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng could not write the fixture");
    }
    png_set_write_fn(png, &out, PngWriteToVector, PngFlushNothing);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colourType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.paletteAlpha.empty())
        png_set_tRNS(png, info, s.paletteAlpha.data(), static_cast<int>(s.paletteAlpha.size()), nullptr);
    if (s.greyKey) png_set_tRNS(png, info, nullptr, 0, &s.key);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Rewrites the frame size in a baseline JPEG's SOF0 header (the first one).
inline void SetJpegFrameSize(std::vector<uint8_t>& jpeg, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            return;
        }
}

// JPEG of 8-bit samples: components 1 (grey) or 3 (R, G, B).
inline std::vector<uint8_t> MakeJpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                                     int quality = 95) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t(c.next_scanline) * width * components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(buf, buf + size);
    jpeg_destroy_compress(&c);
    free(buf);
    return out;
}

// Little-endian helpers for hand-made headers.
inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// A bitmap with a 40-byte info header; pixel bytes are given row by row in
// file order (already padded by the caller).
inline std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                                    const std::vector<uint32_t>& palette, const std::vector<uint32_t>& masks,
                                    const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> v;
    const uint32_t offset = 14 + 40 + 4 * uint32_t(masks.size() + palette.size());
    v.push_back('B');
    v.push_back('M');
    Put32(v, offset + uint32_t(pixels.size()));
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, uint32_t(width));
    Put32(v, uint32_t(height));
    Put16(v, 1);
    Put16(v, bpp);
    Put32(v, compression);
    Put32(v, uint32_t(pixels.size()));
    Put32(v, 2835);
    Put32(v, 2835);
    Put32(v, uint32_t(palette.size()));
    Put32(v, 0);
    for (uint32_t m : masks) Put32(v, m);
    for (uint32_t c : palette) Put32(v, c);
    v.insert(v.end(), pixels.begin(), pixels.end());
    return v;
}

// An ".argb" container.
inline std::vector<uint8_t> MakeArgb(uint8_t kind, const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                                     const char* magic = "ARGBSaveData1") {
    std::vector<uint8_t> v(16, 0);
    for (size_t i = 0; magic[i] && i < 16; ++i) v[i] = uint8_t(magic[i]);
    v.push_back(kind);
    Put32(v, uint32_t(a.size()));
    Put32(v, uint32_t(b.size()));
    v.insert(v.end(), a.begin(), a.end());
    v.insert(v.end(), b.begin(), b.end());
    return v;
}

}  // namespace zel::test
