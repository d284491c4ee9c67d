"""End-to-end scenarios: Movrix18.exe started in a Wine prefix as an administrator would start it,
its boxes answered and its window read by the driver, then the files, the registry, the log and
the exit code checked against what that run must leave. These prove what the logic tests cannot:
the window's layout and keyboard, the real message boxes, whole runs from switches to exit code.
Each scenario starts from a fresh prefix and keeps its screenshots and boxes in
build/e2e-artifacts/<scenario>/."""

from __future__ import annotations

import concurrent.futures
import functools
import hashlib
import json
import os
import shutil
import struct
import subprocess
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import release
import wine

REPO = wine.REPO
CRLF = "\r\n"
ARTIFACTS = REPO / "build" / "e2e-artifacts"
DATA = REPO / "tests" / "data"
TXT_SYS, TXT_OUTPUT, TXT_OK, OK_BUTTON, STATUS = 106, 107, 108, 102, 104
# What the program shows: each control of its window (left, top, width, height in twips from the
# client origin, a width of 0 when the label sizes itself, and its fixed text, null when written at
# run time), the window's client size, and the texts of its boxes and status, each a list of lines.
SHOWN = json.loads((DATA / "shown.json").read_text("utf-8"))
LAYOUT = {int(id): control for id, control in SHOWN["controls"].items()}
TEXTS = {name: CRLF.join(lines) for name, lines in SHOWN["texts"].items()}
SETUP, KEPT = r"C:\Setup\Movrix18.exe", r"C:\Program Files\Movrix18\Movrix18.exe"
JOURNAL, MSOEACCT = r"C:\journal.txt", r"C:\Windows\System32\msoeacct.dll"
PLACEHOLDER = r"C:\Program Files\Windows Mail\placeholder.txt"
MAIL_CLIENT = r"HKCU\Software\Clients\Mail"
# Both program folders renamed, both trees copied, both system folders replaced on a 64-bit system.
BOTH = ["Program Files", "Program Files (x86)"]
TREES_64 = [("WM_32", r"C:\Program Files (x86)"), ("WM_64", r"C:\Program Files")]
SYSTEM_64 = [("system32", "System32"), ("syswow64", "SysWOW64")]
# Libraries the system always takes from its own folder, whatever lies beside the program.
KNOWN_LIBRARIES = set(
    "kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 comdlg32 shlwapi msvcrt imm32 setupapi"
    " ws2_32 rpcrt4 psapi normaliz wldap32 sechost combase imagehlp difxapi gdiplus".split()
)
# A name from several scripts, one character beyond the Basic Multilingual Plane among them.
UNICODE_NAME = "Łódź Почта 日本 😀.txt"
WINMAIL_QUESTION = ("Windows Mail est en service", TEXTS["WinMail.exe running"], "shown", "yes,no")
UNINSTALL_QUESTION = ("Désinstaller Windows Mail", TEXTS["uninstall"], "shown", "yes,no")
WINMAIL_CLOSED = "exit code of WinMail.exe (3: its window was closed, 0: terminated)"


class Scenario:
    """One scenario's prefix, its checks (every failure is collected) and its artifacts."""

    def __init__(self, prefix: wine.Prefix, name: str):
        self.prefix, self.name, self.failures, self.runs = prefix, name, [], 0
        self.artifacts = ARTIFACTS / name
        shutil.rmtree(self.artifacts, ignore_errors=True)
        self.artifacts.mkdir(parents=True)
        prefix.lay_setup(prefix.flavour.build / "Movrix18.exe")

    def check(self, condition: bool, message: str) -> bool:
        if not condition:
            self.failures.append(message)
        return condition

    def equal(self, got, want, what: str) -> bool:
        return self.check(got == want, f"{what}: got {got!r}, expected {want!r}")

    def install(self, *switches: str, program=SETUP, **options) -> wine.Run:
        """A run of `program`; `options` are the driver's: answers, keys, start_folder."""
        self.runs += 1
        shots = self.artifacts / f"run{self.runs}"
        run = wine.drive(self.prefix, program, *switches, shots=shots, **options)
        with open(self.artifacts / "boxes.txt", "a", encoding="utf-8") as boxes:
            for box in run.boxes:
                boxes.write(f"run {self.runs}: " + " | ".join(box).replace(CRLF, " / ") + "\n")
        return run

    def expect(self, code: int, *switches: str, boxes=(), **options) -> wine.Run:
        """A run that shows no window, only `boxes`, and ends with `code`."""
        run = self.install(*switches, **options)
        what = " ".join([f"run {self.runs}", *switches]) + ": boxes, window, exit code"
        self.equal((run.boxes, run.window, run.exit_code), (list(boxes), None, code), what)
        return run

    def read(self, path: str) -> str | None:
        host = self.prefix.host(path)
        return host.read_text("utf-8") if host.is_file() else None

    def log(self, path: str = JOURNAL) -> str:
        return self.read(path) or ""

    def exists(self, path: str) -> bool:
        return self.prefix.host(path).exists()

    def reg(self, *arguments: str) -> int:
        """reg.exe on the native view of the registry; its exit code."""
        return self.prefix.run("reg", *arguments, "/reg:64").returncode


def text_of(run: wine.Run, control: int) -> str:
    return run.controls.get(control, ("", "", ""))[2]


def sample(path: str) -> str:
    return "sample " + path.replace("\\", "/") + "\n"


@functools.lru_cache(maxsize=None)
def tree_files(tree: str) -> tuple[str, ...]:
    root = REPO / "build" / "sample-check"
    shutil.rmtree(root, ignore_errors=True)
    wine.make_sample_sources(root)
    files = (p.relative_to(root / tree) for p in (root / tree).rglob("*") if p.is_file())
    return tuple(sorted(str(p).replace("/", "\\") for p in files))


def kept_program(s: Scenario) -> bool:
    """Whether the program kept for the way back is the one the installation ran from."""
    kept = s.prefix.host(KEPT)
    return kept.is_file() and kept.read_bytes() == s.prefix.host(SETUP).read_bytes()


def check_window(s: Scenario, run: wine.Run) -> None:
    if not s.check(run.window is not None, f"no window; boxes {run.boxes}"):
        return
    date = time.strftime("%d/%m/%Y", time.localtime(s.prefix.host(SETUP).stat().st_mtime))
    s.equal(run.window["caption"], f"Movrix18 (version 2.18.0.1 du {date})", "caption")
    s.equal(run.window["client"], ",".join(str(twips // 15) for twips in SHOWN["client"]), "client")
    s.equal(sorted(run.controls), sorted(LAYOUT), "controls")
    for id, (left, top, width, height, text) in LAYOUT.items():
        kind, rect, got_text = run.controls.get(id, ("", "0,0,0,0", ""))
        l, t, r, b = map(int, rect.split(","))
        got = (l, t, r - l, b - t)
        want = (left / 15, top / 15) + ((width / 15, height / 15) if width else got[2:])
        close = all(abs(g - w) <= 1 for g, w in zip(got, want))
        s.check(close, f"control {id} at {got[:2]} size {got[2:]}, expected {want} (±1 px)")
        if text is not None:
            s.equal(got_text, text, f"text of control {id}")
    s.equal(text_of(run, TXT_OK), TEXTS["installed"], "txtOK")


def check_declared_dpi_aware(s: Scenario) -> None:
    """Windows stretches the window of a program that does not declare itself DPI-aware into a blur
    above 100 %, and ignores a declaration outside the namespace it reads; Wine scales no window,
    so only the manifest embedded in the program can tell."""
    data = (s.prefix.flavour.build / "Movrix18.exe").read_bytes()
    manifest = data[data.find(b"<?xml") :].partition(b"</assembly>")[0] + b"</assembly>"
    v3 = "{urn:schemas-microsoft-com:asm.v3}"
    settings = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
    path = f"{v3}application/{v3}windowsSettings/{settings}dpiAware"
    aware = getattr(ElementTree.fromstring(manifest).find(path), "text", None)
    s.equal(aware, "true", "system DPI awareness in the embedded manifest")


def check_copy_log(s: Scenario, output: str, trees: list[tuple[str, str]]) -> None:
    """Every file of each tree has its two lines, "de   " then "vers "."""
    lines = output.split(CRLF)
    pairs = set(zip(lines, lines[1:]))
    for tree, destination in trees:
        for file in tree_files(tree):
            installed = rf"{destination}\{file}"
            pair = (rf"de   C:\Setup\{tree}\{file}", "vers " + installed)
            s.check(pair in pairs, f"copy log lacks {tree}\\{file}")
            s.equal(s.read(installed), sample(rf"{tree}\{file}"), f"installed {installed}")


def check_system_files(s: Scenario, folders: list[tuple[str, str]]) -> None:
    """The replaced system files hold the new text; their backups the original, on every run."""
    for source, folder in folders:
        for name in wine.SYSTEM_FILES:
            path = rf"C:\Windows\{folder}\{name}"
            s.equal(s.read(path), sample(rf"{source}\{name}"), path)
            s.equal(s.read(path + ".orlo"), f"original {folder.lower()} {name}", path + ".orlo")


def check_registry(s: Scenario) -> None:
    shutil.copy(s.prefix.flavour.build / "registry_check.exe", s.prefix.host("C:\\"))
    shutil.copy(DATA / "registration.tsv", s.prefix.host("C:\\"))
    result = s.prefix.run(r"C:\registry_check.exe")
    s.check(result.returncode == 0, "registry against the listing:\n" + result.stdout[-3000:])


def check_commands(s: Scenario, destinations: int) -> None:
    """Each destination was handed over by one takeown and one icacls (they are not awaited, and
    on a loaded machine the last may start well after the run)."""
    for _ in range(300):
        log = s.prefix.command_log()
        if len(log) >= 2 * destinations:
            break
        time.sleep(0.2)
    s.equal(sum(line.startswith("takeown.exe") for line in log), destinations, "takeown starts")
    s.equal(sum(line.startswith("icacls.exe") for line in log), destinations, "icacls starts")


def steps_text(renamed: list[str], system: str, registers: bool) -> str:
    """The steps the window and the log show before the copy log."""
    lines = ["=" * 51, "Vérifier la présence des dossiers Windows Mail renommés."]
    lines += ["Les renommer s'ils ne le sont pas encore", "=" * 51]
    if renamed:
        lines += ["Renommer le ou les dossiers programmes Windows Mail", "-" * 92]
        lines += [f"Renommer le dossier {folder}\\Windows Mail" for folder in renamed]
    lines += [""]
    if registers:
        lines += ["=" * 57, "Compléter la base de registre", "=" * 57, ""]
    lines += ["=" * 46, "Copier les fichiers programmes de Windows Mail (de Vista)"]
    lines += ["dans le(s) dossier(s) programmes de Windows " + system, "=" * 46]
    return CRLF.join(lines) + CRLF


def check_steps(s: Scenario, output: str, *steps) -> None:
    want = steps_text(*steps)
    s.equal(output[: len(want)], want, f"steps of run {s.runs}")


def first_install_win10_64(s: Scenario) -> None:
    for number in (1, 2):
        # The second run is closed from the keyboard: Tab to the button, Enter.
        run = s.install(keys=("tab", "return") if number == 2 else ())
        s.equal(run.boxes, [], f"boxes of run {number}")
        check_window(s, run)
        output = text_of(run, TXT_OUTPUT)
        check_steps(s, output, BOTH if number == 1 else [], "W10", True)
        s.equal(text_of(run, TXT_SYS).split(CRLF)[0], "Microsoft Windows 10 64 bits", "txtSys")
        check_copy_log(s, output, TREES_64)
        check_system_files(s, SYSTEM_64)
        renamed = s.read(r"C:\Program Files\Windows Mail.orlo\placeholder.txt")
        s.equal(renamed, "original Program Files", "the renamed folder")
        # A first installation hands over only the system files; a rerun every destination too.
        check_commands(s, 12 + (number - 1) * (2 * len(tree_files("WM_32")) + 12))
        s.equal(run.exit_code, 0, "exit code")
    s.equal(run.focus, [TXT_OUTPUT, OK_BUTTON], "focus before each key")
    check_declared_dpi_aware(s)
    check_registry(s)


def windows_7(s: Scenario) -> None:
    run = s.install(keys=("tab", "tab", "escape"))
    s.equal(run.focus, [TXT_OUTPUT, OK_BUTTON, TXT_OUTPUT], "focus before each key (Esc closes)")
    s.equal(run.boxes, [], "boxes")
    output = text_of(run, TXT_OUTPUT)
    check_steps(s, output, BOTH, "7", False)
    s.check("DLL" not in output, "no system-file block on Windows 7")
    s.equal(s.read(MSOEACCT), "original system32 msoeacct.dll", "system file")
    check_copy_log(s, output, TREES_64)


def windows_8_32(s: Scenario) -> None:
    run = s.install()
    s.equal(run.boxes, [], "boxes")
    output = text_of(run, TXT_OUTPUT)
    check_steps(s, output, ["Program Files"], "W8", True)
    check_copy_log(s, output, [("WM_32", r"C:\Program Files")])
    check_system_files(s, [("syswow64", "System32")])
    check_registry(s)


def start_winmail(s: Scenario, *arguments: str, name: str = "WinMail.exe") -> subprocess.Popen:
    shutil.copy(s.prefix.flavour.build / "WinMail.exe", s.prefix.host("C:\\" + name))
    ready = s.prefix.host(r"C:\winmail-ready")
    ready.unlink(missing_ok=True)
    command = [s.prefix.flavour.loader, "C:\\" + name, *arguments, r"/ready=C:\winmail-ready"]
    quiet = subprocess.DEVNULL
    process = subprocess.Popen(command, env=s.prefix.env(), stdout=quiet, stderr=quiet)
    for _ in range(300):
        if ready.exists() or process.poll() is not None:
            break
        time.sleep(0.1)
    if not ready.exists():
        process.kill()
        raise wine.Trouble(f"The fake WinMail.exe showed no window (exit code {process.poll()}).")
    return process


def winmail_no(s: Scenario) -> None:
    winmail = start_winmail(s)
    s.expect(1602, answers=["no"], boxes=[WINMAIL_QUESTION + ("no",)])
    s.check(winmail.poll() is None, "WinMail.exe was ended")
    unchanged_system(s)
    winmail.kill()


def winmail_yes(s: Scenario) -> None:
    winmail = start_winmail(s)
    run = s.install(answers=["yes"])
    s.equal(run.boxes, [WINMAIL_QUESTION + ("yes",)], "boxes")
    s.equal(winmail.wait(timeout=20), 3, WINMAIL_CLOSED)
    s.check(run.window is not None, "no window after ending WinMail.exe")


def refused_language(s: Scenario) -> None:
    s.prefix.locale = "de_DE.UTF-8"
    refusal = "Movrix non compatible avec la langue de Windows ou Système corrompu"
    s.expect(1603, boxes=[("Form_Load", refusal, "shown", "ok", "ok")])


def unusable_tree(tree: str, emptied: bool):
    """A program tree the system needs is missing, or there without the program: the run stops first."""

    def scenario(s: Scenario) -> None:
        shutil.rmtree(s.prefix.host(rf"C:\Setup\{tree}"))
        if emptied:
            s.prefix.host(rf"C:\Setup\{tree}").mkdir()
        box = ("Movrix18", f"Le dossier {tree} n'a pas été installé.", "none", "ok", "ok")
        s.expect(1603, boxes=[box])
        unchanged_system(s)

    return scenario


def missing_system_file(s: Scenario) -> None:
    """A system file that cannot be replaced: both status lines say so, and so does a silent run."""
    s.prefix.host(r"C:\Setup\system32\msoeacct.dll").unlink()
    run = s.install()
    status = (text_of(run, STATUS), text_of(run, TXT_OK))
    s.equal(status, (TEXTS["incomplete"].split(CRLF)[0], TEXTS["incomplete"]), "status lines")
    s.equal(run.exit_code, 1603, "exit code")
    s.expect(1603, "/S", rf"/LOG={JOURNAL}")
    line = f"échec : {MSOEACCT.lower()} n'a pas été remplacé : "
    named = any(logged.lower().startswith(line) for logged in s.log().splitlines())
    s.check(named, "no log line names the file")
    s.equal(s.read(MSOEACCT), "original system32 msoeacct.dll", "the system file")
    s.check(s.reg("query", UNINSTALL_ENTRY) != 0, "a failed installation wrote its entry")


def pe_tables(path: Path) -> tuple[dict[str, list[str]], set[str]]:
    """The import table of a PE file (each library, lower case without ".dll", with the names of
    the functions taken from it) and the names of the functions it exports."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    section_count, _, _, _, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
    optional = pe + 24
    wide = struct.unpack_from("<H", data, optional)[0] != 0x10B  # PE32+
    directories = optional + (112 if wide else 96)
    sections = [
        struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        for i in range(section_count)
    ]  # virtual size, address, raw size, raw offset

    def offset(rva: int) -> int:
        for virtual_size, address, raw_size, raw in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw
        raise ValueError(f"address {rva:#x} lies in no section of {path}")

    def word(at: int) -> int:
        return struct.unpack_from("<I", data, at)[0]

    def text(rva: int) -> str:
        return data[offset(rva) : data.index(b"\0", offset(rva))].decode("ascii")

    thunk_format, by_ordinal = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)
    imports, at = {}, offset(word(directories + 8)) if word(directories + 8) else len(data)
    while any(data[at : at + 20]):
        functions = imports.setdefault(text(word(at + 12)).lower().removesuffix(".dll"), [])
        thunk = offset(word(at) or word(at + 16))  # the lookup table, or the bound one
        while entry := struct.unpack_from(thunk_format, data, thunk)[0]:
            functions += [] if entry & by_ordinal else [text(entry + 2)]
            thunk += struct.calcsize(thunk_format)
        at += 20
    at = offset(word(directories)) if word(directories) else 0
    names = (offset(word(at + 32)) + 4 * i for i in range(word(at + 24) if at else 0))
    return imports, {text(word(name)) for name in names}


def manifest_names_common_controls_6() -> bool:
    """Whether the program's manifest takes comctl32 version 6 from the system's side-by-side store."""
    v1 = "{urn:schemas-microsoft-com:asm.v1}"
    root = ElementTree.parse(REPO / "app" / "movrix18.manifest").getroot()
    path = f"{v1}dependency/{v1}dependentAssembly/{v1}assemblyIdentity"
    names = {(i.get("name"), i.get("version", "")[:2]) for i in root.iterfind(path)}
    return ("Microsoft.Windows.Common-Controls", "6.") in names


# The ANSI functions the static C runtime itself imports, as an empty wWinMain program shows.
RUNTIME_ANSI = set(
    "CreateEventA CreateSemaphoreA GetModuleHandleA LoadLibraryA OutputDebugStringA".split()
)


def check_imports(s: Scenario) -> None:
    """The loader resolves the imports before WinMain restricts the search: each must be a library
    that the system takes from its own folder, never one planted beside the program. And no
    function passes a name or value through the code page: none has a Unicode twin."""
    allowed = KNOWN_LIBRARIES | ({"comctl32"} if manifest_names_common_controls_6() else set())
    imported = pe_tables(s.prefix.flavour.build / "Movrix18.exe")[0]
    s.check(len(imported) > 0, "no import table read")
    s.equal(sorted(set(imported) - allowed), [], "imported libraries that are not known ones")
    wow = s.prefix.flavour.name == "i686" and s.prefix.arch == "win64"
    ansi = []
    for library, functions in imported.items():
        folder = "syswow64" if wow else "system32"
        exported = pe_tables(s.prefix.host(rf"C:\windows\{folder}\{library}.dll"))[1]
        s.check(len(exported) > 0, f"no exports read from {library}")
        ansi += [f for f in functions if f.endswith("A") and f[:-1] + "W" in exported]
    s.equal(sorted(set(ansi) - RUNTIME_ANSI), [], "imported ANSI functions")


def hostile_names(s: Scenario) -> None:
    """Names and files beside the program that an unwary installer would run or load."""
    check_imports(s)
    setup, source = s.prefix.host(r"C:\Setup"), r"C:\Setup\WM_32\Windows Mail"
    crafted, mail = "%CMDCMDLINE%&calc&rem .dll", s.prefix.host(source)
    (mail / crafted).write_text("crafted")
    (mail / UNICODE_NAME).write_text("outside the code page")
    (setup / "takeown.bat").write_text("@echo planted> C:\\planted-takeown.txt\r\n")
    for library in ("advpack.dll", "msimg32.dll"):
        shutil.copy(s.prefix.flavour.build / library, setup)
    s.prefix.overrides = ";advpack,msimg32=n,b"  # Wine then searches for them as Windows does
    (mail / "profil").symlink_to(s.prefix.host(r"C:\users"))
    s.install()
    # A rerun hands every existing destination to the rights commands.
    run = s.install(rf"/journal=C:\{UNICODE_NAME}.log")
    output, installed = text_of(run, TXT_OUTPUT), r"C:\Program Files (x86)\Windows Mail"
    s.equal(run.boxes, [], "boxes")
    s.equal(s.read(rf"{installed}\{crafted}"), "crafted", "the crafted file")
    log = s.prefix.command_log()
    whole = any(c.startswith("takeown.exe") and c.endswith(f'\\{crafted}"') for c in log)
    s.check(whole, f"no takeown for the crafted name whole: {log[:3]}")
    s.check(not s.exists(r"C:\planted-takeown.txt"), "the planted takeown.bat ran")
    # The program loads advpack itself, by its full path, and msimg32 from the system folder before
    # a system library (Wine's theming) loads it by name: neither planted copy may ever load.
    for library in ("advpack.dll", "msimg32.dll"):
        s.equal(s.read(rf"C:\planted-{library}.txt"), None, f"loads of the planted {library}")
    s.equal(s.read(rf"{installed}\{UNICODE_NAME}"), "outside the code page", "the file")
    lines = rf"de   {source}\{UNICODE_NAME}" + CRLF + rf"vers {installed}\{UNICODE_NAME}"
    log = whole_log(s, s.prefix.host(rf"C:\{UNICODE_NAME}.log"), 1603)
    s.check(lines in output and lines in log, "the window or the log does not name the file")
    link = rf"ÉCHEC : {source}\profil n'a été ni suivi ni copié : "
    s.check(link in output, "the link is not in the log")
    s.check(not s.exists(rf"{installed}\profil"), "the link was followed")
    s.equal(text_of(run, TXT_OK), TEXTS["incomplete"], "txtOK")
    s.equal(run.exit_code, 1603, "exit code of an incomplete installation")


def silent_log(s: Scenario) -> str:
    logs = list(s.prefix.path.glob("drive_c/users/*/**/Temp/Movrix18-*.log"))
    if not s.check(len(logs) == 1, f"the log in %TEMP%: found {logs}"):
        return ""
    return whole_log(s, logs[0], 0)


def whole_log(s: Scenario, path: Path, code: int) -> str:
    """The text of one whole run's log at `path`: the byte-order mark, the start line, the end line."""
    data = path.read_bytes() if path.is_file() else b""
    s.check(data.startswith(b"\xef\xbb\xbf"), f"{path.name} starts with the UTF-8 byte-order mark")
    text = data.decode("utf-8-sig")
    first, last = text.split(CRLF)[0], text.split(CRLF)[-2:]
    started = first.startswith("Début : ") and "Movrix18 version 2.18.0.1" in first
    s.check(started, f"start line {first!r}")
    ended = last[0].startswith("Fin : ") and last[0].endswith(f", code de sortie {code}")
    s.check(last[-1:] == [""] and ended, f"end line {last!r}")
    return text


def silent_first_install(s: Scenario) -> None:
    """As a deployment tool runs it, the program signed as an administrator signs it."""
    with tempfile.TemporaryDirectory(prefix="movrix-sign-") as scratch:
        signed, _ = release.signed_copy(s.prefix.flavour, Path(scratch))
        shutil.copy(signed, s.prefix.host(SETUP))
    s.expect(0, "/S")
    log = silent_log(s)
    lines = log.split(CRLF)
    s.check("Système : Microsoft Windows 10 64 bits" in lines, "system line")
    # Wine makes no private namespace: the log says which lock stands in.
    lock = "Le verrou réservé aux administrateurs n'a pas pu être pris ("
    stand_in = r") : le verrou Global\Movrix18 le remplace."
    s.check(any(line.startswith(lock) and line.endswith(stand_in) for line in lines), "lock line")
    headings = ["Renommer les dossiers Windows Mail", "Copier les fichiers programmes"]
    for heading in headings + ["Compléter la base de registre"]:
        s.check("== " + heading in lines, f"heading {heading} missing")
    s.check(steps_text(BOTH, "W10", True) in log, "steps text")
    s.check("Statut : " + TEXTS["installed"] in log, "final status")
    check_copy_log(s, log, TREES_64)
    check_system_files(s, SYSTEM_64)
    check_registry(s)
    s.check(kept_program(s), "the kept program is not the signed one")


def silent_stops(s: Scenario) -> None:
    """A missing source, then a running WinMail.exe, then a switch nobody knows."""
    shutil.rmtree(s.prefix.host(r"C:\Setup\WM_64"))
    s.expect(1603, "-silencieux", rf"/journal={JOURNAL}")
    box = "Message « Movrix18 » : Le dossier WM_64 n'a pas été installé. → OK"
    s.check(box in s.log(), "the box's text in the log")
    winmail = start_winmail(s)
    s.expect(1618, "/s")
    s.check(winmail.poll() is None, "WinMail.exe was ended")
    winmail.kill()
    s.expect(87, "/x", boxes=[("Movrix18", TEXTS["unknown switch"], "shown", "ok", "ok")])


# Keys of Wine's own: its fonts, which the first program of each bitness to use them registers,
# late, and the keys its debugger leaves when one of Wine's own 64-bit processes faults under load
# (a fault of a program the scenarios start shows in its exit code).
FONTS = r"[Software\\{}Microsoft\\{}\\CurrentVersion\\Fonts]"
WINE_KEYS = {FONTS.format(v, n) for v in ("", r"Wow6432Node\\") for n in ("Windows", "Windows NT")}
WINE_KEYS |= {"[Console]", r"[Software\\Wine\\WineDbg]"}
COMPONENT = "Installed Components\\\\Movrix18]"  # the section of the Active Setup component


def machine_state(s: Scenario) -> dict:
    """Every file under both Program Files and both system folders, and every registry key and value
    (the prefix's registry files once the server has saved them), without the times Wine adds."""
    wine.wineserver(s.prefix.env(), "-k")
    state = {}
    for folder in BOTH + [r"windows\system32", r"windows\syswow64"]:
        root = s.prefix.host("C:\\" + folder)
        for path in root.rglob("*") if root.is_dir() else ():
            if path.is_file() and not path.is_symlink():
                state[str(path.relative_to(s.prefix.path))] = path.read_bytes()
    for hive in ("system.reg", "user.reg"):
        section = None
        for line in (s.prefix.path / hive).read_text("utf-8", "replace").splitlines():
            if line.startswith("["):
                section = line[: line.rindex("]") + 1]
                state[section] = ""
            elif section and not line.startswith("#time="):
                state[section] += line + "\n"
    # Nor Wine's own bookkeeping of the display, which any window started changes.
    return {k: v for k, v in state.items() if "CurrentControlSet" not in k and k not in WINE_KEYS}


def compare_states(s: Scenario, before: dict, after: dict, what: str) -> None:
    changed = sorted(k for k in before.keys() | after.keys() if before.get(k) != after.get(k))
    s.equal(changed, [], f"what {what} left changed")


def split_command(line: str) -> list[str]:
    """A command line of a quoted program and its switches, as the system splits it."""
    program, switches = line[1:].split('" ', 1)
    return [program, *switches.split()]


def saved_strings(s: Scenario, *names: str) -> list[str]:
    """The first string value of each name in the machine's registry file, once the server (which
    saves it as it ends) is gone; empty when there is none."""
    wine.wineserver(s.prefix.env(), "-k")
    saved = {}
    for line in (s.prefix.path / "system.reg").read_text("utf-8", "replace").splitlines():
        name, _, value = line.partition("=")
        saved.setdefault(name, value[1:-1].replace("\\\\", "\\").replace('\\"', '"'))
    return [saved.get(f'"{name}"', "") for name in names]


def uninstall(s: Scenario, installs=1, quiet_string=False, other_mail=False, added=False) -> None:
    """Installations, then the way back: the machine is as it was before the first one, texts
    outside the code page included; with `other_mail`, but for the mailto command that another
    program wrote since, which stays. With `added`, the system lacks msidcrl30.dll and its fr-FR
    folders, and holds an empty acctres.dll."""
    texts = {r"HKCR\mailto": "Messagerie Łódź ✉ 日本 😀", MAIL_CLIENT: "Courrier Почта 邮件 ✉"}
    for key, text in texts.items():
        s.equal(s.reg("add", key, "/ve", "/d", text, "/f"), 0, f"reg add {key}")
    folders = ("system32", "syswow64")
    missing = [rf"C:\windows\{f}\{n}" for f in folders for n in ("msidcrl30.dll", "fr-FR") if added]
    for path in map(s.prefix.host, missing):
        shutil.rmtree(path) if path.is_dir() else path.unlink()
    if added:
        s.prefix.host(r"C:\windows\system32\acctres.dll").write_bytes(b"")
    before = machine_state(s)
    for _ in range(installs):
        s.expect(0, "/S")
    s.check(machine_state(s) != before, "the installation changed nothing the comparison sees")
    s.equal(reg_value(s, EVENT_SOURCE, "EventMessageFile"), KEPT, "the event source's message file")
    command = [SETUP, "/DÉSINSTALLER", "/S", rf"/LOG={JOURNAL}"]
    if other_mail:
        s.reg("add", "HKLM\\" + MAILTO_COMMAND, "/ve", "/d", "autre.exe %1", "/f")
    if quiet_string:
        strings = saved_strings(s, "UninstallString", "QuietUninstallString")
        kept = f'"{KEPT}" /desinstaller'
        s.equal(strings, [kept, kept + " /S"], "the entry's commands")
        shutil.rmtree(s.prefix.host(r"C:\Setup"))
        # The "Uninstall" button of Programs and Features: the way back's question, answered No.
        program, *switches = split_command(strings[0])
        answered_no = [UNINSTALL_QUESTION + ("no",)]
        s.expect(1602, *switches, program=program, answers=["no"], boxes=answered_no)
        command = split_command(strings[1])
    s.expect(0, *command[1:], program=command[0])
    if quiet_string:  # what the system completes at the restart
        s.prefix.run("wineboot", "-r")
    after = machine_state(s)
    if any(COMPONENT in key for key in after):
        after = retired_for_every_user(s)
    if other_mail:
        section = "[" + MAILTO_COMMAND.replace("\\", "\\\\").lower() + "]"
        found = [value for key, value in after.items() if key.lower() == section] + [""]
        s.check('"autre.exe %1"' in found[0], "the other program's mailto command was not left")
        left = "ATTENTION : valeur laissée telle quelle, changée depuis l'installation : HKLM\\"
        s.check(left + MAILTO_COMMAND + "\\" in s.log().splitlines(), "no ATTENTION line")
        before, after = (
            {k: v for k, v in x.items() if k.lower() != section} for x in (before, after)
        )
    compare_states(s, before, after, "the way back")
    s.check(s.reg("query", EVENT_SOURCE) != 0, "the way back left the event source")
    s.equal([path for path in missing if s.exists(path)], [], "what the installation added")
    if not quiet_string:
        s.expect(1605, "/uninstall", "/S")


MAILTO_COMMAND = r"SOFTWARE\Classes\mailto\shell\open\command"
UNINSTALL_ENTRY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Movrix18"
EVENT_SOURCE = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Movrix18"
RECORD = r"C:\Program Files\Movrix18\registre-origine.txt"


def refused_way_back(s: Scenario, record: str, what: str, *program: str) -> None:
    """A way back that refuses `record`: 1603, its ÉCHEC line in the log, nothing changed."""
    installed = machine_state(s)
    s.prefix.host(JOURNAL).unlink(missing_ok=True)
    program = program or (SETUP, "/desinstaller", "/S")
    s.expect(1603, *program[1:], rf"/LOG={JOURNAL}", program=program[0])
    s.check(f"ÉCHEC : {what} : {record}" in s.log(), f"no ÉCHEC line: {what}")
    compare_states(s, installed, machine_state(s), f"a way back refusing its record ({what})")


def machine_record_refused(s: Scenario) -> None:
    """Without its machine record, then with a damaged one, the way back changes nothing; with the
    good record back it restores everything."""
    before = machine_state(s)
    s.expect(0, "/S")
    record = s.prefix.host(RECORD)
    good = record.read_bytes()
    record.unlink()
    refused_way_back(s, RECORD, "aucun enregistrement de l'état d'origine")
    cut = good.rindex(b"\r\n", 0, len(good) - 2) + 2  # where the last line starts
    for damaged in (good[:cut], good[: cut + 9], good.replace(b"\r\n", b"\n"), bytes(len(good))):
        record.write_bytes(damaged)
        refused_way_back(s, RECORD, "enregistrement endommagé, rien n'en est rétabli")
    record.write_bytes(good)
    s.expect(0, "/desinstaller", "/S")
    compare_states(s, before, retired_for_every_user(s), "the way back with the good record")


def forged_user_record(s: Scenario) -> None:
    """A program of the user adds a machine value to their record and seals it again: the way back,
    elevated or the user's own, refuses the record and writes nothing."""
    s.expect(0, "/S")
    user_record = r"HKCU\Software\Movrix18\Etat avant installation"
    options = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options"
    sethc = options + r"\sethc.exe"
    lines = bytes.fromhex(reg_value(s, user_record, "registre") or "").decode().split(CRLF)[:-1]
    path = sethc.removeprefix("HKLM\\")
    key, value, data = (t.encode().hex() for t in (path, "Debugger", "cmd.exe\0"))
    lines[-1:] = ["\t".join(["V", str(0x80000002), key, value, "1", "1", "1", data])]
    head = CRLF.join(lines) + CRLF
    seal = hashlib.sha256(head.encode()).hexdigest()
    forged = (head + f"fin {len(lines) - 1} {seal}" + CRLF).encode().hex()
    s.reg("add", user_record, "/v", "registre", "/t", "REG_BINARY", "/d", forged, "/f")
    not_a_row = rf"{user_record}\registre : il nomme ce qui n'est pas une ligne de sa liste : "
    refusal = (not_a_row + sethc + r"\Debugger", "enregistrement refusé, rien n'en est rétabli")
    refused_way_back(s, *refusal)
    refused_way_back(s, *refusal, KEPT, "/utilisateur", "/desinstaller")
    s.check(s.reg("query", sethc) != 0, "the forged machine key was written")


def retired_for_every_user(s: Scenario) -> dict:
    """Where users got the rows at their sign-in, the way back leaves its program and a retired
    Active Setup component, whose StubPath each user runs at their next sign-in; the state once
    this user has run it, without those two."""
    stub = reg_value(s, ACTIVE_SETUP, "StubPath") or ""
    s.equal(stub, f'"{KEPT}" /utilisateur /desinstaller', "StubPath of the retired component")
    s.equal(s.prefix.run(KEPT, "/utilisateur", "/desinstaller").returncode, 0, "StubPath exit code")
    after = machine_state(s)
    kept = "drive_c/Program Files/Movrix18/Movrix18.exe"
    s.check(kept in after, "the program the StubPath runs is gone")
    return {key: value for key, value in after.items() if kept not in key and COMPONENT not in key}


def interactive_uninstall(s: Scenario) -> None:
    s.install("/S")
    run = s.install("-DESINSTALLER", answers=["yes"])
    s.equal(run.boxes, [UNINSTALL_QUESTION + ("yes",)], "boxes")
    s.equal(text_of(run, TXT_OK), TEXTS["uninstalled"], "txtOK")
    restored = r"Dossier rétabli : C:\Program Files (x86)\Windows Mail"
    s.check(restored in text_of(run, TXT_OUTPUT), "steps")
    s.equal(run.exit_code, 0, "exit code")


def in_use_then_reinstall(s: Scenario) -> None:
    """A system library in use at the way back (3010), a reinstallation before the restart, then
    the restart: nothing that waited for it undoes the fresh installation."""
    library = s.prefix.flavour.build / "msimg32.dll"  # any real library, which a program can map
    shutil.copy(library, s.prefix.host(r"C:\Setup\syswow64\msoeacct.dll"))
    s.expect(0, "/S")
    wow = r"C:\windows\syswow64\msoeacct.dll"
    holder = start_winmail(s, "/charger=" + wow, name="holder.exe")
    s.expect(3010, "/desinstaller", "/S")  # the library in use
    s.expect(0, "/S")
    holder.kill()
    holder.wait()
    s.prefix.run("wineboot", "-r")
    placed = s.prefix.host(wow)
    fresh = placed.is_file() and placed.read_bytes() == library.read_bytes()
    s.check(fresh, "the fresh library is gone")
    s.equal(s.read(wow + ".orlo"), "original syswow64 msoeacct.dll", "its backup")
    s.check(not s.exists(wow + ".supprimer-1"), "the aside copy stayed")
    check_system_files(s, [("system32", "System32")])
    s.equal(reg_value(s, UNINSTALL_ENTRY, "DisplayVersion"), "2.18.0.1", "the entry")
    s.check(kept_program(s), "the kept program")


def record_held_open(s: Scenario) -> None:
    """A reader holds the file record open through the way back, as any user may: that step fails,
    named, with 1603 and the entry kept; once the reader is gone, a rerun finishes."""
    before = machine_state(s)
    s.expect(0, "/S")
    record = r"C:\Program Files\Movrix18\fichiers-installes.txt"
    reader = start_winmail(s, "/lire=" + record, name="lecteur.exe")
    s.expect(1603, "/desinstaller", "/S", rf"/LOG={JOURNAL}")  # while the record is read
    reader.kill()
    reader.wait()
    s.check("ÉCHEC : fichier non supprimé : " + record in s.log(), "record not named: " + s.log())
    s.check(reg_value(s, UNINSTALL_ENTRY, "DisplayVersion") is not None, "the entry is gone")
    s.expect(0, "/desinstaller", "/S")
    s.check(reg_value(s, UNINSTALL_ENTRY, "DisplayVersion") is None, "the entry stayed")
    compare_states(s, before, retired_for_every_user(s), "the way back")


def directory_link(s: Scenario) -> None:
    """A link in the installed tree to someone else's folder: the way back never follows it. Wine
    cannot remove such a link, so the file behind it decides, and the log says the link stayed."""
    s.expect(0, "/S")
    other = s.prefix.host(r"C:\Autre")
    other.mkdir()
    (other / "garder.txt").write_text("someone else's")
    (s.prefix.host(r"C:\Program Files\Windows Mail") / "lien").symlink_to(other)
    s.install("/desinstaller", "/S", rf"/LOG={JOURNAL}")
    s.equal(s.read(r"C:\Autre\garder.txt"), "someone else's", "the file behind the link")
    link = r"C:\Program Files\Windows Mail.supprimer-1\lien"
    stayed = f"lien laissé en place, jamais suivi : {link} : " in s.log()
    s.check(stayed, "the log does not say the link stayed")


def relative_journal(s: Scenario) -> None:
    """A relative log path is taken from the starting folder, for the whole run; /quiet is /S, /norestart is nothing."""
    s.prefix.host(r"C:\Depot\journaux").mkdir(parents=True)
    s.expect(0, "/quiet", "/norestart", r"/journal=journaux\movrix.log", start_folder=r"C:\Depot")
    log = whole_log(s, s.prefix.host(r"C:\Depot\journaux\movrix.log"), 0)
    s.check("Statut : " + TEXTS["installed"] in log, f"no final status in {log[-300:]!r}")
    s.check(not s.exists(r"C:\Setup\journaux"), "a log beside the program")


def deployment_switches(s: Scenario) -> None:
    """/fermer ends a running WinMail.exe and the installation goes on; the log path's variable is expanded."""
    winmail = start_winmail(s)
    s.expect(0, "/S", "/fermer", r"/LOG=%SystemDrive%\Movrix18.log")
    s.equal(winmail.wait(timeout=20), 3, WINMAIL_CLOSED)
    whole_log(s, s.prefix.host(r"C:\Movrix18.log"), 0)


def unchanged_system(s: Scenario) -> None:
    s.check(s.exists(PLACEHOLDER), "something was renamed")
    s.check(not s.exists(r"C:\Program Files\Windows Mail\WinMail.exe"), "something was copied")


def hard_linked_journal(s: Scenario) -> None:
    """A log that is a second name of another file leaves that file alone and the system unchanged."""
    precious = s.prefix.host(r"C:\precious.txt")
    precious.write_text("precious")
    os.link(precious, s.prefix.host(r"C:\ProgramData\Movrix18.log"))
    s.expect(1622, "/S", r"/LOG=C:\ProgramData\Movrix18.log")
    s.equal(precious.read_text(), "precious", "the other file")
    unchanged_system(s)


def missing_journal_folder(s: Scenario) -> None:
    box = ("Movrix18", TEXTS["unusable log folder"], "shown", "ok", "ok")
    s.expect(1622, r"/journal=C:\Absent\Movrix18.log", boxes=[box])
    s.check(not s.exists(r"C:\Absent"), "the log's folder was made")
    unchanged_system(s)


ACTIVE_SETUP = r"HKLM\SOFTWARE\Microsoft\Active Setup\Installed Components\Movrix18"


def reg_value(s: Scenario, key: str, name: str) -> str | None:
    """A value's data as reg.exe prints it, from the native view; None when it is missing."""
    for line in s.prefix.run("reg", "query", key, "/v", name, "/reg:64").stdout.splitlines():
        fields = line.strip().split("    ", 2)
        if len(fields) == 3 and fields[0] == name:
            return fields[2]
    return None


def every_user(s: Scenario) -> None:
    """A user who signs in after a silent installation gets the rows through Active Setup."""
    s.expect(0, "/S")
    s.check(kept_program(s), "the kept program differs from the installed one")
    stub = reg_value(s, ACTIVE_SETUP, "StubPath") or ""
    s.equal(stub, f'"{KEPT}" /utilisateur', "StubPath")
    s.equal(reg_value(s, ACTIVE_SETUP, "Version"), "2,18,0,1", "Version")
    # A new user has none of the rows, and no record of their state either.
    rows = [row.split("\t") for row in (DATA / "registration.tsv").read_text("utf-8").splitlines()]
    for key in sorted({row[2] for row in rows if row[1:2] == ["HKCU"]}) + [r"Software\Movrix18"]:
        s.reg("delete", rf"HKCU\{key}", "/f")
    s.check(s.reg("query", MAIL_CLIENT) != 0, "the mail client row survived its deletion")
    s.equal(s.prefix.run(*split_command(stub)).returncode, 0, "exit code of the StubPath")
    check_registry(s)
    logs = s.prefix.path.glob("drive_c/users/*/AppData/Local/Movrix18/utilisateur.log")
    for log in list(logs) or [Path("no log")]:
        whole_log(s, log, 0)


def verify(s: Scenario) -> None:
    """/verifier where nothing is installed (1605), after an installation (0), after a tree file
    changed and after a system file was put back (1), from the kept program once the setup folder
    is gone: no box, no window, each difference a line of the log, and nothing changed."""

    def check(code: int, *differences: str, program=KEPT) -> None:
        before, log = machine_state(s), rf"C:\verifier-{s.runs}.log"
        s.expect(code, "/verifier", rf"/journal={log}", program=program)
        lines = whole_log(s, s.prefix.host(log), code).lower().split(CRLF)
        absent = [d for d in differences if f"différence : {d}".lower() not in lines]
        s.equal(absent, [], f"lines of {log}")
        compare_states(s, before, machine_state(s), f"the check {log}")

    check(1605, program=SETUP)
    s.expect(0, "/S")
    shutil.rmtree(s.prefix.host(r"C:\Setup"))
    check(0)
    tree_file = rf"C:\Program Files (x86)\{tree_files('WM_32')[0]}"
    s.prefix.host(tree_file).write_text("changed")
    check(1, f"modifié : {tree_file}")
    shutil.copy(s.prefix.host(MSOEACCT + ".orlo"), s.prefix.host(MSOEACCT))
    check(1, f"modifié : {tree_file}", f"modifié : {MSOEACCT}")


SCENARIOS = [
    ("first-install-win10-64", "win10-64", first_install_win10_64),
    ("windows-7", "win7-64", windows_7),
    ("windows-8-32", "win8-32", windows_8_32),
    ("winmail-no", "win10-64", winmail_no),
    ("winmail-yes", "win10-64", winmail_yes),
    ("refused-language", "win10-64", refused_language),
    ("empty-wm-64", "win10-64", unusable_tree("WM_64", emptied=True)),
    ("missing-wm-32", "win8-32", unusable_tree("WM_32", emptied=False)),
    ("missing-system-file", "win10-64", missing_system_file),
    ("hostile-names", "win10-64", hostile_names),
    ("silent-first-install", "win10-64", silent_first_install),
    ("silent-stops", "win10-64", silent_stops),
    ("uninstall-win10-64", "win10-64", uninstall),
    ("uninstall-after-two-installs", "win10-64", functools.partial(uninstall, installs=2)),
    ("uninstall-quiet-string", "win10-64", functools.partial(uninstall, quiet_string=True)),
    ("uninstall-added-files", "win10-64", functools.partial(uninstall, installs=2, added=True)),
    ("uninstall-windows-7", "win7-64", uninstall),
    ("uninstall-windows-8-32", "win8-32", uninstall),
    ("uninstall-interactive-windows-7", "win7-64", interactive_uninstall),
    ("uninstall-in-use-then-reinstall", "win10-64", in_use_then_reinstall),
    ("uninstall-record-held-open", "win10-64", record_held_open),
    ("uninstall-directory-link", "win10-64", directory_link),
    ("relative-journal", "win10-64", relative_journal),
    ("hard-linked-journal", "win10-64", hard_linked_journal),
    ("missing-journal-folder", "win10-64", missing_journal_folder),
    ("deployment-switches", "win10-64", deployment_switches),
    ("every-user", "win10-64", every_user),
    ("uninstall-machine-record-refused", "win10-64", machine_record_refused),
    ("uninstall-forged-user-record", "win10-64", forged_user_record),
    ("uninstall-other-mail-program", "win10-64", functools.partial(uninstall, other_mail=True)),
    ("verify", "win10-64", verify),
]


def run_one(flavour: wine.Flavour, name: str, template: str, scenario) -> Scenario:
    """One scenario on a display and in a prefix of its own; its failures are in what it returns."""
    started = time.time()
    with wine.private_display() as display, wine.fresh_prefix(template, flavour, display) as prefix:
        s = Scenario(prefix, name)
        try:
            scenario(s)
        except Exception as error:  # a broken scenario is a failure, reported like one
            s.failures.append(f"{type(error).__name__}: {error}")
    s.seconds = time.time() - started
    return s


def run_all(flavour: wine.Flavour, only: list[str]) -> list[str]:
    """Two at a time, as ctest runs the logic tests; reported in the table's order."""
    chosen = [
        row for row in SCENARIOS if (not only or row[0] in only) and row[1] in flavour.templates
    ]
    for tree in ("WM_32", "WM_64"):
        tree_files(tree)  # made once, before two scenarios could both make it
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for s in pool.map(lambda row: run_one(flavour, *row), chosen):
            print(f"{'ok  ' if not s.failures else 'FAIL'} {s.name} ({s.seconds:.0f} s)")
            for failure in s.failures:
                print(f"     {failure}")
            if s.failures:
                failed.append(s.name)
    return failed
