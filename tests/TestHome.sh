#!/bin/sh
# TestHome.sh BASE PROGRAM [ARGS...]
# Runs one test program with a fresh home folder per test case (named after --gtest_filter), so that
# cases running side by side never share settings, macro files or caches. The runtime folder stays
# per program: socket paths must remain short.
base=$1
shift
case_name=
for arg in "$@"; do
  case $arg in
    --gtest_filter=*) case_name=$(printf '%s' "${arg#--gtest_filter=}" | tr -c 'A-Za-z0-9._-' '_') ;;
  esac
done
home=$base
if [ -n "$case_name" ]; then
  home=$base/cases/$case_name
  if [ -d "$home" ]; then
    chmod -R u+rwX "$home" 2>/dev/null
    rm -rf "$home"
  fi
fi
mkdir -p "$home" "$base/run" || exit 1
TARVIK_TEST_HOME=$home HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.local/state \
  XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$base/run exec "$@"
