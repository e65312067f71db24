// The loop-tag parser of stream tracks on any comment text.
//
// Input: two bytes giving the sample rate for "*loopsample" (0 allowed), then
// the text of the COMMENT value.
#include <cmath>
#include <cstdint>

#include "FuzzSupport.h"
#include "sound/OggDataLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelfuzz::InputReader in(data, size);
    const double rate = in.U8() | in.U8() << 8;
    zel::TLoopSlots slots{};
    zel::ParseLoopTags(in.Rest(), rate, slots);
    for (const zel::TLoopSlot& s : slots)
        if (!std::isfinite(s.start) || !std::isfinite(s.trigger) || s.counter != 0) __builtin_trap();
    return 0;
}
