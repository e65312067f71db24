#include "screens/ZelMemoDialog.h"

namespace zel {

TMemoLayout MemoLayout(int32_t width, int32_t height) {
    TMemoLayout l;
    l.text = {8, 8, width - 8, height - 48};
    const int32_t top = height - 32, bottom = top + kMemoButtonHeight;
    l.copy = {8, top, 8 + kMemoCopyWidth, bottom};
    l.ok = {width - 278, top, width - 278 + kMemoButtonWidth, bottom};
    l.cancel = {width - 134, top, width - 134 + kMemoButtonWidth, bottom};
    return l;
}

}  // namespace zel
