#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and run the viewer.
# Does nothing when everything is already there.
set -euo pipefail
packages=(build-essential cmake ninja-build ccache pkg-config qt6-base-dev libgl-dev
          libgtest-dev libgmock-dev nlohmann-json3-dev libbenchmark-dev libcli11-dev xvfb xauth
          fonts-dejavu-core
          clang-format poppler-utils)
# The icon's renderer; the Debian package and its check: cpack's shlibdeps
# and file type look-ups, the desktop entry's validator.
packages+=(qt6-svg-dev dpkg-dev file desktop-file-utils)
# zlib, through which the PDF writer's deflate level is set.
packages+=(zlib1g-dev)
# The file type the desktop gives a recording: the MIME database and the
# tools that ask it as a file manager does.
packages+=(shared-mime-info xdg-utils libglib2.0-bin)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
packages+=(clang libclang-rt-dev)
# The mutation campaign and the corpus writer under fuzz/.
packages+=(python3)
# The reader of GDF and SCP-ECG recordings (EDF/BDF need no library), and
# the decoder of WFDB's FLAC signal files.
packages+=(libbiosig-dev libflac-dev)
# Independent readers the tests check written EDF+ and BDF+ files with.
packages+=(python3-mne libedf-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
# sudo starts the command with a clean environment: the front end is passed
# as an argument so that debconf never waits on the terminal.
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
