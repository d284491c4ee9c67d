#!/usr/bin/env bash
# Checks, in a win64 Wine prefix, that a value which the 32-bit contract tests write through the
# access mask 0x13F lands in the native 64-bit registry view: the 64-bit reg.exe reads it there,
# and the 32-bit view (Wow6432Node) does not hold it.
#
#   WINEPREFIX=<a win64 prefix> tests/wine/check_registry_view.sh <contract_tests.exe>
set -euo pipefail

exe="${1:?usage: $0 <contract_tests.exe>}"
: "${WINEPREFIX:?set WINEPREFIX to a win64 prefix}"
export WINEDEBUG=-all

key='HKLM\SOFTWARE\MovrixContract\NativeView'

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A value left by an earlier run would prove nothing.
wine reg delete "$key" /f /reg:64 >/dev/null 2>&1 || true
wine reg delete "$key" /f /reg:32 >/dev/null 2>&1 || true

wine "$exe" --gtest_filter=RegistryContract.TheAccessMaskWritesTheNativeView >/dev/null ||
  fail "the contract test itself failed"

native="$(wine reg query "$key" /v Written /reg:64 2>/dev/null | tr -d '\r' || true)"
grep -Eq 'Written[[:space:]]+REG_SZ[[:space:]]+0x13F$' <<<"$native" ||
  fail "the 64-bit reg.exe does not find the value in the native view: $native"
if wine reg query "$key" /reg:32 >/dev/null 2>&1; then
  fail "the value landed in the 32-bit view (Wow6432Node)"
fi

wine reg delete "$key" /f /reg:64 >/dev/null
echo "PASS: the 0x13F mask writes the native 64-bit view"
