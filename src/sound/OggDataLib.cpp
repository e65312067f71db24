#include "sound/OggDataLib.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "platform/Clock.h"

namespace zel {

// ---- loop tags --------------------------------------------------------------

namespace {

int32_t IntOr(const std::string& s, int32_t def) {
    int32_t v = 0;
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    const auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e && b != e ? v : def;
}

double FloatOr(const std::string& s, double def) {
    double v = 0;
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    const auto r = std::from_chars(b, e, v, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == e && b != e && std::isfinite(v) ? v : def;
}

}  // namespace

void ParseLoopTags(std::string_view comment, double rate, TLoopSlots& slots) {
    size_t at = 0;
    while (at <= comment.size()) {
        size_t end = comment.find("\r\n", at);
        if (end == std::string_view::npos) end = comment.size();
        const std::string line = AsciiLower(comment.substr(at, end - at));
        at = end + 2;
        const std::vector<std::string> f = SplitFields(",", line, true, 5, true);
        const bool samples = f[0] == "*loopsample";
        if (f[0] != "*looptime" && !samples) continue;
        const int32_t slot = IntOr(f[1], 0);
        if (slot < 0 || slot > 15) continue;
        double start = FloatOr(f[2], 0), trigger = FloatOr(f[3], 0);
        if (samples) {
            if (rate <= 0) continue;
            start /= rate;
            trigger /= rate;
        }
        TLoopSlot& s = slots[static_cast<size_t>(slot)];
        s.start = start;
        s.trigger = trigger;
        s.limit = IntOr(f[4], -1);
        s.counter = 0;
    }
}

// ---- decoder over bytes in memory -------------------------------------------

struct TOggData::TDecoder {
    std::shared_ptr<const std::vector<uint8_t>> file;
    size_t pos = 0;
    OggVorbis_File vf{};
    bool open = false;
    // The second copy of a 22050 Hz frame that did not fit its chunk.
    bool pending = false;
    int16_t pendL = 0, pendR = 0;

    static size_t Read(void* ptr, size_t size, size_t count, void* self) {
        auto* d = static_cast<TDecoder*>(self);
        if (size == 0 || count == 0) return 0;
        const size_t left = d->file->size() - d->pos;
        const size_t n = std::min(size * count, left) / size * size;
        std::memcpy(ptr, d->file->data() + d->pos, n);
        d->pos += n;
        return n / size;
    }
    static int Seek(void* self, ogg_int64_t off, int whence) {
        auto* d = static_cast<TDecoder*>(self);
        const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(d->pos) : int64_t(d->file->size());
        const int64_t to = base + off;
        if (to < 0 || to > int64_t(d->file->size())) return -1;
        d->pos = static_cast<size_t>(to);
        return 0;
    }
    static long Tell(void* self) { return static_cast<long>(static_cast<TDecoder*>(self)->pos); }

    explicit TDecoder(std::shared_ptr<const std::vector<uint8_t>> f) : file(std::move(f)) {
        const ov_callbacks cb{Read, Seek, nullptr, Tell};
        open = ov_open_callbacks(this, &vf, nullptr, 0, cb) == 0;
    }
    ~TDecoder() {
        if (open) ov_clear(&vf);
    }
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    void SeekTo(double seconds) {
        pending = false;
        if (seconds <= 0) ov_pcm_seek(&vf, 0);
        else ov_time_seek(&vf, seconds);
    }

    enum TEnd { kMore, kEnd, kFailed };
    // Decodes into dst as 44100 Hz stereo until bytes are written or the
    // file ends (kEnd) or fails (kFailed, also for formats other than 44100 or
    // 22050 Hz in one or two channels). Adds the bytes written to out.
    TEnd ReadConverted(int16_t* dst, size_t bytes, size_t& out) {
        const size_t frames = bytes / 4;
        size_t f = out / 4;
        if (pending && f < frames) {
            dst[2 * f] = pendL;
            dst[2 * f + 1] = pendR;
            ++f;
            pending = false;
        }
        char buf[4096];
        while (f < frames) {
            const vorbis_info* vi = ov_info(&vf, -1);
            if (!vi) return kFailed;
            const int ch = vi->channels;
            const int rep = vi->rate == 44100 ? 1 : vi->rate == 22050 ? 2 : 0;
            if (rep == 0 || (ch != 1 && ch != 2)) return kFailed;
            const size_t inFrame = static_cast<size_t>(ch) * 2;
            const size_t want = std::max<size_t>(1, (frames - f) / static_cast<size_t>(rep));
            const size_t ask = std::min(sizeof buf / inFrame, want) * inFrame;
            int section = 0;
            const long n = ov_read(&vf, buf, static_cast<int>(ask), 0, 2, 1, &section);
            if (n == OV_HOLE) continue;
            if (n == 0) {
                out = f * 4;
                return kEnd;
            }
            if (n < 0) {
                out = f * 4;
                return kFailed;
            }
            const vorbis_info* si = ov_info(&vf, section);
            if (!si || si->channels != ch || si->rate != vi->rate) return kFailed;
            const size_t got = static_cast<size_t>(n) / inFrame;
            for (size_t k = 0; k < got; ++k) {
                int16_t l, r;
                std::memcpy(&l, buf + k * inFrame, 2);
                if (ch == 2) std::memcpy(&r, buf + k * inFrame + 2, 2);
                else r = l;
                for (int c = 0; c < rep; ++c) {
                    if (f < frames) {
                        dst[2 * f] = l;
                        dst[2 * f + 1] = r;
                        ++f;
                    } else {
                        pending = true;
                        pendL = l;
                        pendR = r;
                    }
                }
            }
        }
        out = f * 4;
        return kMore;
    }
};

// ---- TOggData ---------------------------------------------------------------

TOggData::TOggData(size_t bufferLength, IClock* clock)
    : clock_(clock), buf_(std::max<size_t>(bufferLength / 8 * 8, 8) / 2, 0) {}

TOggData::~TOggData() = default;

int64_t TOggData::NowMs() const {
    if (clock_) return static_cast<int64_t>(clock_->NowMs());
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool TOggData::Open(std::unique_ptr<TMemoryStream> stream) {
    if (!stream) return false;
    return Open(std::make_shared<const std::vector<uint8_t>>(stream->TakeBytes()));
}

bool TOggData::Open(std::shared_ptr<const std::vector<uint8_t>> file) {
    if (!file) return false;
    Unload();
    auto dec = std::make_unique<TDecoder>(file);
    if (!dec->open) throw EZelError(Sj("ファイルの読み込みに失敗"));
    vendor_.clear();
    comments_.clear();
    if (const vorbis_comment* vc = ov_comment(&dec->vf, -1)) {
        if (vc->vendor) vendor_ = Sj(vc->vendor);
        for (int k = 0; k < vc->comments; ++k) {
            const std::string c = Sj(std::string_view(vc->user_comments[k], static_cast<size_t>(vc->comment_lengths[k])));
            const size_t eq = c.find('=');
            if (eq == std::string::npos) comments_.emplace_back(c, "");
            else comments_.emplace_back(c.substr(0, eq), c.substr(eq + 1));
        }
    }
    const vorbis_info* vi = ov_info(&dec->vf, -1);
    channels_ = vi ? vi->channels : 0;
    rate_ = vi ? static_cast<int>(vi->rate) : 0;
    seekable_ = ov_seekable(&dec->vf) != 0;
    totalSamples_ = std::max<int64_t>(ov_pcm_total(&dec->vf, -1), 0);
    totalTime_ = std::max(ov_time_total(&dec->vf, -1), 0.0);
    TLoopSlots slots{};
    for (const auto& [name, value] : comments_)
        if (EqualsNoCase(name, "COMMENT")) {
            ParseLoopTags(value, rate_, slots);
            break;
        }
    {
        std::lock_guard<std::mutex> l(lock_);
        dec_ = std::move(dec);
        file_ = std::move(file);
        slots_ = slots;
    }
    loaded_.store(true);
    return true;
}

void TOggData::Unload() {
    StopAndRewind();
    loaded_.store(false);
    comments_.clear();
    vendor_.clear();
    channels_ = rate_ = 0;
    totalSamples_ = 0;
    totalTime_ = 0;
    std::unique_ptr<TDecoder> old;
    {
        std::lock_guard<std::mutex> l(lock_);
        old = std::move(dec_);
        file_.reset();
        std::fill(buf_.begin(), buf_.end(), 0);
        slots_ = TLoopSlots{};
        shaping_.agcTarget = 0;  // gain control off
        shaping_.agcThreshold = 800;
        shaping_.agcRate = 0.05f;
        shaping_.agcGain = 1.0f;
    }
}

void TOggData::Play(bool loop) {
    loop_.store(loop);
    playing_.store(true);
}

void TOggData::Pause() {
    playing_.store(false);
    loop_.store(false);
}

void TOggData::StopAndRewind() {
    Pause();
    Seek(0);
    std::lock_guard<std::mutex> l(lock_);
    for (TLoopSlot& s : slots_) s.counter = 0;
    std::fill(buf_.begin(), buf_.end(), 0);
}

void TOggData::SeekLocked(double seconds) {
    if (dec_ && seekable_) dec_->SeekTo(std::clamp(seconds, 0.0, totalTime_));
}

void TOggData::Seek(double seconds) {
    if (!loaded_.load() || !std::isfinite(seconds)) return;
    std::lock_guard<std::mutex> l(lock_);
    SeekLocked(seconds);
}

void TOggData::SetVolumeRamp(double seconds, double target) {
    if (!std::isfinite(target)) target = 0;
    target = std::clamp(target, 0.0, 2.0);
    const auto t = static_cast<int64_t>(target * kRampOne);
    std::lock_guard<std::mutex> l(rampLock_);
    rampTarget_ = t;
    if (!(seconds >= 0.01)) {
        rampCur_ = t;
        rampStep_ = 0;
    } else {
        rampStep_ = static_cast<int64_t>(static_cast<double>(t - rampCur_) / (std::min(seconds, 1e6) * 44100.0));
        if (rampStep_ == 0 && t != rampCur_) rampStep_ = t > rampCur_ ? 1 : -1;
    }
    ++rampGen_;
}

double TOggData::TargetVolume() const {
    std::lock_guard<std::mutex> l(rampLock_);
    return static_cast<double>(rampTarget_) / kRampOne;
}

double TOggData::CurrentVolume() const {
    std::lock_guard<std::mutex> l(rampLock_);
    return static_cast<double>(rampCur_) / kRampOne;
}

uint8_t TOggData::State() const {
    if (!loaded_.load()) return 0;
    if (!playing_.load()) return 1;
    return loop_.load() ? 3 : 2;
}

uint8_t TOggData::HeardState() const { return playing_.load() ? State() : chunkState_.load(); }

// Decodes into dst until bytes are filled; the file's end loops or stops the
// track, a failure stops it. Returns the bytes decoded. Lock held.
size_t TOggData::ReadLocked(int16_t* dst, size_t bytes, bool& failed) {
    size_t out = 0;
    bool emptyRound = false;  // a looped file that gives nothing must not spin
    while (out < bytes && dec_) {
        const size_t before = out;
        const TDecoder::TEnd e = dec_->ReadConverted(dst, bytes, out);
        if (e == TDecoder::kMore) break;
        if (e == TDecoder::kFailed) {
            failed = true;
            break;
        }
        if (loop_.load() && !(emptyRound && out == before)) {
            emptyRound = out == before;
            dec_->SeekTo(0);
            continue;
        }
        playing_.store(false);
        loop_.store(false);
        dec_->SeekTo(0);
        break;
    }
    return out;
}

void TOggData::ApplyVolume(int16_t* pcm, size_t frames) {
    int64_t cur, target, step;
    uint64_t gen;
    {
        std::lock_guard<std::mutex> l(rampLock_);
        cur = rampCur_, target = rampTarget_, step = rampStep_, gen = rampGen_;
    }
    const int64_t ed = int64_t{master_.load()} * group_.load() / 256;
    for (size_t f = 0; f < frames; ++f) {
        if (step != 0) {
            if (std::llabs(target - cur) < std::llabs(step)) {
                cur = target;
                step = 0;
            }
            cur += step;
        }
        const int64_t g = (cur / 2822400) * ed / 256;
        for (int c = 0; c < 2; ++c) {
            int64_t v = int64_t{pcm[2 * f + c]} * g / 256;
            if (g > 255) v = std::clamp<int64_t>(v, -32766, 32766);
            pcm[2 * f + c] = static_cast<int16_t>(v);
        }
    }
    std::lock_guard<std::mutex> l(rampLock_);
    if (gen == rampGen_) {  // the main thread set no new ramp meanwhile
        rampCur_ = cur;
        rampStep_ = step;
    }
}

size_t TOggData::DecodeChunk(int16_t* dest, size_t length, int64_t lagMs, int32_t* mixInto) {
    length = length / 4 * 4;
    chunkState_.store(State());
    {
        std::lock_guard<std::mutex> l(rampLock_);
        if (rampCur_ < kRampOne / 100 && rampTarget_ < kRampOne / 100) Pause();  // faded out: stops by itself
    }
    std::lock_guard<std::mutex> l(lock_);
    if (!loaded_.load() || !playing_.load() || !dec_) {
        std::memset(dest, 0, length);
        return 0;
    }
    heardBegan_.store(NowMs() - lagMs);
    const double p = ov_time_tell(&dec_->vf);
    const double span = static_cast<double>(length) / 176400.0;
    bool failed = false;
    size_t got = 0;
    const TLoopSlot* jump = nullptr;
    for (TLoopSlot& s : slots_) {
        if (!jump && p <= s.trigger && s.trigger <= p + span && (s.limit == -1 || s.counter < s.limit)) {
            if (s.limit != -1) ++s.counter;
            jump = &s;
        } else if (s.trigger < p) {
            s.counter = 0;
        }
    }
    if (jump) {
        const size_t head = std::min<size_t>(static_cast<size_t>(std::llround((jump->trigger - p) * 176400.0 / 4)) * 4, length);
        got = ReadLocked(dest, head, failed);
        if (got == head && !failed && playing_.load()) {
            SeekLocked(jump->start);
            got += ReadLocked(dest + head / 2, length - head, failed);
        }
    } else {
        got = ReadLocked(dest, length, failed);
    }
    if (got < length) std::memset(reinterpret_cast<uint8_t*>(dest) + got, 0, length - got);
    if (failed) {
        // A broken stream or an unplayable format: what was decoded plays, the
        // rest is silence, and a chunk that decoded nothing stops the track.
        if (got == 0) {
            playing_.store(false);
            loop_.store(false);
            SeekLocked(0);
        }
    }
    // Equalizer and gain-control stages: they pass the sound through for now.
    ApplyVolume(dest, length / 4);
    if (mixInto && got > 0)
        for (size_t k = 0; k < length / 2; ++k) mixInto[k] += dest[k];
    return got;
}

size_t TOggData::DecodeNextHalf(int64_t lagMs, int32_t* mixInto) {
    const int h = lastHalf_.load() ^ 1;
    lastHalf_.store(h);
    const size_t half = buf_.size() / 2;
    return DecodeChunk(buf_.data() + static_cast<size_t>(h) * half, half * 2, lagMs, mixInto);
}

double TOggData::DecoderTime() {
    std::lock_guard<std::mutex> l(lock_);
    return dec_ ? std::max(ov_time_tell(&dec_->vf), 0.0) : 0.0;
}

double TOggData::AudiblePosition() {
    const double b = static_cast<double>(buf_.size() * 2) / 176400.0;
    const double elapsed = static_cast<double>(NowMs() - heardBegan_.load()) / 1000.0;
    const double pos = DecoderTime() - b + std::clamp(elapsed, 0.0, b);
    return std::clamp(pos, 0.0, totalTime_);
}

double TOggData::Level(int mode) {
    const size_t bytes = buf_.size() * 2;
    const double b = static_cast<double>(bytes) / 176400.0;
    const double elapsed = static_cast<double>(NowMs() - heardBegan_.load()) / 1000.0;
    if (elapsed > b || elapsed < 0) return 0;
    size_t off = static_cast<size_t>(elapsed * 176400.0) / 4 * 4;
    if (lastHalf_.load() == 0) off += bytes / 2;
    size_t frame = (off % bytes) / 4;
    const size_t frames = bytes / 4;
    int64_t sl = 0, sr = 0;
    std::lock_guard<std::mutex> l(lock_);
    for (int k = 0; k < 256; ++k, frame = (frame + 1) % frames) {
        sl += std::abs(int32_t{buf_[2 * frame]});
        sr += std::abs(int32_t{buf_[2 * frame + 1]});
    }
    const double al = static_cast<double>(sl) / 256.0, ar = static_cast<double>(sr) / 256.0;
    if (mode == 0) return al / 32768.0;
    if (mode == 1) return ar / 32768.0;
    return (al + ar) / 65536.0;
}

void TOggData::SkipSilence(int32_t threshold) {
    std::shared_ptr<const std::vector<uint8_t>> file;
    {
        std::lock_guard<std::mutex> l(lock_);
        if (!dec_ || !seekable_) return;
        file = file_;
    }
    double t = DecoderTime();
    const double total = totalTime_;
    // A decoder of its own: the worker goes on playing from the track's.
    TDecoder scan(file);
    if (!scan.open) return;
    int16_t block[256];
    while (t < total) {
        scan.SeekTo(t);
        size_t out = 0;
        const TDecoder::TEnd e = scan.ReadConverted(block, sizeof block, out);
        int64_t sum = 0;
        for (size_t k = 0; k < out / 2; ++k) sum += std::abs(int32_t{block[k]});
        if (sum / 256 > threshold) break;
        if (e == TDecoder::kFailed) break;
        t += 0.2;
    }
    if (t > total - 0.2) t = 0;
    t = std::max(t - 0.2, 0.0);
    Seek(t);
}

std::vector<std::string> TOggData::Comment(std::string_view name) const {
    std::vector<std::string> out;
    for (const auto& [n, v] : comments_)
        if (EqualsNoCase(n, name)) out.push_back(v);
    return out;
}

TLoopSlots TOggData::LoopSlots() {
    std::lock_guard<std::mutex> l(lock_);
    return slots_;
}

TTrackShaping TOggData::Shaping() {
    std::lock_guard<std::mutex> l(lock_);
    return shaping_;
}

void TOggData::SetShaping(const TTrackShaping& s) {
    std::lock_guard<std::mutex> l(lock_);
    shaping_ = s;
}

}  // namespace zel
