#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: the host toolchain and
# GoogleTest, the MinGW-w64 cross compiler, Wine with its 32-bit part, Xvfb, ImageMagick, the
# locales. Does nothing for what is already there.
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest g++-mingw-w64-i686 wine wine64 wine32:i386
          xvfb imagemagick locales python3 x11-utils)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo dpkg --add-architecture i386
# The i386 security index may fail to download; the main archive is enough.
$sudo apt-get update || true
# Without "-t bookworm" the i386 Wine packages conflict with newer ones.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -t bookworm "${missing[@]}"
