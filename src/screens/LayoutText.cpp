#include "screens/LayoutText.h"

#include <algorithm>
#include <charconv>

#include "base/Sjis.h"
#include "base/SjisText.h"

namespace zel {

const std::string* TLayoutText::Find(const std::string& key) const {
    for (const auto& e : entries)
        if (e.first == key) return &e.second;
    return nullptr;
}

std::string TLayoutText::Get(const std::string& key) const {
    const std::string* v = Find(key);
    return v ? *v : std::string();
}

int64_t TLayoutText::IndexBound(std::string_view prefix, int64_t limit) const {
    int64_t most = 0;
    for (const auto& e : entries) {
        if (e.first.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t close = e.first.find(']', prefix.size());
        if (close == std::string::npos) continue;
        int64_t i = -1;
        const auto r = std::from_chars(e.first.data() + prefix.size(), e.first.data() + close, i);
        if (r.ec == std::errc() && r.ptr == e.first.data() + close && i >= 0 && i < limit)
            most = std::max(most, i + 1);
    }
    return most;
}

TLayoutText ReadLayoutText(std::string_view text) {
    TLayoutText l;
    for (const std::string& raw : SplitFields("\n", text)) {
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        l.entries.emplace_back(AsciiLower(TrimBlanks(line.substr(0, eq))), AsciiLower(TrimBlanks(line.substr(eq + 1))));
    }
    return l;
}

}  // namespace zel
