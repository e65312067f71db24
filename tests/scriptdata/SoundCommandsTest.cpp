// The "snd" and "dsnd" command words over a pulled sound device.
#include <gtest/gtest.h>

#include <charconv>

#include "base/ErrorLog.h"
#include "platform/Clock.h"
#include "scriptdata/ObjectCommands.h"
#include "scriptdata/SoundCommands.h"
#include "sound/Sound.h"
#include "sound/SoundDevice.h"
#include "sound/SoundFixtures.h"

namespace zel {
namespace {

// Arguments are integers or quoted texts; results and reports are kept.
class TFakeContext final : public ICommandContext {
public:
    TScriptCommand cmd;
    std::vector<std::string> fields;
    std::vector<int32_t> ints = std::vector<int32_t>(4, -7);
    std::vector<std::string> strs = std::vector<std::string>(1, "?");
    std::vector<std::string> errors;
    int skips = 0;

    void Set(std::initializer_list<std::string> f) {
        fields = f;
        while (fields.size() < 9) fields.emplace_back();
        cmd.Code = Cmd(fields[0]);
        cmd.Fields = &fields;
    }
    const TScriptCommand& Command() const override { return cmd; }
    TReturnValue Evaluate(std::string_view t) override {
        if (!t.empty() && t[0] == '"') return TReturnValue::String(t.substr(1, t.size() - 2));
        int32_t v = 0;
        std::from_chars(t.data(), t.data() + t.size(), v);
        return TReturnValue::Integer(v);
    }
    void ClearResults() override {
        std::fill(ints.begin(), ints.end(), 0);
        strs[0].clear();
    }
    void SetResultInt(int32_t v, int32_t i) override { ints[static_cast<size_t>(i)] = v; }
    void SetResultStr(std::string_view t, int32_t) override { strs[0] = t; }
    void SkipTimeOnce() override { ++skips; }
    std::string ResolvePath(std::string_view name, bool) override { return std::string(name); }
    void ReportError(std::string_view t) override { errors.emplace_back(t); }
    TZelScript& TargetScript() override { std::abort(); }
};

struct SoundWords : testing::Test {
    TDDSD7 dev{nullptr};
    TFixedStepClock clock{1000};
    test::TFileMap files;
    std::unique_ptr<TSound> sound;
    TObjectCommandRegistry reg;
    TFakeContext c;
    SoundWords() {
        files.Add("bgm.ogg", test::MakeOgg(44100, 2, test::Tone(44100, 2, 1.0)));
        files.Add("se.wav", test::SilentWav(0.2));
        sound = std::make_unique<TSound>(dev, files.Files(), clock, 0x8000);
        RegisterSoundCommands(reg, *sound);
    }
    bool Run(uint8_t kind, std::string_view object, std::initializer_list<std::string> f) {
        c.Set(f);
        return (*reg.Find(kind))(c, object);
    }
};

TEST(SoundChannelOf, Names) {
    EXPECT_EQ(SoundChannelOf("snd,3"), 3);
    EXPECT_EQ(SoundChannelOf("dsnd, 14"), 14);
    EXPECT_EQ(SoundChannelOf("snd"), -1);
    EXPECT_EQ(SoundChannelOf("snd,x"), -1);
}

TEST_F(SoundWords, StreamWords) {
    EXPECT_TRUE(Run(kKindSound, "snd,2", {"l", "\"bgm.ogg\""}));
    EXPECT_TRUE(c.errors.empty());
    EXPECT_EQ(c.skips, 1);
    Run(kKindSound, "snd,2", {"p", "1"});
    Run(kKindSound, "snd,2", {"gp"});
    EXPECT_EQ(c.ints[0], 3);
    EXPECT_EQ(c.strs[0], "LoopPlay");
    Run(kKindSound, "snd,2", {"?p"});
    EXPECT_EQ(c.ints[0], 2);
    Run(kKindSound, "snd,2", {"s", "1"});  // pauses
    Run(kKindSound, "snd,2", {"?p"});
    EXPECT_EQ(c.ints[0], 0);
    Run(kKindSound, "snd,2", {"v", "100", "0"});
    Run(kKindSound, "snd,2", {"gv"});
    EXPECT_EQ(c.ints[0], 100);
    Run(kKindSound, "snd,2", {"tt"});
    EXPECT_NEAR(c.ints[0], 1000, 2);
    Run(kKindSound, "snd,2", {"agc", "128"});
    Run(kKindSound, "snd,2", {"?agc"});
    EXPECT_EQ(c.ints, (std::vector<int32_t>{128, 255, 50, 7}));
    Run(kKindSound, "snd,2", {"agc", "0", "1", "1", "1"});
    Run(kKindSound, "snd,2", {"?agc"});
    EXPECT_EQ(c.ints, (std::vector<int32_t>{0, 0, 0, 0}));
    // Ten equalizer fields: the words read past the padded nine safely.
    Run(kKindSound, "snd,2", {"eq", "255", "0", "0", "255", "0", "0", "0", "0", "0", "0"});
    // "sw" clamps both channels to the set: 99 is the last channel.
    Run(kKindSound, "snd,0", {"sw", "2", "99"});
    Run(kKindSound, "snd,15", {"?l"});
    EXPECT_EQ(c.strs[0], "bgm.ogg");
    EXPECT_FALSE(Run(kKindSound, "snd,15", {"zz"}));
}

TEST_F(SoundWords, LoadFailureIsReported) {
    Run(kKindSound, "snd,1", {"l", "\"none.ogg\""});
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_NE(c.errors[0].find("none.ogg"), std::string::npos);
    Run(kKindDirectSound, "dsnd,1", {"l", "\"bgm.wav\""});
    EXPECT_EQ(c.errors.size(), 2u);
    EXPECT_EQ(c.skips, 2);
}

TEST_F(SoundWords, EffectWordsAndChannelsOutsideTheSet) {
    Run(kKindDirectSound, "dsnd,4", {"l", "\"se.wav\""});
    EXPECT_TRUE(c.errors.empty());
    Run(kKindDirectSound, "dsnd,4", {"mv", "90"});
    Run(kKindDirectSound, "dsnd,4", {"p", "1"});
    Run(kKindDirectSound, "dsnd,4", {"gp"});
    EXPECT_EQ(c.strs[0], "LoopPlay");
    Run(kKindDirectSound, "dsnd,4", {"?v"});
    EXPECT_EQ(c.ints[0], 90);
    // "?l" and "?p" answer as on a stream channel.
    Run(kKindDirectSound, "dsnd,4", {"?p"});
    EXPECT_EQ(c.ints[0], 2);
    Run(kKindDirectSound, "dsnd,4", {"?l"});
    EXPECT_EQ(c.strs[0], "se.wav");
    for (std::string_view name : {"dsnd,15", "dsnd"}) {
        Run(kKindDirectSound, name, {"p", "1"});
        Run(kKindDirectSound, name, {"?v"});
        EXPECT_EQ(c.ints[0], 255);
        Run(kKindDirectSound, name, {"?p"});
        EXPECT_EQ(c.ints[0], 0);
    }
    Run(kKindSound, "snd,16", {"?v"});
    EXPECT_EQ(c.ints[0], 255);
    Run(kKindSound, "snd,16", {"?sk"});
    EXPECT_EQ(c.ints[0], 0);
}

}  // namespace
}  // namespace zel
