#!/usr/bin/env bash
# Builds the Debian package from a finished build folder and checks it: the desktop entry and metainfo
# validate, the package holds the install layout and nothing else, lintian finds no error, and the
# programs run from a throw-away root the package was unpacked into.
# Usage: packaging/check-package.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

app_id=io.github.tarvik.Tarvik
desktop-file-validate "$here/packaging/$app_id.desktop"
appstreamcli validate --no-net "$build/packaging/$app_id.metainfo.xml"

rm -f "$build"/tarvik_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$build"/tarvik_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no package"
deb=${debs[0]}

# The layout: what must be there (more with the programs other work adds), and nothing outside it.
dpkg-deb --contents "$deb" | awk '{ p = $6; for (i = 7; i <= NF; ++i) p = p " " $i; print p }' >"$work/contents"
expect=(
  "./usr/lib/tarvik/tarvikctl" "./usr/lib/tarvik/libportmux.so" "./usr/lib/tarvik/Skins/Main.ini"
  "./usr/lib/tarvik/Skins/main_normal@2x.jpg" "./usr/lib/tarvik/Skins/language.ini"
  "./usr/lib/tarvik/Help/index.html" "./usr/lib/tarvik/Package/"
  "./usr/bin/tarvikctl -> ../lib/tarvik/tarvikctl" "./usr/lib/udev/rules.d/70-tarvik.rules"
  "./usr/share/icons/hicolor/16x16/apps/$app_id.png" "./usr/share/icons/hicolor/512x512/apps/$app_id.png"
  "./usr/share/icons/hicolor/scalable/apps/$app_id.svg" "./usr/share/man/man1/tarvikctl.1.gz"
  "./usr/share/doc/tarvik/copyright" "./usr/share/doc/tarvik/changelog.gz"
)
for program in tarvik portmux-sim; do
  if [ -x "$build/bin/$program" ]; then
    expect+=("./usr/lib/tarvik/$program" "./usr/bin/$program -> ../lib/tarvik/$program"
             "./usr/share/man/man1/$program.1.gz")
  fi
done
if [ -x "$build/bin/tarvik" ]; then
  expect+=("./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml"
           "./usr/share/dbus-1/interfaces/io.github.tarvik.Tarvik1.xml"
           "./usr/share/tarvik/screenshots/main-window.png"
           "./usr/share/gnome-shell/extensions/tarvik-focus@tarvik.github.io/extension.js"
           "./usr/share/gnome-shell/extensions/tarvik-focus-legacy@tarvik.github.io/extension.js"
           "./usr/lib/tarvik/focus/tarvik-focus.js")
fi
for path in "${expect[@]}"; do
  grep -qxF -- "$path" "$work/contents" || fail "the package lacks $path"
done
allowed='^\./(usr/(lib/tarvik/.*|bin/(tarvik|tarvikctl|portmux-sim)( -> .*)?|lib/udev/rules\.d/70-tarvik\.rules'
allowed+='|share/applications/io\.github\.tarvik\.Tarvik\.desktop|share/metainfo/io\.github\.tarvik\.Tarvik\.metainfo\.xml'
allowed+='|share/dbus-1/interfaces/io\.github\.tarvik\.Tarvik1\.xml'
allowed+='|share/gnome-shell/extensions/tarvik-focus(-legacy)?@tarvik\.github\.io/(extension\.js|metadata\.json)'
allowed+='|share/icons/hicolor/[^/]+/apps/io\.github\.tarvik\.Tarvik\.(png|svg)|share/man/man1/(tarvik|tarvikctl|portmux-sim)\.1\.gz'
allowed+='|share/doc/tarvik/(copyright|changelog\.gz)|share/tarvik/screenshots/main-window\.png)|.*/)$'
if grep -vE "$allowed" "$work/contents" >"$work/stray"; then
  cat "$work/stray" >&2
  fail "files outside the install layout"
fi

lintian_ok=1
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || lintian_ok=0
grep -v 'running with root privileges' "$work/lintian" || true
[ "$lintian_ok" = 1 ] || fail "lintian reports errors"

# Unpacked into a throw-away root, the links find the program folder and the library beside them.
dpkg -x "$deb" "$work/root"
mkdir -p "$work/home/run"
chmod 700 "$work/home/run"
run() {
  env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_STATE_HOME="$work/home/.local/state" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_RUNTIME_DIR="$work/home/run" PORTMUX_BACKEND=sim PORTMUX_SIM_STATE= "$@"
}
run "$work/root/usr/bin/tarvikctl" --help >"$work/help" || fail "tarvikctl --help failed"
grep -q '^Usage: tarvikctl' "$work/help" || fail "tarvikctl --help printed no usage"
run "$work/root/usr/bin/tarvikctl" status --json >"$work/status" || fail "tarvikctl status failed"
grep -q '"attached": true' "$work/status" || fail "the unpacked tarvikctl found no virtual keyboard: $(cat "$work/status")"

echo "check-package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
echo "check-package: Depends: $(dpkg-deb -f "$deb" Depends)"
