// TZelStringList, an ordered set of strings without regard to ASCII case, and
// TZelPath, the search-path list that resolves game file names for the object
// commands.
//
// Stream form (little-endian; "string" is an unsigned 16-bit byte count and
// the bytes):
//   TZelStringList: int32 count, then count strings
//   TZelPath:       the list as above, then one byte: Locked (0 or 1)
// Loads are all-or-nothing: a short or malformed stream raises EStreamError
// and leaves the list as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TMemoryStream;

class TZelStringList {
public:
    virtual ~TZelStringList() = default;

    virtual void Clear();
    // Appends text when no item equals it without regard to case. False when
    // nothing was added.
    virtual bool AddItem(std::string_view text);
    // Removes the item equal to text without regard to case; false when none.
    virtual bool RemoveItem(std::string_view text);
    virtual void SaveToStream(TMemoryStream& stream) const;
    virtual void LoadFromStream(TMemoryStream& stream);

    // Index of the item equal to text without regard to case, or -1.
    int32_t IndexOf(std::string_view text) const;
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    const std::string& Item(int32_t index) const { return items_[static_cast<size_t>(index)]; }
    const std::vector<std::string>& Items() const { return items_; }

protected:
    std::vector<std::string> items_;
};

// Directories tried in order after the name itself. Every directory ends with
// a backslash (AddItem appends one; a trailing 0x5C that is the second byte of
// a double-byte character, as in 表 or ソ, is not one).
class TZelPath : public TZelStringList {
public:
    using TExistsFn = std::function<bool(std::string_view fileName)>;
    using TResolvedFn = std::function<void(const std::string& fileName)>;

    void Clear() override;
    // Empty text names no directory and is refused.
    bool AddItem(std::string_view text) override;
    bool RemoveItem(std::string_view text) override;
    void SaveToStream(TMemoryStream& stream) const override;
    void LoadFromStream(TMemoryStream& stream) override;

    bool Locked = false;

    // Without an exists callback nothing resolves.
    void SetExists(TExistsFn exists) { exists_ = std::move(exists); }
    // Told every name a notifying Resolve found (the seen-file log).
    void SetResolved(TResolvedFn resolved) { resolved_ = std::move(resolved); }

    // The name itself when it exists, else the first directory + name that
    // exists, else empty. notify: tell the resolved-name callback.
    std::string Resolve(std::string_view name, bool notify) const;

private:
    TExistsFn exists_;
    TResolvedFn resolved_;
};

// True when text ends with a backslash character (not the trail byte of a
// double-byte character).
bool EndsWithBackslash(std::string_view text);

}  // namespace zel
