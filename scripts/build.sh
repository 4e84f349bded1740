#!/usr/bin/env bash
# Configures and builds one tree. Usage: build.sh DIR [cmake options...]
# Installs what the machine lacks first. Compiles go through ccache when it
# is there, so a tree built again (a second run, a fresh build folder)
# reuses what was compiled before.
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
[ -f "$top/$dir/CMakeCache.txt" ] && gen=()
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # Paths below the checkout are hashed relative to it: another clone hits too.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$top}
fi
cmake -S "$top" -B "$top/$dir" "${gen[@]}" "${launcher[@]}" "$@" >/dev/null
cmake --build "$top/$dir" -j "$(nproc)" ${KORU_TARGET:+--target "$KORU_TARGET"}
