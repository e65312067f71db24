// The message window's saved state, its voice and its hand-off to the log.
#include <algorithm>
#include <cstring>
#include <vector>

#include "anim/MessageLib.h"
#include "anim/MessageText.h"
#include "base/Errors.h"
#include "base/Sjis.h"
#include "graphics/ImageFileError.h"
#include "storage/GameStorage.h"

namespace zel {

using namespace message_text;

namespace {

constexpr size_t kState = 0, kVertical = 1, kFont = 2, kPrevFont = 6, kArea = 10, kPen = 26, kPitch = 34,
                 kPrevPitch = 42, kSize = 50, kPrevSize = 58, kReadPos = 66, kColour = 70, kPrevColour = 74,
                 kRubySize = 78, kRubyColour = 86, kPrevRubyColour = 90, kRubyFont = 94, kRubyPitch = 98,
                 kRubyOffset = 106, kWait = 114, kCharacter = 118, kVoice = 246, kVoiceVolume = 374,
                 kVoiceSkip = 378, kVoiceStart = 382, kVoiceLevel = 386, kFade = 390, kHang = 402, kQuotes = 406,
                 kSpeed = 534, kScrollMode = 538, kAutoCount = 539;

void Put(uint8_t* b, size_t at, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t Get(const uint8_t* b, size_t at) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= uint32_t{b[at + size_t(i)]} << (8 * i);
    return static_cast<int32_t>(u);
}

void PutShort(uint8_t* b, size_t at, const std::string& text) {
    const std::string t = CutAtChar(text, 127);
    b[at] = static_cast<uint8_t>(t.size());
    std::memcpy(b + at + 1, t.data(), t.size());
}

std::string GetShort(const uint8_t* b, size_t at) {
    const size_t n = std::min<size_t>(b[at], 127);
    return CutAtChar(std::string_view(reinterpret_cast<const char*>(b + at + 1), n), 127);
}

// The last token boundary at or before pos.
size_t TokenBoundary(std::string_view s, size_t pos) {
    size_t at = 0;
    while (at < s.size()) {
        bool code = false, closed = false;
        const size_t end = TokenEnd(s, at, &code, &closed);
        if (end > pos) break;
        at = end;
    }
    return at;
}

}  // namespace

void TMessageLib::WriteBlock(uint8_t* b) const {
    std::memset(b, 0, kBlockSize);
    b[kState] = state_;
    b[kVertical] = vertical_;
    Put(b, kFont, font_);
    Put(b, kPrevFont, prevFont_);
    const int32_t area[4] = {areaLeft_, areaTop_, areaRight_, areaBottom_};
    for (size_t i = 0; i < 4; ++i) Put(b, kArea + 4 * i, area[i]);
    Put(b, kPen, penX_);
    Put(b, kPen + 4, penY_);
    Put(b, kPitch, pitchX_);
    Put(b, kPitch + 4, pitchY_);
    Put(b, kPrevPitch, prevPitchX_);
    Put(b, kPrevPitch + 4, prevPitchY_);
    Put(b, kSize, charW_);
    Put(b, kSize + 4, charH_);
    Put(b, kPrevSize, prevCharW_);
    Put(b, kPrevSize + 4, prevCharH_);
    Put(b, kColour, static_cast<int32_t>(colour_));
    Put(b, kPrevColour, static_cast<int32_t>(prevColour_));
    Put(b, kRubySize, rubyW_);
    Put(b, kRubySize + 4, rubyH_);
    Put(b, kRubyColour, static_cast<int32_t>(rubyColour_));
    Put(b, kPrevRubyColour, static_cast<int32_t>(prevRubyColour_));
    Put(b, kRubyFont, rubyFont_);
    Put(b, kRubyPitch, rubyPitchX_);
    Put(b, kRubyPitch + 4, rubyPitchY_);
    Put(b, kRubyOffset, rubyOffX_);
    Put(b, kRubyOffset + 4, rubyOffY_);
    Put(b, kWait, wait_);
    PutShort(b, kCharacter, character_);
    PutShort(b, kVoice, voiceFile_);
    Put(b, kVoiceVolume, voiceVolume_);
    Put(b, kVoiceSkip, voiceSkip_);
    Put(b, kVoiceStart, voiceStart_);
    Put(b, kVoiceLevel, voiceLevel_);
    Put(b, kFade, fadeLevel_);
    Put(b, kFade + 4, fadeRate_);
    Put(b, kFade + 8, fadeStep_);
    Put(b, kHang, hangOffset_);
    PutShort(b, kQuotes, quotes_);
    Put(b, kSpeed, speed_);
    b[kScrollMode] = scrollMode_ ? 1 : 0;
    b[kAutoCount] = autoCount_ ? 1 : 0;
}

void TMessageLib::SaveState(TMemoryStream& s) const {
    TImageLib::SaveState(s);
    std::vector<uint8_t> block(kBlockSize);
    WriteBlock(block.data());
    // A page too long for its length field keeps what is still to be typed.
    std::string pending = pending_;
    size_t pos = pendingPos_;
    if (pending.size() > 0xFFFF) {
        pending = CutAtChar(std::string_view(pending_).substr(std::min(pendingPos_, pending_.size())), 0xFFFF);
        pos = 0;
    }
    Put(block.data(), kReadPos, static_cast<int32_t>(pos));
    s.Write(block.data(), block.size());
    WriteLenString(s, pending);
    WriteLenString(s, CutAtChar(log_, 0xFFFF));
}

bool TMessageLib::LoadState(TMemoryStream& s, std::string* why) {
    struct TLoading {
        bool& flag;
        explicit TLoading(bool& f) : flag(f) { flag = true; }
        ~TLoading() { flag = false; }
    } loading(loading_);
    if (!TImageLib::LoadState(s, why)) return false;
    std::vector<uint8_t> block(kBlockSize);
    std::string pending, log;
    try {
        s.Require(kBlockSize);
        s.Read(block.data(), kBlockSize);
        pending = ReadLenString(s);
        log = ReadLenString(s);
    } catch (const EZelError& e) {
        if (why) *why = std::string("message window state: ") + e.what();
        return false;
    }
    const uint8_t* b = block.data();
    const int32_t l = Get(b, kArea), t = Get(b, kArea + 4), r = Get(b, kArea + 8), bt = Get(b, kArea + 12);
    const int64_t w = std::max<int64_t>(4, int64_t{r} - l), h = std::max<int64_t>(4, int64_t{bt} - t);
    if (w > kMaxLayerSide || h > kMaxLayerSide || w * h > kMaxImageFilePixels) {
        if (why) *why = "message window state: a text area of " + std::to_string(w) + " x " + std::to_string(h) +
                        " is larger than a picture may be";
        return false;
    }
    // The settings first, so that the replayed page starts from them.
    SetArea(l, t, r, bt);
    hangOffset_ = Get(b, kHang);
    vertical_ = b[kVertical] != 0 ? 1 : 0;
    character_ = GetShort(b, kCharacter);
    voiceFile_ = GetShort(b, kVoice);
    SetVoiceVolume(Get(b, kVoiceVolume));
    voiceSkip_ = Get(b, kVoiceSkip);
    voiceStart_ = Get(b, kVoiceStart);
    voiceLevel_ = Get(b, kVoiceLevel);
    scrollMode_ = b[kScrollMode] != 0;
    autoCount_ = b[kAutoCount] != 0;
    quotes_ = GetShort(b, kQuotes);
    auto slot = [](int32_t v, int32_t keep) { return v >= 0 && v < 8 ? v : keep; };
    font_ = slot(Get(b, kFont), 0);
    prevFont_ = slot(Get(b, kPrevFont), 0);
    rubyFont_ = slot(Get(b, kRubyFont), 7);
    pitchX_ = Get(b, kPitch);
    pitchY_ = Get(b, kPitch + 4);
    prevPitchX_ = Get(b, kPrevPitch);
    prevPitchY_ = Get(b, kPrevPitch + 4);
    charW_ = Get(b, kSize);
    charH_ = Get(b, kSize + 4);
    prevCharW_ = Get(b, kPrevSize);
    prevCharH_ = Get(b, kPrevSize + 4);
    colour_ = static_cast<uint32_t>(Get(b, kColour));
    prevColour_ = static_cast<uint32_t>(Get(b, kPrevColour));
    rubyW_ = Get(b, kRubySize);
    rubyH_ = Get(b, kRubySize + 4);
    rubyColour_ = static_cast<uint32_t>(Get(b, kRubyColour));
    prevRubyColour_ = static_cast<uint32_t>(Get(b, kPrevRubyColour));
    rubyPitchX_ = Get(b, kRubyPitch);
    rubyPitchY_ = Get(b, kRubyPitch + 4);
    rubyOffX_ = Get(b, kRubyOffset);
    rubyOffY_ = Get(b, kRubyOffset + 4);
    speed_ = Get(b, kSpeed);

    const int32_t savedPos = Get(b, kReadPos);
    ReplayText(pending, TokenBoundary(pending, savedPos < 0 ? 0 : static_cast<size_t>(savedPos)));
    log_ = log;
    fadeLevel_ = std::clamp(Get(b, kFade), 0, 1024);
    fadeRate_ = Get(b, kFade + 4);
    fadeStep_ = Get(b, kFade + 8);
    state_ = b[kState] <= kPageFull ? b[kState] : uint8_t{kIdle};
    if (state_ == kIdle && HasText()) state_ = kTyping;
    wait_ = std::max(0, Get(b, kWait));
    // The pen where it was saved: a line that wrapped before the save
    // (waiting for a page turn) starts from there.
    const int32_t px = Get(b, kPen), py = Get(b, kPen + 4);
    if (px != penX_ || py != penY_) {
        penX_ = px;
        penY_ = py;
        charsOnLine_ = lineHeight_ = hangCount_ = 0;
    }
    Update(0xFFFFFFFFu, 1);
    return true;
}

// ---------------------------------------------------------------------------
// Voice and log

void TMessageLib::PlayVoice(const std::string& name, bool play) {
    if (name.empty()) {
        voiceFile_.clear();
        return;
    }
    const std::string normal = CutAtChar(NormalizeGamePath(name), 127);
    if (normal.empty()) {
        voiceFile_ = CutAtChar(name, 127);
        return;
    }
    voiceFile_ = normal;
    IMessageVoice* voice = services_ ? services_->voice : nullptr;
    if (!voice) return;
    voice->Stop(StreamChannel());
    if (!play) return;
    TMessageVoice v;
    v.file = voiceFile_;
    v.character = character_;
    v.channel = StreamChannel();
    v.volume = voiceVolume_;
    v.skipThreshold = voiceSkip_;
    v.start = voiceStart_;
    v.level = voiceLevel_;
    voice->Play(v);
}

bool TMessageLib::HasLogText() const {
    int depth = 0;
    for (size_t i = 0; i < log_.size(); i = NextCharPos(log_, i)) {
        if (CharLen(log_, i) == 2) return true;
        const char c = log_[i];
        if (c == '[') ++depth;
        else if (c == ']') depth = std::max(0, depth - 1);
        else if (depth == 0) return true;
    }
    return false;
}

void TMessageLib::HandToLog() {
    if (HasLogText() && services_ && services_->log) {
        TMessageLogEntry e;
        e.text = log_;
        e.character = character_;
        e.voice = voiceFile_;
        e.volume = voiceVolume_;
        e.skipThreshold = voiceSkip_;
        e.start = voiceStart_;
        e.level = voiceLevel_;
        services_->log->Add(e);
    }
    log_.clear();
}

}  // namespace zel
