// A label log: a persistent count per key text, kept in a 256-bucket hash
// table whose values are 4 bytes, a little-endian int32. The engine keeps two:
// the read-label log (how many lines under each label have been read, what
// read-text skipping relies on) and the seen-file log. Both are written into
// the system data and outlive every game.
//
// TLabelLog works on a table it does not own (the records hold the tables and
// replace them when system data loads), so it is cheap to make for each use.
// Keys compare without regard to case, as the table lower-cases them.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/MemStream.h"

namespace zel {

class THashTable;

class TLabelLog {
public:
    static constexpr uint32_t kBuckets = 256;

    explicit TLabelLog(THashTable& table) : table_(table) {}

    // Unless force, nothing is stored and the answer is false when the key
    // already holds n or more. Otherwise n is stored and the answer is true,
    // also when a full table (65535 keys) had no room for a new key.
    bool Record(std::string_view key, int32_t n, bool force);
    // The stored count, -1 when the key is absent.
    int32_t Get(std::string_view key) const;
    void Clear();
    // The table's stream form. LoadState raises the table's errors for a
    // stream of another form and keeps the old contents then.
    bool SaveState(TMemoryStream& s) const;
    bool LoadState(TMemoryStream& s);

private:
    THashTable& table_;
};

}  // namespace zel
