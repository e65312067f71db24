// Shift-JIS (code page 932) character walking and ASCII-only case folding.
//
// Every text inside the engine is a Shift-JIS byte string. A byte 0x81-0x9F or
// 0xE0-0xFF is a lead byte and forms one character with the byte after it; a
// lead byte at the very end of a text is a character of its own. Case folding
// touches only the single-byte letters A-Z / a-z: the bytes of a double-byte
// character are never folded, so 0x83 0x41 and 0x83 0x61 stay different.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

constexpr bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; }
constexpr bool IsLeadByte(char c) { return IsLeadByte(static_cast<uint8_t>(c)); }

// Byte length (1 or 2) of the character that starts at pos; never reaches past
// the end of the text. pos must be < s.size().
inline size_t CharLen(std::string_view s, size_t pos) {
    return (IsLeadByte(s[pos]) && pos + 1 < s.size()) ? 2 : 1;
}

// Byte position of the character after the one at pos (at most s.size()).
inline size_t NextCharPos(std::string_view s, size_t pos) {
    return pos >= s.size() ? s.size() : pos + CharLen(s, pos);
}

// Control bytes and the space (0x00-0x20). No trail byte of a double-byte
// character lies in that range, so trimming blanks never splits one.
constexpr bool IsBlank(char c) { return static_cast<uint8_t>(c) <= 0x20; }

// The text without the blanks at either end.
constexpr std::string_view TrimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

constexpr char AsciiLowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
constexpr char AsciiUpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Folds single-byte A-Z to a-z, leaving both bytes of double-byte characters alone.
std::string AsciiLower(std::string_view s);
// Folds single-byte a-z to A-Z, leaving both bytes of double-byte characters alone.
std::string AsciiUpper(std::string_view s);
// Case-insensitive equality under the same folding.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Three-way comparison under the same folding (byte order after folding).
int CompareNoCase(std::string_view a, std::string_view b);

// Conversion at the engine's edges (file names, messages for a person, window
// captions). Undecodable bytes become a replacement character, never an abort.
std::string SjisToUtf8(std::string_view sjis);
// Converts UTF-8 to Shift-JIS. Returns false (and leaves out nothing silently)
// when a character has no Shift-JIS form; badPos then holds its byte offset.
bool Utf8ToSjis(std::string_view utf8, std::string& out, size_t* badPos = nullptr);
// The Shift-JIS form of a UTF-8 text written in the engine's own source (its
// fixed messages). A character without a Shift-JIS form becomes "?".
std::string Sj(std::string_view utf8);

}  // namespace zel
