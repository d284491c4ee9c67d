#!/usr/bin/env bash
# Builds the Wine test tools with the 32-bit MinGW compiler:
#   driver.exe, fontprobe.dll, takeown.exe, icacls.exe, WinMail.exe
# into ${MOVRIX_WINE_TOOLS:-<repo>/build/wine-tools}. A tool is rebuilt only
# when one of its sources is newer than it. Prints the output folder.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
out="${MOVRIX_WINE_TOOLS:-$repo/build/wine-tools}"
cxx="${MOVRIX_MINGW_CXX:-i686-w64-mingw32-g++}"
mkdir -p "$out"

# up_to_date <output> <sources...>: the output exists and is newer than every source.
up_to_date() {
  local exe="$1" src
  shift
  [[ -f "$exe" ]] || return 1
  for src in "$@"; do
    [[ "$exe" -nt "$here/$src" ]] || return 1
  done
}

# build <output> "<source.cpp> [headers...]" <extra flags...>
# Compiles the first source; the headers only count for up_to_date.
build() {
  local exe="$out/$1" sources=($2)
  local src="$here/${sources[0]}"
  shift 2
  if up_to_date "$exe" "${sources[@]}"; then return; fi
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

build driver.exe "driver/driver.cpp fontprobe/font_report.h" -municode -lgdi32 -lpsapi
# Loaded by the driver into the program; ProbeFonts is exported undecorated.
build fontprobe.dll "fontprobe/fontprobe.cpp fontprobe/font_report.h" -shared -Wl,--kill-at -lgdi32
build takeown.exe stubs/stub_command.cpp
build icacls.exe stubs/stub_command.cpp
build WinMail.exe winmail/fake_winmail.cpp -mwindows
# Its texts are French, kept in the ANSI code page like the installer's.

echo "$out"
