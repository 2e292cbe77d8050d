#!/usr/bin/env bash
# Builds libpng as a static MinGW library from Debian's libpng1.6 source
# package (upstream tarball plus Debian's patches) into DEPS/ARCH for each
# ARCH given (i686, x86_64).
#   build-libpng.sh DEPS ARCH...
# Does nothing for an ARCH whose folder already holds the built library.
set -euo pipefail

deps=${1:?deps folder}; shift
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
todo=()
for arch in "$@"; do
  [ -f "$deps/$arch/.libpng-built" ] && [ -f "$deps/$arch/lib/libpng.a" ] || todo+=("$arch")
done
[ "${#todo[@]}" -gt 0 ] || exit 0

here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
chmod 755 "$work"   # apt downloads as its own user
srclist=/etc/apt/sources.list.d/tavrel-deb-src.sources
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
cleanup() {
  if [ -f "$srclist" ]; then
    $SUDO rm -f "$srclist"
    $SUDO apt-get update -q >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A temporary source entry made from the machine's own binary entries (the
# security suite's pool does not serve this package's sources).
tmp_list=$(mktemp)
{
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *tavrel*) continue ;; esac
    grep -q '^Types:.*\bdeb\b' "$f" || continue
    awk 'BEGIN{RS=""; ORS="\n\n"} /(^|\n)URIs:[^\n]*debian/ && !/security/ {gsub(/Types:[^\n]*/, "Types: deb-src"); print}' "$f"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb [^ ]*debian' /etc/apt/sources.list | grep -v security | while read -r _ uri suite comps; do
      printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n\n' "$uri" "$suite" "$comps"
    done
  fi
} >"$tmp_list"
$SUDO install -m 644 "$tmp_list" "$srclist"
rm -f "$tmp_list"
# A list that cannot be fetched just now (a mirror in the middle of a sync)
# is only a warning: fetching the source below fails clearly if the one list
# it needs is missing.
$SUDO apt-get update -q >/dev/null || echo "warning: some package lists could not be updated" >&2

cd "$work"
apt-get source --download-only libpng1.6 >/dev/null
orig=$(ls libpng1.6_*.orig.tar.* | head -n 1)
deb=$(ls libpng1.6_*.debian.tar.* | head -n 1)
mkdir src
tar -xf "$orig" -C src --strip-components=1
tar -xf "$deb" -C src
if [ -f src/debian/patches/series ]; then
  (cd src && grep -v '^\s*#' debian/patches/series | while read -r p; do
     [ -n "$p" ] && patch -p1 -s <"debian/patches/$p"
   done)
fi

for arch in "${todo[@]}"; do
  prefix="$deps/$arch"
  cmake -S src -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_BUILD_ZLIB=OFF \
    -DZLIB_LIBRARY="/usr/$arch-w64-mingw32/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="/usr/$arch-w64-mingw32/include" >/dev/null
  cmake --build "build-$arch" -j"$(nproc)" >/dev/null
  cmake --install "build-$arch" >/dev/null
  touch "$prefix/.libpng-built"
  echo "libpng installed in $prefix"
done
