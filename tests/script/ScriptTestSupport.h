// Shared fakes for the script tests: game files held in memory and a small
// literal-text stand-in for the regular-expression engine.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/MemStream.h"
#include "base/Sjis.h"
#include "ext/TextServices.h"
#include "storage/GameFiles.h"

namespace zeltest {

// The Shift-JIS form of a UTF-8 literal.
inline std::string S(std::string_view utf8) {
    std::string out;
    zel::Utf8ToSjis(utf8, out);
    return out;
}

// Game files by path, compared after ASCII lower-casing; counts the opens.
class MemGameFiles : public zel::IGameFiles {
public:
    void Add(std::string_view path, std::string_view bytes) { files_[zel::AsciiLower(path)] = std::string(bytes); }
    void Remove(std::string_view path) { files_.erase(zel::AsciiLower(path)); }
    bool GameFileExists(std::string_view path) override { return files_.count(zel::AsciiLower(path)) != 0; }
    std::unique_ptr<zel::TMemoryStream> OpenGameFile(std::string_view path) override {
        ++opens;
        opened.emplace_back(path);
        const auto it = files_.find(zel::AsciiLower(path));
        if (it == files_.end()) return nullptr;
        return std::make_unique<zel::TMemoryStream>(std::string_view(it->second));
    }
    int opens = 0;
    std::vector<std::string> opened;

private:
    std::map<std::string, std::string> files_;
};

// Patterns are literal texts: Match finds the text, Split cuts at it,
// Substitute takes "s/from/to/" and replaces every occurrence, Transliterate
// takes "tr/abc/xyz/" and maps byte by byte. Every call is recorded.
class FakeRegExp : public zel::IRegExp {
public:
    std::vector<std::string> Match(const std::string& pattern, const std::string& subject) override {
        subjects.push_back(subject);
        if (subject.find(pattern) == std::string::npos) return {};
        return {pattern};
    }
    std::vector<std::string> Split(const std::string& pattern, const std::string& subject, int limit) override {
        subjects.push_back(subject);
        lastLimit = limit;
        std::vector<std::string> out;
        size_t start = 0;
        while (static_cast<int>(out.size()) + 1 < limit) {
            const size_t at = subject.find(pattern, start);
            if (at == std::string::npos) break;
            out.push_back(subject.substr(start, at - start));
            start = at + pattern.size();
        }
        out.push_back(subject.substr(start));
        return out;
    }
    std::string Substitute(const std::string& pattern, const std::string& subject) override {
        subjects.push_back(subject);
        const auto parts = Parts(pattern, 2);
        if (parts.size() != 2 || parts[0].empty()) return subject;
        std::string out;
        size_t start = 0;
        for (size_t at; (at = subject.find(parts[0], start)) != std::string::npos; start = at + parts[0].size()) {
            out += subject.substr(start, at - start) + parts[1];
        }
        return out + subject.substr(start);
    }
    std::string Transliterate(const std::string& pattern, const std::string& subject) override {
        subjects.push_back(subject);
        const auto parts = Parts(pattern, 3);
        if (parts.size() != 2 || parts[0].size() != parts[1].size()) return subject;
        std::string out = subject;
        for (char& c : out) {
            const size_t at = parts[0].find(c);
            if (at != std::string::npos) c = parts[1][at];
        }
        return out;
    }
    std::vector<std::string> subjects;
    int lastLimit = 0;

private:
    // "s/a/b/" (skip 2) or "tr/a/b/" (skip 3) -> {a, b}.
    static std::vector<std::string> Parts(const std::string& p, size_t skip) {
        if (p.size() < skip + 2) return {};
        const std::string body = p.substr(skip);
        const size_t mid = body.find('/');
        if (mid == std::string::npos || body.back() != '/') return {};
        return {body.substr(0, mid), body.substr(mid + 1, body.size() - mid - 2)};
    }
};

}  // namespace zeltest
