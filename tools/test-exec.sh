#!/usr/bin/env bash
# Runs one test program of a build in the test environment CTest dealt its
# test to (cmake/TavrelTesting.cmake): the environment named by
# TAVREL_TEST_ENV (build/testenv-0 when unset), from that environment's copy
# of the build's bin/ folder, in the matching working folder.
#   test-exec.sh BUILD_DIR PROGRAM [ARGS...]
set -euo pipefail
build=${1:?build folder}; program=${2:?program}; shift 2
state=${TAVREL_TEST_ENV:-$build/testenv-0}
bin="$build/bin"
case "$program" in
  "$bin"/*) program="$state/bin/${program#"$bin"/}" ;;
esac
case "$PWD" in
  "$bin" | "$bin"/*) cd "$state/bin${PWD#"$bin"}" ;;
esac
exec "$(dirname "$0")/wineenv.sh" exec "$state" "$program" "$@"
