#!/usr/bin/env bash
# Lays sample sources into a folder, in the layout the installer expects beside itself: the program
# trees WM_32 and WM_64 and the system files in system32 and syswow64. The files are small
# placeholders that name themselves, so that a copy can be traced back to its source.
set -euo pipefail
target=${1:?usage: make_sample_sources.sh <folder>}

program_files=(
  "Windows Mail/WinMail.exe" "Windows Mail/msoe.dll" "Windows Mail/msoeres.dll"
  "Windows Mail/oeimport.dll" "Windows Mail/OESpamFilter.dll" "Windows Mail/wab.exe"
  "Windows Mail/wabimp.dll" "Windows Mail/wabmig.exe" "Windows Mail/csapi3t1.dll"
  "Windows Mail/fr-FR/WinMail.exe.mui" "Windows Mail/fr-FR/msoeres.dll.mui"
  "Windows Mail/fr-FR/wab.exe.mui" "Windows Mail/en-US/WinMail.exe.mui"
)
system_files=(msoeacct.dll msidcrl30.dll acctres.dll inetres.dll
              fr-FR/acctres.dll.mui fr-FR/inetres.dll.mui)

place() {  # place <path> <content>
  mkdir -p "$(dirname "$1")"
  printf '%s\n' "$2" > "$1"
}

for tree in WM_32 WM_64; do
  for file in "${program_files[@]}"; do place "$target/$tree/$file" "sample $tree/$file"; done
done
for folder in system32 syswow64; do
  for file in "${system_files[@]}"; do place "$target/$folder/$file" "sample $folder/$file"; done
done
