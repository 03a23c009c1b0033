#!/usr/bin/env python3
"""Builds branded launchers in a scratch folder and checks what Explorer would
show: the file name, the MAINICON group and the version information; and what
Windows reads before it starts one: the execution level of its manifest, or no
manifest at all. Then checks that a bad START_ICON or START_EXECUTION_LEVEL
stops the configure with a clear message.

Usage: check_branding.py CMAKE SOURCE_DIR TOOLCHAIN_FILE GENERATOR
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zlib

CMAKE, SOURCE_DIR, TOOLCHAIN, GENERATOR = sys.argv[1:5]
with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as listing:
    PROJECT_VERSION = re.search(r"project\(\w+ VERSION ([0-9.]+)", listing.read()).group(1)
DEFAULT_COPYRIGHT = "Copyright (c) the Start launcher authors, MIT License"
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
OPTIONS = ("START_LAUNCHER_NAME", "START_ICON", "START_COMPANY", "START_PRODUCT",
           "START_DESCRIPTION", "START_VERSION", "START_COPYRIGHT", "START_EXECUTION_LEVEL")
# The checker built by the native preset, which reads a launcher's own image.
HOST_STARTCHECK = os.path.join(SOURCE_DIR, "build", "native", "startcheck")

# Quotation marks, backslashes, a semicolon and a non-ASCII sign all have to
# reach Explorer unchanged.
BRANDING = {
    "START_COMPANY": 'Acme "Quality" Software',
    "START_PRODUCT": "Acme Suite; Deluxe",
    "START_DESCRIPTION": "Acme setup launcher for C:\\Acme\\",
    "START_VERSION": "2.5.13",
    "START_COPYRIGHT": "\u00a9 2025 Acme Corp.",
}


def png_image(size):
    """An RGBA PNG of size x size: a diagonal gradient."""
    rows = b"".join(b"\0" + bytes(v for x in range(size)
                                  for v in (8 * x % 256, 8 * y % 256, 200, 255))
                    for y in range(size))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def bmp_image(size):
    """A 32-bit BMP-in-ICO image of size x size: red and blue checks."""
    pixels = b"".join(bytes((200, 0, 0, 255) if (x // 4 + y // 4) % 2 else (0, 0, 220, 255))
                      for y in range(size) for x in range(size))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def icon_file(images):
    """An .ico holding (width, bits, data) images, in that order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, bits, data in images:
        out += struct.pack("<BBBBHHII", width % 256, width % 256, 0, 0, 1, bits, len(data),
                           offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in images)


def icon_entries(ico):
    """(width, height, colours, reserved, planes, bits, size) and the data of
    each image of an .ico."""
    count = struct.unpack_from("<H", ico, 4)[0]
    entries = []
    for index in range(count):
        *fields, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * index)
        entries.append((tuple(fields), ico[offset:offset + fields[-1]]))
    return entries


def resource(exe, kind, name):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", f"--name={name}", exe],
                          check=True, capture_output=True).stdout


def main_icon(exe):
    """The MAINICON group's entries with the data of the images they name."""
    group = resource(exe, RT_GROUP_ICON, "MAINICON")
    reserved, kind, count = struct.unpack_from("<HHH", group)
    assert (reserved, kind) == (0, 1), (reserved, kind)
    entries = []
    for index in range(count):
        *fields, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * index)
        entries.append((tuple(fields), resource(exe, RT_ICON, image_id)))
    return entries


def execution_level(exe):
    """The requestedExecutionLevel of the launcher's manifest (resource 1), or
    None when it has no manifest."""
    listing = subprocess.run(["wrestool", "-l", f"--type={RT_MANIFEST}", exe], check=True,
                             capture_output=True, text=True).stdout
    if not listing.strip():
        return None
    assembly = ElementTree.fromstring(resource(exe, RT_MANIFEST, 1))
    asm_v3 = "{urn:schemas-microsoft-com:asm.v3}"
    return assembly.find(f"{asm_v3}trustInfo/{asm_v3}security/{asm_v3}requestedPrivileges/"
                         f"{asm_v3}requestedExecutionLevel").get("level")


def version_block(data, start):
    """One VS_VERSIONINFO node at start: (key, value, children), and its end."""
    def align(position):
        return (position + 3) & ~3

    length, value_length, text = struct.unpack_from("<HHH", data, start)
    end = start + length
    key_end = start + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[start + 6:key_end].decode("utf-16-le")
    position = align(key_end + 2)
    if text:  # the length counts UTF-16 units, the terminating NUL among them
        value = data[position:position + 2 * value_length].decode("utf-16-le").split("\0")[0]
        position += 2 * value_length
    else:
        value = data[position:position + value_length]
        position += value_length
    children = []
    position = align(position)
    while position < end:
        child, position = version_block(data, position)
        children.append(child)
        position = align(position)
    return (key, value, children), end


def version_info(exe):
    """Fixed file and product versions, the StringFileInfo tables and the
    translations of the launcher's version resource."""
    (key, fixed, children), _ = version_block(resource(exe, RT_VERSION, 1), 0)
    assert key == "VS_VERSION_INFO", key
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    assert signature == 0xFEEF04BD, hex(signature)

    def parts(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    info = {"file_version": parts(file_ms, file_ls),
            "product_version": parts(product_ms, product_ls)}
    for name, _, blocks in children:
        if name == "StringFileInfo":
            info["tables"] = {table: {k: v for k, v, _ in strings}
                              for table, _, strings in blocks}
        elif name == "VarFileInfo":
            info["translations"] = [struct.unpack("<HH", value) for _, value, _ in blocks]
    return info


class Branding(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="branding-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch, ignore_errors=True)
        cls.build = os.path.join(cls.scratch, "build")
        cls.icon = os.path.join(cls.scratch, "acme.ico")
        with open(cls.icon, "wb") as f:
            f.write(icon_file([(16, 32, bmp_image(16)), (32, 32, png_image(32))]))

        # Fully branded.
        cls.build_with("-DSTART_LAUNCHER_NAME=AcmeSetup", f"-DSTART_ICON={cls.icon}",
                      *(f"-D{option}={text}" for option, text in BRANDING.items()))
        cls.branded_exes = sorted(n for n in os.listdir(cls.build) if n.endswith(".exe"))
        cls.branded = cls.keep("AcmeSetup.exe", "branded")

        # One version field alone; name and icon back to their defaults.
        cls.build_with(*(f"-U{option}" for option in OPTIONS), "-DSTART_COMPANY=Acme")
        cls.company_only = cls.keep("Start.exe", "company-only")

        # The other execution levels; each is only a new resource and a link.
        cls.levels = {}
        for level in ("requireAdministrator", "none"):
            cls.build_with(*(f"-U{option}" for option in OPTIONS),
                           "-DSTART_LAUNCHER_NAME=Setup", f"-DSTART_EXECUTION_LEVEL={level}")
            cls.levels[level] = cls.keep("Setup.exe", level)

        # Nothing set again.
        cls.build_with(*(f"-U{option}" for option in OPTIONS))
        cls.plain = cls.keep("Start.exe", "plain")
        with open(os.path.join(cls.build, "res", "start.ico"), "rb") as f:
            cls.drawn_icon = f.read()

        # Bad icons, last: a refused configure leaves the scratch build unusable.
        png = os.path.join(cls.scratch, "acme.png")
        with open(png, "wb") as f:
            f.write(png_image(32))
        cut = os.path.join(cls.scratch, "cut.ico")
        with open(cls.icon, "rb") as f, open(cut, "wb") as out:
            out.write(f.read()[:-10])  # ends inside the second image's data
        missing = os.path.join(cls.scratch, "missing.ico")
        cls.refusals = {path: cls.configure_error(f"-DSTART_ICON={path}")
                        for path in (png, cut, missing)}
        cls.png, cls.cut, cls.missing = png, cut, missing
        cls.level_refusals = {level: cls.configure_error("-USTART_ICON",
                                                         f"-DSTART_EXECUTION_LEVEL={level}")
                              for level in ("requireadministrator", "admin", "")}

    @classmethod
    def cmake(cls, *arguments):
        return subprocess.run([CMAKE, *arguments], capture_output=True, text=True)

    @classmethod
    def build_with(cls, *options):
        """Configures the scratch build with the options and builds the launcher."""
        done = cls.cmake("-S", SOURCE_DIR, "-B", cls.build, "-G", GENERATOR,
                         "--toolchain", TOOLCHAIN, "-DCMAKE_BUILD_TYPE=MinSizeRel", *options)
        if done.returncode:
            raise AssertionError(f"configure failed:\n{done.stdout}\n{done.stderr}")
        done = cls.cmake("--build", cls.build, "--target", "Start", "-j", str(os.cpu_count()))
        if done.returncode:
            raise AssertionError(f"build failed:\n{done.stdout}\n{done.stderr}")

    @classmethod
    def keep(cls, name, phase):
        """A copy of the launcher just built, safe from the next build."""
        kept = os.path.join(cls.scratch, phase, name)
        os.makedirs(os.path.dirname(kept))
        shutil.copy(os.path.join(cls.build, name), kept)
        return kept

    @classmethod
    def configure_error(cls, *options):
        """What a configure with the options says, on one line, or None when it
        succeeds."""
        done = cls.cmake("-S", SOURCE_DIR, "-B", cls.build, *options)
        if done.returncode == 0:
            return None
        return " ".join(done.stderr.split())  # CMake wraps its error messages

    def assertRefused(self, icon, message):
        said = self.refusals[icon]
        self.assertIsNotNone(said, f"the configure with START_ICON={icon} succeeded")
        self.assertIn(message, said)

    # The fully branded launcher.

    def test_branded_launcher_bears_the_name(self):
        self.assertEqual(self.branded_exes, ["AcmeSetup.exe"])

    def test_branded_icon_is_the_supplied_one(self):
        with open(self.icon, "rb") as f:
            supplied = icon_entries(f.read())
        self.assertEqual(len(supplied), 2)
        self.assertEqual(main_icon(self.branded), supplied)

    def test_branded_version_strings(self):
        info = version_info(self.branded)
        self.assertEqual(list(info["tables"]), ["040904E4"])
        self.assertEqual(info["tables"]["040904E4"], {
            "CompanyName": BRANDING["START_COMPANY"],
            "FileDescription": BRANDING["START_DESCRIPTION"],
            "FileVersion": "2.5.13",
            "InternalName": "AcmeSetup",
            "OriginalFilename": "AcmeSetup.exe",
            "ProductName": BRANDING["START_PRODUCT"],
            "ProductVersion": "2.5.13",
            "LegalCopyright": BRANDING["START_COPYRIGHT"],
        })
        self.assertEqual(info["translations"], [(0x409, 1252)])

    def test_branded_fixed_versions(self):
        info = version_info(self.branded)
        self.assertEqual(info["file_version"], (2, 5, 13, 0))
        self.assertEqual(info["product_version"], (2, 5, 13, 0))

    # One field: the others keep their defaults or are left out.

    def test_one_field_keeps_the_project_version_and_copyright(self):
        info = version_info(self.company_only)
        self.assertEqual(info["tables"], {"040904E4": {
            "CompanyName": "Acme", "FileDescription": "Start launcher",
            "FileVersion": PROJECT_VERSION, "InternalName": "Start",
            "OriginalFilename": "Start.exe", "ProductName": "Start",
            "ProductVersion": PROJECT_VERSION, "LegalCopyright": DEFAULT_COPYRIGHT}})

    # Nothing set: the project's own version and copyright.

    def test_defaults_carry_the_project_version_and_license(self):
        info = version_info(self.plain)
        self.assertEqual(info["tables"], {"040904E4": {
            "FileDescription": "Start launcher", "FileVersion": PROJECT_VERSION,
            "InternalName": "Start", "OriginalFilename": "Start.exe", "ProductName": "Start",
            "ProductVersion": PROJECT_VERSION, "LegalCopyright": DEFAULT_COPYRIGHT}})
        # Windows' installer detection reads these strings as it reads the name.
        for key, text in info["tables"]["040904E4"].items():
            for word in ("setup", "install", "update"):
                self.assertNotIn(word, text.lower(), key)
        numbers = tuple(int(part) for part in PROJECT_VERSION.split("."))
        numbers += (0,) * (4 - len(numbers))
        self.assertEqual(info["file_version"], numbers)
        self.assertEqual(info["product_version"], numbers)
        self.assertEqual(info["translations"], [(0x409, 1252)])

    def test_defaults_use_the_drawn_icon(self):
        drawn = icon_entries(self.drawn_icon)
        self.assertEqual(len(drawn), 9)
        self.assertEqual(main_icon(self.plain), drawn)
        self.assertEqual(main_icon(self.company_only), drawn)

    # The execution level Windows reads before the launcher starts.

    def test_each_level_is_the_manifests(self):
        self.assertEqual(execution_level(self.plain), "asInvoker")
        self.assertEqual(execution_level(self.branded), "asInvoker")
        self.assertEqual(execution_level(self.levels["requireAdministrator"]),
                         "requireAdministrator")
        self.assertIsNone(execution_level(self.levels["none"]))

    def test_the_checker_reads_the_level_of_the_launcher_itself(self):
        if not os.path.isfile(HOST_STARTCHECK):
            self.skipTest(f"no checker built for this host at {HOST_STARTCHECK}")
        for level, launcher in (("asInvoker", self.plain), *self.levels.items()):
            with self.subTest(level=level):
                done = subprocess.run([HOST_STARTCHECK, launcher, "--json"], capture_output=True,
                                      timeout=60)
                codes = [finding["code"] for finding in json.loads(done.stdout)["findings"]]
                # A 64-bit launcher is never elevated by installer detection,
                # whatever its name; one that asks for the rights is told so.
                self.assertNotIn("launcher-name-elevates", codes)
                self.assertEqual("launcher-asks-for-rights" in codes,
                                 level == "requireAdministrator", codes)

    def test_bad_levels_are_refused(self):
        for level, said in self.level_refusals.items():
            with self.subTest(level=level):
                self.assertIsNotNone(said, f"the configure with START_EXECUTION_LEVEL={level!r} "
                                     "succeeded")
                self.assertIn(f'START_EXECUTION_LEVEL "{level}" is none of asInvoker, '
                              "highestAvailable, requireAdministrator and none", said)

    # Bad icons stop the configure.

    def test_png_is_refused(self):
        self.assertRefused(self.png, f"START_ICON {self.png} is not an icon file: it does not "
                           "start with an icon directory (reserved 0, type 1)")

    def test_truncated_icon_is_refused(self):
        self.assertRefused(self.cut, f"START_ICON {self.cut} is not an icon file: entry 2 lies "
                           "beyond the end of the file")

    def test_missing_icon_is_refused(self):
        self.assertRefused(self.missing, f"START_ICON {self.missing} does not exist")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
