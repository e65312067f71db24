// Game file lookup: the sixteen pack slots of "GameData", path
// normalisation and the search order (packs from slot 15 down, then the
// engine's pseudo files; loose files only before those exist, scripts never).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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

    // Opens "data0.pack" ... "data15.pack" of dataDir, each with its ".hash"
    // index (both names matched without regard to case). All or nothing: when
    // one present pack set cannot be read, none is kept and false returned.
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

}  // namespace zel
