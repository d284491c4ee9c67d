#!/usr/bin/env bash
# The benchmark: the installer against its floor, a first installation and a rerun, on a
# generated tree of 2 x 125 files (82 MB). Takes a few minutes a round; the argument sets the
# number of rounds (3).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_prerequisites.sh
exec python3 bench/benchmark.py "$@"
