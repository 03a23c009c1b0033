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
        for argument in ("--help", "-h", "/?"):
            with self.subTest(argument=argument):
                code, out, err = run(argument)
                self.assertEqual((code, err), (0, b""))
                self.assertIn(b"usage: startcheck LAUNCHER_PATH", out)
        code, out, _ = run("--version")
        self.assertEqual(code, 0)
        self.assertRegex(out.decode(), r"^startcheck \d+\.\d+\.\d+\n$")

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
