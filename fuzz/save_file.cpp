// Save files: the bytes are read as a whole file and, wrapped with a good
// checksum, as the payload (so that the header, size and body checks are
// reached), each both whole and header only. A file that reads whole must
// read header only with the same header, and write back to a file that
// reads to the same body.
#include <cstdint>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "records/ZelSaveData.h"
#include "storage/PackLib.h"

namespace {

void Check(const std::string& file) {
    using namespace zel;
    TZelSaveData whole(46203), header(46203);
    TMemoryStream a(file), b(file);
    const bool okWhole = whole.ReadStream(a, true, true);
    const bool okHeader = header.ReadStream(b, false, false);
    if (!okWhole) return;
    if (!okHeader || header.Header() != whole.Header() || header.Body() || !whole.Body()) __builtin_trap();
    TMemoryStream out;
    const std::vector<uint8_t> body = whole.Body()->Bytes();
    if (!whole.WriteStream(out, true, true)) __builtin_trap();
    out.Rewind();
    TZelSaveData again(46203);
    if (!again.ReadStream(out, true, true) || again.Body()->Bytes() != body) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    TMemoryStream payload(bytes), wrapped;
    WrapChecked(&payload, &wrapped);
    Check(wrapped.ToString());
    return 0;
}
