#include "sound/Mixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace zel {

int32_t GainFromMillibels(int32_t mB) {
    if (mB <= -10000) return 0;
    if (mB >= 0) return 65536;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, mB / 2000.0)));
}

// ---- wave buffers ----------------------------------------------------------

TDDSDWaveData::TDDSDWaveData(TSoundMixer& mixer, size_t bytes, bool streaming, RefillFn refill)
    : mixer_(mixer), samples_(bytes / kFrameBytes * 2, 0), streaming_(streaming), refill_(std::move(refill)) {
    if (streaming_) worker_ = std::thread([this] { Work(); });
}

TDDSDWaveData::~TDDSDWaveData() { StopWorker(); }

void TDDSDWaveData::StopWorker() {
    {
        std::lock_guard<std::mutex> l(m_);
        stop_ = true;
        done_ = posted_;
    }
    wake_.notify_all();
    doneCv_.notify_all();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

uint64_t TDDSDWaveData::Post(size_t offset) {
    std::lock_guard<std::mutex> l(m_);
    if (stop_) return done_;
    pending_.push_back(offset);
    ++posted_;
    wake_.notify_one();
    return posted_;
}

void TDDSDWaveData::WaitDone(uint64_t ticket) {
    std::unique_lock<std::mutex> l(m_);
    // A refill that never comes (a callback stuck on a broken file) must not
    // hang the frame loop: two seconds are far beyond any half's decoding.
    doneCv_.wait_for(l, std::chrono::seconds(2), [&] { return done_ >= ticket || stop_; });
}

void TDDSDWaveData::Work() {
    std::unique_lock<std::mutex> l(m_);
    while (!stop_) {
        if (pending_.empty()) {
            // Post and StopWorker change what is waited for under the lock and
            // then notify, so the worker sleeps until there is work.
            wake_.wait(l, [this] { return stop_ || !pending_.empty(); });
            continue;
        }
        const size_t offset = pending_.front();
        pending_.pop_front();
        l.unlock();
        const int ch = bound_.load();
        if (refill_ && ch >= 0 && mixer_.WavePlaying(*this)) refill_(*this, ch, HalfSize(), offset);
        l.lock();
        ++done_;
        doneCv_.notify_all();
    }
}

// ---- mixer -----------------------------------------------------------------

namespace {
constexpr size_t kPiece = 1024;  // frames mixed under one hold of the lock
}

TSoundMixer::TSoundMixer(int channelCount) : voices_(static_cast<size_t>(std::max(channelCount, 1))) {
    acc_.resize(kPiece * 2);
    crossed_.reserve(voices_.size());
}

TSoundMixer::~TSoundMixer() {
    std::vector<TWavePtr> waves;
    {
        std::lock_guard<std::mutex> l(lock_);
        for (TVoice& v : voices_) waves.push_back(std::move(v.wave));
    }
    // Waves whose last owner was the mixer end their workers here, outside the
    // lock that a refill in progress may be waiting for.
    for (TWavePtr& w : waves)
        if (w) w->StopWorker();
}

TWavePtr TSoundMixer::CreateWave(size_t bytes, bool streaming, TDDSDWaveData::RefillFn refill) {
    if (streaming) bytes = bytes / (2 * kFrameBytes) * (2 * kFrameBytes);  // two whole halves
    return std::make_shared<TDDSDWaveData>(*this, bytes, streaming, std::move(refill));
}

void TSoundMixer::WriteWave(TDDSDWaveData& wave, size_t offset, const void* bytes, size_t length) {
    std::lock_guard<std::mutex> l(lock_);
    const size_t size = wave.Size();
    if (size == 0) return;
    auto* dst = reinterpret_cast<uint8_t*>(wave.samples_.data());
    const auto* src = static_cast<const uint8_t*>(bytes);
    offset %= size;
    length = std::min(length, size);
    const size_t first = std::min(length, size - offset);
    std::memcpy(dst + offset, src, first);
    std::memcpy(dst, src + first, length - first);
}

void TSoundMixer::SetWave(int ch, TWavePtr wave) {
    if (!ValidChannel(ch)) return;
    TWavePtr old;
    {
        std::lock_guard<std::mutex> l(lock_);
        TVoice& v = voices_[static_cast<size_t>(ch)];
        if (v.wave == wave) return;
        v.playing = false;
        v.cursor = 0;
        if (v.wave && v.wave->streaming_) v.wave->bound_.store(-1);
        old = std::move(v.wave);
        v.wave = std::move(wave);
        if (v.wave && v.wave->streaming_) v.wave->bound_.store(ch);
    }
    // Dropped outside the lock: a streaming wave's worker may be refilling.
    if (old && old.use_count() == 1) old->StopWorker();
}

void TSoundMixer::Stop(int ch) {
    if (!ValidChannel(ch)) return;
    std::lock_guard<std::mutex> l(lock_);
    voices_[static_cast<size_t>(ch)].playing = false;
}

void TSoundMixer::Start(int ch, size_t byteOffset, bool loop) {
    if (!ValidChannel(ch)) return;
    std::lock_guard<std::mutex> l(lock_);
    TVoice& v = voices_[static_cast<size_t>(ch)];
    if (!v.wave) return;
    const size_t frames = v.wave->samples_.size() / 2;
    v.cursor = std::min(byteOffset / kFrameBytes, frames);
    if (loop && v.cursor >= frames) v.cursor = 0;
    v.loop = loop || v.wave->streaming_;  // a ring always plays round
    v.playing = frames > 0;
}

void TSoundMixer::PlayOnceAt(int ch, size_t byteOffset) { Start(ch, byteOffset, false); }
void TSoundMixer::PlayLoopAt(int ch, size_t byteOffset) { Start(ch, byteOffset, true); }

void TSoundMixer::UpdateGains(TVoice& v) {
    const int32_t g = GainFromMillibels(v.mB);
    v.gainL = v.pan > 0 ? static_cast<int32_t>(int64_t{g} * GainFromMillibels(-v.pan) >> 16) : g;
    v.gainR = v.pan < 0 ? static_cast<int32_t>(int64_t{g} * GainFromMillibels(v.pan) >> 16) : g;
}

void TSoundMixer::SetVolume(int ch, int32_t millibels) {
    if (!ValidChannel(ch)) return;
    std::lock_guard<std::mutex> l(lock_);
    TVoice& v = voices_[static_cast<size_t>(ch)];
    v.mB = std::clamp(millibels, -10000, 0);
    UpdateGains(v);
}

void TSoundMixer::SetPan(int ch, int32_t pan) {
    if (!ValidChannel(ch)) return;
    std::lock_guard<std::mutex> l(lock_);
    TVoice& v = voices_[static_cast<size_t>(ch)];
    v.pan = std::clamp(pan, -10000, 10000);
    UpdateGains(v);
}

uint8_t TSoundMixer::Status(int ch) const {
    if (!ValidChannel(ch)) return 0;
    std::lock_guard<std::mutex> l(lock_);
    const TVoice& v = voices_[static_cast<size_t>(ch)];
    if (!v.playing) return 0;
    return static_cast<uint8_t>(kPlaying | (v.loop ? kLooping : 0));
}

size_t TSoundMixer::PlayCursor(int ch) const {
    if (!ValidChannel(ch)) return 0;
    std::lock_guard<std::mutex> l(lock_);
    return voices_[static_cast<size_t>(ch)].cursor * kFrameBytes;
}

bool TSoundMixer::HasWave(int ch) const {
    if (!ValidChannel(ch)) return false;
    std::lock_guard<std::mutex> l(lock_);
    return voices_[static_cast<size_t>(ch)].wave != nullptr;
}

bool TSoundMixer::WavePlaying(const TDDSDWaveData& wave) const {
    std::lock_guard<std::mutex> l(lock_);
    const int ch = wave.bound_.load();
    return ch >= 0 && ch < ChannelCount() && voices_[static_cast<size_t>(ch)].wave.get() == &wave &&
           voices_[static_cast<size_t>(ch)].playing;
}

// Mixes at most `frames` into acc_, stopping at the next half boundary of a
// playing ring, and hands the halves crossed to their workers. Lock held.
size_t TSoundMixer::MixPiece(size_t frames) {
    size_t n = std::min(frames, kPiece);
    for (const TVoice& v : voices_) {
        if (!v.playing || !v.wave->streaming_) continue;
        const size_t half = v.wave->samples_.size() / 4;
        if (half > 0) n = std::min(n, half - v.cursor % half);
    }
    std::fill(acc_.begin(), acc_.begin() + static_cast<std::ptrdiff_t>(n * 2), 0);
    for (TVoice& v : voices_) {
        if (!v.playing) continue;
        const int16_t* pcm = v.wave->samples_.data();
        const size_t total = v.wave->samples_.size() / 2;
        const int32_t gl = v.gainL, gr = v.gainR;
        size_t done = 0;
        while (done < n) {
            if (v.cursor >= total) {
                if (!v.loop) {
                    v.playing = false;
                    v.cursor = 0;
                    break;
                }
                v.cursor = 0;
            }
            const size_t run = std::min(n - done, total - v.cursor);
            const int16_t* s = pcm + v.cursor * 2;
            int32_t* a = acc_.data() + done * 2;
            if (gl | gr) {
                for (size_t k = 0; k < run; ++k) {
                    a[2 * k] += (s[2 * k] * gl) >> 16;
                    a[2 * k + 1] += (s[2 * k + 1] * gr) >> 16;
                }
            }
            v.cursor += run;
            done += run;
        }
        if (v.playing && v.wave->streaming_) {
            const size_t half = total / 2;
            if (v.cursor == half) crossed_.push_back({v.wave, v.wave->Post(0)});
            else if (v.cursor >= total) {
                v.cursor = 0;
                crossed_.push_back({v.wave, v.wave->Post(half * kFrameBytes)});
            }
        }
    }
    return n;
}

void TSoundMixer::Render(int16_t* out, size_t frames) {
    const uint64_t all = frames;
    while (frames > 0) {
        size_t n;
        {
            std::lock_guard<std::mutex> l(lock_);
            n = MixPiece(frames);
            for (size_t k = 0; k < n * 2; ++k) out[k] = static_cast<int16_t>(std::clamp(acc_[k], -32768, 32767));
        }
        if (sync_.load())
            for (const TCrossing& c : crossed_) c.wave->WaitDone(c.ticket);
        crossed_.clear();
        out += n * 2;
        frames -= n;
    }
    rendered_.fetch_add(all);
}

}  // namespace zel
