#!/usr/bin/env bash
# The main job: builds Movrix18.exe and runs it on the bundled sample sources in a throwaway
# French Windows 10 (64-bit) under Wine; its window's screenshot, its copy report and the
# registry it wrote land in out/main/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_prerequisites.sh
# On a desktop the installer shows on the user's screen; without one, on a virtual X server.
MOVRIX_DISPLAY="${DISPLAY:-}" exec python3 scripts/main_job.py
