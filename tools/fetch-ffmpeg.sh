#!/usr/bin/env bash
# Puts the Windows FFmpeg of one architecture at DEST (normally a build's
# bin/lib/ffmpeg.exe, which the program runs as "lib\ffmpeg.exe").
#   fetch-ffmpeg.sh ARCH DEST [CACHE_DIR]
# ARCH: i686 or ia32 (32-bit), x86_64 or x64 (64-bit). The npm package is
# fetched with `npm pack` into CACHE_DIR (default: DEST's folder), its tarball
# is checked against tools/ffmpeg.sha512, and ffmpeg.exe is taken out of it.
# Idempotent: a verified tarball is not fetched again, and DEST is rewritten
# only when it differs from the tarball's program.
set -euo pipefail

arch=${1:?architecture}; dest=${2:?destination file}
case "$arch" in
  i686|ia32) arch=ia32 ;;
  x86_64|x64) arch=x64 ;;
  *) echo "fetch-ffmpeg: unknown architecture $arch" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$(dirname "$dest")"
cache=${3:-$(dirname "$dest")}
mkdir -p "$cache"

read -r _ package integrity < <(grep "^$arch " "$here/ffmpeg.sha512")
[ -n "${integrity:-}" ] || { echo "fetch-ffmpeg: no checksum for $arch" >&2; exit 1; }
name=${package#@}; name=${name//\//-}; name=${name/@/-}
tarball="$cache/$name.tgz"

integrity_of() { echo "sha512-$(openssl dgst -sha512 -binary "$1" | base64 -w0)"; }

if [ ! -f "$tarball" ] || [ "$(integrity_of "$tarball")" != "$integrity" ]; then
  command -v npm >/dev/null || { echo "fetch-ffmpeg: npm is missing" >&2; exit 1; }
  work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$package" >/dev/null)
  got=$(ls "$work"/*.tgz 2>/dev/null | head -1)
  [ -n "$got" ] || { echo "fetch-ffmpeg: npm pack $package gave no tarball" >&2; exit 1; }
  actual=$(integrity_of "$got")
  if [ "$actual" != "$integrity" ]; then
    echo "fetch-ffmpeg: $package does not match its checksum ($actual)" >&2
    exit 1
  fi
  mv -f "$got" "$tarball"
fi

# A file of this run's own: the test environments are prepared side by side.
tmp=$(mktemp "$dest.part.XXXXXX")
tar -xzOf "$tarball" package/ffmpeg.exe >"$tmp"
if [ -f "$dest" ] && cmp -s "$tmp" "$dest"; then
  rm -f "$tmp"
else
  chmod 755 "$tmp"
  mv -f "$tmp" "$dest"
fi
