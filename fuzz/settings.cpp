// The settings-file parsers on arbitrary text: the name=value reader with its
// rewrite, the system and user settings, the actor voice table and the font
// table.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/SystemFonts.h"
#include "shell/SystemConfigLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    const std::string_view text = zelfuzz::AsText(data, size);

    TSettingsText settings(text);
    for (const char* key : {"FPSLimit", "GameTitle", "FullScreen", "Font[0].Name", "ActorVolume[3]", ""}) {
        settings.Value(key);
        settings.Int(key);
        settings.Bool(key);
    }
    settings.Set("FPSLimit", "60");
    if (settings.Int("FPSLimit") != 60) __builtin_trap();
    settings.Remove("GameTitle");
    if (settings.Value("GameTitle")) __builtin_trap();
    const std::string rewritten = settings.Text();
    TSettingsText reread(rewritten);
    if (reread.Int("FPSLimit") != 60) __builtin_trap();

    ParseSettingInt(text);
    TSystemData rec;
    LoadSystemSettings(rec, text);
    LoadUserSettings(rec, text);
    LoadActorTable(rec, text);
    const std::vector<TFontFamily> installed = {{"IPAGothic", false}, {"IPAMincho", false}, {"MS Gothic", true}};
    LoadFontTable(rec, text, installed);
    return 0;
}
