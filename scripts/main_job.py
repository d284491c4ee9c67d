"""The main job: Movrix18.exe installs the bundled sample sources into a throwaway Wine prefix set
up as a 64-bit French Windows 10, and leaves what it did in out/main/:

    window.png      the screenshot of its window
    window.txt      its caption and the texts of the system panel and the status lines
    copy-report.txt the text of its output box (steps and copy log)
    registry.reg    the registry keys it wrote, exported from the 64-bit view after the run
    installed.txt   the files it left in Program Files and the system folders
"""

from __future__ import annotations

import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tools" / "wine"))
import harness  # noqa: E402
import registry_listing  # noqa: E402

OUT = REPO / "out" / "main"
EXE = REPO / "build" / "windows" / "Movrix18.exe"

# Control ids of the window (101 is the first control of the layout table).
TXT_SYS, TXT_OUTPUT, TXT_OK = 106, 107, 108


def written_keys() -> list[str]:
    """The top keys the registration writes, as `reg export` names them."""
    roots = {"HKCR": "HKCR", "HKCU": "HKCU", "HKLM": "HKLM"}
    keys = []
    for value in registry_listing.read_listing():
        key = roots[value.root] + "\\" + value.key
        if not any(key.lower().startswith(k.lower() + "\\") or key.lower() == k.lower() for k in keys):
            keys.append(key)
    return keys


def export_registry(prefix: harness.Prefix, target: Path) -> None:
    """Appends the export of every written key into one .reg text."""
    parts = []
    with tempfile.TemporaryDirectory(dir=prefix.path) as tmp:
        for number, key in enumerate(written_keys()):
            out = Path(tmp) / f"{number}.reg"
            if prefix.export_registry(key, out):
                text = out.read_bytes().decode("utf-16")
                parts.append(text.split("\n", 1)[1] if parts else text)
    target.write_text("".join(parts), encoding="utf-8")


def list_installed(prefix: harness.Prefix, target: Path) -> None:
    lines = []
    for folder in (r"C:\Program Files", r"C:\Program Files (x86)", r"C:\Windows\System32",
                   r"C:\Windows\SysWOW64"):
        root = prefix.host_path(folder)
        for path in sorted(root.rglob("*")):
            relative = path.relative_to(root).as_posix()
            if path.is_file() and ("Windows Mail" in relative or path.name.lower().endswith(".orlo")
                                   or path.name.lower() in SYSTEM_FILES):
                lines.append(f"{folder}\\{relative.replace('/', chr(92))}\t{path.stat().st_size}")
    target.write_text("\n".join(lines) + "\n", encoding="utf-8")


SYSTEM_FILES = {"msoeacct.dll", "msidcrl30.dll", "acctres.dll", "inetres.dll", "acctres.dll.mui",
                "inetres.dll.mui"}


def main() -> int:
    OUT.mkdir(parents=True, exist_ok=True)
    setup = harness.lay_setup_folder(OUT / "Setup", EXE)
    with harness.fresh_prefix("win10-64") as prefix:
        prefix.put_tree(setup, r"C:\Setup")
        run = harness.run_program(prefix, r"C:\Setup", EXE.name, screenshot=OUT / "window.png")
        for box in run.boxes:
            print(f"message box: {box['title']}: {box['text']}")
        if not run.window:
            print("The installer stopped before showing its window.", file=sys.stderr)
            return 1
        (OUT / "copy-report.txt").write_text(run.control(TXT_OUTPUT)["text"], encoding="utf-8")
        (OUT / "window.txt").write_text(
            run.window["caption"] + "\r\n\r\n" + run.control(TXT_SYS)["text"] + "\r\n" +
            run.control(TXT_OK)["text"] + "\r\n", encoding="utf-8")
        export_registry(prefix, OUT / "registry.reg")
        list_installed(prefix, OUT / "installed.txt")
    print(f"Installed; exit code {run.exit_code}. Results in {OUT}:")
    for name in ("window.png", "window.txt", "copy-report.txt", "registry.reg", "installed.txt"):
        print(f"  {OUT / name}")
    return 0 if run.exit_code == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
