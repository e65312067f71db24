// Helpers shared by the storage tests: temporary folders, byte generators and
// the independent fixture writer (a Python script run at test time).
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zeltest {

inline std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

inline std::vector<uint8_t> Hex(std::string_view hex) {
    std::vector<uint8_t> out;
    int hi = -1;
    for (char c : hex) {
        int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (v < 0) continue;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<uint8_t>(hi * 16 + v));
            hi = -1;
        }
    }
    return out;
}

inline std::vector<uint8_t> Noise(uint32_t seed, size_t n) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed;
    for (auto& b : out) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return out;
}

// Script-like text: a few words, Shift-JIS characters and line breaks.
inline std::vector<uint8_t> Text(uint32_t seed, size_t n) {
    static const char* const kWords[] = {"the ", "engine ", "\x82\xa0\x82\xa2", "message ", "\\wait ", "\r\n", "@@label", "12345"};
    std::vector<uint8_t> out;
    uint32_t x = seed;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* w = kWords[(x >> 16) % 8];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
    }
    out.resize(n);
    return out;
}

class TempDir {
public:
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "zelstorXXXXXX").string();
        if (mkdtemp(t.data())) path_ = t;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool HavePython() { return std::system("python3 -c pass >/dev/null 2>&1") == 0; }

// Runs the independent fixture writer with the given arguments.
inline bool RunFixtureScript(const std::string& args) {
    const std::string cmd = std::string("python3 '") + ZEL_SOURCE_DIR + "/tests/storage/fixtures/make_pack_fixtures.py' " + args;
    return std::system(cmd.c_str()) == 0;
}

}  // namespace zeltest
