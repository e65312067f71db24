// The row decoder of motion-movie frames: formats, row order, failure and
// reuse of the decompressor after a bad frame.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ImageTestSupport.h"
#include "base/MemStream.h"
#include "graphics/JpegRowDecoder.h"

namespace zel {
namespace {

using namespace zel::test;

struct Recorder {
    int headers = 0;
    int32_t width = 0, height = 0, format = 0;
    std::vector<int32_t> rowOrder;
    std::vector<std::vector<uint8_t>> rows;

    void Attach(TJpegLoader& l) {
        l.onHeader = [this](int32_t w, int32_t h, int32_t f) {
            ++headers;
            width = w;
            height = h;
            format = f;
            EXPECT_TRUE(rowOrder.empty()) << "header after rows";
        };
        auto row = [this](int bytesPerPixel) {
            return [this, bytesPerPixel](const uint8_t* r, int32_t y) {
                rowOrder.push_back(y);
                rows.emplace_back(r, r + size_t(width) * bytesPerPixel);
            };
        };
        l.onRow8 = row(1);
        l.onRow24 = row(3);
    }
};

std::vector<uint8_t> ColourSamples(int w, int h) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rgb.insert(rgb.end(), {uint8_t(200 - x), uint8_t(50 + y * 3), uint8_t(90)});
    return rgb;
}

TEST(JpegLoader, ColourRowsAreBlueGreenRedTopToBottom) {
    const int w = 40, h = 24;
    const std::vector<uint8_t> rgb = ColourSamples(w, h);
    TMemoryStream s(MakeJpeg(w, h, 3, rgb, 100));
    TJpegLoader loader;
    Recorder r;
    r.Attach(loader);
    ASSERT_TRUE(loader.Decode(&s));
    EXPECT_EQ(r.headers, 1);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
    EXPECT_EQ(r.format, TJpegLoader::kFormatBgr24);
    ASSERT_EQ(r.rowOrder.size(), size_t(h));
    for (int y = 0; y < h; ++y) EXPECT_EQ(r.rowOrder[size_t(y)], y);
    int worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)  // B, G, R against R, G, B
                worst = std::max(worst, std::abs(int(r.rows[size_t(y)][size_t(x) * 3 + c]) -
                                                 int(rgb[(size_t(y) * w + x) * 3 + size_t(2 - c)])));
    EXPECT_LE(worst, 6);
}

TEST(JpegLoader, GreyRowsHoldLevelIndicesUpTo235) {
    const int w = 32, h = 8;
    std::vector<uint8_t> grey(size_t(w) * h);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i % 32 * 8 + 7);
    grey[0] = 255;
    TMemoryStream s(MakeJpeg(w, h, 1, grey, 100));
    TJpegLoader loader;
    Recorder r;
    r.Attach(loader);
    ASSERT_TRUE(loader.Decode(&s));
    EXPECT_EQ(r.format, TJpegLoader::kFormatGrey8);
    ASSERT_EQ(r.rows.size(), size_t(h));
    int highest = 0, worst = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int idx = r.rows[size_t(y)][size_t(x)];
            highest = std::max(highest, idx);
            worst = std::max(worst, std::abs(idx * 255 / 235 - int(grey[size_t(y) * w + x])));
        }
    EXPECT_EQ(highest, 235);  // white is the top index, not 255
    EXPECT_LE(worst, 12);     // ordered dithering moves a level or two
}

TEST(JpegLoader, BadFramesReturnFalseAndTheNextFrameStillDecodes) {
    TJpegLoader loader;
    Recorder r;
    r.Attach(loader);
    EXPECT_FALSE(loader.Decode(static_cast<TMemoryStream*>(nullptr)));
    TMemoryStream empty;
    EXPECT_FALSE(loader.Decode(&empty));
    EXPECT_EQ(r.headers, 0);

    const std::vector<uint8_t> good = MakeJpeg(16, 16, 3, ColourSamples(16, 16));
    std::vector<std::vector<uint8_t>> bad = {{0xFF, 0xD8, 0xFF, 0xC0, 0, 3}, {'n', 'o', 'p', 'e'}};
    {
        std::vector<uint8_t> v = good;
        for (size_t i = 0; i + 1 < v.size(); ++i)  // a Huffman table with impossible counts
            if (v[i] == 0xFF && v[i + 1] == 0xC4) {
                std::fill(v.begin() + std::ptrdiff_t(i) + 5, v.begin() + std::ptrdiff_t(i) + 21, 0xFF);
                break;
            }
        bad.push_back(v);
    }
    bad.push_back(good);
    SetJpegFrameSize(bad.back(), 8192, 4096);  // far more pixels than its data can hold
    for (const auto& b : bad) {
        TMemoryStream s(b);
        EXPECT_FALSE(loader.Decode(&s));
        EXPECT_FALSE(loader.LastError().empty());
    }
    // The last one is refused for its size, before any row is made.
    EXPECT_NE(loader.LastError().find("too large for its data"), std::string::npos) << loader.LastError();
    r = Recorder();
    r.Attach(loader);
    TMemoryStream s(good);
    ASSERT_TRUE(loader.Decode(&s));
    EXPECT_TRUE(loader.LastError().empty());
    EXPECT_EQ(r.rows.size(), 16u);
}

TEST(JpegLoader, DecodesFromTheStreamPosition) {
    std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
    const std::vector<uint8_t> jpg = MakeJpeg(8, 8, 1, std::vector<uint8_t>(64, 100));
    bytes.insert(bytes.end(), jpg.begin(), jpg.end());
    TMemoryStream s(bytes);
    s.Seek(5);
    TJpegLoader loader;
    Recorder r;
    r.Attach(loader);
    ASSERT_TRUE(loader.Decode(&s));
    EXPECT_EQ(r.width, 8);
}

TEST(JpegLoader, ACallbackErrorPassesThroughAndTheLoaderRecovers) {
    const std::vector<uint8_t> jpg = MakeJpeg(16, 16, 3, ColourSamples(16, 16));
    TJpegLoader loader;
    int rows = 0;
    loader.onRow24 = [&](const uint8_t*, int32_t y) {
        if (y == 3) throw std::runtime_error("owner gave up");
        ++rows;
    };
    TMemoryStream s(jpg);
    EXPECT_THROW(loader.Decode(&s), std::runtime_error);
    EXPECT_EQ(rows, 3);
    loader.onRow24 = [&](const uint8_t*, int32_t) { ++rows; };
    TMemoryStream again(jpg);
    EXPECT_TRUE(loader.Decode(&again));
    EXPECT_EQ(rows, 19);
}

}  // namespace
}  // namespace zel
