// Stream tracks: loop tags, conversion, the volume ramp, positions, silence
// skipping, and the shipped Ogg files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "SoundFixtures.h"
#include "base/Errors.h"
#include "platform/Clock.h"
#include "sound/OggDataLib.h"
#include "sound/OggWholeDecoder.h"

namespace zel {
namespace {

using test::MakeOgg;
using test::Tone;

std::shared_ptr<const std::vector<uint8_t>> Shared(std::vector<uint8_t> v) {
    return std::make_shared<const std::vector<uint8_t>>(std::move(v));
}

TEST(LoopTags, Parse) {
    const struct {
        const char* text;
        int slot;
        double start, trigger;
        int32_t limit;
    } cases[] = {
        {"*looptime,0,1.5,10.0", 0, 1.5, 10.0, -1},
        {"*LoopTime, 2 , 1.5,\t10.0, 2 // two jumps", 2, 1.5, 10.0, 2},
        {"*loopsample,1,22050,88200,3", 1, 0.5, 2.0, 3},
        {"*looptime,,,,", 0, 0, 0, -1},
        {"*looptime,3,abc,nan,x", 3, 0, 0, -1},
        {"*looptime,15,\"1\",2", 15, 0, 2.0, -1},
    };
    for (const auto& c : cases) {
        TLoopSlots s{};
        ParseLoopTags(c.text, 44100, s);
        EXPECT_DOUBLE_EQ(s[c.slot].start, c.start) << c.text;
        EXPECT_DOUBLE_EQ(s[c.slot].trigger, c.trigger) << c.text;
        EXPECT_EQ(s[c.slot].limit, c.limit) << c.text;
    }
    // Slots 16 and -1, other words and empty text change nothing; lines are CR LF.
    TLoopSlots s{};
    ParseLoopTags("*looptime,16,1,2\r\n*looptime,-1,1,2\r\n*loop,0,1,2\r\n\r\n*looptime,4,1,2", 44100, s);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(s[k].limit, k == 4 ? -1 : 0) << k;
}

// A file of `seconds` at 44100 Hz stereo whose amplitude rises with time,
// so a position can be read back from the level of what is heard.
std::vector<uint8_t> RisingFile(double seconds, const std::vector<std::string>& comments = {}) {
    return MakeOgg(44100, 2, Tone(44100, 2, seconds, 441, [&](double t) { return 0.1 + 0.8 * t / seconds; }),
                   comments);
}

struct Played {
    std::vector<double> times;  // decoder time before each chunk
    size_t bytes = 0;
    int chunks = 0;
};

// Plays a track chunk by chunk until it stops (at most maxChunks).
Played PlayOut(TOggData& t, int maxChunks = 2000) {
    Played p;
    std::vector<int16_t> buf(t.HalfBytes() / 2);
    while (t.State() >= 2 && p.chunks < maxChunks) {
        p.times.push_back(t.DecoderTime());
        p.bytes += t.DecodeChunk(buf.data(), t.HalfBytes(), 0);
        ++p.chunks;
    }
    return p;
}

int Jumps(const std::vector<double>& times) {
    int n = 0;
    for (size_t k = 1; k < times.size(); ++k) n += times[k] < times[k - 1];
    return n;
}

TEST(OggData, LoopSlotJumpsTwiceThenPlaysToTheEnd) {
    TOggData t(0x8000);
    ASSERT_TRUE(t.Open(Shared(RisingFile(3.0, {"COMMENT=*looptime,0,0.5,2.0,2"}))));
    EXPECT_EQ(t.LoopSlots()[0].limit, 2);
    t.Play(false);
    const Played p = PlayOut(t);
    EXPECT_EQ(Jumps(p.times), 2);
    // 2.0 s, twice 1.5 s from the loop start, then the last second.
    EXPECT_NEAR(double(p.bytes) / 176400, 6.0, 0.01);
    EXPECT_EQ(t.State(), 1);
    EXPECT_NEAR(t.DecoderTime(), 0.0, 1e-6);  // rewound at the end
}

TEST(OggData, UnlimitedLoopSlotAndLoopedFile) {
    TOggData t(0x8000);
    ASSERT_TRUE(t.Open(Shared(RisingFile(2.0, {"comment=*looptime,0,0.25,1.5"}))));
    t.Play(false);
    Played p = PlayOut(t, 200);  // 200 chunks of 0.093 s: never ends
    EXPECT_EQ(t.State(), 2);
    EXPECT_GE(Jumps(p.times), 10);
    for (double x : p.times) EXPECT_LE(x, 1.5 + 0.1);
    // A slot limited to one jump on a looped file jumps again each round,
    // because passing its trigger resets its count.
    TOggData u(0x8000);
    ASSERT_TRUE(u.Open(Shared(RisingFile(1.0, {"COMMENT=*looptime,0,0.2,0.6,1"}))));
    u.Play(true);
    p = PlayOut(u, 60);  // about 5.6 s: rounds of 0.6 + 0.8 s
    EXPECT_EQ(Jumps(p.times), 7);
}

TEST(OggData, ConvertsEachAcceptedFormatAtTheRightPitchAndLength) {
    for (int rate : {44100, 22050})
        for (int ch : {1, 2}) {
            TOggData t(0x8000);
            ASSERT_TRUE(t.Open(Shared(MakeOgg(rate, ch, Tone(rate, ch, 1.0, 441)))));
            EXPECT_EQ(t.Rate(), rate);
            t.Play(false);
            std::vector<int16_t> all;
            std::vector<int16_t> buf(t.HalfBytes() / 2);
            while (t.State() == 2) {
                const size_t n = t.DecodeChunk(buf.data(), t.HalfBytes(), 0);
                all.insert(all.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n / 2));
            }
            EXPECT_NEAR(double(all.size()) / 2 / 44100, 1.0, 0.002) << rate << "/" << ch;
            int crossings = 0;  // 441 Hz: 882 sign changes a second, both channels alike
            for (size_t f = 2; f + 1 < all.size(); f += 2) {
                crossings += (all[f - 2] < 0) != (all[f] < 0);
                ASSERT_EQ(all[f], all[f + 1]);
            }
            EXPECT_NEAR(crossings, 882, 10) << rate << "/" << ch;
        }
}

TEST(OggData, FadeToSilenceStopsTheTrack) {
    TOggData t(0x8000);
    ASSERT_TRUE(t.Open(Shared(RisingFile(4.0))));
    t.Play(true);
    t.SetVolumeRamp(1.0, 0.0);
    const Played p = PlayOut(t, 100);
    EXPECT_EQ(t.State(), 1);
    EXPECT_NEAR(p.chunks * 0.0929, 1.0, 0.2);
    // At full volume the gain is 254/256, as in whole-file decoding.
    const std::vector<uint8_t> file = RisingFile(0.5);
    std::vector<uint8_t> whole;
    ASSERT_TRUE(DecodeOggWhole(file.data(), file.size(), whole));
    TOggData u(0x8000);
    ASSERT_TRUE(u.Open(Shared(file)));
    u.Play(false);
    std::vector<int16_t> buf(u.HalfBytes() / 2);
    u.DecodeChunk(buf.data(), u.HalfBytes(), 0);
    ASSERT_EQ(std::memcmp(buf.data(), whole.data(), u.HalfBytes()), 0);
    // Twice the volume clips at 32766.
    u.SetVolumeRamp(0, 2.0);
    u.Seek(0.45);
    u.DecodeChunk(buf.data(), u.HalfBytes(), 0);
    EXPECT_EQ(*std::max_element(buf.begin(), buf.end()), 32766);
}

TEST(OggData, HeardStateOutlastsTheEnd) {
    TOggData t(0x8000);
    ASSERT_TRUE(t.Open(Shared(RisingFile(0.15))));
    t.Play(false);
    std::vector<int16_t> buf(t.HalfBytes() / 2);
    t.DecodeChunk(buf.data(), t.HalfBytes(), 0);
    t.DecodeChunk(buf.data(), t.HalfBytes(), 0);  // reaches the end
    EXPECT_EQ(t.State(), 1);
    EXPECT_EQ(t.HeardState(), 2);
    t.DecodeChunk(buf.data(), t.HalfBytes(), 0);
    EXPECT_EQ(t.HeardState(), 1);
}

TEST(OggData, PositionsAndLevelFollowTheClock) {
    TFixedStepClock clock(10000);
    TOggData t(0x8000, &clock);  // 0.186 s of buffer
    ASSERT_TRUE(t.Open(Shared(RisingFile(2.0))));
    EXPECT_NEAR(t.TotalTime(), 2.0, 0.001);
    t.Seek(1.0);
    t.Play(false);
    t.DecodeNextHalf(0);
    t.DecodeNextHalf(0);
    // Decoded to 1.186 s; nothing heard of it yet.
    EXPECT_NEAR(t.DecoderTime(), 1.186, 0.002);
    EXPECT_NEAR(t.AudiblePosition(), 1.0, 0.002);
    clock.Advance(50);
    EXPECT_NEAR(t.AudiblePosition(), 1.05, 0.002);
    const double level = t.Level(2);
    EXPECT_GT(level, 0.2);
    EXPECT_LT(level, 0.5);
    clock.Advance(1000);
    EXPECT_EQ(t.Level(0), 0);  // past the buffer
}

TEST(OggData, SkipSilenceStopsBeforeTheFirstSound) {
    TOggData t(0x8000);
    std::vector<int16_t> pcm(44100 * 2, 0);
    const auto tone = Tone(44100, 2, 1.0);
    pcm.insert(pcm.end(), tone.begin(), tone.end());
    ASSERT_TRUE(t.Open(Shared(MakeOgg(44100, 2, pcm))));
    t.SkipSilence(100);
    EXPECT_NEAR(t.DecoderTime(), 0.8, 0.01);
    // All silence: back to the start.
    TOggData u(0x8000);
    ASSERT_TRUE(u.Open(Shared(MakeOgg(44100, 2, std::vector<int16_t>(44100 * 2, 0)))));
    u.Seek(0.5);
    u.SkipSilence(100);
    EXPECT_NEAR(u.DecoderTime(), 0.0, 0.01);
}

TEST(OggData, RefusesWhatIsNotOggVorbis) {
    TOggData t(0x8000);
    EXPECT_FALSE(t.Open(std::shared_ptr<const std::vector<uint8_t>>()));
    EXPECT_THROW(t.Open(Shared(std::vector<uint8_t>(500, 'O'))), EZelError);
    EXPECT_FALSE(t.Loaded());
    // A file cut short, even looped, ends instead of spinning on its end.
    std::vector<uint8_t> f = RisingFile(2.0);
    f.resize(f.size() / 2);
    ASSERT_TRUE(t.Open(Shared(f)));
    t.Play(true);
    PlayOut(t, 400);
    EXPECT_EQ(t.State(), 1);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(OggData, SharedTestFiles) {
    const struct { const char* name; int channels, rate; int64_t frames; } files[] = {
        {"bell.ogg", 2, 44100, 6151},
        {"complete.ogg", 2, 44100, 48022},
        {"camera-shutter.ogg", 2, 96000, 83734},
        {"phone-outgoing-calling.ogg", 1, 8000, 9505},
        {"dialog-information.ogg", 0, 0, 0},
        {"suspend-error.ogg", 0, 0, 0},
    };
    for (const auto& f : files) {
        const std::vector<uint8_t> bytes = ReadFile(std::string(ZEL_TESTDATA_DIR) + "/ogg/" + f.name);
        ASSERT_FALSE(bytes.empty()) << f.name;
        TOggData t(0x8000);
        ASSERT_TRUE(t.Open(Shared(bytes))) << f.name;
        if (f.rate) {
            EXPECT_EQ(t.Channels(), f.channels) << f.name;
            EXPECT_EQ(t.Rate(), f.rate) << f.name;
            EXPECT_NEAR(t.TotalTime(), double(f.frames) / f.rate, 1e-3) << f.name;
        }
        t.Play(false);
        const Played p = PlayOut(t, 100);
        EXPECT_EQ(t.State(), 1) << f.name;  // ends (or, for rates it cannot play, stops at once)
        if (t.Rate() == 44100 || t.Rate() == 22050)
            EXPECT_NEAR(double(p.bytes) / 176400, t.TotalTime(), 0.001) << f.name;
        else
            EXPECT_EQ(p.bytes, 0u) << f.name;
    }
}

}  // namespace
}  // namespace zel
