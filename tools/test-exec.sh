#!/usr/bin/env bash
# Runs one test program of a build in the test environment CTest dealt its
# test to (cmake/TavrelTesting.cmake): the environment named by
# TAVREL_TEST_ENV (build/testenv-0 when unset), from that environment's copy
# of the build's bin/ folder, in the matching working folder.
#   test-exec.sh BUILD_DIR PROGRAM [ARGS...]
# A program that ends with a failure gets one more line on its error output:
# its exit status and how long it ran, so that a failure that printed nothing
# itself (a program that never reached its main) still says what happened.
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
started=$(date +%s%N)
status=0
"$(dirname "$0")/wineenv.sh" exec "$state" "$program" "$@" || status=$?
if [ "$status" -ne 0 ]; then
  ms=$((($(date +%s%N) - started) / 1000000))
  echo "test-exec: $(basename "$program") ended with exit status $status after $ms ms (environment $state)" >&2
  if [ -f "$state/services.log" ]; then
    echo "test-exec: the last lines of $state/services.log:" >&2
    tail -n 5 "$state/services.log" >&2
  fi
fi
exit "$status"
