// The save and load screen over saves the engine wrote: slots, selection,
// confirmation, swaps that lose nothing, deletes, pages, the templates, the
// newest-save marker, quick save's slot and the quick-load list.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "base/AtomicFile.h"
#include "base/ErrorLog.h"
#include "graphics/ARGB8888Lib.h"
#include "records/ZelRecords.h"
#include "records/ZelSaveData.h"
#include "screens/ZelFileSelect.h"
#include "script/ScriptTestSupport.h"
#include "script/ZelScriptLib.h"

namespace zel {
namespace {

namespace fs = std::filesystem;

class TFakeEntry final : public IFileEntry {
public:
    TFakeEntry(int32_t x, int32_t y, int32_t z, TMenuRect hit) : x_(x), y_(y), z_(z), hit_(hit) {}
    void Reset() override { hidden = false; }
    void SetLocked(bool l) override { locked = l; }
    bool Locked() const override { return locked; }
    void SetChecked(bool c) override { checked = c; }
    bool Checked() const override { return checked; }
    void Hover(int32_t, int32_t) override {}
    bool Hit(int32_t x, int32_t y) const override {
        return x >= x_ + hit_.left && x < x_ + hit_.right && y >= y_ + hit_.top && y < y_ + hit_.bottom;
    }
    void Hide() override { hidden = true; }
    void Advance(int32_t) override {}
    void Draw(TARGB8888&) const override {}
    void SetVisible(bool on) override { visible = on; }
    bool Visible() const override { return visible; }
    void SetText(const std::string& t) override { text = t; }
    void SetPicture(const TARGB8888* p) override { picture = p; }
    void MoveTo(int32_t x, int32_t y, int32_t z) override { x_ = x, y_ = y, z_ = z; }
    int32_t X() const override { return x_; }
    int32_t Y() const override { return y_; }
    int32_t Z() const override { return z_; }

    bool locked = false, checked = false, hidden = false, visible = true;
    std::string text;
    const TARGB8888* picture = nullptr;

private:
    int32_t x_, y_, z_;
    TMenuRect hit_;
};

class TFakeHost final : public IFileSelectHost {
public:
    std::map<std::string, std::string> files;
    std::string folder;
    int32_t quickCount = 3;
    std::vector<std::string> shown;     // messages and questions, by key text
    std::vector<bool> answers;          // answers of the next questions
    int32_t listChoice = -1;
    std::vector<std::string> listLines;
    TMenuInput input;

    std::string LayoutName(bool) const override { return {}; }
    bool GameFileExists(const std::string& p) override { return files.count(p) != 0; }
    std::optional<std::string> ReadGameFile(const std::string& p) override {
        auto it = files.find(p);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    bool LoadPicture(const std::string& p, TARGB8888& into) override {
        if (p != "system\\fileselect\\nodata.png") return false;
        into.NewImage(4, 3, 0xFF808080u);
        return true;
    }
    bool CaptureScreen(TARGB8888& into) override {
        into.NewImage(64, 48, 0x00204060u);
        return true;
    }
    std::string SaveFolder() const override { return folder; }
    uint32_t RecordKey() const override { return kDefaultCodeKey; }
    int32_t QuickSaveCount() const override { return quickCount; }
    std::string MessageText(const std::string& key) const override { return key; }
    void Message(const std::string& text) override { shown.push_back(text); }
    bool Confirm(const std::string& text, const std::string&, const std::string&) override {
        shown.push_back(text);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    int32_t ChooseFromList(const std::string&, const std::vector<std::string>& lines,
                           const std::vector<bool>&) override {
        listLines = lines;
        return listChoice;
    }
    TMenuInput Input() override {
        TMenuInput in = input;
        input.leftReleased = input.cancel = false;
        return in;
    }
    std::unique_ptr<IFileEntry> MakeEntry(const std::string&, const std::string&, int32_t x, int32_t y, int32_t z,
                                          const TMenuRect& hit, const TMenuRect&) override {
        return std::make_unique<TFakeEntry>(x, y, z, hit);
    }
    TARGB8888* DrawTarget() override { return nullptr; }
};

// Layout values are lower-cased as they are read, the templates with them.
// Buttons 0..3 are data0..data3 at x = 100 * i; then page0, page1, open,
// delete, cancel, select, quicksave, quickload; images data0..data3 and select.
std::string Layout(int mode, int pageCount = 4) {
    std::string l = "mode=" + std::to_string(mode) + "\nPageDataCount=" + std::to_string(pageCount) +
                    "\nButtonCount=12\nImageCount=5\nNoData=nodata.png\nnewimg.filename=new.png\n"
                    "FileExistsText=No.%%%no %%%4y/%%%mm/%%%dd %%%hh:%%%nn:%%%ss %%%name0 [%%%text]\n"
                    "FileEmptyExistsText=No.%%%no empty %%%4y\nFileSelectText=sel %%%no %%%name1\n"
                    "FileEmptySelectText=sel empty %%%no\n";
    const char* actions[] = {"data0", "data1", "data2", "data3", "page0", "page1",
                             "open", "delete", "cancel", "select", "quicksave", "quickload"};
    for (int i = 0; i < 12; ++i) {
        const std::string k = "btn[" + std::to_string(i) + "].";
        l += k + "Action=" + actions[i] + "\n" + k + "Position=" + std::to_string(100 * i) + ",0,5\n" + k +
             "HitSize=0,0,50,20\n" + k + "Filename=b.png\n";
    }
    const char* images[] = {"data0", "data1", "data2", "data3", "select"};
    for (int i = 0; i < 5; ++i) l += "img[" + std::to_string(i) + "].Action=" + images[i] + "\n";
    return l;
}

class FileSelect : public ::testing::Test {
protected:
    void SetUp() override {
        SetErrorLogFolder("");
        ClearErrors();
        folder = fs::temp_directory_path() / ("zel_fileselect_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        host.folder = folder.string();
        files.Add("main.s", "@@top\n\\time,1000000\n");
        script = std::make_unique<TZelScript>(&files, &regexp);
        TRecordsConfig rc;
        rc.folder = folder.string();
        rc.thumbnail = [](TARGB8888& t) {
            t.NewImage(8, 6, 0xFF00FF00u);
            return true;
        };
        records = std::make_unique<TZelRecords>(*script, rc);
        script->ExecuteLine("\\go,@@top,main.s");
    }
    void TearDown() override {
        records.reset();
        script.reset();
        fs::remove_all(folder);
        ClearErrors();
    }
    // A save by the engine, with name 0 and name 1 set.
    void Save(int32_t number, const std::string& name0) {
        script->State().saveTexts = {name0, "second", "", ""};
        ASSERT_TRUE(records->SaveGame(TZelFileselect::SlotName(number), true));
    }
    // A save with a chosen time.
    void SaveAt(const std::string& name, double time) {
        TZelSaveData d(kDefaultCodeKey);
        d.SetHeader("t", "", "", "", "", time);
        d.SetBody({1, 2, 3});
        ASSERT_TRUE(d.WriteFile((folder / name).string(), true, true));
    }
    std::string Bytes(int32_t number) {
        std::string b;
        ReadWholeFile((folder / TZelFileselect::SlotName(number)).string(), b);
        return b;
    }
    bool Exists(int32_t number) { return fs::exists(folder / TZelFileselect::SlotName(number)); }
    TFakeEntry& B(size_t i) { return static_cast<TFakeEntry&>(fs_->Button(i)); }
    TFakeEntry& I(size_t i) { return static_cast<TFakeEntry&>(fs_->Image(i)); }
    void Open(bool save, int mode = 0, int pageCount = 4) {
        host.files[save ? "System\\FileSelect\\SaveLayout.dat" : "System\\FileSelect\\LoadLayout.dat"] =
            Layout(mode, pageCount);
        fs_ = std::make_unique<TZelFileselect>(host);
        fs_->Open(save);
    }
    void Click(size_t button) { fs_->OnClick(button); }

    fs::path folder;
    TFakeHost host;
    zeltest::MemGameFiles files;
    zeltest::FakeRegExp regexp;
    std::unique_ptr<TZelScript> script;
    std::unique_ptr<TZelRecords> records;
    std::unique_ptr<TZelFileselect> fs_;
};

TEST_F(FileSelect, NoSavesShowsEmptySlotsWithNumbersAndNoMarker) {
    Open(true);
    for (size_t j = 0; j < 4; ++j) {
        EXPECT_EQ(B(j).text, "no." + std::to_string(j + 1) + " empty %%%4y");
        EXPECT_TRUE(B(j).visible);
        EXPECT_EQ(I(j).picture, I(0).picture);  // the no-data picture
        EXPECT_NE(I(j).picture, nullptr);
    }
    EXPECT_FALSE(fs_->Marker()->Visible());
    EXPECT_TRUE(B(4).locked);   // the current page
    EXPECT_FALSE(B(5).locked);
    EXPECT_TRUE(B(6).locked);   // open: nothing selected
    EXPECT_TRUE(B(7).locked);   // delete
    EXPECT_FALSE(B(9).visible);  // select
}

TEST_F(FileSelect, SlotsShowTheirSaveHeaderThumbnailAndTheNewestMarker) {
    Save(1, "Chapter");
    Save(2, "Later");
    Open(false);
    const TSaveDate d = SaveDateOf(NowAsDays());
    EXPECT_NE(B(1).text.find("no.2 " + std::to_string(d.year) + "/"), std::string::npos) << B(1).text;
    EXPECT_NE(B(1).text.find(" Chapter []"), std::string::npos) << B(1).text;
    ASSERT_NE(I(1).picture, nullptr);
    EXPECT_EQ(I(1).picture->Width(), 8);
    EXPECT_NE(I(1).picture, I(0).picture);
    // Both saves of about the same second: the later write or the higher number.
    ASSERT_TRUE(fs_->Marker()->Visible());
    EXPECT_EQ(fs_->Marker()->X(), 200);
    EXPECT_EQ(fs_->Marker()->Z(), 105);
}

TEST_F(FileSelect, PlaceholdersAreReplacedOncePerPositionInOrder) {
    TSaveSummary s;
    s.time = 45658.5 + (7 * 60 + 9) / 86400.0;  // 2025-01-01 12:07:09
    s.names[0] = "%%%nn";
    s.names[3] = "four";
    s.text = "%%%name0";
    struct Case {
        const char* tmpl;
        const char* want;
    } cases[] = {
        {"%%%nn-%%%name0", "07-%%%nn"},  // a name is never read as a placeholder
        {"%%%name3%%%text", "four%%%name0"},
        {"%%%yy%%%4y%%%mm%%%dd%%%hh%%%ss", "25202501011209"},
        {"%%%no%%%name9", "1%%%name9"},
        {"\x83\x25%%%no", "\x83\x25" "1"},  // a trail byte '%' is no placeholder
    };
    for (const Case& c : cases) EXPECT_EQ(FillSlotTemplate(c.tmpl, 0, &s), c.want) << c.tmpl;
    EXPECT_EQ(FillSlotTemplate("%%%no %%%nn", 41, nullptr), "42 %%%nn");
    EXPECT_EQ(SaveDateOf(std::nan("")).year, 1899);
    EXPECT_EQ(SaveDateOf(1e300).year, 1899);
}

TEST_F(FileSelect, QuickSaveSlotIsLowestMissingElseOldestWithTiesToTheLowerNumber) {
    struct Case {
        int32_t count;
        std::vector<std::optional<double>> times;  // nullopt: missing
        std::vector<bool> unreadable;
        int32_t want;
    } cases[] = {
        {3, {1.0, std::nullopt, std::nullopt}, {}, 1},
        {3, {std::nullopt, 1.0, 2.0}, {}, 0},
        {3, {5.0, 2.0, 3.0}, {}, 1},
        {3, {5.0, 2.0, 2.0}, {}, 1},
        {3, {2.0, 2.0, 1.0}, {}, 2},
        {3, {4.0, 9.0, 1.0}, {false, false, true}, 0},  // an unreadable file is not the oldest
        {0, {}, {}, -1},
        {-2, {}, {}, -1},
    };
    for (const Case& c : cases) {
        auto exists = [&](int32_t n) { return c.times[static_cast<size_t>(n)].has_value(); };
        auto time = [&](int32_t n) -> std::optional<double> {
            if (static_cast<size_t>(n) < c.unreadable.size() && c.unreadable[static_cast<size_t>(n)]) return std::nullopt;
            return c.times[static_cast<size_t>(n)];
        };
        EXPECT_EQ(ChooseQuickSaveSlot(c.count, exists, time), c.want);
    }
}

TEST_F(FileSelect, QuickSaveOverwritesTheOldestFileAndIsUnavailableWithoutSlots) {
    SaveAt("QuickSaveData0.svd", 45000.5);
    SaveAt("QuickSaveData1.svd", 45000.1);
    SaveAt("QuickSaveData2.svd", 45000.9);
    Open(true);
    EXPECT_EQ(fs_->QuickSaveName(), "QuickSaveData1.svd");
    Click(10);
    EXPECT_EQ(fs_->Result(), 1);
    EXPECT_EQ(fs_->ResultFile(), "QuickSaveData1.svd");
    EXPECT_EQ(fs_->ResultLabel(), "*OnQuickSave");

    host.quickCount = 0;
    Open(true);
    EXPECT_EQ(fs_->QuickSaveName(), "");
    EXPECT_TRUE(B(10).locked);
    Click(10);
    EXPECT_EQ(fs_->Result(), 0);
}

TEST_F(FileSelect, QuickLoadListsTheQuickSavesAndLoadsTheChosenOne) {
    SaveAt("QuickSaveData1.svd", 45000.5);
    host.files["System\\QuickSaveLoad\\Layout.dat"] = "FileExistsText=Q%%%no %%%name0\nFileEmptyText=Q%%%no -\n";
    Open(false);
    host.listChoice = 0;  // an empty line: nothing
    Click(11);
    EXPECT_EQ(fs_->Result(), 0);
    EXPECT_EQ(host.listLines, (std::vector<std::string>{"q1 -", "q2 t", "q3 -"}));
    host.listChoice = 1;
    Click(11);
    EXPECT_EQ(fs_->ResultFile(), "QuickSaveData1.svd");
    EXPECT_EQ(fs_->ResultLabel(), "*OnQuickLoad");
}

TEST_F(FileSelect, SelectingTwiceSavesAndAnOverwriteIsAsked) {
    Save(2, "old");
    Open(true);
    Click(3);
    EXPECT_EQ(fs_->SelectedName(), "SaveData3.svd");
    EXPECT_TRUE(B(3).checked);
    EXPECT_FALSE(B(6).locked);
    EXPECT_TRUE(B(9).visible);
    EXPECT_EQ(B(9).text, "sel empty 4");
    Click(3);
    EXPECT_EQ(fs_->Result(), 1);
    EXPECT_EQ(fs_->ResultFile(), "SaveData3.svd");
    EXPECT_EQ(fs_->ResultLabel(), "*OnSave");
    EXPECT_TRUE(host.shown.empty());

    Open(true);
    Click(2);
    Click(6);  // open over a save, answered no
    EXPECT_EQ(host.shown, std::vector<std::string>{"OVERSAVE_Text"});
    EXPECT_EQ(fs_->Result(), 0);
    EXPECT_EQ(fs_->SelectedNumber(), -1);
    host.answers = {true};
    Click(2);
    Click(2);
    EXPECT_EQ(fs_->ResultFile(), "SaveData2.svd");
}

TEST_F(FileSelect, LoadNeedsAFileAndTheResultWaitsForTheClickMute) {
    Save(0, "a");
    host.files["System\\FileSelect\\LoadLayout.dat"] = Layout(1) + "ClickMuteTime=100\n";
    fs_ = std::make_unique<TZelFileselect>(host);
    fs_->Open(false);
    Click(1);
    EXPECT_TRUE(B(6).locked);  // open: no file in the selected slot
    Click(1);                  // confirmed on an empty slot
    EXPECT_EQ(host.shown, std::vector<std::string>{"NOFILEOPEN_Text"});
    EXPECT_EQ(fs_->SelectedNumber(), -1);
    host.input = {0, 0, true, false};  // a release over data0
    EXPECT_EQ(fs_->Update(16), 0);
    EXPECT_EQ(fs_->SelectedNumber(), 0);
    host.input = {0, 0, true, false};
    EXPECT_EQ(fs_->Update(16), 0);
    EXPECT_EQ(fs_->Update(50), 0);
    EXPECT_EQ(fs_->Update(50), 1);
    EXPECT_EQ(fs_->ResultLabel(), "*OnLoad");
}

TEST_F(FileSelect, FirstCancelClearsTheSelectionTheSecondLeaves) {
    Open(true);
    Click(1);
    host.input.cancel = true;
    EXPECT_EQ(fs_->Update(16), 0);
    EXPECT_EQ(fs_->SelectedNumber(), -1);
    EXPECT_FALSE(B(1).hidden);
    host.input.cancel = true;
    EXPECT_EQ(fs_->Update(16), 0);
    EXPECT_TRUE(B(1).hidden);
    EXPECT_EQ(fs_->Update(16), -1);
}

TEST_F(FileSelect, SwapLayoutSwapsTwoSavesAndMovesOneIntoAnEmptySlot) {
    Save(0, "zero");
    Save(1, "one");
    const std::string a = Bytes(0), b = Bytes(1);
    Open(true, 0);
    Click(0);
    Click(1);
    EXPECT_EQ(Bytes(0), b);
    EXPECT_EQ(Bytes(1), a);
    EXPECT_EQ(fs_->SelectedNumber(), -1);
    EXPECT_NE(B(0).text.find(" one "), std::string::npos);

    Click(1);
    Click(3);  // into an empty slot: the file moves
    EXPECT_FALSE(Exists(1));
    EXPECT_EQ(Bytes(3), a);
    EXPECT_TRUE(host.shown.empty());
    for (const auto& e : fs::directory_iterator(folder))
        EXPECT_EQ(e.path().extension(), ".svd") << e.path();  // no temporaries left
}

TEST_F(FileSelect, ASwapThatCannotWriteLosesNeitherSave) {
    Save(0, "zero");
    const std::string a = Bytes(0);
    // The target's name is taken by a folder: nothing can be written there.
    fs::create_directories(folder / "SaveData1.svd" / "x");
    Open(true, 0);
    Click(0);
    Click(1);
    EXPECT_EQ(host.shown, std::vector<std::string>{"SwapSaveFileError"});
    EXPECT_EQ(Bytes(0), a);

    // A temporary that cannot be written stops the swap before anything changes.
    Save(2, "two");
    const std::string c = Bytes(2);
    fs::create_directories(folder / "SaveData0.svd.swap" / "x");
    std::string why;
    EXPECT_FALSE(SwapFiles((folder / "SaveData0.svd").string(), (folder / "SaveData2.svd").string(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(Bytes(0), a);
    EXPECT_EQ(Bytes(2), c);
    EXPECT_FALSE(fs::exists(folder / "SaveData2.svd.swap"));
}

TEST_F(FileSelect, SelectLayoutMovesTheSelectionAndPagesClearIt) {
    Save(0, "zero");
    Open(true, 1);
    EXPECT_FALSE(fs_->SwapLayout());
    Click(0);
    Click(2);
    EXPECT_EQ(fs_->SelectedNumber(), 2);
    EXPECT_TRUE(B(2).checked);
    EXPECT_FALSE(B(0).checked);
    EXPECT_TRUE(Exists(0));
    Click(5);
    EXPECT_EQ(fs_->Page(), 1);
    EXPECT_EQ(fs_->SelectedNumber(), -1);
    EXPECT_EQ(B(0).text, "no.5 empty %%%4y");
    EXPECT_TRUE(B(5).locked);
    Click(0);
    EXPECT_EQ(fs_->SelectedName(), "SaveData4.svd");
}

TEST_F(FileSelect, DeleteAsksAndForgetsTheNewestSave) {
    Save(1, "one");
    Open(false);
    Click(7);
    EXPECT_TRUE(Exists(1));  // locked without a selection
    Click(1);
    Click(7);
    EXPECT_TRUE(Exists(1));  // answered no
    host.answers = {true};
    Click(1);
    Click(7);
    EXPECT_FALSE(Exists(1));
    EXPECT_EQ(host.shown, (std::vector<std::string>{"DELETE_Text", "DELETE_Text"}));
    EXPECT_FALSE(fs_->Marker()->Visible());
    EXPECT_EQ(B(1).text, "no.2 empty %%%4y");
}

TEST_F(FileSelect, SlotsAreBoundedToThePage) {
    // More slots than a page holds are cut to 32; data actions past the page's
    // slots are no slot at all.
    for (int32_t n = 0; n < 100; ++n) SaveAt(TZelFileselect::SlotName(n), 45000.0 + n);
    Open(true, 0, 100);
    EXPECT_EQ(fs_->SlotsPerPage(), TZelFileselect::kMaxSlots);
    Open(true, 0, 2);
    EXPECT_EQ(fs_->SlotsPerPage(), 2);
    EXPECT_EQ(B(2).text, "");  // data2 names no slot of this page
    const int32_t reads = fs_->HeaderReads();
    Click(2);  // data2 on a page of two slots: nothing
    EXPECT_EQ(fs_->SelectedNumber(), -1);
    EXPECT_EQ(fs_->HeaderReads(), reads);
    Open(true, 0, 0);
    EXPECT_EQ(fs_->SlotsPerPage(), 0);
    Click(0);
    EXPECT_EQ(fs_->SelectedNumber(), -1);
}

}  // namespace
}  // namespace zel
