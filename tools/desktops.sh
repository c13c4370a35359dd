#!/usr/bin/env bash
# The whole-program scenarios on the heavy desktops (ctest label "desktops"), which CI's test run leaves
# out: installs their compositors when missing, builds the desks' test programs (each brings its tools and
# the programs it starts) in build/, runs them, and prints per desk which scenarios passed.
#
#   tools/desktops.sh        (as root, or with sudo for the packages)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"

# One test program per desk.
desks=(
  e2e_kwin_scenarios
  e2e_gnome_scenarios
)
packages=(
  kwin-wayland
  gnome-shell
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ -f build/build.ninja ] || cmake --preset ci
ninja -C build -j2 "${desks[@]}"

start=$(date +%s)
status=0
ctest --test-dir build -L desktops --output-on-failure || status=$?
echo "desktops: ctest took $(($(date +%s) - start)) s"

# Each desk's scenarios as gtest reported them, from ctest's log of this run.
log=build/Testing/Temporary/LastTest.log
for desk in "${desks[@]}"; do
  echo "== $desk"
  awk -v desk="$desk" '
    $0 ~ ("Test: " desk "$") { inside = 1; next }
    $0 ~ ("^\"" desk "\" end time") { inside = 0 }
    inside && /^\[ +(OK|FAILED|SKIPPED) +\] [A-Za-z0-9_]+\.[A-Za-z0-9_]+ \([0-9]+ ms\)/ { print "  " $0 }
    inside && /^\[ measured \]/ { print "  " $0 }
  ' "$log" || true
done
exit "$status"
