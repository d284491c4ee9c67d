#!/usr/bin/env bash
# Signs the program with Authenticode, in place, with the certificate and key of a PKCS#12 file:
#
#   scripts/sign.sh CERT.pfx [--timestamp URL] [--password-file FILE] [--program PATH]
#
# --timestamp has a timestamp server (RFC 3161) countersign, so that the signature stays valid once
# the certificate has expired; --password-file names a file holding the PFX's password (none by
# default); --program the file to sign (build/windows/Movrix18.exe by default).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "Usage: scripts/sign.sh CERT.pfx [--timestamp URL] [--password-file FILE] [--program PATH]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
pfx=$1
shift
program=build/windows/Movrix18.exe
options=()
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --timestamp) options+=(-ts "$2") ;;
    # Read from the file, so that the password never shows in the list of processes.
    --password-file) options+=(-readpass "$2") ;;
    --program) program=$2 ;;
    *) usage ;;
  esac
  shift 2
done

# Signed beside the program, then put in its place: a signing that fails leaves it as it was.
signed=$(mktemp -u "$program.XXXXXX")  # a name only: osslsigncode makes the file
trap 'rm -f "$signed"' EXIT
osslsigncode sign -pkcs12 "$pfx" "${options[@]}" -h sha256 -n Movrix18 -in "$program" \
  -out "$signed" >/dev/null
mv -f "$signed" "$program"
echo "Signed: $program"
