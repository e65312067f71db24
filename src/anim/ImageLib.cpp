#include "anim/ImageLib.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "anim/AnimationBmpLib.h"
#include "base/Errors.h"
#include "base/IntMath.h"
#include "base/MiscMath.h"
#include "base/Sjis.h"
#include "base/SjisText.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "storage/GameFiles.h"
#include "storage/GameStorage.h"

namespace zel {

namespace {

// Block offsets (see the header).
constexpr size_t kVisible = 0, kEnabled = 1, kVolume = 2, kLabel = 6, kTimes = 10, kWaits = 1034, kX = 2058,
                 kY = 2062, kLayer = 2066, kAlpha = 2070, kStream = 2074, kEffect = 2078, kMain = 2082,
                 kSecond = 2210, kHitArea = 2338, kMouse = 2354, kHover = 2362, kGlideFrom = 2378,
                 kGlideTo = 2390, kGlideTimes = 2402, kFadeAlphas = 2410, kFadeTimes = 2418, kCurve = 2426,
                 kUserInts = 2427, kUserStrings = 2443, kAnchorX = 2699, kAnchorY = 2703, kMouseMask = 2707,
                 kDrawMask = 2711, kButtonOffset = 2715, kLastLabel = 2723, kPaused = 2727, kThird = 2728,
                 kFourth = 2856, kFifth = 2984, kCacheFlags = 3112, kSpeed = 3120, kTail = 3124;
constexpr size_t kNameFields[TImageLib::kFileCount] = {kMain, kSecond, kThird, kFourth, kFifth};

void PutI32(uint8_t* b, size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetI32(const uint8_t* b, size_t at) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= uint32_t{b[at + i]} << (8 * i);
    return static_cast<int32_t>(u);
}


// A length byte and up to `room` bytes; the length read back is clamped.
void PutShort(uint8_t* b, size_t at, const std::string& text, size_t room) {
    const std::string t = CutToBytes(text, room);
    b[at] = static_cast<uint8_t>(t.size());
    std::memcpy(b + at + 1, t.data(), t.size());
}

std::string GetShort(const uint8_t* b, size_t at, size_t room) {
    const size_t n = std::min<size_t>(b[at], room);
    return CutToBytes(std::string_view(reinterpret_cast<const char*>(b + at + 1), n), room);
}

// A text written into a fixed field of `size` bytes, NUL-padded.
void PutFixed(uint8_t* b, size_t at, const std::string& text, size_t size) {
    const std::string t = CutToBytes(text, size - 1);
    std::memcpy(b + at, t.data(), t.size());
}

std::string GetFixed(const uint8_t* b, size_t at, size_t size) {
    const auto* p = reinterpret_cast<const char*>(b + at);
    return CutToBytes(std::string_view(p, strnlen(p, size - 1)), size - 1);
}


std::vector<std::string> SplitAtCommas(std::string_view s) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < s.size(); i = NextCharPos(s, i)) {
        const size_t n = CharLen(s, i);
        if (n == 1 && s[i] == ',') parts.emplace_back();
        else parts.back().append(s.substr(i, n));
    }
    return parts;
}

std::string WithExtension(const std::string& name, const char* ext) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.find_last_of('\\');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + ext;
    return name.substr(0, dot) + ext;
}

bool IsPseudoName(std::string_view name) { return name.find("$$$") != std::string_view::npos; }

// "$$$" pictures change under the same name: each load gets a name of its
// own in the shared picture cache.
std::atomic<uint32_t> gPseudoLoads{0};

}  // namespace

int32_t GlideCurve(int type, int32_t t, int32_t f, int32_t g) {
    if (t < 0) return f;
    if (t >= 1024) return g;
    const float u = static_cast<float>(t) / 1024.0f;
    const auto ff = static_cast<float>(f), gf = static_cast<float>(g);
    switch (type) {
        case 1: return RoundHalfEven(Lerp(u, gf, ff));
        case 2: return RoundHalfEven(Spline(u, gf, gf, ff, ff));
        case 3: return RoundHalfEven(EaseA(u, gf, ff));
        case 4: return RoundHalfEven(EaseB(u, gf, ff));
        case 5: return RoundHalfEven(Hermite(1, 1, u, gf, gf, ff, ff));
        case 6: return RoundHalfEven(EaseA(u, gf, ff) + static_cast<float>(Random(40) - 20) * (1 - u));
        default: return g;
    }
}

TImageLib::TImageLib(IGameFiles* files, TAnimationResources& resources, IAnimationSound* sound)
    : gameFiles_(files), resources_(resources), sound_(sound) {
    NewAnimation();
    Reset();
}

TImageLib::~TImageLib() = default;

void TImageLib::NewAnimation() {
    anim_ = std::make_unique<TAnimationBmp>(resources_, sound_);
    anim_->SetVolume(volume_);
    anim_->SetSpeed(static_cast<float>(speed_) / 100.0f);
}

// ---------------------------------------------------------------------------
// Virtual slots

void TImageLib::UpdateHover() {
    const std::string current = AsciiLower(LabelName());
    if (HitTest(mouseX_, mouseY_)) {
        const int on = anim_->FindMotion("*OnMouse");
        if (on >= 0 && on != anim_->CurrentMotion()) anim_->SetMotion(on);
    } else if (current == "*onmouse") {
        const int off = anim_->FindMotion("*OffMouse");
        if (off >= 0) anim_->SetMotion(off);
    }
}

void TImageLib::Reset() {
    visible_ = enabled_ = paused_ = false;
    volume_ = 255;
    speed_ = 100;
    NewAnimation();
    x_ = y_ = layer_ = 0;
    alpha_ = 255;
    streamChannel_ = kStreamChannels - 2;
    effectChannel_ = kEffectChannels - 2;
    files_ = {};
    hitArea_ = {};
    mouseX_ = mouseY_ = -10000;
    hover_ = {};
    glideFrom_ = glideTo_ = {};
    glideRemaining_ = glideDuration_ = 0;
    fadeFrom_ = fadeTarget_ = 255;
    fadeRemaining_ = fadeDuration_ = 0;
    curve_ = 1;
    userInts = {};
    userStrings = {};
    anchorX_ = anchorY_ = 0;
    mouseMask_ = drawMask_ = 255;
    buttonDx_ = buttonDy_ = 0;
    lastLabel_ = 0;
    tail_ = {};
    frameNames_ = {};
    for (int i = 0; i < kCacheSlots; ++i) {
        cacheNames_[static_cast<size_t>(i)].clear();
        cacheData_[static_cast<size_t>(i)].clear();
    }
    RecordDeferred();
}

void TImageLib::Update(uint32_t, int32_t elapsedMs) {
    const int32_t elapsed = std::max(0, elapsedMs);
    // Durations and remaining times multiply in 64 bits: a glide longer than
    // 35 minutes must not overflow.
    auto progress = [&](int32_t& remaining, int32_t duration) -> int32_t {
        remaining = std::max(0, remaining - elapsed);
        if (duration <= 0) return 1024;
        return static_cast<int32_t>(1024 - int64_t{remaining} * 1024 / duration);
    };
    const int32_t tg = progress(glideRemaining_, glideDuration_);
    x_ = GlideCurve(curve_, tg, glideFrom_.x, glideTo_.x);
    y_ = GlideCurve(curve_, tg, glideFrom_.y, glideTo_.y);
    layer_ = RoundHalfEven(Lerp(static_cast<float>(tg) / 1024.0f, static_cast<float>(glideTo_.layer),
                                static_cast<float>(glideFrom_.layer)));
    if (tg >= 1024) layer_ = glideTo_.layer;
    const int32_t tf = progress(fadeRemaining_, fadeDuration_);
    alpha_ = GlideCurve(1, tf, fadeFrom_, fadeTarget_);
    if (!visible_) return;
    anim_->Advance(paused_ ? 0 : elapsed);
    anim_->PushHit(hitArea_[0], hitArea_[1], hitArea_[2], hitArea_[3], 0);
    const int32_t label = LabelNumber();
    if (label != lastLabel_ && onLabelChange_) onLabelChange_(label);
    lastLabel_ = label;
}

void TImageLib::Draw(TARGB8888CellDraw& cells, uint32_t mask, int32_t dx, int32_t dy) {
    if ((mask & static_cast<uint32_t>(drawMask_)) == 0 || !visible_ || !Loaded() || alpha_ <= 0) return;
    const int32_t left = Left(0), top = Top(0);
    const bool hoverEmpty = hover_[0] == hover_[2] || hover_[1] == hover_[3];
    if (!hoverEmpty) {
        const int64_t mx = int64_t{mouseX_} - left, my = int64_t{mouseY_} - top;
        if (!(hover_[0] <= mx && mx < hover_[2] && hover_[1] <= my && my < hover_[3])) return;
    }
    anim_->Draw(cells, SatInt32(int64_t{dx} + left), SatInt32(int64_t{dy} + top), alpha_, layer_);
}

void TImageLib::Show() { visible_ = enabled_ = true; }

void TImageLib::Hide() { visible_ = enabled_ = false; }

void TImageLib::Enable() {
    const bool was = enabled_;
    visible_ = enabled_ = true;
    if (!was) StartLabel("*Enable", true);
}

void TImageLib::Disable() {
    if (enabled_ && visible_ && anim_->FindMotion("*Disable") >= 0) {
        StartLabel("*Disable", true);
        enabled_ = false;
    } else {
        Hide();
    }
}

void TImageLib::SetMouse(uint32_t mask, int32_t x, int32_t y) {
    mouseX_ = x;
    mouseY_ = y;
    if (enabled_ && (mask & static_cast<uint32_t>(mouseMask_)) != 0) UpdateHover();
}

void TImageLib::RecordDeferred() {
    for (int i = 0; i < kFileCount; ++i) deferred_[static_cast<size_t>(i)] = files_[static_cast<size_t>(i)];
    deferred_[5] = LabelName();
    deferredEnabled_ = enabled_;
}

void TImageLib::ApplyDeferred() {
    Load(deferred_[0], deferred_[1], false, false, deferred_[2], deferred_[3], deferred_[4]);
    if (deferredEnabled_)
        Enable();
    else
        Hide();
    const std::string& label = deferred_[5];
    const int64_t n = ParseDecimalOrHex(label, INT64_MIN);
    if (n != INT64_MIN)
        StartLabelNumber(static_cast<int32_t>(n), true);
    else
        StartLabel(label, true);
}

// ---------------------------------------------------------------------------
// Loading

bool TImageLib::OpenInto(int slot, const std::string& name, bool useCache, std::unique_ptr<TMemoryStream>& out) {
    const auto i = static_cast<size_t>(slot);
    if (useCache && !cacheNames_[i].empty() && EqualsNoCase(cacheNames_[i], name)) {
        // The copy stays for the next save.
        out = std::make_unique<TMemoryStream>(cacheData_[i]);
        return true;
    }
    out = gameFiles_ ? gameFiles_->OpenGameFile(name) : nullptr;
    if (!out) return false;
    if (IsPseudoName(name)) {
        cacheNames_[i] = name;
        cacheData_[i] = out->Bytes();
    }
    return true;
}

std::string TImageLib::AnimationKey(const std::string& name) const {
    if (!IsPseudoName(name)) return name;
    const uint32_t n = gPseudoLoads.fetch_add(1, std::memory_order_relaxed) & 0xFFFFFFu;
    return std::to_string(n) + "_" + name;
}

bool TImageLib::Load(const std::string& main, const std::string& second, bool useCache, bool force,
                     const std::string& third, const std::string& fourth, const std::string& fifth) {
    if (main.empty()) {
        NewAnimation();
        files_ = {};
        return true;
    }
    const std::vector<std::string> parts = SplitAtCommas(AsciiLower(main));
    if (parts.size() == 6 && parts[0] == "rect") {
        const auto v = [&](size_t i, int64_t def) { return ParseDecimalOrHex(parts[i], def); };
        NewAnimation();
        // Key blend 0: the rectangle is alpha-blended in its colour.
        anim_->MakeRectangleMotion(static_cast<uint32_t>(v(5, -1)), 0, static_cast<int32_t>(v(1, 0)),
                                   static_cast<int32_t>(v(2, 0)), static_cast<int32_t>(v(3, 800)),
                                   static_cast<int32_t>(v(4, 600)));
        files_ = {};
        files_[0] = CutToBytes(main, 127);
        return true;
    }
    const std::string given[kFileCount] = {main, second, third, fourth, fifth};
    std::array<std::string, kFileCount> names;
    for (int i = 0; i < kFileCount; ++i) {
        const std::string& n = given[i];
        // A cached copy (a "$$$" picture kept by a save) stands for a file
        // that may no longer exist.
        const std::string& cached = cacheNames_[static_cast<size_t>(i)];
        const bool inCache = useCache && !cached.empty() && EqualsNoCase(cached, NormalizeGamePath(n));
        if (!n.empty() && (inCache || (gameFiles_ && gameFiles_->GameFileExists(n))))
            names[static_cast<size_t>(i)] = NormalizeGamePath(n);
    }
    if (names[0].empty()) {
        Reset();
        return false;
    }
    if (!force) {
        bool same = true;
        for (int i = 0; i < kFileCount && same; ++i)
            same = EqualsNoCase(names[static_cast<size_t>(i)], files_[static_cast<size_t>(i)]) &&
                   !IsPseudoName(names[static_cast<size_t>(i)]);
        if (same) return true;
    }
    Hide();
    NewAnimation();
    std::unique_ptr<TMemoryStream> stream;
    if (!OpenInto(0, names[0], useCache, stream) || !anim_->LoadFromStream(*stream, AnimationKey(names[0]))) {
        files_ = {};
        return false;
    }
    for (int i = 1; i < kFileCount; ++i) {
        const std::string& n = names[static_cast<size_t>(i)];
        if (n.empty()) continue;
        std::unique_ptr<TMemoryStream> extra;
        if (OpenInto(i, n, useCache, extra)) anim_->ReplaceImage(i - 1, *extra, AnimationKey(n));
    }
    for (int i = 0; i < kFileCount; ++i) files_[static_cast<size_t>(i)] = CutToBytes(names[static_cast<size_t>(i)], 127);
    return true;
}

bool TImageLib::LoadRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
    char name[96];
    std::snprintf(name, sizeof name, "rect,%d,%d,%d,%d,$%.8x", x1, y1, x2, y2, colour);
    return Load(name, {}, false, true);
}

// ---------------------------------------------------------------------------
// Motion and labels

void TImageLib::MoveTo(int32_t x, int32_t y, int32_t layer, int32_t duration) {
    glideFrom_ = glideTo_;
    glideTo_ = {x, y, layer};
    glideDuration_ = glideRemaining_ = std::max(0, duration);
    if (duration <= 0) {
        x_ = x;
        y_ = y;
        layer_ = layer;
    }
}

void TImageLib::FadeTo(int32_t alpha, int32_t duration) {
    fadeFrom_ = fadeTarget_;
    fadeTarget_ = alpha;
    fadeDuration_ = fadeRemaining_ = std::max(0, duration);
    if (duration <= 0) alpha_ = alpha;
}

void TImageLib::StartLabel(const std::string& name, bool restart) {
    const int n = anim_->FindMotion(name);
    if (n < 0 || (n == anim_->CurrentMotion() && !restart)) return;
    anim_->SetMotion(n);
}

void TImageLib::StartLabelNumber(int32_t number, bool restart) {
    if (number == -1 || (number == anim_->CurrentMotion() && !restart)) return;
    if (number < 0 || number >= anim_->MotionCount()) return;
    if (!enabled_) Show();
    anim_->SetMotion(number);
}

int32_t TImageLib::LabelNumber() const { return anim_->CurrentMotion(); }

std::string TImageLib::LabelName() const { return anim_->MotionName(anim_->CurrentMotion()); }

int32_t TImageLib::Width() const { return anim_->CanvasWidth(); }

int32_t TImageLib::Height() const { return anim_->CanvasHeight(); }

int32_t TImageLib::Left(int32_t mode) const {
    const int32_t w = Width();
    const int64_t left = int64_t{x_} - (anchorX_ == 1 ? w / 2 : anchorX_ == 2 ? w : 0);
    return SatInt32(left + (mode == 1 ? w / 2 : mode == 2 ? w : 0));
}

int32_t TImageLib::Top(int32_t mode) const {
    const int32_t h = Height();
    const int64_t top = int64_t{y_} - (anchorY_ == 1 ? h / 2 : anchorY_ == 2 ? h : 0);
    return SatInt32(top + (mode == 1 ? h / 2 : mode == 2 ? h : 0));
}

bool TImageLib::HitTest(int32_t x, int32_t y) const {
    return anim_->HitTest(SatInt32(int64_t{x} - Left(0)), SatInt32(int64_t{y} - Top(0)));
}

void TImageLib::SetStreamChannel(int32_t channel) { streamChannel_ = channel; }

void TImageLib::SetEffectChannel(int32_t channel) { effectChannel_ = channel; }

void TImageLib::SetAnimationSetting(int32_t volume) {
    volume_ = std::clamp(volume, 0, 255);
    anim_->SetVolume(volume_);
}

void TImageLib::SetSpeedPercent(int32_t percent) {
    speed_ = percent;
    anim_->SetSpeed(static_cast<float>(percent) / 100.0f);
}

// ---------------------------------------------------------------------------
// State

void TImageLib::WriteBlock(uint8_t* b) const {
    std::memset(b, 0, kStateSize);
    b[kVisible] = visible_ ? 1 : 0;
    b[kEnabled] = enabled_ ? 1 : 0;
    PutI32(b, kVolume, volume_);
    PutI32(b, kLabel, LabelNumber());
    for (int i = 0; i < 256; ++i) {
        PutI32(b, kTimes + 4 * size_t(i), RoundHalfEven(anim_->LayerTime(i)));
        PutI32(b, kWaits + 4 * size_t(i), RoundHalfEven(anim_->LayerWait(i)));
    }
    PutI32(b, kX, x_);
    PutI32(b, kY, y_);
    PutI32(b, kLayer, layer_);
    PutI32(b, kAlpha, alpha_);
    PutI32(b, kStream, streamChannel_);
    PutI32(b, kEffect, effectChannel_);
    for (int i = 0; i < kFileCount; ++i) PutShort(b, kNameFields[i], files_[static_cast<size_t>(i)], 127);
    for (int i = 0; i < 4; ++i) PutI32(b, kHitArea + 4 * size_t(i), hitArea_[static_cast<size_t>(i)]);
    PutI32(b, kMouse, mouseX_);
    PutI32(b, kMouse + 4, mouseY_);
    for (int i = 0; i < 4; ++i) PutI32(b, kHover + 4 * size_t(i), hover_[static_cast<size_t>(i)]);
    const TGlide* g[2] = {&glideFrom_, &glideTo_};
    for (int k = 0; k < 2; ++k) {
        const size_t at = k == 0 ? kGlideFrom : kGlideTo;
        PutI32(b, at, g[k]->x);
        PutI32(b, at + 4, g[k]->y);
        PutI32(b, at + 8, g[k]->layer);
    }
    PutI32(b, kGlideTimes, glideRemaining_);
    PutI32(b, kGlideTimes + 4, glideDuration_);
    PutI32(b, kFadeAlphas, fadeFrom_);
    PutI32(b, kFadeAlphas + 4, fadeTarget_);
    PutI32(b, kFadeTimes, fadeRemaining_);
    PutI32(b, kFadeTimes + 4, fadeDuration_);
    b[kCurve] = curve_;
    for (int i = 0; i < 4; ++i) {
        PutI32(b, kUserInts + 4 * size_t(i), userInts[static_cast<size_t>(i)]);
        PutFixed(b, kUserStrings + 64 * size_t(i), userStrings[static_cast<size_t>(i)], 64);
    }
    PutI32(b, kAnchorX, anchorX_);
    PutI32(b, kAnchorY, anchorY_);
    PutI32(b, kMouseMask, mouseMask_);
    PutI32(b, kDrawMask, drawMask_);
    PutI32(b, kButtonOffset, buttonDx_);
    PutI32(b, kButtonOffset + 4, buttonDy_);
    PutI32(b, kLastLabel, lastLabel_);
    b[kPaused] = paused_ ? 1 : 0;
    PutI32(b, kSpeed, speed_);
    std::memcpy(b + kTail, tail_.data(), tail_.size());
}

void TImageLib::SaveState(TMemoryStream& s) const {
    std::vector<uint8_t> block(kStateSize);
    WriteBlock(block.data());
    // Pictures that exist only in memory ("$$$" captures) go into the save
    // as JPEG copies.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    for (int i = 0; i < kCacheSlots; ++i) {
        const auto k = static_cast<size_t>(i);
        if (cacheNames_[k].empty() || cacheData_[k].empty()) continue;
        TARGB8888 picture;
        TMemoryStream in(cacheData_[k]);
        try {
            if (!LoadFromStream(picture, &in, cacheNames_[k]) || picture.Empty()) continue;
        } catch (const EZelError&) {
            continue;
        }
        TMemoryStream jpeg;
        if (!SaveJpeg(picture, jpeg, 90)) continue;
        block[kCacheFlags + k] = 1;
        entries.emplace_back(WithExtension(cacheNames_[k], ".jpg"), jpeg.TakeBytes());
    }
    s.Write(block.data(), block.size());
    for (const std::string& n : frameNames_) WriteLenString(s, n);
    for (const auto& [name, bytes] : entries) {
        WriteLenString(s, name);
        s.WriteI32(static_cast<int32_t>(bytes.size()));
        s.Write(bytes.data(), bytes.size());
    }
}

bool TImageLib::LoadState(TMemoryStream& s, std::string* why) {
    // Everything is read and checked before the object changes.
    std::vector<uint8_t> block(kStateSize);
    std::array<std::string, 16> frames;
    std::array<std::string, kCacheSlots> names;
    std::array<std::vector<uint8_t>, kCacheSlots> data;
    const size_t start = s.Position();
    try {
        s.Require(kStateSize);
        s.Read(block.data(), kStateSize);
        for (std::string& n : frames) n = ReadLenString(s);
        for (int i = 0; i < kCacheSlots; ++i) {
            const auto k = static_cast<size_t>(i);
            if (block[kCacheFlags + k] == 0) continue;
            const std::string name = ReadLenString(s);
            const int32_t n = s.ReadI32();
            if (n < 0 || static_cast<size_t>(n) > s.Remaining())
                throw EStreamError("image state: picture \"" + name + "\" claims " + std::to_string(n) + " bytes, " +
                                   std::to_string(s.Remaining()) + " remain");
            TMemoryStream jpeg(s.ReadBytes(static_cast<size_t>(n)));
            TARGB8888 picture;
            if (!LoadFromStream(picture, &jpeg, name) || picture.Empty())
                throw EStreamError("image state: picture \"" + name + "\" does not decode");
            TMemoryStream bmp;
            if (!SaveBmp(picture, bmp)) throw EStreamError("image state: picture \"" + name + "\" cannot be kept");
            names[k] = WithExtension(name, ".bmp");
            data[k] = bmp.TakeBytes();
        }
    } catch (const EZelError& e) {
        s.Seek(start);
        if (why) *why = e.what();
        return false;
    }
    const uint8_t* b = block.data();
    std::array<std::string, kFileCount> files;
    for (int i = 0; i < kFileCount; ++i) files[static_cast<size_t>(i)] = GetShort(b, kNameFields[i], 127);

    Reset();
    cacheNames_ = names;
    cacheData_ = data;
    if (!files[0].empty()) Load(files[0], files[1], true, true, files[2], files[3], files[4]);
    SetAnimationSetting(GetI32(b, kVolume));
    streamChannel_ = GetI32(b, kStream);
    effectChannel_ = GetI32(b, kEffect);
    SetSpeedPercent(GetI32(b, kSpeed));
    const int32_t label = GetI32(b, kLabel);
    if (label >= 0 && label < anim_->MotionCount()) anim_->SetMotion(label);
    for (int i = 0; i < 256; ++i) {
        anim_->SetTime(i, GetI32(b, kTimes + 4 * size_t(i)));
        anim_->SetWait(i, GetI32(b, kWaits + 4 * size_t(i)));
    }
    for (int i = 0; i < 4; ++i) hitArea_[static_cast<size_t>(i)] = GetI32(b, kHitArea + 4 * size_t(i));
    if (b[kVisible] == 1) Show();
    // The rest of the block is taken over as saved.
    visible_ = b[kVisible] == 1;
    enabled_ = b[kEnabled] == 1;
    volume_ = std::clamp(GetI32(b, kVolume), 0, 255);
    x_ = GetI32(b, kX);
    y_ = GetI32(b, kY);
    layer_ = GetI32(b, kLayer);
    alpha_ = GetI32(b, kAlpha);
    mouseX_ = GetI32(b, kMouse);
    mouseY_ = GetI32(b, kMouse + 4);
    for (int i = 0; i < 4; ++i) hover_[static_cast<size_t>(i)] = GetI32(b, kHover + 4 * size_t(i));
    glideFrom_ = {GetI32(b, kGlideFrom), GetI32(b, kGlideFrom + 4), GetI32(b, kGlideFrom + 8)};
    glideTo_ = {GetI32(b, kGlideTo), GetI32(b, kGlideTo + 4), GetI32(b, kGlideTo + 8)};
    glideRemaining_ = std::max(0, GetI32(b, kGlideTimes));
    glideDuration_ = GetI32(b, kGlideTimes + 4);
    fadeFrom_ = GetI32(b, kFadeAlphas);
    fadeTarget_ = GetI32(b, kFadeAlphas + 4);
    fadeRemaining_ = std::max(0, GetI32(b, kFadeTimes));
    fadeDuration_ = GetI32(b, kFadeTimes + 4);
    curve_ = b[kCurve];
    for (int i = 0; i < 4; ++i) {
        userInts[static_cast<size_t>(i)] = GetI32(b, kUserInts + 4 * size_t(i));
        userStrings[static_cast<size_t>(i)] = GetFixed(b, kUserStrings + 64 * size_t(i), 64);
    }
    anchorX_ = GetI32(b, kAnchorX);
    anchorY_ = GetI32(b, kAnchorY);
    mouseMask_ = GetI32(b, kMouseMask);
    drawMask_ = GetI32(b, kDrawMask);
    buttonDx_ = GetI32(b, kButtonOffset);
    buttonDy_ = GetI32(b, kButtonOffset + 4);
    lastLabel_ = GetI32(b, kLastLabel);
    paused_ = b[kPaused] != 0;
    std::memcpy(tail_.data(), b + kTail, tail_.size());
    frameNames_ = frames;
    return true;
}

}  // namespace zel
