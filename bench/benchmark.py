"""Measures the installer against its floor on a tree of realistic size.

Both programs are built from this repository and run under Wine on a French Windows 10 (64-bit)
prefix, each in a fresh copy of the same template, alternating, three rounds. Each round runs a
first installation and then a rerun in the same prefix. For each run it prints the time from start
to window and the peak working set at that moment, and the ratio to the floor measured in the same
round; then the medians. Last, the time the registration alone takes, a first time and again over
it, timed by its own program in a fresh prefix.

    ./bench/run.sh [rounds]
"""

from __future__ import annotations

import os
import shutil
import statistics
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "wine"))
import wine  # noqa: E402

SOURCES = REPO / "build" / "bench" / "Setup"
FOLDERS = [
    "Windows Mail",
    r"Windows Mail\fr-FR",
    r"Windows Mail\en-US",
    r"Windows Mail\Stationery",
    r"Windows Mail\Stationery\fr-FR",
    r"Windows Mail\Shared",
]
FILES_PER_TREE = 125
TREE_BYTES = 41 * 1024 * 1024


def make_sources() -> None:
    """Two trees of 125 files in six folders, 82 MB in all, each with the program itself as its
    first file (the installer refuses a tree without it), and the twelve system files."""
    if (SOURCES / "done").exists() and (
        SOURCES / "WM_64" / "Windows Mail" / "WinMail.exe"
    ).exists():
        return
    shutil.rmtree(SOURCES, ignore_errors=True)
    wine.make_sample_sources(SOURCES)
    for tree in ("WM_32", "WM_64"):
        shutil.rmtree(SOURCES / tree)
        for number in range(FILES_PER_TREE):
            folder = SOURCES / tree / FOLDERS[number % len(FOLDERS)].replace("\\", "/")
            folder.mkdir(parents=True, exist_ok=True)
            # Sizes from a few kilobytes to about 1.3 MB, as a program's files are.
            size = TREE_BYTES * (1 + number % 10) // (FILES_PER_TREE * 11 // 2)
            name = "WinMail.exe" if number == 0 else f"file{number:03}.dll"
            (folder / name).write_bytes(os.urandom(size))
    (SOURCES / "done").touch()


def run_twice(
    flavour: wine.Flavour, program: Path, uninstall: bool = False
) -> list[tuple[float, int]]:
    """A first installation and a rerun of `program` in one fresh prefix, then with `uninstall` the
    way back (its one question answered): (seconds, bytes) each."""
    results = []
    with wine.private_display() as display, wine.fresh_prefix(
        "win10-64", flavour, display
    ) as prefix:
        setup = prefix.host(r"C:\Setup")
        shutil.copytree(SOURCES, setup)
        shutil.copy(program, setup / "Movrix18.exe")
        for switches in [[], []] + ([["/desinstaller"]] if uninstall else []):
            run = wine.drive(
                prefix, r"C:\Setup\Movrix18.exe", *switches, answers=["yes"], timeout=1200
            )
            if not run.window:
                raise wine.Trouble(f"{program.name} stopped before its window: {run.boxes}")
            results.append(
                (int(run.window["milliseconds"]) / 1000, int(run.window["peak_working_set"]))
            )
    return results


def registration_times(flavour: wine.Flavour) -> list[tuple[str, int]]:
    """Write_Reg alone, timed by its own program in a fresh prefix: (run, milliseconds) for a
    first registration and a second one over it."""
    with wine.fresh_prefix("win10-64", flavour) as prefix:
        shutil.copy(flavour.build / "registration_time.exe", prefix.host("C:\\"))
        result = prefix.run(r"C:\registration_time.exe", timeout=120)
    rows = [line.split() for line in result.stdout.splitlines() if line[:5] in ("first", "again")]
    if result.returncode or len(rows) != 2:
        raise wine.Trouble(f"The registration could not be timed: {result.stdout.strip()}")
    return [(name, int(milliseconds)) for name, milliseconds, _ in rows]


def main(rounds: int) -> int:
    flavour = wine.this_machine()
    print(flavour.describe().split(" Skipped")[0], flush=True)
    wine.build(flavour, "Movrix18", "floor", "registration_time", "driver", "takeown", "icacls")
    make_sources()
    installer, floor = flavour.build / "Movrix18.exe", flavour.build / "floor.exe"
    rows = {"first installation": [], "rerun": []}
    uninstall_ratios = []
    print(
        f"{'round':>5}  {'run':<18}  {'installer':>10}  {'floor':>8}  {'ratio':>6}  "
        f"{'peak WS':>8}  {'floor WS':>8}  {'ratio':>6}"
    )
    for number in range(1, rounds + 1):
        measured_floor = run_twice(flavour, floor)
        measured = run_twice(flavour, installer, uninstall=True)
        for name, (seconds, memory), (floor_seconds, floor_memory) in zip(
            rows, measured, measured_floor
        ):
            row = (seconds / floor_seconds, memory / floor_memory)
            rows[name].append(row)
            print(
                f"{number:>5}  {name:<18}  {seconds:>9.1f}s  {floor_seconds:>7.1f}s  {row[0]:>6.3f}  "
                f"{memory / 2**20:>6.1f}MB  {floor_memory / 2**20:>6.1f}MB  {row[1]:>6.2f}",
                flush=True,
            )
        uninstall_ratios.append(measured[2][0] / measured[0][0])
        print(
            f"{number:>5}  {'uninstallation':<18}  {measured[2][0]:>9.1f}s  {uninstall_ratios[-1]:>6.3f} of the "
            f"first installation",
            flush=True,
        )
    print(
        "\nMedians of the ratios to the floor (time, peak working set); targets: a first "
        "installation at most 0.15 in time, a rerun at most 1.10, memory at most 1.2:"
    )
    for name, ratios in rows.items():
        print(
            f"  {name:<18}  time {statistics.median(r[0] for r in ratios):.3f}  "
            f"memory {statistics.median(r[1] for r in ratios):.2f}"
        )
    print(
        f"  {'uninstallation':<18}  time {statistics.median(uninstall_ratios):.3f} of the first installation"
    )
    print("\nThe registration alone (Write_Reg, every value); target: 100 ms at most:")
    for name, milliseconds in registration_times(flavour):
        print(
            f"  {'first registration' if name == 'first' else 'over the first':<18}  {milliseconds} ms"
        )
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(int(sys.argv[1]) if len(sys.argv) > 1 else 3))
    except wine.Trouble as trouble:
        print(trouble, file=sys.stderr)
        sys.exit(2)
