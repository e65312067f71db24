// The message table of the engine's own texts on arbitrary text, looked up
// by a few keys and by every key a line could hold.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "shell/SystemConfigLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    const std::string_view text = zelfuzz::AsText(data, size);
    TMessageTable table;
    table.Load(text);
    for (const char* key : {"EXIT_Text", "DirectDrawERROR", "", "="}) table.Text(key);
    // The text before each "=" as a key.
    size_t start = 0;
    for (int i = 0; i < 64 && start < text.size(); ++i) {
        const size_t eq = text.find('=', start);
        if (eq == std::string_view::npos) break;
        const size_t lineStart = text.rfind('\n', eq);
        const size_t from = lineStart == std::string_view::npos || lineStart < start ? start : lineStart + 1;
        table.Text(text.substr(from, eq - from));
        start = eq + 1;
    }
    return 0;
}
