// TCache: decoded resources shared by key, with reference counts, ageing and
// a byte budget for what nobody uses any more.
//
// Animations decode their embedded pictures and sounds through a cache so
// that several instances of one animation share one decoded copy, and so
// that a resource released a moment ago is still there when the same
// animation is loaded again.
//
// Every entry holds its key (lower-cased), the byte count its request
// covered, its size (SizeOf), the object, the number of users, the number of
// hits and a life of 0..256. Life counts cache operations, not time: every
// Trim takes one life from each idle entry (users 0), and an idle entry with
// no life left goes. A key containing "$$$" gets no life on its last release,
// so such a resource never outlives its users.
//
// Trim runs after every Acquire, Release and SetBudget: after the ageing,
// while the idle entries together hold the budget or more bytes, the idle
// entry with the smallest score min(hits, 256) * 256 + life goes (the first
// in list order on a tie), at most 17 per Trim. Entries in use are never
// evicted and do not count toward the budget; with a budget of 0 an idle
// entry goes at once.
//
// Every request shares by key; the unshared mode (a fresh entry per request)
// is not offered, as nothing in the engine uses it. Sizes are 64-bit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/MemStream.h"
#include "base/Sjis.h"

namespace zel {

template <typename T>
class TCache {
public:
    static constexpr int32_t kFullLife = 256;
    static constexpr int32_t kMaxEvictionsPerTrim = 17;

    struct TEntryInfo {
        std::string key;
        uint64_t requestSize = 0;
        uint64_t size = 0;
        int32_t users = 0;
        int32_t hits = 0;
        int32_t life = 0;
    };

    TCache() = default;
    virtual ~TCache() = default;
    TCache(const TCache&) = delete;
    TCache& operator=(const TCache&) = delete;

    // The object decoded from the next `size` bytes of the stream, shared by
    // key; nullptr when they do not decode. The stream moves on by size bytes
    // whether the bytes are decoded, found in the cache or refused. A size
    // past the end of the stream gives nullptr and leaves the stream alone.
    const T* Acquire(TMemoryStream& stream, uint64_t size, std::string_view key) {
        if (size > stream.Remaining()) return nullptr;
        const size_t start = stream.Position();
        stream.Seek(start + static_cast<size_t>(size));
        return Acquire(stream.Data() + start, static_cast<size_t>(size), key);
    }
    const T* Acquire(const uint8_t* data, size_t size, std::string_view key) {
        std::string k = AsciiLower(key);
        for (TEntry& e : entries_) {
            if (e.info.key != k) continue;
            ++e.info.users;
            if (e.info.hits < INT32_MAX) ++e.info.hits;
            e.info.life = kFullLife;
            const T* obj = e.object.get();
            Trim();
            return obj;
        }
        std::unique_ptr<T> obj = Decode(data, size, k);
        if (!obj) return nullptr;
        TEntry e;
        e.info.key = std::move(k);
        e.info.requestSize = size;
        e.info.size = SizeOf(*obj);
        e.info.users = 1;
        e.info.hits = 1;
        e.info.life = kFullLife;
        e.object = std::move(obj);
        const T* out = e.object.get();
        entries_.push_back(std::move(e));
        Trim();
        return out;
    }

    // One user fewer. An object this cache does not hold is ignored (the
    // cache never owned it).
    void Release(const T* object) {
        if (!object) return;
        for (TEntry& e : entries_) {
            if (e.object.get() != object) continue;
            if (e.info.users > 0) --e.info.users;
            e.info.life = e.info.key.find("$$$") != std::string::npos ? 0 : kFullLife;
            break;
        }
        Trim();
    }

    void SetBudget(uint64_t bytes) {
        budget_ = bytes;
        Trim();
    }
    uint64_t Budget() const { return budget_; }
    // Destroys every entry, in use or not.
    void Clear() { entries_.clear(); }

    // ---- Inspection (tests, tools) ----
    size_t Count() const { return entries_.size(); }
    std::vector<TEntryInfo> Entries() const {
        std::vector<TEntryInfo> out;
        for (const TEntry& e : entries_) out.push_back(e.info);
        return out;
    }
    uint64_t IdleBytes() const {
        uint64_t total = 0;
        for (const TEntry& e : entries_)
            if (e.info.users == 0) total += e.info.size;
        return total;
    }

protected:
    // The object of `size` bytes at data, decoded under the lower-cased key,
    // or nullptr. Decoders never raise.
    virtual std::unique_ptr<T> Decode(const uint8_t* data, size_t size, const std::string& key) = 0;
    virtual uint64_t SizeOf(const T& object) const = 0;

private:
    struct TEntry {
        TEntryInfo info;
        std::unique_ptr<T> object;
    };

    void Trim() {
        for (TEntry& e : entries_)
            if (e.info.users == 0 && e.info.life > 0) --e.info.life;
        std::erase_if(entries_, [](const TEntry& e) { return e.info.users == 0 && e.info.life == 0; });
        for (int32_t round = 0; round < kMaxEvictionsPerTrim; ++round) {
            const uint64_t total = IdleBytes();
            if (total == 0 || total < budget_) break;
            size_t victim = entries_.size();
            int64_t best = 0;
            for (size_t i = 0; i < entries_.size(); ++i) {
                const TEntryInfo& e = entries_[i].info;
                if (e.users != 0) continue;
                const int64_t score = int64_t{std::min(e.hits, kFullLife)} * 256 + e.life;
                if (victim == entries_.size() || score < best) victim = i, best = score;
            }
            entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(victim));
        }
    }

    uint64_t budget_ = 0;
    std::vector<TEntry> entries_;
};

// A counted use of a cached object: releases it when dropped or replaced.
template <typename T>
class TCacheHandle {
public:
    TCacheHandle() = default;
    TCacheHandle(TCache<T>* cache, const T* object) : cache_(object ? cache : nullptr), object_(object) {}
    ~TCacheHandle() { Reset(); }
    TCacheHandle(const TCacheHandle&) = delete;
    TCacheHandle& operator=(const TCacheHandle&) = delete;
    TCacheHandle(TCacheHandle&& o) noexcept
        : cache_(std::exchange(o.cache_, nullptr)), object_(std::exchange(o.object_, nullptr)) {}
    TCacheHandle& operator=(TCacheHandle&& o) noexcept {
        if (this != &o) {
            Reset();
            cache_ = std::exchange(o.cache_, nullptr);
            object_ = std::exchange(o.object_, nullptr);
        }
        return *this;
    }
    void Reset() {
        if (cache_ && object_) cache_->Release(object_);
        cache_ = nullptr;
        object_ = nullptr;
    }
    const T* Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    TCache<T>* cache_ = nullptr;
    const T* object_ = nullptr;
};

// The budgets the configuration's CacheSize gives: the picture cache gets
// all of it, the sound cache a sixth, at most 8 MiB. A negative size is 0.
struct TCacheBudgets {
    uint64_t images = 0;
    uint64_t waves = 0;
};
inline TCacheBudgets CacheBudgetsFor(int64_t cacheSize) {
    const uint64_t s = cacheSize > 0 ? static_cast<uint64_t>(cacheSize) : 0;
    return {s, std::min<uint64_t>(s / 6, 0x800000)};
}

}  // namespace zel
