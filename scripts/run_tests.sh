#!/usr/bin/env bash
# Runs every test: the unit and contract tests on the Linux stand-in, then under Wine the
# contract tests against the real system, the check of the test tools and the end-to-end
# scenarios. Prints what it runs; stops at the first failing stage.
set -euo pipefail
cd "$(dirname "$0")/.."

stage() { printf '\n== %s\n' "$*"; }

stage "Prerequisites"
scripts/install_prerequisites.sh

stage "Linux build and tests (stand-in)"
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

stage "Windows build"
cmake --preset windows >/dev/null
cmake --build --preset windows

stage "Registration listing tools"
python3 tools/wine/registry_listing.py

stage "Contract tests on the real system (Wine)"
python3 tests/wine/contract_under_wine.py

stage "End-to-end scenarios (Wine)"
python3 tests/wine/e2e_test.py
