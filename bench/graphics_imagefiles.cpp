// Picture decoding against the libraries underneath, on a 1280x720 picture:
//   JPEG  LoadFromStream(".jpg") against libjpeg-turbo decoding the same
//         file straight to BGRA rows of a buffer it keeps (same settings:
//         accurate integer IDCT, fancy upsampling)
//   PNG   LoadFromStream(".png") against libpng's simplified API reading the
//         same file as BGRA into a buffer it keeps
// Our loaders also allocate the picture each time and decide its
// transparency flag; the goal is at most 1.1x. The program ends with a table
// of ratios from this run. Run with --benchmark_repetitions=N: the fastest
// repetition of each counts.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "BenchRatio.h"

using namespace zel;

namespace {

constexpr int kW = 1280, kH = 720;

// Something like a background painting: smooth shading, soft edges and a
// little grain, so that neither codec meets an unusually easy picture.
TARGB8888 Painting(bool withAlpha) {
    std::mt19937 rng(42);
    TARGB8888 img;
    img.NewImage(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int r = (x * 200 / kW + ((x / 97 + y / 61) & 1) * 40) & 255;
            const int g = (y * 180 / kH + 30 + int(rng() % 9)) & 255;
            const int b = ((x + y) * 160 / (kW + kH) + 60 + int(rng() % 5)) & 255;
            const int a = withAlpha ? std::min(255, (x + y) * 255 / 900) : 255;
            img.Row(y)[x] = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        }
    return img;
}

std::vector<uint8_t> JpegFile() {
    TMemoryStream s;
    SaveJpeg(Painting(false), s, 90);
    return s.Bytes();
}

void PngWrite(png_structp png, png_bytep data, size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> PngFile() {
    const TARGB8888 img = Painting(true);
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_set_write_fn(png, &out, PngWrite, nullptr);
    png_set_IHDR(png, info, kW, kH, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int y = 0; y < kH; ++y) png_write_row(png, reinterpret_cast<png_const_bytep>(img.Row(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

const std::vector<uint8_t>& Jpeg() {
    static const std::vector<uint8_t> f = JpegFile();
    return f;
}
const std::vector<uint8_t>& Png() {
    static const std::vector<uint8_t> f = PngFile();
    return f;
}

void BM_LoadJpeg(benchmark::State& state) {
    TMemoryStream s(Jpeg());
    TARGB8888 img;
    for (auto _ : state) {
        LoadFromStream(img, &s, "bg.jpg");
        benchmark::DoNotOptimize(img.Row(0));
    }
}

void BM_TurboJpegToBgra(benchmark::State& state) {
    const std::vector<uint8_t>& f = Jpeg();
    std::vector<uint32_t> out(size_t(kW) * kH);
    jpeg_decompress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    for (auto _ : state) {
        jpeg_mem_src(&c, f.data(), f.size());
        jpeg_read_header(&c, TRUE);
        c.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&c);
        while (c.output_scanline < c.output_height) {
            JSAMPROW rows[16];
            const unsigned first = c.output_scanline;
            const unsigned n = std::min(16u, c.output_height - first);
            for (unsigned k = 0; k < n; ++k) rows[k] = reinterpret_cast<JSAMPROW>(out.data() + size_t(first + k) * kW);
            jpeg_read_scanlines(&c, rows, n);
        }
        jpeg_finish_decompress(&c);
        benchmark::DoNotOptimize(out.data());
    }
    jpeg_destroy_decompress(&c);
}

void BM_LoadPng(benchmark::State& state) {
    TMemoryStream s(Png());
    TARGB8888 img;
    for (auto _ : state) {
        s.Seek(0);
        LoadFromStream(img, &s, "bg.png");
        benchmark::DoNotOptimize(img.Row(0));
    }
}

void BM_LibpngSimplifiedToBgra(benchmark::State& state) {
    const std::vector<uint8_t>& f = Png();
    std::vector<uint32_t> out(size_t(kW) * kH);
    for (auto _ : state) {
        png_image img{};
        img.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&img, f.data(), f.size());
        img.format = PNG_FORMAT_BGRA;
        png_image_finish_read(&img, nullptr, out.data(), 0, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("jpeg_LoadFromStream", BM_LoadJpeg)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("jpeg_turbo_to_BGRA", BM_TurboJpegToBgra)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("png_LoadFromStream", BM_LoadPng)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("png_libpng_simplified_BGRA", BM_LibpngSimplifiedToBgra)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto& t = reporter.times;
    auto ratio = [&](const char* ours, const char* base) {
        if (!t.count(ours) || !t.count(base) || t[base] <= 0) return;
        std::printf("%-22s %9.1f us  %-28s %9.1f us  ratio %.2f\n", ours, t[ours], base, t[base], t[ours] / t[base]);
    };
    std::printf("\nRatios, %dx%d, this run (JPEG %zu bytes, PNG %zu bytes):\n", kW, kH, Jpeg().size(), Png().size());
    ratio("jpeg_LoadFromStream", "jpeg_turbo_to_BGRA");
    ratio("png_LoadFromStream", "png_libpng_simplified_BGRA");
    return 0;
}
