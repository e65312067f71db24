#include <gtest/gtest.h>

#include "base/MemStream.h"

using namespace zel;

TEST(MemStream, LittleEndianRoundTrip) {
    TMemoryStream s;
    s.WriteU8(0xAB);
    s.WriteU16(0x1234);
    s.WriteU32(0xDEADBEEF);
    s.WriteI32(-2);
    s.WriteU64(0x0102030405060708ull);
    s.WriteF64(0.5);
    const std::vector<uint8_t> head{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF};
    ASSERT_GE(s.Size(), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), s.Bytes().begin()));
    s.Rewind();
    EXPECT_EQ(s.ReadU8(), 0xAB);
    EXPECT_EQ(s.ReadU16(), 0x1234);
    EXPECT_EQ(s.ReadU32(), 0xDEADBEEFu);
    EXPECT_EQ(s.ReadI32(), -2);
    EXPECT_EQ(s.ReadU64(), 0x0102030405060708ull);
    EXPECT_EQ(s.ReadF64(), 0.5);
    EXPECT_TRUE(s.AtEnd());
}

TEST(MemStream, ReadsPastTheEndRaiseAndDoNotMove) {
    TMemoryStream s(std::string("\x01\x02\x03", 3));
    EXPECT_THROW(s.ReadU32(), EStreamError);
    EXPECT_EQ(s.Position(), 0u);
    EXPECT_EQ(s.ReadU16(), 0x0201);
    EXPECT_THROW(s.ReadU16(), EStreamError);
    EXPECT_THROW(s.ReadBytes(2), EStreamError);
    EXPECT_THROW(s.Skip(2), EStreamError);
    EXPECT_THROW(s.Seek(4), EStreamError);
    // Huge counts are refused without overflow.
    EXPECT_THROW(s.RequireItems(0xFFFFFFFFFFFFFFFFull, 16), EStreamError);
    EXPECT_NO_THROW(s.RequireItems(1, 1));
}

TEST(MemStream, LenStrings) {
    TMemoryStream s;
    WriteLenString(s, "");
    WriteLenString(s, "\x95\x5C");
    WriteLenString(s, std::string(70000, 'x'));  // longer than a u16 count: cut, count matches
    s.Rewind();
    EXPECT_EQ(ReadLenString(s), "");
    EXPECT_EQ(ReadLenString(s), "\x95\x5C");
    EXPECT_EQ(ReadLenString(s).size(), 65535u);
    EXPECT_TRUE(s.AtEnd());
    // A count larger than the data fails cleanly.
    TMemoryStream bad(std::string("\x10\x00" "abc", 5));
    EXPECT_THROW(ReadLenString(bad), EStreamError);
}
