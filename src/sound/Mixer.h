// The software mixer behind the sound device: what the engine's effect
// channels and its one music stream play through.
//
// Audio is 44100 Hz, 16-bit signed, stereo interleaved everywhere (4 bytes a
// frame). A wave buffer is either static (decoded PCM that any number of
// channels play at once, each with its own cursor) or streaming (a ring that
// one channel plays looping; each time the cursor crosses into one half, the
// other half is handed to the wave's worker thread, whose refill callback
// writes new sound into it while this half plays).
//
// Render(out, frames) is the whole of the output side: the sound card's
// thread calls it through IAudioOutput, headless runs and tests call it
// directly. In synchronous mode Render waits for each refill it asked for
// before going on, so a pulled mixer gives the same samples on every run.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zel {

constexpr uint32_t kMixRate = 44100;
constexpr size_t kFrameBytes = 4;

class TSoundMixer;

// Linear gain in 1/65536 steps for an attenuation in hundredths of a decibel
// (0 = unity, -10000 and below = silence).
int32_t GainFromMillibels(int32_t mB);

class TDDSDWaveData {
public:
    // Called on the worker thread with the half to refill: (wave, bound channel, length, offset) in bytes.
    using RefillFn = std::function<void(TDDSDWaveData& wave, int channel, size_t length, size_t offset)>;
    // Made by TSoundMixer::CreateWave.
    TDDSDWaveData(TSoundMixer& mixer, size_t bytes, bool streaming, RefillFn refill);
    ~TDDSDWaveData();
    TDDSDWaveData(const TDDSDWaveData&) = delete;
    TDDSDWaveData& operator=(const TDDSDWaveData&) = delete;

    size_t Size() const { return samples_.size() * 2; }
    size_t HalfSize() const { return Size() / 2; }
    bool Streaming() const { return streaming_; }
    int BoundChannel() const { return bound_.load(); }
    // Ends the worker thread (a streaming wave's owner calls it before the
    // refill callback's target goes away); later refills are dropped.
    void StopWorker();

private:
    friend class TSoundMixer;
    void Work();
    uint64_t Post(size_t offset);
    void WaitDone(uint64_t ticket);

    TSoundMixer& mixer_;
    std::vector<int16_t> samples_;  // guarded by the mixer's lock
    bool streaming_;
    std::atomic<int> bound_{-1};
    RefillFn refill_;
    // Worker of a streaming wave.
    std::mutex m_;
    std::condition_variable wake_, doneCv_;
    std::deque<size_t> pending_;
    uint64_t posted_ = 0, done_ = 0;
    bool stop_ = false;
    std::thread worker_;
};

using TWavePtr = std::shared_ptr<TDDSDWaveData>;

class TSoundMixer {
public:
    enum : uint8_t { kPlaying = 1, kLooping = 2 };

    explicit TSoundMixer(int channelCount);
    ~TSoundMixer();
    TSoundMixer(const TSoundMixer&) = delete;
    TSoundMixer& operator=(const TSoundMixer&) = delete;

    int ChannelCount() const { return static_cast<int>(voices_.size()); }
    bool ValidChannel(int ch) const { return ch >= 0 && ch < ChannelCount(); }

    // A silent wave of `bytes` (rounded down to whole frames). A streaming
    // wave starts its worker thread, which calls refill.
    TWavePtr CreateWave(size_t bytes, bool streaming, TDDSDWaveData::RefillFn refill = {});
    // Copies length bytes into the wave at offset, wrapping at its end.
    void WriteWave(TDDSDWaveData& wave, size_t offset, const void* bytes, size_t length);

    // Channel operations; an invalid channel does nothing (queries give 0).
    // Binding another wave stops the channel; the same wave is kept as it is.
    void SetWave(int ch, TWavePtr wave);
    void Stop(int ch);
    void PlayLoopFromStart(int ch) { PlayLoopAt(ch, 0); }
    // Byte offsets beyond the wave start at its end (a one-shot then ends at once).
    void PlayOnceAt(int ch, size_t byteOffset);
    void PlayLoopAt(int ch, size_t byteOffset);
    void SetVolume(int ch, int32_t millibels);  // -10000 ... 0
    void SetPan(int ch, int32_t pan);           // -10000 (left only) ... 10000 (right only)
    uint8_t Status(int ch) const;
    size_t PlayCursor(int ch) const;  // bytes
    bool HasWave(int ch) const;

    // Synchronous mode: Render waits for the refills it asks for.
    void SetSynchronousRefill(bool on) { sync_.store(on); }
    // Mixes the next `frames` frames of every playing channel into out.
    void Render(int16_t* out, size_t frames);
    // Frames rendered since construction: the mixer's clock.
    uint64_t FramesRendered() const { return rendered_.load(); }

private:
    friend class TDDSDWaveData;
    struct TVoice {
        TWavePtr wave;
        size_t cursor = 0;  // frames
        bool playing = false, loop = false;
        int32_t mB = 0, pan = 0;
        int32_t gainL = 65536, gainR = 65536;
    };
    void Start(int ch, size_t byteOffset, bool loop);
    static void UpdateGains(TVoice& v);
    bool WavePlaying(const TDDSDWaveData& wave) const;
    size_t MixPiece(size_t frames);

    mutable std::mutex lock_;
    std::vector<TVoice> voices_;
    std::vector<int32_t> acc_;
    struct TCrossing {
        TWavePtr wave;
        uint64_t ticket;
    };
    std::vector<TCrossing> crossed_;  // render thread only
    std::atomic<bool> sync_{false};
    std::atomic<uint64_t> rendered_{0};
};

}  // namespace zel
