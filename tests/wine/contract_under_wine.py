"""The contract tests of the Win32 system layer, run under Wine on a 64-bit and a 32-bit system.

    python3 tests/wine/contract_under_wine.py

Runs contract_tests.exe (MOVRIX_CONTRACT_EXE, default build/windows/contract_tests.exe) in fresh
win10-64 and win8-32 prefixes. On the 64-bit one it then asks the 64-bit reg.exe whether the value
that the tests wrote through the access mask 0x13F lies in the native view, and not in the 32-bit
one. One line per prefix: "PASS <what> (<seconds>s)" or "FAIL <what>: <reason>"; the exit status
is 1 when one failed. The output goes to build/e2e-artifacts/contract/.
"""

from __future__ import annotations

import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "wine"))
import harness  # noqa: E402

EXE = Path(os.environ.get("MOVRIX_CONTRACT_EXE",
                          harness.REPO / "build" / "windows" / "contract_tests.exe")).resolve()
ARTIFACTS = Path(os.environ.get("MOVRIX_E2E_ARTIFACTS",
                                harness.REPO / "build" / "e2e-artifacts")) / "contract"
NATIVE_VIEW_KEY = r"HKLM\SOFTWARE\MovrixContract\NativeView"
TEMPLATES = ("win10-64", "win8-32")


def last_line(text: str) -> str:
    lines = [line for line in text.splitlines() if line.strip()]
    return lines[-1].strip() if lines else "(no output)"


def registry_view_problem(prefix: harness.Prefix) -> str | None:
    """Where the 64-bit reg.exe finds the value the tests wrote with 0x13F; None when right."""
    native = harness.run_wine_exe(prefix, "reg", ["query", NATIVE_VIEW_KEY, "/v", "Written",
                                                  "/reg:64"])
    if "0x13F" not in native.stdout:
        return f"the 64-bit reg.exe does not find the value in the native view: {native.stdout!r}"
    if harness.run_wine_exe(prefix, "reg", ["query", NATIVE_VIEW_KEY, "/reg:32"]).code == 0:
        return "the value landed in the 32-bit view (Wow6432Node)"
    return None


def run_contract_tests(template: str) -> str | None:
    """Runs the tests in a fresh prefix; None when they pass, otherwise why not."""
    with harness.fresh_prefix(template) as prefix:
        result = harness.run_wine_exe(prefix, EXE, ["--gtest_color=no"], timeout=300)
        (ARTIFACTS / f"contract_tests-{template}.txt").write_text(
            result.stdout + "\n--- stderr ---\n" + result.stderr, encoding="utf-8")
        if result.code != 0 or "[  PASSED  ]" not in result.stdout:
            return f"exit code {result.code}, {last_line(result.stdout + result.stderr)}"
        return registry_view_problem(prefix) if prefix.is64 else None


def main() -> int:
    if not EXE.is_file():
        print(f"FAIL setup: {EXE} not found (build it, or set MOVRIX_CONTRACT_EXE)")
        return 1
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    harness.ensure_templates(*TEMPLATES)
    failed = 0
    for template in TEMPLATES:
        started = time.monotonic()
        problem = run_contract_tests(template)
        if problem:
            failed += 1
            print(f"FAIL contract_tests {template}: {problem}", flush=True)
        else:
            print(f"PASS contract_tests {template} ({time.monotonic() - started:.1f}s)", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
