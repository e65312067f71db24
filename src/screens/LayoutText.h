// The name=value text of a built-in screen's layout file (the system menu,
// the save and load screens): one entry a line, CR LF or LF; names and values
// trimmed and lower-cased; a line without "=" is skipped; the first of two
// equal names counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel {

struct TLayoutText {
    std::vector<std::pair<std::string, std::string>> entries;

    const std::string* Find(const std::string& key) const;
    // The value, empty when the name is absent.
    std::string Get(const std::string& key) const;
    // One more than the highest index i of the "prefix[i]..." names below
    // limit: how many entries of a list the layout actually holds.
    int64_t IndexBound(std::string_view prefix, int64_t limit) const;
};

TLayoutText ReadLayoutText(std::string_view text);

}  // namespace zel
