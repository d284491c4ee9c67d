#!/usr/bin/env bash
# Runs every test: the logic tests under Wine on the real system, then the scenarios that drive
# the real program. Says first which flavour this machine runs and what that skips.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_prerequisites.sh
exec python3 tests/wine/run_tests.py "$@"
