#!/usr/bin/env bash
# Prepares the Wine prefix of a tools/wineenv.sh environment for the program
# of one build: registers Pixenta, Audelo and WinePlatform (the stand-ins for
# the platform filters Wine lacks) with regsvr32, and puts the Windows FFmpeg
# of the build's architecture at lib\ffmpeg.exe of the program's working
# folder (the build's bin/). Where the kernel lets it mount a file system,
# it also gives the prefix a small drive Y: (a 4 MiB tmpfs in STATE_DIR,
# unmounted by wineenv.sh stop) for the tests of a drive that runs full,
# and a read-only drive X: (a tmpfs mounted read-only, where no file can be
# made) for the tests of a folder that cannot be written; those tests are
# skipped without them.
#   prepare-prefix.sh STATE_DIR BUILD_DIR [PROGRAM_DIR]
# PROGRAM_DIR: a copy of bin/ to make and register from instead (a test
# environment's own): the programs, libraries and the sound file of bin/ and
# its subfolders, hard-linked where the file system allows; what an earlier
# run left in it is removed first.
# The environment must have been started (wineenv.sh start STATE_DIR ...).
# Safe to run again.
set -euo pipefail

state=${1:?state folder of tools/wineenv.sh}; build=${2:?build folder}
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$build" && pwd)
bin="$build/bin"
program_dir=${3:-$bin}
wineenv="$here/wineenv.sh"

if grep -q 'x86_64-w64-mingw32' "$build/CMakeCache.txt" 2>/dev/null; then arch=x64; else arch=ia32; fi
bash "$here/fetch-ffmpeg.sh" "$arch" "$bin/lib/ffmpeg.exe" "$build/ffmpeg"

if [ "$program_dir" != "$bin" ]; then
  rm -rf "$program_dir"
  mkdir -p "$program_dir"
  program_dir=$(cd "$program_dir" && pwd)
  (cd "$bin" && find . -path './scratch_*' -prune -o -type f \( -iname '*.exe' -o -iname '*.dll' -o -iname '*.mp3' \) -print) |
    while IFS= read -r file; do
      mkdir -p "$program_dir/$(dirname "$file")"
      ln "$bin/$file" "$program_dir/$file" 2>/dev/null || cp "$bin/$file" "$program_dir/$file"
    done
fi

status=0
for library in Pixenta Audelo WinePlatform; do
  path="$program_dir/$library.dll"
  if [ ! -f "$path" ]; then
    echo "prepare-prefix: $path is missing (build it first)" >&2
    status=1
    continue
  fi
  # Each step says how it failed: the reason is otherwise lost.
  run_status=0
  windows_path=$("$wineenv" exec "$state" winepath -w "$path" </dev/null 2>"$state/winepath.err") || run_status=$?
  windows_path=${windows_path//$'\r'/}
  if [ "$run_status" -ne 0 ] || [ -z "$windows_path" ]; then
    echo "prepare-prefix: winepath $library.dll failed (exit status $run_status): $(cat "$state/winepath.err")" >&2
    status=1
    continue
  fi
  run_status=0
  "$wineenv" exec "$state" regsvr32 /s "$windows_path" </dev/null >"$state/regsvr32.out" 2>&1 || run_status=$?
  if [ "$run_status" -ne 0 ]; then
    echo "prepare-prefix: regsvr32 $library.dll failed (exit status $run_status): $(cat "$state/regsvr32.out")" >&2
    status=1
  fi
done
small="$state/small_drive"
prefix=$("$wineenv" shell "$state" sh -c 'printf %s "$WINEPREFIX"')
mkdir -p "$small"
if ! mountpoint -q "$small"; then
  mount -t tmpfs -o size=4m,mode=0777 tavrel_small_drive "$small" 2>/dev/null || true
fi
if mountpoint -q "$small"; then
  ln -sfn "$small" "$prefix/dosdevices/y:"
else
  rm -f "$prefix/dosdevices/y:"
  echo "prepare-prefix: no small drive Y: (mounting a tmpfs was refused); its tests are skipped"
fi
readonly_drive="$state/readonly_drive"
mkdir -p "$readonly_drive"
if ! mountpoint -q "$readonly_drive"; then
  mount -t tmpfs -o ro,size=64k,mode=0777 tavrel_readonly_drive "$readonly_drive" 2>/dev/null || true
fi
if mountpoint -q "$readonly_drive"; then
  ln -sfn "$readonly_drive" "$prefix/dosdevices/x:"
else
  rm -f "$prefix/dosdevices/x:"
  echo "prepare-prefix: no read-only drive X: (mounting a tmpfs was refused); its tests are skipped"
fi

[ "$status" -eq 0 ] && echo "prefix prepared: Pixenta, Audelo, WinePlatform registered from $program_dir; lib/ffmpeg.exe ($arch)"
exit "$status"
