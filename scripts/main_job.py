"""The main job: Movrix18.exe installs the bundled sample sources into a throwaway Wine prefix set
up as a 64-bit French Windows 10, and leaves what it did in out/main/:

    window.png      the screenshot of its window
    window.txt      its caption and the texts of the system panel and the status lines
    copy-report.txt the text of its output box (steps and copy log)
    registry.reg    the registry keys it wrote, exported from the 64-bit view after the run
"""

from __future__ import annotations

import contextlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "wine"))
import wine  # noqa: E402

OUT = REPO / "out" / "main"
CRLF = "\r\n"
TXT_SYS, TXT_OUTPUT, TXT_OK = 106, 107, 108
# The keys the registration writes below, in the 64-bit view.
KEYS = [
    r"HKCR\.eml",
    r"HKCR\.nws",
    r"HKCR\mailto",
    r"HKCR\news",
    r"HKCR\nntp",
    r"HKCR\snews",
    r"HKCR\WindowsMail.Url.mailto",
    r"HKLM\SOFTWARE\Clients\Mail\Windows Mail",
    r"HKLM\SOFTWARE\Clients\News\Windows Mail",
    r"HKCU\Software\Clients\Mail",
]


def export_registry(prefix: wine.Prefix) -> str:
    parts = []
    for number, key in enumerate(KEYS):
        target = prefix.host(rf"C:\export{number}.reg")
        prefix.run("reg", "export", key, rf"C:\export{number}.reg", "/reg:64", "/y")
        if target.exists():
            text = target.read_bytes().decode("utf-16")
            parts.append(text if not parts else text.split("\n", 1)[1])
    return "".join(parts)


def main() -> int:
    flavour = wine.this_machine()
    print(flavour.describe().split(" Skipped")[0], flush=True)
    wine.build(flavour, "Movrix18", "driver", "takeown", "icacls")
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    display = os.environ.get("MOVRIX_DISPLAY")
    screen = contextlib.nullcontext(display) if display else wine.private_display()
    with screen as display, wine.fresh_prefix("win10-64", flavour, display) as prefix:
        prefix.lay_setup(flavour.build / "Movrix18.exe")
        run = wine.drive(prefix, r"C:\Setup\Movrix18.exe", shots=OUT / "shots")
        for box in run.boxes:
            print(f"message box: {box[0]}: {box[1]}")
        if not run.window:
            print("The installer stopped before showing its window.", file=sys.stderr)
            return 1
        shutil.move(run.shots[-1], OUT / "window.png")
        shutil.rmtree(OUT / "shots")
        (OUT / "copy-report.txt").write_text(run.controls[TXT_OUTPUT][2], encoding="utf-8")
        (OUT / "window.txt").write_text(
            CRLF.join(
                [run.window["caption"], "", run.controls[TXT_SYS][2], run.controls[TXT_OK][2]]
            )
            + CRLF,
            encoding="utf-8",
        )
        (OUT / "registry.reg").write_text(export_registry(prefix), encoding="utf-8")
    print(f"Installed; exit code {run.exit_code}. Results in {OUT}:")
    for name in ("window.png", "window.txt", "copy-report.txt", "registry.reg"):
        print(f"  {OUT / name}")
    return 0 if run.exit_code == 0 else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except wine.Trouble as trouble:
        print(trouble, file=sys.stderr)
        sys.exit(2)
    except (OSError, subprocess.SubprocessError) as error:
        print(f"A program the main job needs could not run: {error}.", file=sys.stderr)
        sys.exit(2)
