// The effect channels: volumes, the restart guard, loading, swapping, and
// their records in save files.
#include <gtest/gtest.h>

#include "SoundFixtures.h"
#include "platform/Clock.h"
#include "sound/SoundDevice.h"
#include "sound/uSoundLib.h"

namespace zel {
namespace {

using test::TFileMap;

TEST(SoundLib, AttenuationTable) {
    const struct { int32_t volume, group, mB; } cases[] = {
        {255, 255, 0}, {128, 255, -299}, {0, 255, -10000}, {255, 0, -10000},
        {64, 255, -600}, {255, 128, -299}, {1, 255, -2407}, {128, 128, -600},
    };
    for (const auto& c : cases) EXPECT_EQ(AttenuationMb(c.volume, c.group), c.mB) << c.volume << "/" << c.group;
}

struct SeFixture : testing::Test {
    TDDSD7 dev{nullptr};
    TGroupVolumes groups{};
    TFixedStepClock clock{5000};
    TFileMap files;
    std::unique_ptr<TDSound> se;
    SeFixture() {
        groups.fill(255);
        files.Add("se\\click.ogg", test::MakeOgg(44100, 2, test::Tone(44100, 2, 0.3)));
        files.Add("se\\two.wav", test::SilentWav(2));
        files.Add("se\\ten.wav", test::SilentWav(10));
        files.Add("$$$voice.wav", test::SilentWav(0.1));
        files.Add("se\\broken.ogg", std::vector<uint8_t>(300, 'x'));
        se = std::make_unique<TDSound>(dev, groups, files.Files(), clock);
    }
    std::vector<int16_t> Render(size_t frames) {
        std::vector<int16_t> out(frames * 2);
        dev.Pull(out.data(), frames);
        return out;
    }
};

TEST_F(SeFixture, RestartGuardStartsFromNever) {
    // The clock starts at 0 here: a first start must not be taken for a restart.
    TFixedStepClock zero(0);
    TDSound s(dev, groups, files.Files(), zero);
    ASSERT_TRUE(s.Load(3, "se\\click.ogg", 0, false, 2));
    s.Play(3, false, 0);
    EXPECT_EQ(s.State(3), psPLAY);
    Render(4410);  // 100 ms in
    const size_t at = dev.Mixer().PlayCursor(3);
    zero.Advance(10);
    s.Play(3, false, 0);  // 10 ms after: ignored, playback goes on
    EXPECT_EQ(dev.Mixer().PlayCursor(3), at);
    zero.Advance(20);
    s.Play(3, false, 0);  // 30 ms after the first start: restarts
    EXPECT_EQ(dev.Mixer().PlayCursor(3), 0u);
}

TEST_F(SeFixture, LoadKeepsTheSameFileUnlessForcedOrPseudo) {
    ASSERT_TRUE(se->Load(0, "SE\\Click.ogg", 7, false, 2));
    EXPECT_EQ(se->FileName(0), "se\\click.ogg");
    EXPECT_EQ(files.opens, 1);
    se->Play(0, true, 0);
    EXPECT_TRUE(se->Load(0, "se\\click.ogg", 0, false, 2));
    EXPECT_EQ(files.opens, 1);
    EXPECT_EQ(se->State(0), psLOOP);  // not interrupted
    EXPECT_TRUE(se->Load(0, "se\\click.ogg", 0, true, 2));
    EXPECT_EQ(files.opens, 2);
    EXPECT_EQ(se->State(0), psSTOP);
    ASSERT_TRUE(se->Load(1, "$$$voice.wav", 0, false, 2));
    ASSERT_TRUE(se->Load(1, "$$$voice.wav", 0, false, 2));
    EXPECT_EQ(files.opens, 4);
    // Missing and undecodable files.
    EXPECT_FALSE(se->Load(2, "se\\none.ogg", 0, false, 2));
    EXPECT_FALSE(se->Load(2, "se\\broken.ogg", 0, false, 2));
    EXPECT_EQ(se->State(2), psNONE);
    EXPECT_EQ(se->FileName(2), "");
}

TEST_F(SeFixture, VolumeAndGroupApplyAtTheNextStart) {
    std::vector<uint8_t> pcm(4 * 100);
    for (size_t k = 0; k < 100; ++k) {
        pcm[4 * k + 0] = 0x10;  // 10000
        pcm[4 * k + 1] = 0x27;
        pcm[4 * k + 2] = 0x10;
        pcm[4 * k + 3] = 0x27;
    }
    ASSERT_TRUE(se->LoadFromMemory(4, pcm, false, 2, "anim"));
    se->Play(4, true, 0);
    EXPECT_EQ(Render(1)[0], 10000);
    se->SetVolume(4, 128);
    EXPECT_EQ(Render(1)[0], 10000);  // not yet
    clock.Advance(30);
    se->Play(4, true, 0);
    EXPECT_EQ(Render(1)[0], (10000 * GainFromMillibels(-299)) >> 16);
    groups[2] = 0;
    se->RefreshGroupVolumes();
    clock.Advance(30);
    se->Play(4, true, 0);
    EXPECT_EQ(Render(1)[0], 0);
}

TEST_F(SeFixture, ChannelsOutsideTheSetDoNothing) {
    for (int i : {-1, 15, 1000}) {
        EXPECT_FALSE(se->Load(i, "se\\click.ogg", 0, false, 2));
        se->Play(i, true, 0);
        se->SetVolume(i, 3);
        se->Swap(i, 0);
        EXPECT_EQ(se->State(i), psNONE);
        EXPECT_EQ(se->Volume(i), 255);
        EXPECT_EQ(se->FileName(i), "");
    }
    EXPECT_FALSE(dev.Mixer().HasWave(15));  // the stream's device channel is untouched
}

TEST_F(SeFixture, SwapExchangesPlayingChannels) {
    ASSERT_TRUE(se->Load(0, "se\\click.ogg", 0, false, 2));
    ASSERT_TRUE(se->Load(1, "se\\two.wav", 0, false, 1));
    se->SetVolume(0, 100);
    se->Play(0, true, 0);
    se->Swap(0, 1);
    EXPECT_EQ(se->FileName(1), "se\\click.ogg");
    EXPECT_EQ(se->Volume(1), 100);
    EXPECT_EQ(se->State(1), psSTOP);  // rebinding stops the device channel
    EXPECT_EQ(se->FileName(0), "se\\two.wav");
    EXPECT_EQ(se->Group(0), 1);
}

TEST_F(SeFixture, SavedStateRestartsLoopsAndLongOneShotsOnly) {
    ASSERT_TRUE(se->Load(0, "se\\click.ogg", 0, false, 2));
    ASSERT_TRUE(se->Load(1, "se\\two.wav", 0, false, 2));
    ASSERT_TRUE(se->Load(2, "se\\ten.wav", 0, false, 2));
    ASSERT_TRUE(se->LoadFromMemory(3, std::vector<uint8_t>(400), false, 2, "anim"));
    se->SetVolume(0, 77);
    se->Play(0, true, 0);
    se->Play(1, false, 0);
    se->Play(2, false, 0);
    se->Play(3, true, 0);
    TMemoryStream s;
    se->SaveState(s);
    ASSERT_EQ(s.Size(), 15 * kSeRecordBytes);
    EXPECT_EQ(s.Data()[132], psLOOP);

    TDSound other(dev, groups, files.Files(), clock);
    s.Rewind();
    other.ApplyState(TDSound::ReadState(s));
    EXPECT_EQ(other.State(0), psLOOP);
    EXPECT_EQ(other.Volume(0), 77);
    EXPECT_EQ(other.State(1), psSTOP);  // a 2-second effect is not replayed
    EXPECT_EQ(other.State(2), psPLAY);  // a 10-second one starts over
    EXPECT_EQ(other.State(3), psNONE);  // memory sounds are not restored
}

TEST(SeRecord, NamesAndGroupsAreBounded) {
    TMemoryStream s;
    WriteSeRecord(s, TSeRecord{});
    ASSERT_EQ(s.Size(), kSeRecordBytes);
    s.Data()[0] = 200;  // a length byte beyond the field
    s.Data()[133] = 0x00;
    s.Data()[134] = 0x10;  // group 4096
    s.Rewind();
    const TSeRecord r = ReadSeRecord(s);
    EXPECT_EQ(r.name.size(), 127u);
    EXPECT_EQ(r.group, 255);
    EXPECT_EQ(s.Position(), kSeRecordBytes);
    TMemoryStream shortRec(std::string(273, '\0'));
    EXPECT_THROW(ReadSeRecord(shortRec), EStreamError);
}

}  // namespace
}  // namespace zel
