#!/usr/bin/env python3
"""A function pointer taken from GetProcAddress must carry WINAPI: in the
32-bit build a call through a pointer of the wrong convention goes unnoticed
at run time (the frame pointer puts the stack right), so the build must stop.
Compiles one use of each kind against the platform layer's header and checks
that only the wrong one fails, and fails for that reason.

Usage: check_system_call.py CXX SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest

CXX, SOURCE_DIR = sys.argv[1], sys.argv[2]

USE = """#include "platform/windows/system_library.h"
using Function = int ({convention}*)(int);
Function Lookup() {{ return SystemFunction<Function>(nullptr, "GetSystemMetrics"); }}
"""


def compile_use(convention):
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "use.cpp")
        with open(source, "w") as file:
            file.write(USE.format(convention=convention))
        return subprocess.run([CXX, "-std=c++17", "-Wall", "-Wextra", "-Werror", "-fsyntax-only",
                               "-I", SOURCE_DIR, source], capture_output=True, text=True)


class SystemCallConventionTest(unittest.TestCase):
    def test_winapi_pointer_compiles(self):
        finished = compile_use("WINAPI ")
        self.assertEqual(finished.returncode, 0, finished.stderr)

    def test_pointer_without_winapi_stops_the_build(self):
        finished = compile_use("")
        self.assertNotEqual(finished.returncode, 0)
        self.assertIn("must carry WINAPI", finished.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
