#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs
# each for SECONDS (default 60) on its seeds in fuzz/corpus/<target>/.
# New inputs go to build-fuzz/corpus/<target>/, so the kept seeds stay as
# they are; a finding is saved under build-fuzz/findings/<target>/ and its
# path printed, and the script then fails.
# Usage: fuzz.sh [SECONDS] [TARGET...]   (targets by name, e.g. paint_fuzz)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$top/build-fuzz"
gen=()
command -v ninja >/dev/null && [ ! -f "$build/CMakeCache.txt" ] && gen=(-G Ninja)
launcher=()
if command -v ccache >/dev/null; then  # as in build.sh
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$top}
fi
cmake -S "$top" -B "$build" "${gen[@]}" "${launcher[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DKORU_BUILD_FUZZ=ON -DKORU_BUILD_GUI=OFF -DKORU_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target koru_fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$top"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi
# The targets' scratch folders, in memory where there is /dev/shm; gone
# when the script ends, whatever a target left after a crash.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm="${TMPDIR:-/tmp}"
KORU_FUZZ_SCRATCH=$(mktemp -d "$shm/koru-fuzz-run.XXXXXX")
export KORU_FUZZ_SCRATCH
trap 'rm -rf "$KORU_FUZZ_SCRATCH"' EXIT
# One target: its summary on stdout; a finding fails it.
fuzz_one() {
  local t=$1 name=${1%_fuzz}
  local seeds="$top/fuzz/corpus/$name" work="$build/corpus/$name"
  local findings="$build/findings/$name" log="$build/findings/$name.log"
  mkdir -p "$work" "$findings"
  echo "fuzzed $name for ${seconds}s"
  # Hangs and runaway memory are findings too.
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$work" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log"
    for f in "$findings"/*; do [ -f "$f" ] && echo "FINDING in $name: $f"; done
    echo "  reproduce: $build/fuzz/$t <file>"
    return 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  /" || true
}

# The targets run side by side, one a core, each for its full time; their
# summaries are printed in order once all are done.
out="$KORU_FUZZ_SCRATCH/summaries"
mkdir -p "$out"
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$(nproc)" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  (fuzz_one "$t" >"$out/$t" 2>&1 || touch "$out/$t.failed") &
  running=$((running + 1))
done
wait
failed=()
for t in "${targets[@]}"; do
  if [ -f "$out/$t.failed" ]; then
    cat "$out/$t" >&2
    failed+=("${t%_fuzz}")
  else
    cat "$out/$t"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing found nothing."
