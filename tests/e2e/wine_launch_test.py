#!/usr/bin/env python3
"""End-to-end runs of the real Start.exe under Wine.

Each test builds a media folder, puts the launcher and a recorder program in
it, runs the launcher with wine and reads what the started program wrote down:
its own path, its current directory and its command line. The recorder also
stands in for explorer.exe, so opening a folder is seen the same way.

Environment: START_EXE and RECORDER_EXE name the two Windows programs.
"""

import ntpath
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

START_EXE = os.environ.get("START_EXE", "")
RECORDER_EXE = os.environ.get("RECORDER_EXE", "")

# Wine starts its own desktop through explorer.exe; those starts are not ours.
DESKTOP_ARGUMENT = b" /desktop"


def windows_path(path):
    """The Windows path of a host path, as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def same_path(left, right):
    return ntpath.normcase(ntpath.normpath(left)) == ntpath.normcase(ntpath.normpath(right))


class Record:
    def __init__(self, line, encoding):
        program, directory, command_line = line.split(b"\t", 2)
        self.raw_command_line = command_line
        self.program = program.decode(encoding)
        self.directory = directory.decode(encoding)
        self.command_line = command_line.decode(encoding)

    def __repr__(self):
        return f"Record({self.program!r}, {self.directory!r}, {self.command_line!r})"


class Wine:
    """One Wine prefix for the whole run, with a wineserver kept alive."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="start-e2e-")
        self.prefix = os.path.join(self.root, "prefix")
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="explorer.exe=n;winemenubuilder.exe=d")
        self.env.pop("DISPLAY", None)
        subprocess.run(["wineboot", "-i"], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        shutil.copy(RECORDER_EXE, os.path.join(self.prefix, "drive_c", "windows", "system32",
                                               "explorer.exe"))
        self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.runs = 0

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        self.server.wait(timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)

    def run(self, program, arguments=(), cwd=None, extra_env=None):
        """Runs a program: (exit code, record file, what Wine wrote to stderr)."""
        self.runs += 1
        record_file = os.path.join(self.root, f"record-{self.runs}.txt")
        env = dict(self.env, START_RECORD=windows_path(record_file))
        env.update(extra_env or {})
        # A file, not a pipe: processes the launcher starts may hold it open.
        log_file = os.path.join(self.root, f"wine-{self.runs}.log")
        with open(log_file, "wb") as log:
            finished = subprocess.run(["wine", program, *arguments], env=env,
                                      cwd=cwd or self.root, timeout=60,
                                      stdout=subprocess.DEVNULL, stderr=log)
        with open(log_file, "rb") as log:
            return finished.returncode, record_file, log.read().decode("utf-8", "replace")


def read_records(record_file, expected, encoding="cp1252"):
    """Waits for `expected` starts to be recorded (none: a short grace time),
    then a little longer, so that a second start would be seen too."""
    deadline = time.monotonic() + (10 if expected else 2)
    records = []
    while time.monotonic() < deadline:
        records = _records_in(record_file, encoding)
        if expected and len(records) >= expected:
            time.sleep(0.5)
            return _records_in(record_file, encoding)
        time.sleep(0.1)
    return records


def _records_in(record_file, encoding):
    try:
        with open(record_file, "rb") as file:
            lines = file.read().splitlines()
    except FileNotFoundError:
        return []
    records = [Record(line, encoding) for line in lines if line]
    return [r for r in records if not (r.program.lower().endswith("explorer.exe") and
                                       r.raw_command_line.endswith(DESKTOP_ARGUMENT))]


wine = None


def setUpModule():
    global wine
    wine = Wine()


def tearDownModule():
    wine.close()


class Media:
    """A media folder: <root>/<name>/CD/Start.exe beside an Installer folder."""

    def __init__(self, name="media", launcher="Start.exe", target="Start.exe", root=None):
        self.root = root or os.path.join(wine.root, f"{name}-{wine.runs}-{time.monotonic_ns()}")
        self.cd = os.path.join(self.root, "CD")
        self.installer = os.path.join(self.root, "Installer")
        os.makedirs(self.cd)
        os.makedirs(self.installer)
        self.launcher = os.path.join(self.cd, launcher)
        shutil.copy(START_EXE, self.launcher)
        self.default_target = os.path.join(self.installer, target)
        shutil.copy(RECORDER_EXE, self.default_target)
        self.elsewhere = os.path.join(self.root, "elsewhere")
        os.makedirs(self.elsewhere)

    def settings_path(self):
        return os.path.splitext(self.launcher)[0] + ".ini"

    def write_settings(self, content, encoding="cp1252"):
        data = content if isinstance(content, bytes) else content.encode(encoding)
        with open(self.settings_path(), "wb") as file:
            file.write(data)

    def add_program(self, relative):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copy(RECORDER_EXE, path)
        return path

    def launch(self, arguments=(), expected=1, extra_env=None, encoding="cp1252"):
        """Runs the launcher from `elsewhere`; asserts exit code 0 and at most
        one start. Returns the records."""
        code, record_file, self.wine_log = wine.run(self.launcher, arguments,
                                                    cwd=self.elsewhere, extra_env=extra_env)
        records = read_records(record_file, expected, encoding)
        assert code == 0, f"exit code {code}"
        assert len(records) <= 1, f"more than one start: {records}"
        return records


def settings(**values):
    lines = ["[Information]"] + [f"{key}={value}" for key, value in values.items()]
    return "\r\n".join(lines) + "\r\n"


class ProcessStartTest(unittest.TestCase):
    def assert_started(self, records, program, directory, command_line=None):
        self.assertEqual(len(records), 1, records)
        record = records[0]
        self.assertTrue(same_path(record.program, windows_path(program)), record)
        self.assertTrue(same_path(record.directory, directory), record)
        if command_line is not None:
            self.assertEqual(record.command_line, command_line)

    def test_default_target_without_settings(self):
        media = Media()
        records = media.launch()
        self.assert_started(records, media.default_target, windows_path(media.installer),
                            windows_path(media.cd) + "\\..\\Installer\\Start.exe")

    def test_arguments_are_ignored(self):
        media = Media()
        records = media.launch(["/S", "--settings=other.ini", "C:\\x.exe"])
        self.assert_started(records, media.default_target, windows_path(media.installer),
                            windows_path(media.cd) + "\\..\\Installer\\Start.exe")

    def test_configured_command_line_runs_in_its_programs_directory(self):
        media = Media()
        program = media.add_program("Tools/x.exe")
        line = windows_path(program) + " /S /D=1"
        media.write_settings(settings(FileToRun=line))
        self.assert_started(media.launch(), program, windows_path(os.path.dirname(program)), line)

    def test_relative_command_line_with_delimiters_in_arguments_starts(self):
        # The program's folder as written cannot be a current directory here,
        # so the target inherits the launcher's.
        media = Media()
        program = media.add_program("CD/Setup/Install.exe")
        media.write_settings(settings(FileToRun="Setup\\Install.exe /LOG=C:\\x.log"))
        # Windows searches a relative program from the launcher's own folder.
        self.assert_started(media.launch(), program, windows_path(media.elsewhere),
                            "Setup\\Install.exe /LOG=C:\\x.log")

    def test_bare_program_name_starts(self):
        media = Media()
        program = media.add_program("CD/Setup.exe")
        media.write_settings(settings(FileToRun="Setup.exe"))
        self.assert_started(media.launch(), program, windows_path(media.elsewhere), "Setup.exe")

    def test_quoted_program_with_blank_runs_in_its_directory(self):
        media = Media()
        program = media.add_program("My Setup/Setup.exe")
        line = f'"{windows_path(program)}" /q'
        media.write_settings(settings(FileToRun=line))
        self.assert_started(media.launch(), program, windows_path(os.path.dirname(program)), line)

    def test_default_target_with_blank_is_not_mistaken_for_a_shorter_program(self):
        media = Media(name="Ann Lee")
        # What an unquoted path would start first: <parent>\Ann.exe
        decoy = os.path.join(os.path.dirname(media.root), "Ann.exe")
        shutil.copy(RECORDER_EXE, decoy)
        try:
            records = media.launch()
        finally:
            os.remove(decoy)
        self.assert_started(records, media.default_target, windows_path(media.installer),
                            '"' + windows_path(media.cd) + '\\..\\Installer\\Start.exe"')

    def test_value_of_3000_bytes_is_cut_to_2047(self):
        media = Media()
        line = windows_path(media.default_target) + " /" + "x" * 3000
        media.write_settings(settings(FileToRun=line))
        records = media.launch()
        self.assert_started(records, media.default_target, windows_path(media.installer),
                            line[:2047])

    def test_missing_target_starts_nothing(self):
        media = Media()
        media.write_settings(settings(FileToRun=windows_path(media.root) + "\\nothing.exe"))
        self.assertEqual(media.launch(expected=0), [])

    def test_missing_default_target_starts_nothing(self):
        media = Media()
        os.remove(media.default_target)
        self.assertEqual(media.launch(expected=0), [])


def dlls_loaded_by_launcher(wine_log, launcher):
    """The DLLs the launcher's own process loaded, from WINEDEBUG=+loaddll."""
    loads = re.findall(r'^([0-9a-f]+):trace:loaddll:\S+ Loaded L"([^"]+)"', wine_log, re.M)
    loads = [(thread, path.replace("\\\\", "\\")) for thread, path in loads]  # as Wine escapes them
    launcher_thread = next(thread for thread, path in loads if same_path(path, launcher))
    return [path for thread, path in loads if thread == launcher_thread and
            not same_path(path, launcher)]


class DllLoadTest(unittest.TestCase):
    def test_starting_a_process_loads_kernel32_alone(self):
        media = Media()
        media.launch(extra_env={"WINEDEBUG": "-all,+loaddll"})
        loaded = dlls_loaded_by_launcher(media.wine_log, windows_path(media.launcher))
        names = sorted(ntpath.basename(path).lower() for path in loaded)
        self.assertEqual(names, ["kernel32.dll", "kernelbase.dll"], loaded)

    def test_shell_path_loads_nothing_from_the_media_folder(self):
        media = Media()
        media.write_settings(settings(ShellExec="1"))
        media.launch(extra_env={"WINEDEBUG": "-all,+loaddll"})
        loaded = dlls_loaded_by_launcher(media.wine_log, windows_path(media.launcher))
        self.assertIn("shell32.dll", [ntpath.basename(path).lower() for path in loaded])
        for path in loaded:
            self.assertTrue(path.lower().startswith("c:\\windows\\system32\\"), path)


class SettingsFileTest(unittest.TestCase):
    """Settings that do not count, and flag texts that are no numbers, all
    leave the default target to be started as a process."""

    def assert_default_process(self, media):
        records = media.launch()
        self.assertEqual(len(records), 1)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)))
        self.assertTrue(same_path(records[0].directory, windows_path(media.installer)))

    def test_settings_file_as_directory_counts_as_absent(self):
        media = Media()
        os.makedirs(media.settings_path())
        self.assert_default_process(media)

    def test_settings_file_dated_1975_counts_as_absent(self):
        media = Media()
        media.write_settings(settings(FileToRun="nothing.exe", ShellExec="1"))
        stamp = time.mktime((1975, 6, 1, 12, 0, 0, 0, 0, -1))
        os.utime(media.settings_path(), (stamp, stamp))
        self.assert_default_process(media)

    def test_keys_in_another_section_are_not_read(self):
        media = Media()
        media.write_settings("[Setup]\r\nFileToRun=nothing.exe\r\nBrowseForFolder=1\r\n")
        self.assert_default_process(media)

    def test_flag_texts_that_are_no_numbers_leave_flags_off(self):
        for text in ["yes", "true", "1.0", "on", "2147483648"]:
            with self.subTest(text=text):
                media = Media()
                media.write_settings(settings(ShellExec=text, BrowseForFolder=text))
                self.assert_default_process(media)

    def test_hostile_settings_files_still_launch(self):
        contents = [
            bytes(range(256)) * 40,
            b"[Information]\r\nFileToRun=\x00\x00nothing.exe\r\nShellExec=\x001\r\n",
            b"FileToRun=nothing.exe\r\nShellExec=1\r\n",
            b"[Information]\r\n" + b"ShellExec=" + b"9" * 200000 + b"\r\n",
            b"[Information\r\nFileToRun=nothing.exe\r\n",
            b"\xef\xbb\xbf" + b"[x]\r\n" * 5000,
        ]
        for index, content in enumerate(contents):
            with self.subTest(file=index):
                media = Media()
                media.write_settings(content)
                records = media.launch()
                self.assertLessEqual(len(records), 1)


class ShellTest(unittest.TestCase):
    def test_shell_opens_default_target(self):
        media = Media()
        media.write_settings(settings(ShellExec="0x1"))
        records = media.launch()
        self.assertEqual(len(records), 1)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)))
        # The shell passes no directory: the target keeps the launcher's.
        self.assertTrue(same_path(records[0].directory, windows_path(media.elsewhere)))

    def test_folder_opens_in_explorer_below_the_launcher(self):
        media = Media()
        os.makedirs(os.path.join(media.cd, "User Guide"))
        media.write_settings(settings(BrowseForFolder="1", ShellExec="1",
                                      BrowsePath="User Guide"))
        records = media.launch()
        self.assertEqual(len(records), 1)
        self.assertTrue(records[0].program.lower().endswith("\\system32\\explorer.exe"))
        self.assertTrue(records[0].command_line.endswith(
            " " + windows_path(media.cd) + "\\User Guide"), records[0])


class DoubleByteTest(unittest.TestCase):
    """Under a Japanese locale Wine uses code page 932, where the name 表 is
    the bytes 95 5C: its second byte must not be taken for a backslash."""

    JAPANESE = {"LC_ALL": "ja_JP.UTF-8"}

    def test_settings_file_and_default_target_follow_a_double_byte_name(self):
        media = Media(launcher="表.exe", target="表.exe")
        records = media.launch(extra_env=self.JAPANESE, encoding="cp932")
        self.assertEqual(len(records), 1)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)))
        self.assertEqual(records[0].command_line,
                         windows_path(media.cd) + "\\..\\Installer\\表.exe")

        program = media.add_program("CD/other.exe")
        media.write_settings(settings(FileToRun="other.exe"), encoding="cp932")
        records = media.launch(extra_env=self.JAPANESE, encoding="cp932")
        self.assertEqual(len(records), 1)
        self.assertTrue(same_path(records[0].program, windows_path(program)))


if __name__ == "__main__":
    if not (os.path.isfile(START_EXE) and os.path.isfile(RECORDER_EXE)):
        sys.exit("START_EXE and RECORDER_EXE must name the built programs")
    unittest.main(verbosity=2)
