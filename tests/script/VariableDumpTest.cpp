// The variable dump of the headless runner: one line per variable, values
// tab-separated, control bytes and backslashes escaped.
#include <gtest/gtest.h>

#include "script/ZelVariableDump.h"
#include "scriptdata/ZelValueStore.h"

using namespace zel;

namespace {

TEST(VariableDump, LinesInStoreOrderWithEscapes) {
    TValue store;
    ASSERT_TRUE(store.DeclareItem("n", "int", false, 255, rkInteger, 0, {3, 1, 1, 1}));
    ASSERT_TRUE(store.DeclareItem("s", "str", false, 255, rkString, 0, {2, 1, 1, 1}));
    ASSERT_TRUE(store.DeclareItem("o", "obj", true, 255, rkObject, 0, {1, 1, 1, 1}));
    ASSERT_TRUE(store.DeclareItem("_lk", "", false, 1, rkInteger, 0, {1, 1, 1, 1}));
    store.WriteInteger("n", 1, -5);
    store.WriteInteger("n", 2, 2147483647);
    store.WriteString("s", 0, "a\tb\nc\rd\\e");
    // Escaping is byte by byte, so the dump reads back without knowing the
    // encoding: the 0x5C second byte of 表 (95 5C) is escaped too.
    store.WriteString("s", 1, "\x95\x5c\x8a\xbf");
    store.WriteObjectName("o", 0, "0_bg,0");
    std::string out;
    DumpVariables(store, 2, out);
    EXPECT_EQ(out,
              "2\tn\tint\t3\t0\t-5\t2147483647\n"
              "2\ts\tstr\t2\ta\\tb\\nc\\rd\\\\e\t\x95\\\\\x8a\xbf\n"
              "2\to\tobj\t1\t0_bg,0\n"
              "2\t_lk\t\t1\t0\n");
}

}  // namespace
