#!/usr/bin/env bash
# Screenshots of the program for review: the main window expanded and
# collapsed, and the capture frame laid over another window (Wine's
# notepad), and the progress dialog. Runs on a private Xvfb screen of its own,
# at the screen resolution DPI (96 when not given).
#   tools/appshots/shots.sh BUILD_DIR OUT_DIR [DPI]   (BUILD_DIR: e.g. build/x86_64)
set -euo pipefail
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)
dpi=${3:-96}
env="$build/appshots-env-$dpi"
arch=win64
[ -f "$build/bin/Tavrel.exe" ] && [ -f "$build/bin/tavrel_shot_driver.exe" ] ||
  { echo "build the Tavrel and tavrel_shot_driver targets first" >&2; exit 1; }
file "$build/bin/Tavrel.exe" | grep -q 'x86-64' || arch=win32
wineenv="$here/tools/wineenv.sh"
WINEENV_LOGPIXELS=$dpi "$wineenv" start "$env" "$arch" >/dev/null
trap '"$wineenv" stop "$env" >/dev/null 2>&1 || true' EXIT
drive() { "$wineenv" exec "$env" "$build/bin/tavrel_shot_driver.exe" "$@"; }

(cd "$build/bin" && "$wineenv" exec "$env" Tavrel.exe) &
app=$!
drive wait
sleep 3
"$wineenv" screenshot "$env" "$out/main-expanded-$dpi.png" >/dev/null
drive toggle
sleep 2
"$wineenv" screenshot "$env" "$out/main-collapsed-$dpi.png" >/dev/null
drive progress
sleep 2
"$wineenv" screenshot "$env" "$out/progress-$dpi.png" >/dev/null
drive toggle
"$wineenv" exec "$env" notepad.exe &
pad=$!
sleep 5
drive frame Notepad
sleep 2
"$wineenv" screenshot "$env" "$out/capture-frame-$dpi.png" >/dev/null
kill "$pad" "$app" 2>/dev/null || true
wait 2>/dev/null || true
echo "saved $out/{main-expanded,main-collapsed,progress,capture-frame}-$dpi.png"
