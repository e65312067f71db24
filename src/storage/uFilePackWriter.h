// Writes pack archives (the layout is described in uFilePack.h) and their
// ".hash" indexes. Entries are streamed to a temporary file beside the target,
// which replaces the target only when the whole pack was written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "storage/uFilePack.h"

namespace zel {

struct TPackWriteOptions {
    int version = 2;        // 1: bare trailer; 2: check string and a 256-bucket index inside
    bool compress = false;  // PackStream every entry that gets smaller by it
    bool scramble = false;  // ScrambleBlocks every entry with the pack key
};

class TFilePackWriter {
public:
    explicit TFilePackWriter(TPackWriteOptions options = {});
    ~TFilePackWriter();  // an unfinished pack leaves nothing behind
    TFilePackWriter(const TFilePackWriter&) = delete;
    TFilePackWriter& operator=(const TFilePackWriter&) = delete;

    // Starts a pack that will replace path.
    bool Begin(const std::string& path, std::string* err = nullptr);
    // Adds an entry under its game path (lower-cased here). Refuses a name
    // already added, an empty name or one longer than 65535 bytes, and data
    // of 4 GiB or more. Entries over 64 MiB, which the reader would refuse to
    // unpack, and entries that compression does not shrink are stored as they are.
    bool Add(std::string_view name, std::span<const uint8_t> bytes, std::string* err = nullptr);
    // Writes directory, index and trailer and moves the pack into place.
    bool Finish(std::string* err = nullptr);
    // Writes the 512-bucket ".hash" index of the entries added so far.
    bool WriteHashFile(const std::string& path, std::string* err = nullptr) const;

    size_t Count() const { return names_.size(); }
    // Stored flags of entry i, as written.
    const TPackEntryRecord& Entry(size_t i) const { return records_.at(i); }

private:
    bool WriteRaw(const void* p, size_t n, std::string* err);
    bool BuildIndex(THashTable& table, std::string* err) const;
    void Discard();

    TPackWriteOptions options_;
    std::string path_;
    std::string tmpPath_;
    int fd_ = -1;
    uint64_t written_ = 0;
    std::vector<std::string> names_;
    std::vector<TPackEntryRecord> records_;
    std::unordered_set<std::string> seen_;
};

}  // namespace zel
