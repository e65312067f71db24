#include "screens/uDialog2Button.h"

namespace zel {

TDialogContent MakeConfirmDialog(std::string_view caption, std::string_view text, std::string_view yes,
                              std::string_view no, std::string_view appTitle) {
    TDialogContent d;
    d.caption = ApplyCaption(caption, appTitle);
    d.text = ApplyBody(text, "\r\n");
    d.buttons.push_back(MakeButton(yes.empty() ? "Yes" : std::string(yes), 1));
    d.buttons.push_back(MakeButton(no.empty() ? "No" : std::string(no), 0));
    d.closeResult = 0;
    return d;
}

}  // namespace zel
