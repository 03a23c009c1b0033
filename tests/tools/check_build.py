#!/usr/bin/env python3
"""Checks a built Start.exe: what it imports, its subsystem, its icon and its
size beside the icon.

Usage: check_build.py START_EXE OBJDUMP
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

START_EXE, OBJDUMP = sys.argv[1], sys.argv[2]
SIZE_BUDGET = 12 * 1024  # bytes beside the icon images
RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24


def resources():
    """(type, name, size) of every resource, as wrestool lists them."""
    listing = subprocess.run(["wrestool", "-l", START_EXE], check=True, capture_output=True,
                             text=True).stdout
    found = []
    for line in listing.splitlines():
        kind = re.search(r"--type=(\d+)", line)
        name = re.search(r"--name=('?)([^' ]+)\1", line)
        size = re.search(r"size=(\d+)", line)
        if kind and name and size:
            found.append((int(kind.group(1)), name.group(2), int(size.group(1))))
    return found


class BuildCheck(unittest.TestCase):
    def test_imports_kernel32_only(self):
        dump = subprocess.run([OBJDUMP, "-p", START_EXE], check=True, capture_output=True,
                              text=True).stdout
        self.assertEqual(re.findall(r"DLL Name: (\S+)", dump), ["KERNEL32.dll"])
        self.assertRegex(dump, r"Subsystem\s+00000002")  # GUI: never a console window

    def test_icon_group_holds_nine_images(self):
        group = subprocess.run(["wrestool", "-x", "--raw", f"--type={RT_GROUP_ICON}",
                                "--name=MAINICON", START_EXE], check=True,
                               capture_output=True).stdout
        reserved, kind, count = struct.unpack_from("<HHH", group)
        self.assertEqual((reserved, kind, count), (0, 1, 9))
        images = set()
        for index in range(count):
            width, height, _, _, planes, bits, _, _ = struct.unpack_from(
                "<BBBBHHIH", group, 6 + 14 * index)
            images.add((width, height, bits))
        expected = {(size, size, bits) for size in (48, 32, 16) for bits in (4, 8, 32)}
        self.assertEqual(images, expected)
        # And the images themselves read as an icon file.
        with tempfile.TemporaryDirectory() as scratch:
            ico = os.path.join(scratch, "main.ico")
            subprocess.run(["wrestool", "-x", f"--type={RT_GROUP_ICON}", "--name=MAINICON",
                            "-o", ico, START_EXE], check=True)
            listing = subprocess.run(["icotool", "-l", ico], check=True, capture_output=True,
                                     text=True).stdout
        self.assertEqual(len(listing.splitlines()), 9, listing)

    def test_no_manifest_sets_an_execution_level(self):
        self.assertFalse([r for r in resources() if r[0] == RT_MANIFEST])

    def test_no_code_keeps_values_in_callee_saved_vector_registers(self):
        # The guarded settings read restores only the general registers after
        # a fault; that is sound while nothing else in the launcher uses the
        # vector registers a call must preserve (xmm6 to xmm15 on x64).
        code = subprocess.run([OBJDUMP, "-d", START_EXE], check=True, capture_output=True,
                              text=True).stdout
        self.assertEqual(re.findall(r"%xmm(?:[6-9]|1[0-5])\b", code), [])

    def test_size_beside_the_icon_within_budget(self):
        icon_bytes = sum(size for kind, _, size in resources() if kind == RT_ICON)
        beside = os.path.getsize(START_EXE) - icon_bytes
        print(f"\n{os.path.basename(START_EXE)}: {os.path.getsize(START_EXE)} bytes, "
              f"{beside} beside {icon_bytes} bytes of icon images", file=sys.stderr)
        self.assertLessEqual(beside, SIZE_BUDGET)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
