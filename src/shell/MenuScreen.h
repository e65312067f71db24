// The system menu as the shell's menu screen: TZelMenu over the game script.
// The menu's entries are image objects drawn through the game script's cell
// drawer above a picture of the frozen screen; the player's pointer, clicks
// and keys come from the run's input and system keys.
#pragma once

#include <memory>

#include "shell/ShellInterfaces.h"

namespace zel {

class IDialogHost;
class IGameFiles;
class TEngineScript;
class TInput;
class TZelSystem;
class TZelSystemKey;
struct TZelSystemParts;

class TMenuScreen final : public IScreen {
public:
    // input and keys may be null: the menu then sees no input.
    TMenuScreen(IGameFiles& files, const TInput* input, const TZelSystemKey* keys);
    ~TMenuScreen() override;

    // The game script the menu reads and draws through, and the engine that
    // runs its "script:" labels; set when the game script is made.
    void SetGame(TZelSystem* system, TEngineScript* game);

    void Open(bool save) override;
    int32_t Step(int32_t elapsedMs) override;
    void Draw() override;
    void Close() override;
    void Reset() override;

private:
    class THost;
    std::unique_ptr<THost> host_;
};

// Makes the menu the engine's menu screen (parts.menu) and wraps
// parts.makeScript (already set) so that the menu gets each new game script
// and both scripts get the words of the player's text dialog, a record of
// the game script's saves shown through dialogs.
void AttachScreens(TZelSystemParts& parts, IGameFiles& files, const TInput* input, const TZelSystemKey* keys,
                   IDialogHost* dialogs);

}  // namespace zel
