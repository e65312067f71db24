// Writes the seed corpora of the picture targets: files from the shared
// third-party test files, JPEGs of our own writer, and ".argb" files
// assembled here from BMP, PNG and JPEG parts.
//   zel_fuzz_make_image_seeds OUTPUT_DIR TESTDATA_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "CompositorScene.h"
#include "SeedFiles.h"

namespace fs = std::filesystem;
using namespace zel;

namespace {

using seeds::Put;
using seeds::ReadAll;
using seeds::U32;

void Images(const fs::path& testdata) {
    auto copy = [&](const std::string& target, const fs::path& file) {
        if (fs::exists(file)) Put(target, file.filename().string(), ReadAll(file));
    };
    // Small files only: the largest seed sets the longest input the fuzzer makes.
    for (const char* f : {"g/pal1.bmp", "g/pal4rle.bmp", "g/pal8rle.bmp", "g/pal8os2.bmp", "q/pal4rlecut.bmp",
                          "q/pal1p1.bmp", "b/shortfile.bmp", "b/badwidth.bmp"})
        copy("image_bmp", testdata / "bmpsuite" / f);
    // Only its header matters: it declares enormous dimensions.
    Put("image_bmp", "reallybig_head.bmp", ReadAll(testdata / "bmpsuite" / "b" / "reallybig.bmp").substr(0, 512));
    for (const char* f : {"basn0g01.png", "basn2c16.png", "basn3p02.png", "basn4a08.png", "basn6a16.png",
                          "ftbbn0g04.png"})
        copy("image_png", testdata / "pngsuite" / f);
    for (const char* f : {"badadler.png", "huge_IDAT.png", "huge_iCCP_chunk.png"})
        copy("image_png", testdata / "png-crashers" / f);

    // Small JPEGs of our own writer, plus the smallest shared ones.
    TARGB8888 img;
    img.NewImage(19, 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 19; ++x) img.Row(y)[x] = 0xFF000000u | static_cast<uint32_t>(x * 13 << 16 | y * 23 << 8 | (x ^ y));
    TMemoryStream jpeg, jpegLow, bmp;
    SaveJpeg(img, jpeg, 90);
    SaveJpeg(img, jpegLow, 5);
    SaveBmp(img, bmp);
    Put("image_bmp", "own32.bmp", bmp.Bytes());
    Put("image_jpg", "own90", jpeg.Bytes());
    Put("image_jpg", "own5", jpegLow.Bytes());
    copy("image_jpg", testdata / "jpeg" / "testimgint.jpg");

    const std::string png = ReadAll(testdata / "pngsuite" / "basn6a08.png");
    TARGB8888 mask;
    mask.NewImage(32, 32);
    TMemoryStream maskJpeg;
    SaveJpeg(mask, maskJpeg, 50);
    const std::string pngMask = ReadAll(testdata / "pngsuite" / "basn0g08.png");
    TARGB8888 colour;
    colour.NewImage(32, 32);
    TMemoryStream colourJpeg;
    SaveJpeg(colour, colourJpeg, 50);
    auto argb = [](int kind, const std::string& a, const std::string& b) {
        std::string out = "ARGBSaveData1";
        out.resize(16, '\0');
        out += static_cast<char>(kind);
        out += U32(static_cast<uint32_t>(a.size())) + U32(static_cast<uint32_t>(b.size()));
        return out + a + b;
    };
    Put("image_argb", "kind0", argb(0, bmp.ToString(), ""));
    Put("image_argb", "kind1", argb(1, png, ""));
    Put("image_argb", "kind2", argb(2, colourJpeg.ToString(), maskJpeg.ToString()));
    Put("image_argb", "kind3", argb(3, colourJpeg.ToString(), pngMask));
    Put("image_argb", "kind4", argb(4, png, maskJpeg.ToString()));
}

void Compositor() {
    auto save = [](const char* name, zelfuzz::CompositorScene& scene) {
        TMemoryStream st;
        scene.g.SaveState(st);
        Put("compositor_state", name, st.Bytes());
    };
    {
        zelfuzz::CompositorScene s;
        s.Frame(0);
        s.g.SetBackground(0x123456);
        save("frame", s);
    }
    {
        zelfuzz::CompositorScene s;
        s.Frame(0);
        s.g.Capture(0xFFFF);
        s.live = 0xFF2040A0u;
        s.g.FadeIn(1000, 0xFFFF, "rule.bmp");
        s.Frame(300);
        save("rule_fade_in", s);
    }
    {
        zelfuzz::CompositorScene s;
        s.Frame(0);
        s.g.Capture(40);
        s.g.FadeOut(500, 40, "");
        s.Frame(100);
        save("fade_out_layer", s);
    }
    {
        zelfuzz::CompositorScene s;
        s.Frame(0);
        s.g.ColourFade(800, 0xFFFF, 3, 0xFF808080u);
        s.Frame(200);
        save("colour_fade", s);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: zel_fuzz_make_image_seeds OUTPUT_DIR TESTDATA_DIR\n";
        return 2;
    }
    seeds::OutputFolder() = argv[1];
    Images(argv[2]);
    Compositor();
    return 0;
}
