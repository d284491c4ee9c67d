#!/usr/bin/env bash
# The main job: builds Movrix18.exe and runs it on the bundled sample sources in a throwaway
# 64-bit French Windows 10 prefix under Wine (on a virtual X server of its own); the screenshot of
# its window, its copy report and the registry it wrote land in out/main/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install_prerequisites.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Movrix18
python3 scripts/main_job.py
