#!/usr/bin/env python3
"""What the checker costs on hostile media: settings files and folders made
to be slow to read, each at about 10 MB. For each shape, the wall time, the
peak memory (from /usr/bin/time) and the bytes of output of one run, text
and JSON. A benchmark, not a test: it reports, and exits non-zero only when
a shape misses the target (1 s, 200 MB, 1 MB of output).

Usage: startcheck_cost.py STARTCHECK [WINE_STARTCHECK_EXE]
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

TARGET_SECONDS, TARGET_MEGABYTES, TARGET_OUTPUT = 1.0, 200, 1024 * 1024
SIZE = 10 * 1024 * 1024


def shapes():
    """(name, settings file bytes, number of extra files in the folder)."""
    header = b"[Information]\r\n"
    yield "blank-ended prefixes with backslashes", header + b"FileToRun=a" + b"\\ " * 1023, 0
    yield "blank-ended prefixes in a folder of 20,000 files", header + b"FileToRun=" + b"a " * 1023, 20000
    yield "10 MB of a misspelt key", header + b"FileToRn=1\r\n" * (SIZE // 12), 0
    yield "10 MB of keys outside the section", b"[Other]\r\n" + b"FileToRun=1\r\n" * (SIZE // 13), 0
    yield "one key of 10 MB", header + b"F" * SIZE + b"=1\r\n", 0
    yield "10 MB of a=1 lines", header + b"a=1\r\n" * (SIZE // 5), 0
    yield "a UTF-8 word of 10 MB without a mark", header + b"; " + "é".encode() * (SIZE // 2) + b"\r\n", 0


def run(command):
    began = time.monotonic()
    done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], capture_output=True, timeout=600)
    seconds = time.monotonic() - began
    peak_kb = int(re.findall(rb"(\d+)\s*$", done.stderr)[-1])
    return seconds, peak_kb / 1024, len(done.stdout)


def main():
    startcheck = os.path.abspath(sys.argv[1])
    missed = []
    print(f"startcheck cost: {startcheck}")
    print(f"{'shape':52} {'json':>5} {'seconds':>8} {'MB':>8} {'output':>10}")
    for name, content, extra in shapes():
        folder = tempfile.mkdtemp(prefix="startcheck-cost-")
        try:
            shutil.copy(startcheck, os.path.join(folder, "Start.exe"))
            with open(os.path.join(folder, "Start.ini"), "wb") as file:
                file.write(content)
            for index in range(extra):
                open(os.path.join(folder, f"file{index:05}.txt"), "wb").close()
            for json in (False, True):
                seconds, megabytes, output = run([startcheck, os.path.join(folder, "Start.exe")] +
                                                 (["--json"] if json else []))
                flag = "json" if json else "text"
                print(f"{name:52} {flag:>5} {seconds:8.2f} {megabytes:8.1f} {output:10}")
                if seconds > TARGET_SECONDS or megabytes > TARGET_MEGABYTES or output > TARGET_OUTPUT:
                    missed.append(f"{name} ({flag})")
        finally:
            shutil.rmtree(folder)
    print("targets: each within %.0f s, %d MB and %d bytes of output: %s" %
          (TARGET_SECONDS, TARGET_MEGABYTES, TARGET_OUTPUT,
           "all met" if not missed else "missed by " + "; ".join(missed)))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
