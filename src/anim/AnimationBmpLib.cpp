// The player's loading, motions, clocks and key actions; the cells are made
// in AnimationBmpCells.cpp.
#include "anim/AnimationBmpLib.h"

#include <algorithm>

#include "anim/AnimationBmpReader.h"
#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/MiscMath.h"
#include "base/Sjis.h"

namespace zel {
namespace {

// Longest time one Advance plays: a longer call (a game paused for hours)
// plays this much, so that it cannot stall the frame.
constexpr int32_t kMaxAdvanceMs = 600000;

std::string Extension(const std::string& name) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return AsciiLower(std::string_view(name).substr(dot));
}

}  // namespace

TAnimationBmp::TAnimationBmp(TAnimationResources& resources, IAnimationSound* sound, bool keepRawData)
    : res_(resources), sound_(sound), keepRaw_(keepRawData) {
    data_.motions.resize(1);
    data_.motions[0].Reset();
}

TAnimationBmp::~TAnimationBmp() = default;

std::string TAnimationBmp::FullName(const char* node, const std::string& name) const {
    return name_ + "_" + node + "_" + name;
}

bool TAnimationBmp::LoadFromStream(TMemoryStream& stream, const std::string& name) {
    lastError_.clear();
    const std::string ext = Extension(name);
    const std::string base = name.substr(0, name.size() - ext.size());
    if (ext == ".b") {
        TABMPFile f;
        if (!ReadABMP(stream, f, &lastError_)) {
            lastError_ = name + ": " + lastError_;
            return false;
        }
        Adopt(std::move(f), base);
        return true;
    }
    if (ext == ".bmp" || ext == ".jpg" || ext == ".png" || ext == ".argb")
        return LoadSinglePicture(stream, base, ext);
    if (ext == ".m") {
        lastError_ = name + ": motion movies cannot be played yet";
        return false;
    }
    lastError_ = name + ": not an animation or a picture";
    return false;
}

void TAnimationBmp::Adopt(TABMPFile&& file, const std::string& baseName) {
    name_ = baseName.empty() ? "none" : baseName;
    std::vector<TImageSlot> images(file.images.size());
    for (size_t i = 0; i < file.images.size(); ++i) {
        TABMPResource& r = file.images[i];
        images[i].name = r.name;
        images[i].format = r.format;
        if (r.format == afMotionMovie) {
            ReportError(name_ + ": the motion movie \"" + r.name + "\" cannot be played yet");
        } else if (*ImageFormatExtension(r.format) && !r.bytes.empty()) {
            const std::string key = FullName("Image", r.name) + ImageFormatExtension(r.format);
            images[i].cached = TImageHandle(&res_.images, res_.images.Acquire(r.bytes.data(), r.bytes.size(), key));
        }
        if (!keepRaw_) r.bytes = {};
    }
    std::vector<TSoundSlot> sounds(file.sounds.size());
    for (size_t i = 0; i < file.sounds.size(); ++i) {
        TABMPResource& r = file.sounds[i];
        sounds[i].name = r.name;
        sounds[i].format = r.format;
        if (*SoundFormatExtension(r.format) && !r.bytes.empty()) {
            const std::string key = FullName("Sound", r.name) + SoundFormatExtension(r.format);
            sounds[i].pcm = TWaveHandle(&res_.waves, res_.waves.Acquire(r.bytes.data(), r.bytes.size(), key));
        }
        if (!keepRaw_) r.bytes = {};
    }
    data_ = std::move(file);
    images_ = std::move(images);
    sounds_ = std::move(sounds);
    version_ = data_.version;
    speed_ = 1.0f;
    volume_ = 255;
    ResetClocks();
}

bool TAnimationBmp::LoadSinglePicture(TMemoryStream& stream, const std::string& base, const std::string& ext) {
    const std::string name = base.empty() ? "none" : base;
    const std::string key = name + "_Image_ImgDat0" + ext;
    TImageHandle picture(&res_.images, res_.images.Acquire(stream, stream.Remaining(), key));
    if (!picture) {
        lastError_ = base + ext + ": the picture does not load";
        return false;
    }
    TABMPFile f;
    f.version = 0;
    f.width = picture.Get()->Width();
    f.height = picture.Get()->Height();
    f.motions.resize(1);
    f.motions[0].Reset();
    // Key 0 shows the picture; at key 2 the layer jumps back to key 1 and so
    // holds the picture for good (a still picture's length counts as 1000 ms).
    const int32_t length = 1000;
    auto& keys = f.motions[0].layers[0].keys;
    for (int i = 1; i < TABMPLayer::kKeys; ++i) keys[i].time += length - 1000;
    keys[0].kind = keys[1].kind = akImage;
    keys[1].frame = keys[2].frame = length;
    keys[2].action = 1;
    keys[2].args[0] = 1;
    TABMPResource r;
    r.name = "ImgDat0";
    r.format = ext == ".bmp" ? afBmp : ext == ".jpg" ? afJpeg : ext == ".png" ? afPng : afArgb;
    f.images.push_back(std::move(r));

    name_ = name;
    data_ = std::move(f);
    images_.clear();
    images_.resize(1);
    images_[0].name = "ImgDat0";
    images_[0].format = data_.images[0].format;
    images_[0].cached = std::move(picture);
    sounds_.clear();
    version_ = 0;
    speed_ = 1.0f;
    volume_ = 255;
    ResetClocks();
    return true;
}

void TAnimationBmp::ResetClocks() {
    clocks_.fill(TLayerClock{});
    motion_ = 0;
    previousMotion_ = -1;
    hits_.clear();
}

void TAnimationBmp::SetMotion(int index) {
    if (index < 0 || index >= MotionCount()) return;
    motion_ = index;
    previousMotion_ = -1;
    const auto& layers = data_.motions[index].layers;
    for (size_t i = 0; i < layers.size() && i < kMaxLayers; ++i) {
        clocks_[i].time = 0;
        clocks_[i].wait = 0;
        for (const TABMPKey& k : layers[i].keys)
            if (k.action == 2) clocks_[i].time = k.time;
    }
}

int TAnimationBmp::FindMotion(const std::string& name) const {
    for (int i = 0; i < MotionCount(); ++i)
        if (EqualsNoCase(data_.motions[i].name, name)) return i;
    return -1;
}

std::string TAnimationBmp::MotionName(int index) const {
    return index >= 0 && index < MotionCount() ? data_.motions[index].name : std::string();
}

void TAnimationBmp::Advance(int32_t ms) {
    ms = std::min(ms, kMaxAdvanceMs);
    while (ms > 0) {
        const int32_t step = std::min(ms, kStepMs);
        Step(step);
        ms -= step;
    }
    hits_.clear();
    CellPass(nullptr, 0, 0, 255, 0);
}

void TAnimationBmp::Step(double step) {
    if (motion_ < 0 || motion_ >= MotionCount()) return;
    const auto& layers = data_.motions[motion_].layers;
    for (size_t i = 0; i < layers.size() && i < kMaxLayers; ++i) {
        TLayerClock& c = clocks_[i];
        const double last = layers[i].keys[TABMPLayer::kKeys - 1].time;
        if (c.time >= last) {
            c.time = last;
        } else if (c.wait > step) {
            c.wait -= step;
        } else {
            c.time += (step - c.wait) * speed_;
            c.wait = 0;
            if (c.time > last) c.time = last;
        }
    }
    RunActions();
    previousMotion_ = motion_;
}

void TAnimationBmp::RunActions() {
    auto& layers = data_.motions[motion_].layers;
    const size_t count = std::min<size_t>(layers.size(), kMaxLayers);
    auto everyLayer = [&](auto&& fn) {
        for (size_t j = 0; j < data_.motions[motion_].layers.size() && j < kMaxLayers; ++j) fn(j);
    };
    for (size_t i = 0; i < count; ++i) {
        const TABMPLayer& layer = layers[i];
        TLayerClock& c = clocks_[i];
        const int k = KeyIndexAt(layer, c.time);
        if (k < 0) continue;
        const TABMPKey& key = layer.keys[k];
        const double into = c.time - key.time;
        const uint8_t a1 = key.args[0], a2 = key.args[1];
        switch (key.action) {
            case 1:
                if (a1 < TABMPLayer::kKeys) c.time = a1 == k ? key.time : layer.keys[a1].time + into;
                break;
            case 4:
                if (a1 < TABMPLayer::kKeys && VoiceLevel() > (a2 ? a2 : 32)) c.time = layer.keys[a1].time + into;
                break;
            case 7:
                everyLayer([&](size_t j) { clocks_[j].time = layers[j].keys[TABMPLayer::kKeys - 1].time; });
                break;
            default:
                break;
        }
        if (previousMotion_ == motion_ && c.key == k) continue;
        switch (key.action) {
            case 3: c.wait = Random(a1 * 1000); break;
            case 6: c.wait = a1 * 1000; break;
            case 9: c.wait = Random(a1 * 10); break;
            case 10: c.wait = a1 * 10; break;
            case 5:
                if (a1 >= MotionCount()) break;
                SetMotion(a1);
                everyLayer([&](size_t j) { clocks_[j].time += into; });
                previousMotion_ = motion_;
                return;
            case 8: PlaySound(a1, a2 ? a2 : 255, key.args[2] != 0); break;
            case 11:
                if (sound_) sound_->StopEffect();
                break;
            case 12:
                everyLayer([&](size_t j) { clocks_[j].time = a1 * 1000.0 + into, clocks_[j].wait = 0; });
                break;
            case 13: {
                const double t = c.time;
                everyLayer([&](size_t j) { clocks_[j].time = t, clocks_[j].wait = 0; });
                break;
            }
            default: break;
        }
        c.key = k;
    }
}

void TAnimationBmp::PlaySound(int index, int volume, bool loop) {
    if (!sound_ || index >= static_cast<int>(sounds_.size()) || !sounds_[index].pcm) return;
    sound_->PlayEffect(name_ + sounds_[index].name, sounds_[index].pcm.Get()->pcm, volume_ * volume / 255, loop);
}

int32_t TAnimationBmp::VoiceLevel() const { return sound_ ? std::clamp(sound_->VoiceLevel(), 0, 255) : 0; }

bool TAnimationBmp::Finished() const {
    if (motion_ < 0 || motion_ >= MotionCount()) return true;
    const auto& layers = data_.motions[motion_].layers;
    for (size_t i = 0; i < layers.size(); ++i)
        if (clocks_[i].time < layers[i].keys[TABMPLayer::kKeys - 1].time) return false;
    return true;
}

void TAnimationBmp::SetTime(int layer, double ms) {
    for (int i = 0; i < kMaxLayers; ++i)
        if (layer < 0 || layer >= kMaxLayers || layer == i) clocks_[i].time = ms, clocks_[i].wait = 0;
}

void TAnimationBmp::SetWait(int layer, double ms) {
    for (int i = 0; i < kMaxLayers; ++i)
        if (layer < 0 || layer >= kMaxLayers || layer == i) clocks_[i].wait = ms;
}

double TAnimationBmp::LayerTime(int layer) const { return layer >= 0 && layer < kMaxLayers ? clocks_[layer].time : 0; }
double TAnimationBmp::LayerWait(int layer) const { return layer >= 0 && layer < kMaxLayers ? clocks_[layer].wait : 0; }

bool TAnimationBmp::HitTest(int32_t x, int32_t y) const {
    for (const THitArea& h : hits_)
        if (h.x <= x && x < h.right && h.y <= y && y < h.bottom) return true;
    return false;
}

void TAnimationBmp::PushHit(int32_t x, int32_t y, int32_t right, int32_t bottom, int32_t number) {
    if (hits_.size() >= kMaxStack || (x == right && y == bottom)) return;
    hits_.push_back({x, y, right, bottom, number});
}

const TARGB8888* TAnimationBmp::Picture(int index) const {
    return index >= 0 && index < ImageCount() ? images_[index].Get() : nullptr;
}

bool TAnimationBmp::ReplaceImage(int index, TMemoryStream& stream, const std::string& name) {
    if (index < 0 || index >= ImageCount()) return false;
    TImageHandle h(&res_.images, res_.images.Acquire(stream, stream.Remaining(), name));
    if (!h) return false;
    images_[index].cached = std::move(h);
    images_[index].own.reset();
    return true;
}

void TAnimationBmp::SetImage(int index, const TARGB8888& picture) {
    if (index < 0 || index >= ImageCount()) return;
    auto copy = std::make_unique<TARGB8888>();
    copy->AssignImage(picture);
    images_[index].own = std::move(copy);
}

void TAnimationBmp::SetImageEffects(int index, const std::string& text) {
    if (index < 0 || index >= ImageCount() || EqualsNoCase(images_[index].effectText, text)) return;
    images_[index].effectText = text.substr(0, 4096);
    images_[index].effects = ParseImageEffects(images_[index].effectText);
}

const std::vector<TImageEffect>& TAnimationBmp::ImageEffects(int index) const {
    static const std::vector<TImageEffect> kNone;
    return index >= 0 && index < ImageCount() ? images_[index].effects : kNone;
}

void TAnimationBmp::MakeRectangleMotion(uint32_t colour, uint8_t blend, int32_t x, int32_t y, int32_t right,
                                        int32_t bottom) {
    if (data_.motions.empty()) data_.motions.resize(1);
    TABMPMotion& m = data_.motions[0];
    m.Reset();
    TABMPKey& k0 = m.layers[1].keys[0];
    k0.time = 0;
    k0.kind = akRectangle;
    k0.blend = blend;
    auto s16 = [](int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
    k0.dst = {s16(x), s16(y), s16(right), s16(bottom)};
    k0.baseColour = colour & 0xFFFFFF;
    k0.opacity = static_cast<uint8_t>(colour >> 24);
    TABMPKey& k1 = m.layers[1].keys[1];
    k1.time = 1000;
    k1.action = 1;
    k1.args[0] = 0;
}

}  // namespace zel
