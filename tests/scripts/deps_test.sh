#!/usr/bin/env bash
# deps.sh hands apt-get the non-interactive front end, also through sudo,
# which starts its command with a clean environment. Runs deps.sh against
# stand-ins for dpkg-query (nothing installed), id, sudo and apt-get.
# Usage: deps_test.sh DEPS_SH
set -euo pipefail
deps=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bin="$scratch/bin"
mkdir -p "$bin"
cat >"$bin/dpkg-query" <<'END'
#!/bin/sh
exit 1
END
cat >"$bin/id" <<'END'
#!/bin/sh
echo "$FAKE_UID"
END
# As sudo's default env_reset does: only a few variables reach the command.
cat >"$bin/sudo" <<'END'
#!/bin/sh
exec env -i PATH="$PATH" APT_LOG="$APT_LOG" "$@"
END
cat >"$bin/apt-get" <<'END'
#!/bin/sh
echo "${DEBIAN_FRONTEND:-unset} $1" >>"$APT_LOG"
END
chmod +x "$bin"/*

failed=0
for uid in 1000 0; do
  log="$scratch/apt-$uid.log"
  env -u DEBIAN_FRONTEND PATH="$bin:$PATH" FAKE_UID=$uid APT_LOG="$log" bash "$deps" >/dev/null
  want=$'noninteractive update\nnoninteractive install'
  if [ "$(cat "$log")" != "$want" ]; then
    echo "as uid $uid apt-get ran as: $(cat "$log")" >&2
    failed=1
  fi
done
exit $failed
