#include "records/ZelLogdataLib.h"

#include <algorithm>
#include <limits>

#include "base/Errors.h"
#include "base/Sjis.h"
#include "base/SjisText.h"

namespace zel {

namespace {

// The start of the last "[" that begins a character at or before limit, or npos.
size_t LastOpenBracket(std::string_view text, size_t limit) {
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < text.size() && i <= limit; i = NextCharPos(text, i))
        if (text[i] == '[') found = i;
    return found;
}

TZelLogData::TEntry ReadEntry(TMemoryStream& s) {
    TZelLogData::TEntry e;
    e.name = ReadLenString(s);
    e.text = ReadLenString(s);
    e.voice = ReadLenString(s);
    e.threshold = s.ReadI32();
    e.seek = s.ReadI32();
    e.volume = s.ReadI32();
    e.gain = s.ReadI32();
    return e;
}

}  // namespace

std::string TZelLogData::StripLineBreaks(std::string_view text) {
    std::string t(text);
    while (t.size() > 1 && t.back() == ']') {
        if (t.size() < 3) break;
        const size_t open = LastOpenBracket(t, t.size() - 3);
        if (open == std::string::npos || t[open + 1] != 'n') break;
        t.resize(open);
    }
    return t;
}

void TZelLogData::Add(std::string_view text, std::string_view name, int32_t gain, int32_t volume, int32_t threshold,
                      int32_t seek, std::string_view voice) {
    if (text.empty()) return;
    TEntry& e = slots_[static_cast<size_t>(index_)];
    e.name = std::string(name);
    e.text = StripLineBreaks(text);
    e.voice = std::string(voice);
    e.threshold = threshold;
    e.seek = seek;
    e.volume = volume;
    e.gain = gain;
    index_ = (index_ + 1) % kSlots;
    count_ = std::min(count_ + 1, kSlots);
}

void TZelLogData::Clear() {
    for (TEntry& e : slots_) e = TEntry{};
    count_ = 0;
}

const TZelLogData::TEntry& TZelLogData::Entry(int32_t i) const {
    static const TEntry kNone{{}, {}, {}, 0, 0, 0, 0};
    if (!Exists(i)) return kNone;
    // index_ - 1 - i lies in -256..254: bring it into 0..255.
    const int32_t slot = ((index_ - 1 - i) % kSlots + kSlots) % kSlots;
    return slots_[static_cast<size_t>(slot)];
}

std::string TZelLogData::DisplayText(int32_t i) const {
    if (!Exists(i)) return {};
    const std::string& text = Entry(i).text;
    std::string out;
    size_t p = 0;
    while (p < text.size()) {
        if (text[p] != '[') {
            const size_t n = NextCharPos(text, p);
            out.append(text, p, n - p);
            p = n;
            continue;
        }
        size_t end = p + 1;
        while (end < text.size() && text[end] != ']') end = NextCharPos(text, end);
        const size_t stop = std::min(end + 1, text.size());
        std::string code = AsciiLower(std::string_view(text).substr(p, stop - p));
        p = stop;
        // Without its first and last bytes (an unclosed code loses its last character byte too).
        code = code.size() >= 2 ? code.substr(1, code.size() - 2) : std::string();
        const std::vector<std::string> f = SplitFields(",", code);
        if (f.empty()) continue;
        if (f[0] == "lim" && f.size() == 3) {
            const int64_t n = std::clamp<int64_t>(ParseDecimalOrHex(f[1], 0), 0, std::numeric_limits<int>::max());
            out += CharCopy(f[2], 1, static_cast<int>(n));
        } else if ((f[0] == "pc" || f[0] == "pr") && f.size() == 2) {
            out += f[1];
        } else if (f[0] == "rb" && f.size() == 3) {
            out += f[1];
        }
    }
    return out;
}

void TZelLogData::SaveState(TMemoryStream& s) const {
    s.WriteI32(count_);
    s.WriteI32(index_);
    for (const TEntry& e : slots_) {
        WriteLenString(s, e.name);
        WriteLenString(s, e.text);
        WriteLenString(s, e.voice);
        s.WriteI32(e.threshold);
        s.WriteI32(e.seek);
        s.WriteI32(e.volume);
        s.WriteI32(e.gain);
    }
}

void TZelLogData::LoadState(TMemoryStream& s) {
    const int32_t count = s.ReadI32(), index = s.ReadI32();
    if (count < 0 || count > kSlots || index < 0 || index >= kSlots)
        throw EStreamError("message log: count or write index out of range");
    std::vector<TEntry> slots;
    slots.reserve(kSlots);
    for (int32_t i = 0; i < kSlots; ++i) slots.push_back(ReadEntry(s));
    slots_ = std::move(slots);
    count_ = count;
    index_ = index;
}

int32_t ActorOfName(const std::array<std::vector<std::string>, 32>& actorLists, std::string_view name) {
    for (size_t a = 0; a < actorLists.size(); ++a)
        for (const std::string& item : actorLists[a])
            if (item == "*" || EqualsNoCase(item, name)) return static_cast<int32_t>(a);
    return 31;
}

}  // namespace zel
