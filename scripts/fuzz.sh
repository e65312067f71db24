#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build/fuzz) and runs them.
#   scripts/fuzz.sh [TARGET|all] [SECONDS]
# TARGET is a name from fuzz/CMakeLists.txt without the zel_fuzz_ prefix
# ("pack", "image_png" ...); all (the default) runs every target in turn, each
# for SECONDS (default 60). New inputs go to build/fuzz/corpus/TARGET; the
# seeds in fuzz/corpus/TARGET are read as well. A crash, an input that takes
# over a second, a leak or an allocation over 256 MiB stops the target and
# leaves the input in build/fuzz/artifacts/TARGET/.
# Environment: ZEL_FUZZ_RUNS caps the inputs per target (default: no cap);
# ZEL_FUZZ_NO_BUILD=1 skips the build; ZEL_FUZZ_ARGS adds libFuzzer flags.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
target=${1:-all}
seconds=${2:-60}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi
if [ "${ZEL_FUZZ_NO_BUILD:-0}" != 1 ]; then
  if [ "$target" = all ]; then build_target=zel_fuzz_all; else build_target=zel_fuzz_$target; fi
  scripts/build.sh fuzz "$build_target" || exit 2
fi

bin=$root/build/fuzz/fuzz
if [ "$target" = all ]; then
  targets=()
  for f in "$bin"/zel_fuzz_*; do
    name=${f##*/zel_fuzz_}
    case $name in make_*) continue ;; esac
    [ -x "$f" ] && targets+=("$name")
  done
else
  targets=("$target")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
summary=()
for t in "${targets[@]}"; do
  exe=$bin/zel_fuzz_$t
  if [ ! -x "$exe" ]; then
    echo "fuzz: no target $t" >&2
    failed=$((failed + 1)); continue
  fi
  work=$root/build/fuzz/corpus/$t
  artifacts=$root/build/fuzz/artifacts/$t
  seeds=$root/fuzz/corpus/$t
  log=$root/build/fuzz/logs/$t.log
  mkdir -p "$work" "$artifacts" "$seeds" "$(dirname "$log")"
  args=(-max_total_time="$seconds" -timeout=1 -malloc_limit_mb=256 -rss_limit_mb=2048
        -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ -n "${ZEL_FUZZ_RUNS:-}" ] && args+=(-runs="$ZEL_FUZZ_RUNS")
  [ -f "$root/fuzz/dict/$t.dict" ] && args+=(-dict="$root/fuzz/dict/$t.dict")
  # shellcheck disable=SC2206
  [ -n "${ZEL_FUZZ_ARGS:-}" ] && args+=($ZEL_FUZZ_ARGS)
  echo "fuzz: $t for ${seconds}s"
  start=$(date +%s)
  nice -n 10 "$exe" "${args[@]}" "$work" "$seeds" >"$log" 2>&1
  rc=$?
  took=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ $rc -eq 0 ]; then result=ok; else result="FOUND (see $log)"; failed=$((failed + 1)); fi
  summary+=("$(printf '%-16s %12s inputs %6ss  %s' "$t" "${runs:-?}" "$took" "$result")")
  if [ $rc -ne 0 ]; then grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -5; fi
done

echo
printf '%s\n' "${summary[@]}"
[ $failed -eq 0 ]
