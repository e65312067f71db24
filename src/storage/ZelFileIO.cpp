#include "storage/ZelFileIO.h"

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
    int count = 0;
    for (int n = 0; n < 16; ++n) {
        const std::string name = dataDir + "\\data" + std::to_string(n) + ".pack";
        const auto disk = host_.Find(name);
        if (!disk || !HostFileExists(*disk)) continue;
        if (const auto folder = host_.Find(dataDir)) dataFolder_ = *folder;
        std::unique_ptr<THashFilePack> pack;
        try {
            pack = std::make_unique<THashFilePack>(*disk, true);
        } catch (const std::exception&) {
            return false;
        }
        if (pack->Error()) return false;
        pack->SetOnChecksumError([this](const std::string&) {
            if (onChecksumFailure_) onChecksumFailure_();
        });
        packs_[static_cast<size_t>(n)] = std::move(pack);
        ++count;
    }
    for (auto& p : packs_)
        if (p) p->SetChecksumCheck(false);
    return count > 0;
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

bool TFileIOLib::Load(std::string_view path) {
    const std::string name = storage_.ResolveGameFile(path);
    if (name.empty()) return false;
    auto s = storage_.OpenGameFile(name);
    if (!s) return false;
    std::vector<std::string> lines;
    const std::string_view text = s->View();
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(std::move(cur));
    lines_ = std::move(lines);
    fileName_ = name;
    return true;
}

std::string TFileIOLib::Value(std::string_view name) const {
    for (const auto& l : lines_) {
        const size_t eq = l.find('=');
        if (eq != std::string::npos && std::string_view(l).substr(0, eq) == name) return l.substr(eq + 1);
    }
    return {};
}

void TFileIOLib::Clear() {
    lines_.clear();
    fileName_.clear();
}

void TFileIOLib::SaveState(TMemoryStream& s) const { WriteLenString(s, fileName_); }

void TFileIOLib::RestoreState(TMemoryStream& s) {
    const std::string name = ReadLenString(s);
    Clear();
    if (!name.empty()) Load(name);
}

}  // namespace zel
