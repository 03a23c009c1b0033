#!/usr/bin/env python3
"""Checks a built Start.exe: what it imports, its subsystem, its icon, its
manifest, and its size beside its resources (the icon, the version
information and the manifest, which the media author chooses) and beside an
Authenticode signature.

Usage: check_build.py START_EXE OBJDUMP EXECUTION_LEVEL
       check_build.py --sizes START_EXE   (the size line alone)
EXECUTION_LEVEL is the build's START_EXECUTION_LEVEL (none: no manifest).
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

if len(sys.argv) == 3 and sys.argv[1] == "--sizes":  # the figure alone, for the benchmark
    START_EXE, OBJDUMP, EXECUTION_LEVEL = sys.argv[2], "", ""
else:
    START_EXE, OBJDUMP, EXECUTION_LEVEL = sys.argv[1:4]
SIZE_BUDGET = 12 * 1024  # bytes of code, constants, import tables and headers
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SECURITY_DIRECTORY = 4  # the Authenticode signature, appended to the file
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
}
# Everything the manifest may hold. Any other element would change how the
# launcher runs: activeCodePage its ANSI calls, dpiAware or longPathAware
# what Windows does for it, a dependency the DLLs it loads.
MANIFEST_ELEMENTS = {ASM_V1 + "assembly", ASM_V3 + "trustInfo", ASM_V3 + "security",
                     ASM_V3 + "requestedPrivileges", ASM_V3 + "requestedExecutionLevel",
                     COMPATIBILITY + "compatibility", COMPATIBILITY + "application",
                     COMPATIBILITY + "supportedOS"}


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


def resource_section_size(image):
    """Bytes the resource section takes in the file: its data, its tables and
    the padding to the file's 512-byte blocks."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", image, header + 6)[0], \
        struct.unpack_from("<H", image, header + 20)[0]
    table = header + 24 + optional_size
    for index in range(sections):
        name, _, _, raw_size = struct.unpack_from("<8sIII", image, table + 40 * index)
        if name.rstrip(b"\0") == b".rsrc":
            return raw_size
    return 0


def size_beside_resources(exe):
    """(file size, icon image bytes, version bytes, manifest bytes, resource
    section bytes, the rest), the rest being what the budget covers: code,
    constants, import tables and headers. The resources are the media
    author's to choose (a branded build brings its own icon and version
    information) and are reported beside it."""
    with open(exe, "rb") as file:
        image = file.read()
    sizes = resources(exe)
    icons, version, manifest = (sum(size for kind, _, size in sizes if kind == wanted)
                                for wanted in (RT_ICON, RT_VERSION, RT_MANIFEST))
    section = resource_section_size(image)
    return (len(image), icons, version, manifest, section,
            len(image) - signature_size(image) - section)


def size_line(exe):
    total, icons, version, manifest, section, beside = size_beside_resources(exe)
    return (f"{os.path.basename(exe)}: {total} bytes, {beside} beside {section} bytes of "
            f"resources ({icons} of icon images, {version} of version information, {manifest} "
            f"of manifest, the rest their tables and padding)")


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

    def test_manifest_asks_for_the_configured_level_and_nothing_else(self):
        manifests = [(name, size) for kind, name, size in resources() if kind == RT_MANIFEST]
        if EXECUTION_LEVEL == "none":
            self.assertEqual(manifests, [])
            return
        # Resource 1 is the one Windows reads when it creates the process.
        self.assertEqual([name for name, _ in manifests], ["1"])
        text = subprocess.run(["wrestool", "-x", "--raw", f"--type={RT_MANIFEST}", "--name=1",
                               START_EXE], check=True, capture_output=True).stdout
        assembly = ElementTree.fromstring(text)
        self.assertEqual((assembly.tag, assembly.get("manifestVersion")),
                         (ASM_V1 + "assembly", "1.0"))
        self.assertEqual({element.tag for element in assembly.iter()} - MANIFEST_ELEMENTS, set())
        self.assertNotIn(b"activeCodePage", text)
        levels = assembly.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/"
                                  f"{ASM_V3}requestedPrivileges/{ASM_V3}requestedExecutionLevel")
        self.assertEqual([(level.get("level"), level.get("uiAccess")) for level in levels],
                         [(EXECUTION_LEVEL, "false")])
        systems = [system.get("Id") for system in assembly.findall(
            f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/{COMPATIBILITY}supportedOS")]
        self.assertEqual(sorted(systems), sorted(SUPPORTED_OS))

    def test_no_code_keeps_values_in_callee_saved_vector_registers(self):
        # The guarded settings read restores only the general registers after
        # a fault; that is sound while nothing else in the launcher uses the
        # vector registers a call must preserve (xmm6 to xmm15 on x64).
        code = subprocess.run([OBJDUMP, "-d", START_EXE], check=True, capture_output=True,
                              text=True).stdout
        self.assertEqual(re.findall(r"%xmm(?:[6-9]|1[0-5])\b", code), [])

    def test_size_beside_the_icon_version_and_manifest_within_budget(self):
        total, icons, version, manifest, section, beside = size_beside_resources(START_EXE)
        print("\n" + size_line(START_EXE), file=sys.stderr)
        self.assertGreater(version, 0)
        self.assertEqual(manifest > 0, EXECUTION_LEVEL != "none")
        self.assertLessEqual(beside, SIZE_BUDGET)


if __name__ == "__main__":
    if sys.argv[1] == "--sizes":
        print(size_line(START_EXE))
    else:
        unittest.main(argv=sys.argv[:1], verbosity=2)
