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
TXT_SYS, TXT_OUTPUT, TXT_OK, OK_BUTTON = 106, 107, 108, 102
# Each control of the window: left, top, width, height in twips from the client origin (a
# width of 0: the label sizes itself), and its fixed text (None: written at run time).
LAYOUT = {101: (150, 60, 11425, 5300, ""), 102: (3150, 4460, 1215, 495, "OK"),
          103: (9150, 5060, 2000, 285, "OK pour quitter"),
          104: (510, 5060, 6500, 285, "Toutes les opérations ont été effectuées avec succès - "
                                      "Windows Mail est opérationnel"),
          105: (315, 1175, 4365, 1500, "Système d'exploitation"), 106: (495, 1475, 4005, 1095, None),
          107: (4830, 1260, 6535, 3735, None), 108: (4870, 810, 5600, 400, None),
          109: (270, 300, 0, 0, "Movrix18"),
          110: (4830, 310, 6500, 195, "Utilitaire d'installation de Windows Mail sur Windows 10"),
          111: (270, 2820, 2505, 2205, None), 112: (4830, 510, 6500, 195, "")}
CLIENT = (11745, 5430)
TXT_OK_TEXT = ("Les fichiers programmes de Windows Mail ont été correctement installés." + CRLF +
               "Il vous suffit, si vous ne l'avez pas déjà fait, de lancer Quillset")
# Libraries the system always takes from its own folder, whatever lies beside the program.
KNOWN_LIBRARIES = {"kernel32", "user32", "gdi32", "advapi32", "shell32", "ole32", "oleaut32",
                   "comdlg32", "shlwapi", "msvcrt", "imm32", "setupapi", "ws2_32", "rpcrt4", "psapi",
                   "normaliz", "wldap32", "sechost", "combase", "imagehlp", "difxapi", "gdiplus"}
# A name from several scripts, one character beyond the Basic Multilingual Plane among them.
UNICODE_NAME = "Łódź Почта 日本 😀.txt"
WINMAIL_QUESTION = ("Windows Mail est en service",
                    "Cliquer sur OUI pour arrêter Windows Mail" + CRLF +
                    "ou sur NON si vous désirez le fermer vous-même" + CRLF +
                    "afin de terminer les travaux en cours.", "shown", "yes,no")


class Scenario:
    """One scenario's prefix, its checks (every failure is collected) and its artifacts."""

    def __init__(self, prefix: wine.Prefix, name: str):
        self.prefix, self.name, self.failures = prefix, name, []
        self.artifacts = ARTIFACTS / name
        shutil.rmtree(self.artifacts, ignore_errors=True)
        self.artifacts.mkdir(parents=True)
        self.runs = 0
        prefix.lay_setup(prefix.flavour.build / "Movrix18.exe")

    def check(self, condition: bool, message: str) -> bool:
        if not condition:
            self.failures.append(message)
        return condition

    def equal(self, got, want, what: str) -> bool:
        return self.check(got == want, f"{what}: got {got!r}, expected {want!r}")

    def install(self, *switches: str, answers=(), keys=(), program=r"C:\Setup\Movrix18.exe",
                start_folder: str | None = None) -> wine.Run:
        self.runs += 1
        run = wine.drive(self.prefix, program, *switches, answers=answers, keys=keys,
                         shots=self.artifacts / f"run{self.runs}", start_folder=start_folder)
        with open(self.artifacts / "boxes.txt", "a", encoding="utf-8") as boxes:
            for box in run.boxes:
                boxes.write(f"run {self.runs}: " + " | ".join(box).replace(CRLF, " / ") + "\n")
        return run

    def read(self, path: str) -> str | None:
        host = self.prefix.host(path)
        return host.read_text("utf-8") if host.is_file() else None


def text_of(run: wine.Run, control: int) -> str:
    return run.controls.get(control, ("", "", ""))[2]


def sample(path: str) -> str:
    return f"sample {path}\n"


@functools.lru_cache(maxsize=None)
def tree_files(tree: str) -> tuple[str, ...]:
    root = REPO / "build" / "sample-check"
    shutil.rmtree(root, ignore_errors=True)
    wine.make_sample_sources(root)
    return tuple(sorted(str(p.relative_to(root / tree)).replace("/", "\\")
                        for p in (root / tree).rglob("*") if p.is_file()))


def check_window(s: Scenario, run: wine.Run) -> None:
    if not s.check(run.window is not None, f"no window; boxes {run.boxes}"):
        return
    date = time.strftime("%d/%m/%Y", time.localtime(s.prefix.host(r"C:\Setup\Movrix18.exe").stat().st_mtime))
    s.equal(run.window["caption"], f"Movrix18 (version 2.18.0.1 du {date})", "caption")
    s.equal(run.window["client"], f"{CLIENT[0] // 15},{CLIENT[1] // 15}", "client size")
    s.equal(sorted(run.controls), sorted(LAYOUT), "controls")
    for id, (left, top, width, height, text) in LAYOUT.items():
        kind, rect, got_text = run.controls.get(id, ("", "0,0,0,0", ""))
        l, t, r, b = map(int, rect.split(","))
        want = (left / 15, top / 15) + ((width / 15, height / 15) if width else (r - l, b - t))
        s.check(all(abs(g - w) <= 1 for g, w in zip((l, t, r - l, b - t), want)),
                f"control {id} at {l},{t} size {r - l}x{b - t}, expected {want} (±1 px)")
        if text is not None:
            s.equal(got_text, text, f"text of control {id}")
    s.equal(text_of(run, TXT_OK), TXT_OK_TEXT, "txtOK")


def check_declared_dpi_aware(s: Scenario) -> None:
    """Windows stretches the window of a program that does not declare itself DPI-aware into a blur
    above 100 %, and ignores a declaration outside the namespace it reads; Wine scales no window,
    so only the manifest embedded in the program can tell."""
    data = (s.prefix.flavour.build / "Movrix18.exe").read_bytes()
    start = data.find(b"<?xml")
    manifest = ElementTree.fromstring(data[start:data.find(b"</assembly>", start) + len(b"</assembly>")])
    v3 = "{urn:schemas-microsoft-com:asm.v3}"
    aware = manifest.find(f"{v3}application/{v3}windowsSettings/"
                          "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware")
    s.equal(None if aware is None else aware.text, "true", "system DPI awareness in the embedded manifest")


def check_copy_log(s: Scenario, output: str, trees: list[tuple[str, str]]) -> None:
    """Every file of each tree has its two lines, "de   " then "vers "."""
    lines = output.split(CRLF)
    pairs = {(a.removeprefix("de   "), b.removeprefix("vers ")) for a, b in zip(lines, lines[1:])
             if a.startswith("de   ") and b.startswith("vers ")}
    for tree, destination in trees:
        for file in tree_files(tree):
            s.check((rf"C:\Setup\{tree}\{file}", rf"{destination}\{file}") in pairs,
                    f"copy log lacks {tree}\\{file}")
            s.equal(s.read(rf"{destination}\{file}"), sample(f"{tree}/{file}".replace("\\", "/")),
                    f"installed {destination}\\{file}")


def check_system_files(s: Scenario, folders: list[tuple[str, str]]) -> None:
    """The replaced system files hold the new text; their backups the original, on every run."""
    for source, folder in folders:
        for name in wine.SYSTEM_FILES:
            path = rf"C:\Windows\{folder}\{name}"
            s.equal(s.read(path), sample(f"{source}/{name}".replace("\\", "/")), path)
            s.equal(s.read(path + ".orlo"), f"original {folder.lower()} {name}", path + ".orlo")


def check_registry(s: Scenario) -> None:
    shutil.copy(s.prefix.flavour.build / "registry_check.exe", s.prefix.host("C:\\"))
    shutil.copy(REPO / "tests" / "data" / "registration.tsv", s.prefix.host("C:\\"))
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


def steps_text(renamed: list[str], system_line: str, registers: bool) -> str:
    text = CRLF.join(["=" * 51, "Vérifier la présence des dossiers Windows Mail renommés.",
                      "Les renommer s'ils ne le sont pas encore", "=" * 51]) + CRLF
    if renamed:
        text += CRLF.join(["Renommer le ou les dossiers programmes Windows Mail", "-" * 92]
                          + [f"Renommer le dossier {r}\\Windows Mail" for r in renamed]) + CRLF
    text += CRLF
    if registers:
        text += CRLF.join(["=" * 57, "Compléter la base de registre", "=" * 57, ""]) + CRLF
    return text + CRLF.join(["=" * 46, "Copier les fichiers programmes de Windows Mail (de Vista)",
                             "dans le(s) dossier(s) programmes de Windows " + system_line,
                             "=" * 46]) + CRLF


def first_install_win10_64(s: Scenario) -> None:
    for number in (1, 2):
        # The second run is closed from the keyboard: Tab to the button, Enter.
        run = s.install(keys=("tab", "return") if number == 2 else ())
        s.equal(run.boxes, [], f"boxes of run {number}")
        check_window(s, run)
        output = text_of(run, TXT_OUTPUT)
        renamed = ["Program Files", "Program Files (x86)"] if number == 1 else []
        steps = steps_text(renamed, "W10", True)
        s.equal(output[:len(steps)], steps, f"steps of run {number}")
        s.equal(text_of(run, TXT_SYS).split(CRLF)[0], "Microsoft Windows 10 64 bits", "txtSys")
        check_copy_log(s, output, [("WM_32", r"C:\Program Files (x86)"), ("WM_64", r"C:\Program Files")])
        check_system_files(s, [("system32", "System32"), ("syswow64", "SysWOW64")])
        s.equal(s.read(r"C:\Program Files\Windows Mail.orlo\placeholder.txt"), "original Program Files",
                "the renamed folder")
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
    steps = steps_text(["Program Files", "Program Files (x86)"], "7", False)
    s.equal(output[:len(steps)], steps, "steps")
    s.check("DLL" not in output, "no system-file block on Windows 7")
    s.equal(s.read(r"C:\Windows\System32\msoeacct.dll"), "original system32 msoeacct.dll", "system file")
    check_copy_log(s, output, [("WM_32", r"C:\Program Files (x86)"), ("WM_64", r"C:\Program Files")])


def windows_8_32(s: Scenario) -> None:
    run = s.install()
    s.equal(run.boxes, [], "boxes")
    output = text_of(run, TXT_OUTPUT)
    steps = steps_text(["Program Files"], "W8", True)
    s.equal(output[:len(steps)], steps, "steps")
    check_copy_log(s, output, [("WM_32", r"C:\Program Files")])
    check_system_files(s, [("syswow64", "System32")])
    check_registry(s)


def start_winmail(s: Scenario, *arguments: str, name: str = "WinMail.exe") -> subprocess.Popen:
    shutil.copy(s.prefix.flavour.build / "WinMail.exe", s.prefix.host("C:\\" + name))
    ready = s.prefix.host(r"C:\winmail-ready")
    ready.unlink(missing_ok=True)
    process = subprocess.Popen([s.prefix.flavour.loader, "C:\\" + name, *arguments, r"/ready=C:\winmail-ready"],
                               env=s.prefix.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(300):
        if ready.exists() or process.poll() is not None:
            break
        time.sleep(0.1)
    if not ready.exists():
        process.kill()
        raise wine.Trouble(f"The fake WinMail.exe did not show its window (exit code {process.poll()}).")
    return process


def winmail_no(s: Scenario) -> None:
    winmail = start_winmail(s)
    run = s.install(answers=["no"])
    s.equal(run.boxes, [WINMAIL_QUESTION + ("no",)], "boxes")
    s.equal(run.exit_code, 1602, "exit code")
    s.check(run.window is None, "the window appeared")
    s.check(winmail.poll() is None, "WinMail.exe was ended")
    s.check(s.prefix.host(r"C:\Program Files\Windows Mail\placeholder.txt").exists(), "something was renamed")
    winmail.kill()


def winmail_yes(s: Scenario) -> None:
    winmail = start_winmail(s)
    run = s.install(answers=["yes"])
    s.equal(run.boxes, [WINMAIL_QUESTION + ("yes",)], "boxes")
    s.equal(winmail.wait(timeout=20), 3, "exit code of WinMail.exe (3: its window was closed, 0: terminated)")
    s.check(run.window is not None, "no window after ending WinMail.exe")


def refused_language(s: Scenario) -> None:
    s.prefix.locale = "de_DE.UTF-8"
    run = s.install()
    s.equal(run.boxes, [("Form_Load", "Movrix non compatible avec la langue de Windows ou Système corrompu",
                         "shown", "ok", "ok")], "boxes")
    s.check(run.window is None, "the window appeared")
    s.equal(run.exit_code, 1603, "exit code")


def unusable_tree(tree: str, emptied: bool):
    """A program tree the system needs is missing, or there without the program: the run stops first."""
    def scenario(s: Scenario) -> None:
        shutil.rmtree(s.prefix.host(rf"C:\Setup\{tree}"))
        if emptied:
            s.prefix.host(rf"C:\Setup\{tree}").mkdir()
        run = s.install()
        s.equal(run.boxes, [("Movrix18", f"Le dossier {tree} n'a pas été installé.", "none", "ok", "ok")], "boxes")
        s.check(run.window is None, "the window appeared")
        s.equal(run.exit_code, 1603, "exit code")
        s.check(s.prefix.host(r"C:\Program Files\Windows Mail\placeholder.txt").exists(), "something was renamed")
    return scenario


def missing_system_file(s: Scenario) -> None:
    """A system file that cannot be replaced: both status lines say so, and so does a silent run."""
    s.prefix.host(r"C:\Setup\system32\msoeacct.dll").unlink()
    run = s.install()
    incomplete = "L'installation de Windows Mail est incomplète."
    s.equal((text_of(run, 104), text_of(run, TXT_OK)),
            (incomplete, incomplete + CRLF + "Les erreurs sont indiquées dans le journal ci-dessous."), "status lines")
    s.equal(run.exit_code, 1603, "exit code")
    run = s.install("/S", r"/LOG=C:\journal.txt")
    s.equal(run.exit_code, 1603, "exit code of the silent run")
    line = r"échec : c:\windows\system32\msoeacct.dll n'a pas été remplacé : "
    s.check(any(ln.lower().startswith(line) for ln in (s.read(r"C:\journal.txt") or "").splitlines()),
            "no log line names the file")
    s.equal(s.read(r"C:\Windows\System32\msoeacct.dll"), "original system32 msoeacct.dll", "the system file")
    s.check(s.prefix.run("reg", "query", UNINSTALL_ENTRY, "/reg:64").returncode != 0,
            "a failed installation wrote its Programs and Features entry")


def pe_tables(path: Path) -> tuple[dict[str, list[str]], set[str]]:
    """The import table of a PE file (each library, lower case without ".dll", with the names of
    the functions taken from it) and the names of the functions it exports."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    section_count, _, _, _, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
    optional = pe + 24
    wide = struct.unpack_from("<H", data, optional)[0] != 0x10B  # PE32+
    directories = optional + (112 if wide else 96)
    sections = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
                for i in range(section_count)]  # virtual size, address, raw size, raw offset

    def offset(rva: int) -> int:
        for virtual_size, address, raw_size, raw in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw
        raise ValueError(f"address {rva:#x} lies in no section of {path}")

    def word(at: int) -> int:
        return struct.unpack_from("<I", data, at)[0]

    def text(rva: int) -> str:
        return data[offset(rva):data.index(b"\0", offset(rva))].decode("ascii")

    thunk_format, by_ordinal = ("<Q", 1 << 63) if wide else ("<I", 1 << 31)
    imports, at = {}, offset(word(directories + 8)) if word(directories + 8) else len(data)
    while any(data[at:at + 20]):
        functions = imports.setdefault(text(word(at + 12)).lower().removesuffix(".dll"), [])
        thunk = offset(word(at) or word(at + 16))  # the lookup table, or the bound one
        while entry := struct.unpack_from(thunk_format, data, thunk)[0]:
            functions += [] if entry & by_ordinal else [text(entry + 2)]
            thunk += struct.calcsize(thunk_format)
        at += 20
    at = offset(word(directories)) if word(directories) else 0
    exports = {text(word(offset(word(at + 32)) + 4 * i)) for i in range(word(at + 24))} if at else set()
    return imports, exports


def manifest_names_common_controls_6() -> bool:
    """Whether the program's manifest takes comctl32 version 6 from the system's side-by-side store."""
    namespace = "{urn:schemas-microsoft-com:asm.v1}"
    root = ElementTree.parse(REPO / "app" / "movrix18.manifest").getroot()
    return any(identity.get("name") == "Microsoft.Windows.Common-Controls" and
               identity.get("version", "").startswith("6.")
               for identity in root.iterfind(f"{namespace}dependency/{namespace}dependentAssembly/"
                                             f"{namespace}assemblyIdentity"))


# The ANSI functions the static C runtime itself imports, as an empty wWinMain program shows.
RUNTIME_ANSI_FUNCTIONS = {"CreateEventA", "CreateSemaphoreA", "GetModuleHandleA", "LoadLibraryA", "OutputDebugStringA"}


def check_imports(s: Scenario) -> None:
    """The loader resolves the imports before WinMain restricts the search: each must be a library
    that the system takes from its own folder, never one planted beside the program. And no
    function passes a name or value through the code page: none has a Unicode twin."""
    allowed = KNOWN_LIBRARIES | ({"comctl32"} if manifest_names_common_controls_6() else set())
    imported = pe_tables(s.prefix.flavour.build / "Movrix18.exe")[0]
    s.check(len(imported) > 0, "no import table read")
    s.equal(sorted(set(imported) - allowed), [], "imported libraries the system may take from beside the program")
    system = "syswow64" if s.prefix.flavour.name == "i686" and s.prefix.arch == "win64" else "system32"
    ansi = []
    for library, functions in imported.items():
        exported = pe_tables(s.prefix.host(rf"C:\windows\{system}\{library}.dll"))[1]
        s.check(len(exported) > 0, f"no exports read from {library}")
        ansi += [f for f in functions if f.endswith("A") and f[:-1] + "W" in exported]
    s.equal(sorted(set(ansi) - RUNTIME_ANSI_FUNCTIONS), [], "imported ANSI functions")


def hostile_names(s: Scenario) -> None:
    """Names and files beside the program that an unwary installer would run or load."""
    check_imports(s)
    setup = s.prefix.host(r"C:\Setup")
    crafted = "%CMDCMDLINE%&calc&rem .dll"
    (setup / "WM_32" / "Windows Mail" / crafted).write_text("crafted")
    (setup / "WM_32" / "Windows Mail" / UNICODE_NAME).write_text("outside the code page")
    (setup / "takeown.bat").write_text("@echo planted> C:\\planted-takeown.txt\r\n")
    for library in ("advpack.dll", "msimg32.dll"):
        shutil.copy(s.prefix.flavour.build / library, setup)
    s.prefix.overrides = ";advpack,msimg32=n,b"  # Wine then searches for them as Windows does
    (setup / "WM_32" / "Windows Mail" / "profil").symlink_to(s.prefix.host(r"C:\users"))
    s.install()
    # A rerun hands every existing destination to the rights commands.
    run = s.install(rf"/journal=C:\{UNICODE_NAME}.log")
    output = text_of(run, TXT_OUTPUT)
    s.equal(run.boxes, [], "boxes")
    s.equal(s.read(rf"C:\Program Files (x86)\Windows Mail\{crafted}"), "crafted", "the crafted file")
    s.check(any(line.startswith("takeown.exe") and line.endswith(f"\\{crafted}\"") for line in s.prefix.command_log()),
            f"no takeown for the crafted name whole: {s.prefix.command_log()[:3]}")
    s.check(not s.prefix.host(r"C:\planted-takeown.txt").exists(), "the planted takeown.bat ran")
    # The program loads advpack itself, by its full path, and msimg32 from the system folder before
    # a system library (Wine's theming) loads it by name: neither planted copy may ever load.
    for library in ("advpack.dll", "msimg32.dll"):
        s.equal(s.read(rf"C:\planted-{library}.txt"), None, f"loads of the planted {library}")
    s.equal(s.read(rf"C:\Program Files (x86)\Windows Mail\{UNICODE_NAME}"), "outside the code page", "the file")
    lines = CRLF.join([rf"de   C:\Setup\WM_32\Windows Mail\{UNICODE_NAME}",
                       rf"vers C:\Program Files (x86)\Windows Mail\{UNICODE_NAME}"])
    s.check(lines in output and lines in whole_log(s, s.prefix.host(rf"C:\{UNICODE_NAME}.log"), 1603),
            "the window or the log does not name the file as it is")
    s.check(r"ÉCHEC : C:\Setup\WM_32\Windows Mail\profil n'a été ni suivi ni copié : " in output, "the link is not in the log")
    s.check(not s.prefix.host(r"C:\Program Files (x86)\Windows Mail\profil").exists(), "the link was followed")
    s.equal(text_of(run, TXT_OK), "L'installation de Windows Mail est incomplète." + CRLF +
            "Les erreurs sont indiquées dans le journal ci-dessous.", "txtOK")
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
    s.check(first.startswith("Début : ") and "Movrix18 version 2.18.0.1" in first, f"start line {first!r}")
    s.check(last[-1:] == [""] and last[0].startswith("Fin : ") and last[0].endswith(f", code de sortie {code}"),
            f"end line {last!r}")
    return text


def silent_first_install(s: Scenario) -> None:
    """As a deployment tool runs it, the program signed as an administrator signs it."""
    with tempfile.TemporaryDirectory(prefix="movrix-sign-") as scratch:
        signed, _ = release.signed_copy(s.prefix.flavour, Path(scratch))
        shutil.copy(signed, s.prefix.host(r"C:\Setup\Movrix18.exe"))
    run = s.install("/S")
    s.equal((run.boxes, run.window, run.exit_code), ([], None, 0), "boxes, window, exit code")
    log = silent_log(s)
    lines = log.split(CRLF)
    s.check("Système : Microsoft Windows 10 64 bits" in lines, "system line")
    # Wine makes no private namespace: the log says which lock stands in.
    s.check(any(line.startswith("Le verrou réservé aux administrateurs n'a pas pu être pris (") and
                line.endswith(r") : le verrou Global\Movrix18 le remplace.") for line in lines), "lock line")
    for heading in ("== Renommer les dossiers Windows Mail", "== Copier les fichiers programmes",
                    "== Compléter la base de registre"):
        s.check(heading in lines, f"heading {heading} missing")
    s.check(steps_text(["Program Files", "Program Files (x86)"], "W10", True) in log, "steps text")
    s.check("Statut : " + TXT_OK_TEXT in log, "final status")
    check_copy_log(s, log, [("WM_32", r"C:\Program Files (x86)"), ("WM_64", r"C:\Program Files")])
    check_system_files(s, [("system32", "System32"), ("syswow64", "SysWOW64")])
    check_registry(s)
    kept = s.prefix.host(r"C:\Program Files\Movrix18\Movrix18.exe")
    s.check(kept.read_bytes() == s.prefix.host(r"C:\Setup\Movrix18.exe").read_bytes(), "the kept program is not the signed one")


def silent_stops(s: Scenario) -> None:
    """A missing source, then a running WinMail.exe, then a switch nobody knows."""
    shutil.rmtree(s.prefix.host(r"C:\Setup\WM_64"))
    run = s.install("-silencieux", r"/journal=C:\journal.txt")
    s.equal((run.boxes, run.window, run.exit_code), ([], None, 1603), "boxes, window, exit code")
    s.check("Message « Movrix18 » : Le dossier WM_64 n'a pas été installé. → OK" in (s.read(r"C:\journal.txt") or ""),
            "the box's text in the log")
    winmail = start_winmail(s)
    run = s.install("/s")
    s.equal((run.boxes, run.exit_code), ([], 1618), "boxes, exit code with WinMail.exe running")
    s.check(winmail.poll() is None, "WinMail.exe was ended")
    winmail.kill()
    run = s.install("/x")
    s.equal(run.boxes, [("Movrix18", "Option inconnue : /x. Options acceptées : /silencieux (ou /S, /quiet), "
                         "/journal=CHEMIN (ou /LOG=CHEMIN), /desinstaller (ou /uninstall), "
                         "/utilisateur (ou /user), /fermer (ou /closeapplications), /norestart, "
                         "/verifier (ou /verify)",
                         "shown", "ok", "ok")],
            "bad switch box")
    s.equal(run.exit_code, 87, "exit code of a bad switch")


UNINSTALL_QUESTION = ("Désinstaller Windows Mail", "Désinstaller Windows Mail ?" + CRLF + CRLF +
                      "Les dossiers programmes, les fichiers système et la base de registre" + CRLF +
                      "retrouveront leur état d'avant la première installation.", "shown", "yes,no", "yes")


WINE_FONT_KEYS = {rf"[Software\\{view}Microsoft\\{version}\\CurrentVersion\\Fonts]"
                  for view in ("", r"Wow6432Node\\") for version in ("Windows", "Windows NT")}

WINE_DEBUGGER_KEYS = {"[Console]", r"[Software\\Wine\\WineDbg]"}

def machine_state(s: Scenario) -> dict:
    """Every file under both Program Files and both system folders, and every registry key and value
    (the prefix's registry files once the server has saved them), without the times Wine adds."""
    wine.wineserver(s.prefix.env(), "-k")
    state = {}
    for folder in ("Program Files", "Program Files (x86)", r"windows\system32", r"windows\syswow64"):
        root = s.prefix.host("C:\\" + folder)
        for path in root.rglob("*") if root.is_dir() else ():
            if path.is_file() and not path.is_symlink():
                state[str(path.relative_to(s.prefix.path))] = path.read_bytes()
    for hive in ("system.reg", "user.reg"):
        section = None
        for line in (s.prefix.path / hive).read_text("utf-8", "replace").splitlines():
            if line.startswith("["):
                section = line[:line.rindex("]") + 1]
                state[section] = ""
            elif section and not line.startswith("#time="):
                state[section] += line + "\n"
    # Wine's own bookkeeping of the display, which any window started changes, and of its fonts,
    # which the first program of each bitness to use them registers, late; and the keys its debugger
    # leaves when one of Wine's own 64-bit processes faults under load (a fault of a program the
    # scenarios start shows in its exit code).
    return {key: value for key, value in state.items()
            if "CurrentControlSet" not in key and key not in WINE_FONT_KEYS | WINE_DEBUGGER_KEYS}


def compare_states(s: Scenario, before: dict, after: dict, what: str) -> None:
    changed = sorted(key for key in before.keys() | after.keys() if before.get(key) != after.get(key))
    s.equal(changed, [], f"what {what} left changed")


def split_command(line: str) -> list[str]:
    """A command line of a quoted program and its switches, as the system splits it."""
    program, switches = line[1:].split('" ', 1)
    return [program, *switches.split()]


def uninstall(s: Scenario, installs: int = 1, quiet_string: bool = False, other_mail: bool = False,
              added: bool = False) -> None:
    """Installations, then the way back: the machine is as it was before the first one, texts
    outside the code page included; with `other_mail`, but for the mailto command that another
    program wrote since, which stays. With `added`, the system lacks msidcrl30.dll and its fr-FR
    folders, and holds an empty acctres.dll."""
    for key, text in ((r"HKCR\mailto", "Messagerie Łódź ✉ 日本 😀"), (r"HKCU\Software\Clients\Mail", "Courrier Почта 邮件 ✉")):
        s.equal(s.prefix.run("reg", "add", key, "/ve", "/d", text, "/f", "/reg:64").returncode, 0, f"reg add {key}")
    missing = [rf"C:\windows\{folder}\{name}" for folder in ("system32", "syswow64")
               for name in ("msidcrl30.dll", "fr-FR")] if added else []
    for path in missing:
        shutil.rmtree(s.prefix.host(path)) if path.endswith("fr-FR") else s.prefix.host(path).unlink()
    if added:
        s.prefix.host(r"C:\windows\system32\acctres.dll").write_bytes(b"")
    before = machine_state(s)
    for _ in range(installs):
        s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    s.check(machine_state(s) != before, "the installation changed nothing the comparison sees")
    s.equal(reg_value(s, EVENT_SOURCE, "EventMessageFile"), r"C:\Program Files\Movrix18\Movrix18.exe",
            "the event source's message file")
    command = [r"C:\Setup\Movrix18.exe", "/DÉSINSTALLER", "/S", r"/LOG=C:\journal.txt"]
    if other_mail:
        s.prefix.run("reg", "add", "HKLM\\" + MAILTO_COMMAND, "/ve", "/d", "autre.exe %1", "/f", "/reg:64")
    if quiet_string:
        wine.wineserver(s.prefix.env(), "-k")  # the server saves the registry as it ends
        system = (s.prefix.path / "system.reg").read_text("utf-8", "replace")
        strings = {name: next((line.split("=", 1)[1][1:-1].replace('\\\\', '\\').replace('\\"', '"')
                               for line in system.splitlines() if line.startswith(f'"{name}"=')), "")
                   for name in ("UninstallString", "QuietUninstallString")}
        kept = r'"C:\Program Files\Movrix18\Movrix18.exe"'
        s.equal(strings, {"UninstallString": kept + " /desinstaller", "QuietUninstallString": kept + " /desinstaller /S"},
                "the entry's commands")
        shutil.rmtree(s.prefix.host(r"C:\Setup"))
        # The "Uninstall" button of Programs and Features: the way back's question, answered No.
        program, *switches = split_command(strings["UninstallString"])
        run = s.install(*switches, program=program, answers=["no"])
        s.equal((run.boxes, run.exit_code), ([UNINSTALL_QUESTION[:-1] + ("no",)], 1602), "boxes, exit code of UninstallString")
        command = split_command(strings["QuietUninstallString"])
    run = s.install(*command[1:], program=command[0])
    s.equal((run.boxes, run.window, run.exit_code), ([], None, 0), "boxes, window, exit code of the way back")
    if quiet_string:  # what the system completes at the restart
        s.prefix.run("wineboot", "-r")
    after = machine_state(s)
    if any("Installed Components\\\\Movrix18]" in key for key in after):
        after = retired_for_every_user(s)
    if other_mail:
        section = "[" + MAILTO_COMMAND.replace("\\", "\\\\").lower() + "]"
        s.check('"autre.exe %1"' in next((v for k, v in after.items() if k.lower() == section), ""),
                "the other program's mailto command was not left")
        s.check("ATTENTION : valeur laissée telle quelle, changée depuis l'installation : HKLM\\"
                + MAILTO_COMMAND + "\\" in (s.read(r"C:\journal.txt") or "").splitlines(), "no ATTENTION line")
        before, after = ({k: v for k, v in state.items() if k.lower() != section} for state in (before, after))
    compare_states(s, before, after, "the way back")
    s.check(s.prefix.run("reg", "query", EVENT_SOURCE, "/reg:64").returncode != 0, "the way back left the event source")
    s.equal([path for path in missing if s.prefix.host(path).exists()], [], "what the installation added")
    if not quiet_string:
        s.equal(s.install("/uninstall", "/S").exit_code, 1605, "exit code with nothing left to remove")


MAILTO_COMMAND = r"SOFTWARE\Classes\mailto\shell\open\command"
UNINSTALL_ENTRY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Movrix18"
EVENT_SOURCE = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Movrix18"
RECORD = r"C:\Program Files\Movrix18\registre-origine.txt"


def refused_way_back(s: Scenario, record: str, what: str, *program: str) -> None:
    """A way back that refuses `record`: 1603, its ÉCHEC line in the log, nothing changed."""
    installed = machine_state(s)
    s.prefix.host(r"C:\journal.txt").unlink(missing_ok=True)
    program = program or (r"C:\Setup\Movrix18.exe", "/desinstaller", "/S")
    s.equal(s.install(*program[1:], r"/LOG=C:\journal.txt", program=program[0]).exit_code, 1603, f"exit code, {what}")
    s.check(f"ÉCHEC : {what} : {record}" in (s.read(r"C:\journal.txt") or ""), f"no ÉCHEC line: {what}")
    compare_states(s, installed, machine_state(s), f"a way back refusing its record ({what})")


def machine_record_refused(s: Scenario) -> None:
    """Without its machine record, then with a damaged one, the way back changes nothing; with the
    good record back it restores everything."""
    before = machine_state(s)
    s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    record = s.prefix.host(RECORD)
    good = record.read_bytes()
    record.unlink()
    refused_way_back(s, RECORD, "aucun enregistrement de l'état d'origine")
    last_line = good.rindex(b"\r\n", 0, len(good) - 2) + 2
    for damaged in (good[:last_line], good[:last_line + 9], good.replace(b"\r\n", b"\n"), bytes(len(good))):
        record.write_bytes(damaged)
        refused_way_back(s, RECORD, "enregistrement endommagé, rien n'en est rétabli")
    record.write_bytes(good)
    s.equal(s.install("/desinstaller", "/S").exit_code, 0, "exit code with the good record")
    compare_states(s, before, retired_for_every_user(s), "the way back with the good record")


def forged_user_record(s: Scenario) -> None:
    """A program of the user adds a machine value to their record and seals it again: the way back,
    elevated or the user's own, refuses the record and writes nothing."""
    s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    user_record = r"HKCU\Software\Movrix18\Etat avant installation"
    sethc = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options\sethc.exe"
    lines = bytes.fromhex(reg_value(s, user_record, "registre") or "").decode().split(CRLF)[:-1]
    lines[-1:] = ["\t".join(["V", str(0x80000002), sethc.removeprefix("HKLM\\").encode().hex(), b"Debugger".hex(), "1", "1", "1",
                              b"cmd.exe\0".hex()])]
    head = CRLF.join(lines) + CRLF
    forged = head + f"fin {len(lines) - 1} {hashlib.sha256(head.encode()).hexdigest()}" + CRLF
    s.prefix.run("reg", "add", user_record, "/v", "registre", "/t", "REG_BINARY", "/d", forged.encode().hex(), "/f")
    refusal = (user_record + r"\registre : il nomme ce qui n'est pas une ligne de sa liste : " + sethc + r"\Debugger",
               "enregistrement refusé, rien n'en est rétabli")
    refused_way_back(s, *refusal)
    refused_way_back(s, *refusal, r"C:\Program Files\Movrix18\Movrix18.exe", "/utilisateur", "/desinstaller")
    s.check(s.prefix.run("reg", "query", sethc, "/reg:64").returncode != 0, "the forged machine key was written")


def retired_for_every_user(s: Scenario) -> dict:
    """Where users got the rows at their sign-in, the way back leaves its program and a retired
    Active Setup component, whose StubPath each user runs at their next sign-in; the state once
    this user has run it, without those two."""
    kept = r"C:\Program Files\Movrix18\Movrix18.exe"
    stub = reg_value(s, ACTIVE_SETUP, "StubPath") or ""
    s.equal(stub, f'"{kept}" /utilisateur /desinstaller', "StubPath of the retired component")
    s.equal(s.prefix.run(kept, "/utilisateur", "/desinstaller").returncode, 0, "exit code of the StubPath")
    after = machine_state(s)
    s.check(r"drive_c/Program Files/Movrix18/Movrix18.exe" in after, "the program the StubPath runs is gone")
    return {key: value for key, value in after.items()
            if "Movrix18/Movrix18.exe" not in key and "Installed Components\\\\Movrix18]" not in key}


def interactive_uninstall(s: Scenario) -> None:
    s.install("/S")
    run = s.install("-DESINSTALLER", answers=["yes"])
    s.equal(run.boxes, [UNINSTALL_QUESTION], "boxes")
    s.equal(text_of(run, TXT_OK), "Windows Mail a été désinstallé." + CRLF +
            "Le système a retrouvé son état d'avant l'installation.", "txtOK")
    s.check(r"Dossier rétabli : C:\Program Files (x86)\Windows Mail" in text_of(run, TXT_OUTPUT), "steps")
    s.equal(run.exit_code, 0, "exit code")


def in_use_then_reinstall(s: Scenario) -> None:
    """A system library in use at the way back (3010), a reinstallation before the restart, then
    the restart: nothing that waited for it undoes the fresh installation."""
    library = s.prefix.flavour.build / "msimg32.dll"  # any real library, which a program can map
    shutil.copy(library, s.prefix.host(r"C:\Setup\syswow64\msoeacct.dll"))
    s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    holder = start_winmail(s, r"/charger=C:\windows\syswow64\msoeacct.dll", name="holder.exe")
    s.equal(s.install("/desinstaller", "/S").exit_code, 3010, "exit code of the way back, a library in use")
    s.equal(s.install("/S").exit_code, 0, "exit code of the reinstallation")
    holder.kill()
    holder.wait()
    s.prefix.run("wineboot", "-r")
    fresh = s.prefix.host(r"C:\windows\syswow64\msoeacct.dll")
    s.check(fresh.is_file() and fresh.read_bytes() == library.read_bytes(), "the fresh library is gone")
    s.equal(s.read(r"C:\windows\syswow64\msoeacct.dll.orlo"), "original syswow64 msoeacct.dll", "its backup")
    s.check(not s.prefix.host(r"C:\windows\syswow64\msoeacct.dll.supprimer-1").exists(), "the aside copy stayed")
    check_system_files(s, [("system32", "System32")])
    s.equal(reg_value(s, r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Movrix18", "DisplayVersion"),
            "2.18.0.1", "the entry")
    kept = s.prefix.host(r"C:\Program Files\Movrix18\Movrix18.exe")
    s.check(kept.is_file() and kept.read_bytes() == s.prefix.host(r"C:\Setup\Movrix18.exe").read_bytes(),
            "the kept program")


def record_held_open(s: Scenario) -> None:
    """A reader holds the file record open through the way back, as any user may: that step fails,
    named, with 1603 and the entry kept; once the reader is gone, a rerun finishes."""
    before = machine_state(s)
    s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    record = r"C:\Program Files\Movrix18\fichiers-installes.txt"
    reader = start_winmail(s, "/lire=" + record, name="lecteur.exe")
    way_back = s.install("/desinstaller", "/S", r"/LOG=C:\journal.txt")
    reader.kill()
    reader.wait()
    s.equal(way_back.exit_code, 1603, "exit code of the way back while the record is read")
    log = s.read(r"C:\journal.txt") or ""
    s.check("ÉCHEC : fichier non supprimé : " + record in log, "the record is not named: " + log)
    s.check(reg_value(s, UNINSTALL_ENTRY, "DisplayVersion") is not None, "the entry is gone")
    s.equal(s.install("/desinstaller", "/S").exit_code, 0, "exit code of the rerun")
    s.check(reg_value(s, UNINSTALL_ENTRY, "DisplayVersion") is None, "the entry stayed")
    compare_states(s, before, retired_for_every_user(s), "the way back")


def directory_link(s: Scenario) -> None:
    """A link in the installed tree to someone else's folder: the way back never follows it. Wine
    cannot remove such a link, so the file behind it decides, and the log says the link stayed."""
    s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    other = s.prefix.host(r"C:\Autre")
    other.mkdir()
    (other / "garder.txt").write_text("someone else's")
    (s.prefix.host(r"C:\Program Files\Windows Mail") / "lien").symlink_to(other)
    s.install("/desinstaller", "/S", r"/LOG=C:\journal.txt")
    s.equal(s.read(r"C:\Autre\garder.txt"), "someone else's", "the file behind the link")
    log = s.read(r"C:\journal.txt") or ""
    s.check(r"lien laissé en place, jamais suivi : C:\Program Files\Windows Mail.supprimer-1\lien : " in log,
            "the log does not say the link stayed")


def relative_journal(s: Scenario) -> None:
    """A relative log path is taken from the starting folder, for the whole run; /quiet is /S, /norestart is nothing."""
    s.prefix.host(r"C:\Depot\journaux").mkdir(parents=True)
    run = s.install("/quiet", "/norestart", r"/journal=journaux\movrix.log", start_folder=r"C:\Depot")
    s.equal((run.boxes, run.window, run.exit_code), ([], None, 0), "boxes, window, exit code")
    log = whole_log(s, s.prefix.host(r"C:\Depot\journaux\movrix.log"), 0)
    s.check("Statut : " + TXT_OK_TEXT in log, f"no final status in {log[-300:]!r}")
    s.check(not s.prefix.host(r"C:\Setup\journaux").exists(), "a log beside the program")


def deployment_switches(s: Scenario) -> None:
    """/fermer ends a running WinMail.exe and the installation goes on; the log path's variable is expanded."""
    winmail = start_winmail(s)
    run = s.install("/S", "/fermer", r"/LOG=%SystemDrive%\Movrix18.log")
    s.equal((run.boxes, run.window, run.exit_code), ([], None, 0), "boxes, window, exit code with /fermer")
    s.equal(winmail.wait(timeout=20), 3, "exit code of WinMail.exe (3: its window was closed, 0: terminated)")
    whole_log(s, s.prefix.host(r"C:\Movrix18.log"), 0)


def unchanged_system(s: Scenario) -> None:
    s.check(s.prefix.host(r"C:\Program Files\Windows Mail\placeholder.txt").exists(), "something was renamed")
    s.check(not s.prefix.host(r"C:\Program Files\Windows Mail\WinMail.exe").exists(), "something was copied")


def hard_linked_journal(s: Scenario) -> None:
    """A log that is a second name of another file leaves that file alone and the system unchanged."""
    precious = s.prefix.host(r"C:\precious.txt")
    precious.write_text("precious")
    os.link(precious, s.prefix.host(r"C:\ProgramData\Movrix18.log"))
    run = s.install("/S", r"/LOG=C:\ProgramData\Movrix18.log")
    s.equal((run.boxes, run.window, run.exit_code), ([], None, 1622), "boxes, window, exit code")
    s.equal(precious.read_text(), "precious", "the other file")
    unchanged_system(s)


def missing_journal_folder(s: Scenario) -> None:
    run = s.install(r"/journal=C:\Absent\Movrix18.log")
    s.equal(run.boxes, [("Movrix18", "Le journal « C:\\Absent\\Movrix18.log » ne peut pas servir : son dossier "
                         "n'existe pas." + CRLF + "L'installation n'a pas été lancée.", "shown", "ok", "ok")], "boxes")
    s.equal((run.window, run.exit_code), (None, 1622), "window, exit code")
    s.check(not s.prefix.host(r"C:\Absent").exists(), "the log's folder was made")
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
    run = s.install("/S")
    s.equal((run.boxes, run.exit_code), ([], 0), "boxes, exit code")
    kept = r"C:\Program Files\Movrix18\Movrix18.exe"
    s.check(s.prefix.host(kept).read_bytes() == s.prefix.host(r"C:\Setup\Movrix18.exe").read_bytes(),
            "the kept program differs from the installed one")
    stub = reg_value(s, ACTIVE_SETUP, "StubPath") or ""
    s.equal(stub, f'"{kept}" /utilisateur', "StubPath")
    s.equal(reg_value(s, ACTIVE_SETUP, "Version"), "2,18,0,1", "Version")
    # A new user has none of the rows, and no record of their state either.
    rows = (REPO / "tests" / "data" / "registration.tsv").read_text("utf-8").splitlines()
    keys = {line.split("\t")[2] for line in rows if line.split("\t")[1:2] == ["HKCU"]}
    for key in sorted(keys) + [r"Software\Movrix18"]:
        s.prefix.run("reg", "delete", rf"HKCU\{key}", "/f")
    s.check(s.prefix.run("reg", "query", r"HKCU\Software\Clients\Mail").returncode != 0,
            "the mail client row survived its deletion")
    s.equal(s.prefix.run(*split_command(stub)).returncode, 0, "exit code of the StubPath")
    check_registry(s)
    for log in list(s.prefix.path.glob("drive_c/users/*/AppData/Local/Movrix18/utilisateur.log")) or [Path("no log")]:
        whole_log(s, log, 0)


def verify(s: Scenario) -> None:
    """/verifier where nothing is installed (1605), after an installation (0), after a tree file
    changed and after a system file was put back (1), from the kept program once the setup folder
    is gone: no box, no window, each difference a line of the log, and nothing changed."""
    def check(code: int, *differences: str, program=r"C:\Program Files\Movrix18\Movrix18.exe") -> None:
        before, log = machine_state(s), s.prefix.host(rf"C:\verifier-{s.runs}.log")
        run = s.install("/verifier", rf"/journal=C:\{log.name}", program=program)
        s.equal((run.boxes, run.window, run.exit_code), ([], None, code), f"boxes, window, exit code of {log.name}")
        lines = whole_log(s, log, code).lower().split(CRLF)
        s.equal([d for d in differences if f"différence : {d}".lower() not in lines], [], f"lines of {log.name}")
        compare_states(s, before, machine_state(s), f"the check {log.name}")
    check(1605, program=r"C:\Setup\Movrix18.exe")
    s.equal(s.install("/S").exit_code, 0, "exit code of the installation")
    shutil.rmtree(s.prefix.host(r"C:\Setup"))
    check(0)
    tree_file, system_file = rf"C:\Program Files (x86)\{tree_files('WM_32')[0]}", r"C:\Windows\System32\msoeacct.dll"
    s.prefix.host(tree_file).write_text("changed")
    check(1, f"modifié : {tree_file}")
    shutil.copy(s.prefix.host(system_file + ".orlo"), s.prefix.host(system_file))
    check(1, f"modifié : {tree_file}", f"modifié : {system_file}")


SCENARIOS = [("first-install-win10-64", "win10-64", first_install_win10_64),
             ("windows-7", "win7-64", windows_7), ("windows-8-32", "win8-32", windows_8_32),
             ("winmail-no", "win10-64", winmail_no), ("winmail-yes", "win10-64", winmail_yes),
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
             ("uninstall-windows-7", "win7-64", uninstall), ("uninstall-windows-8-32", "win8-32", uninstall),
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
             ("verify", "win10-64", verify)]


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
    chosen = [row for row in SCENARIOS if (not only or row[0] in only) and row[1] in flavour.templates]
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
