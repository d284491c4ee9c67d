"""What an administrator checks of the program before pushing it to a fleet: that it rebuilds to the
same bytes elsewhere, that it can be signed, that the release holds what it says and no more, that
its event texts are in it, and that the deployment recipes of the README parse. None needs Wine."""

from __future__ import annotations

import hashlib
import re
import shutil
import subprocess
import tempfile
import zipfile
from pathlib import Path

import wine

REPO = wine.REPO
VERSION = "2.18.0.1"
# The text of each event id, as the event viewer shows it from the kept program.
EVENT_TEXTS = {
    1000: "Movrix18 %2, %1 : terminé avec succès (code de sortie %3).",
    1001: "Movrix18 %2, %1 : terminé ; le prochain redémarrage le complète (code de sortie %3).",
    1002: "Movrix18 %2, %1 : échec ou différence, le journal de Movrix18 dit lesquels (code de sortie %3).",
    1003: "Movrix18 %2, %1 : refusé, rien n'a été modifié (code de sortie %3).",
    1004: "Movrix18 %2, %1 : aucune installation trouvée, rien n'a été modifié (code de sortie %3).",
}


class Skip(Exception):
    """A check this machine cannot make, with the reason."""


def run(*command, cwd: Path = REPO) -> subprocess.CompletedProcess:
    return subprocess.run([str(part) for part in command], cwd=cwd, capture_output=True, text=True)


def reproducible_build(flavour: wine.Flavour) -> list[str]:
    """A second build of the same sources, from a copy at another path, gives the same bytes."""
    with tempfile.TemporaryDirectory(prefix="movrix-rebuild-") as scratch:
        copy = Path(scratch) / "elsewhere" / "movrix"
        files = run("git", "ls-files", "--cached", "--others", "--exclude-standard", "-z").stdout
        for name in filter(None, files.split("\0")):
            if (REPO / name).is_file():
                (copy / name).parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(REPO / name, copy / name)
        for command in (
            ["cmake", "--preset", flavour.preset],
            ["cmake", "--build", "--preset", flavour.preset, "--target", "Movrix18"],
        ):
            result = run(*command, cwd=copy)
            if result.returncode:
                return [f"the second build failed: {result.stdout[-2000:]}{result.stderr[-2000:]}"]
        first = (flavour.build / "Movrix18.exe").read_bytes()
        second = (copy / "build" / flavour.preset / "Movrix18.exe").read_bytes()
    differing = [i for i, (a, b) in enumerate(zip(first, second)) if a != b]
    if len(first) == len(second) and not differing:
        return []
    return [
        f"the two builds differ: sizes {len(first)} and {len(second)}, bytes at {differing[:8]}"
    ]


def throwaway_certificate(folder: Path) -> tuple[Path, Path]:
    """A self-signed code-signing certificate: its PKCS#12 file and its certificate alone."""
    key, certificate, pfx = (
        folder / "key.pem",
        folder / "certificate.pem",
        folder / "certificate.pfx",
    )
    for command in (
        [
            "openssl",
            "req",
            "-x509",
            "-newkey",
            "rsa:2048",
            "-nodes",
            "-keyout",
            key,
            "-out",
            certificate,
            "-days",
            "2",
            "-subj",
            "/CN=Movrix essai",
            "-addext",
            "extendedKeyUsage=codeSigning",
        ],
        [
            "openssl",
            "pkcs12",
            "-export",
            "-inkey",
            key,
            "-in",
            certificate,
            "-out",
            pfx,
            "-passout",
            "pass:",
        ],
    ):
        result = run(*command)
        if result.returncode:
            raise wine.Trouble(f"openssl could not make the certificate: {result.stderr[-500:]}")
    return pfx, certificate


def signed_copy(flavour: wine.Flavour, folder: Path) -> tuple[Path, Path]:
    """The program signed by scripts/sign.sh with a throwaway certificate, and that certificate."""
    pfx, certificate = throwaway_certificate(folder)
    program = folder / "Movrix18.exe"
    shutil.copy(flavour.build / "Movrix18.exe", program)
    result = run(REPO / "scripts" / "sign.sh", pfx, "--program", program)
    if result.returncode:
        raise wine.Trouble(f"scripts/sign.sh failed: {result.stderr[-500:]}")
    return program, certificate


def signature(flavour: wine.Flavour) -> list[str]:
    with tempfile.TemporaryDirectory(prefix="movrix-sign-") as scratch:
        program, certificate = signed_copy(flavour, Path(scratch))
        verified = run("osslsigncode", "verify", "-CAfile", certificate, "-in", program)
        unsigned = run(
            "osslsigncode", "verify", "-CAfile", certificate, "-in", flavour.build / "Movrix18.exe"
        )
    failures = (
        []
        if verified.returncode == 0
        else [f"the signature does not verify: {verified.stdout[-800:]}"]
    )
    return failures + ([] if unsigned.returncode else ["osslsigncode verified an unsigned program"])


def package(flavour: wine.Flavour) -> list[str]:
    """The release holds the program, the French guide and their digests, and nothing else."""
    wine.build(flavour, "package")
    with zipfile.ZipFile(flavour.build / f"Movrix18-{VERSION}.zip") as archive:
        names = sorted(archive.namelist())
        if names != ["LISEZMOI.txt", "Movrix18.exe", "SHA256SUMS"]:
            return [f"the package holds {names}"]
        sums = dict(
            reversed(line.split("  ", 1))
            for line in archive.read("SHA256SUMS").decode().splitlines()
        )
        failures = [
            f"SHA256SUMS does not match {name}"
            for name in ("Movrix18.exe", "LISEZMOI.txt")
            if sums.get(name) != hashlib.sha256(archive.read(name)).hexdigest()
        ]
        if archive.read("Movrix18.exe") != (flavour.build / "Movrix18.exe").read_bytes():
            failures.append("the package's program is not the one built")
        guide = archive.read("LISEZMOI.txt").decode("utf-8")
        failures += [
            f"the guide does not say {part!r}"
            for part in ("WM_32", "Exécuter en tant qu'administrateur", "/desinstaller")
            if part not in guide
        ]
    return failures


def message_table(path: Path) -> dict[int, str]:
    """The texts of the first message table among the resources of a PE file, by message id."""
    data = path.read_bytes()
    pe = int.from_bytes(data[0x3C:0x40], "little")
    optional = pe + 24
    wide = int.from_bytes(data[optional : optional + 2], "little") != 0x10B
    resources_rva = int.from_bytes(data[optional + (112 if wide else 96) + 16 :][:4], "little")
    sections, optional_size = data[pe + 6] | data[pe + 7] << 8, int.from_bytes(
        data[pe + 20 : pe + 22], "little"
    )
    table = optional + optional_size
    for i in range(sections):
        size, address, _, raw = (
            int.from_bytes(data[table + 40 * i + 8 + 4 * k :][:4], "little") for k in range(4)
        )
        if address <= resources_rva < address + size:
            base = raw - address + resources_rva
            break
    else:
        return {}

    def first_entry(directory: int, wanted: int | None = None) -> int:
        count = int.from_bytes(data[directory + 12 : directory + 14], "little") + int.from_bytes(
            data[directory + 14 : directory + 16], "little"
        )
        for entry in range(directory + 16, directory + 16 + 8 * count, 8):
            if wanted is None or int.from_bytes(data[entry : entry + 4], "little") == wanted:
                return int.from_bytes(data[entry + 4 : entry + 8], "little") & 0x7FFFFFFF
        raise ValueError("no such resource")

    names = first_entry(base, 11)  # RT_MESSAGETABLE
    language = first_entry(base + first_entry(base + names))
    leaf = base + language
    at = raw - address + int.from_bytes(data[leaf : leaf + 4], "little")
    texts = {}
    for block in range(int.from_bytes(data[at : at + 4], "little")):
        low, high, offset = (
            int.from_bytes(data[at + 4 + 12 * block + 4 * k :][:4], "little") for k in range(3)
        )
        entry = at + offset
        for message in range(low, high + 1):
            length, unicode = (
                int.from_bytes(data[entry + k : entry + k + 2], "little") for k in (0, 2)
            )
            text = data[entry + 4 : entry + length]
            texts[message] = text.decode("utf-16-le" if unicode else "cp1252").rstrip("\0\r\n")
            entry += length
    return texts


def event_texts(flavour: wine.Flavour) -> list[str]:
    texts = message_table(flavour.build / "Movrix18.exe")
    return [
        f"event {id}: {texts.get(id)!r}, expected {text!r}"
        for id, text in EVENT_TEXTS.items()
        if texts.get(id) != text
    ]


def ansible_recipes(flavour: wine.Flavour) -> list[str]:
    """Each task block of the README's Ansible section, as a play, passes ansible-playbook's syntax check."""
    if not shutil.which("ansible-playbook"):
        raise Skip("ansible-playbook is not installed (Debian packages ansible-core and ansible)")
    if (
        "ansible.windows"
        not in run("ansible-galaxy", "collection", "list", "ansible.windows").stdout
    ):
        raise Skip("the collection ansible.windows is not installed (Debian package ansible)")
    readme = (REPO / "README.md").read_text("utf-8")
    section = readme[readme.index("### Ansible") : readme.index("### Group Policy")]
    blocks = re.findall(r"(?:^    .*\n|^\n)+", section, re.MULTILINE)
    plays = [block for block in blocks if block.lstrip("\n").startswith("    - name:")]
    if not plays:
        return ["no task block found in the README's Ansible section"]
    failures = []
    with tempfile.TemporaryDirectory(prefix="movrix-ansible-") as scratch:
        for number, block in enumerate(plays, 1):
            playbook = Path(scratch) / f"recipe{number}.yml"
            playbook.write_text("- hosts: all\n  gather_facts: false\n  tasks:\n" + block)
            result = run("ansible-playbook", "--syntax-check", "-i", "localhost,", playbook)
            if result.returncode:
                failures.append(f"recipe {number}: {(result.stderr or result.stdout)[-800:]}")
    return failures


CHECKS = [
    ("reproducible-build", reproducible_build),
    ("signature", signature),
    ("package", package),
    ("event-texts", event_texts),
    ("ansible-recipes", ansible_recipes),
]


def run_all(flavour: wine.Flavour, only: list[str]) -> list[str]:
    failed = []
    for name, check in CHECKS:
        if only and name not in only:
            continue
        try:
            failures = check(flavour)
        except Skip as reason:
            print(f"skip {name}: {reason}")
            continue
        except Exception as error:  # a broken check is a failure, reported like one
            failures = [f"{type(error).__name__}: {error}"]
        print(f"{'ok  ' if not failures else 'FAIL'} {name}")
        for failure in failures:
            print(f"     {failure}")
        if failures:
            failed.append(name)
    return failed
