#!/usr/bin/env bash
# Installs everything the build and the test run need on a Debian 12 machine.
# Idempotent: packages already present are left alone; asks no questions.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  g++-mingw-w64-i686-posix mingw-w64-i686-dev libz-mingw-w64-dev
  wine wine32:i386 xvfb xauth pulseaudio pulseaudio-utils ffmpeg
  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64
  googletest fonts-ipafont-gothic locales cmake make patch xz-utils
  x11-apps imagemagick dpkg-dev openssl
)
# npm fetches the Windows FFmpeg; a machine may have it from Node.js already.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  # A list that cannot be fetched just now (a mirror in the middle of a
  # sync) is only a warning: the install below fails clearly if a package
  # cannot be had.
  $SUDO apt-get update -q || echo "warning: some package lists could not be updated" >&2
fi
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The program's users run Windows with the Japanese ANSI code page; Wine picks
# code page 932 only when the ja_JP.UTF-8 locale exists.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
