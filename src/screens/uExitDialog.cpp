#include "screens/uExitDialog.h"

namespace zel {

TDialogContent MakeExitDialog(std::string_view caption, std::string_view text, std::string_view exitCaption,
                           std::string_view cancelCaption, std::string_view titleCaption, std::string_view appTitle) {
    TDialogContent d;
    d.caption = ApplyCaption(caption, appTitle);
    d.text = ApplyBody(text, "\n\r");
    d.buttons.push_back(MakeButton(exitCaption.empty() ? "Yes" : std::string(exitCaption), 1));
    d.buttons.push_back(MakeButton(titleCaption.empty() ? "No" : std::string(titleCaption), 0));
    d.buttons.push_back(MakeButton(cancelCaption.empty() ? "Cancel" : std::string(cancelCaption), -1));
    d.focus = 2;
    d.closeResult = -1;
    return d;
}

}  // namespace zel
