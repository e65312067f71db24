#include "sound/uSoundLib.h"

#include <algorithm>
#include <cmath>

#include "base/Sjis.h"
#include "platform/Clock.h"
#include "sound/OggWholeDecoder.h"
#include "sound/SoundDevice.h"
#include "sound/uWaveDataManager.h"
#include "storage/GameFiles.h"

namespace zel {

TSoundFiles SoundFilesOf(IGameStorage& storage) {
    TSoundFiles f;
    f.resolve = [&storage](std::string_view name) { return storage.ResolveGameFile(name); };
    f.open = [&storage](std::string_view name) { return storage.OpenGameFile(name); };
    return f;
}

int32_t AttenuationMb(int32_t volume, int32_t groupVolume) {
    const int64_t v = int64_t{volume} * groupVolume / 255;
    const double x = static_cast<double>(v) / 255.0;
    if (x < 0.0001) return -10000;
    const double mB = std::round(1000.0 * std::log10(x));
    return static_cast<int32_t>(std::clamp(mB, -10000.0, 0.0));
}

void WriteShortName(TMemoryStream& s, std::string_view name, size_t room) {
    const size_t n = std::min(name.size(), room - 1);
    s.WriteU8(static_cast<uint8_t>(n));
    s.Write(name.data(), n);
    for (size_t k = n + 1; k < room; ++k) s.WriteU8(0);
}

std::string ReadShortName(TMemoryStream& s, size_t room) {
    s.Require(room);
    const size_t n = std::min<size_t>(s.ReadU8(), room - 1);
    std::string name = s.ReadBytes(n);
    s.Skip(room - 1 - n);
    return name;
}

void WriteSeRecord(TMemoryStream& s, const TSeRecord& r) {
    WriteShortName(s, r.name);
    s.WriteI32(r.volume);
    s.WriteU8(r.state);
    s.WriteI32(r.group);
    s.WriteI32(r.owner);
    s.WriteU8(r.memory ? 1 : 0);
    s.WriteI32(r.pan);
    for (int k = 0; k < 128; ++k) s.WriteU8(0);
}

TSeRecord ReadSeRecord(TMemoryStream& s) {
    s.Require(kSeRecordBytes);
    TSeRecord r;
    r.name = ReadShortName(s);
    r.volume = s.ReadI32();
    r.state = s.ReadU8();
    r.group = std::clamp(s.ReadI32(), 0, 255);
    r.owner = s.ReadI32();
    r.memory = s.ReadU8() != 0;
    r.pan = s.ReadI32();
    s.Skip(128);
    return r;
}

// ---- TDSound ---------------------------------------------------------------

TDSound::TDSound(TDDSD7& device, TGroupVolumes& groups, TSoundFiles files, IClock& clock)
    : device_(device), groups_(groups), files_(std::move(files)), clock_(clock) {}

TDSound::~TDSound() { ClearAll(); }

void TDSound::Clear(int i) {
    if (!Valid(i)) return;
    TSoundMixer& m = device_.Mixer();
    m.Stop(i);
    m.SetWave(i, nullptr);
    ch_[static_cast<size_t>(i)] = TChannel{};
}

void TDSound::ClearAll() {
    for (int i = 0; i < kChannels; ++i) Clear(i);
}

void TDSound::Bind(int i, std::vector<uint8_t> pcm) {
    TSoundMixer& m = device_.Mixer();
    TWavePtr w = m.CreateWave(pcm.size(), false);
    m.WriteWave(*w, 0, pcm.data(), pcm.size() / kFrameBytes * kFrameBytes);
    m.SetWave(i, w);
    ch_[static_cast<size_t>(i)].wave = std::move(w);
}

bool TDSound::Load(int i, std::string_view name, int32_t owner, bool force, int32_t group) {
    if (!Valid(i)) return false;
    const std::string path = files_.resolve ? files_.resolve(name) : std::string();
    if (path.empty()) return false;
    TChannel& c = ch_[static_cast<size_t>(i)];
    group = std::clamp(group, 0, 255);
    c.rec.group = group;
    c.rec.owner = owner;
    const bool pseudo = path.rfind("$$$", 0) == 0;
    if (!force && !pseudo && c.wave && EqualsNoCase(c.rec.name, path.substr(0, 127))) return true;
    Clear(i);
    c.rec.group = group;
    c.rec.owner = owner;
    if (forceDirectSound_) return true;
    std::unique_ptr<TMemoryStream> file = files_.open ? files_.open(path) : nullptr;
    if (!file) return false;
    TWaveData pcm;
    const bool riff = file->Size() >= 4 && std::equal(file->Data(), file->Data() + 4, "RIFF");
    if (riff ? !ReadWave(file->Data(), file->Size(), pcm) : !DecodeOggWhole(file->Data(), file->Size(), pcm.pcm))
        return false;
    Bind(i, std::move(pcm.pcm));
    c.rec.name = path.substr(0, 127);
    return true;
}

bool TDSound::LoadFromMemory(int i, const std::vector<uint8_t>& pcm, bool force, int32_t group,
                             std::string_view name) {
    if (!Valid(i)) return false;
    TChannel& c = ch_[static_cast<size_t>(i)];
    if (!force && !name.empty() && c.rec.name == name.substr(0, 127)) return true;
    Clear(i);
    c.rec.group = std::clamp(group, 0, 255);
    if (!forceDirectSound_) Bind(i, pcm);
    c.rec.name = std::string(name.substr(0, 127));
    c.rec.memory = true;
    return true;
}

void TDSound::Play(int i, bool loop, int32_t startMs) {
    if (!Valid(i)) return;
    TChannel& c = ch_[static_cast<size_t>(i)];
    if (!c.wave) return;
    const uint64_t now = clock_.NowMs();
    if (c.lastStart && now - *c.lastStart < 25) return;
    c.appliedGroup = GroupVolume(groups_, c.rec.group);
    TSoundMixer& m = device_.Mixer();
    m.Stop(i);
    m.SetVolume(i, AttenuationMb(std::clamp(c.rec.volume, 0, 255), c.appliedGroup));
    m.SetPan(i, 0);
    // ms / 1000 x 176400 rounded, then down to whole frames.
    const int64_t bytes = std::llround(std::max(startMs, 0) / 1000.0 * 176400.0) / 4 * 4;
    if (loop) m.PlayLoopAt(i, static_cast<size_t>(bytes));
    else m.PlayOnceAt(i, static_cast<size_t>(bytes));
    c.lastStart = now;
}

void TDSound::Stop(int i) {
    if (Valid(i)) device_.Mixer().Stop(i);
}

void TDSound::SetVolume(int i, int32_t volume) {
    if (!Valid(i)) return;
    TChannel& c = ch_[static_cast<size_t>(i)];
    c.rec.volume = volume;
    c.appliedGroup = GroupVolume(groups_, c.rec.group);
}

uint8_t TDSound::State(int i) const {
    if (!Valid(i) || !ch_[static_cast<size_t>(i)].wave) return psNONE;
    const uint8_t st = device_.Mixer().Status(i);
    if (st & TSoundMixer::kLooping) return psLOOP;
    return st & TSoundMixer::kPlaying ? psPLAY : psSTOP;
}

int32_t TDSound::Volume(int i) const { return Valid(i) ? ch_[static_cast<size_t>(i)].rec.volume : 255; }
int32_t TDSound::Group(int i) const { return Valid(i) ? ch_[static_cast<size_t>(i)].rec.group : 0; }
std::string TDSound::FileName(int i) const { return Valid(i) ? ch_[static_cast<size_t>(i)].rec.name : std::string(); }

size_t TDSound::WaveBytes(int i) const {
    return Valid(i) && ch_[static_cast<size_t>(i)].wave ? ch_[static_cast<size_t>(i)].wave->Size() : 0;
}

void TDSound::Swap(int i, int j) {
    if (!Valid(i) || !Valid(j) || i == j) return;
    TSoundMixer& m = device_.Mixer();
    // Playing channels change places silently: the device channels are rebound.
    m.SetWave(i, nullptr);
    m.SetWave(j, nullptr);
    std::swap(ch_[static_cast<size_t>(i)], ch_[static_cast<size_t>(j)]);
    m.SetWave(i, ch_[static_cast<size_t>(i)].wave);
    m.SetWave(j, ch_[static_cast<size_t>(j)].wave);
}

void TDSound::StopAll() {
    for (int i = 0; i < kChannels; ++i) Stop(i);
}

void TDSound::RefreshGroupVolumes() {
    for (TChannel& c : ch_) c.appliedGroup = GroupVolume(groups_, c.rec.group);
}

void TDSound::SaveState(TMemoryStream& s) const {
    for (int i = 0; i < kChannels; ++i) {
        TSeRecord r = ch_[static_cast<size_t>(i)].rec;
        r.state = State(i);
        r.pan = 0;
        WriteSeRecord(s, r);
    }
}

std::vector<TSeRecord> TDSound::ReadState(TMemoryStream& s) {
    s.RequireItems(kChannels, kSeRecordBytes);
    std::vector<TSeRecord> out;
    for (int i = 0; i < kChannels; ++i) out.push_back(ReadSeRecord(s));
    return out;
}

void TDSound::ApplyState(const std::vector<TSeRecord>& records) {
    ClearAll();
    for (int i = 0; i < kChannels && i < static_cast<int>(records.size()); ++i) {
        const TSeRecord& r = records[static_cast<size_t>(i)];
        if (r.memory) continue;  // an animation plays its own sound again
        // Forced: the channel was just cleared, so nothing may count as "the same file".
        if (!r.name.empty()) Load(i, r.name, 0, true, r.group);
        SetVolume(i, r.volume);
        if (r.state == psLOOP) Play(i, true, 0);
        else if (r.state == psPLAY && WaveBytes(i) > 882000) Play(i, false, 0);
    }
}

}  // namespace zel
