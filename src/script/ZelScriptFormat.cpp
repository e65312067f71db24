#include "script/ZelScriptFormat.h"

#include <algorithm>
#include <cstdint>

#include "base/Sjis.h"

namespace zel {

namespace {

struct TConversion {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0;
    int precision = -1;  // -1: none given
    char type = 0;
};

// Reads decimal digits at s[i], capped; false when there are none.
bool ReadCount(std::string_view s, size_t& i, int& out) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    int64_t v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = std::min<int64_t>(v * 10 + (s[i] - '0'), kMaxFormatWidth);
        ++i;
    }
    out = static_cast<int>(v);
    return true;
}

// Parses the conversion that starts after the '%' at s[i]; i ends after the type.
bool ParseConversion(std::string_view s, size_t& i, TConversion& conv) {
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '-') conv.left = true;
        else if (c == '+') conv.plus = true;
        else if (c == ' ') conv.space = true;
        else if (c == '0') conv.zero = true;
        else if (c == '#') conv.alt = true;
        else break;
    }
    ReadCount(s, i, conv.width);
    if (i < s.size() && s[i] == '.') {
        ++i;
        conv.precision = 0;
        ReadCount(s, i, conv.precision);
    }
    if (i >= s.size()) return false;
    const char t = s[i++];
    if (t != 'd' && t != 'i' && t != 'u' && t != 'x' && t != 'X' && t != 's') return false;
    conv.type = t;
    return true;
}

void Pad(std::string& out, size_t n, char c) { out.append(n, c); }

void FormatInteger(const TConversion& conv, int32_t value, std::string& out) {
    std::string_view prefix;  // sign or radix mark
    uint32_t magnitude = 0;
    int base = 10;
    if (conv.type == 'd' || conv.type == 'i') {
        magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        if (value < 0) prefix = "-";
        else if (conv.plus) prefix = "+";
        else if (conv.space) prefix = " ";
    } else {
        magnitude = static_cast<uint32_t>(value);
        if (conv.type != 'u') base = 16;
        if (base == 16 && conv.alt && magnitude != 0) prefix = conv.type == 'X' ? "0X" : "0x";
    }
    const char* digitsOf = conv.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string digits;
    for (uint32_t m = magnitude; m != 0; m /= static_cast<uint32_t>(base)) digits.push_back(digitsOf[m % static_cast<uint32_t>(base)]);
    // Without a precision, zero still shows one digit; precision 0 shows none.
    if (digits.empty() && conv.precision != 0) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    if (conv.precision > 0 && digits.size() < static_cast<size_t>(conv.precision))
        digits.insert(0, static_cast<size_t>(conv.precision) - digits.size(), '0');
    const size_t body = prefix.size() + digits.size();
    const size_t width = static_cast<size_t>(conv.width);
    if (body >= width) {
        out += prefix;
        out += digits;
    } else if (conv.left) {
        out += prefix;
        out += digits;
        Pad(out, width - body, ' ');
    } else if (conv.zero && conv.precision < 0) {
        out += prefix;
        Pad(out, width - body, '0');
        out += digits;
    } else {
        Pad(out, width - body, ' ');
        out += prefix;
        out += digits;
    }
}

void FormatText(const TConversion& conv, std::string_view text, std::string& out) {
    if (conv.precision >= 0 && text.size() > static_cast<size_t>(conv.precision)) {
        // Cut at a character boundary: a double-byte character is never split.
        size_t end = 0;
        while (end < text.size()) {
            const size_t next = NextCharPos(text, end);
            if (next > static_cast<size_t>(conv.precision)) break;
            end = next;
        }
        text = text.substr(0, end);
    }
    const size_t width = static_cast<size_t>(conv.width);
    if (text.size() >= width) {
        out += text;
    } else if (conv.left) {
        out += text;
        Pad(out, width - text.size(), ' ');
    } else {
        Pad(out, width - text.size(), ' ');
        out += text;
    }
}

}  // namespace

bool FormatScriptValue(std::string_view format, const TReturnValue& value, std::string& out) {
    std::string result;
    bool converted = false;
    for (size_t i = 0; i < format.size();) {
        const size_t len = CharLen(format, i);
        if (len == 2 || format[i] != '%') {
            result.append(format.substr(i, len));
            i += len;
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            result.push_back('%');
            ++i;
            continue;
        }
        TConversion conv;
        if (converted || !ParseConversion(format, i, conv)) return false;
        converted = true;
        const bool isText = value.Kind == rkString;
        if (conv.type == 's') {
            if (!isText) return false;
            FormatText(conv, value.Text, result);
        } else {
            if (isText) return false;
            FormatInteger(conv, value.IntValue, result);
        }
    }
    out += result;
    return true;
}

}  // namespace zel
