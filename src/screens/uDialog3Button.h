// The yes/no/cancel confirmation: 1 yes, 0 no or window closed, -1 cancel.
#pragma once

#include "screens/DialogModel.h"

namespace zel {

TDialogContent MakeConfirm3Dialog(std::string_view caption, std::string_view text, std::string_view yes,
                               std::string_view no, std::string_view cancel, std::string_view appTitle);

}  // namespace zel
