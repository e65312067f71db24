// The stream form of a variable store, with object callbacks whose state
// records are length-prefixed names. A store that loads saves to bytes that
// load and save again unchanged; a refused load leaves the live store (a few
// variables, one owning object array) exactly as it was.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/MemStream.h"
#include "FuzzSupport.h"
#include "NameObjects.h"
#include "scriptdata/ZelValueStore.h"

namespace {

void Fill(zel::TValue& v) {
    using namespace zel;
    v.DeclareItem("count", "int", false, 7, rkInteger, 0, {3, 1, 1, 1});
    v.DeclareItem("names", "str", false, 7, rkString, 1, {2, 2, 1, 1});
    v.DeclareItem("pics", "img", false, 7, rkObject, 0, {2, 1, 1, 1});
    v.WriteInteger("count", 1, -5);
    v.WriteString("names", 0, "abc");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    zelfuzz::ResetErrors();
    zelfuzz::NameObjects objects;
    TValue store(&objects);
    store.ReportErrors = false;
    Fill(store);
    TMemoryStream before;
    store.SaveToStream(before);
    const std::set<std::string> liveBefore = objects.live;

    TMemoryStream s(std::vector<uint8_t>(data, data + size));
    std::string why;
    const bool ok = store.LoadFromStream(s, &why);
    TMemoryStream saved;
    store.SaveToStream(saved);
    if (!ok) {
        if (saved.Bytes() != before.Bytes() || objects.live != liveBefore) __builtin_trap();
        return 0;
    }
    saved.Rewind();
    zelfuzz::NameObjects otherObjects;
    TValue again(&otherObjects);
    again.ReportErrors = false;
    if (!again.LoadFromStream(saved, &why)) __builtin_trap();
    TMemoryStream resaved;
    again.SaveToStream(resaved);
    if (resaved.Bytes() != saved.Bytes()) __builtin_trap();
    return 0;
}
