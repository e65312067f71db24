// The one way game data is read at run time: by game-relative,
// backslash-separated path, compared without regard to ASCII case. The file
// lookup over the packs and loose files implements it; tests use a map.
#pragma once

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

}  // namespace zel
