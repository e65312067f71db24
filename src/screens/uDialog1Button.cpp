#include "screens/uDialog1Button.h"

namespace zel {

TDialogContent MakeMessageDialog(std::string_view caption, std::string_view text, std::string_view button,
                              std::string_view appTitle) {
    TDialogContent d;
    d.caption = ApplyCaption(caption, appTitle);
    d.text = ApplyBody(text, "\r\n");
    d.buttons.push_back(MakeButton(button.empty() ? "OK" : std::string(button), 0));
    d.closeResult = 0;
    return d;
}

}  // namespace zel
