#!/usr/bin/env bash
# The fuzz smoke run of ./test.sh: builds the fuzz targets with clang and runs
# each over its corpus (every committed seed and regression input) and then a
# few seconds more, so a crash on a known input fails the run. Skips with a
# message when clang is missing.
# ZEL_FUZZ_SMOKE_SECONDS sets the seconds per target (default 4).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${ZEL_FUZZ_SMOKE_SECONDS:-4}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz-smoke: clang++ not found, fuzz targets not run"
  exit 0
fi
mkdir -p "$root/build"
if ! scripts/build.sh fuzz zel_fuzz_all >"$root/build/fuzz-smoke-build.log" 2>&1; then
  tail -40 "$root/build/fuzz-smoke-build.log"
  echo "fuzz-smoke: the fuzz targets do not build"
  exit 1
fi

export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0
for exe in "$root"/build/fuzz/fuzz/zel_fuzz_*; do
  t=${exe##*/zel_fuzz_}
  case $t in make_*) continue ;; esac
  [ -x "$exe" ] || continue
  mkdir -p "$scratch/$t"
  if [ ! -d "$root/fuzz/corpus/$t" ]; then
    failed=$((failed + 1))
    echo "fuzz-smoke: $t has no seed corpus (fuzz/corpus/$t): commit at least one seed"
    continue
  fi
  # A fixed seed makes the run the same on every machine (up to how far it
  # gets); an input is reported as a hang only past 10 s, so a loaded machine
  # does not fail it on an input that is merely slow there.
  args=(-max_total_time="$seconds" -seed=1 -timeout=10 -malloc_limit_mb=256 -rss_limit_mb=2048
        -artifact_prefix="$scratch/$t/")
  [ -f "$root/fuzz/dict/$t.dict" ] && args+=(-dict="$root/fuzz/dict/$t.dict")
  if "$exe" "${args[@]}" "$scratch/$t" "$root/fuzz/corpus/$t" >"$scratch/$t.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "fuzz-smoke: $t failed:"
    grep -E '^(==[0-9]+==ERROR|.*Test unit written|^Base64)' "$scratch/$t.log" | head -8
  fi
done
echo "fuzz-smoke: $passed passed, $failed failed"
[ $failed -eq 0 ]
