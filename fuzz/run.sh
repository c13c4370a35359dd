#!/usr/bin/env bash
# Long fuzzing runs, beyond the 20 s that CI gives each target: builds the sanitizer preset and runs every
# libFuzzer target for SECONDS (default 300) each, new inputs kept in build-asan/fuzz/work-NAME.
# Usage: fuzz/run.sh [SECONDS] [NAME...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-300}
shift || true
cmake --preset asan >/dev/null
cmake --build --preset asan
mapfile -t targets < <(find build-asan/fuzz -maxdepth 1 -type f -executable -printf '%f\n' | sort)
[ $# -gt 0 ] && targets=("$@")
for t in "${targets[@]}"; do
  corpus=$(find fuzz -type d -path "*/corpus/$t" | head -n 1)
  mkdir -p "build-asan/fuzz/work-$t"
  echo "=== $t for $seconds s (seeds: ${corpus:-none})"
  "build-asan/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=10 \
    -artifact_prefix="build-asan/fuzz/$t-" "build-asan/fuzz/work-$t" ${corpus:+"$corpus"}
done
