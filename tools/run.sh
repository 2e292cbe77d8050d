#!/usr/bin/env bash
# `make run`: starts Tavrel.exe in a Wine prefix of its own (build/run-env),
# with both filter libraries registered, from the program's folder. On the
# user's display when DISPLAY is set, otherwise on a private Xvfb screen.
# The prefix keeps Wine's links to the home folder, so the settings folder
# "Tavrel3" and the recordings land in the user's home.
#   tools/run.sh BUILD_ROOT            (BUILD_ROOT: e.g. build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "${1:-build}" && pwd)
arch=$("$here/tools/wineenv.sh" arch)
bin="$root/$arch/bin"
state="$root/run-env"
winearch=win64
[ "$arch" = i686 ] && winearch=win32
user_display=${DISPLAY:-}
[ -f "$bin/Tavrel.exe" ] || { echo "Tavrel.exe is not built in $bin" >&2; exit 1; }

WINEENV_HOME_LINKS=keep WINEENV_DISPLAY="$user_display" "$here/tools/wineenv.sh" start "$state" "$winearch"
trap '"$here/tools/wineenv.sh" stop "$state" >/dev/null 2>&1 || true' EXIT

# shellcheck disable=SC1091
. "$state/env.sh"
if [ -f "$here/tools/prepare-prefix.sh" ]; then
  # Both filter libraries and the stand-ins registered, lib\ffmpeg.exe in place.
  bash "$here/tools/prepare-prefix.sh" "$state" "$root/$arch"
else
  for lib in Pixenta.dll Audelo.dll; do
    "$here/tools/wineenv.sh" exec "$state" regsvr32 /s "$("$here/tools/wineenv.sh" exec "$state" winepath -w "$bin/$lib" 2>/dev/null)" >/dev/null 2>&1 ||
      echo "warning: $lib could not be registered" >&2
  done
fi
[ -f "$bin/lib/ffmpeg.exe" ] || echo "note: $bin/lib/ffmpeg.exe is missing; recordings cannot be converted" >&2

if [ -z "$user_display" ]; then
  echo "Tavrel runs on the private display $(cat "$state/display")."
  echo "Screenshot: tools/wineenv.sh screenshot $state shot.png"
fi
cd "$bin"
# With address-space randomisation off, as every program of the environment
# (see write_env in tools/wineenv.sh).
# shellcheck disable=SC2086
${WINEENV_LAUNCH:-} "$WINELOADER" Tavrel.exe
