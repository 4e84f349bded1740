#!/usr/bin/env bash
# Beat detection accuracy: runs `koru beats` on each MIT-BIH record and scores
# it beat by beat against the record's reference annotations with beatscore.py
# (150 ms window, the first five minutes not scored), printing per-record and
# gross figures.
# Usage: score_beats.sh [-k KORU] [RECORD.hea | FOLDER ...]
#   KORU    the batch tool (default build/src/cli/koru)
#   records default to the shared training records and tests' record 100;
#   a folder stands for every REC.hea in it that has a REC.atr.
# Extra options for beatscore.py (--min-se 99.8, ...) go in BEATSCORE_ARGS.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
koru=$top/build/src/cli/koru
if [ "${1:-}" = -k ]; then koru=$2; shift 2; fi
score=${BEATSCORE:-$top/../shared/tools/beatscore.py}
[ $# -eq 0 ] && set -- "$top/../shared/testdata/mitdb-train" "$top/tests/data/real/mitdb/100.hea"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p "$out/ref"
records=()
for arg in "$@"; do
    if [ -d "$arg" ]; then heads=("$arg"/*.hea); else heads=("$arg"); fi
    for hea in "${heads[@]}"; do
        rec=$(basename "$hea" .hea)
        dir=$(cd "$(dirname "$hea")" && pwd)
        [ -f "$dir/$rec.atr" ] && [ ! -e "$out/ref/$rec.hea" ] || continue
        if ! "$koru" beats "$dir/$rec.hea" --out "$out/$rec.txt" >/dev/null 2>"$out/err"; then
            echo "koru beats $dir/$rec.hea failed:" >&2
            cat "$out/err" >&2
            exit 1
        fi
        ln -s "$dir/$rec.hea" "$out/ref/$rec.hea"
        ln -s "$dir/$rec.atr" "$out/ref/$rec.atr"
        records+=("$rec")
    done
done
# shellcheck disable=SC2086
python3 "$score" --ref-dir "$out/ref" --test-dir "$out" ${BEATSCORE_ARGS:-} "${records[@]}"
