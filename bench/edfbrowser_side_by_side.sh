#!/usr/bin/env bash
# The window's first traces and peak memory, side by side with EDFbrowser, on
# the same generated 8-channel 1000 Hz EDF files (1 hour, 24 hours, 72 hours)
# under one Xvfb screen. Each program is started with the file named on its
# command line; the time runs from the start until the program has shown a
# window and then used no processor time for half a second (its first
# screen is drawn and it waits for the user), the memory is its peak
# resident set (VmHWM). EDFbrowser first asks which signals to show: the
# script answers "Add signal(s)" (all eight are ticked) and adds the time
# from the answer to its traces, not the time the question waited. The two run interleaved, the median of the
# repetitions is shown, and the ratios come from the one run.
#
#   bench/edfbrowser_side_by_side.sh [BUILD_DIR]          (default: build)
#   KORU_SIDE_LENGTHS="1h 24h" KORU_SIDE_REPS=3 bench/edfbrowser_side_by_side.sh
#
# Needs koruview and bench/scaling_bench built in BUILD_DIR (a GUI build with
# benchmarks). Installs edfbrowser, xvfb and xdotool where missing. Not part
# of the test command. The files go to a scratch folder under TMPDIR (the
# 72-hour one takes 4.2 GB) and are removed. A screenshot of each program's
# last start is kept in $KORU_SIDE_SHOTS (default /tmp) to look at.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != "--inner" ]; then
  build=$(cd "${1:-$top/build}" && pwd)
  need=()
  command -v edfbrowser >/dev/null || need+=(edfbrowser)
  command -v xvfb-run >/dev/null || need+=(xvfb xauth)
  command -v xdotool >/dev/null || need+=(xdotool)
  command -v import >/dev/null || need+=(imagemagick)
  if [ ${#need[@]} -gt 0 ]; then
    sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y "${need[@]}" || {
      "${sudo[@]}" apt-get update && "${sudo[@]}" apt-get install -y "${need[@]}"; }
  fi
  for f in "$build/src/gui/koruview" "$build/bench/scaling_bench"; do
    [ -x "$f" ] || { echo "missing $f: build with the GUI and benchmarks" >&2; exit 2; }
  done
  # A display number of its own: other runs on the machine start at 99.
  exec xvfb-run -a -n $((200 + RANDOM % 700)) -s "-screen 0 1920x1080x24" "$0" --inner "$build"
fi

build=$2
koruview=$build/src/gui/koruview
writer=$build/bench/scaling_bench
lengths=${KORU_SIDE_LENGTHS:-1h 24h 72h}
reps=${KORU_SIDE_REPS:-5}
shots=${KORU_SIDE_SHOTS:-/tmp}
dir=$(mktemp -d "${TMPDIR:-/tmp}/koru-side-XXXXXX")
trap 'rm -rf "$dir"' EXIT
# Both programs start from no settings of their own.
export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config
mkdir -p "$XDG_CONFIG_HOME"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo gone; }

# settle PID: waits until the process has used no processor time for half
# a second; sets `settled` to the time of its last use.
settle() {
  local last cpu t
  last=$(cpu_ticks "$1"); settled=$(now_ms)
  while :; do
    sleep 0.02
    cpu=$(cpu_ticks "$1"); t=$(now_ms)
    [ "$cpu" = gone ] && { echo "the program exited" >&2; exit 1; }
    if [ "$cpu" != "$last" ]; then last=$cpu; settled=$t; fi
    [ $((t - settled)) -ge 500 ] && return
  done
}

# measure NAME DIALOG COMMAND...: prints "MS KB". DIALOG names a window the
# program asks in before it draws traces (empty: none); it is answered with
# Alt+A ("Add signal(s)"), and only the program's own time counts, not the wait.
measure() {
  local name=$1 dialog=$2; shift 2
  local start pid busy t w
  start=$(now_ms)
  "$@" >/dev/null 2>"$dir/$name.err" &
  pid=$!
  until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || {
      echo "$name exited before showing a window:" >&2; cat "$dir/$name.err" >&2; exit 1; }
    sleep 0.01
  done
  settle "$pid"
  busy=$((settled - start))
  if [ -n "$dialog" ]; then
    w=$(xdotool search --onlyvisible --pid "$pid" --name "$dialog" | head -1)
    [ -n "$w" ] || { echo "$name showed no \"$dialog\" window" >&2; exit 1; }
    t=$(now_ms)
    xdotool windowfocus --sync "$w" key alt+a
    settle "$pid"
    busy=$((busy + settled - t))
  fi
  local kb
  kb=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
  import -window root "$shots/side-by-side-$name.png" 2>/dev/null || true
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$busy $kb"
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

declare -A seconds=([1m]=60 [1h]=3600 [24h]=86400 [72h]=259200)
printf '%-5s %12s %12s %7s %12s %12s %7s\n' length "koru ms" "EDFbr ms" ratio "koru MB" "EDFbr MB" ratio
for len in $lengths; do
  file=$dir/rec-$len.edf
  "$writer" --write-edf "$file" "${seconds[$len]}"
  : >"$dir/k"; : >"$dir/e"
  for _ in $(seq "$reps"); do
    measure koruview "" "$koruview" "$file" >>"$dir/k"
    measure edfbrowser "Add signals" edfbrowser "$file" >>"$dir/e"
  done
  km=$(cut -d' ' -f1 "$dir/k" | median); kr=$(cut -d' ' -f2 "$dir/k" | median)
  em=$(cut -d' ' -f1 "$dir/e" | median); er=$(cut -d' ' -f2 "$dir/e" | median)
  awk -v l="$len" -v km="$km" -v em="$em" -v kr="$kr" -v er="$er" 'BEGIN {
    printf "%-5s %12d %12d %6.2fx %12.1f %12.1f %6.2fx\n", l, km, em, km / em,
      kr / 1024, er / 1024, kr / er }'
  rm -f "$file"
done
echo "ratio: koruview / EDFbrowser (below 1: koruview ahead)"
