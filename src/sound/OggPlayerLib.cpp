#include "sound/OggPlayerLib.h"

#include <cmath>
#include <cstring>

#include "base/ErrorLog.h"
#include "base/Errors.h"
#include "base/Sjis.h"
#include "platform/Clock.h"
#include "sound/SoundDevice.h"

namespace zel {

// ---- mixer of the tracks ----------------------------------------------------

TOggPlayer::TOggPlayer(size_t length, IClock*, PositionFn position)
    : mix_(length / 8 * 8 / 2, 0), acc_(mix_.size() / 2), position_(std::move(position)) {}

void TOggPlayer::SetTrack(int i, TOggData* track) {
    if (i < 0 || i >= kSlots) return;
    std::lock_guard<std::mutex> l(tableLock_);
    if (track)
        for (TOggData*& s : slots_)
            if (s == track) s = nullptr;
    slots_[static_cast<size_t>(i)] = track;
}

void TOggPlayer::SwapTracks(int i, int j) {
    if (i < 0 || i >= kSlots || j < 0 || j >= kSlots) return;
    std::lock_guard<std::mutex> l(tableLock_);
    std::swap(slots_[static_cast<size_t>(i)], slots_[static_cast<size_t>(j)]);
}

void TOggPlayer::MixHalf() {
    half_ ^= 1;
    const size_t n = mix_.size() / 2;  // samples in a half
    int16_t* out = mix_.data() + static_cast<size_t>(half_) * n;
    size_t cursor = 0, size = 0;
    int64_t lag = 0;
    if (position_ && position_(cursor, size) && size > 0)
        lag = std::llround(static_cast<double>(cursor % (size / 2)) / 176.4);
    lag_.store(lag);
    std::lock_guard<std::mutex> l(tableLock_);
    std::fill(acc_.begin(), acc_.end(), 0);
    for (TOggData* t : slots_)
        if (t) t->DecodeNextHalf(lag, acc_.data());
    const int64_t master = master_.load();
    for (size_t k = 0; k < n; ++k)
        out[k] = static_cast<int16_t>(std::clamp<int64_t>(master * acc_[k] / 255, -32767, 32767));
}

// ---- records ------------------------------------------------------------------

void WriteStreamRecord(TMemoryStream& s, const TStreamRecord& r) {
    WriteShortName(s, r.name);
    s.WriteI32(r.volume);
    s.WriteI32(r.fadeMs);
    s.WriteI32(r.silence);
    s.WriteI32(r.seekMs);
    s.WriteU8(r.state);
    for (float b : r.bands) s.WriteF32(b);
    s.WriteI32(r.group);
    s.WriteI32(r.owner);
    s.WriteI32(r.agcLevel);
    s.WriteF32(r.position);
    s.WriteI32(r.agcRate);
    s.WriteI32(r.agcGain);
    s.WriteI32(r.agcThreshold);
    for (int k = 0; k < 116; ++k) s.WriteU8(0);
}

TStreamRecord ReadStreamRecord(TMemoryStream& s) {
    s.Require(kStreamRecordBytes);
    TStreamRecord r;
    r.name = ReadShortName(s);
    r.volume = s.ReadI32();
    r.fadeMs = s.ReadI32();
    r.silence = s.ReadI32();
    r.seekMs = s.ReadI32();
    r.state = s.ReadU8();
    for (float& b : r.bands) {
        b = s.ReadF32();
        if (!std::isfinite(b)) throw EStreamError("stream channel record: an equalizer gain is not a number");
    }
    r.group = std::clamp(s.ReadI32(), 0, 255);
    r.owner = s.ReadI32();
    r.agcLevel = s.ReadI32();
    r.position = s.ReadF32();
    if (!std::isfinite(r.position)) throw EStreamError("stream channel record: the position is not a number");
    r.agcRate = s.ReadI32();
    r.agcGain = s.ReadI32();
    r.agcThreshold = s.ReadI32();
    s.Skip(116);
    if (r.state > psLOOP) r.state = psNONE;
    return r;
}

// ---- stream channels ----------------------------------------------------------

namespace {
size_t StreamLengthOf(size_t configured) { return std::max<size_t>(configured, 0x4000) / 8 * 8; }
}  // namespace

TSSound::TSSound(TDDSD7& device, TGroupVolumes& groups, TSoundFiles files, IClock& clock, size_t streamLength)
    : device_(device),
      groups_(groups),
      files_(std::move(files)),
      clock_(clock),
      length_(StreamLengthOf(streamLength)),
      deviceChannel_(device.ChannelCount() - 1),
      player_(length_, &clock, [this](size_t& cursor, size_t& size) {
          cursor = device_.Mixer().PlayCursor(deviceChannel_);
          size = length_;
          return true;
      }),
      silence_(length_ / 4, 0) {
    for (int i = 0; i < kChannels; ++i) {
        tracks_[static_cast<size_t>(i)] = std::make_unique<TOggData>(length_, &clock_);
        player_.SetTrack(i, tracks_[static_cast<size_t>(i)].get());
    }
    ring_ = device_.Mixer().CreateWave(length_, true,
                                       [this](TDDSDWaveData& w, int, size_t len, size_t off) { Refill(w, len, off); });
    SetActive(true);
    ClearAll();
}

TSSound::~TSSound() {
    device_.Mixer().SetWave(deviceChannel_, nullptr);
    ring_->StopWorker();
    for (int i = 0; i < kChannels; ++i) player_.SetTrack(i, nullptr);
}

void TSSound::Refill(TDDSDWaveData& wave, size_t length, size_t offset) {
    if (enabled_.load()) {
        player_.MixHalf();
        device_.Mixer().WriteWave(wave, offset, player_.CurrentHalf(), std::min(length, player_.HalfBytes()));
    } else {
        device_.Mixer().WriteWave(wave, offset, silence_.data(), std::min(length, silence_.size() * 2));
    }
}

void TSSound::SetActive(bool on) {
    TSoundMixer& m = device_.Mixer();
    if (on) {
        m.SetWave(deviceChannel_, ring_);
        if (!(m.Status(deviceChannel_) & TSoundMixer::kPlaying)) m.PlayLoopFromStart(deviceChannel_);
    } else {
        m.SetWave(deviceChannel_, nullptr);
    }
    enabled_.store(on);
}

bool TSSound::Load(int i, std::string_view name, int32_t owner, bool force, int32_t group) {
    if (!Valid(i)) return false;
    TStreamRecord& r = rec_[static_cast<size_t>(i)];
    const std::string path = files_.resolve ? files_.resolve(name) : std::string();
    if (path.empty()) {
        Clear(i);
        r.name = std::string(name.substr(0, 127));
        return false;
    }
    if (!force && tracks_[static_cast<size_t>(i)]->Loaded() && EqualsNoCase(r.name, path.substr(0, 127))) return true;
    std::unique_ptr<TMemoryStream> file = files_.open ? files_.open(path) : nullptr;
    if (!file || !tracks_[static_cast<size_t>(i)]->Open(std::move(file))) return false;
    r.name = path.substr(0, 127);
    r.group = std::clamp(group, 0, 255);
    r.owner = owner;
    return true;
}

void TSSound::Clear(int i) {
    if (!Valid(i)) return;
    TOggData& t = *tracks_[static_cast<size_t>(i)];
    t.Pause();
    t.Unload();
    t.SetVolumeRamp(0, 1.0);
    t.SetShaping(TTrackShaping{});
    rec_[static_cast<size_t>(i)] = TStreamRecord{};
}

void TSSound::ClearAll() {
    for (int i = 0; i < kChannels; ++i) Clear(i);
}

void TSSound::Play(int i, bool loop) {
    if (!Valid(i)) return;
    TOggData& t = *tracks_[static_cast<size_t>(i)];
    t.SetGroupFactor(GroupVolume(groups_, rec_[static_cast<size_t>(i)].group));
    t.Play(loop);
}

void TSSound::Stop(int i) {
    if (Valid(i)) tracks_[static_cast<size_t>(i)]->StopAndRewind();
}

void TSSound::Pause(int i) {
    if (Valid(i)) tracks_[static_cast<size_t>(i)]->Pause();
}

void TSSound::Seek(int i, int32_t ms) {
    if (!Valid(i)) return;
    rec_[static_cast<size_t>(i)].seekMs = ms;
    tracks_[static_cast<size_t>(i)]->Seek(ms / 1000.0);
}

void TSSound::SkipSilence(int i, int32_t threshold) {
    if (!Valid(i)) return;
    rec_[static_cast<size_t>(i)].silence = threshold;
    if (threshold > 0) tracks_[static_cast<size_t>(i)]->SkipSilence(threshold);
}

void TSSound::SetVolume(int i, int32_t volume, int32_t fadeMs) {
    if (!Valid(i)) return;
    TStreamRecord& r = rec_[static_cast<size_t>(i)];
    TOggData& t = *tracks_[static_cast<size_t>(i)];
    t.SetGroupFactor(GroupVolume(groups_, r.group));
    r.volume = volume;
    r.fadeMs = fadeMs;
    t.SetVolumeRamp(fadeMs / 1000.0, volume / 255.0);
}

void TSSound::SetGroup(int i, int32_t group) {
    if (Valid(i)) rec_[static_cast<size_t>(i)].group = std::clamp(group, 0, 255);
}

void TSSound::SetAgc(int i, int32_t level, int32_t gain, int32_t rate, int32_t threshold) {
    if (!Valid(i)) return;
    TStreamRecord& r = rec_[static_cast<size_t>(i)];
    TOggData& t = *tracks_[static_cast<size_t>(i)];
    TTrackShaping s = t.Shaping();
    if (level != 0 && gain != 0 && rate != 0 && threshold != 0) {
        s.agcTarget = static_cast<int32_t>(std::lround(level / 255.0 * 30000));
        s.agcThreshold = static_cast<int32_t>(std::lround(threshold / 255.0 * 30000));
        s.agcRate = static_cast<float>(rate / 1000.0);
        s.agcGain = static_cast<float>(gain / 255.0);
        r.agcLevel = level, r.agcGain = gain, r.agcRate = rate, r.agcThreshold = threshold;
    } else {
        s.agcTarget = 0, s.agcThreshold = 800, s.agcRate = 0.05f, s.agcGain = 1.0f;
        r.agcLevel = r.agcGain = r.agcRate = r.agcThreshold = 0;
    }
    t.SetShaping(s);
}

void TSSound::SetEqualizer(int i, const std::vector<int32_t>& gains, int32_t /*ms*/) {
    if (!Valid(i) || gains.empty()) return;
    // The gain curve over the bands comes with the equalizer stage; until
    // then the points are kept as a step curve, which is what saves hold.
    TOggData& t = *tracks_[static_cast<size_t>(i)];
    TTrackShaping s = t.Shaping();
    for (size_t b = 0; b < 256; ++b) {
        const size_t p = b * (gains.size() - 1) / 255;
        s.bands[b] = std::max(0.0f, static_cast<float>(gains[p] / 255.0));
    }
    t.SetShaping(s);
}

std::string TSSound::FileName(int i) const { return Valid(i) ? rec_[static_cast<size_t>(i)].name : std::string(); }
uint8_t TSSound::State(int i) const { return Valid(i) ? tracks_[static_cast<size_t>(i)]->State() : 0; }
uint8_t TSSound::HeardState(int i) const { return Valid(i) ? tracks_[static_cast<size_t>(i)]->HeardState() : 0; }
int32_t TSSound::Volume(int i) const { return Valid(i) ? rec_[static_cast<size_t>(i)].volume : 255; }
int32_t TSSound::TargetVolume(int i) const {
    return Valid(i) ? static_cast<int32_t>(std::lround(tracks_[static_cast<size_t>(i)]->TargetVolume() * 255)) : 255;
}
int32_t TSSound::Group(int i) const { return Valid(i) ? rec_[static_cast<size_t>(i)].group : 0; }
double TSSound::Level(int i, int mode) { return Valid(i) ? tracks_[static_cast<size_t>(i)]->Level(mode) : 0; }
int32_t TSSound::DecoderMs(int i) {
    return Valid(i) ? static_cast<int32_t>(std::lround(tracks_[static_cast<size_t>(i)]->DecoderTime() * 1000)) : 0;
}
int32_t TSSound::AudibleMs(int i) {
    return Valid(i) ? static_cast<int32_t>(std::lround(tracks_[static_cast<size_t>(i)]->AudiblePosition() * 1000)) : 0;
}
int32_t TSSound::TotalMs(int i) const {
    return Valid(i) ? static_cast<int32_t>(std::lround(tracks_[static_cast<size_t>(i)]->TotalTime() * 1000)) : 0;
}
std::array<int32_t, 4> TSSound::Agc(int i) const {
    if (!Valid(i)) return {0, 0, 0, 0};
    const TStreamRecord& r = rec_[static_cast<size_t>(i)];
    return {r.agcLevel, r.agcGain, r.agcRate, r.agcThreshold};
}

bool TSSound::GroupHeard(int32_t group) const {
    for (int i = 0; i < kChannels; ++i)
        if (rec_[static_cast<size_t>(i)].group == group && HeardState(i) == psPLAY) return true;
    return false;
}

void TSSound::Swap(int i, int j) {
    if (!Valid(i) || !Valid(j) || i == j) return;
    std::swap(rec_[static_cast<size_t>(i)], rec_[static_cast<size_t>(j)]);
    std::swap(tracks_[static_cast<size_t>(i)], tracks_[static_cast<size_t>(j)]);
    player_.SwapTracks(i, j);
}

void TSSound::ReapplyVolumes() {
    for (int i = 0; i < kChannels; ++i)
        tracks_[static_cast<size_t>(i)]->SetGroupFactor(GroupVolume(groups_, rec_[static_cast<size_t>(i)].group));
}

void TSSound::SaveState(TMemoryStream& s) {
    for (int i = 0; i < kChannels; ++i) {
        TStreamRecord& r = rec_[static_cast<size_t>(i)];
        TOggData& t = *tracks_[static_cast<size_t>(i)];
        r.volume = static_cast<int32_t>(std::lround(t.TargetVolume() * 255));
        r.state = t.State();
        r.position = static_cast<float>(t.DecoderTime());
        r.bands = t.Shaping().bands;
        WriteStreamRecord(s, r);
    }
}

std::vector<TStreamRecord> TSSound::ReadState(TMemoryStream& s) {
    s.RequireItems(kChannels, kStreamRecordBytes);
    std::vector<TStreamRecord> out;
    for (int i = 0; i < kChannels; ++i) out.push_back(ReadStreamRecord(s));
    return out;
}

void TSSound::ApplyState(const std::vector<TStreamRecord>& records) {
    ClearAll();
    for (int i = 0; i < kChannels && i < static_cast<int>(records.size()); ++i) {
        const TStreamRecord& r = records[static_cast<size_t>(i)];
        rec_[static_cast<size_t>(i)] = r;
        SetVolume(i, r.volume, 0);
        SetAgc(i, r.agcLevel, r.agcGain, r.agcRate, r.agcThreshold);
        if (r.state == psNONE) continue;
        try {
            // Forced: the record already names the file, which is not loaded yet.
            if (!Load(i, r.name, 0, true, r.group)) continue;
        } catch (const EZelError& e) {
            ReportError(e.what() + std::string(":") + r.name);
            continue;
        }
        Seek(i, static_cast<int32_t>(std::lround(std::clamp<double>(r.position, 0, 1e6) * 1000)));
        SetVolume(i, 0, 0);
        SetVolume(i, r.volume, 2000);  // resumes with a fade-in
        SetAgc(i, r.agcLevel, r.agcGain, r.agcRate, r.agcThreshold);
        TOggData& t = *tracks_[static_cast<size_t>(i)];
        TTrackShaping s = t.Shaping();
        s.bands = r.bands;
        t.SetShaping(s);
        if (r.state == psPLAY) Play(i, false);
        else if (r.state == psLOOP) Play(i, true);
    }
}

}  // namespace zel
