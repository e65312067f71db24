// The sound mixer: one streaming music track and 15 looping effects rendered
// a device period (1024 frames) at a time, one half-buffer mix of the stream
// tracks, each as a share of the real time the sound lasts; and how long an
// effect takes from its play call to its first sample on the SDL device.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>

#include "BenchRatio.h"
#include "platform/Clock.h"
#include "sound/Sound.h"
#include "sound/SoundDevice.h"
#include "sound/SoundFixtures.h"

namespace zel {
namespace {

struct TScene {
    TDDSD7 dev{nullptr};
    TSystemClock clock;
    test::TFileMap files;
    std::unique_ptr<TSound> sound;
    TScene() {
        files.Add("bgm.ogg", test::MakeOgg(44100, 2, test::Tone(44100, 2, 8.0, 330)));
        files.Add("se.ogg", test::MakeOgg(44100, 2, test::Tone(44100, 2, 0.7, 880)));
        sound = std::make_unique<TSound>(dev, files.Files(), clock, 0x20000);
        sound->Streams().Load(0, "bgm.ogg", 0, false, 0);
        sound->Streams().Play(0, true);
        for (int i = 0; i < 15; ++i) {
            sound->Effects().Load(i, "se.ogg", 0, false, 2);
            sound->Effects().SetVolume(i, 40);
            sound->Effects().Play(i, true, i * 37);
        }
    }
};

constexpr size_t kPeriod = 1024;

void BM_Mix_1Stream_15Effects(benchmark::State& state) {
    TScene s;
    std::vector<int16_t> out(kPeriod * 2);
    for (auto _ : state) {
        s.dev.Pull(out.data(), kPeriod);  // includes the stream's refills as they fall due
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["period_ms"] = 1000.0 * kPeriod / 44100;
}
BENCHMARK(BM_Mix_1Stream_15Effects)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_MixHalf_1Track(benchmark::State& state) {
    TScene s;
    s.sound->Effects().ClearAll();
    for (auto _ : state) s.sound->Streams().Player().MixHalf();
    state.counters["half_ms"] = 1000.0 * 0x10000 / 176400;
}
BENCHMARK(BM_MixHalf_1Track)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// The SDL device (its dummy driver when there is no card) with a render
// callback that notes when the effect's first sample goes out.
class TWatchingOutput final : public IAudioOutput {
public:
    std::atomic<int64_t> firstSampleNs{0};
    std::atomic<bool> armed{false};
    bool Open(RenderFn render, std::string* err) override {
        return inner_->Open(
            [this, render](int16_t* out, size_t frames) {
                render(out, frames);
                if (!armed.load()) return;
                for (size_t k = 0; k < frames * 2; ++k)
                    if (out[k] != 0) {
                        firstSampleNs.store(Now());
                        armed.store(false);
                        return;
                    }
            },
            err);
    }
    void Close() override { inner_->Close(); }
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

private:
    std::unique_ptr<IAudioOutput> inner_ = MakeSdlAudioOutput();
};

void EffectLatency() {
    auto watch = std::make_unique<TWatchingOutput>();
    TWatchingOutput* w = watch.get();
    TDDSD7 dev(std::move(watch));
    dev.Initialize();
    if (dev.Silent()) {
        std::printf("effect start latency: no audio device could be opened\n");
        return;
    }
    TSystemClock clock;
    test::TFileMap files;
    files.Add("se.ogg", test::MakeOgg(44100, 2, test::Tone(44100, 2, 0.2, 880)));
    TSound sound(dev, files.Files(), clock, 0x20000);
    sound.Effects().Load(0, "se.ogg", 0, false, 2);
    double worst = 0, sum = 0;
    const int runs = 20;
    for (int r = 0; r < runs; ++r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(37 + r % 7));
        w->firstSampleNs.store(0);
        w->armed.store(true);
        const int64_t t0 = TWatchingOutput::Now();
        sound.Effects().Play(0, false, 0);
        while (w->armed.load()) std::this_thread::sleep_for(std::chrono::microseconds(200));
        const double ms = double(w->firstSampleNs.load() - t0) / 1e6;
        worst = std::max(worst, ms);
        sum += ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));  // let it end
    }
    std::printf("effect start latency (play call to first sample in a device period, SDL driver %s): "
                "mean %.1f ms, worst %.1f ms over %d starts\n",
                SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "?", sum / runs, worst, runs);
}

}  // namespace
}  // namespace zel

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zel::bench::RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    const double period = 1e9 * 1024 / 44100, half = 1e9 * 0x10000 / 176400;
    if (rep.times.count("BM_Mix_1Stream_15Effects"))
        std::printf("mix of 1 stream + 15 effects: %.2f %% of real time (one core)\n",
                    100.0 * rep.times["BM_Mix_1Stream_15Effects"] * 1e3 / period);
    if (rep.times.count("BM_MixHalf_1Track"))
        std::printf("MixHalf of one track: %.2f %% of the half's real time\n",
                    100.0 * rep.times["BM_MixHalf_1Track"] * 1e3 / half);
    zel::EffectLatency();
    benchmark::Shutdown();
    return 0;
}
