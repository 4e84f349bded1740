#!/usr/bin/env bash
# Configures and builds one tree. Usage: build.sh DIR [cmake options...]
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/.." && pwd)
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
[ -f "$top/$dir/CMakeCache.txt" ] && gen=()
cmake -S "$top" -B "$top/$dir" "${gen[@]}" "$@" >/dev/null
cmake --build "$top/$dir" -j "$(nproc)" ${KORU_TARGET:+--target "$KORU_TARGET"}
