#include "shell/EngineFactory.h"

#include <sys/stat.h>

#include <cerrno>

#include "base/MemStream.h"
#include "base/MiscMath.h"
#include "ext/uBregExpLib.h"
#include "graphics/ARGB8888Lib.h"
#include "ext/uScriptReplaceDLL.h"
#include "platform/Dialogs.h"
#include "platform/SystemFonts.h"
#include "records/ZelSaveData.h"
#include "shell/EngineScript.h"
#include "shell/SystemConfigLib.h"
#include "storage/GameStorage.h"

namespace zel {

namespace {

void LoadTables(IGameFiles& files) {
    if (auto s = files.OpenGameFile("system\\etc\\RandomTable.dat")) LoadRandomTable(s->View());
    if (auto s = files.OpenGameFile("system\\voice\\voicedata.dat")) LoadActorTable(ActiveSettings(), s->View());
    if (auto s = files.OpenGameFile("system\\font\\fontdata.dat"))
        LoadFontTable(ActiveSettings(), s->View(), JapaneseFontFamilies());
}

// The game script and the system script read their files through the game
// storage and share one regular-expression matcher and the game's optional
// line-rewriting plug-in (the working directory is the game root).
std::function<std::unique_ptr<IEngineScript>(TZelSystem&, IEngineScript*)> MakeScriptFactory(IGameStorage& storage,
                                                                                           const TPlatform& platform) {
    IDisplayDevice* display = platform.display;
    IDialogHost* dialogs = platform.dialogs;
    auto regexp = std::make_shared<TBRegExp>();
    auto rewriter = std::make_shared<TScriptReplaceDLL>();
    rewriter->Load(".");  // absent or unusable: lines are read as written
    return [&storage, regexp, rewriter, display, dialogs](TZelSystem& sys, IEngineScript* parent) -> std::unique_ptr<IEngineScript> {
        // The save folder is made at the game script's set-up; without it the engine cannot start.
        if (!parent && ::mkdir(sys.SaveFolder().c_str(), 0755) != 0 && errno != EEXIST) {
            const TMessageTable& m = Messages();
            if (dialogs) dialogs->Message(m.Text("SaveDirectoryERROR"), m.Text("OK"));
            throw EFatal("SaveDirectoryERROR: cannot create " + sys.SaveFolder());
        }
        return std::make_unique<TEngineScript>(storage, regexp.get(), rewriter->Loaded() ? rewriter.get() : nullptr,
                                               dynamic_cast<TEngineScript*>(parent), display, dialogs,
                                               sys.SaveFolder());
    };
}

}  // namespace

TEngineFactory MakeEngineFactory() {
    TEngineFactory f;
    f.makeStorage = []() -> std::unique_ptr<IGameStorage> { return std::make_unique<TGameStorage>("."); };
    f.makeParts = [](IGameStorage& storage, const TPlatform& platform) {
        TZelSystemParts p;
        p.loadTables = LoadTables;
        p.makeScript = MakeScriptFactory(storage, platform);
        // The save screens show a save's stored thumbnail, itself a BMP file image.
        p.saveThumbnailBmp = [](const std::string& path) -> std::optional<std::string> {
            TZelSaveData d(RecordKey(ActiveSettings().CodeKey));
            if (!d.ReadFile(path, true, false) || d.ThumbnailBmp().empty()) return std::nullopt;
            return d.ThumbnailBmp();
        };
        return p;
    };
    return f;
}

}  // namespace zel
