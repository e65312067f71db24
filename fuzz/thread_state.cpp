// The call stack record of a script thread. A record that loads saves to
// bytes that load and save again unchanged; a refused one leaves the thread
// as it was.
#include <cstdint>
#include <vector>

#include "base/MemStream.h"
#include "FuzzSupport.h"
#include "script/ZelScriptModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    TScriptThread thread;
    thread.Reset();
    TMemoryStream before;
    thread.SaveToStream(before);

    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    bool ok = false;
    try {
        ok = thread.LoadFromStream(s);
    } catch (const EStreamError&) {
        ok = false;
    }
    TMemoryStream saved;
    thread.SaveToStream(saved);
    if (!ok) {
        if (saved.Bytes() != before.Bytes()) __builtin_trap();
        return 0;
    }
    saved.Rewind();
    TScriptThread again;
    if (!again.LoadFromStream(saved)) __builtin_trap();
    TMemoryStream resaved;
    again.SaveToStream(resaved);
    if (resaved.Bytes() != saved.Bytes()) __builtin_trap();
    return 0;
}
