#!/usr/bin/env bash
# The whole test run: format check, the CI build with every test (the whole-program tests under Xvfb
# included), the Debian package built from it and checked, the sanitizer build with the fuzz targets,
# and the ThreadSanitizer build with the threaded device tests.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
start=$(date +%s)
stage() { echo; echo "=== $1 ($(( $(date +%s) - start )) s)"; }

stage "format"
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.c' 2>/dev/null || true)
if [ ${#files[@]} -gt 0 ]; then
  clang-format --dry-run -Werror "${files[@]}"
fi

stage "build and test (warnings are errors)"
cmake --workflow --preset ci

stage "Debian package"
bash packaging/check-package.sh build

stage "AddressSanitizer + UndefinedBehaviorSanitizer, fuzz targets"
cmake --workflow --preset asan

stage "ThreadSanitizer"
# Only the threaded test programs: the sanitizer finds nothing in code that runs on one thread.
cmake --preset tsan
cmake --build --preset tsan --target threaded_tests
ctest --preset tsan

stage "done"
