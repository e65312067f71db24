// "SystemData.dat": the bytes, as a file and wrapped with a good checksum,
// are loaded into a script whose system store holds one variable. A refused
// file leaves the store as it was; an accepted one writes back to an image
// that loads again.
#include <cstdint>
#include <string>

#include "base/MemStream.h"
#include "FuzzSupport.h"
#include "records/ZelRecords.h"
#include "script/ZelScriptLib.h"
#include "script/ZelVariableDump.h"
#include "storage/PackLib.h"

namespace {

std::string SystemDump(zel::TZelScript& script) {
    std::string out;
    zel::DumpVariables(script.Calc().OwnSystemStore(), 1, out);
    return out;
}

void Check(const std::string& file) {
    using namespace zel;
    zelfuzz::MemGameFiles files;
    TZelScript script(&files);
    TRecordsConfig rc;
    rc.folder = "/nonexistent-zel-fuzz";
    TZelRecords records(script, rc);
    script.ExecuteLine("\\svar,int,kept");
    script.ExecuteLine("\\cal,kept=7");
    const std::string before = SystemDump(script);
    if (!records.LoadSystemDataImage(file)) {
        if (SystemDump(script) != before) __builtin_trap();
        return;
    }
    const std::vector<uint8_t> image = records.SystemDataImage();
    const std::string loaded = SystemDump(script);
    if (!records.LoadSystemDataImage(std::string(image.begin(), image.end())) || SystemDump(script) != loaded)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    TMemoryStream payload(bytes), wrapped;
    WrapChecked(&payload, &wrapped);
    Check(wrapped.ToString());
    return 0;
}
