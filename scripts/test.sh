#!/usr/bin/env bash
# Builds everything and runs every test: the full build (core, windows,
# benchmarks compiled), the Debian package made from it and used from a
# scratch root, appends killed and run side by side, the core tests again
# under ASan and UBSan, and a short run of every fuzz target.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
# Formatting is part of the build's contract: any diff fails the run.
(cd "$top" && find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror)
"$top/scripts/build.sh" build -DKORU_BUILD_GUI=ON -DKORU_BUILD_BENCH=ON -DKORU_SANITIZE=OFF
(cd "$top/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
"$top/scripts/package_check.sh" "$top/build"
# Appends killed at random and run four at a time, with the real program.
"$top/scripts/append_stress.sh" "$top/build/src/cli/koru" 20
# Mutants of the real files of every format through koru: no death, no hang.
python3 "$top/fuzz/mutate_campaign.py" "$top/build/src/cli/koru" --count 300 --seed 1
"$top/scripts/build.sh" build-asan -DKORU_SANITIZE=ON -DKORU_BUILD_GUI=OFF -DKORU_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
(cd "$top/build-asan" && ctest --output-on-failure -j "$(nproc)")
# Every fuzz target for 20 seconds on its seeds; any finding fails the run.
"$top/scripts/fuzz.sh" 20
echo "All tests passed."
