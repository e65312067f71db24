// Saving and loading a running script: the game state round trip, a damaged
// save that changes nothing, the system data file and its copy, save names.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"
#include "base/MemStream.h"
#include "records/RecordCommands.h"
#include "records/ZelRecords.h"
#include "records/ZelSaveData.h"
#include "script/ScriptTestSupport.h"
#include "script/ZelScriptLib.h"
#include "script/ZelVariableDump.h"
#include "storage/PackLib.h"

namespace {

namespace fs = std::filesystem;
using zeltest::S;

class Records : public ::testing::Test {
protected:
    void SetUp() override {
        zel::SetErrorLogFolder("");
        zel::ClearErrors();
        zel::SetErrorFlag(false);
        folder = fs::temp_directory_path() / ("zel_records_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        records.reset();
        script.reset();
        fs::remove_all(folder);
        zel::ClearErrors();
        zel::SetErrorFlag(false);
    }

    void Start(std::string_view utf8, uint32_t key = 46203) {
        files.Add("main.s", S(utf8));
        script = std::make_unique<zel::TZelScript>(&files, &regexp);
        zel::TRecordsConfig rc;
        rc.folder = folder.string();
        rc.key = key;
        rc.showReadError = [this] { ++readErrors; };
        records = std::make_unique<zel::TZelRecords>(*script, rc);
        zel::RegisterRecordCommands(script->Objects().Handlers(), *records, nullptr);
        records->LoadSystemDataAtStart();
        script->ExecuteLine("\\go,@@top,main.s");
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            script->RunFrame(25, true);
            records->Advance(25);
        }
    }
    int32_t Int(std::string_view expr) { return script->Evaluate(expr).IntValue; }
    std::string Dump() {
        std::string out;
        zel::DumpVariables(script->Calc().OwnSystemStore(), 1, out);
        zel::DumpVariables(script->Calc().OwnGlobalStore(), 2, out);
        zel::DumpVariables(script->Calc().OwnLocalStore(), 3, out);
        return out;
    }
    std::string Read(const std::string& name) {
        std::string bytes;
        zel::ReadWholeFile((folder / name).string(), bytes);
        return bytes;
    }
    void Write(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(zel::AtomicWriteFile((folder / name).string(), bytes));
    }

    fs::path folder;
    zeltest::MemGameFiles files;
    zeltest::FakeRegExp regexp;
    std::unique_ptr<zel::TZelScript> script;
    std::unique_ptr<zel::TZelRecords> records;
    int readErrors = 0;
};

constexpr const char* kGame = R"(@@top
\svar,int,seen
\gvar,int,n,k,arr[3]
\gvar,str,s[2]
\cal,n=5
\cal,arr[2]=-7
\cal,s[1]="abc"
\sub,@@inner
\cal,k=k+100
\time,1000000
@@inner
\var,int,loc
\cal,loc=42
\time,200
\cal,k=k+1
\ret
)";

TEST_F(Records, SaveAndLoadRestoreVariablesPositionAndState) {
    Start(kGame);
    Frames(2);  // inside @@inner, waiting
    script->State().saveTexts = {S("章一"), "b", "c", "d"};
    script->State().layoutNames[1] = "save.dat";
    script->State().lockWord = 0x1234;
    script->ExecuteLine("\\cal,seen=3");
    const std::string dumpAtSave = Dump();
    ASSERT_NE(dumpAtSave.find("loc"), std::string::npos);
    ASSERT_TRUE(records->SaveGame("slot1.svd", true));

    script->ExecuteLine("\\cal,n=99");
    script->ExecuteLine("\\cal,s[1]=\"changed\"");
    script->State().saveTexts[0] = "other";
    script->State().lockWord = 0;
    Frames(20);  // the wait ends, both increments run
    ASSERT_EQ(Int("k"), 101);

    ASSERT_TRUE(records->LoadGame("slot1.svd"));
    EXPECT_EQ(Dump(), dumpAtSave);
    EXPECT_EQ(script->State().saveTexts[0], S("章一"));
    EXPECT_EQ(script->State().layoutNames[1], "save.dat");
    EXPECT_EQ(script->State().lockWord, 0x1234u);
    // The wait and the call stack came back: the rest of the routine runs once.
    Frames(20);
    EXPECT_EQ(Int("k"), 101);
    EXPECT_EQ(Int("n"), 5);
    EXPECT_EQ(zel::ErrorLines().size(), 0u) << zel::ErrorLines()[0];

    // The header carries the save texts.
    zel::TZelSaveData d(46203);
    ASSERT_TRUE(d.ReadFile((folder / "slot1.svd").string(), false, false));
    EXPECT_EQ(d.Name(0), S("章一"));
    EXPECT_EQ(d.Name(3), "d");
}

TEST_F(Records, DamagedSaveChangesNothing) {
    Start(kGame);
    Frames(2);
    ASSERT_TRUE(records->SaveGame("good.svd", true));
    zel::TZelSaveData good(46203);
    ASSERT_TRUE(good.ReadFile((folder / "good.svd").string(), true, true));
    const std::vector<uint8_t> body = good.Body()->Bytes();
    script->ExecuteLine("\\cal,n=77");
    const std::string dumpBefore = Dump();
    const std::vector<uint8_t> stateBefore = records->GameStateImage();

    // Bodies that pass every file check but hold damaged records.
    std::vector<std::pair<const char*, std::vector<uint8_t>>> bodies;
    bodies.push_back({"cut in the middle", std::vector<uint8_t>(body.begin(), body.begin() + body.size() / 2)});
    bodies.push_back({"cut before the last byte", std::vector<uint8_t>(body.begin(), body.end() - 1)});
    std::vector<uint8_t> longer = body;
    longer.push_back(0);
    bodies.push_back({"a byte after the last record", longer});
    std::vector<uint8_t> negative = body;
    const int32_t minus = -1;
    std::memcpy(negative.data(), &minus, 4);  // the routine count
    bodies.push_back({"negative routine count", negative});
    for (auto& [what, b] : bodies) {
        zel::TZelSaveData bad(46203);
        bad.SetHeader("x", "", "", "", "");
        bad.SetBody(b);
        ASSERT_TRUE(bad.WriteFile((folder / "bad.svd").string(), true, true));
        readErrors = 0;
        EXPECT_FALSE(records->LoadGame("bad.svd")) << what;
        EXPECT_EQ(readErrors, 1) << what;
        EXPECT_EQ(Dump(), dumpBefore) << what;
        EXPECT_EQ(records->GameStateImage(), stateBefore) << what;
    }
    // Files that fail their checks change nothing either.
    std::string file = Read("good.svd");
    file[file.size() / 2] ^= 0x40;
    Write("bad.svd", file);
    readErrors = 0;
    EXPECT_FALSE(records->LoadGame("bad.svd"));
    EXPECT_EQ(readErrors, 1);
    EXPECT_EQ(records->GameStateImage(), stateBefore);
    // A missing file is no error.
    readErrors = 0;
    EXPECT_FALSE(records->LoadGame("none.svd"));
    EXPECT_EQ(readErrors, 0);
    // The game runs on from where it was.
    Frames(20);
    EXPECT_EQ(Int("n"), 77);
    EXPECT_EQ(Int("k"), 101);
}

TEST_F(Records, AnotherKeyCannotLoadTheSave) {
    Start(kGame, 1);
    Frames(1);
    ASSERT_TRUE(records->SaveGame("k.svd", true));
    records->Config().key = 2;
    EXPECT_FALSE(records->LoadGame("k.svd"));
    EXPECT_EQ(readErrors, 1);
    records->Config().key = 1;
    EXPECT_TRUE(records->LoadGame("k.svd"));
}

TEST_F(Records, ScriptStateBlockLayout) {
    zel::TScriptState st;
    st.saveTexts[2] = "three";
    st.layoutNames[3] = "log.dat";
    st.sceneLabel = "*back";
    zel::TMemoryStream s;
    zel::WriteScriptStateBlock(s, st);
    ASSERT_EQ(s.Size(), zel::kScriptStateBlockSize);
    auto i32 = [&](size_t at) {
        int32_t v;
        std::memcpy(&v, s.Data() + at, 4);
        return v;
    };
    EXPECT_EQ(i32(4), 0x0FFFFFFF);
    EXPECT_EQ(i32(8), 0x0FFFFFFF);
    EXPECT_EQ(i32(17), 2048);
    EXPECT_EQ(s.Data()[21 + 128], 5);
    EXPECT_EQ(std::memcmp(s.Data() + 22 + 128, "three", 5), 0);
    EXPECT_EQ(i32(277), 0x0FFFFFFF);
    EXPECT_EQ(s.Data()[285 + 384], 7);
    EXPECT_EQ(s.Data()[797], 5);
    EXPECT_EQ(s.Data()[926], 1);
    EXPECT_EQ(i32(927), 10000);
    for (size_t i = 943; i < zel::kScriptStateBlockSize; ++i) ASSERT_EQ(s.Data()[i], 0) << i;
    s.Rewind();
    zel::TScriptState back;
    zel::ReadScriptStateBlock(s, back);
    EXPECT_EQ(back.saveTexts[2], "three");
    EXPECT_EQ(back.layoutNames[3], "log.dat");
    EXPECT_EQ(back.sceneLabel, "*back");
    // A length byte past its room is refused and leaves the state as it was.
    std::vector<uint8_t> bad(s.Bytes());
    bad[797] = 128;
    zel::TMemoryStream b(bad);
    zel::TScriptState kept;
    kept.sceneLabel = "kept";
    EXPECT_THROW(zel::ReadScriptStateBlock(b, kept), zel::EStreamError);
    EXPECT_EQ(kept.sceneLabel, "kept");
}

TEST_F(Records, SystemDataIsWrittenTwiceAndComesBackFromItsCopy) {
    Start(kGame);
    Frames(1);
    script->ExecuteLine("\\cal,seen=12");
    ASSERT_TRUE(records->SaveGame("s.svd", true));
    const std::string main = Read("SystemData.dat"), copy = Read("SystemData.dat.bak");
    ASSERT_FALSE(main.empty());
    EXPECT_EQ(main, copy);

    // Layout: magic, check string, sizes.
    zel::TMemoryStream in(main);
    auto payload = zel::UnwrapChecked(in);
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->ToString().substr(0, 16), std::string("ZELSYSDATA12\0\0\0\0", 16));

    // A new run without the main file reads the copy (and says so).
    fs::remove(folder / "SystemData.dat");
    records.reset();
    script.reset();
    zel::ClearErrors();
    Start(kGame);
    EXPECT_EQ(Int("seen"), 12);
    ASSERT_EQ(zel::ErrorLines().size(), 0u);  // no main file: nothing to report

    // A damaged main file falls back to the copy and is reported.
    std::string damaged = main;
    damaged[damaged.size() - 5] ^= 1;
    Write("SystemData.dat", damaged);
    records.reset();
    script.reset();
    Start(kGame);
    EXPECT_EQ(Int("seen"), 12);
    ASSERT_EQ(zel::ErrorLines().size(), 1u);
    EXPECT_NE(zel::ErrorLines()[0].find("SystemData.dat.bak"), std::string::npos);
}

TEST_F(Records, SystemDataLoadIsAllOrNothing) {
    Start(kGame);
    Frames(1);
    script->ExecuteLine("\\cal,seen=4");
    ASSERT_TRUE(records->SaveSystemData("sd"));
    std::string payload;
    {
        zel::TMemoryStream in(Read("sd"));
        payload = zel::UnwrapChecked(in)->ToString();
    }
    int32_t s1;
    std::memcpy(&s1, payload.data() + 304, 4);
    const size_t s2At = 308 + static_cast<size_t>(s1);
    auto wrap = [](const std::string& p) {
        zel::TMemoryStream ps(p), out;
        zel::WrapChecked(&ps, &out);
        return out.ToString();
    };
    struct Case {
        const char* what;
        size_t at;
        int32_t value;
    };
    const Case cases[] = {{"negative S1", 304, -1},
                          {"S1 past the end", 304, 1 << 30},
                          {"S2 negative", s2At, -8},
                          {"S2 past the end", s2At, 1 << 30}};
    script->ExecuteLine("\\cal,seen=9");
    for (const Case& c : cases) {
        std::string p = payload;
        std::memcpy(&p[c.at], &c.value, 4);
        Write("sd", wrap(p));
        EXPECT_FALSE(records->LoadSystemData("sd")) << c.what;
        EXPECT_EQ(Int("seen"), 9) << c.what;
    }
    std::string p = payload;
    p[20] ^= 1;  // the check string
    Write("sd", wrap(p));
    EXPECT_FALSE(records->LoadSystemData("sd"));
    Write("sd", wrap(payload));
    EXPECT_TRUE(records->LoadSystemData("sd"));
    EXPECT_EQ(Int("seen"), 4);
}

TEST_F(Records, NamesStayInsideTheSaveFolder) {
    Start(kGame);
    for (const char* name : {"../out.svd", "/tmp/out.svd", "a/../../out.svd", "..", "\\abs.svd", "C:x.svd"}) {
        EXPECT_FALSE(records->PathOf(name)) << name;
        EXPECT_FALSE(records->SaveGame(name, true)) << name;
        EXPECT_FALSE(records->LoadGame(name)) << name;
        EXPECT_FALSE(records->DeleteSave(name)) << name;
    }
    EXPECT_FALSE(fs::exists(folder.parent_path() / "out.svd"));
    EXPECT_EQ(*records->PathOf("slot.svd"), (folder / "slot.svd").string());
    EXPECT_FALSE(records->SaveGame("", true));
}

TEST_F(Records, ScriptWordsSaveLoadAskAndDelete) {
    Start(R"(@@top
\gvar,int,n,r1,r2,r3,r4
\cal,n=1
\scp,dat
\s,"w.svd"
\cal,r1=ResultInt
\cal,n=2
\g,"w.svd"
\cal,r2=ResultInt
\g,"none.svd"
\cal,r3=ResultInt
\time,100000
)");
    Frames(1);
    EXPECT_EQ(Int("r1"), 1);
    EXPECT_EQ(Int("r2"), 1);
    EXPECT_EQ(Int("r3"), 0);
    script->ExecuteLine("\\scp,dat \\gd,\"w.svd\"");
    EXPECT_GE(Int("ResultInt[0]"), 2000);
    // A script's load runs after its frame, once no segment is running.
    script->ExecuteLine("\\cal,n=50");
    script->ExecuteLine("\\scp,dat \\l,\"w.svd\" \\cal,n=60");
    EXPECT_EQ(Int("ResultInt"), 1);
    EXPECT_EQ(Int("n"), 60);
    Frames(1);
    EXPECT_EQ(Int("n"), 1);
    EXPECT_EQ(Int("r2"), 0);  // the game of the moment of the save
    EXPECT_EQ(Int("ResultInt"), 1);
    script->ExecuteLine("\\scp,dat \\l,\"none.svd\"");
    EXPECT_EQ(Int("ResultInt"), 0);
    script->ExecuteLine("\\scp,dat \\d,\"w.svd\"");
    EXPECT_EQ(Int("ResultInt"), 1);
    EXPECT_FALSE(fs::exists(folder / "w.svd"));
}

TEST_F(Records, SystemDataIsWrittenOnceAMinuteWhileItChanged) {
    Start(kGame);
    ASSERT_FALSE(fs::exists(folder / "SystemData.dat"));
    records->Advance(59000);
    EXPECT_FALSE(fs::exists(folder / "SystemData.dat"));
    records->Advance(1000);  // a minute, nothing changed
    EXPECT_FALSE(fs::exists(folder / "SystemData.dat"));
    Frames(1);
    script->ExecuteLine("\\cal,seen=5");
    records->Advance(60000);
    ASSERT_TRUE(fs::exists(folder / "SystemData.dat"));
    records.reset();
    script.reset();
    Start(kGame);
    EXPECT_EQ(Int("seen"), 5);
}

}  // namespace
