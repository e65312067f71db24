// The words of the player's text-input dialog object ("dlg"): its title,
// prompt, text and byte limit, a reset, and showing it. The dialog record
// belongs to the game script and goes into its saves.
#pragma once

#include <memory>

namespace zel {

class IDialogHost;
class TObjectCommandRegistry;
class TZelTextDialog;

// host: where the dialog shows (none: it answers as cancelled).
void RegisterTextDialogWords(TObjectCommandRegistry& registry, std::shared_ptr<TZelTextDialog> dialog,
                             IDialogHost* host);

}  // namespace zel
