// Game files held in memory for the tests: names compared without regard
// to case, as the game storage compares them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "storage/GameFiles.h"

namespace zeltest {

class TMemoryGameFiles final : public zel::IGameFiles {
public:
    std::map<std::string, std::vector<uint8_t>> files;
    int opens = 0;  // successful opens
    void Add(const std::string& name, std::vector<uint8_t> bytes) { files[zel::AsciiLower(name)] = std::move(bytes); }
    bool GameFileExists(std::string_view p) override { return files.count(zel::AsciiLower(p)) != 0; }
    std::unique_ptr<zel::TMemoryStream> OpenGameFile(std::string_view p) override {
        const auto it = files.find(zel::AsciiLower(p));
        if (it == files.end()) return nullptr;
        ++opens;
        return std::make_unique<zel::TMemoryStream>(it->second);
    }
};

}  // namespace zeltest
