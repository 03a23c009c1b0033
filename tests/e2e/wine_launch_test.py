#!/usr/bin/env python3
"""End-to-end runs of the real Start.exe under Wine.

Each test builds a media folder, puts the launcher and a recorder program in
it, runs the launcher with wine and reads what the started program wrote down:
its own path, its current directory and its command line. The recorder also
stands in for explorer.exe, so opening a folder is seen the same way.

Environment: START_EXE and RECORDER_EXE name the two Windows programs, and
HOOKED_START_EXE, PLANTED_DLL and STARTCHECK_EXE the test-only launcher, the
planted DLL and the checker, all of one build (x64 or x86). The x86 build runs
under 32-bit Wine, itself under qemu here: about a second a program, so its
run takes a selection of the tests (unittest's -k).
"""

import ntpath
import os
import random
import re
import shutil
import subprocess
import sys
import threading
import time
import unittest
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

from wine_prefix import WinePrefix, wine_loader, windows_path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from report_schema import validated  # noqa: E402

START_EXE = os.environ.get("START_EXE", "")
RECORDER_EXE = os.environ.get("RECORDER_EXE", "")
# A test-only launcher whose profile reads, launch requests and allocations can
# be made to fail, and whose error box is written to a file.
HOOKED_START_EXE = os.environ.get("HOOKED_START_EXE", "")
PLANTED_DLL = os.environ.get("PLANTED_DLL", "")
# The checker for media authors, built for Windows, and the same checker
# built for this host (which reads the folder from here).
STARTCHECK_EXE = os.environ.get("STARTCHECK_EXE", "")
HOST_STARTCHECK = os.environ.get("HOST_STARTCHECK", "")

# The launcher's build: 32-bit programs find explorer.exe in syswow64, show
# addresses in 8 digits, and run under qemu, which is slower.
IS_X86 = bool(START_EXE) and os.path.isfile(START_EXE) and wine_loader(START_EXE).endswith("/wine")
SYSTEM_FOLDER = "syswow64" if IS_X86 else "system32"
ADDRESS_DIGITS = 8 if IS_X86 else 16
SLOWER = 4 if IS_X86 else 1

# Wine starts its own desktop through explorer.exe; those starts are not ours.
DESKTOP_ARGUMENT = " /desktop"


def same_path(left, right):
    return ntpath.normcase(ntpath.normpath(left)) == ntpath.normcase(ntpath.normpath(right))


class Record:
    """One start, as the recorder wrote it down (in UTF-8)."""

    def __init__(self, line):
        program, directory, command_line = line.decode("utf-8", "replace").split("\t", 2)
        self.program = program
        self.directory = directory
        self.command_line = command_line

    def __repr__(self):
        return f"Record({self.program!r}, {self.directory!r}, {self.command_line!r})"


class Wine(WinePrefix):
    """One Wine prefix for the whole run, whose explorer.exe is the recorder."""

    def __init__(self):
        def recorder_as_explorer(prefix):
            for folder in ("system32", "syswow64"):
                shutil.copy(RECORDER_EXE, os.path.join(prefix, "drive_c", "windows", folder,
                                                       "explorer.exe"))
        super().__init__("start-e2e", "explorer.exe=n;winemenubuilder.exe=d",
                         prepare=recorder_as_explorer)
        self.runs = 0
        self.lock = threading.Lock()

    def runs_of(self, record_file):
        """The number of the run that wrote `record_file`."""
        return int(re.search(r"record-(\d+)\.txt$", record_file).group(1))

    def run(self, program, arguments=(), cwd=None, extra_env=None):
        """Runs a program: (exit code, record file, what Wine wrote to stderr).
        Several may run at once (the soak run)."""
        with self.lock:
            self.runs += 1
            run = self.runs
        record_file = os.path.join(self.root, f"record-{run}.txt")
        env = dict(self.env, START_RECORD=windows_path(record_file))
        # START_E2E_WINEDEBUG: Wine's channels for every run, to see why one failed.
        env["WINEDEBUG"] = os.environ.get("START_E2E_WINEDEBUG", env["WINEDEBUG"])
        env.update(extra_env or {})
        # A file, not a pipe: processes the launcher starts may hold it open.
        log_file = os.path.join(self.root, f"wine-{run}.log")
        with open(log_file, "wb") as log:
            finished = subprocess.run(self.command(program, *arguments), env=env,
                                      cwd=cwd or self.root, timeout=60 * SLOWER,
                                      stdout=subprocess.DEVNULL, stderr=log)
        with open(log_file, "rb") as log:
            return finished.returncode, record_file, log.read().decode("utf-8", "replace")


def read_records(record_file, expected):
    """Waits for `expected` starts to be recorded (none: a short grace time),
    then a little longer, so that a second start would be seen too."""
    deadline = time.monotonic() + (10 if expected else 2) * SLOWER
    records = []
    while time.monotonic() < deadline:
        records = _records_in(record_file)
        if expected and len(records) >= expected:
            time.sleep(0.5 * SLOWER)
            return _records_in(record_file)
        time.sleep(0.1)
    return records


def _records_in(record_file):
    try:
        with open(record_file, "rb") as file:
            lines = file.read().split(b"\n")
    except FileNotFoundError:
        return []
    records = [Record(line) for line in lines if line]
    return [r for r in records if not (r.program.lower().endswith("explorer.exe") and
                                       r.command_line.endswith(DESKTOP_ARGUMENT))]


wine = None


def setUpModule():
    global wine
    wine = Wine()


def tearDownModule():
    wine.close()


class Media:
    """A media folder: <root>/<name>/CD/Start.exe beside an Installer folder."""

    def __init__(self, name="media", launcher="Start.exe", target="Start.exe", root=None,
                 program=None):
        self.root = root or os.path.join(wine.root, f"{name}-{wine.runs}-{time.monotonic_ns()}")
        self.cd = os.path.join(self.root, "CD")
        self.installer = os.path.join(self.root, "Installer")
        os.makedirs(self.cd)
        os.makedirs(self.installer)
        self.launcher = os.path.join(self.cd, launcher)
        shutil.copy(program or START_EXE, self.launcher)
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

    def add_entry(self, relative):
        """A folder when the path ends in "/", else a program."""
        if relative.endswith("/"):
            os.makedirs(os.path.join(self.root, relative))
        else:
            self.add_program(relative)

    def add_program(self, relative):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copy(RECORDER_EXE, path)
        return path

    def launch(self, arguments=(), expected=1, extra_env=None, exit_code=0, cwd=None):
        """Runs the launcher from `elsewhere` (or `cwd`); asserts its exit code
        and at most one start. Returns the records."""
        self.box_file = os.path.join(self.root, "box.txt")
        env = dict(START_TEST_BOX_RECORD=windows_path(self.box_file), **(extra_env or {}))
        code, record_file, self.wine_log = wine.run(self.launcher, arguments,
                                                    cwd=cwd or self.elsewhere, extra_env=env)
        records = read_records(record_file, expected)
        if code != exit_code:
            # The test fails either way; one more run with Wine's exception
            # and process channels on says what went wrong.
            again, _, again_log = wine.run(self.launcher, arguments, cwd=cwd or self.elsewhere,
                                           extra_env=dict(env, WINEDEBUG="err+all,+seh,+process"))
            raise AssertionError(f"exit code {code}; error box: {self.error_box()}; started: "
                                 f"{records}; Wine said: {self.wine_log[-2000:]}\n"
                                 f"run again with +seh: exit code {again}; Wine said: "
                                 f"{again_log[-4000:]}")
        assert len(records) <= 1, f"more than one start: {records}"
        return records

    def error_box(self):
        """(title, text) of the error box the test launcher wrote, or None."""
        try:
            with open(self.box_file, "rb") as file:
                title, text = file.read().decode("cp1252").split("\t", 1)
                return title, text
        except FileNotFoundError:
            return None


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
        # so the target inherits the launcher's, which is its own folder.
        media = Media()
        program = media.add_program("CD/Setup/Install.exe")
        media.write_settings(settings(FileToRun="Setup\\Install.exe /LOG=C:\\x.log"))
        # Windows searches a relative program from the launcher's own folder.
        self.assert_started(media.launch(), program, windows_path(media.cd),
                            "Setup\\Install.exe /LOG=C:\\x.log")

    def test_bare_program_name_starts(self):
        media = Media()
        program = media.add_program("CD/Setup.exe")
        media.write_settings(settings(FileToRun="Setup.exe"))
        self.assert_started(media.launch(), program, windows_path(media.cd), "Setup.exe")

    def test_relative_names_mean_the_launchers_folder_wherever_it_was_started(self):
        # As autorun's open= starts a launcher in a subfolder: from the
        # drive's root. (Every launch here starts in a folder of its own.)
        media = Media()
        program = media.add_program("CD/tools/rec.exe")
        cases = {
            "new process with a relative folder": (settings(FileToRun="tools\\rec.exe /x"),
                                                   os.path.dirname(program), "tools\\rec.exe /x"),
            "file opened by the shell": (settings(FileToRun="tools\\rec.exe", ShellExec="1"),
                                         media.cd, None),
        }
        for name, (content, directory, line) in cases.items():
            with self.subTest(case=name):
                media.write_settings(content)
                self.assert_started(media.launch(cwd=media.root), program,
                                    windows_path(directory), line)

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
        names = [ntpath.basename(path).lower()[:-4] for path in loaded]
        self.assertIn("shell32", names)
        # Every DLL this path loads is among those the planting test plants.
        self.assertEqual([name for name in names if name not in PLANTED_NAMES and
                          name not in ("kernel32", "kernelbase")], [], names)
        for path in loaded:
            # (A 32-bit process sees syswow64 under either name.)
            self.assertTrue(path.lower().startswith(("c:\\windows\\system32\\",
                                                     f"c:\\windows\\{SYSTEM_FOLDER}\\")), path)


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
        # The shell passes no directory: the target keeps the launcher's,
        # which is the launcher's own folder.
        self.assertTrue(same_path(records[0].directory, windows_path(media.cd)))

    def test_folder_opens_in_explorer_below_the_launcher(self):
        media = Media()
        os.makedirs(os.path.join(media.cd, "User Guide"))
        media.write_settings(settings(BrowseForFolder="1", ShellExec="1",
                                      BrowsePath="User Guide"))
        records = media.launch()
        self.assertEqual(len(records), 1)
        self.assertTrue(records[0].program.lower().endswith(f"\\{SYSTEM_FOLDER}\\explorer.exe"))
        self.assertTrue(records[0].command_line.endswith(
            ' "' + windows_path(media.cd) + '\\User Guide"'), records[0])


def split_command_line(command_line):
    """(program, arguments), cut as Windows cuts them."""
    if command_line.startswith('"'):
        program, _, rest = command_line[1:].partition('"')
    else:
        program, _, rest = command_line.partition(" ")
    return program, rest.lstrip(" \t")


class ExplorerFolderTest(unittest.TestCase):
    """Explorer splits its command line into fields at commas and equals
    signs; the folder must arrive as one field, in quotation marks."""

    def test_folder_arrives_as_one_quoted_field(self):
        layouts = {
            "comma in BrowsePath": ("media", "Docs, English"),
            "equals sign in BrowsePath": ("media", "Version=2"),
            "comma and blank in the media folder's name": ("Disc 1, Setup", "Docs"),
        }
        for layout, (name, browse_path) in layouts.items():
            with self.subTest(layout=layout):
                media = Media(name=name)
                folder = os.path.join(media.cd, browse_path)
                os.makedirs(folder)
                media.write_settings(settings(BrowseForFolder="1", BrowsePath=browse_path))
                records = media.launch()
                self.assertEqual(len(records), 1, records)
                program, arguments = split_command_line(records[0].command_line)
                self.assertTrue(program.lower().endswith("explorer.exe"), records[0])
                self.assertEqual(arguments, '"' + windows_path(folder) + '"')


# Media folders named in characters code page 1252 (Wine's default here)
# cannot spell.
FOREIGN_NAMES = {"Cyrillic": "Жmedia", "Polish": "Łukasz", "Chinese": "产品"}


def unix_path(path):
    """The host path of a Windows path, short (8.3) names and all, as Wine
    resolves it."""
    finished = subprocess.run([wine_loader(RECORDER_EXE), "winepath.exe", "-u", path],
                              env=wine.env, capture_output=True, timeout=60 * SLOWER)
    return finished.stdout.decode("utf-8").strip()


class ForeignFolderTest(unittest.TestCase):
    """The launcher's own path has no ANSI form: it takes its folder's short
    name, which has one, and finds its settings and its targets through it.
    Nothing it hands on may hold a "?" in place of a character."""

    def assert_started(self, records, program, command_line=None):
        self.assertEqual(len(records), 1, records)
        self.assertTrue(same_path(records[0].program, windows_path(program)), records[0])
        self.assertNotIn("?", records[0].command_line)
        if command_line is not None:
            self.assertEqual(records[0].command_line, command_line)

    def test_configured_program_starts(self):
        for label, name in FOREIGN_NAMES.items():
            media = Media(name=name)
            tools = os.path.join(wine.root, f"tools-{time.monotonic_ns()}")
            os.makedirs(tools)
            absolute = os.path.join(tools, "rec.exe")
            shutil.copy(RECORDER_EXE, absolute)
            programs = {
                "absolute": (absolute, windows_path(absolute) + " /x"),
                "relative": (media.add_program("CD/Setup/rec.exe"), "Setup\\rec.exe /x"),
                "bare": (media.add_program("CD/rec.exe"), "rec.exe /x"),
            }
            for kind, (program, line) in programs.items():
                with self.subTest(folder=label, program=kind):
                    media.write_settings(settings(FileToRun=line))
                    self.assert_started(media.launch(), program, line)

    def test_default_target_and_shell_open_from_a_foreign_parent(self):
        for label, name in FOREIGN_NAMES.items():
            with self.subTest(folder=label):
                media = Media(name=name)
                self.assert_started(media.launch(), media.default_target)
                media.write_settings(settings(ShellExec="1"))
                self.assert_started(media.launch(), media.default_target)

    def test_explorer_is_handed_the_real_folder(self):
        for label, name in FOREIGN_NAMES.items():
            with self.subTest(folder=label):
                media = Media(name=name)
                os.makedirs(os.path.join(media.cd, "Docs"))
                media.write_settings(settings(BrowseForFolder="1", BrowsePath="Docs"))
                records = media.launch()
                self.assertEqual(len(records), 1, records)
                folder = split_command_line(records[0].command_line)[1]
                self.assertNotIn("?", folder)
                self.assertTrue(folder.startswith('"') and folder.endswith('"'), folder)
                self.assertEqual(os.path.realpath(unix_path(folder[1:-1])),
                                 os.path.realpath(os.path.join(media.cd, "Docs")))

    def test_starting_a_process_still_loads_kernel32_alone(self):
        media = Media(name=FOREIGN_NAMES["Cyrillic"])
        self.assertEqual(len(media.launch(extra_env={"WINEDEBUG": "-all,+loaddll"})), 1)
        launcher = windows_path(media.launcher)
        loads = re.findall(r'^([0-9a-f]+):trace:loaddll:\S+ Loaded L"([^"]+)"', media.wine_log, re.M)
        loads = [(thread, path.replace("\\\\", "\\")) for thread, path in loads]
        # The launcher's thread is the one that loaded it, by whatever name.
        thread = next(t for t, path in loads if path.lower().endswith("\\cd\\start.exe"))
        names = sorted(ntpath.basename(path).lower() for t, path in loads
                       if t == thread and not path.lower().endswith("start.exe"))
        self.assertEqual(names, ["kernel32.dll", "kernelbase.dll"], (launcher, loads))


class ElevationTest(unittest.TestCase):
    """The test-only launcher can make a process start fail as Windows does for
    a program that needs administrator rights (error 740); the shell then gets
    the program, its arguments and its directory, and can ask for the rights.
    Any other refusal starts nothing."""

    def test_a_start_that_needs_elevation_goes_to_the_shell(self):
        media = Media(program=HOOKED_START_EXE)
        program = media.add_program("CD/Setup Files/Setup.exe")
        arguments = "/S /D=C:\\x !process-error=740"
        media.write_settings(settings(FileToRun=f'"{windows_path(program)}" {arguments}'))
        records = media.launch()
        self.assertEqual(len(records), 1, records)
        self.assertTrue(same_path(records[0].program, windows_path(program)), records[0])
        self.assertTrue(same_path(records[0].directory, windows_path(os.path.dirname(program))),
                        records[0])
        self.assertTrue(records[0].command_line.endswith(" " + arguments), records[0])

    def test_relative_and_bare_programs_are_found_as_the_process_start_found_them(self):
        for line, relative in {"Setup\\Setup.exe /q !process-error=740": "CD/Setup/Setup.exe",
                               "Setup.exe /q !process-error=740": "CD/Setup.exe"}.items():
            with self.subTest(line=line):
                media = Media(program=HOOKED_START_EXE)
                program = media.add_program(relative)
                media.write_settings(settings(FileToRun=line))
                # As Explorer and autorun start it: in its own folder.
                records = media.launch(cwd=media.cd)
                self.assertEqual(len(records), 1, records)
                self.assertTrue(same_path(records[0].program, windows_path(program)), records[0])
                self.assertTrue(records[0].command_line.endswith(" /q !process-error=740"))

    def test_any_other_refusal_starts_nothing(self):
        for error in (2, 5, 193):
            with self.subTest(error=error):
                media = Media(program=HOOKED_START_EXE)
                media.write_settings(settings(
                    FileToRun=f"{windows_path(media.default_target)} !process-error={error}"))
                self.assertEqual(media.launch(expected=0), [])


class DoubleByteTest(unittest.TestCase):
    """Under a Japanese locale Wine uses code page 932, where the name 表 is
    the bytes 95 5C: its second byte must not be taken for a backslash."""

    JAPANESE = {"LC_ALL": "ja_JP.UTF-8"}

    def test_settings_file_and_default_target_follow_a_double_byte_name(self):
        media = Media(launcher="表.exe", target="表.exe")
        records = media.launch(extra_env=self.JAPANESE)
        self.assertEqual(len(records), 1)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)),
                        records)
        self.assertEqual(records[0].command_line,
                         windows_path(media.cd) + "\\..\\Installer\\表.exe")

        program = media.add_program("CD/other.exe")
        media.write_settings(settings(FileToRun="other.exe"), encoding="cp932")
        records = media.launch(extra_env=self.JAPANESE)
        self.assertEqual(len(records), 1)
        self.assertTrue(same_path(records[0].program, windows_path(program)))


# The box for the write through a null pointer. qemu reports that fault to
# 32-bit Wine as an illegal instruction, at the same place; the box, its
# place and the exit code are what the launcher decides.
FAULT_BOX = (rf"^Exception AccessViolation in module Start\.exe at [0-9A-F]{{{ADDRESS_DIGITS}}}\.\r\n"
             rf"Access violation writing address 0{{{ADDRESS_DIGITS}}}\.\r\n$")
if IS_X86:
    FAULT_BOX = (rf"^Exception (AccessViolation|IllegalInstruction) in module Start\.exe at "
                 rf"[0-9A-F]{{8}}\.\r\n(Access violation writing address 0{{8}}|"
                 rf"Illegal instruction)\.\r\n$")


class FaultTest(unittest.TestCase):
    """The test-only launcher: a fault while the settings are read falls back
    to the default target; a fault or exhausted memory anywhere else ends
    with the error box and exit code 1, and nothing is started."""

    def hooked_media(self):
        return Media(program=HOOKED_START_EXE)

    def assert_default_process(self, records, media):
        self.assertEqual(len(records), 1, records)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)))
        self.assertTrue(same_path(records[0].directory, windows_path(media.installer)))

    def test_fault_while_reading_releases_the_reader_and_starts_the_default_target(self):
        media = self.hooked_media()
        media.write_settings(settings(FileToRun="!fault-in-read"))
        records = media.launch(extra_env={"WINEDEBUG": "-all,+profile"})
        self.assert_default_process(records, media)
        self.assertIsNone(media.error_box())
        # The flush that releases the reader comes after the faulting read.
        calls = re.findall(r"^[0-9a-f]+:trace:profile:(\w+PrivateProfileStringW) (\S.*)$",
                           media.wine_log, re.M)
        calls = [(name, arguments) for name, arguments in calls if "Start.ini" in arguments]
        self.assertEqual([name for name, _ in calls],
                         ["GetPrivateProfileStringW", "WritePrivateProfileStringW"], calls)
        self.assertTrue(calls[-1][1].startswith("((null), (null), (null)"), calls[-1])

    def test_fault_in_a_later_read_keeps_the_flags_read_before_it(self):
        media = self.hooked_media()
        media.write_settings(settings(FileToRun="nothing.exe", ShellExec="1",
                                      BrowsePath="!fault-in-read"))
        records = media.launch()
        # FileToRun dropped, ShellExec kept: the shell opens the default target.
        self.assertEqual(len(records), 1, records)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)))
        self.assertTrue(same_path(records[0].directory, windows_path(media.cd)))

    def test_fault_outside_the_settings_read_shows_the_box_and_starts_nothing(self):
        media = self.hooked_media()
        media.write_settings(settings(FileToRun=windows_path(media.default_target) +
                                      " !fault-at-launch"))
        self.assertEqual(media.launch(expected=0, exit_code=1,
                                      extra_env={"WINEDEBUG": "-all,+debugstr"}), [])
        title, text = media.error_box()
        self.assertEqual(title, "Application Error")
        self.assertRegex(text, FAULT_BOX)
        # A debugger, or this trace, was told the same first.
        first_line = text.split("\r\n")[0]
        self.assertIn(first_line, media.wine_log)

    def test_a_fault_in_another_thread_is_not_the_launchers(self):
        # Another thread of the process faults, and its own handler takes the
        # fault: while the settings are read, and just before the request.
        media = self.hooked_media()
        program = media.add_program("CD/Setup/Setup.exe")
        for name, content in {
                "while the settings are read":
                    settings(FileToRun="Setup\\Setup.exe", BrowsePath="!fault-in-thread"),
                "before the request": settings(FileToRun="Setup\\Setup.exe !fault-in-thread"),
        }.items():
            with self.subTest(when=name):
                media.write_settings(content)
                records = media.launch()
                self.assertIsNone(media.error_box())
                # Not the default target: the read was not taken for failed.
                self.assertEqual(len(records), 1, records)
                self.assertTrue(same_path(records[0].program, windows_path(program)), records)

    def test_memory_exhausted_at_start_shows_the_box_and_starts_nothing(self):
        media = self.hooked_media()
        self.assertEqual(media.launch(expected=0, exit_code=1,
                                      extra_env={"START_TEST_FAIL_ALLOCATION": "0"}), [])
        title, text = media.error_box()
        self.assertEqual(title, "Application Error")
        self.assertRegex(text, rf"^Exception OutOfMemory in module Start\.exe at "
                               rf"[0-9A-F]{{{ADDRESS_DIGITS}}}\.\r\nOut of memory\.\r\n$")

    def test_memory_exhausted_while_reading_starts_the_default_target(self):
        media = self.hooked_media()
        media.write_settings(settings(FileToRun="nothing.exe"))
        # 0: the launcher's path, 1: the settings path, 2: the reader, 3: FileToRun
        records = media.launch(extra_env={"START_TEST_FAIL_ALLOCATION": "3"})
        self.assert_default_process(records, media)
        self.assertIsNone(media.error_box())


# DLLs that shell32, user32 and their dependencies load, planted beside the
# launcher. Loading any of them from there would run a stranger's code.
PLANTED_NAMES = [
    "version", "imm32", "shlwapi", "uxtheme", "comctl32", "dwmapi", "cryptbase", "propsys",
    "userenv", "profapi", "gdi32", "advapi32", "ole32", "oleaut32", "shcore", "msvcrt", "rpcrt4",
    "sechost", "combase", "winmm", "setupapi", "cfgmgr32", "wintrust", "crypt32", "secur32",
    "sspicli", "mpr", "apphelp", "ntmarta", "windowscodecs", "msimg32", "usp10", "winspool",
    # and what COM and the shell load under Wine, the launcher's own loads too
    "shell32", "user32", "ucrtbase", "win32u", "zlib1",
]


class PlantedDllTest(unittest.TestCase):
    def plant(self, media):
        for name in PLANTED_NAMES:
            shutil.copy(PLANTED_DLL, os.path.join(media.cd, name + ".dll"))
        overrides = ",".join(PLANTED_NAMES) + "=n,b;explorer.exe=n;winemenubuilder.exe=d"
        return {"WINEDLLOVERRIDES": overrides, "WINEDEBUG": "-all,+loaddll"}

    def assert_nothing_taken_from(self, media):
        self.assertEqual([f for f in os.listdir(media.cd) if f.endswith(".loaded")], [])
        loaded = re.findall(r'Loaded L"([^"]+)"', media.wine_log)
        folder = windows_path(media.cd).lower().replace("\\", "\\\\") + "\\\\"
        taken = [path for path in loaded if path.lower().startswith(folder) and
                 not path.lower().endswith("start.exe")]
        self.assertEqual(taken, [])

    def test_no_mode_loads_a_dll_from_the_launchers_folder(self):
        modes = {
            "process": settings(),
            "shell": settings(ShellExec="1"),
            "folder": settings(BrowseForFolder="1", BrowsePath="Docs"),
        }
        for mode, content in modes.items():
            with self.subTest(mode=mode):
                media = Media()
                media.write_settings(content)
                records = media.launch(extra_env=self.plant(media))
                self.assertEqual(len(records), 1, records)
                self.assert_nothing_taken_from(media)

    def test_error_box_path_loads_no_dll_from_the_launchers_folder(self):
        media = Media(program=HOOKED_START_EXE)
        media.write_settings(settings(FileToRun="x.exe !fault-at-launch"))
        env = self.plant(media)
        media.launch(expected=0, exit_code=1, extra_env=env)
        self.assertIsNotNone(media.error_box())
        self.assertIn("user32.dll", media.wine_log.lower())
        self.assert_nothing_taken_from(media)


def hostile_settings_files(count=200, seed=1975):
    """Settings files no author would write: random bytes, NUL bytes, very long
    lines, a 10 MB file, thousands of sections, every key repeated, values
    just around the longest a value can be."""
    rng = random.Random(seed)
    keys = [b"FileToRun", b"ShellExec", b"BrowseForFolder", b"BrowsePath"]
    fixed = [
        b"\x00" * 4096,
        b"[Information]\r\n" + b"FileToRun=" + b"A" * 100000 + b"\r\n",
        b"[Information]\n" + b"x" * (10 * 1024 * 1024),
        b"".join(b"[s%d]\r\nFileToRun=a%d.exe\r\n" % (i, i) for i in range(5000)),
        b"[Information]\r\n" + b"".join(k + b"=1\r\n" for k in keys) * 500,
    ]
    # (Shell requests keep to short names: Wine's ShellExecuteA itself faults
    # on a file name of a thousand bytes, where Windows returns an error.)
    for length in (2046, 2047, 2048):
        fixed.append(b"[Information]\r\nFileToRun=" + b"B" * length + b"\r\nShellExec=" +
                     b"0" * length + b"\r\nBrowsePath=" + b"C" * length + b"\r\n")
        fixed.append(b"[Information]\r\nBrowseForFolder=" + b"0" * (length - 1) + b"1\r\n" +
                     b"BrowsePath=" + b"D" * length + b"\r\n")
    files = list(fixed)
    while len(files) < count:
        kind = rng.randrange(4)
        if kind == 0:
            files.append(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 4000))))
        elif kind == 1:
            lines = [b"[Information]"]
            for _ in range(rng.randrange(1, 12)):
                key = rng.choice(keys + [b"", b"[", b"=", b"\x00"])
                value = bytes(rng.randrange(1, 256) for _ in range(rng.randrange(0, 300)))
                lines.append(key + b"=" + value)
            files.append(b"\r\n".join(lines))
        elif kind == 2:
            line = bytes(rng.choice(b"[]=;\x00\r\n \t$0x-+9Information") for _ in range(3000))
            files.append(line)
        else:
            flag = rng.choice([b"1", b"0", b"0x", b"$FFFFFFFF", b"-", b"\x001", b"99999999999"])
            files.append(b"[Information]\r\n" + rng.choice(keys) + b"=" + flag +
                         rng.choice([b"", b"\x00junk", b" ", b"\r\n[Information]\r\nShellExec=1"]))
    return files


class HostileSettingsTest(unittest.TestCase):
    def test_any_settings_file_ends_with_exit_code_0_and_at_most_one_start(self):
        media = Media()
        record_files = []
        for index, content in enumerate(hostile_settings_files()):
            media.write_settings(content)
            began = time.monotonic()
            code, record_file, log = wine.run(media.launcher, cwd=media.elsewhere)
            self.assertEqual(code, 0, f"settings file {index}; Wine said: {log[-2000:]}")
            self.assertLess(time.monotonic() - began, 10, f"settings file {index}")
            record_files.append(record_file)
        time.sleep(3)  # for the last targets to write their records
        starts = [len(_records_in(record_file)) for record_file in record_files]
        self.assertLessEqual(max(starts), 1)
        self.assertGreater(sum(starts), 0)


def launcher_processes(wine_log, launcher):
    """How many processes loaded the launcher, from WINEDEBUG=+loaddll: every
    process the launcher starts writes to the same log."""
    loads = re.findall(r'trace:loaddll:\S+ Loaded L"([^"]+)"', wine_log)
    return sum(1 for path in loads if same_path(path.replace("\\\\", "\\"), launcher))


class SelfStartTest(unittest.TestCase):
    """Windows reads an unquoted command line one blank-separated prefix at a
    time and looks in the launcher's folder first: "Start Here\\Install.exe"
    finds Start.exe, the launcher. It must never start itself: no chain of
    launchers may form, whatever the path."""

    # How long a chain is given to show itself (it forms in well under a second).
    WATCH_SECONDS = 4 * SLOWER

    def test_the_program_meant_starts_once_and_no_launcher_chain_forms(self):
        layouts = {
            # name: (launcher, settings, program added, expected command line or None)
            "folder whose first word is the launcher's name":
                ("Start.exe", settings(FileToRun="Start Here\\Install.exe /S"),
                 "CD/Start Here/Install.exe", '"Start Here\\Install.exe" /S'),
            "renamed launcher, lower-case folder":
                ("Setup.exe", settings(FileToRun="Setup Files\\setup.exe /S"),
                 "CD/Setup Files/setup.exe", '"Setup Files\\setup.exe" /S'),
            "the launcher by its own name": ("Start.exe", settings(FileToRun="Start.exe"), None, None),
            "the launcher through its parent folder":
                ("Start.exe", settings(FileToRun="..\\CD\\Start.exe /x"), None, None),
            "the launcher opened by the shell":
                ("Start.exe", settings(FileToRun="Start.exe", ShellExec="1"), None, None),
            "a batch file that starts the launcher again":
                ("Start.exe", settings(FileToRun="again.cmd"), None, None),
            "no settings, in a folder named Installer": ("Start.exe", None, None, None),
        }
        runs = []
        for name, (launcher, content, program, line) in layouts.items():
            media = Media(launcher=launcher)
            if name.startswith("no settings"):
                # The launcher is its own default target: <root>/Installer/Start.exe.
                media.launcher = media.default_target
                shutil.copy(START_EXE, media.launcher)
            if program:
                media.add_program(program)
            if name.startswith("a batch file"):
                with open(os.path.join(media.cd, "again.cmd"), "w", newline="\r\n") as batch:
                    # Quoted: cmd reads a bare "Start.exe" as its own start command.
                    batch.write('@"%~dp0Start.exe"\n')
            if content:
                media.write_settings(content)
            code, record_file, _ = wine.run(media.launcher, cwd=media.root,
                                            extra_env={"WINEDEBUG": "-all,+loaddll"})
            runs.append((name, media, code, record_file, line))
        time.sleep(self.WATCH_SECONDS)
        for name, media, code, record_file, line in runs:
            with self.subTest(layout=name):
                self.assertEqual(code, 0)
                records = _records_in(record_file)
                with open(os.path.join(wine.root, f"wine-{wine.runs_of(record_file)}.log"), "rb") as log:
                    wine_log = log.read().decode("utf-8", "replace")
                launchers = launcher_processes(wine_log, windows_path(media.launcher))
                # A batch file's own launcher finds itself in the chain it inherited.
                self.assertEqual(launchers, 2 if name.startswith("a batch file") else 1, wine_log[-3000:])
                if line is None:
                    self.assertEqual(records, [])
                else:
                    self.assertEqual([r.command_line for r in records], [line])

    def test_a_launcher_started_by_itself_makes_no_request(self):
        # What a parent launcher leaves in the environment of what it starts.
        media = Media()
        chains = {
            "its own path": (windows_path(media.launcher), 0),
            "its own path in other letter case, after another launcher":
                ("C:\\Other\\Start.exe>" + windows_path(media.launcher).upper(), 0),
            "another launcher's path": ("C:\\Other\\Start.exe", 1),
        }
        for name, (chain, starts) in chains.items():
            with self.subTest(chain=name):
                records = media.launch(expected=starts,
                                       extra_env={"START_LAUNCHER_CHAIN": chain})
                self.assertEqual(len(records), starts, records)


class ShellHandOverTest(unittest.TestCase):
    """Every shell request sets up COM on the launcher's own thread first
    (apartment-threaded, no OLE1 DDE: 0x2 | 0x4), and asks for a synchronous
    request (SEE_MASK_NOASYNC, 0x100), so that the launcher does not end
    before a DDE conversation or a COM verb has finished."""

    def test_com_is_set_up_before_a_synchronous_request_on_every_shell_path(self):
        cases = {
            "shell open": (START_EXE, settings(ShellExec="1")),
            "folder": (START_EXE, settings(BrowseForFolder="1")),
            "process start handed to the shell (740)":
                (HOOKED_START_EXE, settings(FileToRun="{target} !process-error=740")),
        }
        for name, (program, content) in cases.items():
            with self.subTest(path=name):
                media = Media(program=program)
                media.write_settings(content.format(target=windows_path(media.default_target)))
                media.launch(extra_env={"WINEDEBUG": "-all,+loaddll,+ole,+exec"})
                log = media.wine_log
                thread = next(t for t, path in re.findall(
                    r'^([0-9a-f]+):trace:loaddll:\S+ Loaded L"([^"]+)"', log, re.M)
                    if same_path(path.replace("\\\\", "\\"), windows_path(media.launcher)))
                events = [(match.start(), kind, value) for kind, pattern in (
                    ("com", rf"^{thread}:trace:ole:CoInitializeEx \S+, (0x[0-9a-f]+)"),
                    ("shell", rf"^{thread}:trace:exec:SHELL_execute mask=(0x[0-9a-f]+)"))
                    for match in re.finditer(pattern, log, re.M) for value in [match.group(1)]]
                events.sort()
                kinds = [kind for _, kind, _ in events]
                self.assertEqual(kinds[:2], ["com", "shell"], log[-3000:])
                self.assertEqual(int(events[0][2], 16), 0x6)
                self.assertTrue(int(events[1][2], 16) & 0x100, events[1])
class ManifestTest(unittest.TestCase):
    """Windows reads a program's manifest as it creates its process: the one
    embedded as resource 1, and only where there is none a Start.exe.manifest
    beside the program, which anyone can put on copied media. Wine's +actctx
    channel shows which it read."""

    # Beside the launcher: a level it does not ask for, and an assembly that
    # exists nowhere. Beside the started program, which embeds no manifest, a
    # harmless one: Wine reads that, so a read of the other would show too.
    PLANTED = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
               '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">'
               '<assemblyIdentity type="win32" name="{name}" version="1.0.0.0"/>{extra}'
               '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security>'
               '<requestedPrivileges><requestedExecutionLevel level="{level}" uiAccess="false"/>'
               '</requestedPrivileges></security></trustInfo></assembly>\r\n')
    BOGUS_DEPENDENCY = ('<dependency><dependentAssembly><assemblyIdentity type="win32" '
                        'name="Planted.Nowhere" version="6.6.6.6" processorArchitecture="*"/>'
                        '</dependentAssembly></dependency>')

    def process_lines(self, wine_log, program):
        """The +actctx lines of the process that looked for its manifest in
        `program`'s own image, with Wine's doubled backslashes undone."""
        lines = wine_log.replace("\\\\", "\\").splitlines()
        looked = re.compile(r'^([0-9a-f]+):trace:actctx:get_manifest_in_module looking for res '
                            r'#0001 in module \S+ L"([^"]+)"$')
        threads = [m.group(1) for m in map(looked.match, lines)
                   if m and same_path(m.group(2), program)]
        self.assertEqual(len(threads), 1, f"{program} looked for its manifest {len(threads)} "
                         f"times: {wine_log[-4000:]}")
        return [line for line in lines if line.startswith(threads[0] + ":")]

    def test_the_embedded_manifest_is_read_and_one_beside_the_launcher_is_not(self):
        media = Media()
        planted = {media.launcher: ("Planted.Beside.Launcher", self.BOGUS_DEPENDENCY,
                                    "requireAdministrator"),
                   media.default_target: ("Planted.Beside.Target", "", "asInvoker")}
        for program, (name, extra, level) in planted.items():
            with open(program + ".manifest", "w") as file:
                file.write(self.PLANTED.format(name=name, extra=extra, level=level))
        records = media.launch(extra_env={"WINEDEBUG": "-all,+actctx"})
        self.assertEqual(len(records), 1, records)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)),
                        records[0])
        # The started program writes its lines to the same log after the
        # launcher has ended; it has written them all once it has recorded.
        with open(os.path.join(wine.root, f"wine-{wine.runs}.log"), "rb") as file:
            wine_log = file.read().decode("utf-8", "replace")

        launcher = self.process_lines(wine_log, windows_path(media.launcher))
        found = next(i for i, line in enumerate(launcher) if "get_manifest_in_module" in line)
        # Parsed from the image: a manifest loaded from no file.
        self.assertIn("parse_manifest parsing manifest loaded from (null)", launcher[found + 1])
        self.assertEqual([line for line in launcher if "associated_manifest" in line or
                          "manifest_file" in line], [])
        log = wine_log.replace("\\\\", "\\").lower()
        self.assertNotIn(windows_path(media.launcher).lower() + ".manifest", log)
        self.assertNotIn("planted.beside.launcher", log)
        self.assertNotIn("planted.nowhere", log)
        # Where no manifest is embedded, Wine does read the planted one.
        target = self.process_lines(wine_log, windows_path(media.default_target))
        beside_target = windows_path(media.default_target).lower() + ".manifest"
        self.assertTrue([line for line in target if "loading manifest file" in line and
                         beside_target in line.lower()], target)

    def test_named_setup_it_starts_without_rights_and_the_checker_reads_why(self):
        # Without its manifest the 32-bit launcher would be elevated by
        # installer detection for this name (an elevation Wine does not make).
        media = Media(launcher="Setup.exe", target="Setup.exe")
        finished = subprocess.run(wine.command(STARTCHECK_EXE, windows_path(media.launcher),
                                               "--json"),
                                  env=wine.env, cwd=media.cd, capture_output=True, timeout=60)
        report = validated(finished.stdout)
        self.assertEqual(report["exitCode"], finished.returncode)
        codes = [finding["code"] for finding in report["findings"]]
        self.assertEqual([code for code in codes if code.startswith("launcher-")], [], codes)
        # The default target of that name, a 32-bit program without a level,
        # is one installer detection would elevate, and the checker says so.
        self.assertEqual("installer-detection" in codes, IS_X86, codes)
        records = media.launch(cwd=media.cd)
        self.assertEqual(len(records), 1, records)
        self.assertTrue(same_path(records[0].program, windows_path(media.default_target)),
                        records[0])


class CheckerAgreesTest(unittest.TestCase):
    """startcheck.exe, run under Wine on the same folder, names the request the
    real launcher then makes. Both run from the launcher's own folder, as
    Explorer and autorun start it."""

    def check_and_launch(self, media, expected=1):
        log = os.path.join(media.root, "startcheck.json")
        with open(log, "wb") as output:
            finished = subprocess.run(wine.command(STARTCHECK_EXE, windows_path(media.launcher),
                                                   "--json"), env=wine.env, cwd=media.cd, timeout=60,
                                      stdout=output, stderr=subprocess.DEVNULL)
        with open(log, "rb") as output:
            report = validated(output.read())
        self.assertEqual(report["exitCode"], finished.returncode)
        records = media.launch(cwd=media.cd, expected=expected)
        self.assertEqual(len(records), expected, records)
        return report, records[0] if records else None

    def test_nothing_starts_where_the_checker_says_so(self):
        layouts = {
            "missing program": (settings(FileToRun="Setup\\Setup.exe /S"), "target-missing"),
            "missing default target": ("", "target-missing"),
            "document as a new process": (settings(FileToRun="Manual.pdf"), "not-a-program"),
            "ShellExec=yes leaves a document to start as a process":
                (settings(FileToRun="Manual.pdf", ShellExec="yes"), "not-a-program"),
            "misspelt ShellExec": (settings(FileToRun="Manual.pdf", ShelExec="1"), "not-a-program"),
            "installer package with options":
                (settings(FileToRun="Product.msi /qn"), "not-a-program"),
            "shell open with arguments":
                (settings(FileToRun="Manual.pdf /page=3", ShellExec="1"),
                 "shell-open-with-arguments"),
            "the launcher itself": (settings(FileToRun="Start /x"), "starts-itself"),
            "the launcher itself, through the shell":
                (settings(FileToRun="start.EXE", ShellExec="1"), "starts-itself"),
        }
        for name, (content, code) in layouts.items():
            with self.subTest(layout=name):
                media = Media()
                os.remove(media.default_target)
                for document in ("Manual.pdf", "Product.msi"):
                    with open(os.path.join(media.cd, document), "wb") as file:
                        file.write(b"%PDF-1.7\n" if document.endswith(".pdf") else b"\xD0\xCF\x11\xE0")
                if content:
                    media.write_settings(content)
                report, _ = self.check_and_launch(media, expected=0)
                self.assertEqual(report["exitCode"], 2)
                self.assertIn(code, [finding["code"] for finding in report["findings"]])

    def test_started_where_the_checker_only_warns(self):
        def hidden_extension(media):
            os.rename(media.settings_path(), media.settings_path() + ".txt")

        layouts = {
            "quoted program without arguments":
                (settings(FileToRun='"Setup Files\\Setup.exe"'), None, "quotes-removed"),
            "missing folder: Explorer's default view":
                (settings(BrowseForFolder="1", BrowsePath="Docs"), None, "folder-missing"),
            "settings saved with a hidden .txt":
                (settings(FileToRun="nothing.exe"), hidden_extension, "settings-hidden-extension"),
            "autorun lines in the settings file":
                ("[autorun]\r\nopen=Start.exe\r\n" + settings(FileToRun="Setup Files\\Setup.exe"),
                 None, "autorun-lines-in-settings"),
            "unquoted, the first word names the launcher":
                (settings(FileToRun="Start Here\\Install.exe /S"),
                 lambda media: media.add_program("CD/Start Here/Install.exe"), "launcher-found-first"),
            "UTF-8 settings file without a byte-order mark":
                ("; Handbücher\r\n" + settings(FileToRun="Setup Files\\Setup.exe"), None,
                 "settings-utf8-without-bom"),
        }
        if not IS_X86:
            layouts["64-bit-only program"] = (settings(FileToRun="Setup Files\\Setup.exe"), None,
                                              "target-64-bit-only")
        for name, (content, change, code) in layouts.items():
            with self.subTest(layout=name):
                media = Media()
                media.add_program("CD/Setup Files/Setup.exe")
                media.write_settings(content, encoding="utf-8")
                if change:
                    change(media)
                report, record = self.check_and_launch(media, expected=1)
                self.assertEqual(report["exitCode"], 1, report["findings"])
                self.assertIn(code, [finding["code"] for finding in report["findings"]])
                if code == "launcher-found-first":
                    # The line the checker predicts is the one the program got.
                    self.assertEqual(record.command_line, report["request"]["commandLine"])

    def test_a_utf8_mark_before_the_section_is_a_known_difference_from_windows(self):
        # Windows' profile reader does not skip a UTF-8 mark, and so does not
        # see [Information] right after it: the checker follows Windows and
        # says nothing you meant would start. Wine's reader skips the mark,
        # so the launcher under Wine starts the program all the same.
        media = Media()
        program = media.add_program("CD/Setup/Setup.exe")
        os.remove(media.default_target)
        media.write_settings(b"\xef\xbb\xbf" + settings(FileToRun="Setup\\Setup.exe").encode())
        report, record = self.check_and_launch(media, expected=1)
        self.assertEqual(report["exitCode"], 2, report["findings"])
        self.assertIn("settings-utf8-bom-hides-section",
                      [finding["code"] for finding in report["findings"]])
        self.assertTrue(same_path(record.program, windows_path(program)), record)

    def test_folder_names_outside_the_code_page(self):
        for label, name in FOREIGN_NAMES.items():
            with self.subTest(folder=label):
                media = Media(name=name)
                program = media.add_program("CD/rec.exe")
                media.write_settings(settings(FileToRun="rec.exe /x"))
                report, record = self.check_and_launch(media)
                self.assertEqual(report["exitCode"], 1, report["findings"])
                self.assertIn("path-outside-ascii",
                              [finding["code"] for finding in report["findings"]])
                self.assertTrue(report["target"]["exists"], report)
                self.assertNotIn("?", report["launcher"])
                self.assertEqual(record.command_line, report["request"]["commandLine"])
                self.assertTrue(same_path(record.program, windows_path(program)), record)

    def test_a_settings_file_named_for_another_launcher_name(self):
        media = Media(launcher="Autorun.exe", target="Autorun.exe")
        with open(os.path.join(media.cd, "Start.ini"), "wb") as file:
            file.write(settings(FileToRun="nothing.exe").encode())
        report, record = self.check_and_launch(media, expected=1)
        self.assertIn("settings-other-name", [finding["code"] for finding in report["findings"]])
        self.assertTrue(same_path(record.program, windows_path(media.default_target)), record)

    def test_the_host_checker_reads_names_in_the_code_page_as_windows_does(self):
        if not os.path.isfile(HOST_STARTCHECK):
            self.skipTest("HOST_STARTCHECK names no checker built for this host")
        for encoding, starts in (("cp1252", 1), ("utf-8", 0)):
            with self.subTest(settings_file=encoding):
                media = Media()
                media.add_program("CD/Handbücher/x.exe")
                media.write_settings(settings(FileToRun="Handbücher\\x.exe /q"), encoding=encoding)
                finished = subprocess.run([HOST_STARTCHECK, media.launcher, "--json"],
                                          capture_output=True, timeout=60)
                report = validated(finished.stdout)
                self.assertEqual(report["exitCode"], finished.returncode)
                records = media.launch(cwd=media.cd, expected=starts)
                self.assertEqual(len(records), starts, records)
                self.assertEqual(report["verdict"] == "cannotWork", starts == 0, report["findings"])

    def test_a_planned_drive_is_checked_in_the_folder_here(self):
        # --as names where the launcher will be; the files are read where
        # they are now, by the Windows checker as by the host's.
        layouts = {
            "default target beside the launcher's folder": ("", None),
            "program below the launcher": (settings(FileToRun="Tools\\Setup.exe /S"),
                                           "CD/Tools/Setup.exe"),
            "folder": (settings(BrowseForFolder="1", BrowsePath="Docs"), "CD/Docs/"),
        }
        for name, (content, extra) in layouts.items():
            with self.subTest(layout=name):
                media = Media()
                if extra:
                    media.add_entry(extra)
                if content:
                    media.write_settings(content)
                planned = "E:\\Disc\\CD\\Start.exe"
                finished = subprocess.run(
                    wine.command(STARTCHECK_EXE, "Start.exe", "--as", planned, "--json"),
                    env=wine.env, cwd=media.cd, capture_output=True, timeout=60)
                report = validated(finished.stdout)
                self.assertEqual(report["launcher"], planned)
                self.assertEqual(report["settings"]["state"], "read" if content else "missing")
                self.assertNotEqual(report["verdict"], "cannotWork", report["findings"])
                if report["mode"] != "FolderBrowse":
                    self.assertTrue(report["target"]["exists"], report)
                    self.assertTrue(report["target"]["path"].startswith("E:\\Disc\\"), report)
                if os.path.isfile(HOST_STARTCHECK):
                    host = validated(subprocess.run(
                        [HOST_STARTCHECK, media.launcher, "--as", planned, "--json"],
                        capture_output=True, timeout=60).stdout)
                    for key in ("mode", "request", "target", "verdict"):
                        self.assertEqual(report.get(key), host.get(key), key)

    def test_same_request_in_each_mode(self):
        layouts = {
            "default target": ("", None),
            "program with arguments": (settings(FileToRun="{installer}\\Start.exe /S /D=C:\\x"),
                                       None),
            "quoted program with a blank": (settings(FileToRun='"{root}\\My Setup\\Setup.exe" /q'),
                                            "My Setup/Setup.exe"),
            "bare program name": (settings(FileToRun="Tool.exe /x"), "CD/Tool.exe"),
            "shell open": (settings(ShellExec="1", FileToRun="{installer}\\Start.exe"), None),
            "folder": (settings(BrowseForFolder="1", BrowsePath="Docs"), "CD/Docs/"),
        }
        for name, (content, extra) in layouts.items():
            with self.subTest(layout=name):
                media = Media()
                if extra:
                    media.add_entry(extra)
                if content:
                    media.write_settings(content.format(installer=windows_path(media.installer),
                                                        root=windows_path(media.root)))
                report, record = self.check_and_launch(media)
                request = report["request"]
                if report["mode"] == "ProcessStart":
                    self.assertEqual(record.command_line, request["commandLine"])
                    directory = request["currentDirectory"] or windows_path(media.cd)
                    if not ntpath.isabs(directory):
                        directory = ntpath.join(windows_path(media.cd), directory)
                    self.assertTrue(same_path(record.directory, directory), (record, request))
                elif report["mode"] == "ShellOpen":
                    self.assertTrue(same_path(record.program, request["file"]), (record, request))
                else:
                    self.assertEqual(request["file"], "explorer.exe")
                    self.assertTrue(record.command_line.endswith(" " + request["parameters"]),
                                    (record, request))
                self.assertTrue(same_path(record.program, report["target"]["path"]) or
                                report["mode"] == "FolderBrowse", (record, report["target"]))
                self.assertTrue(report["target"]["exists"])


def _spin(seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pass


def soak(runs, parallel):
    """The launcher's three modes, `runs` launches in all, `parallel` at once,
    with every core kept busy besides, each run's log with Wine's exception
    and debug-string channels. An exit code other than 0 is shown with what
    Wine said. Returns the process's exit status."""
    import multiprocessing
    global wine
    wine = Wine()
    modes = ["", settings(ShellExec="1"), settings(BrowseForFolder="1")]
    folders = []
    for index in range(parallel * len(modes)):
        media = Media()
        media.write_settings(modes[index % len(modes)])
        folders.append(media)
    load = [multiprocessing.Process(target=_spin, args=(3600,)) for _ in range(os.cpu_count())]
    for process in load:
        process.start()
    codes = Counter()
    strange = []

    def one(index):
        media = folders[index % len(folders)]
        code, _, log = wine.run(media.launcher, cwd=media.elsewhere,
                                extra_env={"WINEDEBUG": "-all,+seh,+debugstr"})
        return index, code, log

    began = time.monotonic()
    try:
        with ThreadPoolExecutor(parallel) as pool:
            for index, code, log in pool.map(one, range(runs)):
                codes[code] += 1
                if code != 0:
                    strange.append((index, code, log[-4000:]))
    finally:
        for process in load:
            process.terminate()
        wine.close()
    print(f"soak: {runs} launches, {parallel} at once, every core loaded, "
          f"{time.monotonic() - began:.0f} s; exit codes: {dict(codes)}")
    for index, code, log in strange:
        print(f"--- launch {index}: exit code {code}; Wine said:\n{log}")
    return 1 if strange else 0


if __name__ == "__main__":
    # --soak RUNS [PARALLEL]: the soak run instead of the tests.
    if len(sys.argv) >= 3 and sys.argv[1] == "--soak":
        sys.exit(soak(int(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else 4))
    for program in (START_EXE, RECORDER_EXE, HOOKED_START_EXE, PLANTED_DLL, STARTCHECK_EXE):
        if not os.path.isfile(program):
            sys.exit("START_EXE, RECORDER_EXE, HOOKED_START_EXE, PLANTED_DLL and STARTCHECK_EXE "
                     "must name the built programs")
    unittest.main(verbosity=2)
