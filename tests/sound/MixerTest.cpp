// The software mixer: static voices, streaming rings and their workers.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "sound/Mixer.h"
#include "sound/SoundDevice.h"

namespace zel {
namespace {

// A static wave whose frame k holds (k + 1, -(k + 1)).
TWavePtr Ramp(TSoundMixer& m, size_t frames) {
    std::vector<int16_t> pcm(frames * 2);
    for (size_t k = 0; k < frames; ++k) {
        pcm[2 * k] = static_cast<int16_t>(k + 1);
        pcm[2 * k + 1] = static_cast<int16_t>(-int(k + 1));
    }
    TWavePtr w = m.CreateWave(frames * kFrameBytes, false);
    m.WriteWave(*w, 0, pcm.data(), pcm.size() * 2);
    return w;
}

std::vector<int16_t> Render(TSoundMixer& m, size_t frames) {
    std::vector<int16_t> out(frames * 2, 7);
    m.Render(out.data(), frames);
    return out;
}

TEST(Mixer, GainFromMillibels) {
    const struct { int32_t mB, gain; } cases[] = {
        {0, 65536}, {10, 65536}, {-10000, 0}, {-12000, 0}, {-2000, 6554}, {-602, 32770}, {-299, 46449},
    };
    for (const auto& c : cases) EXPECT_EQ(GainFromMillibels(c.mB), c.gain) << c.mB;
}

TEST(Mixer, OneShotPlaysOnceThenStops) {
    TSoundMixer m(4);
    m.SetWave(1, Ramp(m, 100));
    m.PlayOnceAt(1, 10 * kFrameBytes);
    EXPECT_EQ(m.Status(1), TSoundMixer::kPlaying);
    const auto out = Render(m, 120);
    for (size_t k = 0; k < 90; ++k) ASSERT_EQ(out[2 * k], int16_t(k + 11)) << k;
    for (size_t k = 90; k < 120; ++k) ASSERT_EQ(out[2 * k], 0) << k;
    EXPECT_EQ(m.Status(1), 0);
    EXPECT_EQ(m.FramesRendered(), 120u);
}

TEST(Mixer, LoopWrapsAndSharedWavesSum) {
    TSoundMixer m(4);
    TWavePtr w = Ramp(m, 10);
    m.SetWave(0, w);
    m.SetWave(2, w);  // a second channel on the same PCM keeps its own cursor
    m.PlayLoopFromStart(0);
    m.PlayOnceAt(2, 5 * kFrameBytes);
    EXPECT_EQ(m.Status(0), TSoundMixer::kPlaying | TSoundMixer::kLooping);
    const auto out = Render(m, 25);
    for (size_t k = 0; k < 25; ++k) {
        const int a = int(k % 10) + 1, b = k < 5 ? int(k) + 6 : 0;
        ASSERT_EQ(out[2 * k], a + b) << k;
        ASSERT_EQ(out[2 * k + 1], -(a + b)) << k;
    }
}

TEST(Mixer, OffsetsPastTheEndAndBadChannelsAreHarmless) {
    TSoundMixer m(2);
    m.SetWave(0, Ramp(m, 10));
    m.PlayOnceAt(0, 1u << 30);
    EXPECT_EQ(Render(m, 4), std::vector<int16_t>(8, 0));
    m.PlayLoopAt(0, 1u << 30);  // a loop from past the end starts over
    EXPECT_EQ(Render(m, 1)[0], 1);
    for (int ch : {-1, 2, 99}) {
        m.SetWave(ch, Ramp(m, 4));
        m.PlayLoopFromStart(ch);
        m.SetVolume(ch, -100);
        EXPECT_EQ(m.Status(ch), 0);
        EXPECT_EQ(m.PlayCursor(ch), 0u);
    }
}

TEST(Mixer, VolumePanAndClipping) {
    TSoundMixer m(3);
    std::vector<int16_t> loud(200, 30000);
    TWavePtr w = m.CreateWave(400, false);
    m.WriteWave(*w, 0, loud.data(), 400);
    m.SetWave(0, w);
    m.SetWave(1, w);
    m.PlayLoopFromStart(0);
    m.PlayLoopFromStart(1);
    auto out = Render(m, 4);
    EXPECT_EQ(out[0], 32767);  // two full voices clip
    m.Stop(1);
    m.SetVolume(0, -10000);
    EXPECT_EQ(Render(m, 4), std::vector<int16_t>(8, 0));
    m.SetVolume(0, 0);
    m.SetPan(0, 10000);  // right only
    out = Render(m, 2);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 30000);
    m.SetPan(0, -2000);  // right at a tenth
    out = Render(m, 2);
    EXPECT_EQ(out[0], 30000);
    EXPECT_EQ(out[1], (30000 * 6554) >> 16);
}

// A ring whose worker writes the half's number into every sample of it.
struct TCountingStream {
    TSoundMixer& m;
    std::atomic<int> refills{0};
    std::vector<size_t> offsets;  // worker thread only until the mixer is done
    TWavePtr wave;
    explicit TCountingStream(TSoundMixer& mixer, size_t bytes) : m(mixer) {
        wave = m.CreateWave(bytes, true, [this](TDDSDWaveData& w, int, size_t len, size_t off) {
            const int n = ++refills;
            offsets.push_back(off);
            std::vector<int16_t> fill(len / 2, static_cast<int16_t>(n));
            m.WriteWave(w, off, fill.data(), len);
        });
    }
    ~TCountingStream() { wave->StopWorker(); }
};

TEST(Mixer, StreamingRingRefillsTheHalfNotPlaying) {
    TSoundMixer m(16);
    m.SetSynchronousRefill(true);
    TCountingStream s(m, 4096);  // 1024 frames, halves of 512
    m.SetWave(15, s.wave);
    EXPECT_EQ(s.wave->BoundChannel(), 15);
    m.PlayLoopFromStart(15);
    // The first round plays the silence the ring was made with, and each
    // half is rewritten as soon as the cursor leaves it.
    std::vector<int16_t> out = Render(m, 512 * 6 + 100);
    for (size_t f = 0; f < 512 * 6 + 100; ++f) {
        const size_t half = f / 512;
        const int16_t want = half == 0 || half == 1 ? 0 : static_cast<int16_t>(half - 1);
        ASSERT_EQ(out[2 * f], want) << f;
    }
    EXPECT_EQ(s.refills.load(), 6);
    EXPECT_EQ(s.offsets, (std::vector<size_t>{0, 2048, 0, 2048, 0, 2048}));
    // A stopped ring asks for nothing.
    m.Stop(15);
    Render(m, 2048);
    EXPECT_EQ(s.refills.load(), 6);
    m.SetWave(15, nullptr);
    EXPECT_EQ(s.wave->BoundChannel(), -1);
}

TEST(Mixer, AsynchronousRefillsReachTheRing) {
    TSoundMixer m(2);
    TCountingStream s(m, 4096);
    m.SetWave(0, s.wave);
    m.PlayLoopFromStart(0);
    std::vector<int16_t> out(2 * 256);
    for (int i = 0; i < 40 && s.refills.load() < 4; ++i) {
        m.Render(out.data(), 256);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (int i = 0; i < 500 && s.refills.load() < 4; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GE(s.refills.load(), 4);
}

// A card that cannot be opened leaves a silent device that still keeps time.
class TBrokenOutput final : public IAudioOutput {
public:
    bool Open(RenderFn, std::string* err) override {
        *err = "no card";
        return false;
    }
    void Close() override {}
};

TEST(Mixer, DeviceWithoutCardRunsOnInSilence) {
    TDDSD7 dev(std::make_unique<TBrokenOutput>());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(dev.Initialize());
    EXPECT_TRUE(dev.Initialize());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no card"), std::string::npos);
    EXPECT_EQ(said.find("no card"), said.rfind("no card"));  // once
    EXPECT_TRUE(dev.Silent());
    for (int i = 0; i < 200 && dev.Mixer().FramesRendered() < 441; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(dev.Mixer().FramesRendered(), 441u);
    EXPECT_TRUE(dev.CheckChannel(15));
}

}  // namespace
}  // namespace zel
