// The regular-expression front end on arbitrary pattern strings and subjects:
// match, split, substitute and transliterate, both the text-returning calls
// and the buffer-keeping ones, and every result text.
//
// Input: a byte whose low bits give the split limit (-4..3), then the
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
    const int limit = static_cast<int>(in.U8() & 7) - 4;
    const std::string_view rest = in.Rest();
    const size_t nul = rest.find('\0');
    const std::string pattern(rest.substr(0, nul));
    const std::string subject(nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1));

    TBRegExp re(2);
    re.Match(pattern, subject);
    ReadResults(re);
    re.Split(pattern, subject, limit);
    ReadResults(re);
    re.Substitute(pattern, subject);
    ReadResults(re);
    re.Transliterate(pattern, subject);
    re.Matches(pattern, subject);
    std::vector<std::string> pieces;
    re.SplitInto(pattern, subject, limit, pieces);
    std::string text = subject;
    re.SubstituteInPlace(pattern, text);
    ReadResults(re);
    return 0;
}
