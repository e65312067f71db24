#include "shell/uZelSystemKey.h"

#include <algorithm>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "shell/uInputDevice.h"

namespace zel {

int32_t SystemKeyActionCode(std::string_view word) {
    static constexpr std::pair<std::string_view, int32_t> kWords[] = {
        {"click", 1},          {"keyclick", 2},         {"skipclick", 3},        {"menu", 4},
        {"log", 5},            {"screen", 6},           {"reset", 7},            {"exit", 8},
        {"load", 9},           {"save", 10},            {"view", 11},            {"config", 12},
        {"minimize", 13},      {"auto", 14},            {"skip", 15},            {"logskip", 16},
        {"sceneskipload", 17}, {"sceneskipnoload", 18}, {"quicksave", 19},       {"quickload", 20},
        {"selectload", 21},    {"scenereturn", 24},     {"selectleft", 25},      {"selectright", 26},
        {"selectup", 27},      {"selectdown", 28},      {"custom", 29},
    };
    for (const auto& [w, code] : kWords)
        if (EqualsNoCase(w, word)) return code;
    return 0;
}

void TZelSystemKey::Bind(uint32_t code, std::string action, std::string extra, std::string number,
                         std::string label) {
    if (std::any_of(keys_.begin(), keys_.end(), [&](const TSystemKeyData& k) { return k.code == code; })) return;
    keys_.push_back({code, std::move(action), std::move(label), std::move(number), std::move(extra)});
}

void TZelSystemKey::Unbind(uint32_t code) {
    std::erase_if(keys_, [&](const TSystemKeyData& k) { return k.code == code; });
}

void TZelSystemKey::Clear() {
    keys_.clear();
    disabled_ = false;
}

const TSystemKeyData* TZelSystemKey::Fired() const {
    if (disabled_ || !input_) return nullptr;
    for (const TSystemKeyData& k : keys_)
        if (input_->Test(k.code)) return &k;
    return nullptr;
}

void TZelSystemKey::Save(TMemoryStream& s) const {
    s.WriteU8(disabled_ ? 1 : 0);
    s.WriteU32(static_cast<uint32_t>(keys_.size()));
    for (const TSystemKeyData& k : keys_) {
        s.WriteU32(k.code);
        WriteLenString(s, k.action);
        WriteLenString(s, k.label);
        WriteLenString(s, k.number);
        WriteLenString(s, k.extra);
    }
}

void TZelSystemKey::Load(TMemoryStream& s) {
    const uint8_t disabled = s.ReadU8();
    const uint32_t count = s.ReadU32();
    // Every binding takes at least its code and four empty texts.
    s.RequireItems(count, 4 + 4 * 2);
    std::vector<TSystemKeyData> keys;
    keys.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        TSystemKeyData k;
        k.code = s.ReadU32();
        k.action = ReadLenString(s);
        k.label = ReadLenString(s);
        k.number = ReadLenString(s);
        k.extra = ReadLenString(s);
        // Rebinding in stored order: a repeated code keeps its first binding.
        if (std::none_of(keys.begin(), keys.end(), [&](const TSystemKeyData& o) { return o.code == k.code; }))
            keys.push_back(std::move(k));
    }
    keys_ = std::move(keys);
    disabled_ = disabled != 0;
}

}  // namespace zel
