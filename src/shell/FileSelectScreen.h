// The save and load screen in the shell: TZelFileselect over the game script.
// Its buttons and images are image objects drawn through the game script's
// cell drawer above a picture of the frozen screen; slot texts are drawn with
// the run's font slot 0 and thumbnails come from the save headers. Messages
// and questions go through the platform's dialog host.
#pragma once

#include <memory>

#include "shell/ShellInterfaces.h"

namespace zel {

class IDialogHost;
class IGameFiles;
class TEngineScript;
class TFontTable;
class TInput;
class TZelSystem;
class TZelSystemKey;
struct TZelSystemParts;

class TFileSelectScreen final : public IScreen {
public:
    // input, keys, dialogs and fonts may be null: the screen then sees no
    // input, asks nothing (a question is answered no) and draws no text.
    TFileSelectScreen(IGameFiles& files, const TInput* input, const TZelSystemKey* keys, IDialogHost* dialogs,
                      TFontTable* fonts);
    ~TFileSelectScreen() override;

    void SetGame(TZelSystem* system, TEngineScript* game);

    void Open(bool save) override;
    int32_t Step(int32_t elapsedMs) override;
    void Draw() override;
    void Close() override;
    void Reset() override;
    std::string ChosenFile() const override;
    std::string ChosenLabel() const override;
    // Empty when quick save is unavailable (no quick-save slots).
    std::string QuickSaveFileName() const override;

    // The quick-load list over the platform's dialogs: the chosen file or empty.
    std::string QuickLoadChoice();

private:
    class THost;
    std::unique_ptr<THost> host_;
};

// Makes the save and load screen the engine's (parts.fileSelect) and its
// quick-load list the engine's quick-load dialog, and wraps parts.makeScript
// (already set) so that the screen gets each new game script.
void AttachFileSelect(TZelSystemParts& parts, IGameFiles& files, const TInput* input, const TZelSystemKey* keys,
                      IDialogHost* dialogs, TFontTable* fonts);

}  // namespace zel
