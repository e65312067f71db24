// "1PC" expansion of arbitrary bytes, both the header form and the older
// bare-size form (the first word decides which). Whatever expands must
// compress and expand back to the same bytes.
#include <cstdint>
#include <vector>

#include "storage/PackLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    auto out = UnpackStream(std::make_unique<TMemoryStream>(std::vector<uint8_t>(data, data + size)));
    if (!out) return 0;
    if (out->Position() != 0) __builtin_trap();
    // The round trip is cheap only for small results.
    if (out->Size() > (1u << 16)) return 0;
    const std::vector<uint8_t> packed = PackBytes(out->Bytes());
    std::vector<uint8_t> again;
    if (!UnpackBytes(packed, again) || again != out->Bytes()) __builtin_trap();
    return 0;
}
