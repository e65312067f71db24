#include "anim/MessageText.h"

#include "base/SjisText.h"

#include "base/Sjis.h"

namespace zel::message_text {

size_t TokenEnd(std::string_view s, size_t at, bool* code, bool* closed) {
    *code = false;
    *closed = false;
    if (at >= s.size()) return s.size();
    if (s[at] != '[') return NextCharPos(s, at);
    *code = true;
    int depth = 0;
    for (size_t i = at; i < s.size(); i = NextCharPos(s, i)) {
        if (CharLen(s, i) != 1) continue;
        if (s[i] == '[') ++depth;
        else if (s[i] == ']' && --depth == 0) {
            *closed = true;
            return i + 1;
        }
    }
    return s.size();
}

namespace {

std::string_view Inner(std::string_view code) {
    code = TrimBlanks(code);
    if (code.size() < 2) return {};
    return code.substr(1, code.size() - 2);
}

// Positions of the top-level commas.
std::vector<size_t> Commas(std::string_view s) {
    std::vector<size_t> at;
    int depth = 0;
    for (size_t i = 0; i < s.size(); i = NextCharPos(s, i)) {
        if (CharLen(s, i) != 1) continue;
        if (s[i] == '[') ++depth;
        else if (s[i] == ']') --depth;
        else if (s[i] == ',' && depth == 0) at.push_back(i);
    }
    return at;
}

}  // namespace

std::vector<std::string_view> CodeItems(std::string_view code) {
    const std::string_view in = Inner(code);
    std::vector<std::string_view> items;
    size_t from = 0;
    for (size_t c : Commas(in)) {
        items.push_back(TrimBlanks(in.substr(from, c - from)));
        from = c + 1;
    }
    items.push_back(TrimBlanks(in.substr(from)));
    return items;
}

std::string_view CodeRest(std::string_view code, size_t n) {
    const std::string_view in = Inner(code);
    const std::vector<size_t> commas = Commas(in);
    if (n == 0 || commas.size() < n) return {};
    return TrimBlanks(in.substr(commas[n - 1] + 1));
}

std::string CodeName(std::string_view code) {
    const std::string_view in = Inner(code);
    const std::vector<size_t> commas = Commas(in);
    return AsciiLower(TrimBlanks(commas.empty() ? in : in.substr(0, commas[0])));
}

int64_t CodeNumber(std::string_view s, int64_t def) { return ParseDecimalOrHex(s, def); }

std::string ConvertLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "[n]";
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (IsLeadByte(c) && i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
            ++i;
            continue;
        }
        const size_t n = CharLen(text, i);
        out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

std::string CutAtChar(std::string_view s, size_t n) { return CutToBytes(s, n); }

}  // namespace zel::message_text
