#include "screens/DialogCommands.h"

#include "screens/ZelTextDialog.h"
#include "scriptdata/ObjectCommands.h"

namespace zel {

namespace {

constexpr uint8_t kKindTextDialog = 22;

bool TextDialogWord(ICommandContext& c, TZelTextDialog& d, IDialogHost* host) {
    switch (c.Code()) {
        case Cmd("c"): d.SetTitle(c.StrArg(1)); return true;
        case Cmd("p"): d.SetPrompt(c.StrArg(1)); return true;
        case Cmd("t"): d.SetText(c.StrArg(1)); return true;
        case Cmd("l"): d.SetMaximum(c.IntArg(1)); return true;
        case Cmd("i"): d.Reset(); return true;
        case Cmd("e"): {
            const int accepted = host ? d.Show(*host) : 0;
            c.ClearResults();
            c.SetResultInt(accepted);
            c.SetResultStr(accepted ? d.Text() : std::string());
            // The dialog took its time: the frame after it counts none.
            c.SkipTimeOnce();
            return true;
        }
        default: return false;
    }
}

}  // namespace

void RegisterTextDialogWords(TObjectCommandRegistry& registry, std::shared_ptr<TZelTextDialog> dialog,
                             IDialogHost* host) {
    if (!dialog) return;
    registry.Register(kKindTextDialog, [dialog, host](ICommandContext& c, std::string_view) {
        return TextDialogWord(c, *dialog, host);
    });
}

}  // namespace zel
