#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: CMake, the MinGW-w64 cross
# compilers (i686 for the product, x86_64 for machines that cannot run 32-bit code), the GoogleTest
# sources, Wine with its 32-bit part, Xvfb, ImageMagick, the locales, black (the Python's layout);
# osslsigncode and openssl for the signature, Ansible with its Windows collection for the README's
# recipes. Does nothing for what is already there; ends with one sentence when it cannot install.
set -uo pipefail

packages=(cmake make googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
          xvfb imagemagick locales python3 black osslsigncode openssl ansible)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
{
  $sudo dpkg --add-architecture i386
  # The i386 security index may fail to download; the main archive is enough.
  $sudo apt-get update || true
  # Without "-t bookworm" the i386 Wine packages conflict with newer ones. On a machine that
  # cannot run 32-bit code, some i386 packages report "Exec format error" while they set
  # themselves up; the 64-bit Wine works all the same.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -t bookworm "${missing[@]}"
} >/tmp/movrix-prerequisites.log 2>&1
for package in "${missing[@]}"; do
  if ! dpkg -s "$package" 2>/dev/null | grep -q '^Status: install ok installed'; then
    echo "Could not install $package (see /tmp/movrix-prerequisites.log)." >&2
    exit 1
  fi
done
