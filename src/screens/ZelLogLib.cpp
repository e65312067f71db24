#include "screens/ZelLogLib.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "base/Sjis.h"
#include "base/SjisText.h"
#include "records/ZelLogdataLib.h"

namespace zel {

namespace {

constexpr int32_t kStyles = 32, kPageStep = 5;
constexpr int32_t kEsc = 27, kBackspace = 8, kEnter = 13, kUp = 38, kDown = 40, kHome = 36, kEnd = 35, kPageUp = 33,
                  kPageDown = 34;

class TLayoutValues {
public:
    explicit TLayoutValues(std::string_view text) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const size_t eq = line.find('=');
            if (eq != std::string_view::npos) {
                const std::string key = AsciiLower(TrimBlanks(line.substr(0, eq)));
                values_.try_emplace(key, std::string(line.substr(eq + 1)));
            }
            start = end + 1;
        }
    }
    std::string Text(std::string_view key) const {
        const auto it = values_.find(AsciiLower(key));
        return it == values_.end() ? std::string() : it->second;
    }
    int32_t Int(std::string_view key, int32_t def) const {
        return static_cast<int32_t>(ParseDecimalOrHex(Text(key), def));
    }
    uint32_t Colour(std::string_view key, uint32_t def) const {
        return static_cast<uint32_t>(ParseDecimalOrHex(Text(key), def));
    }
    bool On(std::string_view key) const { return EqualsNoCase(TrimBlanks(Text(key)), "true"); }
    // The list's fields, empty ones dropped; a missing field takes its default.
    void List(std::string_view key, std::initializer_list<int32_t*> out) const {
        std::vector<std::string> f;
        for (std::string& s : SplitFields(",", Text(key)))
            if (!TrimBlanks(s).empty()) f.push_back(std::move(s));
        size_t i = 0;
        for (int32_t* o : out) {
            if (i < f.size()) *o = static_cast<int32_t>(ParseDecimalOrHex(f[i], *o));
            ++i;
        }
    }

private:
    std::map<std::string, std::string> values_;
};

// Every occurrence of what in text, compared without regard to case.
std::string ReplaceNoCase(std::string text, std::string_view what, std::string_view with) {
    const std::string lowerWhat = AsciiLower(what);
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (i + lowerWhat.size() <= text.size() && AsciiLower(std::string_view(text).substr(i, lowerWhat.size())) == lowerWhat) {
            out += with;
            i += lowerWhat.size();
        } else {
            const size_t n = NextCharPos(text, i);
            out.append(text, i, n - i);
            i = n;
        }
    }
    return out;
}

}  // namespace

TLogLayout TLogLayout::Parse(std::string_view text) {
    const TLayoutValues v(text);
    TLogLayout l;
    l.divideNameText = v.Text("DivideNameText");
    l.divideNameIndex = v.Int("DivideNameIndex", 0);
    l.divideNameFormat = v.Text("DivideNameFormat");
    l.defaultViewCount = std::max(1, v.Int("DefaultViewCount", 4));
    l.beginMuteTime = v.Int("BeginMuteTime", 0);
    l.emptyText = v.Text("EmptyText");
    l.bgColour = v.Colour("BGColor", 0);
    l.bgImage = v.Text("BGImage");
    l.wheelDownReturnsGame = v.Text("WheelDownReturnGame") == "1";
    v.List("CharctorImagePosition", {&l.pictureX, &l.pictureY});
    v.List("VoiceIconImagePosition", {&l.iconX, &l.iconY});
    l.borderLineColour = v.Colour("BorderLineColor", 0);
    l.lockColour = v.On("LockColor");
    l.lockSize = v.On("LockSize");
    l.lockFont = v.On("LockFontNo");
    l.lockPitch = v.On("LockPitch");
    v.List("msg.position", {&l.listX, &l.listY});
    v.List("msg.HitSize", {&l.hitArea.left, &l.hitArea.top, &l.hitArea.right, &l.hitArea.bottom});
    v.List("msg.TextSize", {&l.textArea.left, &l.textArea.top, &l.textArea.right, &l.textArea.bottom});
    l.selectColour = v.Colour("msg.SelectColor", 0x88FFFFFFu);
    l.space = v.Int("msg.Space", 0);
    v.List("Font.Pitch", {&l.pitchX, &l.pitchY});
    v.List("Font.Size", {&l.fontWidth, &l.fontHeight});
    l.fontNo = v.Int("Font.FontNo", 0);
    l.returnSpace = v.Int("Font.ReturnSpace", 0);
    v.List("Ruby.Position", {&l.rubyX, &l.rubyY});
    v.List("Ruby.Pitch", {&l.rubyPitchX, &l.rubyPitchY});
    v.List("Ruby.Size", {&l.rubyWidth, &l.rubyHeight});
    l.rubyFontNo = v.Int("Ruby.FontNo", 0);
    l.scrollVertical = v.Int("scrollbar.type", 0) == 1;
    v.List("ScrollBar.Position", {&l.scrollX, &l.scrollY, &l.scrollLayer});
    l.voiceIcon = v.Text("VoiceIconImage");
    l.scrollKnob = v.Text("scrollbar.button.filename");
    l.scrollTrack = v.Text("scrollbar.bar.filename");
    for (int32_t n = 0; n < kStyles; ++n) {
        const std::vector<std::string> f =
            SplitFields(",", v.Text("no[" + std::to_string(n) + "]"), true, 0, true);
        TLogNameStyle& s = l.styles[static_cast<size_t>(n)];
        if (f.size() > 0) s.rowColour = static_cast<uint32_t>(ParseDecimalOrHex(f[0], 0));
        if (f.size() > 1) s.textColour = static_cast<uint32_t>(ParseDecimalOrHex(f[1], -1));
        if (f.size() > 3 && !f[3].empty()) s.picture = "system\\log\\" + f[3];
        for (size_t i = 4; i < f.size(); ++i) s.names.push_back(f[i]);
    }
    return l;
}

int32_t TLogLayout::StyleOfName(std::string_view name) const {
    if (name.empty()) return kStyles - 1;
    for (int32_t n = 0; n < kStyles; ++n)
        for (const std::string& item : styles[static_cast<size_t>(n)].names)
            if (item == "*" || EqualsNoCase(item, name)) return n;
    return kStyles - 1;
}

std::string TLogLayout::NameLine(std::string_view name, uint32_t textColour) const {
    std::string shown(name);
    if (!divideNameText.empty()) {
        const std::vector<std::string> parts = SplitFields(divideNameText, name);
        if (divideNameIndex >= 0 && static_cast<size_t>(divideNameIndex) < parts.size())
            shown = parts[static_cast<size_t>(divideNameIndex)];
    }
    if (shown.empty()) return {};
    char colour[16];
    std::snprintf(colour, sizeof colour, "$%08X", textColour);
    return ReplaceNoCase(ReplaceNoCase(divideNameFormat, "%%%name", shown), "%%%actcolor", colour);
}

void TZelLog::Open() {
    maximum_ = std::max(log_.Count() - 1, 1);
    value_ = std::max(maximum_ - layout_.defaultViewCount + 1, 0);
    muteMs_ = std::max(0, layout_.beginMuteTime);
    open_ = true;
    closeRequested_ = false;
}

void TZelLog::SetScrollValue(int32_t v) {
    value_ = std::clamp(v, 0, maximum_);
    if (widgets_) widgets_->Rescroll(value_);
}

void TZelLog::Down(int32_t by) {
    if (AtBottom()) closeRequested_ = true;
    else SetScrollValue(by == INT32_MAX ? log_.Count() - 1 : value_ + by);
}

int32_t TZelLog::Step(int32_t elapsedMs, const TLogInput& in) {
    if (!open_) return 0;
    muteMs_ = std::max(0, muteMs_ - std::max(0, elapsedMs));
    if (muteMs_ > 0) return 0;
    if (closeRequested_) return -1;
    if (widgets_) widgets_->Pointer(in.x, in.y, in.leftHeld);
    if (in.leftReleased && widgets_) {
        for (int32_t entry : widgets_->ClickRows()) ReplayVoice(entry);
        widgets_->ClickBar(in.x, in.y);
    }
    if (in.rightReleased) closeRequested_ = true;
    if (in.wheel > 0) SetScrollValue(value_ - 1);
    if (in.wheel < 0) Down(1);
    for (int32_t key : in.keysPressed) {
        switch (key) {
            case kEsc:
            case kBackspace:
            case kEnter: closeRequested_ = true; break;
            case kUp: SetScrollValue(value_ - 1); break;
            case kDown: Down(1); break;
            case kHome: SetScrollValue(0); break;
            case kEnd: Down(INT32_MAX); break;
            case kPageUp: SetScrollValue(value_ - kPageStep); break;
            case kPageDown: Down(kPageStep); break;
            default: break;
        }
    }
    return 0;
}

std::vector<int32_t> TZelLog::VisibleEntries(int32_t rows) const {
    std::vector<int32_t> out;
    const int32_t count = log_.Count();
    for (int32_t k = 0; k < rows; ++k) {
        const int32_t d = (count - 1) - value_ - k;
        if (d < 0 || d > count - 1) break;
        out.push_back(d);
    }
    return out;
}

void TZelLog::ReplayVoice(int32_t entry) {
    const std::string voice = log_.EntryVoice(entry);
    // A voice whose name is nothing but an extension has no file to play.
    const size_t dot = voice.rfind('.');
    const std::string stem = dot == std::string::npos ? voice : voice.substr(0, dot);
    if (stem.empty() || stem.back() == '\\' || !services_.playVoice) return;
    TLogVoice v;
    v.file = voice;
    const int64_t actor = services_.actorVolume ? services_.actorVolume(log_.EntryName(entry)) : 255;
    v.volume = static_cast<int32_t>(int64_t{log_.EntryVolume(entry)} * actor / 255);
    v.seek = log_.EntrySeek(entry);
    v.threshold = log_.EntryThreshold(entry);
    v.gain = log_.EntryGain(entry);
    services_.playVoice(v);
}

void TZelLog::Close() {
    if (services_.fadeVoice) services_.fadeVoice(500);
    closeRequested_ = false;
    open_ = false;
}

}  // namespace zel
