#!/usr/bin/env bash
# Installs dependencies, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
cd build/asan
ctest --output-on-failure -j "$(nproc)" --timeout 600 2>&1 | tee ctest.log
# A test that skips (a tool or a test file missing) is a failure here: it
# would otherwise vanish quietly on a bare machine.
if grep -E '\*\*\*Skipped|\[  SKIPPED \]' ctest.log; then
  echo "test.sh: the tests above were skipped; install what they need (scripts/install-deps.sh)" >&2
  exit 1
fi
# The test programs that start threads (the sound workers) run again under
# ThreadSanitizer.
(cd ../.. && ./scripts/build.sh tsan zel_sound_tests)
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} ../tsan/tests/zel_sound_tests
if [ -x ../../scripts/fuzz-smoke.sh ]; then ../../scripts/fuzz-smoke.sh; fi
