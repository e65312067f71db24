#include "scriptdata/uZelPath.h"

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"

namespace zel {

namespace {

// Reads count and strings into out; raises EStreamError on a short stream.
std::vector<std::string> ReadStrings(TMemoryStream& s) {
    const int32_t count = s.ReadI32();
    if (count < 0) throw EStreamError("negative string count in a stored list");
    s.RequireItems(static_cast<uint64_t>(count), 2);
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) out.push_back(ReadLenString(s));
    return out;
}

void WriteStrings(TMemoryStream& s, const std::vector<std::string>& items) {
    s.WriteI32(static_cast<int32_t>(items.size()));
    for (const std::string& t : items) WriteLenString(s, t);
}

}  // namespace

bool EndsWithBackslash(std::string_view text) {
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < text.size(); i = NextCharPos(text, i)) last = i;
    return last != std::string_view::npos && text.size() - last == 1 && text[last] == '\\';
}

void TZelStringList::Clear() { items_.clear(); }

bool TZelStringList::AddItem(std::string_view text) {
    if (IndexOf(text) >= 0) return false;
    items_.emplace_back(text);
    return true;
}

bool TZelStringList::RemoveItem(std::string_view text) {
    const int32_t i = IndexOf(text);
    if (i < 0) return false;
    items_.erase(items_.begin() + i);
    return true;
}

int32_t TZelStringList::IndexOf(std::string_view text) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (EqualsNoCase(items_[i], text)) return static_cast<int32_t>(i);
    return -1;
}

void TZelStringList::SaveToStream(TMemoryStream& stream) const { WriteStrings(stream, items_); }

void TZelStringList::LoadFromStream(TMemoryStream& stream) { items_ = ReadStrings(stream); }

void TZelPath::Clear() {
    TZelStringList::Clear();
    Locked = false;
}

bool TZelPath::AddItem(std::string_view text) {
    if (text.empty()) return false;
    if (EndsWithBackslash(text)) return TZelStringList::AddItem(text);
    std::string dir(text);
    dir += '\\';
    return TZelStringList::AddItem(dir);
}

// A directory is removed as it was added.
bool TZelPath::RemoveItem(std::string_view text) {
    if (TZelStringList::RemoveItem(text)) return true;
    if (text.empty() || EndsWithBackslash(text)) return false;
    std::string dir(text);
    dir += '\\';
    return TZelStringList::RemoveItem(dir);
}

void TZelPath::SaveToStream(TMemoryStream& stream) const {
    TZelStringList::SaveToStream(stream);
    stream.WriteU8(Locked ? 1 : 0);
}

void TZelPath::LoadFromStream(TMemoryStream& stream) {
    std::vector<std::string> items = ReadStrings(stream);
    const bool locked = stream.ReadU8() != 0;
    items_ = std::move(items);
    Locked = locked;
}

std::string TZelPath::Resolve(std::string_view name, bool notify) const {
    if (!exists_ || name.empty()) return {};
    std::string found;
    if (exists_(name)) {
        found.assign(name);
    } else {
        for (const std::string& dir : items_) {
            std::string candidate = dir;
            candidate += name;
            if (exists_(candidate)) {
                found = std::move(candidate);
                break;
            }
        }
    }
    if (!found.empty() && notify && resolved_) resolved_(found);
    return found;
}

}  // namespace zel
