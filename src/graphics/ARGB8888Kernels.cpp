// Choice of the row-kernel table: the best the processor runs, unless the
// environment asks for another (ZEL_PIXEL_KERNELS=scalar|sse2|avx2), which
// helps to tell a kernel fault from a drawing fault on a player's machine.
#include <cstdlib>
#include <cstring>

#include "graphics/ARGB8888Kernels.h"

namespace zel {
namespace {

const TPixelKernels& TableFor(TKernelLevel level) {
    switch (level) {
        case TKernelLevel::Avx2:
            if (const TPixelKernels* t = Avx2Kernels()) return *t;
            return Sse2Kernels();
        case TKernelLevel::Sse2: return Sse2Kernels();
        case TKernelLevel::Scalar: break;
    }
    return ScalarKernels();
}

TKernelLevel LevelOf(const TPixelKernels& t) {
    if (&t == &ScalarKernels()) return TKernelLevel::Scalar;
    if (&t == &Sse2Kernels()) return TKernelLevel::Sse2;
    return TKernelLevel::Avx2;
}

TKernelLevel StartLevel() {
    const char* env = std::getenv("ZEL_PIXEL_KERNELS");
    if (env != nullptr) {
        if (std::strcmp(env, "scalar") == 0) return TKernelLevel::Scalar;
        if (std::strcmp(env, "sse2") == 0) return TKernelLevel::Sse2;
    }
    return BestKernelLevel();
}

// The table in use; set once at start-up, switched only by tests and benchmarks.
const TPixelKernels*& Active() {
    static const TPixelKernels* active = &TableFor(StartLevel());
    return active;
}

}  // namespace

TKernelLevel BestKernelLevel() { return Avx2Kernels() != nullptr ? TKernelLevel::Avx2 : TKernelLevel::Sse2; }

const TPixelKernels& ActiveKernels() { return *Active(); }

TKernelLevel SelectKernels(TKernelLevel level) {
    Active() = &TableFor(level);
    return LevelOf(*Active());
}

TKernelLevel ActiveKernelLevel() { return LevelOf(*Active()); }

}  // namespace zel
