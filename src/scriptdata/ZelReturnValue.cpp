#include "scriptdata/ZelReturnValue.h"

#include <charconv>
#include <limits>
#include <utility>

namespace zel {

TReturnValue TReturnValue::Integer(int32_t v) {
    TReturnValue r;
    r.SetInteger(v);
    return r;
}

TReturnValue TReturnValue::String(std::string_view text) {
    return {rkString, TextToInt(text), std::string(text)};
}

void TReturnValue::SetInteger(int32_t v) {
    Kind = rkInteger;
    IntValue = v;
    AssignDecimal(Text, v);
}

void AssignDecimal(std::string& out, int32_t v) {
    if (static_cast<uint32_t>(v) < 10) {
        // Flags and counters: the most frequent results by far.
        if (out.size() != 1) out.resize(1);
        out[0] = static_cast<char>('0' + v);
        return;
    }
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.assign(buf, res.ptr);
}

bool TValueStack::Push(TReturnValue v) {
    if (count_ >= Capacity) return false;
    slots_[static_cast<size_t>(count_++)] = std::move(v);
    return true;
}

bool TValueStack::PushToken(std::string_view text) {
    if (count_ >= Capacity) return false;
    TReturnValue& slot = slots_[static_cast<size_t>(count_++)];
    slot.Kind = rkToken;
    slot.IntValue = 0;
    slot.Text.assign(text);
    return true;
}

TReturnValue TValueStack::Pop() {
    if (count_ <= 0) return {};
    return std::move(slots_[static_cast<size_t>(--count_)]);
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads sign and magnitude; the magnitude is the unsigned 64-bit value.
// Returns false on anything that is not a whole literal or overflows 64 bits.
bool ParseMagnitude(std::string_view s, bool& negative, uint64_t& mag, bool& hex) {
    size_t i = 0;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    mag = 0;
    for (; i < s.size(); ++i) {
        if (hex) {
            const int d = HexDigit(s[i]);
            if (d < 0 || mag > (std::numeric_limits<uint64_t>::max() >> 4)) return false;
            mag = (mag << 4) | static_cast<uint64_t>(d);
        } else {
            if (s[i] < '0' || s[i] > '9') return false;
            const uint64_t d = static_cast<uint64_t>(s[i] - '0');
            if (mag > (std::numeric_limits<uint64_t>::max() - d) / 10) return false;
            mag = mag * 10 + d;
        }
    }
    return true;
}

}  // namespace

bool ParseInt64Literal(std::string_view text, int64_t& out) {
    bool negative = false, hex = false;
    uint64_t mag = 0;
    if (!ParseMagnitude(text, negative, mag, hex)) return false;
    if (!hex) {
        // Decimal values must fit the signed 64-bit range.
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        if (mag > limit) return false;
    }
    const uint64_t v = negative ? 0 - mag : mag;
    out = static_cast<int64_t>(v);
    return true;
}

int32_t TextToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<uint8_t>(text[i]) <= 0x20) ++i;
    bool negative = false, hex = false;
    uint64_t mag = 0;
    if (!ParseMagnitude(text.substr(i), negative, mag, hex)) return 0;
    if (negative) return mag <= (uint64_t{1} << 31) ? static_cast<int32_t>(0 - static_cast<uint32_t>(mag)) : 0;
    return mag <= 0x7FFFFFFFu ? static_cast<int32_t>(mag) : 0;
}

}  // namespace zel
