"""End-to-end scenarios: the real Movrix18.exe under Wine, driven through its windows.

    python3 tests/wine/e2e_test.py [scenario-name-part ...]

Each scenario runs the installer in a fresh prefix copied from a cached template, beside the
bundled sample sources, reads every message box and the main window through the test driver,
then looks at what the run left on disk, in the registry and in the rights-command log. One line
per scenario: "PASS <name> (<seconds>s)" or "FAIL <name>: <reason>"; the exit status is 1 when a
scenario failed. Artifacts go to build/e2e-artifacts/<scenario>/: the screenshots of the window
and of each message box (window-boxN.png), the transcript of the message boxes, the driver's raw
transcripts, the command log, the registry exports and, on failure, every failed check.

Environment: MOVRIX_EXE (default build/windows/Movrix18.exe), MOVRIX_E2E_ARTIFACTS (default
build/e2e-artifacts), and those of harness.py.
"""

from __future__ import annotations

import collections
import dataclasses
import os
import shutil
import sys
import tempfile
import time
import traceback
from pathlib import Path, PureWindowsPath

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parents[1] / "tools" / "wine"))
import harness  # noqa: E402
from scenario_kit import Artifacts, Checks, ScenarioFailed  # noqa: E402
import registry_listing  # noqa: E402

REPO = harness.REPO
EXE = Path(os.environ.get("MOVRIX_EXE", REPO / "build" / "windows" / "Movrix18.exe"))
ARTIFACTS = Path(os.environ.get("MOVRIX_E2E_ARTIFACTS", REPO / "build" / "e2e-artifacts"))
SETUP = r"C:\Setup"  # where the program and its sources lie in the prefix; it holds no stubs
EXE_NAME = "Movrix18.exe"
GERMAN = "de_DE.UTF-8"

# Wine's screen resolution; the driver's transcript carries none of its own.
DPI = 96
TWIPS_PER_INCH = 1440
CRLF = "\r\n"

# Window and control styles.
WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_TABSTOP = 0x00010000
WS_HSCROLL = 0x00100000
WS_VSCROLL = 0x00200000
ES_MULTILINE = 0x0004


# ---------------------------------------------------------------- the window's layout

@dataclasses.dataclass(frozen=True)
class Control:
    name: str
    id: int
    window_class: str
    container: str | None  # name of the containing frame; None on the window
    left: int  # twips from the container's client origin
    top: int
    width: int  # 0 for the label that sizes itself to its caption
    height: int
    text: str | None  # fixed text; None for the texts written at run time and the logo


# The layout of frmCopy, in creation order; control ids start at 101.
LAYOUT = [
    Control("Frame1", 101, "Button", None, 150, 60, 11425, 5300, ""),
    Control("Command1", 102, "Button", "Frame1", 3000, 4400, 1215, 495, "OK"),
    Control("Text2", 103, "Edit", "Frame1", 9000, 5000, 2000, 285, "OK pour quitter"),
    Control("Text1", 104, "Edit", "Frame1", 360, 5000, 6500, 285,
            "Toutes les opérations ont été effectuées avec succès - "
            "Windows Mail est opérationnel"),
    Control("fraSys", 105, "Button", "Frame1", 165, 1115, 4365, 1500, "Système d'exploitation"),
    Control("txtSys", 106, "Edit", "fraSys", 180, 300, 4005, 1095, None),
    Control("txtOutput", 107, "Edit", "Frame1", 4680, 1200, 6535, 3735, None),
    Control("txtOK", 108, "Edit", "Frame1", 4720, 750, 5600, 400, None),
    Control("Movrix", 109, "Static", "Frame1", 120, 240, 0, 0, "Movrix18"),
    Control("lblWarning(0)", 110, "Static", "Frame1", 4680, 250, 6500, 195,
            "Utilitaire d'installation de Windows Mail sur Windows 10"),
    Control("imgLogo", 111, "Static", "Frame1", 120, 2760, 2505, 2205, None),
    Control("lblWarning(1)", 112, "Static", "Frame1", 4680, 450, 6500, 195, ""),
]
CLIENT_TWIPS = (11745, 5430)


@dataclasses.dataclass(frozen=True)
class Font:
    face: str
    centipoints: int  # 825 for 8.25 pt
    bold: bool

    def height(self) -> int:
        """The LOGFONT height: the character height in pixels, negative (rounded as MulDiv)."""
        return -int(self.centipoints * DPI / 7200 + 0.5)


SANS = Font("MS Sans Serif", 825, False)
ARIAL = Font("Arial", 825, False)
# The font of each control; the logo draws no text.
FONTS = {"Frame1": SANS, "Command1": Font("MS Sans Serif", 975, True),
         "Text2": Font("MS Sans Serif", 825, True), "Text1": SANS,
         "fraSys": Font("System", 975, True), "txtSys": SANS, "txtOutput": SANS, "txtOK": SANS,
         "Movrix": Font("Arial", 1800, True), "lblWarning(0)": ARIAL, "lblWarning(1)": ARIAL}
FW_NORMAL, FW_BOLD = 400, 700
BY_NAME = {c.name: c for c in LAYOUT}
TXT_SYS, TXT_OUTPUT, TXT_OK = 106, 107, 108

TXT_OK_TEXT = ("Les fichiers programmes de Windows Mail ont été correctement installés." + CRLF +
               "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset")


def pixels(twips: int) -> float:
    return twips * DPI / TWIPS_PER_INCH


def expected_origin(control: Control) -> tuple[float, float]:
    """Top-left corner in the window's client area: the containers' offsets add up."""
    left, top, current = 0, 0, control
    while current is not None:
        left, top = left + current.left, top + current.top
        current = BY_NAME[current.container] if current.container else None
    return pixels(left), pixels(top)


# ---------------------------------------------------------------- sources

def tree_files(root: Path) -> list[str]:
    """Paths of the files below root, relative and with backslashes, sorted."""
    return sorted(str(PureWindowsPath(p.relative_to(root))) for p in root.rglob("*") if p.is_file())


# ---------------------------------------------------------------- running the program

@dataclasses.dataclass
class Context:
    """What a scenario works with."""
    prefix: harness.Prefix
    setup: Path  # the host folder of the sources and the program
    artifacts: Artifacts
    checks: Checks
    runs: int = 0

    def run(self, answers=(), locale: str = "fr_FR.UTF-8") -> harness.Run:
        """Runs the installer from C:\\Setup; keeps its boxes and the screenshot of its window."""
        self.runs += 1
        shot = self.artifacts.path("window.png" if self.runs == 1 else f"window-run{self.runs}.png")
        run = harness.run_program(self.prefix, SETUP, EXE_NAME, locale=locale, answers=answers,
                                  screenshot=shot)
        self.artifacts.add_boxes(f"run {self.runs}", run)
        self.checks.require(not run.timed_out and not run.errors and run.driver_status == 0,
                            f"run {self.runs}: the program did not end by itself (driver status "
                            f"{run.driver_status}, errors {run.errors}, timed out {run.timed_out})")
        self.checks.true(run.exit_code is not None, f"run {self.runs}: no exit code recorded")
        return run


# ---------------------------------------------------------------- the expected output box

@dataclasses.dataclass(frozen=True)
class TreeBlock:
    """The "de   "/"vers " pairs of one program tree, in whatever order the walk gives."""
    source_root: str  # ending in a backslash
    dest_root: str  # ending in a backslash
    files: tuple[str, ...]  # relative paths


def compare_output(text: str, expected: list) -> list[str]:
    """Differences between a multi-line text and its expected lines (texts and TreeBlocks)."""
    if not text.endswith(CRLF):
        return [f"the text does not end with CR LF: ...{text[-40:]!r}"]
    lines = text[:-2].split(CRLF)
    for number, line in enumerate(lines, start=1):
        if "\r" in line or "\n" in line:
            return [f"line {number} holds a CR or LF of its own: {line!r}"]
    at = 0
    for item in expected:
        if isinstance(item, TreeBlock):
            at, problems = _compare_tree_block(lines, at, item)
            if problems:
                return problems
            continue
        if at >= len(lines):
            return [f"line {at + 1} missing, expected {item!r}"]
        if lines[at] != item:
            lengths = f" ({len(lines[at])} characters, {len(item)} expected)"
            return [f"line {at + 1}: got {lines[at]!r}, expected {item!r}{lengths}"]
        at += 1
    if at < len(lines):
        return [f"unexpected lines from line {at + 1} on: {lines[at:at + 3]!r}"]
    return []


def _compare_tree_block(lines: list[str], at: int, block: TreeBlock) -> tuple[int, list[str]]:
    problems, copied = [], []
    while at < len(lines) and lines[at].startswith("de   "):
        number = at + 1
        source = lines[at][len("de   "):]
        target_line = lines[at + 1] if at + 1 < len(lines) else ""
        at += 2
        if not target_line.startswith("vers "):
            return at, [f"line {number + 1}: got {target_line!r}, "
                        f"expected the 'vers ' line of {source!r}"]
        if not source.startswith(block.source_root):
            problems.append(f"line {number}: {source!r} is not below {block.source_root!r}")
            continue
        relative = source[len(block.source_root):]
        copied.append(relative)
        if target_line[len("vers "):] != block.dest_root + relative:
            problems.append(f"line {number + 1}: got {target_line!r}, expected "
                            f"{'vers ' + block.dest_root + relative!r}")
    duplicates = sorted(r for r, n in collections.Counter(copied).items() if n > 1)
    missing = sorted(set(block.files) - set(copied))
    extra = sorted(set(copied) - set(block.files))
    for what, names in (("logged twice", duplicates), ("not logged", missing),
                        ("logged but not in the source", extra)):
        if names:
            problems.append(f"block {block.source_root!r}: files {what}: {names}")
    return at, problems


def renaming_heading() -> list[str]:
    return ["=" * 51, "Vérifier la présence des dossiers Windows Mail renommés.",
            "Les renommer s'ils ne le sont pas encore", "=" * 51]


def renaming_report(renamed: list[str]) -> list[str]:
    """The renaming report followed by the run sequence's CR LF (an empty line when empty)."""
    if not renamed:
        return [""]
    return (["Renommer le ou les dossiers programmes Windows Mail", "-" * 92] +
            [f"Renommer le dossier {folder}\\Windows Mail" for folder in renamed] + [""])


def registry_heading() -> list[str]:
    return ["=" * 57, "Compléter la base de registre", "=" * 57, ""]


def copy_heading(system: str) -> list[str]:
    return ["=" * 46, "Copier les fichiers programmes de Windows Mail (de Vista)",
            "dans le(s) dossier(s) programmes de Windows " + system, "=" * 46]


SYSTEM_BLOCK_64 = ["", "=" * 12, "Copier les DLL et DLL.MUI", "-" * 24,
                   "copie de msoeacct.dll sous System32 et SysWOW64",
                   "copie de msidcrl30.dll sous System32 et SysWOW64",
                   "copie de acctres.dll sous System32 et SysWOW64",
                   "copie de inetres.dll sous System32 et SysWOW64",
                   "copie de acctres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\",
                   "copie de inetres.dll.mui sous System32\\fr-FR\\ et SysWOW64\\fr-FR\\"]
SYSTEM_BLOCK_32 = ["", "=" * 27, "Copie des DLL et DLL.MUI", "-" * 27,
                   "copie de msoeacct.dll sous System32", "copie de msidcrl30.dll sous System32",
                   "copie de acctres.dll sous System32", "copie de inetres.dll sous System32",
                   "copie de acctres.dll sous System32\\fr-FR",
                   "copie de inetres.dll sous System32\\fr-FR\\"]


# ---------------------------------------------------------------- what a system looks like

SYSTEM_FILE_NAMES = ["msoeacct.dll", "msidcrl30.dll", "acctres.dll", "inetres.dll",
                     "fr-FR\\acctres.dll.mui", "fr-FR\\inetres.dll.mui"]
PROGRAM_FILES = r"C:\Program Files"
PROGRAM_FILES_X86 = r"C:\Program Files (x86)"
WINDOWS = r"C:\Windows"


@dataclasses.dataclass(frozen=True)
class SystemFile:
    source: str  # relative to the setup folder
    dest: str  # in the native view of the prefix
    rights: bool  # handed to the Administrators group before the copy


@dataclasses.dataclass(frozen=True)
class System:
    """What the installer does on one kind of system."""
    template: str
    is64: bool
    product_suffix: str  # " 64 bits" or " 32 bits"
    heading_system: str  # "7", "W8" or "W10"

    @property
    def registers(self) -> bool:
        return self.heading_system != "7"

    def program_folders(self) -> list[str]:
        return [PROGRAM_FILES, PROGRAM_FILES_X86] if self.is64 else [PROGRAM_FILES]

    def trees(self, setup: Path) -> list[TreeBlock]:
        """The tree blocks of the copy log, in the order the phase copies them."""
        pairs = ([("WM_32", PROGRAM_FILES_X86), ("WM_64", PROGRAM_FILES)] if self.is64
                 else [("WM_32", PROGRAM_FILES)])
        return [TreeBlock(f"{SETUP}\\{tree}\\", dest + "\\", tuple(tree_files(setup / tree)))
                for tree, dest in pairs]

    def system_files(self) -> list[SystemFile]:
        """The replaced system files; the last 64-bit one is copied without the rights step."""
        if not self.registers:
            return []
        if not self.is64:
            return [SystemFile(f"syswow64\\{n}", f"{WINDOWS}\\System32\\{n}", True)
                    for n in SYSTEM_FILE_NAMES]
        files = [SystemFile(f"{folder.lower()}\\{n}", f"{WINDOWS}\\{folder}\\{n}", True)
                 for folder in ("System32", "SysWOW64") for n in SYSTEM_FILE_NAMES]
        files[-1] = dataclasses.replace(files[-1], rights=False)
        return files

    def copy_log(self, setup: Path) -> list:
        blocks = self.trees(setup)
        headers = ([["Copier les fichiers dans Program Files (x86)", "-" * 67],
                    ["", "Copier les fichiers dans Program Files", "-" * 58]] if self.is64
                   else [["Copier les fichiers dans Program Files", "-" * 58]])
        log: list = []
        for header, block in zip(headers, blocks):
            log += header + [block]
        if self.registers:
            log += SYSTEM_BLOCK_64 if self.is64 else SYSTEM_BLOCK_32
        return log

    def expected_output(self, setup: Path, renamed: list[str]) -> list:
        return (renaming_heading() + renaming_report(renamed) +
                (registry_heading() if self.registers else []) +
                copy_heading(self.heading_system) + self.copy_log(setup))


WIN10_64 = System("win10-64", True, " 64 bits", "W10")
WIN7_64 = System("win7-64", True, " 64 bits", "7")
WIN8_32 = System("win8-32", False, " 32 bits", "W8")
WIN10_32 = System("win10-32", False, " 32 bits", "W10")


def all_system_files(prefix: harness.Prefix) -> dict[str, bytes]:
    """Every replaceable system file and backup of the prefix, by Windows path."""
    folders = ["System32", "SysWOW64"] if prefix.is64 else ["System32"]
    found = {}
    for folder in folders:
        for name in SYSTEM_FILE_NAMES:
            for path in (f"{WINDOWS}\\{folder}\\{name}", f"{WINDOWS}\\{folder}\\{name}.orlo"):
                if prefix.exists(path):
                    found[path] = prefix.read_file(path)
    return found


# ---------------------------------------------------------------- registry

def listing_export_keys(listing) -> list[str]:
    """Keys to export to see every listed value: HKCR and HKCU whole, and below HKLM the listed
    keys cut to five levels (all of HKLM\\SOFTWARE takes seconds to export)."""
    roots = {v.root for v in listing}
    keys = [root for root in ("HKCR", "HKCU") if root in roots]
    hklm = sorted({"\\".join(v.key.split("\\")[:5]) for v in listing if v.root == "HKLM"})
    for key in hklm:
        if not any(key.lower().startswith(k.lower() + "\\") for k in hklm if k != key):
            keys.append("HKLM\\" + key)
    return keys


def export_keys(prefix: harness.Prefix, keys: list[str], folder: Path, label: str) -> list[Path]:
    """Exports each key (64-bit view) into folder; returns the files of the keys that exist."""
    files = [folder / f"{label}-{number:02d}.reg" for number in range(1, len(keys) + 1)]
    return [file for key, file in zip(keys, files) if prefix.export_registry(key, file)]


def read_exports(files: list[Path]) -> registry_listing.Export:
    return registry_listing.merge_exports(
        registry_listing.parse_export(registry_listing.decode_export(f.read_bytes()))
        for f in files)


def listed_key_values(export: registry_listing.Export, listing) -> dict[str, dict | None]:
    """The values of every listed key (None when missing), by listed key, ignoring case."""
    index = {key.lower(): values for key, values in export.items()}
    found = {}
    for listed in listing:
        homes = (registry_listing.CLASSES_ROOT_HOMES if listed.root == "HKCR"
                 else (registry_listing.ROOT_NAMES[listed.root],))
        name = f"{listed.root}\\{listed.key}"
        found[name] = next((index[f"{home}\\{listed.key}".lower()] for home in homes
                            if f"{home}\\{listed.key}".lower() in index), None)
    return found


# ---------------------------------------------------------------- shared checks

def check_window(ctx: Context, run: harness.Run, exe_mtime: float) -> None:
    """Caption, frame, position, and every control's class, place, size, style, font and fixed
    text."""
    checks = ctx.checks
    window = run.window
    date = time.strftime("%d/%m/%Y", time.localtime(exe_mtime))
    checks.equal(window["caption"], f"Movrix18 (version 2.18.0.1 du {date})", "caption")
    for what, got, twips in zip(("width", "height"), window["client"], CLIENT_TWIPS):
        checks.true(abs(got - pixels(twips)) <= 1,
                    f"client {what}: got {got}, expected {pixels(twips):.1f} (±1)")
    for bit, name in ((WS_MINIMIZEBOX, "minimise box"), (WS_MAXIMIZEBOX, "maximise box"),
                      (WS_THICKFRAME, "sizing frame")):
        checks.true(not window["style"] & bit, f"window style {window['style']:#x} has a {name}")
    left, top, right, bottom = window["rect"]
    screen_w, screen_h = window["screen"]
    for what, start, size, screen in (("left", left, right - left, screen_w),
                                      ("top", top, bottom - top, screen_h)):
        checks.true(abs(start - (screen - size) / 2) <= 1,
                    f"window not centred: {what} {start}, size {size}, screen {screen}")

    controls = {c["id"]: c for c in run.controls}
    checks.equal(sorted(controls), [c.id for c in LAYOUT], "control ids")
    for spec in LAYOUT:
        got = controls.get(spec.id)
        if got is None:
            continue
        check_control(checks, spec, got)
    check_fonts(checks, run)


def check_fonts(checks: Checks, run: harness.Run) -> None:
    """Face, height, weight and slant of the font each control was given."""
    if not checks.true(run.fonts_failure is None, f"fonts not read: {run.fonts_failure}"):
        return
    for name, want in FONTS.items():
        got = run.fonts.get(BY_NAME[name].id)
        if not checks.true(bool(got and got["set"]), f"{name} font: got {got}, expected {want}"):
            continue
        checks.equal(got["face"], want.face, f"{name} font face")
        checks.equal(got["height"], want.height(),
                     f"{name} font height ({want.centipoints / 100} pt)")
        checks.equal(got["weight"], FW_BOLD if want.bold else FW_NORMAL, f"{name} font weight")
        checks.equal(got["italic"], False, f"{name} font italic")


def check_control(checks: Checks, spec: Control, got: dict) -> None:
    name = spec.name
    checks.equal(got["class"].lower(), spec.window_class.lower(), f"{name} class")
    checks.equal(got["visible"], True, f"{name} visible")
    checks.equal(got["enabled"], name != "txtSys", f"{name} enabled")
    left, top, right, bottom = got["rect"]
    want_left, want_top = expected_origin(spec)
    placed = [("left", left, want_left), ("top", top, want_top)]
    if spec.width:  # the Movrix label sizes itself: only its corner is fixed
        placed += [("width", right - left, pixels(spec.width)),
                   ("height", bottom - top, pixels(spec.height))]
    for what, value, want in placed:
        checks.true(abs(value - want) <= 1,
                    f"{name} {what}: got {value}, expected {want:.1f} (±1)")
    tab_stop = bool(got["style"] & WS_TABSTOP)
    checks.equal(tab_stop, name in ("Command1", "txtOutput"), f"{name} tab stop")
    if name == "txtOutput":
        wanted = WS_HSCROLL | WS_VSCROLL | ES_MULTILINE
        checks.equal(got["style"] & wanted, wanted, f"txtOutput style {got['style']:#x} scroll "
                                                    "bars and multi-line bits")
    if spec.text is not None:
        checks.equal(got["text"], spec.text, f"{name} text")


def expected_txt_sys(ctx: Context, suffix: str) -> str:
    """The system panel as the registry of the prefix describes the system."""
    key = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
    export = read_exports(export_keys(ctx.prefix, [key], ctx.artifacts.folder, "currentversion"))
    values = next((v for k, v in export.items() if k.lower().endswith(key[4:].lower())), {})

    def value(name: str) -> str:
        return values.get(name, ("REG_SZ", ""))[1]

    return (value("ProductName") + suffix + CRLF + "Version          " + value("CurrentVersion") +
            "." + value("CurrentBuildNumber") + " " + value("CSDVersion") + CRLF)


def check_completed_run(ctx: Context, run: harness.Run, system: System, renamed: list[str],
                        txt_sys: str) -> None:
    """A run that showed its window: no box, the texts of the window, OK ended it with 0."""
    checks = ctx.checks
    checks.equal([(b["title"], b["text"]) for b in run.boxes], [], "message boxes")
    checks.require(run.window is not None, "the main window never appeared")
    check_window(ctx, run, ctx.prefix.host_path(f"{SETUP}\\{EXE_NAME}").stat().st_mtime)
    checks.equal(run.control(TXT_SYS)["text"], txt_sys, "txtSys")
    checks.equal(run.control(TXT_OK)["text"], TXT_OK_TEXT, "txtOK")
    for problem in compare_output(run.control(TXT_OUTPUT)["text"],
                                  system.expected_output(ctx.setup, renamed)):
        checks.fail(f"txtOutput {problem}")
    checks.equal(run.exit_code, 0, "exit code after OK")


def check_trees_installed(ctx: Context, system: System) -> None:
    """Every "Windows Mail" folder holds exactly its source tree, file by file."""
    for block in system.trees(ctx.setup):
        tree = PureWindowsPath(block.source_root).name
        installed = ctx.prefix.host_path(block.dest_root)
        ctx.checks.equal(tree_files(installed / "Windows Mail"),
                         [f[len("Windows Mail\\"):] for f in block.files
                          if f.startswith("Windows Mail\\")],
                         f"files of {block.dest_root}Windows Mail")
        for relative in block.files:
            source = (ctx.setup / tree / PureWindowsPath(relative).as_posix()).read_bytes()
            target = block.dest_root + relative
            got = ctx.prefix.read_file(target) if ctx.prefix.exists(target) else None
            ctx.checks.equal(got, source, f"content of {target}")


def check_backup_folders(ctx: Context, system: System, originals: dict[str, bytes]) -> None:
    """Each "Windows Mail.orlo" holds the system's own folder, untouched."""
    for folder in system.program_folders():
        backup = f"{folder}\\Windows Mail.orlo"
        if not ctx.checks.true(ctx.prefix.exists(backup), f"{backup} missing"):
            continue
        ctx.checks.equal(ctx.prefix.listdir(backup), ["placeholder.txt"], f"files of {backup}")
        ctx.checks.equal(ctx.prefix.read_file(backup + "\\placeholder.txt"),
                         originals[folder], f"content of {backup}\\placeholder.txt")


def original_placeholders(prefix: harness.Prefix) -> dict[str, bytes]:
    """The placeholder of each system "Windows Mail" folder, by its Program Files folder."""
    found = {}
    for folder in (PROGRAM_FILES, PROGRAM_FILES_X86):
        path = f"{folder}\\Windows Mail\\placeholder.txt"
        if prefix.exists(path):
            found[folder] = prefix.read_file(path)
    return found


def check_system_files(ctx: Context, system: System, originals: dict[str, bytes]) -> None:
    """The replaced files hold the sources and each backup the system's original; the other
    system files are as they were."""
    expected = dict(originals)
    for item in system.system_files():
        expected[item.dest] = (ctx.setup / PureWindowsPath(item.source).as_posix()).read_bytes()
        expected[item.dest + ".orlo"] = originals[item.dest]
    got = all_system_files(ctx.prefix)
    for path in sorted(set(expected) | set(got)):
        ctx.checks.equal(got.get(path), expected.get(path), f"content of {path}")


def expected_commands(ctx: Context, system: System) -> collections.Counter:
    """The rights commands of a run: two per tree file and per system file with the rights step."""
    targets = [block.dest_root + f for block in system.trees(ctx.setup) for f in block.files]
    targets += [f.dest for f in system.system_files() if f.rights]
    lines = []
    for target in targets:
        lines.append(("takeown.exe", f'takeown /a /f "{target}"'))
        lines.append(("icacls.exe", f'icacls "{target}" /grant *S-1-5-32-544:F'))
    return collections.Counter((exe.lower(), line.casefold()) for exe, line in lines)


def check_command_log(ctx: Context, expected: collections.Counter) -> None:
    """The stubs' log holds the expected command lines (paths compared as Windows does, without
    regard to case: the system folders come from %windir%, "C:\\windows" under Wine)."""
    count = sum(expected.values())
    logged = ctx.prefix.command_log(min_lines=count, timeout=60)
    got = collections.Counter((exe.lower(), line.casefold()) for exe, line in logged)
    missing, extra = expected - got, got - expected
    ctx.checks.true(not missing and not extra,
                    f"command log: {len(logged)} lines for {count} expected; missing "
                    f"{sorted(missing.elements())[:4]}, unexpected {sorted(extra.elements())[:4]}")


def check_registration(ctx: Context, system: System) -> None:
    listing = registry_listing.read_listing()
    files = export_keys(ctx.prefix, listing_export_keys(listing), ctx.artifacts.folder, "registry")
    problems = registry_listing.check_export_files([str(f) for f in files], listing, system.is64)
    for problem in problems[:20]:
        ctx.checks.fail(f"registry: {problem}")
    if len(problems) > 20:
        ctx.checks.fail(f"registry: {len(problems) - 20} more differences")
    if not system.is64:
        wow = sorted(k for k in read_exports(files) if "\\wow6432node" in k.lower())
        ctx.checks.equal(wow[:5], [], "keys under Wow6432Node on a 32-bit system")


def check_untouched(ctx: Context, originals: dict[str, bytes], placeholders: dict[str, bytes],
                    removed: str | None = None) -> None:
    """After a stop: no folder renamed, nothing copied, no command started, system files as they
    were. `removed` names a "Windows Mail" folder the scenario took away."""
    for folder, content in placeholders.items():
        ctx.checks.true(not ctx.prefix.exists(f"{folder}\\Windows Mail.orlo"),
                        f"{folder}\\Windows Mail was renamed")
        if folder != removed:
            ctx.checks.equal(ctx.prefix.listdir(f"{folder}\\Windows Mail"), ["placeholder.txt"],
                             f"files of {folder}\\Windows Mail")
    ctx.checks.equal(all_system_files(ctx.prefix), originals, "system files")
    ctx.checks.equal(ctx.prefix.command_log(), [], "rights commands started")


def box(title: str, text: str, icon: str = "none", buttons=("ok",)) -> dict:
    return {"title": title, "text": text, "icon": icon, "buttons": list(buttons)}


def shown_boxes(run: harness.Run) -> list[dict]:
    return [{k: b[k] for k in ("title", "text", "icon", "buttons")} for b in run.boxes]


# ---------------------------------------------------------------- scenarios

def first_run(ctx: Context, system: System, check_registry: bool = True) -> harness.Run:
    """A first installation on a system with its "Windows Mail" folders, checked in full."""
    originals = all_system_files(ctx.prefix)
    placeholders = original_placeholders(ctx.prefix)
    txt_sys = expected_txt_sys(ctx, system.product_suffix)
    run = ctx.run()
    renamed = [PureWindowsPath(f).name for f in system.program_folders()]
    check_completed_run(ctx, run, system, renamed, txt_sys)
    check_backup_folders(ctx, system, placeholders)
    check_trees_installed(ctx, system)
    check_system_files(ctx, system, originals)
    check_command_log(ctx, expected_commands(ctx, system))
    if check_registry and system.registers:
        check_registration(ctx, system)
    return run


def scenario_first_run_win10_64(ctx: Context) -> None:
    first_run(ctx, WIN10_64)


def identified_as(version: str, system: System):
    """A first run on a prefix made to report another Windows version: the system panel, the
    system line of the output and what the run does follow from the version."""
    def scenario(ctx: Context) -> None:
        ctx.prefix.set_windows_version(version)
        first_run(ctx, system, check_registry=False)
    return scenario


def scenario_second_run_win10_64(ctx: Context) -> None:
    system = WIN10_64
    originals = all_system_files(ctx.prefix)
    placeholders = original_placeholders(ctx.prefix)
    txt_sys = expected_txt_sys(ctx, system.product_suffix)
    first = ctx.run()
    ctx.checks.require(first.window is not None and not first.boxes,
                       f"the first run did not complete: boxes {shown_boxes(first)}")
    commands = expected_commands(ctx, system)
    ctx.prefix.command_log(min_lines=sum(commands.values()), timeout=60)
    # A user's change to an installed program file and to a replaced system file.
    changed = [PROGRAM_FILES + r"\Windows Mail\WinMail.exe", WINDOWS + r"\SysWOW64\msoeacct.dll"]
    for path in changed:
        ctx.prefix.write_file(path, b"changed between the runs")

    second = ctx.run()
    check_completed_run(ctx, second, system, [], txt_sys)
    check_backup_folders(ctx, system, placeholders)
    check_trees_installed(ctx, system)
    check_system_files(ctx, system, originals)
    check_command_log(ctx, commands + commands)


def scenario_win7_64(ctx: Context) -> None:
    # The keys of HKLM and HKCU suffice to see a registration: it writes all of its groups or
    # stops the run. Leaving HKCR out saves two exports of several seconds each.
    listing = [v for v in registry_listing.read_listing() if v.root != "HKCR"]
    keys = listing_export_keys(listing)
    before = listed_key_values(read_exports(export_keys(ctx.prefix, keys, ctx.artifacts.folder,
                                                        "before")), listing)
    first_run(ctx, WIN7_64)
    after = listed_key_values(read_exports(export_keys(ctx.prefix, keys, ctx.artifacts.folder,
                                                       "after")), listing)
    changed = sorted(key for key in before if before[key] != after[key])
    ctx.checks.equal(changed[:5], [], "registration keys changed on Windows 7")
    ctx.checks.equal(after.get(r"HKLM\SOFTWARE\Clients\Mail\Windows Mail"), None,
                     r"HKLM\SOFTWARE\Clients\Mail\Windows Mail")


def scenario_win8_32(ctx: Context) -> None:
    first_run(ctx, WIN8_32)


def scenario_win10_32(ctx: Context) -> None:
    first_run(ctx, WIN10_32)


def stop_scenario(expected_boxes: list[dict], prepare=None, answers=(), locale="fr_FR.UTF-8",
                  removed: str | None = None):
    """A run that must stop with these boxes, before its window and before changing anything."""

    def scenario(ctx: Context) -> None:
        originals = all_system_files(ctx.prefix)
        placeholders = original_placeholders(ctx.prefix)
        if prepare:
            prepare(ctx.prefix)
        run = ctx.run(answers=answers, locale=locale)
        check_stopped(ctx, run, expected_boxes)
        check_untouched(ctx, originals, placeholders, removed)

    return scenario


def check_stopped(ctx: Context, run: harness.Run, expected_boxes: list[dict]) -> None:
    ctx.checks.equal(shown_boxes(run), expected_boxes, "message boxes")
    ctx.checks.true(run.window is None, f"the main window appeared: {run.window}")


def remove(*paths: str):
    def prepare(prefix: harness.Prefix) -> None:
        for path in paths:
            target = prefix.host_path(path)
            shutil.rmtree(target) if target.is_dir() else target.unlink()

    return prepare


def make_empty(path: str):
    return lambda prefix: prefix.write_file(path, b"")


def scenario_missing_dlls(ctx: Context) -> None:
    """Both library sources missing: a box of FileExists for each, then the plural message."""
    originals, placeholders = all_system_files(ctx.prefix), original_placeholders(ctx.prefix)
    remove(SETUP + r"\system32\msidcrl30.dll", SETUP + r"\syswow64\msidcrl30.dll")(ctx.prefix)
    run = ctx.run()
    boxes = shown_boxes(run)
    ctx.checks.equal(len(boxes), 3, "number of message boxes")
    for number, shown in enumerate(boxes[:2], start=1):
        # The text is the system's description of the missing file, in its language.
        ctx.checks.equal({k: v for k, v in shown.items() if k != "text"},
                         {"title": "Movrix18", "icon": "none", "buttons": ["ok"]},
                         f"FileExists box {number}")
        ctx.checks.true(shown["text"].strip() != "", f"FileExists box {number} has no text")
    check_stopped(ctx, run, boxes[:2] + [
        box("Movrix18", "Le dossiers system32 et system64 n'ont pas été installés.")])
    check_untouched(ctx, originals, placeholders)


WINMAIL_QUESTION = box("Windows Mail est en service",
                       "Cliquer sur OUI pour arrêter Windows Mail" + CRLF +
                       "ou sur NON si vous désirez le fermer vous-même" + CRLF +
                       "afin de terminer les travaux en cours.", "question", ("yes", "no"))


def scenario_winmail_no(ctx: Context) -> None:
    originals, placeholders = all_system_files(ctx.prefix), original_placeholders(ctx.prefix)
    winmail = harness.start_winmail(ctx.prefix)
    try:
        ctx.checks.require(winmail.running(), "the fake WinMail.exe did not start")
        run = ctx.run(answers=["no"])
        check_stopped(ctx, run, [WINMAIL_QUESTION])
        ctx.checks.true(winmail.running(), "WinMail.exe was ended although the answer was No")
        check_untouched(ctx, originals, placeholders)
    finally:
        winmail.stop()


def scenario_winmail_yes(ctx: Context) -> None:
    winmail = harness.start_winmail(ctx.prefix)
    try:
        ctx.checks.require(winmail.running(), "the fake WinMail.exe did not start")
        run = ctx.run(answers=["yes"])
        ctx.checks.equal(shown_boxes(run), [WINMAIL_QUESTION], "message boxes")
        ctx.checks.true(winmail.wait_ended(10), "WinMail.exe still runs after the answer Yes")
        ctx.checks.true(run.window is not None, "the run did not go on to its window")
        ctx.checks.equal(run.exit_code, 0, "exit code after OK")
        ctx.checks.true(ctx.prefix.exists(PROGRAM_FILES + r"\Windows Mail.orlo"),
                        "the run did not go on to the renaming")
    finally:
        winmail.stop()


def no_icon_box(text: str) -> dict:
    return box("Movrix18", text)


PLURAL_TREES = "Le dossiers WM_32 et WM_64 n'ont pas été installés."

SCENARIOS = [
    ("first_run_win10_64", "win10-64", scenario_first_run_win10_64),
    ("second_run_win10_64", "win10-64", scenario_second_run_win10_64),
    ("win7_64", "win7-64", scenario_win7_64),
    ("win8_32", "win8-32", scenario_win8_32),
    ("win10_32", "win10-32", scenario_win10_32),
    ("win81_64", "win10-64", identified_as("win81", System("win10-64", True, " 64 bits", "W8"))),
    ("win8_64", "win10-64", identified_as("win8", System("win10-64", True, " 64 bits", "W8"))),
    ("win7_32", "win10-32", identified_as("win7", System("win10-32", False, " 32 bits", "7"))),
    ("win81_32", "win10-32", identified_as("win81", System("win10-32", False, " 32 bits", "W8"))),
    ("stop_xp", "xp-64", stop_scenario(
        [no_icon_box("Le système n'est ni Windows 7, ni Windows 8, ni Windows 10")])),
    ("stop_wm32_and_wm64_missing", "win10-64", stop_scenario(
        [no_icon_box(PLURAL_TREES)], remove(SETUP + r"\WM_32", SETUP + r"\WM_64"))),
    ("stop_wm32_missing", "win10-64", stop_scenario(
        [no_icon_box("Le dossier WM_32 n'a pas été installé.")], remove(SETUP + r"\WM_32"))),
    # The library sources are not tested once a tree is missing: no FileExists box comes.
    ("stop_wm64_missing", "win10-64", stop_scenario(
        [no_icon_box("Le dossier WM_64 n'a pas été installé.")],
        remove(SETUP + r"\WM_64", SETUP + r"\system32\msidcrl30.dll"))),
    ("stop_both_dlls_missing", "win10-64", scenario_missing_dlls),
    ("stop_syswow64_dll_empty", "win10-64", stop_scenario(
        [no_icon_box(""), no_icon_box("Le dossier syswow64 n'a pas été installé.")],
        make_empty(SETUP + r"\syswow64\msidcrl30.dll"))),
    ("stop_syswow64_dll_empty_32bit", "win8-32", stop_scenario(
        [no_icon_box(""), no_icon_box("Le dossier syswow64 n'a pas été installé.")],
        make_empty(SETUP + r"\syswow64\msidcrl30.dll"))),
    ("stop_windows_mail_folder_missing", "win10-64", stop_scenario(
        [box("Launch_Folders 1", "", "critical"),
         box("MVX", "Le système doit être réparé avant l'installation de Windows Mail",
             "information")],
        remove(PROGRAM_FILES + r"\Windows Mail"), removed=PROGRAM_FILES)),
    ("stop_german_language", "win10-64", stop_scenario(
        [box("Form_Load", "Movrix non compatible avec la langue de Windows ou Système corrompu",
             "critical")], locale=GERMAN)),
    ("stop_winmail_running_no", "win10-64", scenario_winmail_no),
    ("winmail_running_yes", "win10-64", scenario_winmail_yes),
]


# ---------------------------------------------------------------- runner

def run_scenario(name: str, template: str, scenario, setup: Path) -> tuple[bool, str]:
    artifacts = Artifacts(ARTIFACTS / name)
    checks = Checks()
    prefix = harness.fresh_prefix(template)
    try:
        prefix.put_tree(setup, SETUP)
        ctx = Context(prefix, setup, artifacts, checks)
        try:
            scenario(ctx)
        except ScenarioFailed:
            pass
        except Exception:  # a fault of the scenario itself still reports as a failure
            checks.fail("error in the scenario: " + traceback.format_exc().strip().splitlines()[-1])
            artifacts.path("traceback.txt").write_text(traceback.format_exc(), encoding="utf-8")
        artifacts.keep_run_files(prefix)
    finally:
        prefix.remove()
    if not checks.failures:
        return True, ""
    artifacts.path("failures.txt").write_text("\n".join(checks.failures) + "\n", encoding="utf-8")
    more = f" (+{len(checks.failures) - 1} more)" if len(checks.failures) > 1 else ""
    return False, f"{checks.failures[0]}{more}; see {artifacts.folder / 'failures.txt'}"


def main(argv: list[str]) -> int:
    wanted = [a for a in argv if not a.startswith("-")]
    chosen = [s for s in SCENARIOS if not wanted or any(w in s[0] for w in wanted)]
    if not EXE.is_file():
        print(f"FAIL setup: {EXE} not found (build it, or set MOVRIX_EXE)")
        return 1
    if not chosen:
        print(f"FAIL setup: no scenario matches {wanted}")
        return 1
    harness.ensure_templates(*sorted({template for _, template, _ in chosen}))
    started = time.monotonic()
    failed = 0
    with tempfile.TemporaryDirectory(prefix="movrix-e2e-") as tmp:
        setup = harness.lay_setup_folder(Path(tmp) / "Setup", EXE)
        for name, template, scenario in chosen:
            begun = time.monotonic()
            passed, reason = run_scenario(name, template, scenario, setup)
            if passed:
                print(f"PASS {name} ({time.monotonic() - begun:.1f}s)", flush=True)
            else:
                failed += 1
                print(f"FAIL {name}: {reason}", flush=True)
    print(f"{len(chosen) - failed}/{len(chosen)} scenarios passed in "
          f"{time.monotonic() - started:.0f}s", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
