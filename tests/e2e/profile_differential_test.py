#!/usr/bin/env python3
"""The portable profile reader against Windows' own GetPrivateProfileStringA.

Every file of tests/e2e/profile_cases.json, and 200 generated ones, is read
by both: tests/tools/profile_dump.cpp built for Windows calls the real
function under Wine, and built for the host calls ReadProfileValue. Both print
one line per section/key pair in the same escaped form; the lines must be
identical, and for the table's files also equal to the value the table
records.

Environment: PROFILE_DUMP_EXE names the Windows program, PROFILE_DUMP_HOST the
host one. Wine runs in a fresh prefix with its wineserver kept alive.
"""

import json
import os
import random
import subprocess
import tempfile
import unittest

from wine_prefix import WinePrefix, windows_path

PROFILE_DUMP_EXE = os.environ.get("PROFILE_DUMP_EXE", "")
PROFILE_DUMP_HOST = os.environ.get("PROFILE_DUMP_HOST", "")
CASES_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "profile_cases.json")

DEFAULT_SIZE = 2048
DEFAULT_TEXT = b"<default>"
GENERATED_FILES = 200
SEED = 1252


def table_bytes(notation):
    """Bytes from the table's notation: a string whose characters U+0000 to
    U+00FF stand for one byte each, or a list of such strings, [string, times]
    repeats and {"utf8" | "utf16le" | "utf16be": text} encoded texts."""
    if isinstance(notation, str):
        return notation.encode("latin-1")
    data = b""
    for part in notation:
        if isinstance(part, str):
            data += part.encode("latin-1")
        elif isinstance(part, list):
            text, times = part
            data += text.encode("latin-1") * times
        else:
            (encoding, text), = part.items()
            data += text.encode({"utf8": "utf-8", "utf16le": "utf-16-le",
                                 "utf16be": "utf-16-be"}[encoding], "surrogatepass")
    return data


def escaped_argument(data):
    """A command-line argument both dump tools read back as `data`: letters and
    digits as they are, every other byte as \\xNN."""
    return "".join(chr(b) if chr(b).isascii() and chr(b).isalnum() else f"\\x{b:02X}"
                   for b in data)


def dump_line(value, size):
    """The line both dump tools print for `value` placed in a buffer of `size`."""
    text = "".join("\\\\" if b == 0x5C else '\\"' if b == 0x22 else
                   chr(b) if 0x20 <= b <= 0x7E else f"\\x{b:02X}" for b in value)
    return f'{len(value)} "{text}"' + (" unterminated" if size == 0 else "")


class Wine(WinePrefix):
    """One fresh Wine prefix for the whole run."""

    def __init__(self):
        super().__init__("profile-differential")
        self.files = 0

    def write_file(self, data):
        self.files += 1
        path = os.path.join(self.root, f"settings-{self.files}.ini")
        with open(path, "wb") as file:
            file.write(data)
        return path


wine = None


def setUpModule():
    global wine
    for name, path in (("PROFILE_DUMP_EXE", PROFILE_DUMP_EXE),
                       ("PROFILE_DUMP_HOST", PROFILE_DUMP_HOST)):
        if not os.path.isfile(path):
            raise RuntimeError(f"{name} names no file: {path!r}")
    wine = Wine()


def tearDownModule():
    if wine:
        wine.close()


def run_dump(command, file_argument, pairs, size, default, env=None):
    arguments = [*command, "-s", str(size), "-d", escaped_argument(default), file_argument]
    for section, key in pairs:
        arguments += [escaped_argument(section), escaped_argument(key)]
    # Files, not pipes: processes Wine starts in the background inherit them
    # and would hold a pipe open long after the program ended.
    with tempfile.TemporaryFile() as output, tempfile.TemporaryFile() as errors:
        finished = subprocess.run(arguments, env=env, stdout=output, stderr=errors, timeout=120)
        output.seek(0)
        errors.seek(0)
        if finished.returncode != 0:
            raise AssertionError(f"{command[-1]} failed ({finished.returncode}): "
                                 f"{errors.read().decode('utf-8', 'replace')}")
        return output.read().decode("ascii").splitlines()


UTF8_MARK = b"\xef\xbb\xbf"


def as_windows_reads_it(data):
    """The file as Wine must be given it to read it as Windows does. Windows'
    reader does not know a UTF-8 byte-order mark: its three bytes are three
    ANSI characters at the start of the first line, and the rest is ANSI.
    Wine's skips the mark and decodes the rest as UTF-8: a known difference
    between the two. Three other characters that no rule treats specially,
    and that no name asked for holds, stand in for the mark here."""
    return b"\xef\xbb\xbe" + data[3:] if data.startswith(UTF8_MARK) else data


def read_both(data, pairs, size=DEFAULT_SIZE, default=DEFAULT_TEXT):
    """(Windows' lines, the reader's lines) for the pairs of one file."""
    path = wine.write_file(as_windows_reads_it(data))
    reader_path = wine.write_file(data)
    windows = run_dump(wine.command(PROFILE_DUMP_EXE), windows_path(path), pairs, size, default,
                       wine.env)
    reader = run_dump([PROFILE_DUMP_HOST], reader_path, pairs, size, default)
    return windows, reader


class KnownDifferenceTest(unittest.TestCase):
    def test_wine_skips_a_utf8_mark_where_windows_does_not(self):
        # Should Wine come to read the mark as Windows does, the stand-in
        # above is no longer needed.
        path = wine.write_file(UTF8_MARK + b"[S]\r\na=1\r\n")
        lines = run_dump(wine.command(PROFILE_DUMP_EXE), windows_path(path), [(b"S", b"a")],
                         DEFAULT_SIZE, DEFAULT_TEXT, wine.env)
        self.assertEqual(lines, [dump_line(b"1", DEFAULT_SIZE)])


class TableTest(unittest.TestCase):
    def test_every_case_of_the_table(self):
        with open(CASES_FILE, encoding="utf-8") as file:
            cases = json.load(file)["cases"]
        for case in cases:
            data = table_bytes(case["file"])
            # One run of each program per buffer size and default text.
            runs = {}
            for query in case["queries"]:
                section, key, value = (table_bytes(part) for part in query[:3])
                options = query[3] if len(query) > 3 else {}
                size = options.get("size", DEFAULT_SIZE)
                default = table_bytes(options.get("default", DEFAULT_TEXT.decode()))
                runs.setdefault((size, default), []).append((section, key, value))
            for (size, default), rows in runs.items():
                windows, reader = read_both(data, [(s, k) for s, k, _ in rows], size, default)
                self.assertEqual((len(windows), len(reader)), (len(rows), len(rows)))
                for (section, key, value), windows_line, reader_line in zip(rows, windows,
                                                                           reader):
                    with self.subTest(case=case["name"], section=section, key=key,
                                      size=size, default=default):
                        self.assertEqual(windows_line, dump_line(value, size),
                                         "Windows does not return what the table says")
                        self.assertEqual(reader_line, windows_line,
                                         "the reader differs from Windows")


# Pieces of generated files: the characters the rules care about, names that
# the queries ask for, and a few bytes of other code pages.
PIECES = [b"[", b"]", b"=", b" ", b"\t", b"\x0b", b"\x1a", b"\xa0", b"\r", b"\n", b"\r\n",
          b"\r\n", b"\"", b"'", b";", b"\x00", b"S", b"s", b"k", b"K", b"v", b"\xc9", b"\xe9",
          b"Information", b"FileToRun", b"[S]", b"[Information]\r\n", b"k=", b"FileToRun=",
          b"\xc3\xa9", b"\xe4\xb8\xad", b"\xc3", b"\xc4\x80", b"\xef\xbb\xbf"]
SECTIONS = [b"S", b"s", b"Information", b"", b" S ", b"\xc9"]
KEYS = [b"k", b"K", b"FileToRun", b"", b"v", b"\"k", b";k", b"\xe9"]
SIZES = [DEFAULT_SIZE, DEFAULT_SIZE, DEFAULT_SIZE, 1, 2, 3, 5, 8]
DEFAULTS = [DEFAULT_TEXT, DEFAULT_TEXT, b"", b" \"d\"  ", b"'", b"d\t "]


def generated_file(generator):
    data = b"".join(generator.choice(PIECES) for _ in range(generator.randint(0, 60)))
    start = generator.random()
    if start < 0.15:
        return b"\xef\xbb\xbf" + data
    if start < 0.25:
        text = data.decode("latin-1")
        big = generator.random() < 0.5
        return (b"\xfe\xff" if big else b"\xff\xfe") + text.encode(
            "utf-16-be" if big else "utf-16-le")
    return data


class GeneratedFilesTest(unittest.TestCase):
    def test_generated_files_read_alike(self):
        generator = random.Random(SEED)
        pairs = [(section, key) for section in SECTIONS for key in KEYS]
        for number in range(GENERATED_FILES):
            data = generated_file(generator)
            size = generator.choice(SIZES)
            default = generator.choice(DEFAULTS)
            windows, reader = read_both(data, pairs, size, default)
            self.assertEqual((len(windows), len(reader)), (len(pairs), len(pairs)))
            for (section, key), windows_line, reader_line in zip(pairs, windows, reader):
                if windows_line != reader_line:
                    self.fail(f"file {number} {data!r}, size {size}, default {default!r}, "
                              f"[{section!r}] {key!r}: Windows {windows_line}, "
                              f"reader {reader_line}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
