// Helpers shared by the fuzz targets: game files held in memory, a quiet
// error reporter, and a little reader that carves parameters off the front
// of the fuzzer's input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "storage/GameFiles.h"

namespace zelfuzz {

// Forgets everything the previous input reported, so the error list does not
// grow over millions of runs, and keeps "ERRORLOG.txt" from being written.
inline void ResetErrors() {
    zel::SetErrorLogFolder("");
    zel::ClearErrors();
    zel::SetErrorFlag(false);
}

// Game files by path, compared after ASCII lower-casing.
class MemGameFiles : public zel::IGameFiles {
public:
    void Add(std::string_view path, std::string_view bytes) { files_[zel::AsciiLower(path)] = std::string(bytes); }
    void Clear() { files_.clear(); }
    bool GameFileExists(std::string_view path) override { return files_.count(zel::AsciiLower(path)) != 0; }
    std::unique_ptr<zel::TMemoryStream> OpenGameFile(std::string_view path) override {
        const auto it = files_.find(zel::AsciiLower(path));
        if (it == files_.end()) return nullptr;
        return std::make_unique<zel::TMemoryStream>(std::string_view(it->second));
    }

private:
    std::map<std::string, std::string> files_;
};

// Reads small parameters off the front of the input; past the end every
// value is 0. Rest() is what remains.
class InputReader {
public:
    InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
        return v;
    }
    // Up to n bytes.
    std::string_view Take(size_t n) {
        const size_t k = n < size_ - pos_ ? n : size_ - pos_;
        std::string_view out(reinterpret_cast<const char*>(data_ + pos_), k);
        pos_ += k;
        return out;
    }
    std::string_view Rest() { return Take(size_ - pos_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace zelfuzz
