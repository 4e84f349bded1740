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
cmake -S "$top" -B "$build" "${gen[@]}" -DCMAKE_CXX_COMPILER=clang++ -DKORU_BUILD_FUZZ=ON \
  -DKORU_BUILD_GUI=OFF -DKORU_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
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
failed=()
for t in "${targets[@]}"; do
  name=${t%_fuzz}
  seeds="$top/fuzz/corpus/$name"
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$work" "$findings"
  log="$build/findings/$name.log"
  echo "fuzzing $name for ${seconds}s"
  # Hangs and runaway memory are findings too.
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$work" "$seeds" >"$log" 2>&1; then
    failed+=("$name")
    tail -n 40 "$log" >&2
    for f in "$findings"/*; do [ -f "$f" ] && echo "FINDING in $name: $f" >&2; done
    echo "  reproduce: $build/fuzz/$t <file>" >&2
  else
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  /" || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing found nothing."
