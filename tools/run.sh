#!/usr/bin/env bash
# Starts the program on the virtual keyboard, with portmux-sim's server (unless one answers already) so
# that tarvikctl and portmux-sim's verbs used beside the program see the same keyboard. The server this
# script started ends with the program. Arguments go to the program ("/Start", "/Kill").
set -euo pipefail
bin=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/bin
export PORTMUX_BACKEND=sim
if ! "$bin/portmux-sim" status >/dev/null 2>&1; then
  "$bin/portmux-sim" serve 2>/dev/null &
  server=$!
  trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
  # The program would take a keyboard of its own if it started before the server listens.
  for _ in $(seq 100); do
    "$bin/portmux-sim" status >/dev/null 2>&1 && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
  done
fi
"$bin/tarvik" "$@"
