#!/usr/bin/env bash
# Writes app/resident.order: the functions of the program that a hidden start runs (the tray icon, the
# link to the keyboard, the session-bus service, the hub and the window's shell). The program is linked
# with them first, side by side, so that a program that stays hidden keeps a few pages of its code in
# memory instead of nearly all of them (the kernel maps code in 64 KB runs around each page touched).
#
# Run it after a change to what the program does while hidden, and commit the file. A name that no
# longer exists is skipped by the linker; a function missing from the list only costs a page.
#
# Usage: tools/code-order.sh [build-folder]   (default build; needs valgrind, perf, Xvfb, openbox,
# trayer, xmessage and xdotool; about four minutes from nothing, two with a list to start from)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
program=$(realpath "$build/bin/tarvik")
out=app/resident.order
work=$(mktemp -d)
pids=()
cleanup() {
  pkill -KILL -f -- "--callgrind-out-file=$work/" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1600x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -t 10 display <&"$fd"
export DISPLAY=":$display"
# A window manager, a tray, and two windows to switch between: the program follows the window in front
# all day.
openbox >/dev/null 2>&1 &
pids+=($!)
trayer >/dev/null 2>&1 &
pids+=($!)
for w in one two; do
  xmessage -name "$w" -geometry +$((RANDOM % 400))+200 "$w" >/dev/null 2>&1 &
  pids+=($!)
done
switch_windows() {
  for _ in 1 2 3 4 5; do
    sleep 1
    for w in one two; do xdotool search --name "^$w\$" windowactivate >/dev/null 2>&1 || true; done
  done
}

mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_STATE_HOME="$work/home/.local/state" XDG_RUNTIME_DIR="$work/run"
export PORTMUX_BACKEND=sim PORTMUX_SIM_STATE=
unset DBUS_SESSION_BUS_ADDRESS

on_desk() { dbus-run-session -- "$@" >/dev/null 2>&1 || true; }

# 1. The functions a start runs, under callgrind. valgrind runs the program some fifty times slower, so
#    the keyboard's link times out there and what follows the keyboard's first read is missing: step 2
#    finds it. Skipped when the file exists, unless CODE_ORDER_FRESH=1.
if [ ! -s "$out" ] || [ "${CODE_ORDER_FRESH:-0}" = 1 ]; then
  : >"$out"
  seconds=${CODE_ORDER_SECONDS:-90}
  on_desk timeout -s KILL "$seconds" valgrind --tool=callgrind --demangle=no \
    --callgrind-out-file="$work/cg.%p" "$program" /Start &
  sleep $((seconds - 10))
  for f in "$work"/cg.*; do callgrind_control --dump "${f##*.}" >/dev/null || true; done
  sleep 5
  echo "callgrind: $(python3 tools/code_order.py callgrind "$program" "$work" "$out") functions"
fi

# 2. At full speed: the page faults in the program's code name the functions still outside the ordered
#    run; they join it and the program is linked again, until a hidden start faults there no more.
for round in $(seq 1 "${CODE_ORDER_ROUNDS:-12}"); do
  ninja -C "$build" bin/tarvik >/dev/null
  # With a session bus (the service, a StatusNotifier tray) and without one (what bench/app measures).
  : >"$work/faults.txt"
  for bus in on_desk env; do
    switch_windows &
    $bus timeout -s INT 12 perf record -q -e page-faults -c 1 -d -o "$work/faults" "$program" /Start \
      >/dev/null 2>&1 || true
    wait $!
    perf script -i "$work/faults" --show-mmap-events -F addr >>"$work/faults.txt" 2>/dev/null || true
  done
  nm -n --defined-only "$program" >"$work/symbols.txt"
  added=$(python3 tools/code_order.py faults "$program" "$work" "$out")
  echo "round $round: $added more"
  [ "$added" = 0 ] && break
done
ninja -C "$build" bin/tarvik >/dev/null
echo "$out: $(wc -l <"$out") functions"
