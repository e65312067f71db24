#include "scriptdata/SoundCommands.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/Errors.h"
#include "base/Sjis.h"
#include "scriptdata/ObjectCommands.h"
#include "sound/Sound.h"

namespace zel {

int32_t SoundChannelOf(std::string_view name) {
    const size_t comma = name.find(',');
    if (comma == std::string_view::npos) return -1;
    std::string_view n = TrimBlanks(name.substr(comma + 1));
    int32_t v = -1;
    const auto r = std::from_chars(n.data(), n.data() + n.size(), v);
    return r.ec == std::errc() && r.ptr == n.data() + n.size() ? v : -1;
}

namespace {

const char* const kStateWords[] = {"NoFile", "Stop", "Play", "LoopPlay"};

void StateResult(ICommandContext& c, uint8_t state) {
    state = std::min<uint8_t>(state, 3);
    c.SetResultInt(state);
    c.SetResultStr(kStateWords[state]);
}

// 0 no file or stopped, 1 playing, 2 looping.
int32_t PlayingCode(uint8_t state) { return state == psPLAY ? 1 : state == psLOOP ? 2 : 0; }

void Query(ICommandContext& c, int32_t v) {
    c.ClearResults();
    c.SetResultInt(v);
}

// Resolves and loads; reports a failure with the resolved name.
template <class LoadFn>
void LoadCommand(ICommandContext& c, const char* failure, LoadFn load) {
    const std::string asked = c.StrArg(1);
    std::string file = c.ResolvePath(asked, true);
    if (file.empty()) file = asked;
    try {
        if (!load(file)) c.ReportError(Sj(failure) + file);
    } catch (const EZelError& e) {
        c.ReportError(Sj(failure) + file + " (" + e.what() + ")");
    }
    c.SkipTimeOnce();
}

bool StreamCommand(ICommandContext& c, TSSound& st, int32_t i) {
    auto arg = [&](size_t k) { return c.IntArg(k); };
    switch (c.Code()) {
        case Cmd("l"):
            LoadCommand(c, "\\l：サウンドデータのロードに失敗：", [&](const std::string& f) { return st.Load(i, f, 0, false, 0); });
            return true;
        case Cmd("i"): st.Clear(i); return true;
        case Cmd("p"): st.Play(i, arg(1) == 1); return true;
        case Cmd("s"):
            if (arg(1) == 0) st.Stop(i);
            else st.Pause(i);
            return true;
        case Cmd("v"): st.SetVolume(i, arg(1), arg(2)); return true;
        case Cmd("t"): st.SetGroup(i, arg(1)); return true;
        case Cmd("sk"): st.Seek(i, arg(1)); return true;
        case Cmd("sv"): st.SkipSilence(i, arg(1)); return true;
        case Cmd("agc"):
            if (!c.FieldEmpty(4)) st.SetAgc(i, arg(1), arg(2), arg(3), arg(4));
            else st.SetVoiceAgc(i, arg(1));
            return true;
        case Cmd("eq"): {
            int32_t a[11] = {};
            for (size_t k = 1; k <= 10; ++k) a[k] = arg(k);  // past the fields: 0
            if (c.FieldEmpty(7)) st.SetEqualizer(i, {a[1], a[2], a[3], a[4]}, a[5]);
            if (c.FieldEmpty(10)) st.SetEqualizer(i, {a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]}, a[9]);
            return true;
        }
        case Cmd("sw"): {
            const int32_t last = TSSound::kChannels - 1;
            st.Swap(std::clamp(arg(1), 0, last), std::clamp(arg(2), 0, last));
            return true;
        }
        case Cmd("gf"):
            c.SetResultInt(st.State(i) != psNONE ? 1 : 0);
            c.SetResultStr(st.FileName(i));
            return true;
        case Cmd("?l"):
            c.ClearResults();
            c.SetResultStr(st.FileName(i));
            return true;
        case Cmd("?p"): Query(c, PlayingCode(st.State(i))); return true;
        case Cmd("gp"): StateResult(c, st.State(i)); return true;
        case Cmd("?v"): Query(c, st.Volume(i)); return true;
        case Cmd("gv"):
            c.SetResultInt(st.TargetVolume(i));
            c.SetResultStr("");
            return true;
        case Cmd("?t"): Query(c, st.Group(i)); return true;
        case Cmd("?nv"): Query(c, static_cast<int32_t>(std::lround(st.Level(i, arg(1)) * 256))); return true;
        case Cmd("?nt"): Query(c, st.AudibleMs(i)); return true;
        case Cmd("?sk"): Query(c, st.DecoderMs(i)); return true;
        case Cmd("tt"):
        case Cmd("?tt"):
            c.ClearResults();
            [[fallthrough]];
        case Cmd("gt"):
            c.SetResultInt(st.TotalMs(i));
            c.SetResultStr("");
            return true;
        case Cmd("?agc"): {
            c.ClearResults();
            const auto v = st.Agc(i);
            for (int32_t k = 0; k < 4; ++k) c.SetResultInt(v[static_cast<size_t>(k)], k);
            return true;
        }
        default: return false;
    }
}

bool EffectCommand(ICommandContext& c, TDSound& se, int32_t i) {
    switch (c.Code()) {
        case Cmd("l"):
            LoadCommand(c, "\\l:サウンドデータのロードに失敗：", [&](const std::string& f) { return se.Load(i, f, 0, false, 2); });
            return true;
        case Cmd("i"): se.Clear(i); return true;
        case Cmd("p"): se.Play(i, c.IntArg(1) == 1, 0); return true;
        case Cmd("s"): se.Stop(i); return true;
        case Cmd("v"):
        case Cmd("mv"): se.SetVolume(i, c.IntArg(1)); return true;
        case Cmd("gf"): c.SetResultStr(se.FileName(i)); return true;
        case Cmd("?l"):
            c.ClearResults();
            c.SetResultStr(se.FileName(i));
            return true;
        case Cmd("gp"): StateResult(c, se.State(i)); return true;
        case Cmd("?p"): Query(c, PlayingCode(se.State(i))); return true;
        case Cmd("?v"):
        case Cmd("gv"): Query(c, se.Volume(i)); return true;
        default: return false;
    }
}

}  // namespace

void RegisterSoundCommands(TObjectCommandRegistry& registry, TSound& sound) {
    registry.Register(kKindSound, [&sound](ICommandContext& c, std::string_view name) {
        return StreamCommand(c, sound.Streams(), SoundChannelOf(name));
    });
    registry.Register(kKindDirectSound, [&sound](ICommandContext& c, std::string_view name) {
        return EffectCommand(c, sound.Effects(), SoundChannelOf(name));
    });
}

}  // namespace zel
