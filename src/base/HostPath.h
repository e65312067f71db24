// Maps game paths to files on the host disk.
//
// Game paths are backslash-separated Shift-JIS texts relative to the game
// root, compared without regard to ASCII case. On disk the components are
// UTF-8 names whose case may differ: each component is matched by an exact
// stat first, then against a listing of its folder without regard to ASCII
// case. Absolute paths and ".." components are refused, so a name taken from
// data can never leave the game root.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class THostPaths {
public:
    explicit THostPaths(std::string root = ".");
    const std::string& Root() const { return root_; }

    // The disk path of an existing file or folder, or nullopt when there is
    // none or the path is refused.
    std::optional<std::string> Find(std::string_view gamePath) const;
    bool FileExists(std::string_view gamePath) const;
    // The disk path to create or replace: existing components keep their
    // disk spelling, missing ones are converted to UTF-8. nullopt when refused.
    std::optional<std::string> ForWriting(std::string_view gamePath) const;

    // Splits a game path at its separators ("\" or "/", Shift-JIS aware),
    // dropping empty components; nullopt for an absolute path or a ".." component.
    static std::optional<std::vector<std::string>> Components(std::string_view gamePath);

private:
    // The disk name in folder dir matching name (ASCII case ignored), or nullopt.
    std::optional<std::string> MatchInFolder(const std::string& dir, const std::string& utf8Name) const;

    std::string root_;
    mutable std::map<std::string, std::vector<std::string>> listings_;
};

}  // namespace zel
