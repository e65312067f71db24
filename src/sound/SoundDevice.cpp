#include "sound/SoundDevice.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "base/ErrorLog.h"
#include "base/Sjis.h"

namespace zel {

TDDSD7::TDDSD7(std::unique_ptr<IAudioOutput> output, int channelCount)
    : mixer_(channelCount), output_(std::move(output)), pulled_(!output_) {
    mixer_.SetSynchronousRefill(pulled_);
}

TDDSD7::~TDDSD7() {
    if (output_) output_->Close();
    stopPump_.store(true);
    if (pump_.joinable()) pump_.join();
}

bool TDDSD7::Initialize() {
    if (init_) return true;
    init_ = true;
    if (pulled_) return true;
    std::string err;
    if (output_->Open([this](int16_t* out, size_t frames) { mixer_.Render(out, frames); }, &err)) {
        playing_ = true;
        return true;
    }
    const std::string text = "no sound device could be opened (" + err + "); the game plays on without sound";
    std::fprintf(stderr, "zel: %s\n", text.c_str());
    LogLine(text);
    output_.reset();
    pump_ = std::thread([this] { Pump(); });
    return true;
}

// Renders in real time into nothing, so the mixer's clock goes on.
void TDDSD7::Pump() {
    using Clock = std::chrono::steady_clock;
    std::vector<int16_t> scratch(2 * 1024);
    const auto start = Clock::now();
    uint64_t done = 0;
    while (!stopPump_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
        const uint64_t due = static_cast<uint64_t>(us) * kMixRate / 1000000;
        while (done < due && !stopPump_.load()) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(due - done, 1024));
            mixer_.Render(scratch.data(), n);
            done += n;
        }
    }
}

bool TDDSD7::CheckChannel(int i) const {
    if (mixer_.ValidChannel(i)) return true;
    ReportError(Sj("チャンネル番号") + std::to_string(i) + Sj("は無効です、0～") +
                std::to_string(mixer_.ChannelCount() - 1) + Sj("の範囲で指定してください"));
    return false;
}

}  // namespace zel
