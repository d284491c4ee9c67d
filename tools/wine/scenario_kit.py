"""What every scenario test needs besides the harness: checks that collect every failure of a
scenario instead of stopping at the first, and the folder that keeps a scenario's artifacts."""

from __future__ import annotations

import shutil
from pathlib import Path

import harness

CRLF = "\r\n"


class ScenarioFailed(Exception):
    """A check that the rest of the scenario depends on failed."""


class Checks:
    """Collects failed checks, so that a scenario reports every fault it finds."""

    def __init__(self):
        self.failures: list[str] = []

    def fail(self, message: str) -> None:
        self.failures.append(message)

    def equal(self, got, want, what: str) -> bool:
        if got != want:
            self.fail(f"{what}: got {got!r}, expected {want!r}")
            return False
        return True

    def true(self, condition: bool, message: str) -> bool:
        if not condition:
            self.fail(message)
        return condition

    def require(self, condition: bool, message: str) -> None:
        """Stops the scenario when the condition fails: what follows would only repeat it."""
        if not condition:
            self.fail(message)
            raise ScenarioFailed(message)


class Artifacts:
    """The folder of one scenario's artifacts, emptied when the scenario starts."""

    def __init__(self, folder: Path):
        self.folder = folder
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self._boxes: list[str] = []

    def path(self, name: str) -> Path:
        return self.folder / name

    def add_boxes(self, label: str, run: harness.Run) -> None:
        lines = [f"# {label}: {len(run.boxes)} message box(es)"]
        for number, box in enumerate(run.boxes, start=1):
            text = box["text"].split(CRLF)
            lines += [f"box {number}",
                      f"  title:   {box['title']}",
                      f"  icon:    {box['icon']}",
                      f"  buttons: {','.join(box['buttons'])}",
                      f"  answer:  {box['answer']}",
                      f"  text:    {text[0]}"]
            lines += [f"           {line}" for line in text[1:]]
        self._boxes.append("\n".join(lines))
        self.path("boxes.txt").write_text("\n\n".join(self._boxes) + "\n", encoding="utf-8")

    def keep_run_files(self, prefix: harness.Prefix) -> None:
        """The driver's raw transcripts and output, before the prefix goes."""
        runs = prefix.path / "movrix-runs"
        if runs.is_dir():
            for item in runs.iterdir():
                if item.suffix in (".tsv", ".out"):
                    shutil.copy2(item, self.path(f"driver-{item.name}"))
        log = prefix.host_path(harness.COMMAND_LOG)
        if log.exists():
            shutil.copy2(log, self.path("movrix_commands.log"))
