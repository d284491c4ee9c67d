"""The contract tests of the Win32 system layer, run under Wine on a 64-bit and a 32-bit system.

    python3 tests/wine/contract_under_wine.py

Runs contract_tests.exe (MOVRIX_CONTRACT_EXE, default build/windows/contract_tests.exe) in fresh
win10-64 and win8-32 prefixes, then check_registry_view.sh in a fresh win10-64 prefix (the access
mask 0x13F writes the native 64-bit registry view). One line per run: "PASS <what> (<seconds>s)"
or "FAIL <what>: <reason>"; the exit status is 1 when one failed. Their output goes to
build/e2e-artifacts/contract/ (MOVRIX_E2E_ARTIFACTS for another root).
"""

from __future__ import annotations

import os
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tools" / "wine"))
import harness  # noqa: E402

EXE = Path(os.environ.get("MOVRIX_CONTRACT_EXE",
                          harness.REPO / "build" / "windows" / "contract_tests.exe")).resolve()
ARTIFACTS = Path(os.environ.get("MOVRIX_E2E_ARTIFACTS",
                                harness.REPO / "build" / "e2e-artifacts")) / "contract"
TEMPLATES = ("win10-64", "win8-32")
TIMEOUT = 300


def last_line(text: str) -> str:
    lines = [line for line in text.splitlines() if line.strip()]
    return lines[-1].strip() if lines else "(no output)"


def failed_tests(output: str) -> list[str]:
    """The tests GoogleTest lists as failed ("[  FAILED  ] Suite.Name (3 ms)")."""
    names = set()
    for line in output.splitlines():
        if line.startswith("[  FAILED  ]"):
            words = line[len("[  FAILED  ]"):].split()
            if words and "." in words[0]:
                names.add(words[0].rstrip(","))
    return sorted(names)


def run_contract_tests(template: str) -> tuple[bool, str]:
    with harness.fresh_prefix(template) as prefix:
        # Wine's first program in a prefix starts its desktop: give it the display.
        result = harness.run_wine_exe(prefix, EXE, ["--gtest_color=no"], timeout=TIMEOUT,
                                      display=harness.default_display())
    (ARTIFACTS / f"contract_tests-{template}.txt").write_text(
        result.stdout + "\n--- stderr ---\n" + result.stderr, encoding="utf-8")
    if result.code == 0 and "[  PASSED  ]" in result.stdout:
        return True, ""
    failed = failed_tests(result.stdout)
    reason = f"failed tests {failed}" if failed else last_line(result.stdout + result.stderr)
    return False, f"exit code {result.code}, {reason}"


def run_registry_view_check() -> tuple[bool, str]:
    """check_registry_view.sh in a win64 prefix: it runs one contract test and reads the
    registry back with the 64-bit reg.exe."""
    with harness.fresh_prefix("win10-64") as prefix:
        env = prefix.env(display=harness.default_display())
        proc = subprocess.run(["bash", str(HERE / "check_registry_view.sh"), str(EXE)], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              timeout=TIMEOUT)
        prefix.kill()  # reg.exe's helper processes are not awaited by the script
    (ARTIFACTS / "check_registry_view.txt").write_text(proc.stdout, encoding="utf-8")
    return proc.returncode == 0, last_line(proc.stdout)


def main() -> int:
    if not EXE.is_file():
        print(f"FAIL setup: {EXE} not found (build it, or set MOVRIX_CONTRACT_EXE)")
        return 1
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    harness.ensure_templates(*TEMPLATES)
    runs = [(f"contract_tests {t}", lambda t=t: run_contract_tests(t)) for t in TEMPLATES]
    runs.append(("check_registry_view win10-64", run_registry_view_check))
    failed = 0
    for name, run in runs:
        started = time.monotonic()
        try:
            passed, reason = run()
        except subprocess.TimeoutExpired:
            passed, reason = False, f"no end after {TIMEOUT}s"
        if passed:
            print(f"PASS {name} ({time.monotonic() - started:.1f}s)", flush=True)
        else:
            failed += 1
            print(f"FAIL {name}: {reason}", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
