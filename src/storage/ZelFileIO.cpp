#include "storage/ZelFileIO.h"

#include "base/MemStream.h"

namespace zel {

bool TFileIOLib::Load(std::string_view path) {
    const std::string name = storage_.ResolveGameFile(path);
    if (name.empty()) return false;
    auto s = storage_.OpenGameFile(name);
    if (!s) return false;
    std::vector<std::string> lines;
    const std::string_view text = s->View();
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(std::move(cur));
    lines_ = std::move(lines);
    fileName_ = name;
    return true;
}

std::string TFileIOLib::Value(std::string_view name) const {
    for (const auto& l : lines_) {
        const size_t eq = l.find('=');
        if (eq != std::string::npos && std::string_view(l).substr(0, eq) == name) return l.substr(eq + 1);
    }
    return {};
}

void TFileIOLib::Clear() {
    lines_.clear();
    fileName_.clear();
}

void TFileIOLib::SaveState(TMemoryStream& s) const { WriteLenString(s, fileName_); }

void TFileIOLib::RestoreState(TMemoryStream& s) {
    const std::string name = ReadLenString(s);
    Clear();
    if (!name.empty()) Load(name);
}

}  // namespace zel
