// Text functions on Shift-JIS strings shared by the whole engine: character
// counting, copying and searching, the field splitter that reads every
// comma-separated value of scripts, settings and layout files, the two kinsoku
// sets used by line wrapping, the full-width / half-width conversions of the
// script commands, and the hexadecimal text form of byte strings.
//
// The character model is the one of base/Sjis.h (IsLeadByte, CharLen): a lead
// byte and the byte after it are one character, a lead byte at the very end of
// a text is a character of its own. All functions here are stateless.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Sjis.h"

namespace zel {

// Number of characters in the text (0 for an empty text).
int CharCount(std::string_view text);

// The characters whose 1-based index i satisfies start <= i < start + count.
// A start below 1 or a count that runs past the end simply yields fewer characters.
std::string CharCopy(std::string_view text, int start, int count);

// At most maxBytes bytes of text, never splitting a double-byte character (a
// lone lead byte left at the end would swallow the byte after it when read
// back).
std::string CutToBytes(std::string_view text, size_t maxBytes);

// An integer as settings, generated names and control codes write it:
// optional sign, then decimal digits or "$" and hexadecimal digits, blanks
// around it ignored, read in 64 bits; def when it is empty, not a number or
// longer than 18 digits.
int64_t ParseDecimalOrHex(std::string_view text, int64_t def);

// 0 when needle does not occur in text as a byte sequence (or is empty);
// otherwise the 1-based index of the character where the first occurrence
// begins. An occurrence that begins on the second byte of a double-byte
// character gives the index of the character after it.
int CharPos(std::string_view needle, std::string_view text);

// Splits text into fields at the first character of separator.
//  - CR LF always ends a field (also inside quotes and brackets).
//  - dropBlanks: spaces and TABs are left out of the fields.
//  - stopAtComment: "//" ends the text (also inside quotes and brackets).
//  - No split inside double quotes or inside (), [], {}; quotes and brackets
//    stay in the field text.
//  - A text that ends with the separator yields an empty last field; an empty
//    separator never splits.
//  - Empty fields are appended until there are at least minCount.
std::vector<std::string> SplitFields(std::string_view separator, std::string_view text, bool dropBlanks = false,
                                     int minCount = 0, bool stopAtComment = false);

// Kinsoku membership of one character (the first character of ch is tested).
bool MayNotBeginLine(std::string_view ch);
bool MayNotEndLine(std::string_view ch);

// Half-width to full-width: letters, digits, symbols, space and half-width
// katakana (with voiced and semi-voiced marks folded into one character).
// A single-byte character without a full-width form becomes a full-width space;
// double-byte characters are kept.
std::string ToFullWidth(std::string_view text);

// Full-width to half-width, the inverse table; voiced katakana become two
// half-width bytes. A double-byte character without a half-width form becomes
// a half-width space; single-byte characters are kept.
std::string ToHalfWidth(std::string_view text);

// Two upper-case hexadecimal digits per byte, the digit of the low nibble first
// (the byte 0x1F is written "F1").
std::string HexEncode(std::string_view bytes);

// The inverse of HexEncode: one byte per pair of characters, the first giving
// the low nibble. Characters that are not hexadecimal digits count as 0; a
// final odd character is ignored.
std::string HexDecode(std::string_view text);

}  // namespace zel
