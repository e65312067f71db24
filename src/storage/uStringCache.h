// A tiny fixed-size cache from names to remembered values (a hash table's
// locations). Slots are replaced oldest first; a lookup compares a cheap
// positional hash before the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

struct TStringCacheData {
    int64_t value = 0;
    std::string name;
    uint32_t hash = 0;
};

class TStringCache {
public:
    // slots: 16 or 32 in the engine; at least 1.
    explicit TStringCache(size_t slots);

    // Remembers value for name, replacing the slot of the same name or else
    // the oldest slot. An empty name is never stored.
    void Store(std::string_view name, int64_t value);
    // The remembered value, or def when the name is not in the cache.
    int64_t Lookup(std::string_view name, int64_t def) const;
    void Remove(std::string_view name);
    void Clear();

    // Sum of byte x (position mod 256), positions counted from 1.
    static uint32_t Hash(std::string_view name);

private:
    int Find(std::string_view name, uint32_t hash) const;

    std::vector<TStringCacheData> slots_;
    size_t next_ = 0;
};

}  // namespace zel
