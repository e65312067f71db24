// Pack archives (version 1 and 2) with and without a ".hash" index beside
// them, opened the way the game's file lookup opens them, and every entry
// read by number and by name.
//
// Input: a flag byte (bit 0: a ".hash" file follows, bit 1: keep the file
// open, bit 2: check checksums), with bit 0 a u32 length and that many bytes
// of ".hash" file, then the pack file itself.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "storage/uFilePack.h"

namespace {

const std::string& TempBase() {
    static const std::string base = [] {
        char dir[] = "/tmp/zel-fuzz-pack-XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        return std::string(dir) + "/data0";
    }();
    return base;
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
}

void ReadQuietly(zel::THashFilePack& pack, const std::string& name) {
    try {
        pack.Contains(name);
        pack.ReadFile(name);
    } catch (const zel::EZelError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::InputReader in(data, size);
    const uint8_t flags = in.U8();
    const std::string hashPath = TempBase() + ".hash";
    const std::string packPath = TempBase() + ".pack";
    if (flags & 1) {
        const uint32_t n = in.U32();
        WriteFile(hashPath, in.Take(n));
    } else {
        unlink(hashPath.c_str());
    }
    WriteFile(packPath, in.Rest());

    THashFilePack hp(packPath, (flags & 2) != 0);
    if (hp.Error() || !hp.Pack()) return 0;
    hp.SetChecksumCheck((flags & 4) != 0);
    hp.SetOnChecksumError([](const std::string&) {});

    // Each entry may declare up to 64 MiB of unpacked data, so one input reads
    // at most 8 entries by number and 8 by name.
    constexpr size_t kReads = 8;
    TFilePack& pack = *hp.Pack();
    std::set<std::string> names;
    for (size_t i = 0; i < pack.Count() && i < kReads; ++i) {
        names.insert(pack.EntryName(i));
        try {
            pack.ReadEntry(static_cast<int64_t>(i));
        } catch (const EZelError&) {
        }
    }
    // Names the indexes know first: they may point anywhere.
    std::vector<std::string> order;
    for (THashTable* index : {hp.ExternalIndex(), pack.HashIndex()})
        if (index)
            for (const std::string& name : index->Names())
                if (names.insert(name).second) order.push_back(name);
    for (size_t i = 0; i < pack.Count() && i < kReads; ++i) order.push_back(pack.EntryName(i));
    size_t n = 0;
    for (const std::string& name : order) {
        if (++n > kReads) break;
        ReadQuietly(hp, name);
        try {
            pack.ReadFile(name);
        } catch (const EZelError&) {
        }
    }
    // Numbers outside the directory.
    try {
        if (pack.ReadEntry(-1) || pack.ReadEntry(static_cast<int64_t>(pack.Count()))) __builtin_trap();
    } catch (const EZelError&) {
        __builtin_trap();
    }
    return 0;
}
