#!/usr/bin/env python3
"""Two clean builds of the same sources, in folders at different paths and at
different times, must give byte-identical programs, so that anyone can check
a published launcher against its source.

Usage: check_reproducible.py CMAKE SOURCE_DIR TOOLCHAIN_FILE GENERATOR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

CMAKE, SOURCE, TOOLCHAIN, GENERATOR = sys.argv[1:5]
PROGRAMS = ["Start.exe", "startcheck.exe"]


def copy_sources(destination):
    """The files git knows, as a clean clone has them."""
    listed = subprocess.run(["git", "-C", SOURCE, "ls-files", "-z"], check=True,
                            capture_output=True).stdout.decode().split("\0")
    for name in filter(None, listed):
        target = os.path.join(destination, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(SOURCE, name), target)


def build(source, build_folder):
    subprocess.run([CMAKE, "-S", source, "-B", build_folder, "-G", GENERATOR,
                    f"-DCMAKE_TOOLCHAIN_FILE={os.path.join(source, os.path.relpath(TOOLCHAIN, SOURCE))}",
                    "-DCMAKE_BUILD_TYPE=MinSizeRel"], check=True, capture_output=True)
    subprocess.run([CMAKE, "--build", build_folder, "--target", "Start", "startcheck"],
                   check=True, capture_output=True)
    with_bytes = {}
    for program in PROGRAMS:
        with open(os.path.join(build_folder, program), "rb") as file:
            with_bytes[program] = file.read()
    return with_bytes


class ReproducibleTest(unittest.TestCase):
    def test_two_clean_builds_give_the_same_bytes(self):
        scratch = tempfile.mkdtemp(prefix="start-reproducible-")
        self.addCleanup(shutil.rmtree, scratch)
        first_source = os.path.join(scratch, "a")
        second_source = os.path.join(scratch, "elsewhere", "b-longer-path")
        copy_sources(first_source)
        first = build(first_source, os.path.join(scratch, "build-a"))
        time.sleep(2)  # another second in any time stamp
        copy_sources(second_source)
        second = build(second_source, os.path.join(second_source, "build"))
        for program in PROGRAMS:
            with self.subTest(program=program):
                self.assertEqual(len(first[program]), len(second[program]))
                self.assertTrue(first[program] == second[program],
                                f"{program} differs between the two builds")
                self.assertNotIn(scratch.encode(), first[program])
                # No link time stamp: the PE header's TimeDateStamp is 0.
                header = int.from_bytes(first[program][0x3C:0x40], "little")
                self.assertEqual(first[program][header + 8:header + 12], b"\0\0\0\0")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
