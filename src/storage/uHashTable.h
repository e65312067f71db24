// A persistent string-keyed map with a fixed number of buckets: the index of
// pack archives and ".hash" files, and the store of the read-label log.
//
// Keys are lower-cased (A-Z only; both bytes of a double-byte character stay
// as they are). Values are byte strings kept back to back in one data area; a
// value is named by its position there.
//
// Stream form ("HashVer1.3"), little-endian:
//   0   16  magic "HashVer1.3" + six NULs; "hashver1.2" is read too (the text
//           up to the first NUL, compared without regard to case)
//   16   4  bucket count n (must equal the table's)
//   20   4  total entry count
//   24   4  data area size D
//   28   4  payload size P
//   32   P  payload: the image, compressed with PackStream, then
//           ScrambleBlocks with the index key over P bytes
// Image: for each bucket 0..n-1 a u16 entry count and that many entries
// (length-prefixed name, i64 position, and in 1.3 an i32 second hash); then
// the D bytes of the data area.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"
#include "storage/uStringCache.h"

namespace zel {

class THashTable {
public:
    static constexpr uint32_t kMaxEntries = 65535;

    // buckets: 256 (pack index, label log) or 512 (".hash" file).
    explicit THashTable(uint32_t buckets);

    // Stores a value. A name already present has its value overwritten in
    // place (false when size is larger than the value stored there). False
    // when the table already holds 65535 entries (also for a present name),
    // for a name longer than 65535 bytes, or when the data area would pass
    // 4 GiB.
    bool Put(std::string_view name, const void* bytes, size_t size);
    // Position of the name's value in the data area.
    std::optional<int64_t> Locate(std::string_view name);
    // True when the name is present; copies size bytes of its value to dest
    // when dest is given and size > 0. Raises EStreamError when those bytes
    // lie outside the data area.
    bool Get(std::string_view name, void* dest, size_t size);
    void Clear();

    // False when the file does not exist or cannot be read; otherwise as
    // LoadFromStream.
    bool LoadFromFile(const std::string& path);
    // Reads the stream form at the stream's position. Raises EZelError with
    // the engine's message for a wrong magic or bucket count, EStreamError for
    // damaged contents; the table keeps its old contents when it raises.
    bool LoadFromStream(TMemoryStream& s);
    // Writes the stream form (always version 1.3) at the stream's position.
    // False when the image would be too large to read back (over 64 MiB).
    bool SaveToStream(TMemoryStream& s) const;

    // Every key, bucket by bucket in insertion order.
    std::vector<std::string> Names() const;

    uint32_t BucketCount() const { return buckets_; }
    uint32_t Count() const { return total_; }
    size_t DataSize() const { return data_.size(); }

    static uint32_t BucketHash(std::string_view lowerName, uint32_t buckets);
    static int32_t SecondHash(std::string_view lowerName);

private:
    struct Entry {
        std::string name;
        int64_t position = 0;
        int32_t hash2 = -1;  // -1: not recorded (version 1.2), match by name only
        uint64_t width = 0;  // bytes up to the next value (or the end of the area)
    };

    Entry* Find(const std::string& lowerName);

    uint32_t buckets_;
    std::vector<std::vector<Entry>> table_;
    std::vector<uint8_t> data_;
    uint32_t total_ = 0;
    TStringCache cache_{32};
};

}  // namespace zel
