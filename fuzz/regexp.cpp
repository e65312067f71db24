// The regular-expression front end on arbitrary pattern strings and subjects:
// match, split, substitute and transliterate, both the text-returning calls
// and the buffer-keeping ones, and every result text.
//
// Input: a byte whose low bits give the split limit (-4..3) and whose bits
// 3-7 choose the substituting call, then the
// pattern string up to the first NUL byte, then the subject.
#include <cstdint>
#include <string>
#include <vector>

#include "ext/uBregExpLib.h"
#include "FuzzSupport.h"

namespace {

void ReadResults(const zel::TBRegExp& re) {
    const int n = re.ResultCount();
    for (int i = 0; i < n; ++i) re.ResultText(i);
    try {
        re.ResultText(n);
        __builtin_trap();
    } catch (const zel::EBRegExpError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    zelfuzz::InputReader in(data, size);
    const uint8_t flags = in.U8();
    const int limit = static_cast<int>(flags & 7) - 4;
    const std::string_view rest = in.Rest();
    const size_t nul = rest.find('\0');
    const std::string pattern(rest.substr(0, nul));
    const std::string subject(nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1));

    // Each operation may spend up to the matcher's loop budget, so one input
    // runs the match-type calls and one of the substituting ones.
    TBRegExp re(2);
    re.Match(pattern, subject);
    ReadResults(re);
    re.Split(pattern, subject, limit);
    ReadResults(re);
    re.Matches(pattern, subject);
    std::vector<std::string> pieces;
    re.SplitInto(pattern, subject, limit, pieces);
    std::string text = subject;
    switch ((flags >> 3) % 3) {
        case 0: re.Substitute(pattern, subject); break;
        case 1: re.Transliterate(pattern, subject); break;
        default: re.SubstituteInPlace(pattern, text); break;
    }
    ReadResults(re);
    return 0;
}
