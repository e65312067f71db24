#include "storage/uStringCache.h"

namespace zel {

TStringCache::TStringCache(size_t slots) : slots_(slots ? slots : 1) {}

uint32_t TStringCache::Hash(std::string_view name) {
    uint32_t h = 0;
    for (size_t i = 0; i < name.size(); ++i)
        h += static_cast<uint32_t>(static_cast<uint8_t>(name[i])) * static_cast<uint32_t>((i + 1) & 0xFF);
    return h;
}

int TStringCache::Find(std::string_view name, uint32_t hash) const {
    if (name.empty()) return -1;
    for (size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].hash == hash && slots_[i].name == name) return static_cast<int>(i);
    return -1;
}

void TStringCache::Store(std::string_view name, int64_t value) {
    if (name.empty()) return;
    const uint32_t hash = Hash(name);
    int slot = Find(name, hash);
    if (slot < 0) {
        slot = static_cast<int>(next_);
        next_ = (next_ + 1) % slots_.size();
    }
    TStringCacheData& d = slots_[static_cast<size_t>(slot)];
    d.value = value;
    d.name.assign(name);
    d.hash = hash;
}

int64_t TStringCache::Lookup(std::string_view name, int64_t def) const {
    const int slot = Find(name, Hash(name));
    return slot < 0 ? def : slots_[static_cast<size_t>(slot)].value;
}

void TStringCache::Remove(std::string_view name) {
    const int slot = Find(name, Hash(name));
    if (slot >= 0) slots_[static_cast<size_t>(slot)] = TStringCacheData{};
}

void TStringCache::Clear() {
    for (auto& d : slots_) d = TStringCacheData{};
    // The replacement order restarts with the empty cache.
    next_ = 0;
}

}  // namespace zel
