"""The Wine ground the main job, the benchmark and the tests stand on: which flavour this machine
runs, the build, the cached prefix templates, throwaway prefixes, the sample sources, a private X
display and the driver.

Run as a program, it is CMake's cross-compiling emulator (see emulate).

A machine that cannot run 32-bit code ("Exec format error" from Wine's 32-bit loader) runs the
x86_64 flavour of the program and the tests under wine64, on 64-bit prefixes only.
"""

from __future__ import annotations

import contextlib
import fcntl
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
CACHE = Path(os.environ.get("MOVRIX_WINE_CACHE", REPO / "build" / "wine-cache"))
COMMAND_LOG = r"C:\movrix_commands.log"
# name: (architecture, version reported by the system)
TEMPLATES = {
    "win10-64": ("win64", "win10"),
    "win7-64": ("win64", "win7"),
    "win8-32": ("win32", "win8"),
}
SYSTEM_FILES = [
    "msoeacct.dll",
    "msidcrl30.dll",
    "acctres.dll",
    "inetres.dll",
    r"fr-FR\acctres.dll.mui",
    r"fr-FR\inetres.dll.mui",
]


class Trouble(Exception):
    """Something the tests need is missing or broken; the message says what, in one sentence."""


def runs_32_bit_code() -> bool:
    """Whether this machine runs 32-bit x86 programs: Wine's 32-bit loader tells."""
    try:
        return (
            subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
        )
    except OSError:
        return False


@dataclass(frozen=True)
class Flavour:
    name: str  # i686 (the product) or x86_64
    preset: str  # the CMake preset that builds it
    loader: str  # the Wine loader that starts its programs
    templates: tuple

    @property
    def build(self) -> Path:
        return REPO / "build" / self.preset

    def describe(self) -> str:
        if self.name == "i686":
            return "Flavour i686 (the product, Movrix18.exe) under wine, on 64-bit and 32-bit prefixes."
        return (
            "Flavour x86_64 under wine64: this machine cannot run 32-bit code. Skipped: the "
            "WOW64 redirection, the native registry view reached by a 32-bit process and its "
            'ProgramFiles reading "C:\\Program Files (x86)" (only a 32-bit process has them), '
            "and the scenarios on a 32-bit system (they need 32-bit Wine)."
        )


def this_machine() -> Flavour:
    if runs_32_bit_code():
        return Flavour("i686", "windows", "wine", ("win10-64", "win7-64", "win8-32"))
    return Flavour("x86_64", "windows64", "/usr/lib/wine/wine64", ("win10-64", "win7-64"))


def build(flavour: Flavour, *targets: str) -> None:
    for command in (
        ["cmake", "--preset", flavour.preset],
        ["cmake", "--build", "--preset", flavour.preset, "--target", *targets],
    ):
        result = subprocess.run(
            command, cwd=REPO, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True
        )
        if result.returncode:
            print(result.stdout[-4000:])
            raise Trouble(f"The build failed: {' '.join(command)}.")


def wine_env(
    prefix: Path,
    flavour: Flavour,
    arch: str,
    display: str | None = None,
    locale: str = "fr_FR.UTF-8",
    overrides: str = "",
) -> dict:
    env = dict(
        os.environ,
        WINEPREFIX=str(prefix),
        WINEARCH=arch,
        WINEDEBUG="-all",
        LC_ALL=locale,
        LOCPATH=str(CACHE / "locale"),
        WINEDLLOVERRIDES="icacls.exe,takeown.exe=n;mscoree,mshtml=" + overrides,
    )
    env.pop("WAYLAND_DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def wineserver(env: dict, *args: str) -> None:
    subprocess.run(
        ["wineserver", *args], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL
    )


def _make_locales() -> None:
    for name in ("fr_FR", "de_DE"):
        target = CACHE / "locale" / f"{name}.UTF-8"
        if not (target / "LC_CTYPE").exists():
            target.parent.mkdir(parents=True, exist_ok=True)
            subprocess.run(
                ["localedef", "-i", name, "-f", "UTF-8", str(target)],
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
            )
            if not (target / "LC_CTYPE").exists():
                raise Trouble(
                    f"The locale {name}.UTF-8 cannot be made (is the package locales installed?)."
                )


def _seed(prefix: Path, arch: str, flavour: Flavour) -> None:
    """What a real system has and the installer touches: the "Windows Mail" folders, the system
    files it replaces, and the stand-ins for takeown and icacls that Wine lacks."""
    c = prefix / "drive_c"
    for pf in ["Program Files", "Program Files (x86)"][: 2 if arch == "win64" else 1]:
        (c / pf / "Windows Mail").mkdir(parents=True, exist_ok=True)
        (c / pf / "Windows Mail" / "placeholder.txt").write_text(f"original {pf}")
    for folder in ["system32", "syswow64"][: 2 if arch == "win64" else 1]:
        for name in SYSTEM_FILES:
            path = c / "windows" / folder / name.replace("\\", "/")
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(f"original {folder} {name}")
        for stub in ("takeown.exe", "icacls.exe"):
            shutil.copy(flavour.build / stub, c / "windows" / folder / stub)


def template(name: str, flavour: Flavour) -> Path:
    """The cached template, booted in French, made again when Wine, this file or the stubs change."""
    arch, version = TEMPLATES[name]
    CACHE.mkdir(parents=True, exist_ok=True)
    _make_locales()
    wine_version = subprocess.run([flavour.loader, "--version"], capture_output=True).stdout
    stamp = hashlib.sha256(
        Path(__file__).read_bytes() + (flavour.build / "takeown.exe").read_bytes() + wine_version
    ).hexdigest()
    target = CACHE / f"{flavour.name}-{name}"
    with open(CACHE / ".lock", "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (target / "stamp").exists() and (target / "stamp").read_text() == stamp:
            return target
        shutil.rmtree(target, ignore_errors=True)
        work = Path(str(target) + ".building")
        shutil.rmtree(work, ignore_errors=True)
        env = wine_env(work, flavour, arch)
        with open(CACHE / f"{name}.log", "w") as log:
            for command in (
                ["wineboot", "-i"],
                ["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                ["winecfg", "/v", version],
            ):
                subprocess.run([flavour.loader, *command], env=env, stdout=log, stderr=log)
                wineserver(env, "-w")
        if not (work / "system.reg").exists():
            raise Trouble(f"Wine could not make the prefix {name}; see {CACHE / (name + '.log')}.")
        _seed(work, arch, flavour)
        (work / "stamp").write_text(stamp)
        work.rename(target)
        return target


@dataclass
class Prefix:
    path: Path
    arch: str
    flavour: Flavour
    display: str | None = None
    locale: str = "fr_FR.UTF-8"
    overrides: str = ""  # more WINEDLLOVERRIDES entries, each after a ";"

    def host(self, windows_path: str) -> Path:
        """The Linux path of a C: path, letter case as the prefix has it."""
        path = self.path / "drive_c"
        for part in windows_path[3:].split("\\"):
            if not part:
                continue
            matches = (
                [p for p in path.iterdir() if p.name.lower() == part.lower()]
                if path.is_dir()
                else []
            )
            path = matches[0] if matches else path / part
        return path

    def env(self) -> dict:
        return wine_env(
            self.path, self.flavour, self.arch, self.display, self.locale, self.overrides
        )

    def run(self, program: str, *args: str, timeout: int = 300) -> subprocess.CompletedProcess:
        """Runs a Windows program; its output lands in files, since Wine's helpers inherit pipes."""
        with tempfile.TemporaryFile() as out:
            result = subprocess.run(
                [self.flavour.loader, program, *args],
                env=self.env(),
                stdout=out,
                stderr=subprocess.STDOUT,
                timeout=timeout,
            )
            out.seek(0)
            result.stdout = out.read().decode("utf-8", "replace")
        return result

    def lay_setup(self, program: Path) -> Path:
        """C:\\Setup as an administrator receives it: the program beside the sample sources."""
        setup = self.host(r"C:\Setup")
        make_sample_sources(setup)
        shutil.copy(program, setup / "Movrix18.exe")
        return setup

    def command_log(self) -> list[str]:
        path = self.host(COMMAND_LOG)
        return path.read_text("cp1252").splitlines() if path.exists() else []


def make_sample_sources(folder: Path) -> None:
    subprocess.run(["bash", str(REPO / "wine" / "make_sample_sources.sh"), str(folder)], check=True)


def _is_wine_library(path: Path) -> bool:
    with open(path, "rb") as file:
        return file.read(0x50)[0x40:] == b"Wine builtin DLL"


def _clone(source: Path, target: Path) -> None:
    """Copies a template but shares Wine's own libraries with it by hard links: they are nine
    tenths of its size, and nothing a test runs writes them (the system files the program replaces
    are samples of ours, copied like every other file)."""
    for folder, folders, files in os.walk(source):
        here = target / Path(folder).relative_to(source)
        here.mkdir()
        for name in folders + files:
            path = Path(folder) / name
            if path.is_symlink():
                os.symlink(os.readlink(path), here / name)
            elif name in files and _is_wine_library(path):
                try:
                    os.link(path, here / name)
                except OSError:  # a file system without hard links gets a copy
                    shutil.copy2(path, here / name)
            elif name in files:
                shutil.copy2(path, here / name)


@contextlib.contextmanager
def fresh_prefix(name: str, flavour: Flavour, display: str | None = None):
    """A private copy of a template; its wineserver is ended and the copy removed afterwards."""
    source = template(name, flavour)
    (CACHE / "prefixes").mkdir(exist_ok=True)  # beside the templates: links cannot cross a device
    root = Path(tempfile.mkdtemp(prefix=f"{name}-", dir=CACHE / "prefixes"))
    _clone(source, root / "prefix")
    prefix = Prefix(root / "prefix", TEMPLATES[name][0], flavour, display)
    try:
        yield prefix
    finally:
        wineserver(prefix.env(), "-k")
        shutil.rmtree(root, ignore_errors=True)


@contextlib.contextmanager
def private_display():
    """An X server of our own, so that the windows and boxes show nowhere else. The server picks a
    free display number itself: two runs started at the same moment (ctest -j2, another worktree's
    tests) would otherwise both find the same one free, share it, and the first to end would take
    the other's windows with it."""
    read, write = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write,),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    os.close(write)
    try:
        with os.fdopen(read) as ready:
            number = ready.readline().strip()  # empty when the server ended without a display
        if not number:
            raise Trouble("Xvfb did not start.")
        yield f":{number}"
    finally:
        server.terminate()
        server.wait()


def unescape(text: str) -> str:
    swaps = {"\\\\": "\\", "\\t": "\t", "\\r": "\r", "\\n": "\n"}
    out, i = [], 0
    while i < len(text):
        pair = text[i : i + 2]
        out.append(swaps.get(pair, text[i]))
        i += 2 if pair in swaps else 1
    return "".join(out)


@dataclass
class Run:
    boxes: list = field(default_factory=list)  # (title, text, icon, buttons, answer)
    window: dict | None = None  # class, caption, rect, client
    controls: dict = field(default_factory=dict)  # id: (class, rect, text)
    exit_code: int | None = None
    shots: list = field(default_factory=list)
    focus: list = field(default_factory=list)  # control ids, before each key typed


def drive(
    prefix: Prefix,
    program: str,
    *args: str,
    answers=(),
    keys=(),
    shots: Path | None = None,
    timeout: int = 240,
    start_folder: str | None = None,
) -> Run:
    """Runs a program under the driver, which answers its boxes and presses OK in its window, or
    closes it by typing `keys` (tab, return, escape); in `start_folder` when one is given."""
    transcript = prefix.path / "drive_c" / "transcript.tsv"
    driver = prefix.path / "drive_c" / "driver.exe"
    shutil.copy(prefix.flavour.build / "driver.exe", driver)
    env = prefix.env()
    if keys:
        env["MOVRIX_KEYS"] = ",".join(keys)
    if start_folder:
        env["MOVRIX_START_FOLDER"] = start_folder
    if shots:
        env["MOVRIX_SHOT_WAIT"] = "20"
        shots.mkdir(parents=True, exist_ok=True)
    command = [
        prefix.flavour.loader,
        r"C:\driver.exe",
        str(timeout),
        r"C:\transcript.tsv",
        ",".join(answers) or "-",
        program,
        *args,
    ]
    with tempfile.TemporaryFile() as out:
        process = subprocess.Popen(command, env=env, stdout=out, stderr=out)
        run = Run()
        while process.poll() is None:
            for shown in sorted(prefix.path.glob("drive_c/transcript.tsv.*.shown")):
                done = shown.with_suffix(".done")
                picture = shots / f"{len(run.shots) + 1}.png"
                subprocess.run(
                    ["import", "-display", prefix.display, "-window", "root", str(picture)],
                    stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL,
                )
                run.shots.append(picture)
                shown.unlink()
                done.touch()
            time.sleep(0.1)
    for line in transcript.read_text("utf-8").splitlines():
        kind, *fields = [unescape(f) for f in line.split("\t")]
        if kind == "box":
            run.boxes.append(tuple(fields))
        elif kind == "window":
            run.window = dict(
                zip(
                    ("class", "caption", "rect", "client", "milliseconds", "peak_working_set"),
                    fields,
                )
            )
        elif kind == "control":
            run.controls[int(fields[0])] = tuple(fields[1:])
        elif kind == "focus":
            run.focus.append(int(fields[0]))
        elif kind == "exit":
            run.exit_code = int(fields[0])
        else:
            raise Trouble(f"The driver stopped: {line}")
    return run


def emulate(argv: list[str]) -> int:
    """Runs `[--beside FILE]... PROGRAM [ARGUMENT]...` in a throwaway prefix of the system named by
    MOVRIX_SYSTEM (win10-64 unless set), on a display of its own, from C:\\ where the program and
    each FILE are copied first; prints its output and returns its exit code."""
    beside = []
    while argv[:1] == ["--beside"]:
        beside.append(Path(argv[1]))
        argv = argv[2:]
    program, system = Path(argv[0]), os.environ.get("MOVRIX_SYSTEM", "win10-64")
    try:
        with private_display() as display, fresh_prefix(system, this_machine(), display) as prefix:
            for path in [program, *beside]:
                shutil.copy(path, prefix.host("C:\\"))
            result = prefix.run("C:\\" + program.name, *argv[1:])
    except Trouble as trouble:
        print(trouble, file=sys.stderr)
        return 2
    print(result.stdout.rstrip())
    if result.returncode:
        # Named, since a program can end otherwise than its own output says (a crash at exit).
        print(f"{program.name} ended with {result.returncode:#x}", file=sys.stderr)
    return result.returncode


if __name__ == "__main__":
    sys.exit(emulate(sys.argv[1:]))
