// TFileIOLib, the name=value text file behind the script File object, read
// through the game file lookup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/GameFiles.h"

namespace zel {

class TMemoryStream;

// A name=value text file read through the game file lookup.
class TFileIOLib {
public:
    explicit TFileIOLib(IGameStorage& storage) : storage_(storage) {}
    bool Load(std::string_view path);
    // The value of the first line whose name part equals name ("" when absent).
    std::string Value(std::string_view name) const;
    std::string Line(size_t i) const { return i < lines_.size() ? lines_[i] : std::string(); }
    size_t LineCount() const { return lines_.size(); }
    void Clear();
    const std::string& FileName() const { return fileName_; }
    void SaveState(TMemoryStream& s) const;
    void RestoreState(TMemoryStream& s);

private:
    IGameStorage& storage_;
    std::vector<std::string> lines_;
    std::string fileName_;
};

}  // namespace zel
