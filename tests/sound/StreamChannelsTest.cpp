// The stream channels over a pulled sound device: mixing through the ring,
// swapping, channels outside the set, and saved states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "SoundFixtures.h"
#include "base/Errors.h"
#include "platform/Clock.h"
#include "sound/Sound.h"
#include "sound/SoundDevice.h"

namespace zel {
namespace {

struct StreamFixture : testing::Test {
    TDDSD7 dev{nullptr};
    TFixedStepClock clock{1000};
    test::TFileMap files;
    std::unique_ptr<TSound> sound;
    static constexpr size_t kLength = 0x8000;  // halves of 4096 frames
    StreamFixture() {
        files.Add("bgm\\loop.ogg", test::MakeOgg(44100, 2, test::Tone(44100, 2, 3.0)));
        files.Add("voice\\v1.ogg", test::MakeOgg(22050, 1, test::Tone(22050, 1, 0.5, 300)));
        files.Add("bgm\\fake.ogg", std::vector<uint8_t>(100, 1));
        sound = std::make_unique<TSound>(dev, files.Files(), clock, kLength);
    }
    TSSound& st() { return sound->Streams(); }
    // Renders ms of output with the clock moving along.
    std::vector<int16_t> Render(int ms) {
        std::vector<int16_t> out(static_cast<size_t>(ms) * 441 / 10 * 2);
        for (size_t at = 0; at < out.size(); at += 441 * 2) {
            dev.Pull(out.data() + at, std::min<size_t>(441, (out.size() - at) / 2));
            clock.Advance(10);
        }
        return out;
    }
    static double Peak(const std::vector<int16_t>& v, size_t from, size_t to) {
        int m = 0;
        for (size_t k = from * 2; k < to * 2 && k < v.size(); ++k) m = std::max(m, std::abs(int{v[k]}));
        return m;
    }
};

TEST_F(StreamFixture, PlaysThroughTheRingAHalfBehind) {
    ASSERT_TRUE(st().Load(0, "bgm\\loop.ogg", 0, false, 0));
    st().Play(0, true);
    EXPECT_EQ(st().State(0), psLOOP);
    const auto out = Render(500);
    // The first half of the ring (4096 frames) was silence when it started.
    EXPECT_EQ(Peak(out, 0, 4096), 0);
    EXPECT_GT(Peak(out, 8192, 12288), 15000);
    EXPECT_GT(st().AudibleMs(0), 150);
    EXPECT_LT(st().AudibleMs(0), 450);
    // Loading the same file again does not interrupt it.
    ASSERT_TRUE(st().Load(0, "BGM\\Loop.ogg", 0, false, 0));
    EXPECT_EQ(st().State(0), psLOOP);
    EXPECT_EQ(files.opens, 1);
}

TEST_F(StreamFixture, FadeOutEndsInTheStoppedState) {
    ASSERT_TRUE(st().Load(1, "bgm\\loop.ogg", 0, false, 0));
    st().Play(1, true);
    st().SetVolume(1, 0, 1000);
    EXPECT_EQ(st().TargetVolume(1), 0);
    EXPECT_EQ(st().Volume(1), 0);
    Render(1600);
    EXPECT_EQ(st().State(1), psSTOP);
}

TEST_F(StreamFixture, GroupVolumesScaleTheStream) {
    ASSERT_TRUE(st().Load(0, "bgm\\loop.ogg", 0, false, 0));
    st().Play(0, true);
    const double full = Peak(Render(400), 8192, 16000);
    sound->SetGroupVolume(0, 64);
    sound->ReapplyVolumes();
    const double low = Peak(Render(400), 9000, 17000);  // mixed halves ahead are heard first
    EXPECT_NEAR(low / full, 63.0 / 254, 0.02);  // G = 256 x (255 x 64 / 256) / 256
}

TEST_F(StreamFixture, SwappedChannelsKeepPlaying) {
    ASSERT_TRUE(st().Load(2, "bgm\\loop.ogg", 0, false, 0));
    ASSERT_TRUE(st().Load(5, "voice\\v1.ogg", 3, false, 1));
    st().Play(2, true);
    st().SetVolume(5, 100, 0);
    st().Swap(2, 5);
    EXPECT_EQ(st().FileName(5), "bgm\\loop.ogg");
    EXPECT_EQ(st().State(5), psLOOP);
    EXPECT_EQ(st().FileName(2), "voice\\v1.ogg");
    EXPECT_EQ(st().Volume(2), 100);
    EXPECT_EQ(st().Group(2), 1);
    const auto out = Render(400);
    EXPECT_GT(Peak(out, 8192, 16000), 15000);  // the mixer follows the swap
    st().Swap(5, 2);
    EXPECT_EQ(st().FileName(2), "bgm\\loop.ogg");
}

TEST_F(StreamFixture, ChannelsOutsideTheSetDoNothing) {
    for (int i : {-1, 16}) {
        EXPECT_FALSE(st().Load(i, "bgm\\loop.ogg", 0, false, 0));
        st().Play(i, true);
        st().SetVolume(i, 3, 0);
        st().Seek(i, 100);
        st().Swap(i, 0);
        EXPECT_EQ(st().State(i), 0);
        EXPECT_EQ(st().Volume(i), 255);
        EXPECT_EQ(st().TargetVolume(i), 255);
        EXPECT_EQ(st().TotalMs(i), 0);
        EXPECT_EQ(st().FileName(i), "");
    }
}

TEST_F(StreamFixture, LoadFailures) {
    EXPECT_FALSE(st().Load(0, "bgm\\none.ogg", 0, false, 0));
    EXPECT_EQ(st().FileName(0), "bgm\\none.ogg");  // the name asked for is kept
    EXPECT_EQ(st().State(0), 0);
    EXPECT_THROW(st().Load(0, "bgm\\fake.ogg", 0, false, 0), EZelError);
    EXPECT_EQ(st().State(0), 0);
}

TEST_F(StreamFixture, SavedStateResumesWithAFadeIn) {
    ASSERT_TRUE(st().Load(0, "bgm\\loop.ogg", 0, false, 0));
    ASSERT_TRUE(st().Load(1, "voice\\v1.ogg", 9, false, 1));
    st().SetVolume(0, 200, 0);
    st().SetVoiceAgc(1, 128);
    st().Play(0, true);
    st().Seek(1, 250);  // loaded, not playing
    Render(700);
    TMemoryStream s;
    sound->SaveState(s);
    ASSERT_EQ(s.Size(), 15 * kSeRecordBytes + 16 * kStreamRecordBytes);
    const float saved = [&] {
        float f;
        std::memcpy(&f, s.Data() + 15 * kSeRecordBytes + 1181, 4);
        return f;
    }();
    EXPECT_GT(saved, 0.3f);

    sound->StopAll();
    s.Rewind();
    sound->LoadState(s);
    EXPECT_EQ(st().State(0), psLOOP);
    EXPECT_NEAR(st().DecoderMs(0), saved * 1000, 30);
    EXPECT_EQ(st().Volume(0), 200);
    EXPECT_NEAR(st().Track(0)->CurrentVolume(), 0.0, 1e-9);
    EXPECT_NEAR(st().Track(0)->TargetVolume(), 200 / 255.0, 1e-6);
    EXPECT_EQ(st().State(1), psSTOP);
    EXPECT_NEAR(st().DecoderMs(1), 250, 30);
    EXPECT_EQ(st().Agc(1), (std::array<int32_t, 4>{128, 255, 50, 7}));
    Render(1000);  // one second into the two-second fade
    const double v = st().Track(0)->CurrentVolume();
    EXPECT_GT(v, 0.2);
    EXPECT_LT(v, 0.6);
}

TEST_F(StreamFixture, DamagedStatesChangeNothing) {
    ASSERT_TRUE(st().Load(0, "bgm\\loop.ogg", 0, false, 0));
    st().Play(0, true);
    TMemoryStream good;
    sound->SaveState(good);
    for (size_t off : {size_t{15 * kSeRecordBytes + 145}, size_t{15 * kSeRecordBytes + 1181}}) {
        TMemoryStream bad(good.Bytes());
        const float nan = std::nanf("");
        std::memcpy(bad.Data() + off, &nan, 4);
        EXPECT_THROW(sound->LoadState(bad), EStreamError) << off;
        EXPECT_EQ(bad.Position(), 0u);
        EXPECT_EQ(st().State(0), psLOOP) << off;
    }
    TMemoryStream shortState(std::string(good.View().substr(0, good.Size() - 1)));
    EXPECT_THROW(sound->LoadState(shortState), EStreamError);
    EXPECT_EQ(st().State(0), psLOOP);
}

TEST(StreamRecord, RoundTripAndBounds) {
    TStreamRecord r;
    r.name = std::string(200, 'a');
    r.group = 7;
    r.bands[3] = 0.5f;
    r.position = 12.5f;
    TMemoryStream s;
    WriteStreamRecord(s, r);
    ASSERT_EQ(s.Size(), kStreamRecordBytes);
    s.Data()[1169] = 0;
    s.Data()[1170] = 1;  // group 256
    s.Rewind();
    const TStreamRecord b = ReadStreamRecord(s);
    EXPECT_EQ(b.name, std::string(127, 'a'));
    EXPECT_EQ(b.group, 255);
    EXPECT_EQ(b.bands[3], 0.5f);
    EXPECT_EQ(b.position, 12.5f);
}

}  // namespace
}  // namespace zel
