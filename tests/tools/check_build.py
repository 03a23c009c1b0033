#!/usr/bin/env python3
"""Checks a built Start.exe: what it imports, its subsystem, its icon and its
size beside the icon images and the version information, which the media
author chooses, and beside an Authenticode signature.

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
SIZE_BUDGET = 12 * 1024  # bytes of code, data, headers and resource tables
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SECURITY_DIRECTORY = 4  # the Authenticode signature, appended to the file


def resources(exe=START_EXE):
    """(type, name, size) of every resource, as wrestool lists them."""
    listing = subprocess.run(["wrestool", "-l", exe], check=True, capture_output=True,
                             text=True).stdout
    found = []
    for line in listing.splitlines():
        kind = re.search(r"--type=(\d+)", line)
        name = re.search(r"--name=('?)([^' ]+)\1", line)
        size = re.search(r"size=(\d+)", line)
        if kind and name and size:
            found.append((int(kind.group(1)), name.group(2), int(size.group(1))))
    return found


def signature_size(image):
    """Bytes of the certificate table a signing tool appended, 0 when unsigned."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    optional = header + 24
    directories = optional + (112 if struct.unpack_from("<H", image, optional)[0] == 0x20B else 96)
    return struct.unpack_from("<II", image, directories + 8 * SECURITY_DIRECTORY)[1]


def size_beside_resources(exe):
    """(file size, icon image bytes, version bytes, the rest), the rest being
    what the budget covers."""
    with open(exe, "rb") as file:
        image = file.read()
    sizes = resources(exe)
    icons = sum(size for kind, _, size in sizes if kind == RT_ICON)
    version = sum(size for kind, _, size in sizes if kind == RT_VERSION)
    return len(image), icons, version, len(image) - signature_size(image) - icons - version


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

    def test_size_beside_the_icon_and_version_within_budget(self):
        total, icons, version, beside = size_beside_resources(START_EXE)
        print(f"\n{os.path.basename(START_EXE)}: {total} bytes, {beside} beside {icons} bytes "
              f"of icon images and {version} of version information", file=sys.stderr)
        self.assertGreater(version, 0)
        self.assertLessEqual(beside, SIZE_BUDGET)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
