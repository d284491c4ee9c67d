"""Wine test harness for Movrix: prefixes, an X server, the test driver.

Typical scenario test::

    import harness
    with harness.fresh_prefix("win10-64") as prefix:
        prefix.put_tree("/path/to/setup", r"C:\\Setup")
        run = harness.run_program(prefix, r"C:\\Setup", "Movrix18.exe",
                                  answers=["yes"], screenshot="/tmp/win.png")
        assert run.exit_code == 0
        assert run.control(102)["text"] == "OK"
        assert prefix.read_file(r"C:\\Windows\\SysWOW64\\msoeacct.dll") == b"..."
        prefix.export_registry(r"HKCR\\mailto", Path("mailto.reg"))

Contract tests run cross-compiled console programs with run_wine_exe().

Windows paths given to Prefix methods are resolved in the native view: on a
64-bit prefix C:\\Windows\\System32 is the 64-bit folder and
C:\\Windows\\SysWOW64 the 32-bit one, whatever a 32-bit program would see.

Environment: MOVRIX_WINE_CACHE (templates, locales), MOVRIX_WINE_TOOLS (built
tools), MOVRIX_WINE_TMP (where fresh prefixes go, default the system temp).
"""

from __future__ import annotations

import atexit
import dataclasses
import fcntl
import itertools
import os
import random
import shutil
import subprocess
import tempfile
import time
from pathlib import Path, PureWindowsPath

HERE = Path(__file__).resolve().parent
REPO = HERE.parents[1]
CACHE = Path(os.environ.get("MOVRIX_WINE_CACHE", REPO / "build" / "wine-cache"))
TOOLS = Path(os.environ.get("MOVRIX_WINE_TOOLS", REPO / "build" / "wine-tools"))

TEMPLATES = ("win10-64", "win7-64", "win8-32", "win10-32", "xp-64")
COMMAND_LOG = r"C:\movrix_commands.log"
ANSI_ENCODING = "cp1252"  # the ANSI code page of the French and German systems

# Files a fresh prefix shares (hard links) with its template: Wine's own
# modules, which no test writes. The system files the installer replaces,
# the stubs and the fr-FR folders are always private copies.
_SHARED_DIRS = ("drive_c/windows/system32/", "drive_c/windows/syswow64/",
                "drive_c/windows/winsxs/")
_PRIVATE_NAMES = {"msoeacct.dll", "msidcrl30.dll", "acctres.dll", "inetres.dll",
                  "takeown.exe", "icacls.exe"}


# ---------------------------------------------------------------- building

_built = False
_ready_templates: set[str] = set()


def build_tools() -> Path:
    """Builds driver.exe, the stubs and WinMail.exe."""
    global _built
    if not _built:
        subprocess.run(["bash", str(HERE / "build.sh")], check=True, stdout=subprocess.DEVNULL,
                       env={**os.environ, "MOVRIX_WINE_TOOLS": str(TOOLS)})
        _built = True
    return TOOLS


def ensure_templates(*names: str) -> Path:
    """Creates (or refreshes) the named prefix templates; returns the cache."""
    missing = [n for n in (names or TEMPLATES) if n not in _ready_templates]
    if missing:
        subprocess.run(["bash", str(HERE / "prefix.sh"), *missing], check=True,
                       stdout=subprocess.DEVNULL,
                       env={**os.environ, "MOVRIX_WINE_CACHE": str(CACHE),
                            "MOVRIX_WINE_TOOLS": str(TOOLS)})
        _ready_templates.update(missing)
    return CACHE


# ---------------------------------------------------------------- X server

class Xvfb:
    """A virtual X server on a free display of its own; stop() ends it."""

    def __init__(self, width: int = 1280, height: int = 1024):
        self.proc: subprocess.Popen | None = None
        self.display = ""
        candidates = list(range(140, 240))
        random.shuffle(candidates)
        for number in candidates:
            if (Path(f"/tmp/.X{number}-lock").exists()
                    or Path(f"/tmp/.X11-unix/X{number}").exists()):
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 10
            while proc.poll() is None and time.monotonic() < deadline:
                if Path(f"/tmp/.X11-unix/X{number}").exists():
                    self.proc, self.display = proc, f":{number}"
                    return
                time.sleep(0.05)
            proc.kill()  # lost a race for this display, or too slow: next one
            proc.wait()
        raise RuntimeError("no free X display for Xvfb")

    def stop(self) -> None:
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def __enter__(self) -> "Xvfb":
        return self

    def __exit__(self, *exc) -> None:
        self.stop()


def start_xvfb(width: int = 1280, height: int = 1024) -> Xvfb:
    return Xvfb(width, height)


_shared_xvfb: Xvfb | None = None


def default_display() -> str:
    """The display shared by this process: the one named by MOVRIX_DISPLAY when it is set (the
    main job shows the installer on the user's screen), otherwise an Xvfb started on first use."""
    global _shared_xvfb
    if os.environ.get("MOVRIX_DISPLAY"):
        return os.environ["MOVRIX_DISPLAY"]
    if _shared_xvfb is None or _shared_xvfb.proc.poll() is not None:
        _shared_xvfb = Xvfb()
        atexit.register(_shared_xvfb.stop)
    return _shared_xvfb.display


# ---------------------------------------------------------------- prefixes

def _run_captured(command: list, env: dict, timeout: float, cwd=None) -> tuple[int, bytes, bytes]:
    """Runs a command, its output going through files, not pipes: Wine's
    helper processes (services, rpcss) inherit the output handles and would
    keep a pipe open long after the command ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(command, env=env, stdout=out, stderr=err, cwd=cwd)
        try:
            code = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def wine_path(host: str | os.PathLike) -> str:
    r"""Windows path of a host path, through the Z: drive (Z:\ is /)."""
    return "Z:" + str(Path(host).resolve()).replace("/", "\\")


class Prefix:
    """A private Wine prefix copied from a template."""

    def __init__(self, path: Path, template: str):
        self.path = path
        self.template = template
        self.is64 = (path / "drive_c" / "windows" / "syswow64").is_dir()
        self._locale: str | None = None  # locale of the running wineserver
        self._runs = itertools.count(1)

    # --- environment and processes

    def env(self, locale: str = "fr_FR.UTF-8", display: str | None = None) -> dict:
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("LC_", "WINE")) and k not in ("LANG", "LANGUAGE", "DISPLAY")}
        env.update(WINEPREFIX=str(self.path), WINEDEBUG="-all", LC_ALL=locale,
                   LOCPATH=str(CACHE / "locale"),
                   WINEDLLOVERRIDES="icacls.exe,takeown.exe=n;mscoree,mshtml=")
        # The first Wine program of a prefix starts its desktop: started without a display, it
        # would leave every later program unable to create a window.
        env["DISPLAY"] = display or default_display()
        return env

    def use_locale(self, locale: str) -> None:
        """Ends the prefix's processes when the locale changes between runs."""
        if self._locale is not None and self._locale != locale:
            self.kill()
        self._locale = locale

    def kill(self) -> None:
        """wineserver -k: ends every process of this prefix."""
        subprocess.run(["wineserver", "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.wait_idle(10)
        self._locale = None

    def wait_idle(self, timeout: float = 30) -> bool:
        """wineserver -w: waits until no process of this prefix runs."""
        try:
            subprocess.run(["wineserver", "-w"], env=self.env(), timeout=timeout,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return True
        except subprocess.TimeoutExpired:
            return False

    def remove(self) -> None:
        self.kill()
        shutil.rmtree(self.path, ignore_errors=True)

    def __enter__(self) -> "Prefix":
        return self

    def __exit__(self, *exc) -> None:
        self.remove()

    # --- files

    def host_path(self, windows_path: str) -> Path:
        """Host path of a Windows path; existing components match in any case."""
        win = PureWindowsPath(windows_path)
        drive = win.drive.rstrip(":").lower()
        if not drive:
            raise ValueError(f"not an absolute Windows path: {windows_path}")
        current = (self.path / "dosdevices" / f"{drive}:").resolve()
        for part in win.parts[1:]:
            match = None
            if current.is_dir():
                folded = part.casefold()
                match = next((c for c in current.iterdir() if c.name.casefold() == folded), None)
            current = match if match is not None else current / part
        return current

    def exists(self, windows_path: str) -> bool:
        return self.host_path(windows_path).exists()

    def read_file(self, windows_path: str) -> bytes:
        return self.host_path(windows_path).read_bytes()

    def write_file(self, windows_path: str, data: bytes | str) -> None:
        target = self.host_path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data.encode(ANSI_ENCODING) if isinstance(data, str) else data)

    def put_tree(self, host_dir: str | os.PathLike, windows_dir: str) -> Path:
        """Copies a host folder (its content) into the prefix."""
        target = self.host_path(windows_dir)
        shutil.copytree(host_dir, target, dirs_exist_ok=True)
        return target

    def listdir(self, windows_dir: str) -> list[str]:
        return sorted(p.name for p in self.host_path(windows_dir).iterdir())

    def command_log(self, min_lines: int = 0, timeout: float = 15) -> list[tuple[str, str]]:
        """Lines of the stubs' log as (exe name, command line).

        The installer does not wait for the commands it starts: pass the
        number of lines expected to wait (up to timeout) for late ones.
        """
        deadline = time.monotonic() + timeout
        while True:
            path = self.host_path(COMMAND_LOG)
            text = path.read_bytes().decode(ANSI_ENCODING) if path.exists() else ""
            lines = [line for line in text.split("\r\n") if line]
            if len(lines) >= min_lines or time.monotonic() > deadline:
                return [tuple(line.split(" ", 1)) if " " in line else (line, "")
                        for line in lines]
            time.sleep(0.1)

    # --- registry

    def set_windows_version(self, version: str, locale: str = "fr_FR.UTF-8") -> None:
        """Makes the prefix report another Windows version (win7, win8, win81, win10...)."""
        self.use_locale(locale)
        _run_captured(["wine", "winecfg", "/v", version], self.env(locale), timeout=120)

    def export_registry(self, key: str, target: Path, locale: str = "fr_FR.UTF-8") -> bool:
        """Exports a key and its subkeys from the 64-bit view into the .reg file target (see
        registry_listing.py to read it); False when the key is missing."""
        self.use_locale(locale)
        target.unlink(missing_ok=True)
        _run_captured(["wine", "reg", "export", key, wine_path(target), "/reg:64", "/y"],
                      self.env(locale), timeout=120)
        return target.exists()


def lay_setup_folder(folder: Path, exe: Path) -> Path:
    """The folder an administrator starts the installer from: the program beside the bundled
    sample sources (WM_32, WM_64, system32, syswow64)."""
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    shutil.copy2(exe, folder / exe.name)
    subprocess.run(["bash", str(REPO / "scripts" / "make_sample_sources.sh"), str(folder)],
                   check=True, stdout=subprocess.DEVNULL)
    return folder


def fresh_prefix(template: str, share_system_dlls: bool = True) -> Prefix:
    """A private copy of a cached template, in a new temporary folder.

    With share_system_dlls, Wine's modules in system32, syswow64 and winsxs
    are hard links to the template's (0.2 s instead of 5 s for a copy): a
    test must not write into those files, apart from the system files the
    installer replaces, which are private copies.
    """
    ensure_templates(template)
    source = CACHE / template
    root = Path(tempfile.mkdtemp(prefix=f"movrix-{template}-", dir=os.environ.get("MOVRIX_WINE_TMP")))
    target = root / "prefix"
    # prefix.sh holds this lock exclusively while it replaces a template.
    with open(CACHE / ".lock", "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_SH)
        linked = share_system_dlls and subprocess.run(
            ["cp", "-al", str(source), str(target)], stderr=subprocess.DEVNULL).returncode == 0
        if not linked:
            shutil.rmtree(target, ignore_errors=True)
            subprocess.run(["cp", "-a", str(source), str(target)], check=True)
    if linked:
        _unshare(target)
    return _OwnedPrefix(target, template, root)


class _OwnedPrefix(Prefix):
    def __init__(self, path: Path, template: str, root: Path):
        super().__init__(path, template)
        self._root = root

    def remove(self) -> None:
        self.kill()
        shutil.rmtree(self._root, ignore_errors=True)


def _unshare(prefix: Path) -> None:
    """Replaces hard links by copies for every file a test may write."""
    for folder, _dirs, files in os.walk(prefix):
        rel_folder = os.path.relpath(folder, prefix).replace(os.sep, "/") + "/"
        shared_dir = rel_folder.lower().startswith(_SHARED_DIRS) and "/fr-fr/" not in rel_folder.lower()
        for name in files:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                continue
            if shared_dir and name.lower() not in _PRIVATE_NAMES:
                continue
            tmp = path + ".movrix-copy"
            shutil.copy2(path, tmp)
            os.replace(tmp, path)


# ---------------------------------------------------------------- transcripts

@dataclasses.dataclass
class Run:
    """What the driver saw of one run of the program."""
    records: list[tuple[str, dict]]
    driver_status: int | None = None
    output: str = ""
    screenshot: Path | None = None

    def _all(self, kind: str) -> list[dict]:
        return [fields for k, fields in self.records if k == kind]

    @property
    def boxes(self) -> list[dict]:
        return self._all("box")

    @property
    def window(self) -> dict | None:
        found = self._all("window")
        return found[0] if found else None

    @property
    def controls(self) -> list[dict]:
        return self._all("control")

    def control(self, control_id: int) -> dict:
        found = [c for c in self.controls if c["id"] == control_id]
        if len(found) != 1:
            raise KeyError(f"{len(found)} controls with id {control_id}")
        return found[0]

    @property
    def fonts(self) -> dict[int, dict]:
        """The font of each control of the main window by id: {"set", "face", "height",
        "weight", "italic"} from its LOGFONT; empty when they could not be read."""
        return {f["id"]: f for f in self._all("font")}

    @property
    def fonts_failure(self) -> str | None:
        """Why the driver could not read the fonts; None when it did, or never tried."""
        found = [f for f in self._all("fonts") if f["status"] != "read"]
        return found[0].get("what", found[0]["status"]) if found else None

    @property
    def exit_code(self) -> int | None:
        found = self._all("exit")
        return found[0]["code"] if found else None

    @property
    def timed_out(self) -> bool:
        return bool(self._all("timeout"))

    @property
    def errors(self) -> list[str]:
        return [e["what"] for e in self._all("error")]


def _unescape(text: str) -> str:
    out, chars = [], iter(text)
    for c in chars:
        if c == "\\":
            c = {"t": "\t", "r": "\r", "n": "\n", "\\": "\\"}.get(next(chars, ""), "")
        out.append(c)
    return "".join(out)


_INT_FIELDS = {"id", "parent", "code", "seconds", "height", "weight"}
_HEX_FIELDS = {"style", "exstyle"}
_TUPLE_FIELDS = {"rect", "client", "client_origin", "screen", "workarea"}
_BOOL_FIELDS = {"enabled", "visible", "set", "italic"}


def parse_transcript(text: str) -> list[tuple[str, dict]]:
    """Records of a driver transcript as (kind, {field: value})."""
    records = []
    for line in text.splitlines():
        if not line:
            continue
        kind, *pairs = line.split("\t")
        fields = {}
        for pair in pairs:
            name, _, value = pair.partition("=")
            value = _unescape(value)
            if name in _INT_FIELDS:
                value = int(value)
            elif name in _HEX_FIELDS:
                value = int(value, 16)
            elif name in _TUPLE_FIELDS:
                value = tuple(int(v) for v in value.split(","))
            elif name in _BOOL_FIELDS:
                value = value == "1"
            elif name == "buttons":
                value = value.split(",") if value else []
            fields[name] = value
        records.append((kind, fields))
    return records


# ---------------------------------------------------------------- running

def run_program(prefix: Prefix, program_dir: str | os.PathLike, exe_name: str,
                locale: str = "fr_FR.UTF-8", answers=(), timeout: int = 120,
                screenshot: str | os.PathLike | None = None, display: str | None = None) -> Run:
    r"""Runs a GUI program under the driver and returns what it saw.

    program_dir is a Windows path (C:\Setup) or a host folder. answers are
    "yes", "no" or "ok", used for the message boxes in order; a box beyond
    them gets OK. With screenshot, the screen is saved there (PNG) while the
    main window is shown, before the driver presses OK, and beside it as
    <name>-box1.png, <name>-box2.png, ... while each message box is shown.
    """
    tools = build_tools()
    display = display or default_display()
    prefix.use_locale(locale)
    runs = prefix.path / "movrix-runs"
    runs.mkdir(exist_ok=True)
    transcript = runs / f"run{next(prefix._runs)}.tsv"
    for stale in [transcript, *runs.glob(f"{transcript.name}.*.sh*")]:
        stale.unlink(missing_ok=True)

    program_dir = str(program_dir)
    win_dir = program_dir if PureWindowsPath(program_dir).drive else wine_path(program_dir)
    env = prefix.env(locale, display)
    if screenshot:
        env["MOVRIX_SHOT_WAIT"] = "60"
    command = ["wine", str(tools / "driver.exe"), str(timeout), wine_path(transcript),
               win_dir.rstrip("\\") + "\\" + exe_name, *answers]
    output_path = runs / f"{transcript.stem}.out"
    shot_taken = None
    with open(output_path, "wb") as output:
        proc = subprocess.Popen(command, env=env, stdout=output, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + timeout + 60
        while proc.poll() is None:
            for shown in runs.glob(f"{transcript.name}.*.shown") if screenshot else ():
                what = shown.name[len(transcript.name) + 1:-len(".shown")]
                done = shown.with_name(f"{transcript.name}.{what}.shot-done")
                if done.exists():
                    continue
                # The window keeps the name asked for; box N goes beside it as <name>-boxN.
                target = (Path(screenshot) if what == "window" else
                          Path(screenshot).with_name(f"{Path(screenshot).stem}-{what}.png"))
                subprocess.run(["import", "-display", display, "-window", "root", str(target)],
                               check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                if what == "window" and target.exists():
                    shot_taken = target
                done.touch()
            if time.monotonic() > deadline:  # the driver itself is stuck
                proc.kill()
                prefix.kill()
                break
            time.sleep(0.05)
        proc.wait()
    records = parse_transcript(transcript.read_text("utf-8")) if transcript.exists() else []
    return Run(records, proc.returncode, output_path.read_text("utf-8", "replace"), shot_taken)


@dataclasses.dataclass
class WineResult:
    code: int  # the program's exit code, modulo 256 (a Unix exit status)
    stdout: str
    stderr: str


def run_wine_exe(prefix: Prefix, exe: str | os.PathLike, args=(), locale: str = "fr_FR.UTF-8",
                 timeout: float = 120, display: str | None = None, cwd=None) -> WineResult:
    """Runs a (console) Windows program in the prefix and waits for it."""
    prefix.use_locale(locale)
    try:
        code, out, err = _run_captured(["wine", str(exe), *map(str, args)],
                                       prefix.env(locale, display), timeout, cwd)
    except subprocess.TimeoutExpired:
        prefix.kill()
        raise
    return WineResult(code, out.decode("utf-8", "replace"), err.decode("utf-8", "replace"))


class Background:
    """A Windows program left running in a prefix (see start_winmail)."""

    def __init__(self, proc: subprocess.Popen):
        self.proc = proc

    def running(self) -> bool:
        return self.proc.poll() is None

    def wait_ended(self, timeout: float = 10) -> bool:
        try:
            self.proc.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def stop(self) -> None:
        if self.running():
            self.proc.kill()
            self.proc.wait()


def start_winmail(prefix: Prefix, folder: str = r"C:\movrix-test", locale: str = "fr_FR.UTF-8",
                  display: str | None = None) -> Background:
    """Starts the fake WinMail.exe, which runs until something ends it."""
    tools = build_tools()
    exe = folder.rstrip("\\") + r"\WinMail.exe"
    prefix.write_file(exe, (tools / "WinMail.exe").read_bytes())
    prefix.use_locale(locale)
    proc = subprocess.Popen(["wine", exe], env=prefix.env(locale, display),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Windows knows the process once Wine's loader has put its Windows command line in place of
    # the Unix one (Wine's tasklist prints nothing into a file, so it cannot tell).
    cmdline = Path(f"/proc/{proc.pid}/cmdline")
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and proc.poll() is None:
        try:
            if cmdline.read_bytes().startswith(exe.encode()):
                break
        except OSError:
            break
        time.sleep(0.05)
    time.sleep(0.3)  # let the new process finish its start-up
    return Background(proc)
