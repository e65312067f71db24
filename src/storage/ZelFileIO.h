// Game file lookup: the sixteen pack slots of "GameData", path
// normalisation, the search order (packs from slot 15 down, then the
// engine's pseudo files; loose files only before those exist, scripts never)
// and TFileIOLib, the name=value text file behind the script File object.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/HostPath.h"
#include "storage/GameFiles.h"

namespace zel {

class THashFilePack;

// "/" becomes "\", leading separators go, a separator followed by a literal
// "\" counts once, and ".." components (outside quotes and brackets) remove
// their predecessor. Shift-JIS characters are copied whole.
std::string NormalizeGamePath(std::string_view path);

class TGameStorage final : public IGameStorage {
public:
    // root: the game root on disk that game paths are relative to.
    explicit TGameStorage(std::string root = ".");
    ~TGameStorage() override;

    bool OpenGamePacks(const std::string& dataDir) override;
    void CloseGamePacks() override;
    void SetPackChecksumCheck(bool on, std::function<void()> onFailure) override;
    void SetPseudoFileHooks(std::function<bool(const std::string&)> exists,
                            std::function<std::unique_ptr<TMemoryStream>(const std::string&)> open) override;
    bool IsPackLoaded(int n) const;
    std::string ResolveGameFile(std::string_view path) override;
    bool GameFileExists(std::string_view path) override { return !ResolveGameFile(path).empty(); }
    std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view path) override;
    // The data folder on disk ("" before OpenGamePacks).
    const std::string& DataFolder() const { return dataFolder_; }
    const THostPaths& Host() const { return host_; }

private:
    THostPaths host_;
    std::string dataFolder_;
    std::array<std::unique_ptr<THashFilePack>, 16> packs_;
    std::function<bool(const std::string&)> pseudoExists_;
    std::function<std::unique_ptr<TMemoryStream>(const std::string&)> pseudoOpen_;
    std::function<void()> onChecksumFailure_;
};

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
