#!/usr/bin/env bash
# Fuzzes every driver of tools/fuzz for the given seconds each (default 60),
# two drivers at a time, each on one core.
#
#   tools/fuzz/run.sh [seconds] [driver...]
#
# Builds the drivers with clang 14 in build-fuzz/ (FUZZ_BUILD_DIR), installing
# clang and its sanitizer and libFuzzer runtimes from Debian when missing. Each driver grows its own corpus in
# build-fuzz/fuzz/corpus/<driver>/, starting from tools/fuzz/<driver>/seeds and
# crashers, with its dictionary. A driver that crashes, hangs or leaks is
# started again for the rest of its time, so every failing input is kept:
# build-fuzz/fuzz/findings/<date-time>/<driver>/ (crash-*, leak-*, timeout-*,
# oom-*), with the log in build-fuzz/fuzz/logs/<driver>.log. Once a fault is mended, move
# its input into tools/fuzz/<driver>/crashers/ so that the replay test keeps it
# mended. Prints each driver's executions, coverage (edges cov, features ft)
# and findings; exits 1 when there was any finding.
#
# FUZZ_WHOLE_TREE=1 builds every target of the clang tree, the program and the
# tests too, not only the drivers: CI does, so that a source clang cannot
# compile fails it. FUZZ_SEED fixes libFuzzer's seed, so a short run tries the
# same inputs every time.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD

SECONDS_EACH=${1:-60}
shift || true
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
PARALLEL=${FUZZ_PARALLEL:-2}
HANG_SECONDS=${FUZZ_HANG_SECONDS:-60}
if [ -n "${FUZZ_WHOLE_TREE:-}" ]; then
  TESTS=ON TARGET=all
else
  TESTS=OFF TARGET=fuzz_all
fi
SEED=()
[ -n "${FUZZ_SEED:-}" ] && SEED=(-seed="$FUZZ_SEED")

scripts/install-deps.sh clang-14 libclang-rt-14-dev
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DSTATION_FUZZ=ON -DSTATION_TESTS="$TESTS" >/dev/null
cmake --build "$BUILD" -j "${JOBS:-2}" --target "$TARGET"

if [ $# -gt 0 ]; then
  DRIVERS=("$@")
else
  mapfile -t DRIVERS < <(find "$BUILD/tools/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' \
    | sed 's/^fuzz_//' | sort)
fi

OUT=$BUILD/fuzz
FINDINGS=$OUT/findings/$(date +%Y%m%d-%H%M%S)
mkdir -p "$OUT/logs"
# Files go to memory where there is some: the drivers write and sync many.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=0
export LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_LOGGING_RULES="qt.qpa.*=false"

# Runs one driver for its time, starting it again after each finding.
fuzz_one() {
  local name=$1 dir=tools/fuzz/$1
  local corpus=$OUT/corpus/$name findings=$FINDINGS/$name log=$OUT/logs/$name.log
  mkdir -p "$corpus" "$findings"
  : >"$log"
  local dict=() inputs=("$corpus" "$dir/seeds")
  [ -f "$dir/$name.dict" ] && dict=(-dict="$dir/$name.dict")
  [ -d "$dir/crashers" ] && inputs+=("$dir/crashers")
  local deadline=$((SECONDS + SECONDS_EACH)) left
  while left=$((deadline - SECONDS)) && [ "$left" -gt 0 ]; do
    echo "=== run for ${left} s" >>"$log"
    "$BUILD/tools/fuzz/fuzz_$name" -max_total_time="$left" -timeout="$HANG_SECONDS" -print_final_stats=1 \
      -close_fd_mask=1 -artifact_prefix="$findings/" "${SEED[@]}" "${dict[@]}" "${inputs[@]}" >>"$log" 2>&1 || true
  done
}

running=0
for name in "${DRIVERS[@]}"; do
  if [ "$running" -ge "$PARALLEL" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  echo "fuzzing $name for $SECONDS_EACH s"
  fuzz_one "$name" &
  running=$((running + 1))
done
wait || true

set +e +o pipefail
status=0
failed=()
printf '\n%-18s %12s %8s %8s %8s %8s %8s\n' driver executions cov ft crashes hangs reports
for name in "${DRIVERS[@]}"; do
  log=$OUT/logs/$name.log findings=$FINDINGS/$name
  execs=$(grep -h '^stat::number_of_executed_units:' "$log" | awk '{s += $2} END {print s + 0}')
  cov=$(grep -ho 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2 + 0}')
  ft=$(grep -ho 'ft: [0-9]*' "$log" | tail -1 | awk '{print $2 + 0}')
  crashes=$(find "$findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' \) | wc -l)
  hangs=$(find "$findings" -type f -name 'timeout-*' | wc -l)
  reports=$(grep -cE 'ERROR: (Address|Leak|Undefined|Thread)Sanitizer|runtime error:|ERROR: libFuzzer' "$log")
  printf '%-18s %12s %8s %8s %8s %8s %8s\n' "$name" "$execs" "${cov:-0}" "${ft:-0}" "$crashes" "$hangs" "$reports"
  if [ "$crashes" -gt 0 ] || [ "$hangs" -gt 0 ] || [ "$reports" -gt 0 ]; then
    status=1
    failed+=("$name")
  fi
done
# The first lines of each failing driver's reports: a CI log is all its reader has.
for name in "${failed[@]}"; do
  echo "--- $name"
  grep -m 8 -E 'FUZZ CHECK FAILED|ERROR: |SUMMARY: |runtime error:' "$OUT/logs/$name.log"
done
[ "$status" -eq 0 ] || echo "findings: $FINDINGS, logs: $OUT/logs"
exit $status
