// The message log ring, its text handling and stream form; the label log.
#include <gtest/gtest.h>

#include <array>

#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/MemStream.h"
#include "base/Sjis.h"
#include "records/ZelLogdataLib.h"
#include "records/uLabelLog.h"
#include "storage/uHashTable.h"

namespace {

using zel::TZelLogData;

void AddText(TZelLogData& log, const std::string& text, const std::string& name = "") {
    log.Add(text, name, 0, 255, 0, 0, "");
}

TEST(LogData, RingKeepsTheNewest256) {
    TZelLogData log;
    for (int i = 1; i <= 300; ++i) AddText(log, "m" + std::to_string(i));
    EXPECT_EQ(log.Count(), 256);
    EXPECT_EQ(log.EntryText(0), "m300");
    EXPECT_EQ(log.EntryText(255), "m45");
    EXPECT_EQ(log.WriteIndex(), 300 % 256);
    // Outside the entries: empty texts and zeros.
    for (int i : {-1, 256, 1000}) {
        EXPECT_EQ(log.EntryText(i), "");
        EXPECT_EQ(log.EntryVolume(i), 0);
        EXPECT_EQ(log.DisplayText(i), "");
    }
}

TEST(LogData, EntriesCountBackFromTheNewestAcrossTheWrap) {
    TZelLogData log;
    for (int i = 0; i < 254; ++i) AddText(log, "old");
    log.Clear();  // the write index stays at 254, so the next entries wrap
    EXPECT_EQ(log.Count(), 0);
    EXPECT_EQ(log.WriteIndex(), 254);
    for (int i = 0; i < 4; ++i) log.Add("t" + std::to_string(i), "n" + std::to_string(i), i, 100 + i, 10 + i, 20 + i,
                                        "v" + std::to_string(i));
    ASSERT_EQ(log.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        const int k = 3 - i;
        EXPECT_EQ(log.EntryText(i), "t" + std::to_string(k));
        EXPECT_EQ(log.EntryName(i), "n" + std::to_string(k));
        EXPECT_EQ(log.EntryVoice(i), "v" + std::to_string(k));
        EXPECT_EQ(log.EntryGain(i), k);
        EXPECT_EQ(log.EntryVolume(i), 100 + k);
        EXPECT_EQ(log.EntryThreshold(i), 10 + k);
        EXPECT_EQ(log.EntrySeek(i), 20 + k);
    }
    EXPECT_EQ(log.EntryText(4), "");
}

TEST(LogData, AddStripsTrailingLineBreaks) {
    const struct {
        const char* in;
        const char* stored;
    } cases[] = {
        {"Hello[n][n]", "Hello"},
        {"Hello[nn][np][nnp]", "Hello"},
        {"Hello[c,$FF0000]", "Hello[c,$FF0000]"},
        {"Hello[n][c,1]", "Hello[n][c,1]"},
        {"[n]", ""},
        {"]", "]"},
        {"a]", "a]"},
        {"x[n", "x[n"},
    };
    for (const auto& c : cases) EXPECT_EQ(TZelLogData::StripLineBreaks(c.in), c.stored) << c.in;
    TZelLogData log;
    AddText(log, "");
    EXPECT_EQ(log.Count(), 0);  // an empty text is never logged
    AddText(log, "[n]");
    EXPECT_EQ(log.Count(), 1);  // stripped to nothing, still an entry
    EXPECT_EQ(log.EntryText(0), "");
    // A trail byte 0x5B is no bracket: "ボ" is 83 7B, "[" inside 83 5B is not a code start.
    const std::string tricky = std::string("a\x83[n]");
    EXPECT_EQ(TZelLogData::StripLineBreaks(tricky), tricky);
}

TEST(LogData, DisplayTextResolvesCodes) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"ab[rb,Kanji,kana]cd[n]", "abkanjicd"},
        {zel::Sj("[lim,2,あいう]"), zel::Sj("あい")},
        {"x[pc,Title]", "xtitle"},
        {"[pr,Who]y", "whoy"},
        {"[lim,x,abc]z", "z"},
        {"[rb,a]b[pc,1,2]", "b"},
        {"[c,$FF0000]red[unclosed", "red"},
        {zel::Sj("表[n]示"), zel::Sj("表示")},
    };
    for (const auto& c : cases) {
        TZelLogData log;
        AddText(log, c.text);
        EXPECT_EQ(log.DisplayText(0), c.shown) << c.text;
    }
}

TEST(LogData, StreamRoundTripAndRefusedCounts) {
    TZelLogData log;
    for (int i = 0; i < 260; ++i) log.Add("t" + std::to_string(i), "n", 1, 2, 3, 4, "v");
    zel::TMemoryStream s;
    log.SaveState(s);
    TZelLogData back;
    s.Rewind();
    back.LoadState(s);
    EXPECT_EQ(s.Position(), s.Size());
    EXPECT_EQ(back.Count(), 256);
    EXPECT_EQ(back.WriteIndex(), 4);
    EXPECT_EQ(back.EntryText(0), "t259");
    EXPECT_EQ(back.EntryText(255), "t4");
    EXPECT_EQ(back.EntrySeek(3), 4);

    // A count or index out of range, or a short record, changes nothing.
    const struct {
        int32_t count, index;
        bool truncate;
    } bad[] = {{257, 0, false}, {-1, 0, false}, {3, 256, false}, {3, -1, false}, {3, 0, true}};
    for (const auto& b : bad) {
        zel::TMemoryStream d;
        d.WriteI32(b.count);
        d.WriteI32(b.index);
        std::string rest = s.ToString().substr(8);
        if (b.truncate) rest.resize(rest.size() - 1);
        d.WriteBytes(rest);
        d.Rewind();
        EXPECT_THROW(back.LoadState(d), zel::EStreamError) << b.count << " " << b.index;
        EXPECT_EQ(back.Count(), 256);
        EXPECT_EQ(back.WriteIndex(), 4);
        EXPECT_EQ(back.EntryText(0), "t259");
    }
}

TEST(LogData, ActorOfName) {
    std::array<std::vector<std::string>, 32> lists;
    lists[2] = {"Bob", "Alice"};
    lists[5] = {"*"};
    lists[7] = {"carol"};
    EXPECT_EQ(zel::ActorOfName(lists, "alice"), 2);
    EXPECT_EQ(zel::ActorOfName(lists, "Carol"), 5);  // "*" in an earlier list wins
    lists[5].clear();
    EXPECT_EQ(zel::ActorOfName(lists, "CAROL"), 7);
    EXPECT_EQ(zel::ActorOfName(lists, "nobody"), 31);
}

TEST(LabelLog, RecordGetAndForce) {
    zel::THashTable table(zel::TLabelLog::kBuckets);
    zel::TLabelLog log(table);
    EXPECT_EQ(log.Get("Scene01"), -1);
    EXPECT_TRUE(log.Record("Scene01", 5, false));
    EXPECT_FALSE(log.Record("scene01", 5, false));  // the same key, not larger
    EXPECT_FALSE(log.Record("SCENE01", 4, false));
    EXPECT_EQ(log.Get("scene01"), 5);
    EXPECT_TRUE(log.Record("Scene01", 3, true));
    EXPECT_EQ(log.Get("Scene01"), 3);
    EXPECT_TRUE(log.Record("Scene01", 9, false));
    EXPECT_EQ(log.Get("Scene01"), 9);
    // An absent key reads as -1, which is not below -7: nothing is stored.
    EXPECT_FALSE(log.Record("neg", -7, false));
    EXPECT_EQ(log.Get("neg"), -1);

    zel::TMemoryStream s;
    ASSERT_TRUE(log.SaveState(s));
    zel::THashTable other(zel::TLabelLog::kBuckets);
    zel::TLabelLog back(other);
    s.Rewind();
    ASSERT_TRUE(back.LoadState(s));
    EXPECT_EQ(back.Get("scene01"), 9);
    back.Clear();
    EXPECT_EQ(back.Get("scene01"), -1);
}

TEST(LabelLog, FullTableStillAnswersTrue) {
    zel::THashTable table(zel::TLabelLog::kBuckets);
    zel::TLabelLog log(table);
    for (uint32_t i = 0; i < zel::THashTable::kMaxEntries; ++i) ASSERT_TRUE(log.Record("k" + std::to_string(i), 1, false));
    EXPECT_TRUE(log.Record("one more", 1, false));
    EXPECT_EQ(log.Get("one more"), -1);  // nothing was stored
    EXPECT_EQ(table.Count(), zel::THashTable::kMaxEntries);
}

TEST(LabelLog, LoadOfAnotherTableFormRaises) {
    zel::THashTable big(512);
    zel::TMemoryStream s;
    ASSERT_TRUE(big.SaveToStream(s));
    zel::THashTable table(zel::TLabelLog::kBuckets);
    zel::TLabelLog log(table);
    log.Record("kept", 2, false);
    s.Rewind();
    EXPECT_THROW(log.LoadState(s), zel::EZelError);
    EXPECT_EQ(log.Get("kept"), 2);
}

}  // namespace
