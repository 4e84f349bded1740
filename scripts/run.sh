#!/usr/bin/env bash
# Builds the viewer and starts it on the bundled example recording.
# Extra arguments go to the program (for example --screen 1280x800).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
KORU_TARGET=koruview "$top/scripts/build.sh" build


if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$top/build/src/gui/koruview" "$@" "$top/examples/ptb_s0010_8lead.sig"
fi
exec "$top/build/src/gui/koruview" "$@" "$top/examples/ptb_s0010_8lead.sig"
