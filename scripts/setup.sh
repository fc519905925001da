#!/usr/bin/env bash
# Installs what building and testing Travok needs on Debian 12: the i686 and x86-64
# MinGW-w64 compilers, CMake, Wine (32-bit and 64-bit), Xvfb and GoogleTest's sources;
# NSIS for the installers, and Wine's own fonts for the prefixes. Quick when all is
# there. Wine's 32-bit half installs on any amd64 host, even one whose kernel cannot run
# it; scripts/builds.sh tells whether it runs.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest python3 wine wine32:i386 wine64 gcc libc6-dev
          xvfb xauth imagemagick)
# `make dist` builds the installer with NSIS; the prefixes get Marlett and Tahoma from
# fonts-wine (see cmake/wine-run.in).
packages+=(nsis fonts-wine)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
