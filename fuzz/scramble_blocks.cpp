// The block scrambler and checksum over arbitrary bytes and keys: unscrambling
// then scrambling with the same key gives the input back.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "storage/PackLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::InputReader in(data, size);
    const uint32_t key = in.U32();
    const std::string_view rest = in.Rest();
    std::vector<uint8_t> bytes(rest.begin(), rest.end());
    UnscrambleBlocks(bytes.data(), bytes.size(), key);
    const uint32_t sum = BlockChecksum(bytes.data(), bytes.size());
    if (BlockChecksum(bytes.data(), bytes.size()) != sum) __builtin_trap();
    ScrambleBlocks(bytes.data(), bytes.size(), key);
    if (!bytes.empty() && std::memcmp(bytes.data(), rest.data(), bytes.size()) != 0) __builtin_trap();
    return 0;
}
