"""End-to-end check of the Wine test tools, using selftest/selftest_app.cpp.

    python3 tests/wine/selftest.py [-v] [-k pattern]
"""

import os
import re
import struct
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

APP = "selftest_app.exe"
SETUP = r"C:\Setup"  # not beside the tools: cmd would find the stubs there first


def install_app(prefix) -> None:
    prefix.write_file(SETUP + "\\" + APP, (harness.build_tools() / APP).read_bytes())


def png_size(path: Path) -> tuple[int, int]:
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    return struct.unpack(">II", data[16:24])


class ProgramRunTest(unittest.TestCase):
    """One run of the stand-in program on a 64-bit Windows 10 prefix."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = harness.fresh_prefix("win10-64")
        install_app(cls.prefix)
        cls.shot = harness.REPO / "build" / "wine-selftest" / "window.png"
        cls.shot.parent.mkdir(parents=True, exist_ok=True)
        cls.shot.unlink(missing_ok=True)
        started = time.monotonic()
        cls.result = harness.run_program(cls.prefix, SETUP, APP, answers=["yes"],
                                         screenshot=cls.shot, timeout=60)
        cls.seconds = time.monotonic() - started

    @classmethod
    def tearDownClass(cls):
        cls.prefix.remove()

    def test_message_boxes_are_read_and_answered_in_order(self):
        boxes = self.result.boxes
        self.assertEqual(len(boxes), 5, self.result.output)
        first = boxes[0]
        self.assertEqual(first["title"], "Movrix18")
        self.assertEqual(first["text"], "Voulez-vous continuer ?\r\nDeuxième ligne")
        self.assertEqual((first["icon"], first["buttons"], first["answer"]),
                         ("question", ["yes", "no"], "yes"))
        # The boxes past the given answers get the default, OK.
        self.assertEqual([(b["icon"], b["buttons"], b["answer"]) for b in boxes[1:]],
                         [("critical", ["ok"], "ok"), ("information", ["ok"], "ok"),
                          ("warning", ["ok"], "ok"), ("none", ["ok"], "ok")])
        self.assertEqual(boxes[1]["title"], "Erreur")
        self.assertEqual(boxes[4]["text"], "sans icône")

    def test_answer_reaches_program_and_exit_code_is_recorded(self):
        self.assertEqual(self.result.exit_code, 11)
        self.assertEqual(self.result.driver_status, 0)
        self.assertFalse(self.result.timed_out)
        self.assertEqual(self.result.errors, [])

    def test_main_window_geometry_and_system_language(self):
        window = self.result.window
        self.assertEqual(window["caption"], "Movrix18 - selftest 040C")
        self.assertEqual(window["client"], (783, 362))
        left, top, right, bottom = window["rect"]
        width, height = window["screen"]
        self.assertLessEqual(abs((left + right) - width), 1)
        self.assertLessEqual(abs((top + bottom) - height), 1)
        self.assertTrue(window["style"] & 0x00C00000)  # WS_CAPTION
        self.assertFalse(window["style"] & 0x00030000)  # no minimise or maximise box

    def test_controls_in_creation_order_with_texts_and_states(self):
        controls = self.result.controls
        self.assertEqual([c["id"] for c in controls], list(range(101, 113)))
        self.assertEqual(self.result.control(102)["text"], "OK")
        self.assertEqual(self.result.control(102)["rect"], (210, 297, 291, 330))
        self.assertEqual(self.result.control(104)["text"], "Toutes les opérations ont été effectuées")
        sys_box = self.result.control(106)
        self.assertEqual(sys_box["text"], "Windows 10\r\n64 bits\tx64")
        self.assertFalse(sys_box["enabled"])
        self.assertEqual(self.result.control(107)["text"], "ligne 1\r\nligne 2\\fin")
        self.assertTrue(self.result.control(107)["style"] & 0x00300000)  # both scroll bars
        self.assertEqual({c["class"] for c in controls}, {"Button", "Edit", "Static"})
        self.assertTrue(all(c["visible"] and c["parent"] == 0 for c in controls))

    def test_screenshot_is_taken_while_window_is_shown(self):
        self.assertEqual(self.result.screenshot, self.shot)
        self.assertEqual(png_size(self.shot), self.result.window["screen"])
        self.assertIn(("shot", {"status": "taken"}), self.result.records)
        # The window is pressed only after the screenshot.
        kinds = [kind for kind, _ in self.result.records]
        self.assertLess(kinds.index("shot"), kinds.index("click"))

    def test_stubs_log_commands_started_by_32bit_program_through_comspec(self):
        log = sorted(self.prefix.command_log(min_lines=2))
        self.assertEqual(log, [
            ("icacls.exe", 'icacls "C:\\x y\\z.txt" /grant *S-1-5-32-544:F'),
            ("takeown.exe", 'takeown /a /f "C:\\x y\\z.txt"')])

    def test_registry_written_by_32bit_program_in_64bit_view_is_exported(self):
        keys = self.prefix.export_registry(r"HKLM\Software\MovrixSelftest")
        self.assertEqual(keys, {r"HKEY_LOCAL_MACHINE\Software\MovrixSelftest": {
            "": ("REG_SZ", "default"),
            "Text": ("REG_SZ", "Système d'exploitation"),
            "Expand": ("REG_EXPAND_SZ", "%ProgramFiles%\\Windows Mail\\WinMail.exe"),
            "Number": ("REG_DWORD", 0x12345678),
            "Bytes": ("REG_BINARY", b"\x01\x00\xff")}})
        self.assertIsNone(self.prefix.export_registry(r"HKLM\Software\MovrixNoSuchKey"))

    def test_accented_file_name_survives(self):
        self.assertEqual(self.prefix.read_file(r"C:\MOVRIX-SELFTEST\été.txt"),
                         "contenu accentué\r\n".encode("cp1252"))

    def test_run_takes_seconds_not_minutes(self):
        self.assertLess(self.seconds, 30)


class DriverOutcomesTest(unittest.TestCase):
    """Other answers, locales, timeouts and refusals, on one 32-bit prefix."""

    @classmethod
    def setUpClass(cls):
        cls.tools = harness.build_tools()
        cls.prefix = harness.fresh_prefix("win8-32")
        install_app(cls.prefix)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.remove()

    def test_no_answer_and_german_locale(self):
        run = harness.run_program(self.prefix, SETUP, APP, locale="de_DE.UTF-8",
                                  answers=["No"], timeout=60)
        self.assertEqual(run.boxes[0]["answer"], "no")
        self.assertEqual(run.exit_code, 10)
        self.assertEqual(run.window["caption"], "Movrix18 - selftest 0407")
        # Back to French: the prefix's processes are restarted.
        run = harness.run_program(self.prefix, SETUP, APP, answers=["yes"], timeout=60)
        self.assertEqual(run.window["caption"], "Movrix18 - selftest 040C")

    def test_stubs_found_on_32bit_system(self):
        harness.run_program(self.prefix, SETUP, APP, answers=["yes"], timeout=60)
        exes = {exe for exe, _ in self.prefix.command_log(min_lines=2)}
        self.assertEqual(exes, {"takeown.exe", "icacls.exe"})

    def test_box_that_cannot_be_answered_stops_the_program(self):
        for answers, error in ((["ok"], "no button for answer 'ok'"),
                               ([], "no answer left for a box without OK")):
            with self.subTest(answers=answers):
                run = harness.run_program(self.prefix, SETUP, APP, answers=answers, timeout=60)
                self.assertEqual(run.boxes[0]["answer"], "none")
                self.assertEqual(run.errors, [error])
                self.assertEqual(run.driver_status, 4)
                self.assertIsNone(run.exit_code)

    def test_timeout_ends_a_program_that_never_shows_its_window(self):
        # The fake mail client has no window at all.
        run = harness.run_program(self.prefix, self.tools, "WinMail.exe", timeout=3)
        self.assertTrue(run.timed_out)
        self.assertEqual(run.driver_status, 3)
        tasks = harness.run_wine_exe(self.prefix, "tasklist").stdout.lower()
        self.assertNotIn("winmail.exe", tasks)


class PrefixTemplateTest(unittest.TestCase):
    """What every template holds, and the helpers around prefixes."""

    EXPECTED_PRODUCT = {"win10-64": "Microsoft Windows 10", "win7-64": "Microsoft Windows 7",
                        "xp-64": "Microsoft Windows XP", "win8-32": "Microsoft Windows 8",
                        "win10-32": "Microsoft Windows 10"}

    def test_templates_report_version_and_hold_original_files(self):
        for template, product in self.EXPECTED_PRODUCT.items():
            with self.subTest(template), harness.fresh_prefix(template) as prefix:
                key = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
                values = prefix.export_registry(key)[r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion"]
                self.assertEqual(values["ProductName"], ("REG_SZ", product))
                system_dirs = ["system32", "syswow64"] if prefix.is64 else ["system32"]
                self.assertEqual(prefix.is64, template.endswith("-64"))
                for sysdir in system_dirs:
                    base = "C:\\Windows\\" + sysdir + "\\"
                    self.assertEqual(prefix.read_file(base + "msoeacct.dll"),
                                     f"original {sysdir} msoeacct.dll".encode())
                    self.assertEqual(prefix.read_file(base + r"fr-FR\inetres.dll.mui"),
                                     f"original {sysdir} fr-FR inetres.dll.mui".encode())
                    self.assertTrue(prefix.exists(base + "takeown.exe"))
                folders = [r"C:\Program Files"] + ([r"C:\Program Files (x86)"] if prefix.is64 else [])
                for folder in folders:
                    self.assertTrue(prefix.exists(folder + r"\Windows Mail\placeholder.txt"))
                self.assertFalse(prefix.exists(r"C:\Program Files (x86)") and not prefix.is64)

    def test_fresh_prefix_is_private_where_tests_write(self):
        template = harness.CACHE / "win10-64"
        with harness.fresh_prefix("win10-64") as prefix:
            target = r"C:\windows\system32\acctres.dll"
            prefix.write_file(target, b"replaced")
            self.assertEqual((template / "drive_c/windows/system32/acctres.dll").read_bytes(),
                             b"original system32 acctres.dll")
            self.assertEqual(os.stat(prefix.path / "system.reg").st_nlink, 1)
            self.assertEqual(os.stat(prefix.host_path(r"C:\windows\syswow64\inetres.dll")).st_nlink, 1)
        self.assertFalse(prefix.path.exists())

    def test_run_wine_exe_returns_exit_code_and_output(self):
        with harness.fresh_prefix("win10-32") as prefix:
            result = harness.run_wine_exe(prefix, "cmd", ["/c", "echo bonjour& exit 7"])
            self.assertEqual((result.code, result.stdout.strip()), (7, "bonjour"))
            tools = harness.build_tools()
            result = harness.run_wine_exe(prefix, tools / "takeown.exe", ["/f", "a b"])
            self.assertEqual(result.code, 0)
            [(exe, command)] = prefix.command_log()
            self.assertEqual(exe, "takeown.exe")
            self.assertTrue(command.endswith(' /f "a b"'), command)

    def test_stub_lines_stay_whole_when_many_run_at_once(self):
        with harness.fresh_prefix("win10-32") as prefix:
            commands = " & ".join(
                f'start /b icacls "C:\\dossier {i:02}\\un nom de fichier assez long.txt" '
                "/grant *S-1-5-32-544:F" for i in range(20))
            harness.run_wine_exe(prefix, "cmd", ["/c", commands])
            log = prefix.command_log(min_lines=20)
            self.assertEqual(len(log), 20, log)
            self.assertEqual(sorted(re.search(r"dossier (\d\d)", c).group(1) for _, c in log),
                             [f"{i:02}" for i in range(20)])
            self.assertTrue(all(e == "icacls.exe" and c.endswith("/grant *S-1-5-32-544:F")
                                for e, c in log), log)

    def test_fake_winmail_runs_until_ended(self):
        with harness.fresh_prefix("win10-64") as prefix:
            winmail = harness.start_winmail(prefix)
            self.assertTrue(winmail.running())
            harness.run_wine_exe(prefix, "taskkill", ["/f", "/im", "WinMail.exe"])
            self.assertTrue(winmail.wait_ended(10))


class RegExportParserTest(unittest.TestCase):
    def test_value_types_and_continued_hex_lines(self):
        text = ("\ufeffWindows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_CLASSES_ROOT\\mailto]\r\n"
                '@="URL:MailTo Protocol"\r\n'
                '"Quote\\"d"="a \\"b\\" c:\\\\d"\r\n'
                '"EditFlags"=dword:00000002\r\n'
                '"Path"=hex(2):25,00,41,00,25,00,00,00\r\n'
                '"Multi"=hex(7):61,00,00,00,62,00,\\\r\n'
                "  00,00,00,00\r\n"
                '"Bin"=hex:01,ff\r\n'
                '"Q"=hex(b):01,00,00,00,00,00,00,00\r\n'
                '"N"=hex(0):\r\n'
                "\r\n[HKEY_CLASSES_ROOT\\mailto\\shell]\r\n")
        self.assertEqual(harness.parse_reg_export(text), {
            "HKEY_CLASSES_ROOT\\mailto": {
                "": ("REG_SZ", "URL:MailTo Protocol"),
                'Quote"d': ("REG_SZ", 'a "b" c:\\d'),
                "EditFlags": ("REG_DWORD", 2),
                "Path": ("REG_EXPAND_SZ", "%A%"),
                "Multi": ("REG_MULTI_SZ", ["a", "b"]),
                "Bin": ("REG_BINARY", b"\x01\xff"),
                "Q": ("REG_QWORD", 1),
                "N": ("REG_NONE", b"")},
            "HKEY_CLASSES_ROOT\\mailto\\shell": {}})

    def test_transcript_escapes_round_trip(self):
        records = harness.parse_transcript(
            "control\tid=107\ttext=a\\\\b\\r\\n\\tc\trect=1,2,3,4\tstyle=0x50300004\tenabled=0\n")
        self.assertEqual(records, [("control", {"id": 107, "text": "a\\b\r\n\tc",
                                                "rect": (1, 2, 3, 4), "style": 0x50300004,
                                                "enabled": False})])


if __name__ == "__main__":
    unittest.main()
