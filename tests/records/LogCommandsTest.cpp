// The label-log words and the seen-file counting over a script's records.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/ErrorLog.h"
#include "records/LogCommands.h"
#include "records/ZelLogdataLib.h"
#include "records/ZelRecords.h"
#include "records/uLabelLog.h"
#include "script/ScriptTestSupport.h"
#include "script/ZelScriptLib.h"
#include "script/ZelScriptServices.h"
#include "scriptdata/ObjectCommands.h"

namespace {

class LogWords : public ::testing::Test {
protected:
    void SetUp() override {
        zel::SetErrorLogFolder("");
        zel::ClearErrors();
        files.Add("main.s", "@@top\n\\time,99999\n");
        script = std::make_unique<zel::TZelScript>(&files, &regexp);
        zel::TRecordsConfig rc;
        rc.folder = ::testing::TempDir();
        records = std::make_unique<zel::TZelRecords>(*script, rc);
        zel::RegisterLogCommands(script->Objects().Handlers(), log, *records);
        zel::AttachLogToRecords(*records, log, *records);
    }
    void TearDown() override {
        records.reset();
        script.reset();
        zel::ClearErrors();
    }
    int32_t Seen(const std::string& name) { return zel::TLabelLog(records->SeenFiles()).Get(name); }

    zeltest::MemGameFiles files;
    zeltest::FakeRegExp regexp;
    zel::TZelLogData log;
    std::unique_ptr<zel::TZelScript> script;
    std::unique_ptr<zel::TZelRecords> records;
};

TEST_F(LogWords, SeenFilesCountUnderTheirPatterns) {
    script->ExecuteLine("\\scp,flog \\a,\"CG\\\" \\a,\"averylongpatternname\"");
    EXPECT_EQ(records->Switches().seenPatterns[0], "cg\\");
    EXPECT_EQ(records->Switches().seenPatterns[1], "averylongpatter");  // 15 bytes of room
    zel::CountSeenFile(*records, "CG\\ev01.png");
    zel::CountSeenFile(*records, "CG\\ev01.png");
    EXPECT_EQ(Seen("cg\\ev01.png"), 2);
    for (const char* never : {"system\\cg\\x.png", "$$$cg\\x", "bg\\cg.png"}) {
        zel::CountSeenFile(*records, never);
        EXPECT_EQ(Seen(never), -1) << never;
    }
    // Off, the count stays; a count at the cap stays there; the top restarts at 1.
    script->ExecuteLine("\\scp,flog \\lk,1");
    zel::CountSeenFile(*records, "cg\\ev01.png");
    EXPECT_EQ(Seen("cg\\ev01.png"), 2);
    script->ExecuteLine("\\scp,flog \\lk,0 \\s,\"cg\\a.png\",16777215 \\s,\"cg\\b.png\",2147483647");
    zel::CountSeenFile(*records, "cg\\a.png");
    zel::CountSeenFile(*records, "cg\\b.png");
    EXPECT_EQ(Seen("cg\\a.png"), 0xFFFFFF);
    EXPECT_EQ(Seen("cg\\b.png"), 1);
    script->ExecuteLine("\\scp,flog \\d,\"cg\\\"");
    EXPECT_EQ(records->Switches().seenPatterns[0], "");
    zel::CountSeenFile(*records, "cg\\new.png");
    EXPECT_EQ(Seen("cg\\new.png"), -1);
    script->ExecuteLine("\\scp,flog \\i");
    EXPECT_EQ(records->Switches().seenPatterns[1], "");
}

TEST_F(LogWords, TheReadLabelLogFollowsItsSwitch) {
    const std::unique_ptr<zel::IScriptReadLog> read = zel::MakeReadLabelLog(*records);
    EXPECT_TRUE(read->Recording());
    read->Record("Main.s@@top", 4);
    read->Record("main.s@@TOP", 2);  // smaller: kept as it was
    EXPECT_EQ(read->Lines("MAIN.S@@top"), 4);
    script->ExecuteLine("\\scp,llog \\lk,1 \\?lk \\cal,ResultInt[5]=ResultInt[0]");
    EXPECT_FALSE(read->Recording());
    EXPECT_EQ(script->Evaluate("ResultInt[5]").IntValue, 1);
    script->ExecuteLine("\\scp,llog \\i \\g,\"Main.s@@top\"");
    EXPECT_TRUE(read->Recording());
    EXPECT_EQ(script->Evaluate("ResultInt[0]").IntValue, 4);
    script->ExecuteLine("\\scp,llog \\cc \\g,\"main.s@@top\"");
    EXPECT_EQ(script->Evaluate("ResultInt[0]").IntValue, -1);
}

}  // namespace
