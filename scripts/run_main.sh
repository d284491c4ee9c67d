#!/usr/bin/env bash
# The main job: builds Movrix18.exe and runs it on the bundled sample sources in a throwaway
# 64-bit French Windows 10 prefix under Wine; the screenshot of its window, its copy report and the
# registry it wrote land in out/main/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_prerequisites.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Movrix18
# On a desktop the installer shows on the user's screen; without one, on a virtual X server.
MOVRIX_DISPLAY="${DISPLAY:-}" python3 scripts/main_job.py
