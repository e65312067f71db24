// The WAV reader and the sound cache's decoders.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "base/MemStream.h"
#include "sound/OggWholeDecoder.h"
#include "sound/uWaveDataManager.h"

namespace zel {
namespace {

void Chunk(TMemoryStream& s, std::string_view id, std::string_view body, int64_t sizeField = -1) {
    s.WriteBytes(id);
    s.WriteU32(sizeField < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(sizeField));
    s.WriteBytes(body);
}

std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16) {
    TMemoryStream f;
    f.WriteU16(tag);
    f.WriteU16(channels);
    f.WriteU32(rate);
    f.WriteU32(rate * channels * bits / 8);
    f.WriteU16(static_cast<uint16_t>(channels * bits / 8));
    f.WriteU16(bits);
    f.SetSize(size);
    return f.ToString();
}

// A RIFF/WAVE file whose chunks are given after the form type; the RIFF size
// is whatever follows it.
std::string Wave(const std::vector<std::pair<std::string, std::string>>& chunks) {
    TMemoryStream body;
    body.WriteBytes("WAVE");
    for (const auto& [id, b] : chunks) Chunk(body, id, b);
    TMemoryStream s;
    Chunk(s, "RIFF", body.View());
    return s.ToString();
}

std::string Samples(std::initializer_list<int16_t> v) {
    TMemoryStream s;
    for (int16_t x : v) s.WriteI16(x);
    return s.ToString();
}

bool Read(std::string_view file, TWaveData& w) {
    return ReadWave(reinterpret_cast<const uint8_t*>(file.data()), file.size(), w);
}

TEST(WaveReader, ConvertsEveryAcceptedFormatTo44kStereo) {
    struct Case {
        uint16_t channels;
        uint32_t rate;
        std::string expected;
    };
    const std::string in = Samples({1, -2, 3, -4});
    const Case cases[] = {
        {2, 44100, Samples({1, -2, 3, -4})},
        {1, 44100, Samples({1, 1, -2, -2, 3, 3, -4, -4})},
        {2, 22050, Samples({1, -2, 1, -2, 3, -4, 3, -4})},
        {1, 22050, Samples({1, 1, 1, 1, -2, -2, -2, -2, 3, 3, 3, 3, -4, -4, -4, -4})},
    };
    for (const Case& c : cases) {
        TWaveData w;
        ASSERT_TRUE(Read(Wave({{"fmt ", Fmt(1, c.channels, c.rate, 16)}, {"data", in}}), w)) << c.channels << c.rate;
        EXPECT_EQ(std::string(w.pcm.begin(), w.pcm.end()), c.expected) << c.channels << " " << c.rate;
    }
    // 22050 Hz mono: n data bytes give 4n bytes of PCM.
    TWaveData w;
    ASSERT_TRUE(Read(Wave({{"fmt ", Fmt(1, 1, 22050, 16)}, {"data", std::string(1000, '\1')}}), w));
    EXPECT_EQ(w.pcm.size(), 4000u);
}

TEST(WaveReader, ChunkRules) {
    const std::string fmt = Fmt(1, 2, 44100, 16);
    const std::string data = Samples({5, 6});
    struct Case {
        const char* what;
        std::string file;
        bool ok;
        size_t pcm;
    };
    TMemoryStream noRiff;
    Chunk(noRiff, "fmt ", fmt);
    Chunk(noRiff, "data", data);
    TMemoryStream upper;
    Chunk(upper, "riff", "wave");
    Chunk(upper, "FMT ", fmt);
    Chunk(upper, "FACT", "1234");
    Chunk(upper, "DATA", data);
    TMemoryStream longData;  // data size past the end: the samples present, whole frames
    Chunk(longData, "fmt ", fmt);
    Chunk(longData, "data", data + "\1\2\3", 1000);
    TMemoryStream oddData;
    Chunk(oddData, "fmt ", fmt);
    Chunk(oddData, "data", data + "\1");
    TMemoryStream longFmt;
    Chunk(longFmt, "fmt ", fmt, 500);
    TMemoryStream longFact;
    Chunk(longFact, "fmt ", fmt);
    Chunk(longFact, "fact", "1234", 0xFFFFFFFF);
    Chunk(longFact, "data", data);
    const Case cases[] = {
        {"fact and extended fmt", Wave({{"fmt ", Fmt(1, 2, 44100, 16, 18)}, {"fact", "abcd"}, {"data", data}}), true, 4},
        {"no RIFF header", noRiff.ToString(), true, 4},
        {"identifiers in any case", upper.ToString(), true, 4},
        {"LIST before data", Wave({{"fmt ", fmt}, {"LIST", "INFOxxxx"}, {"data", data}}), false, 0},
        {"form type not WAVE", std::string("RIFF\4\0\0\0AVI ", 12), false, 0},
        {"not PCM", Wave({{"fmt ", Fmt(3, 2, 44100, 16)}, {"data", data}}), false, 0},
        {"three channels", Wave({{"fmt ", Fmt(1, 3, 44100, 16)}, {"data", data}}), false, 0},
        {"48 kHz", Wave({{"fmt ", Fmt(1, 2, 48000, 16)}, {"data", data}}), false, 0},
        {"8 bits", Wave({{"fmt ", Fmt(1, 2, 44100, 8)}, {"data", data}}), false, 0},
        {"short fmt", Wave({{"fmt ", Fmt(1, 2, 44100, 16, 14)}, {"data", data}}), false, 0},
        {"data before fmt", Wave({{"data", data}, {"fmt ", fmt}}), false, 0},
        {"fmt size past the end", longFmt.ToString(), false, 0},
        {"fact size past the end", longFact.ToString(), false, 0},
        {"data size past the end", longData.ToString(), true, 4},
        {"odd data size", oddData.ToString(), true, 4},
        {"no data chunk", Wave({{"fmt ", fmt}}), true, 0},
        {"empty", "", true, 0},
        {"a few stray bytes", "RIF", true, 0},
    };
    for (const Case& c : cases) {
        TWaveData w;
        w.pcm.assign(3, 0);
        EXPECT_EQ(Read(c.file, w), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(w.pcm.size(), c.pcm) << c.what;
        }
    }
}

TEST(WaveReader, StaysInsideTheBytesItIsGiven) {
    // The caller hands the reader one sound out of a bigger block: bytes
    // after it are not read even when the data chunk says there are more.
    TMemoryStream s;
    Chunk(s, "fmt ", Fmt(1, 2, 44100, 16));
    Chunk(s, "data", Samples({1, 2, 3, 4}), 8);
    const std::string file = s.ToString();
    TWaveData w;
    ASSERT_TRUE(ReadWave(reinterpret_cast<const uint8_t*>(file.data()), file.size() - 4, w));
    EXPECT_EQ(w.pcm.size(), 4u);
}

class TWaveCacheProbe : public TWaveDataManager {
public:
    using TWaveDataManager::Acquire;
};

std::string ReadTestFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(WaveCache, DecodesByExtensionAndSharesByKey) {
    TWaveCacheProbe cache;
    cache.SetBudget(1 << 20);
    const std::string wav = Wave({{"fmt ", Fmt(1, 1, 44100, 16)}, {"data", Samples({7, 8})}});
    TMemoryStream s(wav);
    const TWaveData* a = cache.Acquire(s, wav.size(), "Anim_Sound_Hit.WAV");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->pcm.size(), 8u);
    s.Seek(0);
    EXPECT_EQ(cache.Acquire(s, wav.size(), "anim_sound_hit.wav"), a);
    s.Seek(0);
    EXPECT_EQ(cache.Acquire(s, wav.size(), "anim_sound_hit.mp3"), nullptr);
    s.Seek(0);
    EXPECT_EQ(cache.Acquire(s, wav.size(), "anim_sound_hit.ogg"), nullptr);  // not Ogg
    cache.Release(a);
    cache.Release(a);
    EXPECT_EQ(cache.Entries()[0].size, 8u);
}

TEST(OggWhole, DecodesARealFileTo44kStereoPaddedToWholeKiB) {
    const std::string ogg = ReadTestFile(std::string(ZEL_TESTDATA_DIR) + "/ogg/bell.ogg");
    ASSERT_FALSE(ogg.empty());
    std::vector<uint8_t> pcm;
    std::string err;
    ASSERT_TRUE(DecodeOggWhole(reinterpret_cast<const uint8_t*>(ogg.data()), ogg.size(), pcm, &err)) << err;
    EXPECT_GE(pcm.size(), 0x8000u);
    EXPECT_EQ(pcm.size() % 1024, 0u);
    bool sound = false;
    for (uint8_t b : pcm) sound |= b != 0;
    EXPECT_TRUE(sound);

    // The declared length, rounded up to whole KiB; mono becomes stereo.
    struct Case {
        const char* file;
        size_t bytes;
    };
    for (const Case& c : {Case{"complete.ogg", 192512}, Case{"suspend-error.ogg", 210944}}) {
        const std::string f = ReadTestFile(std::string(ZEL_TESTDATA_DIR) + "/ogg/" + c.file);
        ASSERT_TRUE(DecodeOggWhole(reinterpret_cast<const uint8_t*>(f.data()), f.size(), pcm, &err)) << c.file;
        EXPECT_EQ(pcm.size(), c.bytes) << c.file;
    }
    const std::string hz96 = ReadTestFile(std::string(ZEL_TESTDATA_DIR) + "/ogg/camera-shutter.ogg");
    EXPECT_FALSE(DecodeOggWhole(reinterpret_cast<const uint8_t*>(hz96.data()), hz96.size(), pcm, &err));

    std::vector<uint8_t> untouched{1, 2};
    EXPECT_FALSE(DecodeOggWhole(reinterpret_cast<const uint8_t*>(ogg.data()), 200, untouched, &err));
    EXPECT_EQ(untouched.size(), 2u);
}

}  // namespace
}  // namespace zel
