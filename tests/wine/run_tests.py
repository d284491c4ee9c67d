"""Every test: the logic tests under Wine on each system this machine can run, then the
scenarios that only the real window can prove. Prints the flavour and what it skips first;
stops with one sentence when the ground is missing."""

from __future__ import annotations

import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "wine"))
import release  # noqa: E402
import scenarios  # noqa: E402
import wine  # noqa: E402

REPO = wine.REPO


def logic_tests(flavour: wine.Flavour) -> bool:
    """As ctest runs them: each suite on each system the flavour has, in a throwaway prefix of its
    own, two side by side."""
    return subprocess.run(["ctest", "--preset", flavour.preset, "-j2"], cwd=REPO).returncode == 0


def main(argv: list[str]) -> int:
    flavour = wine.this_machine()
    print(flavour.describe(), flush=True)
    try:
        wine.build(flavour, "Movrix18", "test_programs")
        failed = []
        print("\n== Logic tests", flush=True)
        if not logic_tests(flavour):
            failed.append("logic tests")
        print("\n== Scenarios", flush=True)
        failed += scenarios.run_all(flavour, argv)
        print("\n== Release", flush=True)
        failed += release.run_all(flavour, argv)
    except wine.Trouble as trouble:
        print(f"\n{trouble}", file=sys.stderr)
        return 2
    except (OSError, subprocess.SubprocessError) as error:
        print(f"\nA program the tests need could not run: {error}.", file=sys.stderr)
        return 2
    print("\nAll tests passed." if not failed else "\nFailed: " + ", ".join(failed) + ".")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
