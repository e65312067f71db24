#include "storage/GameStorage.h"

#include "base/AtomicFile.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "storage/uFilePack.h"

namespace zel {

std::string NormalizeGamePath(std::string_view path) {
    std::string out;
    for (size_t i = 0; i < path.size();) {
        const size_t n = CharLen(path, i);
        if (n == 2) {
            out.append(path.substr(i, 2));
            i += 2;
            continue;
        }
        char c = path[i];
        if (c == '/') c = '\\';
        ++i;
        if (c == '\\') {
            if (out.empty()) continue;
            out += c;
            if (i < path.size() && path[i] == '\\') ++i;
            continue;
        }
        out += c;
    }
    if (out.find("..") == std::string::npos) return out;

    // Split at separators outside quotes and brackets, keeping empty components.
    std::vector<std::string> parts(1);
    bool quote = false;
    int depth = 0;
    for (size_t i = 0; i < out.size();) {
        const size_t n = CharLen(out, i);
        const char c = out[i];
        if (n == 1) {
            if (c == '"') quote = !quote;
            else if (c == '(' || c == '[' || c == '{') ++depth;
            else if (c == ')' || c == ']' || c == '}') --depth;
        }
        if (n == 1 && c == '\\' && !quote && depth <= 0) parts.emplace_back();
        else parts.back().append(out, i, n);
        i += n;
    }
    for (size_t j = 1; j < parts.size();) {
        if (parts[j] == ".." && parts[j - 1] != "..") {
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(j - 1), parts.begin() + static_cast<std::ptrdiff_t>(j + 1));
            j = j > 1 ? j - 1 : 1;
        } else {
            ++j;
        }
    }
    std::string joined;
    for (const auto& p : parts) {
        if (!joined.empty()) joined += '\\';
        joined += p;
    }
    return joined;
}

TGameStorage::TGameStorage(std::string root) : host_(std::move(root)) {}

TGameStorage::~TGameStorage() = default;

bool TGameStorage::OpenGamePacks(const std::string& dataDir) {
    // Opened into a new set, which replaces the old one only when every
    // present pack could be read.
    std::array<std::unique_ptr<THashFilePack>, 16> opened;
    int count = 0;
    for (int n = 0; n < 16; ++n) {
        const std::string stem = dataDir + "\\data" + std::to_string(n);
        const auto disk = host_.Find(stem + ".pack");
        if (!disk || !HostFileExists(*disk)) continue;
        // The index is found the way every game file is: without regard to case.
        const auto hash = host_.Find(stem + ".hash");
        const std::string hashPath = hash && HostFileExists(*hash) ? *hash : std::string();
        std::unique_ptr<THashFilePack> pack;
        try {
            pack = std::make_unique<THashFilePack>(*disk, true, hashPath);
        } catch (const std::exception&) {
            return false;
        }
        if (pack->Error()) return false;
        pack->SetOnChecksumError([this](const std::string&) {
            if (onChecksumFailure_) onChecksumFailure_();
        });
        pack->SetChecksumCheck(false);
        opened[static_cast<size_t>(n)] = std::move(pack);
        ++count;
    }
    if (count == 0) return false;
    packs_ = std::move(opened);
    if (const auto folder = host_.Find(dataDir)) dataFolder_ = *folder;
    return true;
}

void TGameStorage::CloseGamePacks() {
    for (auto& p : packs_) p.reset();
    dataFolder_.clear();
}

void TGameStorage::SetPackChecksumCheck(bool on, std::function<void()> onFailure) {
    onChecksumFailure_ = std::move(onFailure);
    for (auto& p : packs_)
        if (p) p->SetChecksumCheck(on);
}

void TGameStorage::SetPseudoFileHooks(std::function<bool(const std::string&)> exists,
                                      std::function<std::unique_ptr<TMemoryStream>(const std::string&)> open) {
    pseudoExists_ = std::move(exists);
    pseudoOpen_ = std::move(open);
}

bool TGameStorage::IsPackLoaded(int n) const { return n >= 0 && n < 16 && packs_[static_cast<size_t>(n)] != nullptr; }

std::string TGameStorage::ResolveGameFile(std::string_view path) {
    if (path.empty()) return {};
    std::string name = NormalizeGamePath(path);
    if (name.empty()) return {};
    if (host_.FileExists(name)) return name;
    for (int n = 15; n >= 0; --n)
        if (packs_[static_cast<size_t>(n)] && packs_[static_cast<size_t>(n)]->Contains(name)) return name;
    if (pseudoExists_ && pseudoExists_(name)) return name;
    return {};
}

std::unique_ptr<TMemoryStream> TGameStorage::OpenGameFile(std::string_view path) {
    const std::string name = ResolveGameFile(path);
    if (name.empty()) return nullptr;
    for (int n = 15; n >= 0; --n) {
        auto& pack = packs_[static_cast<size_t>(n)];
        if (pack && pack->Contains(name)) return pack->ReadFile(name);
    }
    if (pseudoOpen_) return pseudoOpen_(name);
    // Before the engine's hooks exist, loose files other than scripts can be read.
    std::string lower = AsciiLower(path);
    if (lower.size() >= 2 && lower.compare(lower.size() - 2, 2, ".s") == 0) return nullptr;
    const auto disk = host_.Find(name);
    std::string bytes;
    if (!disk || !ReadWholeFile(*disk, bytes)) return nullptr;
    return std::make_unique<TMemoryStream>(bytes);
}

}  // namespace zel
