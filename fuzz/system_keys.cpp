// The saved system-key table on arbitrary bytes: a refused load keeps the
// table it had; an accepted one saves back to bytes that load to the same
// bindings.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "base/Errors.h"
#include "base/MemStream.h"
#include "shell/uZelSystemKey.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    TZelSystemKey keys(nullptr);
    keys.Bind(0x10001, "click", "", "", "");
    TMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        keys.Load(in);
    } catch (const EStreamError&) {
        if (keys.Bindings().size() != 1 || keys.Bindings()[0].action != "click") __builtin_trap();
        return 0;
    }
    TMemoryStream out;
    keys.Save(out);
    out.Rewind();
    TZelSystemKey again(nullptr);
    again.Load(out);
    if (again.Bindings().size() != keys.Bindings().size() || again.Disabled() != keys.Disabled()) __builtin_trap();
    for (size_t i = 0; i < keys.Bindings().size(); ++i) {
        const TSystemKeyData &a = keys.Bindings()[i], &b = again.Bindings()[i];
        if (a.code != b.code || a.action != b.action || a.label != b.label || a.number != b.number || a.extra != b.extra)
            __builtin_trap();
        SystemKeyActionCode(a.action);
    }
    return 0;
}
