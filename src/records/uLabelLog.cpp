#include "records/uLabelLog.h"

#include "storage/uHashTable.h"

namespace zel {

bool TLabelLog::Record(std::string_view key, int32_t n, bool force) {
    if (!force && Get(key) >= n) return false;
    uint8_t v[4];
    const uint32_t u = static_cast<uint32_t>(n);
    for (int i = 0; i < 4; ++i) v[i] = static_cast<uint8_t>(u >> (8 * i));
    // A full table stores nothing; the caller is still told the count was taken.
    table_.Put(key, v, sizeof v);
    return true;
}

int32_t TLabelLog::Get(std::string_view key) const {
    uint8_t v[4] = {};
    if (!table_.Get(key, v, sizeof v)) return -1;
    return static_cast<int32_t>(uint32_t{v[0]} | uint32_t{v[1]} << 8 | uint32_t{v[2]} << 16 | uint32_t{v[3]} << 24);
}

void TLabelLog::Clear() { table_.Clear(); }

bool TLabelLog::SaveState(TMemoryStream& s) const { return table_.SaveToStream(s); }

bool TLabelLog::LoadState(TMemoryStream& s) { return table_.LoadFromStream(s); }

}  // namespace zel
