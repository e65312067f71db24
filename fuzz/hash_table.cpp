// Hash indexes ("HashVer1.2" / "HashVer1.3") of both bucket counts; every
// name a loaded table lists can be looked up and read. A refused load keeps
// the table's previous contents.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "storage/uHashTable.h"

namespace {

void Exercise(uint32_t buckets, const uint8_t* data, size_t size) {
    using namespace zel;
    THashTable table(buckets);
    const uint16_t marker = 0x1234;
    table.Put("before", &marker, sizeof marker);
    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    bool loaded = false;
    try {
        loaded = table.LoadFromStream(s);
    } catch (const EZelError&) {
        loaded = false;
    }
    if (!loaded) {
        uint16_t v = 0;
        if (table.Count() != 1 || !table.Get("before", &v, sizeof v) || v != marker) __builtin_trap();
        return;
    }
    const std::vector<std::string> names = table.Names();
    if (names.size() != table.Count()) __builtin_trap();
    for (const std::string& name : names) {
        // A name stored in the wrong bucket or not lower-cased is simply not found.
        table.Locate(name);
        uint8_t v[2];
        try {
            table.Get(name, v, sizeof v);
        } catch (const EStreamError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Exercise(256, data, size);
    Exercise(512, data, size);
    return 0;
}
