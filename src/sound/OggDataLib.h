// TOggData: one stream track, an Ogg Vorbis file held whole in memory and
// decoded a half buffer at a time on the mixer's worker thread, converted to
// 44100 Hz stereo, with loop points, a volume ramp, and the hooks of the
// equalizer and gain-control stages.
//
// Loop points come from the comment named "COMMENT" (any case): each CR LF
// line is lower-cased and split at "," into at least five fields (blanks
// dropped, "//" ends the line, no split inside quotes or brackets):
//   *looptime,slot,start,trigger,count     start and trigger in seconds
//   *loopsample,slot,start,trigger,count   the same in samples of the file
// slot defaults to 0, start and trigger to 0, count to -1 (no limit); slots
// outside 0-15 are ignored. When playback reaches the trigger it jumps to the
// start, at most count times until it passes the trigger again.
//
// Threads: the worker calls DecodeChunk / DecodeNextHalf; everything else is
// the main thread's. Decoder access and the buffer are under the track's own
// lock; flags, factors and the ramp are atomics or under a small lock of
// their own, so the main thread never waits for a chunk to change them.
// SkipSilence scans with a second decoder of its own and takes the lock only
// to seek.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class IClock;
class TMemoryStream;

struct TLoopSlot {
    double start = 0, trigger = 0;  // seconds
    int32_t limit = 0;              // -1: every time; 0: an empty slot
    int32_t counter = 0;
};
using TLoopSlots = std::array<TLoopSlot, 16>;

// Reads the loop tags of a COMMENT value into slots; rate converts samples.
void ParseLoopTags(std::string_view comment, double rate, TLoopSlots& slots);

// The volume ramp's fixed point: 1.0 = 722534400.
constexpr int64_t kRampOne = 722534400;

// Equalizer and gain-control settings of a track. The stages pass the sound
// through unchanged for now; the settings are kept, saved and restored.
struct TTrackShaping {
    std::array<float, 256> bands;
    int32_t agcTarget = 0, agcThreshold = 800;
    float agcRate = 0.05f, agcGain = 1.0f;
    TTrackShaping() { bands.fill(1.0f); }
};

class TOggData {
public:
    // bufferLength: the double buffer in bytes (two halves of whole frames).
    // clock: the time base of the heard positions (nullptr: the host's clock).
    explicit TOggData(size_t bufferLength, IClock* clock = nullptr);
    ~TOggData();
    TOggData(const TOggData&) = delete;
    TOggData& operator=(const TOggData&) = delete;

    // Takes the whole file. False without bytes; raises EZelError
    // ("ファイルの読み込みに失敗") when they are not Ogg Vorbis.
    bool Open(std::unique_ptr<TMemoryStream> stream);
    bool Open(std::shared_ptr<const std::vector<uint8_t>> file);
    void Unload();
    void Play(bool loop);
    void Pause();
    void StopAndRewind();
    void Seek(double seconds);
    void SetVolumeRamp(double seconds, double target);
    double TargetVolume() const;
    double CurrentVolume() const;
    void SetMasterFactor(int32_t e) { master_.store(Factor(e)); }
    void SetGroupFactor(int32_t d) { group_.store(Factor(d)); }

    // Decodes length bytes (a multiple of 4) at dest; with mixInto, also adds
    // the result to those 32-bit sums. Returns the bytes decoded (0 when not
    // playing); whatever was not decoded is silence.
    size_t DecodeChunk(int16_t* dest, size_t length, int64_t lagMs, int32_t* mixInto = nullptr);
    size_t DecodeNextHalf(int64_t lagMs, int32_t* mixInto = nullptr);
    size_t HalfBytes() const { return buf_.size(); }  // bytes in a half (samples x 2 / 2)

    // 0 no file, 1 loaded, 2 playing once, 3 looping.
    uint8_t State() const;
    // State while playing; after the end, the state of the last chunk, so a
    // track counts as heard until its last sound has left the buffer.
    uint8_t HeardState() const;
    double DecoderTime();
    double AudiblePosition();
    double TotalTime() const { return totalTime_; }
    // Mean level of 256 frames being heard: 0 left, 1 right, else both (0-1).
    double Level(int mode);
    // Moves the track to 0.2 s before the first 128 frames louder than threshold.
    void SkipSilence(int32_t threshold);
    // The values of the comments named name (any case), in Shift-JIS.
    std::vector<std::string> Comment(std::string_view name) const;

    bool Loaded() const { return loaded_.load(); }
    int Channels() const { return channels_; }
    int Rate() const { return rate_; }
    TLoopSlots LoopSlots();
    TTrackShaping Shaping();
    void SetShaping(const TTrackShaping& s);

private:
    struct TDecoder;
    static int32_t Factor(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
    size_t ReadLocked(int16_t* dst, size_t bytes, bool& failed);
    void ApplyVolume(int16_t* pcm, size_t frames);
    void SeekLocked(double seconds);
    int64_t NowMs() const;

    IClock* clock_;
    std::mutex lock_;  // decoder, buffer, loop slots, shaping
    std::unique_ptr<TDecoder> dec_;
    std::shared_ptr<const std::vector<uint8_t>> file_;
    std::vector<int16_t> buf_;  // two halves
    std::atomic<int> lastHalf_{1};
    TLoopSlots slots_{};
    TTrackShaping shaping_;
    std::atomic<bool> loaded_{false}, playing_{false}, loop_{false};
    std::atomic<uint8_t> chunkState_{0};
    std::atomic<int64_t> heardBegan_{0};
    std::atomic<int32_t> master_{255}, group_{255};
    mutable std::mutex rampLock_;
    int64_t rampCur_ = kRampOne, rampTarget_ = kRampOne, rampStep_ = 0;
    uint64_t rampGen_ = 0;
    // Format, read at Open (main thread) before the worker may decode.
    std::vector<std::pair<std::string, std::string>> comments_;
    std::string vendor_;
    int channels_ = 0, rate_ = 0;
    bool seekable_ = false;
    int64_t totalSamples_ = 0;
    double totalTime_ = 0;
};

}  // namespace zel
