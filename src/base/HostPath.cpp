#include "base/HostPath.h"

#include <dirent.h>
#include <sys/stat.h>

#include "base/Sjis.h"

namespace zel {

namespace {

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

// ASCII-only case-insensitive comparison of UTF-8 names.
bool SameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i])) return false;
    return true;
}

}  // namespace

THostPaths::THostPaths(std::string root) : root_(root.empty() ? std::string(".") : std::move(root)) {}

std::optional<std::vector<std::string>> THostPaths::Components(std::string_view p) {
    if (!p.empty() && (p.front() == '/' || p.front() == '\\')) return std::nullopt;
    if (p.size() >= 2 && p[1] == ':') return std::nullopt;  // drive letters
    std::vector<std::string> parts;
    std::string cur;
    auto flush = [&]() -> bool {
        if (cur == "..") return false;
        if (!cur.empty() && cur != ".") parts.push_back(cur);
        cur.clear();
        return true;
    };
    for (size_t i = 0; i < p.size();) {
        const size_t n = CharLen(p, i);
        if (n == 1 && (p[i] == '\\' || p[i] == '/')) {
            if (!flush()) return std::nullopt;
        } else {
            cur.append(p.substr(i, n));
        }
        i += n;
    }
    if (!flush()) return std::nullopt;
    return parts;
}

std::optional<std::string> THostPaths::MatchInFolder(const std::string& dir, const std::string& name) const {
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto it = listings_.find(dir);
        if (it == listings_.end() || attempt == 1) {
            // List the folder (again, on a miss: files appear while the game runs).
            std::vector<std::string> names;
            if (DIR* d = ::opendir(dir.c_str())) {
                while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
                ::closedir(d);
            }
            it = listings_.insert_or_assign(dir, std::move(names)).first;
        }
        for (const auto& n : it->second)
            if (SameNameNoCase(n, name)) return n;
    }
    return std::nullopt;
}

std::optional<std::string> THostPaths::Find(std::string_view gamePath) const {
    const auto parts = Components(gamePath);
    if (!parts) return std::nullopt;
    std::string path = root_;
    for (const auto& part : *parts) {
        const std::string utf8 = SjisToUtf8(part);
        const std::string exact = path + "/" + utf8;
        if (Exists(exact)) {
            path = exact;
            continue;
        }
        const auto match = MatchInFolder(path, utf8);
        if (!match) return std::nullopt;
        path += "/" + *match;
    }
    return path;
}

bool THostPaths::FileExists(std::string_view gamePath) const {
    const auto p = Find(gamePath);
    if (!p) return false;
    struct stat st {};
    return ::stat(p->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> THostPaths::ForWriting(std::string_view gamePath) const {
    const auto parts = Components(gamePath);
    if (!parts || parts->empty()) return std::nullopt;
    std::string path = root_;
    bool matching = true;
    for (const auto& part : *parts) {
        const std::string utf8 = SjisToUtf8(part);
        if (matching) {
            const std::string exact = path + "/" + utf8;
            if (Exists(exact)) {
                path = exact;
                continue;
            }
            if (const auto m = MatchInFolder(path, utf8)) {
                path += "/" + *m;
                continue;
            }
            matching = false;
        }
        path += "/" + utf8;
    }
    return path;
}

}  // namespace zel
