#include "screens/uDialog3Button.h"

namespace zel {

TDialogContent MakeConfirm3Dialog(std::string_view caption, std::string_view text, std::string_view yes,
                               std::string_view no, std::string_view cancel, std::string_view appTitle) {
    TDialogContent d;
    d.caption = ApplyCaption(caption, appTitle);
    d.text = ApplyBody(text, "\r\n");
    d.buttons.push_back(MakeButton(yes.empty() ? "Yes" : std::string(yes), 1));
    d.buttons.push_back(MakeButton(no.empty() ? "No" : std::string(no), 0));
    d.buttons.push_back(MakeButton(cancel.empty() ? "Cancel" : std::string(cancel), -1));
    d.closeResult = 0;
    return d;
}

}  // namespace zel
