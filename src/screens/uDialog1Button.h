// The one-button message dialog.
#pragma once

#include "screens/DialogModel.h"

namespace zel {

// Body "%%%n" is CR LF; an empty button caption is "OK". The dialog is not
// shown at all when the text is empty (callers check ShowsNothing).
TDialogContent MakeMessageDialog(std::string_view caption, std::string_view text, std::string_view button,
                              std::string_view appTitle);

}  // namespace zel
