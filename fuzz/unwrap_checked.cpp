// The "NM2" checksummed wrapper at an arbitrary start position. A refused
// wrapper leaves the position where it was; an accepted one wraps again to
// the same bytes.
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "storage/PackLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    if (size == 0) return 0;
    const size_t start = data[0] % 8;
    TMemoryStream s(std::vector<uint8_t>(data + 1, data + size));
    if (start > s.Size()) return 0;
    s.Seek(start);
    auto payload = UnwrapChecked(s);
    if (!payload) {
        if (s.Position() != start) __builtin_trap();
        return 0;
    }
    if (payload->Position() != 0) __builtin_trap();
    TMemoryStream again;
    if (!WrapChecked(payload.get(), &again)) __builtin_trap();
    const size_t used = again.Size();
    if (s.Position() != start + used) __builtin_trap();
    if (std::memcmp(again.Data(), s.Data() + start, used) != 0) __builtin_trap();
    return 0;
}
