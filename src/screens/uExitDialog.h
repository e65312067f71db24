// The close-application dialog: 1 exit, 0 back to title, -1 cancel or window
// closed. The cancel button has the focus when it opens; "%%%n" in its body
// is the two bytes LF CR.
#pragma once

#include "screens/DialogModel.h"

namespace zel {

TDialogContent MakeExitDialog(std::string_view caption, std::string_view text, std::string_view exitCaption,
                           std::string_view cancelCaption, std::string_view titleCaption, std::string_view appTitle);

}  // namespace zel
