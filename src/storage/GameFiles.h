// The one way game data is read at run time: by game-relative,
// backslash-separated path, compared without regard to ASCII case. The file
// lookup over the packs and loose files implements it; tests use a map.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/MemStream.h"

namespace zel {

class IGameFiles {
public:
    virtual ~IGameFiles() = default;
    // True when the lookup would find the file.
    virtual bool GameFileExists(std::string_view path) = 0;
    // The whole file as a stream positioned at 0, or nullptr when it is not
    // found. A file that exists but cannot be read raises an EZelError.
    virtual std::unique_ptr<TMemoryStream> OpenGameFile(std::string_view path) = 0;
};

// Game data storage as the shell opens it: the packs under "GameData" and
// the loose files beside them, with the engine's pseudo files.
class IGameStorage : public IGameFiles {
public:
    // True when at least one archive was opened and none failed.
    virtual bool OpenGamePacks(const std::string& gameDataFolder) = 0;
    virtual void CloseGamePacks() = 0;
    // Checksum testing of every open pack; onFailure is called when an entry fails its checksum.
    virtual void SetPackChecksumCheck(bool on, std::function<void()> onFailure) = 0;
    virtual void SetPseudoFileHooks(std::function<bool(const std::string&)> exists,
                                    std::function<std::unique_ptr<TMemoryStream>(const std::string&)> open) = 0;
    // The normalised name when the file can be found, else "".
    virtual std::string ResolveGameFile(std::string_view path) = 0;
};

}  // namespace zel
