// The field splitter on arbitrary text, separators and options.
//
// Input: a flag byte (bit 0 drop blanks, bit 1 stop at a comment, bits 2-3
// separator length 0-3), a byte giving the minimum field count (0-63), the
// separator, then the text.
#include <cstdint>
#include <string>
#include <vector>

#include "base/SjisText.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::InputReader in(data, size);
    const uint8_t flags = in.U8();
    const int minCount = in.U8() % 64;
    const std::string_view sep = in.Take((flags >> 2) & 3);
    const std::string_view text = in.Rest();
    const std::vector<std::string> fields = SplitFields(sep, text, (flags & 1) != 0, minCount, (flags & 2) != 0);
    if (static_cast<int>(fields.size()) < minCount) __builtin_trap();
    size_t bytes = 0;
    for (const std::string& f : fields) bytes += f.size();
    if (bytes > text.size()) __builtin_trap();
    return 0;
}
