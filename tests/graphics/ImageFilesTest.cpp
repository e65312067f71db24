// Loading and saving pictures: BMP, JPEG, PNG and ".argb", by extension,
// with the third-party suites in the shared test data and hostile inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <random>

#include "ImageTestSupport.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFileError.h"
#include "graphics/JpegCodec.h"
#include "graphics/PngReader.h"
#include "graphics/ImageFiles.h"
#include "platform/Dialogs.h"

namespace zel {
namespace {

using namespace zel::test;
namespace fs = std::filesystem;

// Records the messages the loaders show.
class TRecordingDialogs final : public IDialogHost {
public:
    void Message(const std::string& text, const std::string&) override { messages.push_back(text); }
    int Confirm(const std::string&, const std::string&, const std::string&) override { return 1; }
    int ConfirmClose(const std::string&, const std::string&, const std::string&, const std::string&) override {
        return 1;
    }
    std::vector<std::string> messages;
};

TMemoryStream Stream(const std::vector<uint8_t>& bytes) { return TMemoryStream(bytes); }

// Loads through LoadFromStream; returns the error detail ("" on success).
std::string TryLoad(TARGB8888& img, const std::vector<uint8_t>& bytes, const std::string& name,
                    IDialogHost* messages = nullptr) {
    TMemoryStream s = Stream(bytes);
    try {
        EXPECT_TRUE(LoadFromStream(img, &s, name, messages));
    } catch (const EImageFileError& e) {
        EXPECT_EQ(std::string(e.what()), name + Sj("の読み込みに失敗しました"));
        EXPECT_TRUE(img.Empty());
        return e.Detail().empty() ? "failed" : e.Detail();
    }
    return "";
}

TARGB8888 MustLoad(const std::vector<uint8_t>& bytes, const std::string& name) {
    TARGB8888 img;
    const std::string err = TryLoad(img, bytes, name);
    EXPECT_EQ(err, "") << name;
    return img;
}

// A picture with every channel varying, alpha included.
TARGB8888 Pattern(int32_t w, int32_t h) {
    TARGB8888 img;
    img.NewImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            img.Row(y)[x] = uint32_t((x * 7 + y) & 255) << 24 | uint32_t(x * 255 / std::max(w - 1, 1)) << 16 |
                            uint32_t(y * 255 / std::max(h - 1, 1)) << 8 | uint32_t((x + y) * 3 & 255);
    return img;
}

// Smooth colours that JPEG keeps closely.
TARGB8888 Smooth(int32_t w, int32_t h) {
    TARGB8888 img;
    img.NewImage(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            img.Row(y)[x] = 0xFF000000u | uint32_t(40 + x * 150 / w) << 16 | uint32_t(60 + y * 120 / h) << 8 |
                            uint32_t(100 + (x + y) * 100 / (w + h));
    return img;
}

std::vector<uint8_t> Bytes(const TMemoryStream& s) { return s.Bytes(); }

int MaxChannelDiff(uint32_t a, uint32_t b, bool withAlpha = false) {
    int d = 0;
    for (int sh = 0; sh < (withAlpha ? 32 : 24); sh += 8)
        d = std::max(d, std::abs(int((a >> sh) & 255) - int((b >> sh) & 255)));
    return d;
}

// ---------------------------------------------------------------- by name

TEST(ImageFiles, ExtensionChoosesTheDecoderWithoutRegardToCase) {
    TARGB8888 src = Pattern(5, 3);
    TMemoryStream bmp;
    ASSERT_TRUE(SaveBmp(src, bmp));
    for (const char* name : {"a.bmp", "A.BMP", "dir.x\\pic.Bmp"}) {
        TARGB8888 img = MustLoad(Bytes(bmp), name);
        EXPECT_EQ(img.Width(), 5) << name;
    }
    // Not a picture extension: nothing is decoded and the call succeeds.
    for (const char* name : {"a.jpeg", "a", "a.bmp.txt", ""}) {
        TARGB8888 img = Pattern(2, 2);
        TMemoryStream s = Stream(Bytes(bmp));
        EXPECT_TRUE(LoadFromStream(img, &s, name));
        EXPECT_TRUE(img.Empty()) << name;
        EXPECT_TRUE(img.HasTransparency());  // an empty image counts as transparent
    }
    TARGB8888 img = Pattern(2, 2);
    EXPECT_FALSE(LoadFromStream(img, nullptr, "a.bmp"));
}

TEST(ImageFiles, FailedLoadLeavesTheImageEmpty) {
    TARGB8888 img = Pattern(4, 4);
    const std::vector<uint8_t> junk = {'B', 'M', 1, 2, 3};
    EXPECT_NE(TryLoad(img, junk, "x.bmp"), "");
    EXPECT_TRUE(img.Empty());
    img = Pattern(4, 4);
    EXPECT_NE(TryLoad(img, junk, "x.png"), "");
    EXPECT_TRUE(img.Empty());
}

// ---------------------------------------------------------------- BMP

TEST(ImageFiles, BmpRoundTripKeepsEveryByteIncludingAlpha) {
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {17, 9}, {64, 1}}) {
        TARGB8888 src = Pattern(w, h);
        TMemoryStream s;
        ASSERT_TRUE(SaveBmp(src, s));
        EXPECT_EQ(s.Size(), 54u + size_t(w) * h * 4);
        TARGB8888 back = MustLoad(Bytes(s), "r.bmp");
        ASSERT_EQ(back.Width(), w);
        ASSERT_EQ(back.Height(), h);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) ASSERT_EQ(back.Row(y)[x], src.Row(y)[x]) << x << "," << y;
        EXPECT_TRUE(back.HasTransparency());
    }
    TARGB8888 empty;
    TMemoryStream s;
    EXPECT_FALSE(SaveBmp(empty, s));
    EXPECT_EQ(s.Size(), 0u);
}

TEST(ImageFiles, BmpDecodesFromTheStreamPosition) {
    TMemoryStream s;
    s.WriteBytes("prefix");
    ASSERT_TRUE(SaveBmp(Pattern(3, 3), s));
    s.WriteBytes("tail");
    s.Seek(6);
    TARGB8888 img;
    ASSERT_TRUE(LoadBmp(img, &s));
    EXPECT_EQ(img.Width(), 3);
    EXPECT_EQ(s.Position(), 6u + 54 + 36);
}

TEST(ImageFiles, BmpTopDownAnd555AndPalette) {
    // 24-bit, negative height: the first stored row is the top one. Rows of
    // 2 pixels are 6 bytes, padded to 8.
    const std::vector<uint8_t> rows24 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    TARGB8888 td = MustLoad(MakeBmp(2, -2, 24, 0, {}, {}, rows24), "t.bmp");
    ASSERT_EQ(td.Height(), 2);
    EXPECT_EQ(td.Row(0)[0], 0xFF030201u);
    EXPECT_EQ(td.Row(0)[1], 0xFF060504u);
    EXPECT_EQ(td.Row(1)[0], 0xFF090807u);
    EXPECT_FALSE(td.HasTransparency());
    TARGB8888 bu = MustLoad(MakeBmp(2, 2, 24, 0, {}, {}, rows24), "b.bmp");
    EXPECT_EQ(bu.Row(1)[0], 0xFF030201u);  // bottom-up: the first stored row is the bottom one

    // 16-bit without bit fields is 5-5-5: 0x7C00 red, 0x03E0 green, 0x001F blue.
    const std::vector<uint8_t> rows16 = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42};
    TARGB8888 p555 = MustLoad(MakeBmp(4, 1, 16, 0, {}, {}, rows16), "p.bmp");
    EXPECT_EQ(p555.Row(0)[0], 0xFFFF0000u);
    EXPECT_EQ(p555.Row(0)[1], 0xFF00FF00u);
    EXPECT_EQ(p555.Row(0)[2], 0xFF0000FFu);
    EXPECT_EQ(p555.Row(0)[3], 0xFF848484u);  // 16 of 31 in each channel
    // With 5-6-5 bit fields.
    const std::vector<uint8_t> rows565 = {0xE0, 0x07, 0x00, 0x00};
    TARGB8888 p565 = MustLoad(MakeBmp(2, 1, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, rows565), "p.bmp");
    EXPECT_EQ(p565.Row(0)[0], 0xFF00FF00u);

    // 4-bit palette, odd width: 3 pixels in 2 bytes, padded to 4.
    const std::vector<uint8_t> rows4 = {0x01, 0x20, 0, 0};
    TARGB8888 p4 = MustLoad(MakeBmp(3, 1, 4, 0, {0x00112233, 0x00445566, 0x00778899}, {}, rows4), "p.bmp");
    EXPECT_EQ(p4.Row(0)[0], 0xFF112233u);
    EXPECT_EQ(p4.Row(0)[1], 0xFF445566u);
    EXPECT_EQ(p4.Row(0)[2], 0xFF778899u);
    // An index past the palette is refused.
    TARGB8888 bad;
    EXPECT_NE(TryLoad(bad, MakeBmp(3, 1, 4, 0, {0x00112233}, {}, rows4), "p.bmp"), "");
}

TEST(ImageFiles, BmpRunLengthCoding) {
    // 4 x 3, RLE8: row 0 = run of 3 x index 1 + literal (2), row 1 skipped by
    // a move, row 2 = literal 0 1 2 (padded), then end of bitmap.
    const std::vector<uint8_t> rle = {3, 1, 0, 0,          // run, end of line
                                      0, 2, 0, 1,          // move down one row
                                      0, 3, 0, 1, 2, 0,    // literal of 3, padded
                                      0, 1};
    const std::vector<uint32_t> pal = {0x00000010, 0x00000020, 0x00000030};
    TARGB8888 img = MustLoad(MakeBmp(4, 3, 8, 1, pal, {}, rle), "r.bmp");
    ASSERT_EQ(img.Width(), 4);
    const uint32_t K = 0xFF000000u;  // pixels the runs never set
    EXPECT_EQ(img.Row(2)[0], 0xFF000020u);
    EXPECT_EQ(img.Row(2)[2], 0xFF000020u);
    EXPECT_EQ(img.Row(2)[3], K);
    EXPECT_EQ(img.Row(1)[0], K);
    EXPECT_EQ(img.Row(0)[0], 0xFF000010u);
    EXPECT_EQ(img.Row(0)[2], 0xFF000030u);

    struct Bad {
        const char* what;
        std::vector<uint8_t> data;
    };
    for (const Bad& b : std::vector<Bad>{
             {"move past the picture", {0, 2, 9, 0}},
             {"rows after the last", {0, 0, 0, 0, 0, 0, 0, 0, 1, 1}},
             {"literal past the data", {0, 200, 1, 2}},
             {"ends without marker", {2, 1}},
             {"index past the palette", {2, 7, 0, 1}},
         }) {
        TARGB8888 r;
        EXPECT_NE(TryLoad(r, MakeBmp(4, 3, 8, 1, pal, {}, b.data), "r.bmp"), "") << b.what;
    }
    // Run-length rows cannot be top-down.
    TARGB8888 r;
    EXPECT_NE(TryLoad(r, MakeBmp(4, -3, 8, 1, pal, {}, rle), "r.bmp"), "");
    // A header declaring 64 Mpx over two bytes of data is refused before the
    // picture is made; 1024 x 1024 ended at once is still an empty picture.
    const std::string tooShort = TryLoad(r, MakeBmp(8192, 8192, 8, 1, pal, {}, {0, 1}), "r.bmp");
    EXPECT_NE(tooShort.find("run-length data too short"), std::string::npos) << tooShort;
    TARGB8888 empty = MustLoad(MakeBmp(1024, 1024, 8, 1, pal, {}, {0, 1}), "r.bmp");
    EXPECT_EQ(empty.Width(), 1024);
    EXPECT_EQ(empty.Row(1023)[1023], K);
}

TEST(ImageFiles, BmpHeaderFieldsAreChecked) {
    const std::vector<uint8_t> good = MakeBmp(2, 2, 24, 0, {}, {}, std::vector<uint8_t>(16, 9));
    struct Case {
        const char* what;
        size_t at;
        std::vector<uint8_t> bytes;
    };
    for (const Case& c : std::vector<Case>{
             {"header size", 14, {66, 0, 0, 0}},
             {"negative width", 18, {0xFE, 0xFF, 0xFF, 0xFF}},
             {"zero height", 22, {0, 0, 0, 0}},
             {"huge width", 18, {0, 0, 0, 0x40}},
             {"planes", 26, {2, 0}},
             {"bits per pixel", 28, {7, 0}},
             {"compression", 30, {9, 0, 0, 0}},
             {"data offset past the end", 10, {0, 0, 0, 1}},
         }) {
        std::vector<uint8_t> v = good;
        std::copy(c.bytes.begin(), c.bytes.end(), v.begin() + std::ptrdiff_t(c.at));
        TARGB8888 img;
        EXPECT_NE(TryLoad(img, v, "h.bmp"), "") << c.what;
    }
    // Palette larger than 256 entries.
    std::vector<uint8_t> pal8 = MakeBmp(1, 1, 8, 0, {0}, {}, {0, 0, 0, 0});
    pal8[46] = 0x34;
    pal8[47] = 0x12;
    TARGB8888 img;
    EXPECT_NE(TryLoad(img, pal8, "h.bmp"), "");
}

// Every file of the BMP suite: "g" must load and match its reference, "q"
// may load or be refused, "b" must be refused - except files whose only
// fault is in a field the pixels do not depend on.
TEST(ImageFiles, BmpSuite) {
    const std::string root = TestData("bmpsuite");
    ASSERT_TRUE(fs::exists(root)) << "no BMP suite at " << root;
    std::ifstream map(root + "/reference-map.tsv");
    std::string line;
    int goodCount = 0;
    while (std::getline(map, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        const std::string file = line.substr(0, tab);
        std::vector<std::string> refs;
        for (size_t p = tab + 1; p < line.size();) {
            size_t e = line.find(' ', p);
            if (e == std::string::npos) e = line.size();
            refs.push_back(line.substr(p, e - p));
            p = e + 1;
        }
        TARGB8888 img;
        const std::string err = TryLoad(img, ReadFileBytes(root + "/" + file), "s.bmp");
        const char dir = file[0];
        if (dir == 'b') {
            const bool fieldOnly = file.find("baddens") != std::string::npos || file == "b/badfilesize.bmp" ||
                                   file == "b/badbitssize.bmp" || file == "b/rgb16-880.bmp";
            if (!fieldOnly) {
                EXPECT_NE(err, "") << file << " should be refused";
            }
            continue;
        }
        if (dir == 'g') {
            EXPECT_EQ(err, "") << file;
        }
        if (!err.empty() || refs.empty() || refs[0] == "-") continue;
        // Compare with any of the references (PNGs; the one JPEG is skipped).
        bool matched = false;
        std::string why;
        for (const std::string& ref : refs) {
            if (ref.find(".png") == std::string::npos) {
                matched = true;
                break;
            }
            TARGB8888 want = MustLoad(ReadFileBytes(root + "/html/" + ref), "r.png");
            if (want.Width() != img.Width() || want.Height() != img.Height()) {
                why = "size differs from " + ref;
                continue;
            }
            // 32-bit files keep their alpha bytes as stored; the references
            // show them composed, so only colour is compared for them.
            int worst = 0;
            for (int32_t y = 0; y < img.Height(); ++y)
                for (int32_t x = 0; x < img.Width(); ++x) {
                    const uint32_t a = img.Row(y)[x], b = want.Row(y)[x];
                    if ((b >> 24) == 0) continue;  // transparent in the reference: colour undefined
                    worst = std::max(worst, MaxChannelDiff(a, b));
                }
            if (worst <= 1) {
                matched = true;
                break;
            }
            why = ref + " differs by " + std::to_string(worst);
        }
        if (dir == 'g') {
            ++goodCount;
            EXPECT_TRUE(matched) << file << ": " << why;
        }
    }
    EXPECT_EQ(goodCount, 27);
}

TEST(ImageFiles, BmpRealWorldFiles) {
    for (const char* f : {"jpeg/shira_bird8.bmp", "jpeg/vgl_6434_0018a.bmp", "jpeg/vgl_6548_0026a.bmp"}) {
        ASSERT_TRUE(fs::exists(TestData(f))) << "missing test file " << TestData(f);
        TARGB8888 img = MustLoad(ReadFileBytes(TestData(f)), "f.bmp");
        EXPECT_GT(img.Width(), 100) << f;
        EXPECT_FALSE(img.HasTransparency()) << f;
    }
}

// ---------------------------------------------------------------- JPEG

TEST(ImageFiles, JpegRoundTripThroughSaveJpeg) {
    TARGB8888 src = Smooth(67, 33);
    src.SetPixel(0, 0, 0x12345678);  // alpha is dropped
    TMemoryStream s;
    s.WriteBytes("ab");  // written at the position
    ASSERT_TRUE(SaveJpeg(src, s, 95));
    const std::vector<uint8_t> all = Bytes(s);
    ASSERT_GT(all.size(), 100u);
    EXPECT_EQ(all[2], 0xFF);
    EXPECT_EQ(all[3], 0xD8);
    const std::vector<uint8_t> jpg(all.begin() + 2, all.end());
    // Baseline: a SOF0 marker, no progressive SOF2.
    bool sof0 = false, sof2 = false;
    for (size_t i = 0; i + 1 < jpg.size(); ++i) {
        sof0 |= jpg[i] == 0xFF && jpg[i + 1] == 0xC0;
        sof2 |= jpg[i] == 0xFF && jpg[i + 1] == 0xC2;
    }
    EXPECT_TRUE(sof0);
    EXPECT_FALSE(sof2);
    TARGB8888 back = MustLoad(jpg, "r.jpg");
    ASSERT_EQ(back.Width(), 67);
    ASSERT_EQ(back.Height(), 33);
    EXPECT_FALSE(back.HasTransparency());
    int worst = 0;
    for (int32_t y = 1; y < 33; ++y)
        for (int32_t x = 1; x < 67; ++x) worst = std::max(worst, MaxChannelDiff(back.Row(y)[x], src.Row(y)[x]));
    EXPECT_LE(worst, 8);
    EXPECT_EQ(back.Row(5)[5] >> 24, 255u);

    // Lower quality gives a smaller file; out-of-range qualities are clamped.
    TMemoryStream lo, clamped;
    ASSERT_TRUE(SaveJpeg(src, lo, 10));
    ASSERT_TRUE(SaveJpeg(src, clamped, 500));
    EXPECT_LT(lo.Size(), jpg.size());
    TMemoryStream empty;
    EXPECT_FALSE(SaveJpeg(TARGB8888(), empty, 90));
    EXPECT_EQ(empty.Size(), 0u);
}

TEST(ImageFiles, JpegDecodesFromPositionZero) {
    TMemoryStream s;
    ASSERT_TRUE(SaveJpeg(Smooth(8, 8), s, 90));
    s.Seek(s.Size());
    TARGB8888 img;
    ASSERT_TRUE(LoadJpg(img, &s));
    EXPECT_EQ(img.Width(), 8);
}

TEST(ImageFiles, GreyJpegTakesTheValuesOf236Levels) {
    const int w = 64, h = 16;
    std::vector<uint8_t> grey(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey[size_t(y) * w + x] = uint8_t(x * 4 + (y & 3));
    const std::vector<uint8_t> jpg = MakeJpeg(w, h, 1, grey, 100);
    TARGB8888 img = MustLoad(jpg, "g.jpg");
    ASSERT_EQ(img.Width(), w);
    bool onGrid[256] = {};
    for (unsigned j = 0; j < 236; ++j) onGrid[JpegGreyLevel(j)] = true;
    EXPECT_EQ(JpegGreyLevel(0), 0);
    EXPECT_EQ(JpegGreyLevel(1), 1);
    EXPECT_EQ(JpegGreyLevel(118), 128);
    EXPECT_EQ(JpegGreyLevel(235), 255);
    int worst = 0, offGrid = 0, uneven = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t p = img.Row(y)[x];
            const uint32_t g = p & 255;
            offGrid += !onGrid[g];
            uneven += ((p >> 8) & 255) != g || ((p >> 16) & 255) != g || (p >> 24) != 255;
            worst = std::max(worst, std::abs(int(g) - int(grey[size_t(y) * w + x])));
        }
    EXPECT_EQ(offGrid, 0);
    EXPECT_EQ(uneven, 0);
    EXPECT_LE(worst, 6);  // quantisation plus dithering
}

TEST(ImageFiles, JpegTestImagesOfTheLibrary) {
    const std::string dir = TestData("jpeg");
    ASSERT_TRUE(fs::exists(dir)) << "missing test files at " << dir;
    // The PPM reference: "P6\n227 149\n255\n" then RGB.
    const std::vector<uint8_t> ppm = ReadFileBytes(dir + "/testorig.ppm");
    size_t at = 0;
    for (int fields = 0; fields < 4; ++at)
        if (ppm[at] == '\n' || ppm[at] == ' ') ++fields;
    for (const char* f : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"}) {
        TARGB8888 img = MustLoad(ReadFileBytes(dir + "/" + f), f);
        ASSERT_EQ(img.Width(), 227) << f;
        ASSERT_EQ(img.Height(), 149) << f;
        int worst = 0;
        double sum = 0;
        for (int32_t y = 0; y < 149; ++y)
            for (int32_t x = 0; x < 227; ++x) {
                const uint8_t* rgb = ppm.data() + at + (size_t(y) * 227 + x) * 3;
                const uint32_t want = 0xFF000000u | uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2];
                const int d = MaxChannelDiff(img.Row(y)[x], want);
                worst = std::max(worst, d);
                sum += d;
            }
        EXPECT_LE(worst, 20) << f;
        EXPECT_LT(sum / (227.0 * 149.0), 1.0) << f;
    }
}

TEST(ImageFiles, UndecodableJpegShowsTheMessageAndIsNoError) {
    TRecordingDialogs dialogs;
    std::vector<std::vector<uint8_t>> bad = {{}, {0xFF, 0xD8, 0xFF}, {'n', 'o', 't'}};
    const std::string twelve = TestData("jpeg/monkey12.jpg");
    if (fs::exists(twelve)) bad.push_back(ReadFileBytes(twelve));  // 12-bit samples
    for (const auto& b : bad) {
        TARGB8888 img = Pattern(3, 3);
        EXPECT_EQ(TryLoad(img, b, "bad.jpg", &dialogs), "");
        EXPECT_TRUE(img.Empty());
    }
    ASSERT_EQ(dialogs.messages.size(), bad.size());
    EXPECT_EQ(dialogs.messages[0], Sj("規格外のJPEGを読み込みました。読み込みを中断します。"));
}

TEST(ImageFiles, DecodeJpegRefusesHugeDeclaredSizes) {
    TMemoryStream s;
    ASSERT_TRUE(SaveJpeg(Smooth(16, 16), s, 90));
    std::vector<uint8_t> v = Bytes(s);
    SetJpegFrameSize(v, 65000, 65000);
    TARGB8888 img;
    try {
        DecodeJpeg(v.data(), v.size(), TJpegOutput::Auto, img);
        ADD_FAILURE() << "a 65000 x 65000 picture was accepted";
    } catch (const EImageFileError& e) {
        EXPECT_NE(e.Detail().find("too large"), std::string::npos) << e.Detail();
    }
}

// A few hundred bytes declaring 64 Mpx would take seconds to decode into
// filler: refused at once. A file cut in the middle of its data still loads.
TEST(ImageFiles, DecodeJpegRefusesSizesItsDataCannotHold) {
    TMemoryStream s;
    ASSERT_TRUE(SaveJpeg(Smooth(64, 64), s, 90));
    const std::vector<uint8_t> whole = Bytes(s);
    std::vector<uint8_t> v = whole;
    SetJpegFrameSize(v, 8000, 8000);
    TARGB8888 img;
    try {
        DecodeJpeg(v.data(), v.size(), TJpegOutput::Auto, img);
        ADD_FAILURE() << "8000 x 8000 pixels from " << v.size() << " bytes were accepted";
    } catch (const EImageFileError& e) {
        EXPECT_NE(e.Detail().find("for its data"), std::string::npos) << e.Detail();
    }
    size_t sos = 0;
    while (sos + 1 < whole.size() && !(whole[sos] == 0xFF && whole[sos + 1] == 0xDA)) ++sos;
    ASSERT_LT(sos + 1, whole.size());
    const size_t cut = sos + (whole.size() - sos) / 2;
    const std::vector<uint8_t> half(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
    try {
        DecodeJpeg(half.data(), half.size(), TJpegOutput::Auto, img);
    } catch (const EImageFileError& e) {
        ADD_FAILURE() << e.Detail();
    }
    EXPECT_EQ(img.Width(), 64);
    EXPECT_EQ(img.Height(), 64);
}

// ---------------------------------------------------------------- PNG

struct PngCase {
    const char* what;
    PngLayout layout;
    std::vector<uint32_t> want;  // row-major
};

std::vector<PngCase> PngCases() {
    std::vector<PngCase> cases;
    {
        PngLayout s;
        s.width = 4;
        s.height = 1;
        s.colourType = PNG_COLOR_TYPE_PALETTE;
        s.depth = 2;
        s.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
        s.paletteAlpha = {0, 128};  // entries 2 and 3 stay opaque
        s.rows = {{0x1B}};          // indices 0 1 2 3
        cases.push_back({"palette with transparency", s, {0x00FF0000u, 0x8000FF00u, 0xFF0000FFu, 0xFF0A141Eu}});
    }
    {
        PngLayout s;
        s.width = 2;
        s.height = 1;
        s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.depth = 16;
        s.rows = {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00, 0x80, 0x7F, 0, 0, 0, 0, 0xFF, 0xFF, 0x01, 0x02}};
        cases.push_back({"16-bit RGBA stripped to the high byte", s, {0x8012ABFFu, 0x010000FFu}});
    }
    {
        PngLayout s;
        s.width = 8;
        s.height = 1;
        s.colourType = PNG_COLOR_TYPE_GRAY;
        s.depth = 1;
        s.rows = {{0xA5}};
        cases.push_back({"1-bit grey",
                         s,
                         {0xFFFFFFFFu, 0xFF000000u, 0xFFFFFFFFu, 0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFF000000u,
                          0xFFFFFFFFu}});
    }
    {
        PngLayout s;
        s.width = 2;
        s.height = 1;
        s.colourType = PNG_COLOR_TYPE_GRAY;
        s.depth = 4;
        s.greyKey = true;
        s.key.gray = 5;
        s.rows = {{0x5A}};  // 5 is the transparent key; 10 -> 0xAA
        cases.push_back({"4-bit grey with a key colour", s, {0x00555555u, 0xFFAAAAAAu}});
    }
    {
        PngLayout s;
        s.width = 2;
        s.height = 1;
        s.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
        s.depth = 16;
        s.rows = {{0x40, 0x01, 0x80, 0x02, 0xC0, 0x03, 0xFF, 0xFF}};
        cases.push_back({"16-bit grey with alpha", s, {0x80404040u, 0xFFC0C0C0u}});
    }
    {
        PngLayout s;
        s.width = 2;
        s.height = 1;
        s.colourType = PNG_COLOR_TYPE_RGB;
        s.depth = 8;
        s.greyKey = true;
        s.key.red = 1;
        s.key.green = 2;
        s.key.blue = 3;
        s.rows = {{1, 2, 3, 4, 5, 6}};
        cases.push_back({"RGB with a key colour", s, {0x00010203u, 0xFF040506u}});
    }
    {
        // Interlaced 13 x 7 RGBA: every Adam7 pass has pixels.
        PngLayout s;
        s.width = 13;
        s.height = 7;
        s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        s.interlace = true;
        std::vector<uint32_t> want;
        for (int y = 0; y < 7; ++y) {
            std::vector<uint8_t> row;
            for (int x = 0; x < 13; ++x) {
                const uint8_t r = uint8_t(x * 19), g = uint8_t(y * 37), b = uint8_t(x * y), a = uint8_t(255 - x - y);
                row.insert(row.end(), {r, g, b, a});
                want.push_back(uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b);
            }
            s.rows.push_back(row);
        }
        cases.push_back({"interlaced RGBA", s, want});
    }
    return cases;
}

TEST(ImageFiles, PngColourTypesExpandToBgra) {
    for (const PngCase& c : PngCases()) {
        const std::vector<uint8_t> png = MakePng(c.layout);
        TARGB8888 img = MustLoad(png, "c.png");
        ASSERT_EQ(img.Width(), c.layout.width) << c.what;
        ASSERT_EQ(img.Height(), c.layout.height) << c.what;
        for (int32_t y = 0; y < img.Height(); ++y)
            for (int32_t x = 0; x < img.Width(); ++x)
                EXPECT_EQ(img.Row(y)[x], c.want[size_t(y) * img.Width() + x]) << c.what << " at " << x << "," << y;
        const bool anyClear =
            std::any_of(c.want.begin(), c.want.end(), [](uint32_t p) { return (p >> 24) != 255; });
        EXPECT_EQ(img.HasTransparency(), anyClear) << c.what;
    }
}

TEST(ImageFiles, PngMayHaveAFourBytePrefix) {
    const std::vector<uint8_t> png = MakePng(PngCases()[0].layout);
    std::vector<uint8_t> prefixed = {'Z', 'E', 'L', '!'};
    prefixed.insert(prefixed.end(), png.begin(), png.end());
    for (const auto& bytes : {png, prefixed}) {
        TARGB8888 img = MustLoad(bytes, "p.PNG");
        EXPECT_EQ(img.Width(), 4);
    }
    // Decoded from the stream's position.
    std::vector<uint8_t> shifted = {1, 2, 3};
    shifted.insert(shifted.end(), png.begin(), png.end());
    TMemoryStream s(shifted);
    s.Seek(3);
    TARGB8888 img;
    ASSERT_TRUE(LoadPng(img, &s));
    EXPECT_EQ(img.Width(), 4);
    // Fewer than 4 bytes cannot be a picture.
    EXPECT_NE(TryLoad(img, {0x89, 'P'}, "p.png"), "");
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

TEST(ImageFiles, PngImageDataMustBeAbleToFillThePicture) {
    // The most compressible picture there is still loads: deflate's best rate
    // is what the check allows.
    PngLayout blank;
    blank.width = blank.height = 1024;
    blank.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    blank.rows.assign(1024, std::vector<uint8_t>(4096, 0));
    const std::vector<uint8_t> blankPng = MakePng(blank);
    EXPECT_EQ(MustLoad(blankPng, "b.png").Width(), 1024);
    // The same file with its header saying 8192 x 8192: refused before the
    // 256 MiB picture is made.
    std::vector<uint8_t> big = blankPng;
    ASSERT_EQ(std::memcmp(big.data() + 12, "IHDR", 4), 0);
    for (size_t at : {size_t{16}, size_t{20}}) big[at + 2] = 0x20, big[at + 3] = 0x00;
    const uint32_t crc = Crc32(big.data() + 12, 17);
    for (int k = 0; k < 4; ++k) big[29 + k] = uint8_t(crc >> (24 - 8 * k));
    TARGB8888 img;
    const std::string why = TryLoad(img, big, "b.png");
    EXPECT_NE(why.find("too large for its data"), std::string::npos) << why;
}

TEST(ImageFiles, PngSuiteLoadsAndInterlacedEqualsPlain) {
    const std::string dir = TestData("pngsuite");
    ASSERT_TRUE(fs::exists(dir)) << "missing test files at " << dir;
    int loaded = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.path().extension() != ".png") continue;
        TARGB8888 img = MustLoad(ReadFileBytes(e.path().string()), "s.png");
        EXPECT_FALSE(img.Empty()) << e.path();
        ++loaded;
        // basi* are the Adam7 versions of basn*.
        const std::string name = e.path().filename().string();
        if (name.rfind("basi", 0) == 0) {
            const fs::path plain = e.path().parent_path() / ("basn" + name.substr(4));
            if (!fs::exists(plain)) continue;
            TARGB8888 want = MustLoad(ReadFileBytes(plain.string()), "s.png");
            ASSERT_EQ(want.Width(), img.Width()) << name;
            for (int32_t y = 0; y < img.Height(); ++y)
                ASSERT_EQ(0, std::memcmp(img.Row(y), want.Row(y), size_t(img.Width()) * 4)) << name << " row " << y;
        }
    }
    EXPECT_EQ(loaded, 60);
}

TEST(ImageFiles, CorruptPngsFailCleanly) {
    const std::string dir = TestData("png-crashers");
    ASSERT_TRUE(fs::exists(dir)) << "missing test files at " << dir;
    int refused = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().extension() != ".png") continue;
        TARGB8888 img;
        if (!TryLoad(img, ReadFileBytes(e.path().string()), "c.png").empty()) ++refused;
    }
    EXPECT_GE(refused, 22);
}

// ---------------------------------------------------------------- ARGB

std::vector<uint8_t> JpegOf(const TARGB8888& img) {
    TMemoryStream s;
    EXPECT_TRUE(SaveJpeg(img, s, 100));
    return s.Bytes();
}

std::vector<uint8_t> GreyJpeg(int w, int h, uint8_t value) {
    return MakeJpeg(w, h, 1, std::vector<uint8_t>(size_t(w) * h, value), 100);
}

std::vector<uint8_t> PngOf(int w, int h, uint32_t argb) {
    PngLayout s;
    s.width = w;
    s.height = h;
    s.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int y = 0; y < h; ++y) {
        std::vector<uint8_t> row(size_t(w) * 4);
        for (size_t i = 0; i < row.size(); i += 4) {
            row[i] = uint8_t(argb >> 16);
            row[i + 1] = uint8_t(argb >> 8);
            row[i + 2] = uint8_t(argb);
            row[i + 3] = uint8_t(argb >> 24);
        }
        s.rows.push_back(row);
    }
    return MakePng(s);
}

TEST(ImageFiles, ArgbKinds) {
    const TARGB8888 colour = Smooth(16, 8);
    // Kind 0: a 24-bit BMP gets alpha 0 here (255 through ".bmp").
    const std::vector<uint8_t> bmp24 = MakeBmp(4, 4, 24, 0, {}, {}, std::vector<uint8_t>(48, 0x40));
    TARGB8888 k0 = MustLoad(MakeArgb(0, bmp24, {}), "k.argb");
    EXPECT_EQ(k0.Row(0)[0], 0x00404040u);
    EXPECT_EQ(MustLoad(bmp24, "k.bmp").Row(0)[0], 0xFF404040u);
    // ... and a 32-bit BMP keeps its alpha bytes.
    TMemoryStream bmp32;
    ASSERT_TRUE(SaveBmp(Pattern(3, 3), bmp32));
    TARGB8888 k0b = MustLoad(MakeArgb(0, bmp32.Bytes(), {}), "k.argb");
    EXPECT_EQ(k0b.Row(2)[1], Pattern(3, 3).Row(2)[1]);

    // Kind 1: PNG alpha as it is.
    TARGB8888 k1 = MustLoad(MakeArgb(1, PngOf(3, 2, 0x7F102030u), {}), "k.ARGB");
    EXPECT_EQ(k1.Row(1)[2], 0x7F102030u);

    // Kind 2: JPEG colour, JPEG mask; a black mask gives a clear picture
    // with the JPEG's colours.
    const std::vector<uint8_t> jpg = JpegOf(colour);
    const TARGB8888 plain = MustLoad(jpg, "c.jpg");
    TARGB8888 k2 = MustLoad(MakeArgb(2, jpg, GreyJpeg(16, 8, 0)), "k.argb");
    ASSERT_EQ(k2.Width(), 16);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 16; ++x) ASSERT_EQ(k2.Row(y)[x], plain.Row(y)[x] & 0x00FFFFFFu);
    EXPECT_TRUE(k2.HasTransparency());
    TARGB8888 k2w = MustLoad(MakeArgb(2, jpg, GreyJpeg(16, 8, 255)), "k.argb");
    EXPECT_EQ(k2w.Row(3)[3] >> 24, 255u);
    EXPECT_FALSE(k2w.HasTransparency());

    // Kind 3: JPEG colour, PNG mask: the mask's green counts, not its alpha.
    TARGB8888 k3 = MustLoad(MakeArgb(3, jpg, PngOf(16, 8, 0x00FF9A00u)), "k.argb");
    EXPECT_EQ(k3.Row(0)[0], (plain.Row(0)[0] & 0x00FFFFFFu) | 0x9A000000u);

    // Kind 4: PNG colour (alpha ignored), JPEG mask.
    TARGB8888 k4 = MustLoad(MakeArgb(4, PngOf(16, 8, 0x10203040u), GreyJpeg(16, 8, 128)), "k.argb");
    EXPECT_EQ(k4.Row(4)[4], 0x80203040u);
}

TEST(ImageFiles, ArgbMagicAndKindChecks) {
    const std::vector<uint8_t> png = PngOf(2, 2, 0xFF000000u);
    EXPECT_EQ(MustLoad(MakeArgb(1, png, {}, "argbsavedata1"), "k.argb").Width(), 2);
    // Not our file, or a kind we do not know: empty, no error.
    for (const auto& bytes : {MakeArgb(1, png, {}, "ARGBSaveData2"), MakeArgb(5, png, {}),
                              std::vector<uint8_t>{'A', 'R', 'G', 'B'}}) {
        TARGB8888 img = Pattern(2, 2);
        EXPECT_EQ(TryLoad(img, bytes, "k.argb"), "");
        EXPECT_TRUE(img.Empty());
    }
}

TEST(ImageFiles, ArgbPartSizesAndMaskSizesAreChecked) {
    const std::vector<uint8_t> jpg = JpegOf(Smooth(16, 8));
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"mask of another size", MakeArgb(2, jpg, GreyJpeg(8, 8, 255))});
    cases.push_back({"PNG mask of another size", MakeArgb(3, jpg, PngOf(16, 9, 0xFFFFFFFFu))});
    cases.push_back({"mask missing", MakeArgb(2, jpg, {})});
    {
        std::vector<uint8_t> v = MakeArgb(1, {}, {});
        v.resize(20);
        cases.push_back({"header cut short", v});
    }
    {
        std::vector<uint8_t> v = MakeArgb(2, jpg, GreyJpeg(16, 8, 255));
        v[17] = 0xF0;  // part A larger than the file
        v[18] = 0xFF;
        v[19] = 0xFF;
        v[20] = 0x7F;
        cases.push_back({"part A past the end", v});
    }
    {
        std::vector<uint8_t> v = MakeArgb(2, jpg, GreyJpeg(16, 8, 255));
        v[21] += 1;  // part B one byte too long
        cases.push_back({"part B past the end", v});
    }
    {
        std::vector<uint8_t> v = MakeArgb(1, PngOf(2, 2, 0), {});
        v[17] = v[18] = v[19] = v[20] = 0xFF;  // negative size: an empty part A
        cases.push_back({"negative part size", v});
    }
    for (const Case& c : cases) {
        TARGB8888 img = Pattern(2, 2);
        EXPECT_NE(TryLoad(img, c.bytes, "k.argb"), "") << c.what;
    }
}

// ---------------------------------------------------------------- hostile input

// Every prefix of a valid file and many mutated copies either load or fail
// with EImageFileError; the sanitizers catch anything worse.
TEST(ImageFiles, TruncatedAndMutatedFilesFailCleanly) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    TMemoryStream bmp, jpg;
    ASSERT_TRUE(SaveBmp(Pattern(9, 5), bmp));
    files.push_back({"f.bmp", bmp.Bytes()});
    files.push_back({"f.bmp", MakeBmp(6, 4, 8, 1, {0, 0xFFFFFF, 0x123456},
                                      {}, {3, 1, 0, 0, 2, 2, 0, 2, 1, 1, 0, 4, 0, 1, 2, 1, 0, 0, 0, 1})});
    ASSERT_TRUE(SaveJpeg(Smooth(24, 16), jpg, 80));
    files.push_back({"f.jpg", jpg.Bytes()});
    files.push_back({"f.png", MakePng(PngCases()[0].layout)});
    files.push_back({"f.png", MakePng(PngCases().back().layout)});
    files.push_back({"f.argb", MakeArgb(2, jpg.Bytes(), GreyJpeg(24, 16, 99))});
    files.push_back({"f.argb", MakeArgb(0, bmp.Bytes(), {})});
    TRecordingDialogs quiet;
    std::mt19937 rng(1234);
    for (const auto& [name, bytes] : files) {
        for (size_t n = 0; n < bytes.size(); n += 1 + n / 64) {
            TARGB8888 img;
            TryLoad(img, std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(n)), name, &quiet);
        }
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> v = bytes;
            const int flips = 1 + int(rng() % 4);
            for (int k = 0; k < flips; ++k) {
                const size_t at = rng() % v.size();
                v[at] = (rng() & 1) ? uint8_t(rng()) : uint8_t(v[at] ^ (1u << (rng() % 8)));
            }
            TARGB8888 img;
            TryLoad(img, v, name, &quiet);
        }
    }
}

}  // namespace
}  // namespace zel
