"""A Wine prefix for one test run, shared by the tests that run Windows
programs under Wine."""

import os
import shutil
import subprocess
import tempfile


def windows_path(path):
    """The Windows path of a host path, as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WinePrefix:
    """A fresh prefix in a scratch folder, with its wineserver kept alive so
    that each program starts quickly. `prepare(prefix)` may change the prefix
    before the server starts."""

    def __init__(self, name, dll_overrides="winemenubuilder.exe=d", prepare=None):
        self.root = tempfile.mkdtemp(prefix=f"{name}-")
        self.prefix = os.path.join(self.root, "prefix")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES=dll_overrides)
        self.env.pop("DISPLAY", None)
        subprocess.run(["wineboot", "-i"], env=self.env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        if prepare:
            prepare(self.prefix)
        self.server = subprocess.Popen(["wineserver", "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        self.server.wait(timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)
