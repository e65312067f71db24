// The end tests of the wait states, run by the frame loop before the next
// segment while the current routine waits.
#include "script/ZelScriptLib.h"

namespace zel {

namespace {

constexpr uint8_t kPsNone = 0, kPsStop = 1, kPsPlay = 2, kPsLoop = 3;

}  // namespace

void TZelScript::TestWait() {
    TScriptRoutine& r = Routine();
    TValue& g = calc_.GlobalStore();
    switch (r.waitState) {
        case wsStopEnding:
            // \play: the stop wait ends at once; what was left of it is told to
            // the script, the unused credit carries over to the next frame.
            g.WriteInteger("ResultStopInt", 0, r.waitTime);
            r.waitTime = 0;
            state_.elapsedCredit = static_cast<int32_t>(
                std::min<int64_t>(int64_t{state_.elapsedCredit} + std::max(r.creditTime, 0), INT32_MAX));
            r.creditTime = 0;
            r.waitState = wsRunning;
            break;
        case wsStop:
            if (r.waitTime == 0) {
                g.WriteInteger("ResultStopInt", 0, 0);
                r.waitState = wsRunning;
            } else if (!r.waitRoutineLabel.empty() && reader_.FindLabel(r.waitRoutineLabel) >= 0) {
                // Once a frame the wait routine runs as a subroutine; the wait
                // resumes when it returns (the frame's loop stops there).
                const std::string argument = r.waitArgument;
                const int32_t before = thread_.Count();
                const std::vector<std::string> none(19);
                if (Call(r.waitRoutineLabel, "self", none, 3)) Routine().waitArgument = argument;
                AfterRoutineChange(before);
            }
            break;
        case wsWait:
        case wsClick:
            if (r.waitTime == 0) r.waitState = wsRunning;
            break;
        case wsTime:
            if (state_.scriptClock >= r.waitTime) r.waitState = wsRunning;
            break;
        case wsSoundTime: {
            const uint8_t ps = services_.sound ? services_.sound->StreamState(r.soundChannel) : kPsNone;
            const int64_t heard =
                services_.sound ? int64_t{services_.sound->AudiblePositionMs(r.soundChannel)} * 1000 : 0;
            if (ps == kPsNone || ps == kPsStop || heard >= r.waitTime) r.waitState = wsRunning;
            break;
        }
        case wsMessage:
        case wsMessagePage: {
            const int s = objects_->MessageWindowState();
            r.waitState = s == 1 ? wsMessage : s == 2 ? wsMessagePage : wsRunning;
            break;
        }
        case wsButton:
            if (r.waitTime == 0) {
                g.WriteObjectName("ResultBtn", 0, "");
                g.WriteInteger("ResultBtnInt", 0, 0);
                g.WriteString("ResultBtnStr", 0, "");
                r.waitState = wsRunning;
            }
            break;
        case wsWave: {
            const uint8_t ps = services_.sound ? services_.sound->StreamState(r.soundChannel) : kPsNone;
            if (ps != kPsPlay && ps != kPsLoop) r.waitState = wsRunning;
            break;
        }
        default:
            // A state no command sets (a damaged save): run on.
            r.waitState = wsRunning;
            break;
    }
}

}  // namespace zel
