#!/usr/bin/env bash
# Appends under fire, with the real `koru`: runs of `koru cut --append`
# killed with SIGKILL at random moments, and four run side by side. After
# every round the target must be what it was plus whole cutouts, each equal
# to the same cutout saved on its own; a killed append is undone by the next
# open (`koru info`) or the next append.
# Usage: append_stress.sh KORU [SECONDS]   (default 20 seconds)
set -euo pipefail
koru=$1
seconds=${2:-20}
work=$(mktemp -d "${TMPDIR:-/tmp}/koru-append-stress.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A three-channel recording: six-byte frames never line up with the
# writers' 64 KiB chunks, so a torn append shifts every later channel.
awk 'BEGIN {
  printf "Number of Channels: 3  Interval:1000\r\nScale: 1 1 1\r\nstress\r\n"
  for (i = 0; i < 200000; i++) printf "%d %d %d\r\n", i % 2000 - 1000, (i * 7) % 3000 - 1500, i % 97
}' >"$work/in.txt"
"$koru" convert "$work/in.txt" "$work/rec.sig"
three=(--channels 1,2,3)
"$koru" cut "$work/rec.sig" "$work/ref.sig" --from 0 --to 99999 "${three[@]}"
"$koru" cut "$work/rec.sig" "$work/target.sig" --from 0 --to 9 "${three[@]}"
header=326
cutout=$(($(stat -c %s "$work/ref.sig") - header))

appending=(cut --append "$work/rec.sig" "$work/target.sig" --from 0 --to 99999 "${three[@]}")
append() {
  "$koru" "${appending[@]}" 2>/dev/null
}

# The target is its first ten frames plus whole cutouts, or the round fails.
check() {
  local size first=$((header + 60)) k=0
  size=$(stat -c %s "$work/target.sig")
  if (((size - first) % cutout != 0)); then
    echo "append_stress: $1: $size bytes is no whole number of cutouts" >&2
    exit 1
  fi
  while ((first + k * cutout < size)); do
    if ! cmp -s -n "$cutout" -i "$((first + k * cutout)):$header" "$work/target.sig" "$work/ref.sig"; then
      echo "append_stress: $1: cutout $k differs from the reference" >&2
      exit 1
    fi
    k=$((k + 1))
  done
  # Kept small: a round that leaves whole cutouts starts the next one over.
  if ((k > 8)); then "$koru" cut "$work/rec.sig" "$work/target.sig" --from 0 --to 9 "${three[@]}"; fi
}

kills=0 parallel=0 interrupted=0
end=$((SECONDS + seconds))
while ((SECONDS < end)); do
  # Started directly, not through the function: $! must be koru itself, or
  # the kill hits a subshell and koru goes on appending behind the check.
  "$koru" "${appending[@]}" 2>/dev/null &
  pid=$!
  sleep "0.0$(printf %02d $((RANDOM % 60)))"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # Killed between its journal and its commit: the next open or append undoes it.
  if [ -e "$work/target.sig.appending" ]; then interrupted=$((interrupted + 1)); fi
  if ((kills % 2 == 0)); then
    "$koru" info "$work/target.sig" >/dev/null
  else
    append
  fi
  check "kill round $kills"
  kills=$((kills + 1))

  append & append & append & append &
  wait
  check "parallel round $parallel"
  parallel=$((parallel + 1))
done
leftover=$(find "$work" -name 'target.sig?*' | wc -l)
if ((leftover != 0)); then
  echo "append_stress: files left beside the target:" >&2
  find "$work" -name 'target.sig?*' >&2
  exit 1
fi
echo "append_stress: $kills kill rounds ($interrupted interrupted and undone) and $parallel" \
  "rounds of four appends, all whole"
