#include "storage/uHashTable.h"

#include <algorithm>
#include <cstring>

#include "base/AtomicFile.h"
#include "base/Errors.h"
#include "base/Sjis.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"

namespace zel {

namespace {

// "ファイルヘッダが異なります" (the file header differs)
const char kBadHeaderMsg[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x77\x83\x62\x83\x5F\x82\xAA\x88\xD9\x82\xC8\x82\xE8\x82\xDC\x82\xB7";
// "ハッシュテーブルの大きさが異なります" (the hash table size differs)
const char kBadSizeMsg[] =
    "\x83\x6E\x83\x62\x83\x56\x83\x85\x83\x65\x81\x5B\x83\x75\x83\x8B\x82\xCC\x91\xE5\x82\xAB\x82\xB3\x82\xAA\x88\xD9"
    "\x82\xC8\x82\xE8\x82\xDC\x82\xB7";

int64_t EncodeLocation(size_t bucket, size_t index) {
    return static_cast<int64_t>((static_cast<uint64_t>(bucket) << 32) | index);
}

}  // namespace

THashTable::THashTable(uint32_t buckets) : buckets_(buckets ? buckets : 1), table_(buckets_) {}

uint32_t THashTable::BucketHash(std::string_view lowerName, uint32_t buckets) {
    uint32_t h = 0;
    for (size_t i = 0; i < lowerName.size(); ++i)
        h += static_cast<uint32_t>(static_cast<uint8_t>(lowerName[i])) * static_cast<uint32_t>((i + 1) & 0xFF);
    return h % buckets;
}

int32_t THashTable::SecondHash(std::string_view lowerName) {
    uint32_t h = 0;
    for (size_t i = 0; i < lowerName.size(); ++i)
        h += static_cast<uint32_t>(static_cast<uint8_t>(lowerName[i])) * (static_cast<uint32_t>((i + 1) & 0xFF) ^ 0xE7u);
    return static_cast<int32_t>(h);
}

THashTable::Entry* THashTable::Find(const std::string& lowerName) {
    // The cache remembers where an entry sits in its bucket; entries are never
    // removed or moved except by Clear and a load, which empty the cache.
    const int64_t cached = cache_.Lookup(lowerName, -1);
    if (cached >= 0) {
        const size_t b = static_cast<size_t>(static_cast<uint64_t>(cached) >> 32);
        const size_t i = static_cast<size_t>(cached & 0xFFFFFFFF);
        if (b < table_.size() && i < table_[b].size()) return &table_[b][i];
    }
    const size_t b = BucketHash(lowerName, buckets_);
    const int32_t h2 = SecondHash(lowerName);
    auto& bucket = table_[b];
    for (size_t i = 0; i < bucket.size(); ++i) {
        Entry& e = bucket[i];
        if ((e.hash2 == h2 || e.hash2 == -1) && e.name == lowerName) {
            cache_.Store(lowerName, EncodeLocation(b, i));
            return &e;
        }
    }
    return nullptr;
}

bool THashTable::Put(std::string_view name, const void* bytes, size_t size) {
    if (total_ >= kMaxEntries) return false;
    if (name.size() > 0xFFFF) return false;  // the stored form could not hold it
    const std::string key = AsciiLower(name);
    if (Entry* e = Find(key)) {
        // Overwrite in place, never into the value stored after this one.
        if (size > e->width) return false;
        if (size) std::memcpy(data_.data() + e->position, bytes, size);
        return true;
    }
    if (size > 0xFFFFFFFFull - data_.size()) return false;  // D is stored in 32 bits
    const size_t b = BucketHash(key, buckets_);
    Entry e;
    e.name = key;
    e.position = static_cast<int64_t>(data_.size());
    e.hash2 = SecondHash(key);
    e.width = size;
    table_[b].push_back(std::move(e));
    cache_.Store(key, EncodeLocation(b, table_[b].size() - 1));
    if (size) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        data_.insert(data_.end(), p, p + size);
    }
    ++total_;
    return true;
}

std::optional<int64_t> THashTable::Locate(std::string_view name) {
    const Entry* e = Find(AsciiLower(name));
    if (!e) return std::nullopt;
    return e->position;
}

bool THashTable::Get(std::string_view name, void* dest, size_t size) {
    const Entry* e = Find(AsciiLower(name));
    if (!e) return false;
    if (dest && size > 0) {
        const uint64_t pos = static_cast<uint64_t>(e->position);
        if (pos > data_.size() || size > data_.size() - pos)
            throw EStreamError("hash table value lies outside its data area");
        std::memcpy(dest, data_.data() + pos, size);
    }
    return true;
}

std::vector<std::string> THashTable::Names() const {
    std::vector<std::string> out;
    out.reserve(total_);
    for (const auto& bucket : table_)
        for (const Entry& e : bucket) out.push_back(e.name);
    return out;
}

void THashTable::Clear() {
    for (auto& b : table_) b.clear();
    data_.clear();
    total_ = 0;
    cache_.Clear();
}

bool THashTable::LoadFromFile(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    TMemoryStream s(bytes);
    return LoadFromStream(s);
}

bool THashTable::LoadFromStream(TMemoryStream& s) {
    if (s.Remaining() < 32) throw EZelError(kBadHeaderMsg);
    const size_t start = s.Position();
    const std::string magicField = s.ReadBytes(16);
    const std::string_view magic(magicField.data(), std::min<size_t>(magicField.find('\0'), 16));
    const bool v13 = EqualsNoCase(magic, kHashMagic13);
    if (!v13 && !EqualsNoCase(magic, kHashMagic12)) {
        s.Seek(start);
        throw EZelError(kBadHeaderMsg);
    }
    const uint32_t n = s.ReadU32();
    if (n != buckets_) {
        s.Seek(start);
        throw EZelError(kBadSizeMsg);
    }
    const uint32_t total = s.ReadU32();
    const uint32_t dataSize = s.ReadU32();
    const uint32_t payloadSize = s.ReadU32();
    if (payloadSize > s.Remaining()) {
        s.Seek(start);
        throw EStreamError("hash index payload runs past the end of the file");
    }
    std::vector<uint8_t> payload(s.Data() + s.Position(), s.Data() + s.Position() + payloadSize);
    UnscrambleBlocks(payload.data(), payload.size(), kIndexKey);
    std::vector<uint8_t> image;
    std::string why;
    if (!UnpackBytes(payload, image, &why)) {
        s.Seek(start);
        throw EStreamError("hash index is damaged: " + why);
    }
    payload = {};

    // Parse into temporaries; the live table changes only when all of it was read.
    std::vector<std::vector<Entry>> table(buckets_);
    std::vector<int64_t> positions;
    try {
        TMemoryStream img(std::move(image));
        uint64_t count = 0;
        const size_t minEntry = v13 ? 14 : 10;
        for (uint32_t b = 0; b < buckets_; ++b) {
            const uint16_t k = img.ReadU16();
            count += k;
            if (count > total || count > kMaxEntries)
                throw EStreamError("hash index holds more entries than its header says");
            img.RequireItems(k, minEntry);
            auto& bucket = table[b];
            bucket.reserve(k);
            for (uint16_t i = 0; i < k; ++i) {
                Entry e;
                e.name = ReadLenString(img);
                e.position = img.ReadI64();
                e.hash2 = v13 ? img.ReadI32() : -1;
                if (e.position < 0 || static_cast<uint64_t>(e.position) > dataSize)
                    throw EStreamError("hash index entry points outside its data area");
                positions.push_back(e.position);
                bucket.push_back(std::move(e));
            }
        }
        if (count != total) throw EStreamError("hash index holds fewer entries than its header says");
        img.Require(dataSize);
        std::vector<uint8_t> data(img.Data() + img.Position(), img.Data() + img.Position() + dataSize);

        // A value reaches up to the next value's position (or the end of the area).
        std::sort(positions.begin(), positions.end());
        for (auto& bucket : table)
            for (Entry& e : bucket) {
                auto next = std::upper_bound(positions.begin(), positions.end(), e.position);
                const int64_t end = next == positions.end() ? static_cast<int64_t>(dataSize) : *next;
                e.width = static_cast<uint64_t>(end - e.position);
            }

        table_ = std::move(table);
        data_ = std::move(data);
        total_ = total;
        cache_.Clear();
    } catch (...) {
        s.Seek(start);
        throw;
    }
    s.Seek(start + 32 + payloadSize);
    return true;
}

bool THashTable::SaveToStream(TMemoryStream& s) const {
    TMemoryStream img;
    for (const auto& bucket : table_) {
        img.WriteU16(static_cast<uint16_t>(bucket.size()));
        for (const Entry& e : bucket) {
            WriteLenString(img, e.name);
            img.WriteI64(e.position);
            img.WriteI32(e.hash2);
        }
    }
    img.Write(data_.data(), data_.size());
    if (img.Size() > kMaxUnpackedSize) return false;
    std::vector<uint8_t> payload = PackBytes(img.Bytes());
    ScrambleBlocks(payload.data(), payload.size(), kIndexKey);

    uint8_t magic[16] = {};
    std::memcpy(magic, kHashMagic13.data(), kHashMagic13.size());
    s.Write(magic, sizeof magic);
    s.WriteU32(buckets_);
    s.WriteU32(total_);
    s.WriteU32(static_cast<uint32_t>(data_.size()));
    s.WriteU32(static_cast<uint32_t>(payload.size()));
    s.Write(payload.data(), payload.size());
    return true;
}

}  // namespace zel
