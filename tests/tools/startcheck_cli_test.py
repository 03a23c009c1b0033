#!/usr/bin/env python3
"""The checker as a build script meets it: its arguments, its exit codes, its
usage and version texts, a media folder named instead of the launcher, and
JSON output that holds to docs/startcheck.schema.json for every example.

Usage: startcheck_cli_test.py STARTCHECK EXAMPLES_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

from report_schema import validated

STARTCHECK, EXAMPLES = sys.argv[1], sys.argv[2]


def program(manifest_level=None):
    """The smallest 32-bit Windows program header the checker reads as one."""
    data = bytearray(0x400)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, 0x40)
    data[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HH", data, 0x44, 0x14C, 1)
    struct.pack_into("<H", data, 0x54, 224)
    struct.pack_into("<H", data, 0x58, 0x10B)
    struct.pack_into("<I", data, 0x58 + 92, 16)
    section = 0x58 + 224
    data[section:section + 5] = b".text"
    struct.pack_into("<IIII", data, section + 8, 0x200, 0x1000, 0x200, 0x200)
    return bytes(data)


def run(*arguments, cwd=None):
    finished = subprocess.run([STARTCHECK, *arguments], capture_output=True, cwd=cwd, timeout=60)
    return finished.returncode, finished.stdout, finished.stderr


class Media:
    def __init__(self, files):
        self.root = tempfile.mkdtemp(prefix="startcheck-cli-")
        for name, content in files.items():
            path = os.path.join(self.root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as file:
                file.write(content)

    def close(self):
        shutil.rmtree(self.root)


class UsageTest(unittest.TestCase):
    def test_help_and_version_go_to_standard_output(self):
        # Windows users type /help, /h, -? and /version; none is a launcher.
        for argument in ("--help", "-h", "/?", "/h", "/help", "/HELP", "-?"):
            with self.subTest(argument=argument):
                code, out, err = run(argument)
                self.assertEqual((code, err), (0, b""))
                self.assertIn(b"usage: startcheck LAUNCHER_PATH", out)
        for argument in ("--version", "/version"):
            code, out, _ = run(argument)
            self.assertEqual(code, 0)
            self.assertRegex(out.decode(), r"^startcheck \d+\.\d+\.\d+\n$")

    def test_an_unknown_option_is_named(self):
        code, out, err = run("-x", "Start.exe")
        self.assertEqual((code, out), (3, b""))
        self.assertIn(b"unknown option -x", err)

    def test_an_unquoted_path_with_a_blank_gets_a_hint(self):
        media = Media({"Acme Suite/Start.exe": program(), "Acme Suite/Start.ini": b""})
        try:
            first, second = os.path.join(media.root, "Acme"), "Suite/Start.exe"
            code, _, err = run(first, second)
            self.assertEqual(code, 3)
            self.assertIn(b"put a path with a blank in quotation marks", err)
            self.assertIn(("\"" + first + " " + second + "\"").encode(), err)
        finally:
            media.close()

    def test_the_settings_file_named_checks_its_launcher(self):
        media = Media({"Start.exe": program(), "Start.ini": b"[Information]\r\nShellExec=1\r\n",
                       "Autorun.ini": b"[Information]\r\n"})
        try:
            code, out, _ = run(os.path.join(media.root, "Start.ini"), "--json")
            self.assertEqual(validated(out)["launcher"].rsplit("\\", 1)[1], "Start.exe")
            # No launcher of that name: say which one to name.
            code, _, err = run(os.path.join(media.root, "Autorun.ini"))
            self.assertEqual(code, 3)
            self.assertIn(b"is a settings file: name the launcher that reads it, Autorun.exe", err)
        finally:
            media.close()

    def test_findings_wrap_to_the_terminal_width(self):
        media = Media({"Start.exe": program(), "Setup.exe": program(),
                       "Start.ini": b"[Information]\r\nFileToRun=Setup.exe\r\nShellExec=yes\r\n"})
        try:
            launcher = os.path.join(media.root, "Start.exe")
            env = dict(os.environ, COLUMNS="50")
            narrow = subprocess.run([STARTCHECK, launcher], capture_output=True, env=env,
                                    timeout=60).stdout.decode()
            piped = subprocess.run([STARTCHECK, launcher], capture_output=True, timeout=60,
                                   env={k: v for k, v in os.environ.items() if k != "COLUMNS"}
                                   ).stdout.decode()
            findings = narrow[narrow.index("Warnings:"):narrow.index("Verdict:")].splitlines()[1:]
            self.assertGreater(len(findings), 1)
            self.assertTrue(all(len(line) <= 49 for line in findings), findings)
            # A pipe gets each finding whole, on one line.
            self.assertIn("  - ShellExec = \"yes\" is not a number: the flag stays off", piped)
        finally:
            media.close()

    def test_usage_errors_go_to_standard_error_or_json(self):
        for arguments in ((), ("--frobnicate", "x.exe"), ("a.exe", "b.exe"), ("--as",)):
            with self.subTest(arguments=arguments):
                code, out, err = run(*arguments)
                self.assertEqual((code, out), (3, b""))
                self.assertIn(b"usage:", err)
                code, out, err = run(*arguments, "--json")
                self.assertEqual((code, err), (3, b""))
                self.assertEqual(validated(out)["error"]["code"], "usage")

    def test_a_missing_folder_is_named(self):
        code, _, err = run("/nonexistent/media/Start.exe")
        self.assertEqual(code, 3)
        self.assertIn(b"/nonexistent/media", err)


class FolderTest(unittest.TestCase):
    """A media folder may be named instead of its launcher: the one launcher
    in it is checked, never a made-up one."""

    def check_folder(self, files):
        media = Media(files)
        self.addCleanup(media.close)
        return run(media.root, "--json")

    def test_the_launcher_with_a_settings_file_is_taken(self):
        code, out, _ = self.check_folder({
            "Autorun.exe": program(), "Autorun.ini": b"[Information]\r\nFileToRun=x.exe\r\n",
            "x.exe": program(), "other.exe": program()})
        report = validated(out)
        self.assertTrue(report["launcher"].endswith("\\Autorun.exe"), report["launcher"])
        self.assertEqual(report["request"]["commandLine"], "x.exe")
        self.assertEqual(code, report["exitCode"])

    def test_start_exe_is_taken_without_settings(self):
        code, out, _ = self.check_folder({"Start.exe": program(), "tool.exe": program()})
        report = validated(out)
        self.assertTrue(report["launcher"].endswith("\\Start.exe"), report["launcher"])
        self.assertEqual(code, report["exitCode"])

    def test_no_launcher_or_several_are_usage_errors_that_say_what_to_name(self):
        for files, piece in (({"tool.exe": program()}, "holds no launcher"),
                             ({"A.exe": program(), "A.ini": b"", "B.exe": program(),
                               "B.ini": b""}, "name one: A.exe B.exe")):
            with self.subTest(piece=piece):
                code, out, _ = self.check_folder(files)
                self.assertEqual(code, 3)
                self.assertIn(piece, validated(out)["error"]["message"])


class NamesTest(unittest.TestCase):
    """Names in the settings file are bytes of the Windows code page; the host
    names its files in UTF-8. The checker maps between them as Windows would
    see the same folder."""

    def check(self, files, launcher="Start.exe", *options):
        media = Media(files)
        self.addCleanup(media.close)
        code, out, _ = run(os.path.join(media.root, launcher), "--json", *options)
        report = validated(out)
        self.assertEqual(code, report["exitCode"])
        return report

    @staticmethod
    def codes(report):
        return sorted(finding["code"] for finding in report["findings"])

    def test_a_settings_file_saved_as_ansi_finds_the_folder(self):
        report = self.check({"Start.exe": program(), "Handbücher/x.exe": program(),
                             "Start.ini": "[Information]\r\nFileToRun=Handbücher\\x.exe\r\n"
                                          .encode("cp1252")})
        self.assertEqual(report["verdict"], "works", report["findings"])
        self.assertEqual(report["request"]["commandLine"], "Handbücher\\x.exe")

    def test_a_settings_file_saved_as_utf8_does_not(self):
        report = self.check({"Start.exe": program(), "Handbücher/x.exe": program(),
                             "Start.ini": "[Information]\r\nFileToRun=Handbücher\\x.exe\r\n"
                                          .encode("utf-8")})
        self.assertEqual(report["verdict"], "cannotWork")
        self.assertEqual(self.codes(report), ["settings-utf8-without-bom", "target-missing"])
        self.assertEqual(report["request"]["commandLine"], "HandbÃ¼cher\\x.exe")

    def test_double_byte_code_page(self):
        text = "[Information]\r\nFileToRun=表示\\x.exe\r\n"
        for saved, data in (("ANSI", text.encode("cp932")),
                            ("UTF-16", b"\xFF\xFE" + text.encode("utf-16-le"))):
            with self.subTest(saved=saved):
                files = {"Start.exe": program(), "表示/x.exe": program(), "Start.ini": data}
                report = self.check(files, "Start.exe", "--codepage", "932")
                self.assertEqual(report["verdict"], "works", report["findings"])
        # Read as Western European text, the same bytes name no such folder.
        self.assertEqual(self.check(files)["verdict"], "cannotWork")

    def test_launcher_in_a_folder_the_code_page_cannot_spell(self):
        report = self.check({"Жmedia/Start.exe": program(), "Installer/Start.exe": program()},
                            "Жmedia/Start.exe")
        self.assertEqual(self.codes(report), ["default-target", "path-outside-ascii"])
        self.assertTrue(report["target"]["exists"])

    def test_an_unknown_code_page_is_a_usage_error(self):
        code, out, _ = run("Start.exe", "--codepage", "99999", "--json")
        self.assertEqual(code, 3)
        self.assertIn("--codepage 99999", validated(out)["error"]["message"])


class ExamplesTest(unittest.TestCase):
    """Every example folder, as the README tells a media author to fill it:
    the JSON holds to the schema and its exit code is the process's."""

    def test_every_example_reports_valid_json(self):
        for name in sorted(os.listdir(EXAMPLES)):
            with self.subTest(example=name):
                root = tempfile.mkdtemp(prefix="startcheck-example-")
                self.addCleanup(shutil.rmtree, root)
                shutil.copytree(os.path.join(EXAMPLES, name), root, dirs_exist_ok=True)
                launcher = os.path.join(root, "CD" if name == "plain-cd" else "", "Start.exe")
                with open(launcher, "wb") as file:
                    file.write(program())
                for stand_in in ("Setup/Setup.exe", "Installer/Start.exe"):
                    if os.path.isdir(os.path.join(root, os.path.dirname(stand_in))):
                        with open(os.path.join(root, stand_in), "wb") as file:
                            file.write(program())
                code, out, _ = run(launcher, "--as", "E:\\" + os.path.relpath(
                    launcher, root).replace("/", "\\"), "--json")
                report = validated(out)
                self.assertEqual(code, report["exitCode"])
                self.assertIn(report["verdict"], ("works", "worksWithWarnings"), report["findings"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
