#!/usr/bin/env bash
# Creates the cached Wine prefix templates that the Wine tests copy, and the
# host locales they run under. Safe to run again: a template is rebuilt only
# when it is missing or when this script or the stub source changed (or Wine
# was upgraded); concurrent runs wait for each other.
#
#   tools/wine/prefix.sh [template...]     (default: all templates)
#
# Cache folder: ${MOVRIX_WINE_CACHE:-<repo>/build/wine-cache}
#   locale/fr_FR.UTF-8, locale/de_DE.UTF-8   use with LOCPATH=<cache>/locale
#   <template>/                              the prefix
#   <template>.stamp, <template>.log         what it was built from, boot log
#
# Templates (name: architecture, reported Windows version):
#   win10-64: win64, win10    win7-64: win64, win7    xp-64: win64, winxp64
#   win8-32:  win32, win8     win10-32: win32, win10
#
# Each template was booted with the French locale and holds:
#   - "C:\Program Files\Windows Mail" (and "...(x86)\Windows Mail" on win64)
#     with placeholder.txt;
#   - fr-FR folders in system32 (and syswow64 on win64);
#   - takeown.exe and icacls.exe stubs in every system folder (run them with
#     WINEDLLOVERRIDES=icacls.exe,takeown.exe=n);
#   - the original system files msoeacct.dll, msidcrl30.dll, acctres.dll,
#     inetres.dll, fr-FR\acctres.dll.mui, fr-FR\inetres.dll.mui in each system
#     folder, each holding "original <folder> <name>", e.g.
#     "original system32 msoeacct.dll", "original syswow64 fr-FR inetres.dll.mui";
#   - Wine's X11 driver set to draw the window frames itself (Managed=N):
#     without a window manager, managed windows cost a 2 s wait at every
#     message box.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
cache="${MOVRIX_WINE_CACHE:-$repo/build/wine-cache}"
mkdir -p "$cache"
cache="$(cd "$cache" && pwd)"

declare -A ARCH=([win10-64]=win64 [win7-64]=win64 [xp-64]=win64 [win8-32]=win32 [win10-32]=win32)
declare -A VERSION=([win10-64]=win10 [win7-64]=win7 [xp-64]=winxp64 [win8-32]=win8 [win10-32]=win10)
ALL_TEMPLATES=(win10-64 win7-64 win8-32 win10-32 xp-64)

log() { echo "prefix.sh: $*" >&2; }

make_locales() {
  local name
  for name in fr_FR de_DE; do
    if [[ -f "$cache/locale/$name.UTF-8/LC_CTYPE" ]]; then continue; fi
    log "generating locale $name.UTF-8"
    mkdir -p "$cache/locale"
    localedef -i "$name" -f UTF-8 "$cache/locale/$name.UTF-8"
  done
}

stamp_of() {
  { cat "$here/prefix.sh" "$here/stubs/stub_command.cpp"; wine --version; } | sha256sum | cut -d' ' -f1
}

# write_file <path> <content>
write_file() {
  mkdir -p "$(dirname "$1")"
  printf '%s' "$2" >"$1"
}

# Lays out the files the installer finds on a real system. <sysdir> is the
# host folder name below drive_c/windows (system32 or syswow64).
seed_system_folder() {
  local prefix="$1" sysdir="$2" tools="$3" dir name
  dir="$prefix/drive_c/windows/$sysdir"
  mkdir -p "$dir/fr-FR"
  for name in msoeacct.dll msidcrl30.dll acctres.dll inetres.dll; do
    write_file "$dir/$name" "original $sysdir $name"
  done
  for name in acctres.dll.mui inetres.dll.mui; do
    write_file "$dir/fr-FR/$name" "original $sysdir fr-FR $name"
  done
  # Replaces Wine's own icacls placeholder; the stubs are 32-bit programs,
  # which a 64-bit cmd starts as well.
  cp -f "$tools/takeown.exe" "$tools/icacls.exe" "$dir/"
}

build_template() {
  local name="$1" tools="$2" stamp="$3"
  local arch="${ARCH[$name]}" version="${VERSION[$name]}"
  local work="$cache/$name.building" final="$cache/$name" logfile="$cache/$name.log"
  rm -rf "$work"
  log "building $name ($arch, $version), log in $logfile"
  (
    export WINEPREFIX="$work" WINEARCH="$arch" WINEDEBUG=-all
    export LC_ALL=fr_FR.UTF-8 LOCPATH="$cache/locale"
    # No Mono/Gecko download prompts; no display needed to boot.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
    wineboot -i
    wineserver -w
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    wine winecfg /v "$version"
    wineserver -w
  ) >"$logfile" 2>&1 || { log "wine failed for $name, see $logfile"; return 1; }

  local pf
  for pf in "Program Files" "Program Files (x86)"; do
    [[ "$pf" == *x86* && "$arch" == win32 ]] && continue
    write_file "$work/drive_c/$pf/Windows Mail/placeholder.txt" \
      "original Windows Mail folder ($pf)"
  done
  seed_system_folder "$work" system32 "$tools"
  [[ "$arch" == win64 ]] && seed_system_folder "$work" syswow64 "$tools"

  rm -rf "$final"
  mv "$work" "$final"
  echo "$stamp" >"$final.stamp"
  log "built $name"
}

main() {
  local templates=("$@")
  [[ ${#templates[@]} -eq 0 ]] && templates=("${ALL_TEMPLATES[@]}")
  local name
  for name in "${templates[@]}"; do
    [[ -n "${ARCH[$name]:-}" ]] || { log "unknown template $name"; exit 2; }
  done

  exec 9>"$cache/.lock"
  flock 9
  make_locales
  local tools stamp
  tools="$("$here/build.sh")"
  stamp="$(stamp_of)"

  # Boot the missing templates in parallel: each has its own wineserver.
  local pids=() failed=0
  for name in "${templates[@]}"; do
    if [[ -d "$cache/$name" && "$(cat "$cache/$name.stamp" 2>/dev/null)" == "$stamp" ]]; then
      continue
    fi
    build_template "$name" "$tools" "$stamp" &
    pids+=($!)
  done
  local pid
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  [[ $failed -eq 0 ]] || { log "some templates failed"; exit 1; }
  echo "$cache"
}

main "$@"
