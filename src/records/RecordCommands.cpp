#include "records/RecordCommands.h"

#include <cmath>
#include <ctime>

#include "records/ZelRecords.h"
#include "records/ZelSaveData.h"
#include "script/ZelScriptLib.h"
#include "scriptdata/ObjectCommands.h"

namespace zel {

namespace {

// Year, month, day, hour, minute, second of a day count since 1899-12-30.
void SplitDays(double days, int32_t out[6]) {
    if (!std::isfinite(days) || days < -693593.0 || days > 2958466.0) days = 0;
    const double secs = std::floor((days - 25569.0) * 86400.0 + 0.5);
    const time_t t = static_cast<time_t>(secs);
    tm parts{};
    ::gmtime_r(&t, &parts);
    out[0] = parts.tm_year + 1900;
    out[1] = parts.tm_mon + 1;
    out[2] = parts.tm_mday;
    out[3] = parts.tm_hour;
    out[4] = parts.tm_min;
    out[5] = parts.tm_sec;
}

}  // namespace

void RegisterRecordCommands(TObjectCommandRegistry& registry, TZelRecords& own, TZelRecords* parent) {
    auto target = [&own, parent](ICommandContext& c) -> TZelRecords& {
        return parent && &c.TargetScript() != &own.Script() ? *parent : own;
    };
    registry.Register(kKindSaveData, [&own, target](ICommandContext& c, std::string_view) {
        const std::string name = c.StrArg(1);
        int32_t r = 0;
        switch (c.Code()) {
            case Cmd("s"): r = target(c).SaveGame(name, true); break;
            case Cmd("l"): r = target(c).RequestLoad(name); break;
            case Cmd("g"): {
                TZelRecords& rec = target(c);
                const auto path = rec.PathOf(name);
                TZelSaveData d(rec.Config().key);
                r = path && d.ReadFile(*path, false, false);
                break;
            }
            case Cmd("d"): r = target(c).DeleteSave(name); break;
            case Cmd("c"): {
                const auto path = own.PathOf(name);
                TZelSaveData d(own.Config().key);
                if (path && d.ReadFile(*path, true, true)) {
                    const std::string text = d.Text();
                    const double time = d.SaveTime();
                    const std::string thumb = d.ThumbnailBmp();
                    d.SetHeader(c.StrArg(2), c.StrArg(3), text, c.StrArg(4), c.StrArg(5), time);
                    d.SetThumbnailBmp(thumb);
                    std::string err;
                    r = d.WriteFile(*path, true, true, &err);
                    if (!r) c.ReportError(std::string("\\c:").append(err));
                }
                break;
            }
            case Cmd("gd"): {
                c.ClearResults();
                const auto path = own.PathOf(name);
                TZelSaveData d(own.Config().key);
                if (path && d.ReadFile(*path, false, false)) {
                    int32_t f[6];
                    SplitDays(d.SaveTime(), f);
                    for (int i = 0; i < 6; ++i) c.SetResultInt(f[i], i);
                    for (int i = 0; i < 4; ++i) c.SetResultStr(d.Name(i), i);
                }
                return true;
            }
            default: return false;
        }
        c.ClearResults();
        c.SetResultInt(r);
        return true;
    });
    registry.Register(kKindSystemData, [target](ICommandContext& c, std::string_view) {
        switch (c.Code()) {
            case Cmd("s"): target(c).SaveSystemData(c.StrArg(1)); return true;
            case Cmd("l"): target(c).LoadSystemData(c.StrArg(1)); return true;
            case Cmd("i"): target(c).Script().Calc().SystemStore().Clear(); return true;
            default: return false;
        }
    });
}

}  // namespace zel
