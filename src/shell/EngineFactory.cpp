#include "shell/EngineFactory.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "base/MemStream.h"
#include "base/MiscMath.h"
#include "ext/uBregExpLib.h"
#include "graphics/ARGB8888Lib.h"
#include "ext/uScriptReplaceDLL.h"
#include "platform/Dialogs.h"
#include "platform/SystemFonts.h"
#include "records/ZelSaveData.h"
#include "shell/EngineFonts.h"
#include "shell/EngineScript.h"
#include "shell/EngineSound.h"
#include "shell/LogScreen.h"
#include "sound/SoundDevice.h"
#include "shell/InputEvents.h"
#include "shell/FileSelectScreen.h"
#include "shell/MenuScreen.h"
#include "scriptdata/SystemCommands.h"
#include "shell/SystemConfigLib.h"
#include "shell/uInputDevice.h"
#include "shell/uZelSystemKey.h"
#include "storage/GameStorage.h"

namespace zel {

namespace {

void LoadTables(IGameFiles& files) {
    if (auto s = files.OpenGameFile("system\\etc\\RandomTable.dat")) LoadRandomTable(s->View());
    if (auto s = files.OpenGameFile("system\\voice\\voicedata.dat")) LoadActorTable(ActiveSettings(), s->View());
    if (auto s = files.OpenGameFile("system\\font\\fontdata.dat"))
        LoadFontTable(ActiveSettings(), s->View(), JapaneseFontFamilies());
}

// The run's system keys and the input service both scripts share, over the
// engine's one TInput (owned by the engine system object).
struct TRunInput {
    explicit TRunInput(TInput& input) : keys(&input), events(input, keys) {}
    TZelSystemKey keys;
    TScriptInputEvents events;
};

// The game script and the system script read their files through the game
// storage and share one regular-expression matcher and the game's optional
// line-rewriting plug-in (the working directory is the game root).
std::function<std::unique_ptr<IEngineScript>(TZelSystem&, IEngineScript*)> MakeScriptFactory(IGameStorage& storage,
                                                                                           const TPlatform& platform,
                                                                                           std::shared_ptr<TRunInput> input,
                                                                                           TEngineSound* sound,
                                                                                           std::shared_ptr<TEngineFonts> fonts) {
    IDisplayDevice* display = platform.display;
    IDialogHost* dialogs = platform.dialogs;
    auto regexp = std::make_shared<TBRegExp>();
    auto rewriter = std::make_shared<TScriptReplaceDLL>();
    rewriter->Load(".");  // absent or unusable: lines are read as written
    return [&storage, regexp, rewriter, display, dialogs, input, sound, fonts](TZelSystem& sys, IEngineScript* parent) -> std::unique_ptr<IEngineScript> {
        // The save folder is made at the game script's set-up; without it the engine cannot start.
        if (!parent && ::mkdir(sys.SaveFolder().c_str(), 0755) != 0 && errno != EEXIST) {
            const TMessageTable& m = Messages();
            if (dialogs) dialogs->Message(m.Text("SaveDirectoryERROR"), m.Text("OK"));
            throw EFatal("SaveDirectoryERROR: cannot create " + sys.SaveFolder());
        }
        auto script = std::make_unique<TEngineScript>(storage, regexp.get(),
                                                      rewriter->Loaded() ? rewriter.get() : nullptr,
                                                      dynamic_cast<TEngineScript*>(parent), display, dialogs,
                                                      sys.SaveFolder());
        if (input) {
            TScriptServices services = script->Script().Services();
            services.input = &input->events;
            services.events = &input->events;
            script->Script().SetServices(services);
            RegisterSystemCommands(script->Script().Objects().Handlers(), &input->events);
            // The keys a game binds are part of its saves (the system script's are not saved).
            if (!parent) script->AttachSystemKeys(input->keys);
        }
        if (sound) script->AttachSound(*sound);
        if (fonts) script->AttachFonts(fonts->slots);
        return script;
    };
}

}  // namespace

TEngineFactory MakeEngineFactory(std::function<void(std::shared_ptr<TFontTable>)> fontsLoaded) {
    TEngineFactory f;
    f.makeStorage = []() -> std::unique_ptr<IGameStorage> { return std::make_unique<TGameStorage>("."); };
    f.makeParts = [fontsLoaded = std::move(fontsLoaded)](IGameStorage& storage, const TPlatform& platform) {
        TZelSystemParts p;
        // The font slots are filled once the settings' font table is read.
        auto fonts = std::make_shared<TEngineFonts>();
        p.loadTables = [fonts, fontsLoaded](IGameFiles& files) {
            LoadTables(files);
            ApplyFontSettings(ActiveSettings(), fonts->slots, files);
            if (fontsLoaded) fontsLoaded(std::shared_ptr<TFontTable>(fonts, &fonts->slots));
        };
        p.paintErrorScreen = [fonts, display = platform.display](const std::vector<std::string>& lines) {
            if (display) fonts->PaintErrorScreen(*display, lines);
        };
        std::shared_ptr<TRunInput> input;
        if (platform.input && platform.clock) {
            auto device = std::make_unique<TInput>(*platform.input, *platform.clock);
            input = std::make_shared<TRunInput>(*device);
            p.input = std::move(device);
        }
        // The one sound of the engine over the device: the engine system object
        // owns it, both scripts play through it and their waits watch it.
        TEngineSound* sound = nullptr;
        if (auto* device = dynamic_cast<TDDSD7*>(platform.sound); device && platform.clock) {
            auto s = std::make_unique<TEngineSound>(*device, storage, *platform.clock,
                                                    static_cast<size_t>(std::max(ActiveSettings().StreamLength, 4096)));
            sound = s.get();
            p.sound = std::move(s);
        }
        p.makeScript = MakeScriptFactory(storage, platform, input, sound, fonts);
        AttachScreens(p, storage, dynamic_cast<TInput*>(p.input.get()), input ? &input->keys : nullptr, platform.dialogs);
        AttachFileSelect(p, storage, dynamic_cast<TInput*>(p.input.get()), input ? &input->keys : nullptr,
                         platform.dialogs, &fonts->slots);
        AttachLogScreen(p, storage, dynamic_cast<TInput*>(p.input.get()), sound, &fonts->slots);
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
