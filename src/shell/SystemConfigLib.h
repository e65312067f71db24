// The engine-wide settings record, the settings files it is read from and
// written to, and the message table of the engine's own texts.
//
// Settings files are Shift-JIS text with one "name=value" entry per line.
// Names compare without regard to ASCII case; integers are decimal or "$"
// hexadecimal (read as 64-bit so "$" + 8 digits gives an ARGB colour);
// booleans are TRUE or FALSE in any case; a value that does not parse keeps
// the default. Lines that are not entries are kept when a file is rewritten.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

class TMemoryStream;
class IFontSlots;
class IGameFiles;
struct TFontFamily;

struct TSystemData {
    // System settings ("System\etc\Game.dat").
    int32_t ScreenWidth = 800, ScreenHeight = 600;
    std::string GameTitle = "UnTitled";
    std::string FormCaption;
    int32_t CodeKey = 46203;
    int32_t MinimizeSystemStop = 0;
    std::string FormCloseEventLabel;
    int32_t ThumWidth = 96, ThumHeight = 72;
    std::array<std::string, 16> DLLObjectPath{}, DLLObjectName{};
    int32_t QuickSaveCount = 8;
    bool ConfigStartupSkip = false;
    bool ConfigSoundTab = true, ConfigGamePadTab = true, ConfigSpecTab = true, ConfigOptionTab = true;
    bool ConfigMovie = true, ConfigCRC = true, ConfigSurfaceMemory = true;
    bool ConfigForceWindowMode = false;
    int32_t MulBGMVolume = 256, MulVOICEVolume = 256, MulSEVolume = 256;

    // User settings ("GameData\System\config.txt"; defaults record: "System\etc\Config.txt").
    int32_t FullScreen = 0;
    int32_t ColorMode = 1;
    int32_t FPSLimit = 40;
    int32_t Interlace = 0;
    int32_t StreamLength = 131072;
    int32_t CacheSize = 0;
    int32_t UseGamePad = 0;
    int32_t MovieDecoder = 1;
    int32_t CRCCheck = 1;
    int32_t SurfaceMemory = 0;
    int32_t TaskTrayMode = 0;
    int32_t ForceDirectSoundMode = 0;
    struct FontSlot {
        int32_t AA = 1;
        int32_t Style = 0;
        int32_t StyleColor = 0;
        std::string Name;
    };
    std::array<FontSlot, 8> Font{};
    int32_t BGMVolume = 255, VOICEVolume = 255, SEVolume = 255;
    int32_t BGMMute = 0, VOICEMute = 0, SEMute = 0;
    int32_t MessageSpeed = 10;
    int32_t MessageAlpha = 255;
    int32_t AutoPlayWaitTime = 100;
    int32_t AutoPlayClickTime = 2000;
    std::array<int32_t, 32> ActorVolume{};
    std::array<int32_t, 32> ActorMute{};

    // Tables kept in the same record.
    std::array<std::vector<std::string>, 8> FontNames{}, FontKinds{};
    std::array<std::vector<std::string>, 32> ActorList{};

    TSystemData() { ActorVolume.fill(255); }
};

// The active and the defaults record for the whole run.
TSystemData& ActiveSettings();
TSystemData& DefaultSettings();

// Parsed "name=value" lines. Values keep their bytes after the first "=".
class TSettingsText {
public:
    explicit TSettingsText(std::string_view text);
    // The value of the first line whose name matches (ASCII case folded), or nullopt.
    std::optional<std::string> Value(std::string_view key) const;
    std::optional<int64_t> Int(std::string_view key) const;
    std::optional<bool> Bool(std::string_view key) const;
    // Replaces the value of the line with that key or appends a line.
    void Set(std::string_view key, std::string_view value);
    // Removes every line with that key.
    void Remove(std::string_view key);
    // The lines joined with CR LF, ending with CR LF.
    std::string Text() const;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    int Find(std::string_view key) const;
    std::vector<std::string> lines_;
};

// Reads an integer as settings files write them: decimal or "$" hexadecimal.
std::optional<int64_t> ParseSettingInt(std::string_view v);

void LoadSystemSettings(TSystemData& rec, std::string_view text);
void LoadUserSettings(TSystemData& rec, std::string_view text);
// Reads the plain host file when it exists; errors are ignored.
void LoadUserSettingsFile(TSystemData& rec, const std::string& hostPath);
// Writes the user keys of rec into the host file, keeping the lines it does not
// own; the previous file is copied to "path.bak" first. The write is atomic:
// a failed write keeps the old settings. Returns false on a failed write.
bool SaveUserSettingsFile(const TSystemData& rec, const std::string& hostPath);

// Voice-name lists of the 32 actors from "system\voice\voicedata.dat".
void LoadActorTable(TSystemData& rec, std::string_view text);
// Font lists of the 8 slots from "system\font\fontdata.dat"; installed lists
// the platform's Japanese families for "system", "system_fix", "system_pro".
void LoadFontTable(TSystemData& rec, std::string_view text, const std::vector<TFontFamily>& installed);
// Resolves each slot's font name against its list and sets the slot: a
// bitmap font when the game has "system\font\NAME.of", else an outline font
// with the slot's style as decoration.
void ApplyFontSettings(TSystemData& rec, IFontSlots& slots, IGameFiles& files);

// The engine's own user-visible texts by key; a missing key yields "".
class TMessageTable {
public:
    void Load(std::string_view text);
    std::string Text(std::string_view key) const;
    bool Empty() const { return lines_.empty(); }

private:
    std::vector<std::pair<std::string, std::string>> lines_;
};

TMessageTable& Messages();

}  // namespace zel
