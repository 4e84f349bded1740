#!/usr/bin/env bash
# Every option and subcommand the programs' --help texts name has its entry
# in the man pages, and every option the pages describe still exists.
# Usage: man_pages_test.sh KORUVIEW KORU MANDIR
set -euo pipefail
koruview=$1 koru=$2 man=$3
failed=0
miss() {
  echo "$1" >&2
  failed=1
}
# An option as a man page source writes it: every '-' escaped.
troff() { sed 's/-/\\-/g' <<<"$1"; }
options() { grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }

help=$(QT_QPA_PLATFORM=offscreen "$koruview" --help)
for opt in $(options <<<"$help"); do
  grep -qF -- "$(troff "$opt")" "$man/koruview.1.in" || miss "koruview.1 lacks $opt"
done
for opt in $(grep -o -- '\\-\\-[a-z][a-z0-9\\-]*' "$man/koruview.1.in" | sed 's/\\-/-/g' | sort -u); do
  grep -q -- "$opt\b" <<<"$help" || miss "koruview.1 describes $opt, which --help does not name"
done

help=$("$koru" --help)
subcommands=$(sed -n '/^Subcommands:/,$p' <<<"$help" | sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[ -n "$subcommands" ] || miss "koru --help names no subcommand: $help"
all=$(options <<<"$help")
for sub in $subcommands; do
  grep -qE "^\.BI? $sub( |\$)" "$man/koru.1.in" || miss "koru.1 lacks the subcommand $sub"
  all+=$'\n'$("$koru" "$sub" --help | options)
done
for opt in $(sort -u <<<"$all"); do
  grep -qF -- "$(troff "$opt")" "$man/koru.1.in" || miss "koru.1 lacks $opt"
done
for opt in $(grep -o -- '\\-\\-[a-z][a-z0-9\\-]*' "$man/koru.1.in" | sed 's/\\-/-/g' | sort -u); do
  grep -qx -- "$opt" <<<"$all" || miss "koru.1 describes $opt, which no --help names"
done
exit $failed
