#include "scriptdata/ZelValueStore.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "scriptdata/ZelCalcMessages.h"

namespace zel {

namespace {

// Callbacks of a store without an object manager.
class TNoObjects final : public IObjectCallbacks {
public:
    bool OnCreateObject(const std::string&, const std::string&, const std::string&) override { return true; }
    bool OnFreeObject(const std::string&, const std::string&, const std::string&) override { return true; }
    void OnSaveObject(TMemoryStream&, const std::string&, const std::string&, const std::string&) override {}
    bool OnLoadObject(TMemoryStream&, const std::string&, const std::string&, const std::string&) override {
        return true;
    }
};

// Stored strings have a 16-bit length: a longer text is cut at the last whole
// character that fits, never inside a double-byte character.
void WriteStoredString(TMemoryStream& s, std::string_view text) {
    if (text.size() > 0xFFFF) {
        size_t cut = 0;
        while (cut < text.size()) {
            const size_t next = NextCharPos(text, cut);
            if (next > 0xFFFF) break;
            cut = next;
        }
        text = text.substr(0, cut);
    }
    WriteLenString(s, text);
}

void ReportAlways(std::string_view message, std::string_view name) {
    std::string line(message);
    line += name;
    ReportError(line);
}

// Product of four sizes, or -1 when one is below 1 or the product passes the cap.
int64_t ElementCount(const TIndexList& dims) {
    int64_t n = 1;
    for (int32_t d : dims) {
        if (d < 1) return -1;
        n *= d;
        if (n > kMaxArrayElements) return -1;
    }
    return n;
}

}  // namespace

IObjectCallbacks& NoObjectCallbacks() {
    static TNoObjects none;  // stateless
    return none;
}

int32_t NameHash(std::string_view name) {
    uint32_t h = 0;
    for (size_t i = 0; i < name.size();) {
        const size_t n = CharLen(name, i);
        for (size_t k = 0; k < n; ++k) {
            char c = name[i + k];
            if (n == 1) c = AsciiLowerChar(c);
            h += static_cast<uint32_t>(static_cast<uint8_t>(c)) * static_cast<uint32_t>((i + k + 1) % 256);
        }
        i += n;
    }
    return static_cast<int32_t>(h);
}

// ---- element containers ----

int64_t TValueArrayCustom::FlatIndex(const TIndexList& idx) const {
    // The sizes multiply to at most kMaxArrayElements, so no term passes 2^56.
    const int64_t flat =
        idx[0] + int64_t{Dims[0]} * (idx[1] + int64_t{Dims[1]} * (idx[2] + int64_t{Dims[2]} * int64_t{idx[3]}));
    return (flat >= 0 && flat < Count) ? flat : -1;
}

bool TValueArrayCustom::SaveToStream(TMemoryStream& stream) const {
    stream.WriteU8(ElementKind);
    stream.WriteU8(IsReference);
    stream.WriteI32(Level);
    WriteStoredString(stream, Name);
    WriteStoredString(stream, TypeName);
    for (int32_t d : Dims) stream.WriteI32(d);
    stream.WriteI32(Count);
    SaveElements(stream);
    return true;
}

bool TValueArrayCustom::LoadHeader(TMemoryStream& stream) {
    Name = ReadLenString(stream);
    TypeName = ReadLenString(stream);
    TIndexList dims{};
    for (int32_t& d : dims) d = stream.ReadI32();
    const int32_t count = stream.ReadI32();
    if (Name.empty() || ElementCount(dims) != count) return false;
    Dims = dims;
    return true;
}

bool TValueArrayCustom::LoadFromStream(TMemoryStream& stream) {
    if (!LoadHeader(stream)) return false;
    LoadElements(stream);
    return true;
}

void TValueArrayInteger::SetCount(int32_t count) {
    items_.resize(static_cast<size_t>(std::max(count, 0)), 0);
    Count = static_cast<int32_t>(items_.size());
}

bool TValueArrayInteger::GetItem(int32_t index, TReturnValue& value) const {
    if (index < 0 || index >= Count) return false;
    value.Kind = rkInteger;
    value.IntValue = items_[static_cast<size_t>(index)];
    value.Text.clear();
    return true;
}

bool TValueArrayInteger::SetItem(int32_t index, const TReturnValue& value) {
    if (index < 0 || index >= Count || value.Kind != ElementKind) return false;
    items_[static_cast<size_t>(index)] = value.IntValue;
    return true;
}

void TValueArrayInteger::SaveElements(TMemoryStream& stream) const {
    for (int32_t v : items_) stream.WriteI32(v);
}

void TValueArrayInteger::LoadElements(TMemoryStream& stream) {
    const int64_t count = ElementCount(Dims);
    stream.RequireItems(static_cast<uint64_t>(count), 4);
    items_.resize(static_cast<size_t>(count));
    for (int32_t& v : items_) v = stream.ReadI32();
    Count = static_cast<int32_t>(count);
}

void TValueArrayString::SetCount(int32_t count) {
    items_.resize(static_cast<size_t>(std::max(count, 0)));
    Count = static_cast<int32_t>(items_.size());
}

bool TValueArrayString::GetItem(int32_t index, TReturnValue& value) const {
    if (index < 0 || index >= Count) return false;
    value.Kind = rkString;
    value.IntValue = 0;
    value.Text = items_[static_cast<size_t>(index)];
    return true;
}

bool TValueArrayString::SetItem(int32_t index, const TReturnValue& value) {
    if (index < 0 || index >= Count || value.Kind != ElementKind) return false;
    items_[static_cast<size_t>(index)] = value.Text;
    return true;
}

void TValueArrayString::SaveElements(TMemoryStream& stream) const {
    for (const std::string& s : items_) WriteStoredString(stream, s);
}

void TValueArrayString::LoadElements(TMemoryStream& stream) {
    const int64_t count = ElementCount(Dims);
    stream.RequireItems(static_cast<uint64_t>(count), 2);
    items_.resize(static_cast<size_t>(count));
    for (std::string& s : items_) s = ReadLenString(stream);
    Count = static_cast<int32_t>(count);
}

TValueArrayObject::~TValueArrayObject() { SetCount(0); }

std::string TValueArrayObject::ElementObjectName(int32_t index) const {
    std::string name;
    AssignDecimal(name, Level);
    name += '_';
    name += Name;
    name += ',';
    std::string n;
    AssignDecimal(n, index);
    name += n;
    return name;
}

void TValueArrayObject::SetCount(int32_t count) {
    const size_t want = static_cast<size_t>(std::max(count, 0));
    const size_t have = items_.size();
    if (want > have) {
        items_.resize(want);
        owned_.resize(want, 0);
        Count = static_cast<int32_t>(want);
        if (!IsReference) {
            for (size_t i = have; i < want; ++i) {
                items_[i] = ElementObjectName(static_cast<int32_t>(i));
                const bool made = callbacks_->OnCreateObject(TypeName, Name, items_[i]);
                owned_[i] = made ? 1 : 0;
                // The element keeps its name, but an object it did not make is not its to free.
                if (!made) ReportAlways(calcmsg::kCreateFailed, items_[i]);
            }
        }
    } else if (want < have) {
        for (size_t i = want; i < have; ++i) {
            if (owned_[i] && !callbacks_->OnFreeObject(TypeName, Name, items_[i]))
                ReportAlways(calcmsg::kFreeFailed, items_[i]);
            owned_[i] = 0;
            items_[i].clear();
        }
        items_.resize(want);
        owned_.resize(want);
        Count = static_cast<int32_t>(want);
    }
}

bool TValueArrayObject::GetItem(int32_t index, TReturnValue& value) const {
    if (index < 0 || index >= Count) return false;
    value.Kind = rkObject;
    value.IntValue = 0;
    value.Text = items_[static_cast<size_t>(index)];
    return true;
}

bool TValueArrayObject::SetItem(int32_t index, const TReturnValue& value) {
    if (index < 0 || index >= Count || value.Kind != ElementKind) return false;
    const size_t i = static_cast<size_t>(index);
    if (owned_[i] && items_[i] != value.Text) owned_[i] = 0;
    items_[i] = value.Text;
    return true;
}

bool TValueArrayObject::OwnsAnyObject() const {
    return std::any_of(owned_.begin(), owned_.end(), [](uint8_t o) { return o != 0; });
}

void TValueArrayObject::SaveElements(TMemoryStream& stream) const {
    static const std::string kNoObject;
    for (size_t i = 0; i < items_.size(); ++i) {
        WriteStoredString(stream, items_[i]);
        // An element that owns no object still gets a record, one for "no object".
        if (!IsReference) callbacks_->OnSaveObject(stream, TypeName, owned_[i] ? items_[i] : kNoObject, Name);
    }
}

void TValueArrayObject::LoadElements(TMemoryStream& stream) {
    const int64_t count = ElementCount(Dims);
    stream.RequireItems(static_cast<uint64_t>(count), 2);
    // Sized first, so that a failure part-way frees exactly the objects made so far.
    items_.assign(static_cast<size_t>(count), std::string());
    owned_.assign(static_cast<size_t>(count), 0);
    Count = static_cast<int32_t>(count);
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i] = ReadLenString(stream);
        if (!IsReference) owned_[i] = callbacks_->OnLoadObject(stream, TypeName, items_[i], Name) ? 1 : 0;
    }
}

// ---- the store ----

TValue::TValue(IObjectCallbacks* callbacks) : callbacks_(callbacks ? callbacks : &NoObjectCallbacks()) { Relaid(); }

void TValue::Relaid() {
    static std::atomic<uint64_t> stamps{0};
    layout_ = ++stamps;
}

TValue::~TValue() { Clear(); }

uint64_t TValue::NameKey(std::string_view name) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a over the folded bytes
    for (size_t i = 0; i < name.size();) {
        const size_t n = CharLen(name, i);
        if (n == 1) {
            h = (h ^ static_cast<uint8_t>(AsciiLowerChar(name[i]))) * 1099511628211ull;
        } else {
            h = (h ^ static_cast<uint8_t>(name[i])) * 1099511628211ull;
            h = (h ^ static_cast<uint8_t>(name[i + 1])) * 1099511628211ull;
        }
        i += n;
    }
    return h;
}

uint64_t TValue::IndexKey(uint64_t nameKey, int32_t level) {
    uint64_t k = nameKey ^ (static_cast<uint64_t>(static_cast<uint32_t>(level)) * 0x9E3779B97F4A7C15ull);
    k ^= k >> 29;
    return k;
}

int32_t TValue::FindHashed(uint64_t nameKey, std::string_view name, int32_t level) const {
    if (slots_.empty()) return -1;
    const uint64_t key = IndexKey(nameKey, level);
    const size_t mask = slots_.size() - 1;
    for (size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> slotShift_);; i = (i + 1) & mask) {
        const TSlot& slot = slots_[i];
        if (slot.Item < 0) return -1;
        if (slot.Key != key) continue;
        const TValueData& d = *items_[static_cast<size_t>(slot.Item)];
        if (d.Level == level && EqualsNoCase(d.Data->Name, name)) return slot.Item;
    }
}

int32_t TValue::Find(std::string_view name, int32_t level) const { return FindHashed(NameKey(name), name, level); }

void TValue::IndexInsert(uint64_t key, int32_t item) {
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> slotShift_);
    while (slots_[i].Item >= 0) i = (i + 1) & mask;
    slots_[i] = {key, item};
}

void TValue::RebuildIndex() {
    size_t size = 64;
    int shift = 58;
    while (size < 2 * (items_.size() + 1)) {
        size *= 2;
        --shift;
    }
    slots_.assign(size, TSlot{});
    slotShift_ = shift;
    for (size_t i = 0; i < keys_.size(); ++i) IndexInsert(keys_[i], static_cast<int32_t>(i));
}

void TValue::Append(std::unique_ptr<TValueData> data) {
    // The list grows in steps of 64 entries.
    if (items_.size() == items_.capacity()) {
        items_.reserve((items_.size() / 64 + 1) * 64);
        keys_.reserve(items_.capacity());
    }
    const uint64_t key = IndexKey(NameKey(data->Data->Name), data->Level);
    items_.push_back(std::move(data));
    keys_.push_back(key);
    Relaid();
    if (slots_.size() < 2 * (items_.size() + 1)) RebuildIndex();
    else IndexInsert(key, static_cast<int32_t>(items_.size() - 1));
}

void TValue::Report(std::string_view message, std::string_view name) const {
    if (ReportErrors) ReportAlways(message, name);
}

bool TValue::DeclareItem(std::string_view name, std::string_view typeName, bool isReference, int16_t access,
                         uint8_t elementKind, int32_t level, const TIndexList& dims) {
    if (name.empty() || elementKind > rkObject) return false;
    if (level < INT16_MIN || level > INT16_MAX) return false;
    if (Find(name, level) >= 0) return false;
    TIndexList sizes = dims;
    for (int32_t& d : sizes) d = std::max(d, 1);
    const int64_t count = ElementCount(sizes);
    if (count < 0) {
        Report(calcmsg::kTooManyElements, name);
        return false;
    }
    std::unique_ptr<TValueArrayCustom> arr;
    switch (elementKind) {
        case rkInteger: arr = std::make_unique<TValueArrayInteger>(); break;
        case rkString: arr = std::make_unique<TValueArrayString>(); break;
        default: arr = std::make_unique<TValueArrayObject>(*callbacks_); break;
    }
    arr->Name = std::string(name);
    arr->TypeName = std::string(typeName);
    arr->IsReference = isReference ? 1 : 0;
    arr->Level = level;
    arr->Dims = sizes;
    auto data = std::make_unique<TValueData>();
    data->Level = static_cast<int16_t>(level);
    data->Access = access;
    data->NameHash = NameHash(name);
    data->Data = std::move(arr);
    data->Data->SetCount(static_cast<int32_t>(count));  // object arrays make their objects here
    Append(std::move(data));
    return true;
}

bool TValue::DeleteItem(std::string_view name, int32_t level, bool force) {
    const int32_t item = Find(name, level);
    if (item < 0) return false;
    if (!force && !(items_[static_cast<size_t>(item)]->Access & kAccessDelete)) return false;
    // Out of the list first, then freed: the store is consistent while objects go.
    std::unique_ptr<TValueData> gone = std::move(items_[static_cast<size_t>(item)]);
    items_.erase(items_.begin() + item);
    keys_.erase(keys_.begin() + item);
    RebuildIndex();
    Relaid();
    gone.reset();
    return true;
}

bool TValue::ReadItem(int32_t item, const TIndexList& idx, bool force, TReturnValue& value) {
    if (item < 0 || item >= Count()) {
        value.Clear();
        return false;
    }
    const TValueData& d = *items_[static_cast<size_t>(item)];
    if (!force && !(d.Access & kAccessRead)) {
        Report(calcmsg::kReadLocked, d.Data->Name);
        value.Clear();
        return false;
    }
    const int64_t flat = d.Data->FlatIndex(idx);
    if (flat < 0) {
        Report(calcmsg::kReadOutOfRange, d.Data->Name);
        value.Clear();
        return false;
    }
    d.Data->GetItem(static_cast<int32_t>(flat), value);
    if (value.Kind == rkInteger) AssignDecimal(value.Text, value.IntValue);
    else if (value.Kind == rkString) value.IntValue = TextToInt(value.Text);
    return true;
}

bool TValue::WriteItem(int32_t item, const TIndexList& idx, bool force, const TReturnValue& value,
                       std::string_view lookedFor) {
    if (item < 0 || item >= Count()) {
        Report(calcmsg::kNotDeclared, lookedFor);
        return false;
    }
    TValueData& d = *items_[static_cast<size_t>(item)];
    if (!force && !(d.Access & kAccessWrite)) {
        Report(calcmsg::kWriteLocked, d.Data->Name);
        return false;
    }
    const int64_t flat = d.Data->FlatIndex(idx);
    if (flat < 0) {
        Report(calcmsg::kWriteOutOfRange, d.Data->Name);
        return false;
    }
    if (value.Kind == d.Data->ElementKind) return d.Data->SetItem(static_cast<int32_t>(flat), value);
    TReturnValue converted = value;
    converted.Kind = d.Data->ElementKind;
    return d.Data->SetItem(static_cast<int32_t>(flat), converted);
}

bool TValue::ResetItem(std::string_view name, int32_t level, bool force) {
    const int32_t item = Find(name, level);
    if (item < 0) {
        Report(calcmsg::kNotDeclared, name);
        return false;
    }
    TValueData& d = *items_[static_cast<size_t>(item)];
    if (!force && !(d.Access & kAccessWrite)) {
        Report(calcmsg::kWriteLocked, d.Data->Name);
        return false;
    }
    const TReturnValue empty{d.Data->ElementKind, 0, std::string()};
    for (int32_t i = 0; i < d.Data->Count; ++i) d.Data->SetItem(i, empty);
    return true;
}

bool TValue::WriteInteger(std::string_view name, int32_t index, int32_t value) {
    return WriteItem(Find(name, 0), {index, 0, 0, 0}, true, TReturnValue::Integer(value), name);
}

bool TValue::WriteString(std::string_view name, int32_t index, std::string_view text) {
    return WriteItem(Find(name, 0), {index, 0, 0, 0}, true, TReturnValue::String(text), name);
}

bool TValue::WriteObjectName(std::string_view name, int32_t index, std::string_view objectName) {
    return WriteItem(Find(name, 0), {index, 0, 0, 0}, true, TReturnValue::Object(objectName), name);
}

void TValue::DropLocalsAbove(int32_t level) {
    std::vector<std::unique_ptr<TValueData>> gone;
    size_t w = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->Level > level) {
            gone.push_back(std::move(items_[i]));
        } else {
            items_[w] = std::move(items_[i]);
            keys_[w++] = keys_[i];
        }
    }
    if (gone.empty()) return;
    items_.resize(w);
    keys_.resize(w);
    RebuildIndex();
    Relaid();
    for (auto& d : gone) d.reset();  // in declaration order
}

void TValue::Clear() {
    std::vector<std::unique_ptr<TValueData>> gone = std::move(items_);
    items_.clear();
    keys_.clear();
    slots_.clear();
    Relaid();
    for (auto& d : gone) d.reset();
}

bool TValue::OwnsAnyObject() const {
    for (const auto& d : items_) {
        if (d->Data && d->Data->ElementKind == rkObject &&
            static_cast<const TValueArrayObject&>(*d->Data).OwnsAnyObject())
            return true;
    }
    return false;
}

bool TValue::SaveToStream(TMemoryStream& stream) const {
    stream.WriteI32(Count());
    for (const auto& d : items_) {
        stream.WriteI16(d->Level);
        stream.WriteI16(d->Access);
        stream.WriteI32(d->NameHash);
        if (d->Data) {
            d->Data->SaveToStream(stream);
        } else {
            stream.WriteU8(3);
            stream.WriteU8(1);
            stream.WriteI32(0);
        }
    }
    return true;
}

void TValue::ReadRecords(TMemoryStream& stream) {
    const int32_t count = stream.ReadI32();
    if (count < 0) throw EStreamError("negative variable count");
    stream.RequireItems(static_cast<uint64_t>(count), 14);  // the fixed part of a record
    for (int32_t n = 0; n < count; ++n) {
        const int16_t level = stream.ReadI16();
        const int16_t access = stream.ReadI16();
        stream.ReadI32();  // the name hash is recomputed from the name
        const uint8_t kind = stream.ReadU8();
        const uint8_t isReference = stream.ReadU8();
        const int32_t arrayLevel = stream.ReadI32();
        if (kind == 3) continue;  // a record without an array names nothing
        if (kind > rkObject) throw EStreamError("unknown variable kind in stored variables");
        std::unique_ptr<TValueArrayCustom> arr;
        switch (kind) {
            case rkInteger: arr = std::make_unique<TValueArrayInteger>(); break;
            case rkString: arr = std::make_unique<TValueArrayString>(); break;
            default: arr = std::make_unique<TValueArrayObject>(*callbacks_); break;
        }
        arr->IsReference = isReference ? 1 : 0;
        arr->Level = arrayLevel;
        if (!arr->LoadHeader(stream)) throw EStreamError("bad variable header in stored variables");
        if (Find(arr->Name, level) >= 0) throw EStreamError("variable stored twice in stored variables");
        arr->LoadElements(stream);
        auto data = std::make_unique<TValueData>();
        data->Level = level;
        data->Access = access;
        data->NameHash = NameHash(arr->Name);
        data->Data = std::move(arr);
        Append(std::move(data));
    }
}

bool TValue::LoadFromStream(TMemoryStream& stream, std::string* why) {
    // Objects of this store are freed before the new ones are built (they may
    // share names). Their state is kept, so that a failed load can rebuild them.
    const bool hadObjects = OwnsAnyObject();
    TMemoryStream previous;
    if (hadObjects) {
        SaveToStream(previous);
        Clear();
    }
    TValue fresh(callbacks_);
    fresh.ReportErrors = ReportErrors;
    try {
        fresh.ReadRecords(stream);
    } catch (const EZelError& e) {
        if (why) *why = e.what();
        fresh.Clear();  // frees whatever the partial load built
        if (hadObjects) {
            previous.Rewind();
            try {
                ReadRecords(previous);
            } catch (const EZelError&) {
                Clear();
            }
        }
        return false;
    }
    std::swap(items_, fresh.items_);
    std::swap(keys_, fresh.keys_);
    std::swap(slots_, fresh.slots_);
    std::swap(slotShift_, fresh.slotShift_);
    Relaid();
    return true;  // `fresh` now frees the old variables
}

}  // namespace zel
