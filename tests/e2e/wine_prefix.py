"""A Wine prefix for one test run, shared by the tests that run Windows
programs under Wine.

Both loaders are called directly: with 32-bit Wine installed, Debian's `wine`
and `wineboot` wrappers prefer the 32-bit loader even for 64-bit programs. The
32-bit loader runs under qemu-i386 here (the kernel runs no 32-bit code), and
qemu must then keep the low 2 GiB of address space for Wine: without
QEMU_RESERVED_VA every 32-bit start fails after a minute ("failed to map the
shared user data"), and a prefix made without it has an empty syswow64. So the
setting is in the environment of every Wine call, 64-bit ones included."""

import os
import shutil
import subprocess
import tempfile

WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
QEMU_RESERVED_VA = "0x7fff0000"


def windows_path(path):
    """The Windows path of a host path, as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def can_run_32_bit_programs():
    """32-bit Wine is installed and qemu runs 32-bit Linux programs for it."""
    return os.path.isfile(WINE32) and os.path.exists("/proc/sys/fs/binfmt_misc/qemu-i386")


def wine_loader(program):
    """The loader for a Windows program: by its PE machine field."""
    with open(program, "rb") as file:
        header = file.read(4096)
    offset = int.from_bytes(header[0x3C:0x40], "little")
    machine = int.from_bytes(header[offset + 4:offset + 6], "little")
    return WINE32 if machine == 0x14C else WINE64


class WinePrefix:
    """A fresh prefix in a scratch folder, with its wineserver kept alive so
    that each program starts quickly. `prepare(prefix)` may change the prefix
    before the server starts."""

    def __init__(self, name, dll_overrides="winemenubuilder.exe=d", prepare=None):
        self.root = tempfile.mkdtemp(prefix=f"{name}-")
        self.prefix = os.path.join(self.root, "prefix")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES=dll_overrides, WINELOADER=WINE64,
                        QEMU_RESERVED_VA=QEMU_RESERVED_VA)
        self.env.pop("DISPLAY", None)
        subprocess.run([WINE64, "wineboot", "-i"], env=self.env, check=True, timeout=600,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=300)
        if prepare:
            prepare(self.prefix)
        self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The first program on a fresh server also brings up Wine's services;
        # a test's first launch should not be the one that waits for them.
        subprocess.run([WINE64, "winepath.exe", "-w", "/"], env=self.env, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def command(self, program, *arguments):
        """The command line that runs a Windows program in this prefix."""
        return [wine_loader(program), program, *arguments]

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        self.server.wait(timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)
