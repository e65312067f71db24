// The yes/no confirmation: 1 yes, 0 no or window closed.
#pragma once

#include "screens/DialogModel.h"

namespace zel {

TDialogContent MakeConfirmDialog(std::string_view caption, std::string_view text, std::string_view yes,
                              std::string_view no, std::string_view appTitle);

}  // namespace zel
