// File helpers of the two seed writers: where the corpora go, writing one
// seed, reading a source file whole, and a little-endian u32 as bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace zel::seeds {

// The output folder; one subfolder per target.
inline std::filesystem::path& OutputFolder() {
    static std::filesystem::path folder;
    return folder;
}

inline void Put(const std::string& target, const std::string& name, std::string_view bytes) {
    const std::filesystem::path dir = OutputFolder() / target;
    std::filesystem::create_directories(dir);
    std::ofstream f(dir / name, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
inline void Put(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    Put(target, name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::string U32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

}  // namespace zel::seeds
