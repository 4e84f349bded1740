#!/usr/bin/env bash
# Makes the Debian package from a built tree, unpacks it into a scratch root
# (no root needed) and uses the installed programs there as a user would:
# version, help, the batch tool on the example, a headless render with a
# fresh HOME. Checks that the settings go to that HOME's config folder and
# that nothing is written beside the programs. Usage: package_check.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
say() { echo "package check: $*"; }
fail() {
  echo "package check FAILED: $*" >&2
  exit 1
}

rm -f "$build"/koruview_*.deb
(cd "$build" && cpack -G DEB >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log" >&2; fail "cpack"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$build/koruview_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in $build"
say "$(basename "$deb"), $(stat -c %s "$deb") bytes"

# The dependencies come from the linked libraries, and apt can satisfy them.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
apt-get install -s --no-install-recommends "$deb" >"$scratch/apt.log" 2>&1 ||
  { cat "$scratch/apt.log" >&2; fail "apt cannot install the package"; }

root="$scratch/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
for f in bin/koruview share/applications/koruview.desktop share/doc/koruview/koruview.html \
         share/doc/koruview/copyright share/koruview/ptb_s0010_8lead.sig share/koruview/ptb_s0010_8lead.cfg \
         share/icons/hicolor/scalable/apps/koruview.svg share/man/man1/koruview.1.gz \
         share/mime/packages/koruview.xml; do
  [ -f "$usr/$f" ] || fail "missing /usr/$f"
done
for size in 48 256; do
  file "$usr/share/icons/hicolor/${size}x${size}/apps/koruview.png" |
    grep -q "PNG image data, $size x $size" || fail "no ${size}x${size} PNG icon"
done
desktop-file-validate "$usr/share/applications/koruview.desktop" || fail "desktop entry"
grep -qx 'Exec=koruview %f' "$usr/share/applications/koruview.desktop" || fail "Exec line"
zcat "$usr/share/man/man1/koruview.1.gz" | grep -q '^\.SH NAME' || fail "man page"

# The desktop types a recording as the viewer's, not as a signature file,
# whatever its name: a MIME database of the system's types and the
# package's, built in the scratch root and asked through xdg-mime.
mime="$scratch/mime-data"
mkdir -p "$mime/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$usr/share/mime/packages/koruview.xml" \
  "$mime/mime/packages/"
XDG_DATA_HOME="$mime" XDG_DATA_DIRS="$mime" update-mime-database "$mime/mime" ||
  fail "update-mime-database"
cp "$usr/share/koruview/ptb_s0010_8lead.sig" "$scratch/recording.sig"
cp "$usr/share/koruview/ptb_s0010_8lead.sig" "$scratch/recording"
printf -- '-----BEGIN PGP SIGNATURE-----\n\nAAAA\n-----END PGP SIGNATURE-----\n' >"$scratch/note.asc"
filetype() {
  env XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME="$mime" XDG_DATA_DIRS="$mime" \
    xdg-mime query filetype "$1"
}
for f in recording.sig recording; do
  type=$(filetype "$scratch/$f")
  [ "$type" = application/x-koruview-signal ] || fail "xdg-mime types $f as '$type'"
done
type=$(filetype "$scratch/note.asc")
[ "$type" = application/pgp-signature ] || fail "xdg-mime types a signature as '$type'"
say "a recording is application/x-koruview-signal, by name and by content"

# Run as a user would, with a home of its own and none of the variables that
# move the settings.
home="$scratch/home"
mkdir -p "$home"
find "$root" | sort >"$scratch/before"
run() { env -u KORUVIEW_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen "$@"; }
example="$usr/share/koruview/ptb_s0010_8lead.sig"

[ "$(run "$usr/bin/koruview" --version)" = "KORU VIEW $version" ] || fail "koruview --version"
run "$usr/bin/koruview" --help >"$scratch/help"
grep -qx "Settings folder: $home/.config/koruview" "$scratch/help" || fail "--help folder: $(cat "$scratch/help")"
guide=$(sed -n 's/^Help guide: //p' "$scratch/help")
[ "$guide" = "$usr/share/doc/koruview/koruview.html" ] && [ -f "$guide" ] || fail "help guide '$guide'"

if [ -x "$usr/bin/koru" ]; then
  run "$usr/bin/koru" info "$example" >"$scratch/info" || fail "koru info exited $?"
  grep -qx "Channels: 8" "$scratch/info" || fail "koru info: $(cat "$scratch/info")"
  [ -f "$usr/share/man/man1/koru.1.gz" ] || fail "missing /usr/share/man/man1/koru.1.gz"
  # GDF goes through the reader process installed in lib/koruview/.
  [ -x "$usr/lib/koruview/koru-reader" ] || fail "missing /usr/lib/koruview/koru-reader"
  gdf="$(dirname "$0")/../tests/data/peer/gdf/test_1ch.gdf"
  run "$usr/bin/koru" info "$gdf" >"$scratch/gdf" || fail "koru info on a GDF file exited $?"
  grep -qx "Frames: 4500" "$scratch/gdf" || fail "koru info on a GDF file: $(cat "$scratch/gdf")"
else
  say "no koru in the package: koru info skipped"
fi

run "$usr/bin/koruview" --render "$scratch/render.png" --screen 1024x768 "$example" \
  2>"$scratch/render.err" || fail "render: $(cat "$scratch/render.err")"
! grep -q WARNING "$scratch/render.err" || fail "render warned: $(cat "$scratch/render.err")"
file "$scratch/render.png" | grep -q "PNG image data, 1024 x 768" || fail "render picture"
ini="$home/.config/koruview/koruview.INI"
[ -f "$ini" ] || fail "no settings file at $ini"
grep -q "^VERSION=95.400" "$ini" || fail "settings file not upgraded"
find "$root" | sort >"$scratch/after"
diff "$scratch/before" "$scratch/after" >&2 || fail "the programs wrote into their install tree"
say "installed programs ran; settings in \$HOME/.config/koruview; install tree untouched"
