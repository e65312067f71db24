// Text helpers of the message window: the token reader over text with
// bracketed codes, the code splitter and the number reader of code arguments.
// Every reader is bounded by its text: a lead byte as the last byte is one
// character, a "[" without its "]" runs to the end of the text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel::message_text {

// The end of the token that begins at `at`: one character, or a code from
// "[" to its matching "]" (nested brackets counted; Shift-JIS trail bytes are
// never brackets). closed is false for a code that runs to the end unclosed.
size_t TokenEnd(std::string_view s, size_t at, bool* code, bool* closed);

// The items of a code ("[s,24,24]" gives "s", "24", "24"), split at commas
// outside nested brackets and trimmed. The brackets are taken off first.
std::vector<std::string_view> CodeItems(std::string_view code);
// Everything after the n-th top-level comma of the code (its brackets taken
// off), for the codes whose last argument is a text that may hold commas.
std::string_view CodeRest(std::string_view code, size_t n);
// The first item, lower-cased.
std::string CodeName(std::string_view code);

// A code argument: decimal or "$" hexadecimal, read as 64 bits; def when
// empty or not a number.
int64_t CodeNumber(std::string_view s, int64_t def);

// CR LF, a lone CR and a lone LF each become "[n]". A lead byte whose trail
// would be one of them is dropped (it is no character).
std::string ConvertLineBreaks(std::string_view text);

// At most n bytes, not splitting a double-byte character.
std::string CutAtChar(std::string_view s, size_t n);

}  // namespace zel::message_text
