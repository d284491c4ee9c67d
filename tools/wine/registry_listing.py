"""The expected registration listing and the real registry, side by side.

Reads tests/data/registration.tsv (the registry values of the registration, written by hand, one
a line, in write order) and the text of a `reg export` (.reg, version 5.00, UTF-16 LE with BOM),
and lists every listed value that the export lacks or holds with another type or other data.

    listing = read_listing()
    problems = check_export_files(["hkcr.reg", "hkcu.reg", "hklm.reg"], listing, is64=True)

A value of HKEY_CLASSES_ROOT is looked for under HKEY_CLASSES_ROOT itself and where the merged
view stores it: HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes (written by an administrator) or
HKEY_CURRENT_USER\\Software\\Classes. Key paths and value names are compared without regard to
case, as the registry compares them. On a 32-bit system (is64=False) the listed mirror keys
(steps above 144, below Wow6432Node) must be absent.

Run this file to check the parser and the comparison on hand-made exports.
"""

from __future__ import annotations

import os
import re
from dataclasses import dataclass
from typing import Dict, Iterable, List, Optional, Tuple, Union

LISTING_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests",
                            "data", "registration.tsv")
LAST_STEP_ON_32BIT = 144

ROOT_NAMES = {
    "HKCR": "HKEY_CLASSES_ROOT",
    "HKCU": "HKEY_CURRENT_USER",
    "HKLM": "HKEY_LOCAL_MACHINE",
}
# Where a HKEY_CLASSES_ROOT key may appear in an export of the underlying trees.
CLASSES_ROOT_HOMES = (
    "HKEY_CLASSES_ROOT",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
    "HKEY_CURRENT_USER\\Software\\Classes",
)

# Data as held in a parsed export: text for string types, int for numbers, bytes otherwise.
Data = Union[str, int, bytes, List[str]]
Values = Dict[str, Tuple[str, Data]]  # value name ('@' for the default) -> (type name, data)
Export = Dict[str, Values]  # full key path -> its values


@dataclass(frozen=True)
class ListedValue:
    line: int
    step: int
    root: str  # HKCR, HKCU or HKLM
    key: str
    name: str  # '@' for the default value; '-' on KEY lines
    type: str  # REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_NONE, or KEY
    data: str  # as listed

    @property
    def key_only(self) -> bool:
        return self.type == "KEY"

    def where(self) -> str:
        return f"step {self.step} (listing line {self.line}) {self.root}\\{self.key} [{self.name}]"

    def expected(self) -> Tuple[str, Data]:
        """The type and data a parsed export holds for this value."""
        if self.type in ("REG_SZ", "REG_EXPAND_SZ"):
            return self.type, self.data
        if self.type == "REG_DWORD":
            return self.type, int(self.data) & 0xFFFFFFFF
        if self.type in ("REG_BINARY", "REG_NONE"):
            return self.type, bytes(int(byte, 16) for byte in self.data.split())
        raise ValueError(f"no stored form for type {self.type}: {self.where()}")


# ---- The listing -------------------------------------------------------------------------------

def parse_listing(text: str) -> List[ListedValue]:
    """Lines of `step<TAB>root<TAB>key<TAB>name<TAB>type<TAB>data`; '#' starts a comment line."""
    listing = []
    for number, line in enumerate(text.splitlines(), start=1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 6:
            raise ValueError(f"listing line {number}: {len(fields)} fields, 6 expected: {line!r}")
        step, root, key, name, type_name, data = fields
        if root not in ROOT_NAMES:
            raise ValueError(f"listing line {number}: unknown root {root!r}")
        listing.append(ListedValue(number, int(step), root, key, name, type_name, data))
    return listing


def read_listing(path: str = LISTING_PATH) -> List[ListedValue]:
    with open(path, encoding="utf-8") as file:
        return parse_listing(file.read())


# ---- The export --------------------------------------------------------------------------------

HEADER = "Windows Registry Editor Version 5.00"
_HEX_TYPES = {0: "REG_NONE", 1: "REG_SZ", 2: "REG_EXPAND_SZ", 3: "REG_BINARY", 4: "REG_DWORD",
              5: "REG_DWORD_BIG_ENDIAN", 7: "REG_MULTI_SZ", 11: "REG_QWORD"}
_STRING_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "0": "\0"}


def decode_export(raw: bytes) -> str:
    """The text of a .reg file: UTF-16 LE with its BOM, as reg export writes it (UTF-8 accepted)."""
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le")
    if raw.startswith(b"\xef\xbb\xbf"):
        return raw[3:].decode("utf-8")
    return raw.decode("utf-8")


def _read_quoted(text: str, start: int) -> Tuple[str, int]:
    """The string opening at text[start] ('"'), unescaped, and the index past its closing quote."""
    assert text[start] == '"'
    out = []
    i = start + 1
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append(_STRING_ESCAPES.get(text[i + 1], "\\" + text[i + 1]))
            i += 2
        elif c == '"':
            return "".join(out), i + 1
        else:
            out.append(c)
            i += 1
    raise ValueError(f"unterminated string: {text!r}")


def _utf16_text(data: bytes) -> str:
    text = data.decode("utf-16-le", errors="replace")
    return text[:-1] if text.endswith("\0") else text


def _typed_hex(type_code: int, data: bytes) -> Tuple[str, Data]:
    type_name = _HEX_TYPES.get(type_code, f"REG_TYPE_{type_code}")
    if type_code in (1, 2):
        return type_name, _utf16_text(data)
    if type_code == 4 and len(data) == 4:
        return type_name, int.from_bytes(data, "little")
    if type_code == 11 and len(data) == 8:
        return type_name, int.from_bytes(data, "little")
    if type_code == 7:
        return type_name, [part for part in data.decode("utf-16-le").split("\0") if part]
    return type_name, data


def _parse_data(data: str) -> Tuple[str, Data]:
    if data.startswith('"'):
        text, end = _read_quoted(data, 0)
        if data[end:].strip():
            raise ValueError(f"text after a string value: {data!r}")
        return "REG_SZ", text
    if data.startswith("dword:"):
        return "REG_DWORD", int(data[len("dword:"):], 16)
    match = re.fullmatch(r"hex(?:\(([0-9a-fA-F]+)\))?:([0-9a-fA-F,\s]*)", data)
    if not match:
        raise ValueError(f"unknown value data: {data!r}")
    type_code = int(match.group(1), 16) if match.group(1) is not None else 3
    hex_bytes = bytes(int(part, 16) for part in match.group(2).replace(" ", "").split(",") if part)
    return _typed_hex(type_code, hex_bytes)


def _logical_lines(text: str) -> Iterable[str]:
    """Lines with hex data continued on the next line (a final backslash) joined into one.

    Only hex data continue: a string value may itself end in a backslash."""
    pending = ""
    for raw_line in text.splitlines():
        line = raw_line.rstrip()
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and re.search(r"=hex(\([0-9a-fA-F]+\))?:[0-9a-fA-F,\s]*\\$", line):
            pending = line[:-1]
            continue
        yield line
    if pending:
        yield pending


def parse_export(text: str) -> Export:
    """The keys and values of the text of a .reg file (version 5.00)."""
    lines = iter(_logical_lines(text.lstrip("\ufeff")))
    first = next(lines, "").strip()
    if first != HEADER:
        raise ValueError(f"not a registry export: first line {first!r}")
    export: Export = {}
    current: Optional[Values] = None
    for line in lines:
        stripped = line.strip()
        if not stripped or stripped.startswith(";"):
            continue
        if stripped.startswith("[") and stripped.endswith("]"):
            current = export.setdefault(stripped[1:-1], {})
            continue
        if current is None:
            raise ValueError(f"value outside any key: {line!r}")
        if stripped.startswith("@="):
            name, data = "@", stripped[2:]
        elif stripped.startswith('"'):
            name, end = _read_quoted(stripped, 0)
            if stripped[end:end + 1] != "=":
                raise ValueError(f"no '=' after the value name: {line!r}")
            data = stripped[end + 1:]
        else:
            raise ValueError(f"unreadable line: {line!r}")
        current[name] = _parse_data(data)
    return export


def merge_exports(exports: Iterable[Export]) -> Export:
    merged: Export = {}
    for export in exports:
        for key, values in export.items():
            merged.setdefault(key, {}).update(values)
    return merged


# ---- The comparison ----------------------------------------------------------------------------

class _Index:
    """Case-insensitive lookup of keys and value names in an export."""

    def __init__(self, export: Export):
        self.keys = {key.lower(): {name.lower(): value for name, value in values.items()}
                     for key, values in export.items()}

    def find_key(self, listed: ListedValue) -> Optional[Dict[str, Tuple[str, Data]]]:
        homes = CLASSES_ROOT_HOMES if listed.root == "HKCR" else (ROOT_NAMES[listed.root],)
        for home in homes:
            values = self.keys.get(f"{home}\\{listed.key}".lower())
            if values is not None:
                return values
        return None


def _show(data: Data) -> str:
    if isinstance(data, bytes):
        return " ".join(f"{byte:02x}" for byte in data) or "(no data)"
    return repr(data)


def compare(export: Export, listing: List[ListedValue], is64: bool = True) -> List[str]:
    """Every difference between the listing and the export, one text each, in listing order.

    On a 32-bit system the values up to step 144 must be there and the mirror keys must not."""
    index = _Index(export)
    problems = []
    main_part = True
    for listed in listing:
        main_part = main_part and listed.step <= LAST_STEP_ON_32BIT
        values = index.find_key(listed)
        if not is64 and not main_part:
            if values is not None:
                problems.append(f"{listed.where()}: mirror key present on a 32-bit system")
            continue
        if values is None:
            problems.append(f"{listed.where()}: key missing")
            continue
        if listed.key_only:
            continue
        name = "@" if listed.name == "@" else listed.name.lower()
        if name not in values:
            problems.append(f"{listed.where()}: value missing")
            continue
        want_type, want_data = listed.expected()
        got_type, got_data = values[name]
        if got_type != want_type:
            problems.append(f"{listed.where()}: type {got_type}, expected {want_type}")
        elif got_data != want_data:
            problems.append(
                f"{listed.where()}: data {_show(got_data)}, expected {_show(want_data)}")
    return problems


def check_export(reg_text: str, listing: List[ListedValue], is64: bool = True) -> List[str]:
    """The differences between the listing and the text of one .reg export."""
    return compare(parse_export(reg_text), listing, is64)


def check_export_files(paths: Iterable[str], listing: Optional[List[ListedValue]] = None,
                       is64: bool = True) -> List[str]:
    """The differences between the listing and several .reg files (say one per root) together."""
    exports = []
    for path in paths:
        with open(path, "rb") as file:
            exports.append(parse_export(decode_export(file.read())))
    return compare(merge_exports(exports), read_listing() if listing is None else listing, is64)


# ---- Self-check --------------------------------------------------------------------------------

def _quoted(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _hex_lines(prefix: str, data: bytes) -> str:
    """Hex data as regedit writes it: lines of at most 80 characters, continued by a backslash."""
    parts = [f"{byte:02x}" for byte in data]
    lines, line = [], prefix
    for i, part in enumerate(parts):
        piece = part + ("," if i + 1 < len(parts) else "")
        if len(line) + len(piece) > 77:
            lines.append(line + "\\")
            line = "  "
        line += piece
    lines.append(line)
    return "\r\n".join(lines)


def _render_value(listed: ListedValue) -> str:
    name = "@" if listed.name == "@" else _quoted(listed.name)
    type_name, data = listed.expected()
    if type_name == "REG_SZ":
        return f"{name}={_quoted(data)}"
    if type_name == "REG_DWORD":
        return f"{name}=dword:{data:08x}"
    if type_name == "REG_EXPAND_SZ":
        return _hex_lines(f"{name}=hex(2):", (data + "\0").encode("utf-16-le"))
    return _hex_lines(f"{name}={'hex' if type_name == 'REG_BINARY' else 'hex(0)'}:", data)


def _render_export(listing: List[ListedValue], classes_home: str) -> bytes:
    """A .reg export holding exactly the listing, as an administrator's run leaves it."""
    keys: Dict[str, List[str]] = {}
    for listed in listing:
        home = classes_home if listed.root == "HKCR" else ROOT_NAMES[listed.root]
        lines = keys.setdefault(f"{home}\\{listed.key}", [])
        if not listed.key_only:
            lines.append(_render_value(listed))
    text = HEADER + "\r\n\r\n"
    for key, lines in keys.items():
        text += f"[{key}]\r\n" + "".join(line + "\r\n" for line in lines) + "\r\n"
    return b"\xff\xfe" + text.encode("utf-16-le")


_HAND_MADE_LISTING = "\n".join([
    "# step root key name type data",
    "0\tHKCR\t.eml\t@\tREG_SZ\tMicrosoft Internet Mail Message",
    "0\tHKCR\t.eml\tContent type\tREG_SZ\tmessage/rfc822",
    "14\tHKCR\tCLSID\\{233A9694-667E-11d1-9DFB-006097D50408}\\MiscStatus\\NotInsertable\t-\tKEY\t",
    "54\tHKCR\tmailto\tEditFlags\tREG_DWORD\t2",
    "54\tHKCR\tmailto\tURL Protocol\tREG_SZ\t",
    '56\tHKCR\tmailto\\shell\\open\\command\t@\tREG_EXPAND_SZ\t'
    '"%ProgramFiles%\\Windows Mail\\winmail.exe" /mailurl:%1',
    "111\tHKCU\tSoftware\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.NWS\\"
    "OpenWithProgids\tMicrosoft Internet News Message\tREG_NONE\t",
    "112\tHKCU\tSoftware\\Microsoft\\Windows Mail Setup\tDelayStartTime\tREG_BINARY\t"
    "fa 71 45 36 d1 cd cf 01",
    "121\tHKLM\tSOFTWARE\\Clients\\Mail\\Windows Mail\\Protocols\\mailto\tEditFlags\tREG_DWORD\t"
    "524288",
    "144\tHKLM\tSOFTWARE\\RegisteredApplications\tWindows Mail\tREG_SZ\t"
    "Software\\Clients\\Mail\\Windows Mail\\Capabilities",
    "145\tHKCR\tWow6432Node\\CLSID\\{0A522732-A626-11D0-8D60-00C04FD6202B}\t@\tREG_SZ\t"
    "CLSID_CExchImport",
])

# What a reg export of a 64-bit prefix looks like: keys spelled in another case, classes under
# HKLM\SOFTWARE\Classes, hex data continued over lines, escaped quotes and backslashes.
_HAND_MADE_EXPORT = "\r\n".join([
    "Windows Registry Editor Version 5.00",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.eml]",
    '@="Microsoft Internet Mail Message"',
    '"Content Type"="message/rfc822"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{233A9694-667E-11D1-9DFB-006097D50408}"
    "\\MiscStatus\\NotInsertable]",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\mailto]",
    '"EditFlags"=dword:00000002',
    '"URL Protocol"=""',
    '"Trailing"="C:\\\\"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\mailto\\shell\\open\\command]",
    "@=hex(2):22,00,25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,6c,\\",
    "  00,65,00,73,00,25,00,5c,00,57,00,69,00,6e,00,64,00,6f,00,77,00,73,00,20,00,\\",
    "  4d,00,61,00,69,00,6c,00,5c,00,77,00,69,00,6e,00,6d,00,61,00,69,00,6c,00,2e,\\",
    "  00,65,00,78,00,65,00,22,00,20,00,2f,00,6d,00,61,00,69,00,6c,00,75,00,72,00,\\",
    "  6c,00,3a,00,25,00,31,00,00,00",
    "",
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.NWS"
    "\\OpenWithProgids]",
    '"Microsoft Internet News Message"=hex(0):',
    "",
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows Mail Setup]",
    '"DelayStartTime"=hex:fa,71,45,36,\\',
    "  d1,cd,cf,01",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Windows Mail\\Protocols\\mailto]",
    '"EditFlags"=dword:00080000',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\RegisteredApplications]",
    '"Windows Mail"="Software\\\\Clients\\\\Mail\\\\Windows Mail\\\\Capabilities"',
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\"
    "{0A522732-A626-11D0-8D60-00C04FD6202B}]",
    '@="CLSID_CExchImport"',
    "",
])


def _expect(condition: bool, message: str) -> None:
    if not condition:
        raise AssertionError(message)


def _self_check() -> None:
    listing = parse_listing(_HAND_MADE_LISTING)
    raw = b"\xff\xfe" + _HAND_MADE_EXPORT.encode("utf-16-le")
    export = parse_export(decode_export(raw))

    trailing = export["HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\mailto"]["Trailing"]
    _expect(trailing == ("REG_SZ", "C:\\"), f"a string ending in a backslash: {trailing!r}")
    problems = compare(export, listing, is64=True)
    _expect(problems == [], f"a matching export: {problems}")

    # A win32 prefix: the mirror key must not be there.
    problems = compare(export, listing, is64=False)
    _expect(len(problems) == 1 and "mirror key present" in problems[0] and "step 145" in problems[0],
            f"the mirror on a 32-bit system: {problems}")

    # Each kind of difference is named with its step.
    broken = (_HAND_MADE_EXPORT
              .replace('"EditFlags"=dword:00080000', '"EditFlags"=dword:00000002')
              .replace('"Content Type"="message/rfc822"', '"Content Type"=hex(2):00,00')
              .replace('"URL Protocol"=""\r\n', "")
              .replace("d1,cd,cf,01", "d1,cd,cf,02")
              .replace("\\MiscStatus\\NotInsertable]", "\\NotInsertable]"))
    problems = check_export(broken, listing, is64=True)
    expected = [
        "step 0 (listing line 3) HKCR\\.eml [Content type]: type REG_EXPAND_SZ, expected REG_SZ",
        "step 14 (listing line 4) HKCR\\CLSID\\{233A9694-667E-11d1-9DFB-006097D50408}\\MiscStatus"
        "\\NotInsertable [-]: key missing",
        "step 54 (listing line 6) HKCR\\mailto [URL Protocol]: value missing",
        "step 112 (listing line 9) HKCU\\Software\\Microsoft\\Windows Mail Setup [DelayStartTime]: "
        "data fa 71 45 36 d1 cd cf 02, expected fa 71 45 36 d1 cd cf 01",
        "step 121 (listing line 10) HKLM\\SOFTWARE\\Clients\\Mail\\Windows Mail\\Protocols\\mailto "
        "[EditFlags]: data 2, expected 524288",
    ]
    _expect(problems == expected, "differences:\n  " + "\n  ".join(problems))

    # The whole listing survives a round trip through the export format, under either home of
    # the classes, split over several files.
    full = read_listing()
    _expect(len(full) > 250, f"the listing has {len(full)} lines")
    for home in ("HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"):
        rendered = parse_export(decode_export(_render_export(full, home)))
        problems = compare(rendered, full, is64=True)
        _expect(problems == [], f"round trip under {home}: {problems[:5]}")
    by_root = [parse_export(decode_export(_render_export([v for v in full if v.root == root],
                                                         "HKEY_CLASSES_ROOT")))
               for root in ROOT_NAMES]
    problems = compare(merge_exports(by_root), full, is64=True)
    _expect(problems == [], f"merged exports: {problems[:5]}")
    print(f"registry_listing self-check passed ({len(full)} listing lines)")


if __name__ == "__main__":
    _self_check()
