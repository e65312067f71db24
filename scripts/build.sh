#!/usr/bin/env bash
# Configures and builds one build tree. Builds on this machine are serialised
# through a lock file, so two builds never compete for the cores.
#   scripts/build.sh asan|release|tsan|fuzz [ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-asan}; shift || true
case "$kind" in
  asan)    dir=build/asan;    flags=(-DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON -DZEL_BENCH=OFF) ;;
  release) dir=build/release; flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  tsan)    dir=build/tsan;    flags=(-DCMAKE_BUILD_TYPE=Debug -DZEL_TSAN=ON -DZEL_BENCH=OFF) ;;
  fuzz)    dir=build/fuzz;    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "usage: scripts/build.sh asan|release|tsan|fuzz [targets...]" >&2; exit 2 ;;
esac
jobs=${ZEL_JOBS:-$(nproc)}
exec 9>/tmp/zel-build.lock
flock 9
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "${flags[@]}"
fi
cmake --build "$dir" -j "$jobs" ${1:+--target "$@"}
