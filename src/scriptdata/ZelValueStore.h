// Script variables: typed arrays of up to four dimensions, kept in stores.
//
// A variable (TValueData) owns one element container of 32-bit integers,
// strings or object names. An owning object array builds one engine object per
// element through the store's object callbacks and frees it again when the
// element goes away; a reference array only holds names.
//
// Stream form of a store (all integers little-endian; "string" is an unsigned
// 16-bit byte count followed by the bytes):
//
//   int32  variable count
//   per variable:
//     int16  Level            routine level of the variable
//     int16  Access           lock bits (1 readable, 2 writable, 4 deletable)
//     int32  NameHash         written for readers that want it; recomputed on load
//     uint8  element kind     0 integer, 1 string, 2 object, 3 no array
//     uint8  IsReference      object arrays: 1 = plain references
//     int32  array Level      routine level used in the element objects' names
//     -- the rest only when the element kind is not 3 --
//     string Name             as declared
//     string TypeName         "int", "str", "obj" or an object type word
//     int32  Dims[0..3]       Dims[0] is the size of the last declared dimension
//     int32  Count            the product of the four sizes
//     elements: integer arrays Count x int32; string arrays Count x string;
//               object arrays Count x (name string, followed for an owning array
//               by the state record that OnSaveObject wrote)
//
// A load is all-or-nothing: everything is read into a fresh store that replaces
// the live one only when the whole stream was read.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scriptdata/ZelReturnValue.h"

namespace zel {

class TMemoryStream;

// Engine side of object variables (the object manager). The store calls these
// when elements of an owning object array come into or go out of existence.
class IObjectCallbacks {
public:
    virtual ~IObjectCallbacks() = default;
    // Builds an object of the type word under objectName and registers it.
    // Returns false when nothing was created (for instance because an object of
    // that name already exists).
    virtual bool OnCreateObject(const std::string& typeName, const std::string& varName,
                                const std::string& objectName) = 0;
    // Unregisters and frees the object of that name.
    virtual bool OnFreeObject(const std::string& typeName, const std::string& varName,
                              const std::string& objectName) = 0;
    // Writes exactly one state record. An empty objectName (an element that owns
    // no object) must still give a record, one that OnLoadObject reads back as
    // "no object".
    virtual void OnSaveObject(TMemoryStream& stream, const std::string& typeName,
                              const std::string& objectName, const std::string& varName) = 0;
    // Reads one state record, builds the object under objectName and registers
    // it. Returns false when no object was created (the record stood for no
    // object, or the name is taken); the record is consumed either way. A
    // malformed record raises EStreamError.
    virtual bool OnLoadObject(TMemoryStream& stream, const std::string& typeName,
                              const std::string& objectName, const std::string& varName) = 0;
};

// Callbacks of a store that has no object manager: every object "exists",
// nothing is built, state records are empty.
IObjectCallbacks& NoObjectCallbacks();

using TIndexList = std::array<int32_t, 4>;

// The largest element count a declaration or a stored array may have.
constexpr int64_t kMaxArrayElements = int64_t{1} << 24;

// Case-folded hash of a variable name: the name is lower-cased (single-byte
// letters only), then sum of byte[i] * ((i + 1) mod 256), wrapping.
int32_t NameHash(std::string_view name);

// Base of the element containers.
class TValueArrayCustom {
public:
    virtual ~TValueArrayCustom() = default;

    std::string Name;      // the variable's name as declared
    std::string TypeName;  // "int", "str", "obj" or an object type word
    uint8_t ElementKind = 0;
    int32_t Count = 0;
    uint8_t IsReference = 0;
    int32_t Level = 0;
    TIndexList Dims{1, 1, 1, 1};  // Dims[0] = size of the last declared dimension

    virtual void SetCount(int32_t count) { Count = count; }
    virtual bool GetItem(int32_t index, TReturnValue& value) const = 0;
    virtual bool SetItem(int32_t index, const TReturnValue& value) = 0;
    // Writes the array part of a stored record (element kind onwards).
    virtual bool SaveToStream(TMemoryStream& stream) const;
    // Reads the array part after the element kind, IsReference and Level (which
    // the store has read to choose the container): LoadHeader, then
    // LoadElements. Raises EStreamError on a truncated stream; returns false on
    // values that cannot be (an empty name, sizes that do not match the count,
    // more than kMaxArrayElements elements).
    virtual bool LoadFromStream(TMemoryStream& stream);
    // Name, TypeName, Dims and Count; false when they cannot be.
    bool LoadHeader(TMemoryStream& stream);
    // Count elements (object arrays: with their state records).
    virtual void LoadElements(TMemoryStream& stream) = 0;

    // Flat element index of an index list, or -1 when it lies outside the array.
    int64_t FlatIndex(const TIndexList& idx) const;

protected:
    virtual void SaveElements(TMemoryStream& stream) const = 0;
};

class TValueArrayInteger final : public TValueArrayCustom {
public:
    TValueArrayInteger() { ElementKind = rkInteger; }
    void SetCount(int32_t count) override;
    bool GetItem(int32_t index, TReturnValue& value) const override;
    bool SetItem(int32_t index, const TReturnValue& value) override;
    int32_t At(int32_t index) const { return items_[static_cast<size_t>(index)]; }

    void LoadElements(TMemoryStream& stream) override;

protected:
    void SaveElements(TMemoryStream& stream) const override;

private:
    std::vector<int32_t> items_;
};

class TValueArrayString final : public TValueArrayCustom {
public:
    TValueArrayString() { ElementKind = rkString; }
    void SetCount(int32_t count) override;
    bool GetItem(int32_t index, TReturnValue& value) const override;
    bool SetItem(int32_t index, const TReturnValue& value) override;
    const std::string& At(int32_t index) const { return items_[static_cast<size_t>(index)]; }

    void LoadElements(TMemoryStream& stream) override;

protected:
    void SaveElements(TMemoryStream& stream) const override;

private:
    std::vector<std::string> items_;
};

// Object names. In an owning array every element created (or loaded) its object
// and remembers that it owns it; only owned objects are ever freed or saved, so
// an element whose object could not be made never touches an object of the same
// name that belongs to another variable.
class TValueArrayObject final : public TValueArrayCustom {
public:
    explicit TValueArrayObject(IObjectCallbacks& callbacks) : callbacks_(&callbacks) { ElementKind = rkObject; }
    ~TValueArrayObject() override;
    TValueArrayObject(const TValueArrayObject&) = delete;
    TValueArrayObject& operator=(const TValueArrayObject&) = delete;

    void SetCount(int32_t count) override;
    bool GetItem(int32_t index, TReturnValue& value) const override;
    // Storing a different name into an owned element gives up its object (which
    // stays with the object manager) rather than freeing or saving it later.
    bool SetItem(int32_t index, const TReturnValue& value) override;
    const std::string& At(int32_t index) const { return items_[static_cast<size_t>(index)]; }
    bool Owns(int32_t index) const { return owned_[static_cast<size_t>(index)] != 0; }
    bool OwnsAnyObject() const;

    void LoadElements(TMemoryStream& stream) override;

protected:
    void SaveElements(TMemoryStream& stream) const override;

private:
    std::string ElementObjectName(int32_t index) const;

    IObjectCallbacks* callbacks_;
    std::vector<std::string> items_;
    std::vector<uint8_t> owned_;
};

// One variable.
struct TValueData {
    int16_t Level = 0;
    int16_t Access = 7;
    int32_t NameHash = 0;
    std::unique_ptr<TValueArrayCustom> Data;
};

// Access bits.
constexpr int16_t kAccessRead = 1;
constexpr int16_t kAccessWrite = 2;
constexpr int16_t kAccessDelete = 4;

// A store of variables, identified by (name, level). The list keeps declaration
// order (what saves and dumps see); an index beside it finds a variable without
// scanning.
class TValue {
public:
    // Without callbacks, object arrays build no engine objects.
    explicit TValue(IObjectCallbacks* callbacks = nullptr);
    ~TValue();
    TValue(const TValue&) = delete;
    TValue& operator=(const TValue&) = delete;

    bool ReportErrors = true;

    IObjectCallbacks& ObjectCallbacks() const { return *callbacks_; }

    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // Changes (to a value no store ever had) whenever variables are added,
    // removed or renumbered, so a remembered item number is good while the
    // stamp it was found under still holds.
    uint64_t LayoutStamp() const { return layout_; }
    const TValueData& Item(int32_t item) const { return *items_[static_cast<size_t>(item)]; }
    TValueData& Item(int32_t item) { return *items_[static_cast<size_t>(item)]; }

    // Item index of (name, level), or -1.
    int32_t Find(std::string_view name, int32_t level) const;
    // Declares a variable. Fails when the name is empty, (name, level) exists, the
    // element kind is unknown, the level does not fit 16 bits or the element
    // count exceeds kMaxArrayElements (reported).
    bool DeclareItem(std::string_view name, std::string_view typeName, bool isReference, int16_t access,
                     uint8_t elementKind, int32_t level, const TIndexList& dims);
    // Deletes (name, level) when force is set or the variable is deletable.
    bool DeleteItem(std::string_view name, int32_t level, bool force);
    // Reads one element; item -1 yields the cleared value and false.
    bool ReadItem(int32_t item, const TIndexList& idx, bool force, TReturnValue& value);
    // Writes one element, converting the value to the array's element kind.
    // lookedFor names the variable in the message when item is -1.
    bool WriteItem(int32_t item, const TIndexList& idx, bool force, const TReturnValue& value,
                   std::string_view lookedFor = {});
    // Sets every element to 0 / empty.
    bool ResetItem(std::string_view name, int32_t level, bool force);
    // System writes: level 0, one index, locks ignored.
    bool WriteInteger(std::string_view name, int32_t index, int32_t value);
    bool WriteString(std::string_view name, int32_t index, std::string_view text);
    bool WriteObjectName(std::string_view name, int32_t index, std::string_view objectName);
    // Deletes every variable of a level above `level`, freeing their objects.
    void DropLocalsAbove(int32_t level);
    // Deletes every variable, freeing their objects.
    void Clear();

    bool SaveToStream(TMemoryStream& stream) const;
    // Replaces the store with the one in the stream. On a malformed or truncated
    // stream nothing changes (objects that were freed for the load are rebuilt
    // from their saved state), false is returned and `why` says what was wrong.
    bool LoadFromStream(TMemoryStream& stream, std::string* why = nullptr);

private:
    // Hash of the case-folded name, and the index key of (name, level).
    static uint64_t NameKey(std::string_view name);
    static uint64_t IndexKey(uint64_t nameKey, int32_t level);
    int32_t FindHashed(uint64_t nameKey, std::string_view name, int32_t level) const;
    void Append(std::unique_ptr<TValueData> data);
    void IndexInsert(uint64_t key, int32_t item);
    void RebuildIndex();
    void ReadRecords(TMemoryStream& stream);
    bool OwnsAnyObject() const;
    void Report(std::string_view message, std::string_view name) const;

    friend class TZelCalculation;

    void Relaid();

    IObjectCallbacks* callbacks_;
    uint64_t layout_ = 0;
    std::vector<std::unique_ptr<TValueData>> items_;
    // The index: keys_[i] is the key of items_[i]; slots_ is an open-addressing
    // table (power-of-two size, at most half full) of item numbers, -1 = empty.
    struct TSlot {
        uint64_t Key = 0;
        int32_t Item = -1;
    };
    std::vector<uint64_t> keys_;
    std::vector<TSlot> slots_;
    int slotShift_ = 64;
};

}  // namespace zel
