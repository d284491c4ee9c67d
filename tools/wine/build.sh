#!/usr/bin/env bash
# Builds the Wine test tools with the 32-bit MinGW compiler:
#   driver.exe, takeown.exe, icacls.exe, WinMail.exe
# into ${MOVRIX_WINE_TOOLS:-<repo>/build/wine-tools}. A tool is rebuilt only
# when its source is newer than the executable. Prints the output folder.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
out="${MOVRIX_WINE_TOOLS:-$repo/build/wine-tools}"
cxx="${MOVRIX_MINGW_CXX:-i686-w64-mingw32-g++}"
mkdir -p "$out"

# build <output.exe> <source.cpp> <extra flags...>
build() {
  local exe="$out/$1" src="$here/$2"
  shift 2
  if [[ -f "$exe" && "$exe" -nt "$src" ]]; then return; fi
  # Compile to a temporary name: several test runs may build at once.
  local tmp
  tmp="$(mktemp "$out/.build.XXXXXX")"
  if ! "$cxx" -std=c++17 -O2 -Wall -Wextra -static -s -o "$tmp" "$src" "$@"; then
    rm -f "$tmp"
    return 1
  fi
  chmod 755 "$tmp"
  mv -f "$tmp" "$exe"
}

build driver.exe driver/driver.cpp -municode -lgdi32
build takeown.exe stubs/stub_command.cpp
build icacls.exe stubs/stub_command.cpp
build WinMail.exe winmail/fake_winmail.cpp -mwindows
# Its texts are French, kept in the ANSI code page like the installer's.

echo "$out"
