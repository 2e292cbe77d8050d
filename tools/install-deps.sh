#!/usr/bin/env bash
# Installs everything the build and the test run need on a Debian 12 machine.
# Idempotent: packages already present are left alone; asks no questions.
#
# Two steps. The first installs what every machine needs, all of it amd64
# (the cross compilers, 64-bit Wine, the display and sound servers). The
# second, only where the kernel runs 32-bit programs (tools/arch.sh), adds the
# i386 architecture and the 32-bit Wine runtime; if that cannot be had (a
# mirror whose i386 lists are out of step, say), it is taken back out and the
# tests run the x86_64 build under 64-bit Wine. The product, build/i686, is
# built either way.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/arch.sh
. "$here/arch.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# clang-format-14: the clang_format test holds the sources to version 14's layout.
base_packages=(
  g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine64 xvfb xauth pulseaudio pulseaudio-utils ffmpeg
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  googletest fonts-ipafont-gothic locales cmake make patch xz-utils
  x11-apps imagemagick dpkg-dev openssl clang-format-14
)
# npm fetches the Windows FFmpeg; a machine may have it from Node.js already.
command -v npm >/dev/null 2>&1 || base_packages+=(npm)
runtime32_packages=(wine32:i386 gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386)

# The packages of the list that are not installed yet.
missing_of() {
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}

# A mirror in the middle of a sync serves lists that do not match their
# release file; a few tries a little apart usually get past it
# (TAVREL_APT_RETRY_PAUSE seconds times the try; the tests set it to 0). A list that
# still cannot be had is only a warning: the install after it says clearly
# what cannot be had.
apt_update() {
  local try
  for try in 1 2 3; do
    if $SUDO apt-get update -q; then return 0; fi
    echo "warning: apt-get update failed (try $try of 3)" >&2
    if [ "$try" -lt 3 ]; then sleep $((try * ${TAVREL_APT_RETRY_PAUSE:-5})); fi
  done
  echo "warning: some package lists could not be updated" >&2
  return 0
}

updated=""
mapfile -t missing < <(missing_of "${base_packages[@]}")
if [ "${#missing[@]}" -gt 0 ]; then
  apt_update; updated=1
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if kernel_runs_32bit; then
  mapfile -t missing32 < <(missing_of "${runtime32_packages[@]}")
  if [ "${#missing32[@]}" -gt 0 ]; then
    added_arch=""
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $SUDO dpkg --add-architecture i386
      added_arch=1; updated=""
    fi
    [ -n "$updated" ] || apt_update
    if ! $SUDO apt-get install -y -q --no-install-recommends "${missing32[@]}"; then
      # Nothing of i386 stays behind to break a later install.
      if [ -n "$added_arch" ]; then
        $SUDO dpkg --remove-architecture i386 2>/dev/null || true
        $SUDO apt-get update -q >/dev/null 2>&1 || true
      fi
      echo "The 32-bit Wine runtime could not be installed: the tests will run the x86_64 build under 64-bit Wine."
    fi
  fi
fi

# The program's users run Windows with the Japanese ANSI code page; Wine picks
# code page 932 only when the ja_JP.UTF-8 locale exists. TAVREL_LOCALE_GEN
# names another locale.gen, for the tests of this script.
locale_gen=${TAVREL_LOCALE_GEN:-/etc/locale.gen}
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' "$locale_gen" 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a "$locale_gen" >/dev/null
  fi
  $SUDO locale-gen
fi
