// Buttons: the label each state shows (with animations that lack some of the
// labels), clicks, the check callbacks, the click countdown and the state.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "AnimTestSupport.h"
#include "anim/ButtonLib.h"
#include "base/Sjis.h"
#include "storage/GameFiles.h"
#include "storage/MemoryGameFiles.h"

using namespace zel;
using namespace zeltest;

namespace {

const std::vector<std::string> kAllLabels = {
    "*OnMouse",       "*OffMouse",        "*OnClick",         "*OnCheckClick", "*OnLock", "*OnLockOnMouse",
    "*OnLockOffMouse", "*OffLock",        "*OnCheck",         "*OnCheckOnMouse", "*OnCheckOffMouse", "*OffCheck"};

// A 64 x 48 animation with "main" and the given labels.
std::vector<uint8_t> ButtonAnimation(const std::vector<std::string>& labels) {
    TABMPFile f = OneMotion({LayerAt({0}, akImage)});
    for (const std::string& name : labels) {
        TABMPMotion m = f.motions[0];
        m.name = name;
        f.motions.push_back(m);
    }
    return Written(f);
}

class Button : public ::testing::Test {
protected:
    // A shown button over (0,0)-(64,48) with the given labels, playing label.
    std::unique_ptr<TButtonLib> Make(const std::vector<std::string>& labels, const std::string& playing = "main") {
        files.Add("b.b", ButtonAnimation(labels));
        auto b = std::make_unique<TButtonLib>(&files, res);
        EXPECT_TRUE(b->Load("b.b"));
        b->Enable();
        b->SetHitArea(0, 0, 64, 48);
        b->StartLabel(playing, true);
        b->Update(255, 10);  // the hit area follows the frame shown
        return b;
    }
    TMemoryGameFiles files;
    TAnimationResources res;
};

TEST_F(Button, LabelTable) {
    const std::vector<std::string> noMouseVariants = {"*OnMouse", "*OffMouse", "*OnLock", "*OnCheck"};
    const std::vector<std::string> noOffVariants = {"*OnMouse", "*OffMouse", "*OnLock", "*OnLockOnMouse", "*OnCheck",
                                                    "*OnCheckOnMouse"};
    struct Case {
        bool locked, checked, over;
        std::string playing;
        const std::vector<std::string>* labels;
        std::string expected;
    };
    const Case cases[] = {
        {true, false, false, "main", &kAllLabels, "*OnLock"},
        {true, false, true, "main", &kAllLabels, "*OnLockOnMouse"},
        {true, false, true, "main", &noMouseVariants, "*OnLock"},
        {true, false, false, "*OnLockOnMouse", &kAllLabels, "*OnLockOffMouse"},
        {true, false, false, "*OnLockOnMouse", &noOffVariants, "*OnLock"},
        {true, true, true, "main", &kAllLabels, "*OnLockOnMouse"},  // locked wins over checked
        {false, true, false, "main", &kAllLabels, "*OnCheck"},
        {false, true, true, "main", &kAllLabels, "*OnCheckOnMouse"},
        {false, true, false, "*OnCheckOnMouse", &kAllLabels, "*OnCheckOffMouse"},
        {false, true, false, "*OnCheckOnMouse", &noOffVariants, "*OnCheck"},
        {false, false, false, "*OnLockOnMouse", &kAllLabels, "*OffLock"},
        {false, false, false, "*OnLock", &noMouseVariants, "*OffMouse"},
        {false, false, false, "*OnCheck", &kAllLabels, "*OffCheck"},
        {false, false, false, "*OnCheck", &noMouseVariants, "*OffMouse"},
        {false, false, false, "*OnClick", &kAllLabels, "*OffMouse"},
        // Leaving a lock with the pointer over it ends in the hover label.
        {false, false, true, "*OnLock", &kAllLabels, "*OnMouse"},
        {false, false, true, "main", &kAllLabels, "*OnMouse"},
        {false, false, false, "main", &kAllLabels, "main"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected + " from " + c.playing);
        auto b = Make(*c.labels, c.playing);
        // The state is set by the setters (which run the label logic); the
        // label playing before the pass under test is put back afterwards.
        b->SetLocked(c.locked);
        b->SetChecked(c.checked);
        b->StartLabel(c.playing, true);
        ASSERT_EQ(b->LabelName(), c.playing);
        b->SetMouse(255, c.over ? 5 : 100, c.over ? 5 : 100);
        EXPECT_EQ(b->LabelName(), c.expected);
    }
}

TEST_F(Button, LockedLabelIsNotRestartedWhilePlaying) {
    auto b = Make(kAllLabels);
    b->SetLocked(true);
    EXPECT_EQ(b->LabelName(), "*OnLock");
    b->Update(255, 120);
    const double t = b->Animation().LayerTime(0);
    b->SetMouse(255, 100, 100);
    EXPECT_EQ(b->Animation().LayerTime(0), t);
}

TEST_F(Button, ClicksAndCountdown) {
    auto b = Make(kAllLabels);
    int clicks = 0;
    b->onClick = [&] { ++clicks; };
    EXPECT_FALSE(b->ClickAt(255, 100, 100));  // off the button
    EXPECT_FALSE(b->ClickAt(0, 5, 5));        // a layer it is not on
    EXPECT_TRUE(b->ClickAt(255, 5, 5));
    EXPECT_EQ(b->LabelName(), "*OnClick");
    EXPECT_EQ(clicks, 1);
    for (int left = 3; left >= 0; --left) {
        b->Update(255, 10);
        EXPECT_EQ(b->ClickCountdown(), left);
    }
    b->Update(255, 10);
    EXPECT_EQ(b->ClickCountdown(), 0);
    b->SetChecked(true);
    EXPECT_TRUE(b->ClickAt(255, 5, 5));
    EXPECT_EQ(b->LabelName(), "*OnCheckClick");
    // Locked: the click is ignored entirely.
    b->SetLocked(true);
    b->SetClickCountdown(0);
    EXPECT_FALSE(b->ClickAt(255, 5, 5));
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(b->ClickCountdown(), 0);
    EXPECT_NE(b->LabelName(), "*OnCheckClick");
    // Disabled: likewise.
    b->SetLocked(false);
    b->Disable();
    EXPECT_FALSE(b->ClickAt(255, 5, 5));
}

TEST_F(Button, CheckCallbacksRunOncePerChange) {
    auto b = Make(kAllLabels);
    int checks = 0, unchecks = 0;
    b->onCheck = [&] { ++checks; };
    b->onUncheck = [&] { ++unchecks; };
    b->SetChecked(true);
    b->SetChecked(true);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(unchecks, 0);
    b->SetChecked(false);
    b->SetChecked(false);
    EXPECT_EQ(unchecks, 1);
    EXPECT_EQ(checks, 1);
}

TEST_F(Button, StateRoundTripsAndResets) {
    auto b = Make(kAllLabels);
    b->SetChecked(true);
    b->SetLocked(true);
    b->ClickAt(255, 5, 5);  // ignored: locked
    b->SetClickCountdown(3);
    TMemoryStream s;
    b->SaveState(s);
    TMemoryStream plain;
    static_cast<const TMessageLib&>(*b).SaveState(plain);
    ASSERT_EQ(s.Size(), plain.Size() + TButtonLib::kButtonStateSize);
    const std::vector<uint8_t> bytes = s.TakeBytes();
    const size_t at = bytes.size() - TButtonLib::kButtonStateSize;
    EXPECT_EQ(bytes[at], 1);
    EXPECT_EQ(bytes[at + 1], 1);
    EXPECT_EQ(bytes[at + 2], 3);
    for (size_t i = at + 6; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << i;

    TButtonLib back(&files, res);
    TMemoryStream in(bytes);
    ASSERT_TRUE(back.LoadState(in));
    EXPECT_TRUE(back.Checked());
    EXPECT_TRUE(back.Locked());
    EXPECT_EQ(back.ClickCountdown(), 3);

    // A record cut inside the button bytes is refused.
    TMemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.end() - 10));
    TButtonLib other(&files, res);
    EXPECT_FALSE(other.LoadState(cut));

    back.Reset();
    EXPECT_FALSE(back.Checked());
    EXPECT_FALSE(back.Locked());
    EXPECT_EQ(back.ClickCountdown(), 0);
    EXPECT_TRUE(back.Instant());
}

}  // namespace
