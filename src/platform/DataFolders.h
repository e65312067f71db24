// Where a game's writable files go (the player's settings "GameData/System/
// config.txt", "SaveData/" and "ERRORLOG.txt"): the game root itself when it
// is writable, as a game folder a player owns is; otherwise, for a game
// installed read-only (or the demo in a system folder), the folder
// $XDG_DATA_HOME/zel/<game folder name>/, with ~/.local/share standing in for
// an unset or relative XDG_DATA_HOME.
#pragma once

#include <functional>
#include <string>

namespace zel {

struct TDataFolderEnvironment {
    std::string xdgDataHome;  // $XDG_DATA_HOME, may be empty
    std::string home;         // $HOME, may be empty
    // True when files can be made in the folder.
    std::function<bool(const std::string& folder)> writable;
};

// The environment of this process.
TDataFolderEnvironment ProcessDataFolderEnvironment();

// The folder for the writable files of the game whose root is gameRoot
// (absolute or relative to the working directory): gameRoot when writable,
// else the data folder, made with its parents when missing. Empty when there
// is neither (no home folder, or the data folder cannot be made).
std::string WritableRootFor(const std::string& gameRoot, const TDataFolderEnvironment& env);

}  // namespace zel
