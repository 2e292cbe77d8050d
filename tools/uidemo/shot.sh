#!/usr/bin/env bash
# Runs the demo on a private Xvfb screen and saves a screenshot.
#   tools/uidemo/shot.sh BUILD_DIR OUT.png     (BUILD_DIR: e.g. build/x86_64)
set -euo pipefail
build=$(cd "$1" && pwd)
out=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
env="$build/uidemo-env"
arch=win64
[ -f "$build/bin/uidemo.exe" ] || { echo "build the uidemo target first" >&2; exit 1; }
file "$build/bin/uidemo.exe" | grep -q 'x86-64' || arch=win32
"$here/tools/wineenv.sh" start "$env" "$arch" >/dev/null
"$here/tools/wineenv.sh" exec "$env" "$build/bin/uidemo.exe" &
demo=$!
sleep 8
"$here/tools/wineenv.sh" screenshot "$env" "$out"
kill "$demo" 2>/dev/null || true
wait "$demo" 2>/dev/null || true
"$here/tools/wineenv.sh" stop "$env" >/dev/null
echo "saved $out"
