#include "base/SjisText.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace zel {

namespace {

// Kinsoku: characters that may not begin a line. It starts with a half-width
// and a full-width space and holds a few characters twice, which is harmless.
constexpr std::string_view kNoLineStart =
    "\x20\x81\x40\x29\x2C\x2E\x3E\x5D\x7D\x81\x41\x81\x42\x81\x43\x81\x84\x81\x76\x81\x6C\x81\x6E\x81\x70"
    "\x81\x72\x81\x74\x81\x78\x81\x7A\x81\x46\x81\x47\x3A\x3B\x81\x54\x81\x55\x81\x52\x81\x53\x81\x58\x82"
    "\xC1\x82\xE1\x82\xE3\x82\xE5\x82\x9F\x82\xA1\x82\xA3\x82\xA5\x82\xA7\x82\xEC\x83\x62\x83\x83\x83\x85"
    "\x83\x87\x83\x40\x83\x42\x83\x44\x83\x46\x83\x48\x83\x8E\x83\x95\x83\x96\x81\x45\x81\xF4\x81\xF3\x81"
    "\xF2\x81\x8F\x81\x90\x83\xB0\x81\x99\x81\x9A\x81\xA6\x81\x49\x81\x48\x21\x3F\x81\x90\x81\x60\x2D\x81"
    "\x7C\x81\x7C\x81\x5C\x81\x60";
static_assert(kNoLineStart.size() == 132);

// Kinsoku: characters that may not end a line (opening brackets).
constexpr std::string_view kNoLineEnd =
    "\x28\x5B\x7B\x3C\x81\x69\x81\x75\x81\x6B\x81\x6D\x81\x6F\x81\x71\x81\x73\x81\x77\x81\x79\x81\x83";
static_assert(kNoLineEnd.size() == 24);

// Width tables, position by position: 150 half-width characters and their 150
// full-width counterparts (space and Latin letters, katakana, digits and
// symbols, apostrophe).
constexpr std::string_view kHalf =
    "\x20\x61\x62\x63\x64\x65\x66\x67\x68\x69\x6A\x6B\x6C\x6D\x6E\x6F\x70\x71\x72\x73\x74\x75\x76\x77\x78"
    "\x79\x7A\x41\x42\x43\x44\x45\x46\x47\x48\x49\x4A\x4B\x4C\x4D\x4E\x4F\x50\x51\x52\x53\x54\x55\x56\x57"
    "\x58\x59\x5A\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF\xC0\xC1\xC2\xC3\xC4\xC5\xC6"
    "\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF\xD0\xD1\xD2\xD3\xD4\xD5\xD6\xD7\xD8\xD9\xDA\xDB\xDC\xA6\xDD\xA7"
    "\xA8\xA9\xAA\xAB\xAF\xAC\xAD\xAE\x31\x32\x33\x34\x35\x36\x37\x38\x39\x30\x2D\x5E\x5C\x21\x22\x23\x24"
    "\x25\x26\x28\x29\x3D\x7E\x7C\x40\x5B\x60\x7B\x3B\x3A\x5D\x2B\x2A\x7D\x2C\x2E\x2F\x3C\x3E\x3F\x5F\x27";
constexpr std::string_view kFull =
    "\x81\x40\x82\x81\x82\x82\x82\x83\x82\x84\x82\x85\x82\x86\x82\x87\x82\x88\x82\x89\x82\x8A\x82\x8B\x82"
    "\x8C\x82\x8D\x82\x8E\x82\x8F\x82\x90\x82\x91\x82\x92\x82\x93\x82\x94\x82\x95\x82\x96\x82\x97\x82\x98"
    "\x82\x99\x82\x9A\x82\x60\x82\x61\x82\x62\x82\x63\x82\x64\x82\x65\x82\x66\x82\x67\x82\x68\x82\x69\x82"
    "\x6A\x82\x6B\x82\x6C\x82\x6D\x82\x6E\x82\x6F\x82\x70\x82\x71\x82\x72\x82\x73\x82\x74\x82\x75\x82\x76"
    "\x82\x77\x82\x78\x82\x79\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49\x83\x4A\x83\x4C\x83\x4E\x83\x50\x83"
    "\x52\x83\x54\x83\x56\x83\x58\x83\x5A\x83\x5C\x83\x5E\x83\x60\x83\x63\x83\x65\x83\x67\x83\x69\x83\x6A"
    "\x83\x6B\x83\x6C\x83\x6D\x83\x6E\x83\x71\x83\x74\x83\x77\x83\x7A\x83\x7D\x83\x7E\x83\x80\x83\x81\x83"
    "\x82\x83\x84\x83\x86\x83\x88\x83\x89\x83\x8A\x83\x8B\x83\x8C\x83\x8D\x83\x8F\x83\x92\x83\x93\x83\x40"
    "\x83\x42\x83\x44\x83\x46\x83\x48\x83\x62\x83\x83\x83\x85\x83\x87\x82\x50\x82\x51\x82\x52\x82\x53\x82"
    "\x54\x82\x55\x82\x56\x82\x57\x82\x58\x82\x4F\x81\x7C\x81\x4F\x81\x8F\x81\x49\x81\x68\x81\x94\x81\x90"
    "\x81\x93\x81\x95\x81\x69\x81\x6A\x81\x81\x81\x60\x81\x62\x81\x97\x81\x6D\x81\x65\x81\x6F\x81\x47\x81"
    "\x46\x81\x6E\x81\x7B\x81\x96\x81\x70\x81\x41\x81\x44\x81\x5E\x81\x83\x81\x84\x81\x48\x81\x51\x81\x66";
static_assert(kHalf.size() == 150 && kFull.size() == 300);

// Half-width katakana that take the voiced mark 0xDE, and their voiced
// full-width forms; the last five also take the semi-voiced mark 0xDF.
constexpr std::string_view kVoicedBase = "\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF\xC0\xC1\xC2\xC3\xC4\xCA\xCB\xCC\xCD\xCE";
constexpr std::string_view kVoicedFull =
    "\x83\x4B\x83\x4D\x83\x4F\x83\x51\x83\x53\x83\x55\x83\x57\x83\x59\x83\x5B\x83\x5D\x83\x5F\x83\x61\x83"
    "\x64\x83\x66\x83\x68\x83\x6F\x83\x72\x83\x75\x83\x78\x83\x7B";
constexpr std::string_view kSemiVoicedBase = "\xCA\xCB\xCC\xCD\xCE";
constexpr std::string_view kSemiVoicedFull = "\x83\x70\x83\x73\x83\x76\x83\x79\x83\x7C";
static_assert(kVoicedFull.size() == 2 * kVoicedBase.size());
static_assert(kSemiVoicedFull.size() == 2 * kSemiVoicedBase.size());

constexpr char kVoicedMark = '\xDE';
constexpr char kSemiVoicedMark = '\xDF';

// Position of the single-byte character c in the half-width table, or -1.
constexpr std::array<int16_t, 256> MakeHalfIndex() {
    std::array<int16_t, 256> idx{};
    for (auto& v : idx) v = -1;
    for (size_t k = 0; k < kHalf.size(); ++k) {
        const uint8_t b = static_cast<uint8_t>(kHalf[k]);
        if (idx[b] < 0) idx[b] = static_cast<int16_t>(k);
    }
    return idx;
}
constexpr std::array<int16_t, 256> kHalfIndex = MakeHalfIndex();

// Index of the two-byte character (a, b) in a table of two-byte characters, or -1.
int FindPair(std::string_view table, char a, char b) {
    for (size_t k = 0; k + 1 < table.size(); k += 2) {
        if (table[k] == a && table[k + 1] == b) return static_cast<int>(k / 2);
    }
    return -1;
}

// Whether the first character of ch is one of the characters of set.
bool InCharSet(std::string_view set, std::string_view ch) {
    if (ch.empty()) return false;
    const std::string_view c = ch.substr(0, CharLen(ch, 0));
    for (size_t i = 0; i < set.size();) {
        const size_t n = CharLen(set, i);
        if (set.substr(i, n) == c) return true;
        i += n;
    }
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

}  // namespace

int CharCount(std::string_view text) {
    int n = 0;
    for (size_t i = 0; i < text.size(); i += CharLen(text, i)) ++n;
    return n;
}

std::string CharCopy(std::string_view text, int start, int count) {
    // 64-bit bounds, so that start + count never overflows.
    const int64_t first = start;
    const int64_t end = static_cast<int64_t>(start) + count;
    std::string out;
    if (end <= first) return out;
    int64_t index = 1;
    size_t from = text.size(), to = text.size();
    for (size_t i = 0; i < text.size(); ++index) {
        if (index == first || (index > first && from == text.size())) from = i;
        if (index >= end) {
            to = i;
            break;
        }
        i += CharLen(text, i);
    }
    if (from < to) out.assign(text.substr(from, to - from));
    return out;
}

int CharPos(std::string_view needle, std::string_view text) {
    if (needle.empty()) return 0;
    const size_t at = text.find(needle);
    if (at == std::string_view::npos) return 0;
    // The first character whose start is at or after the match start.
    int index = 1;
    size_t i = 0;
    while (i < at) {
        i += CharLen(text, i);
        ++index;
    }
    return index;
}

std::vector<std::string> SplitFields(std::string_view separator, std::string_view text, bool dropBlanks,
                                     int minCount, bool stopAtComment) {
    std::vector<std::string> fields;
    const std::string_view sep = separator.empty() ? separator : separator.substr(0, CharLen(separator, 0));
    std::string field;
    bool quoted = false;
    int depth = 0;
    std::string_view last;  // the last character the walk examined

    for (size_t i = 0; i < text.size();) {
        const size_t n = CharLen(text, i);
        const std::string_view ch = text.substr(i, n);
        last = ch;
        const char c = ch[0];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            fields.push_back(field);
            field.clear();
            i += 2;
            continue;
        }
        if (dropBlanks && (c == ' ' || c == '\t')) {
            i += n;
            continue;
        }
        if (stopAtComment && c == '/' && i + 1 < text.size() && text[i + 1] == '/') break;
        if (n == 1) {
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '(' || c == '[' || c == '{') {
                ++depth;
            } else if (c == ')' || c == ']' || c == '}') {
                --depth;
            }
        }
        if (depth == 0 && !quoted && !sep.empty() && ch == sep) {
            fields.push_back(field);
            field.clear();
        } else {
            field.append(ch);
        }
        i += n;
    }
    if (!field.empty()) fields.push_back(field);
    if (text.empty() ? sep.empty() : (!sep.empty() && last == sep)) fields.emplace_back();
    if (minCount > 0 && fields.size() < static_cast<size_t>(minCount)) fields.resize(static_cast<size_t>(minCount));
    return fields;
}

bool MayNotBeginLine(std::string_view ch) { return InCharSet(kNoLineStart, ch); }
bool MayNotEndLine(std::string_view ch) { return InCharSet(kNoLineEnd, ch); }

std::string ToFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharLen(text, i);
        if (n == 2) {
            out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (next == kSemiVoicedMark) {
            const size_t k = kSemiVoicedBase.find(c);
            if (k != std::string_view::npos) {
                out.append(kSemiVoicedFull.substr(2 * k, 2));
                i += 2;
                continue;
            }
        }
        if (next == kVoicedMark) {
            const size_t k = kVoicedBase.find(c);
            if (k != std::string_view::npos) {
                out.append(kVoicedFull.substr(2 * k, 2));
                i += 2;
                continue;
            }
        }
        const int k = kHalfIndex[static_cast<uint8_t>(c)];
        out.append(k >= 0 ? kFull.substr(2 * static_cast<size_t>(k), 2) : kFull.substr(0, 2));
        i += 1;
    }
    return out;
}

std::string ToHalfWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharLen(text, i);
        if (n == 1) {
            out += text[i];
            i += 1;
            continue;
        }
        const char a = text[i], b = text[i + 1];
        i += 2;
        if (int k = FindPair(kVoicedFull, a, b); k >= 0) {
            out += kVoicedBase[static_cast<size_t>(k)];
            out += kVoicedMark;
        } else if (int s = FindPair(kSemiVoicedFull, a, b); s >= 0) {
            out += kSemiVoicedBase[static_cast<size_t>(s)];
            out += kSemiVoicedMark;
        } else if (int h = FindPair(kFull, a, b); h >= 0) {
            out += kHalf[static_cast<size_t>(h)];
        } else {
            out += ' ';
        }
    }
    return out;
}

std::string HexEncode(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const uint8_t b = static_cast<uint8_t>(c);
        out += kDigits[b & 0x0F];
        out += kDigits[b >> 4];
    }
    return out;
}

std::string HexDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 2);
    // Pairs of characters; a double-byte character is one character worth 0.
    int pending = -1;
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharLen(text, i);
        const int v = n == 1 ? HexValue(text[i]) : 0;
        if (pending < 0) {
            pending = v;
        } else {
            out += static_cast<char>(pending | (v << 4));
            pending = -1;
        }
        i += n;
    }
    return out;
}

std::string CutToBytes(std::string_view text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size() && NextCharPos(text, end) <= maxBytes) end = NextCharPos(text, end);
    return std::string(text.substr(0, end));
}

int64_t ParseDecimalOrHex(std::string_view s, int64_t def) {
    s = TrimBlanks(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const bool hex = !s.empty() && s[0] == '$';
    if (hex) s.remove_prefix(1);
    if (s.empty() || s.size() > 18) return def;
    uint64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return def;
        v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    }
    return negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

}  // namespace zel
