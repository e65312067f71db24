#include "shell/EngineFactory.h"

#include "base/MemStream.h"
#include "base/MiscMath.h"
#include "platform/SystemFonts.h"
#include "shell/SystemConfigLib.h"
#include "storage/ZelFileIO.h"

namespace zel {

namespace {

void LoadTables(IGameFiles& files) {
    if (auto s = files.OpenGameFile("system\\etc\\RandomTable.dat")) LoadRandomTable(s->View());
    if (auto s = files.OpenGameFile("system\\voice\\voicedata.dat")) LoadActorTable(ActiveSettings(), s->View());
    if (auto s = files.OpenGameFile("system\\font\\fontdata.dat"))
        LoadFontTable(ActiveSettings(), s->View(), JapaneseFontFamilies());
}

}  // namespace

TEngineFactory MakeEngineFactory() {
    TEngineFactory f;
    f.makeStorage = []() -> std::unique_ptr<IGameStorage> { return std::make_unique<TGameStorage>("."); };
    f.makeParts = [](IGameStorage&, const TPlatform&) {
        TZelSystemParts p;
        p.loadTables = LoadTables;
        // The script interpreter joins here; without it Setup fails and
        // start-up ends with the engine-setup error.
        return p;
    };
    return f;
}

}  // namespace zel
