#!/usr/bin/env python3
"""The release archive as a media author gets it: reproducible, its sums
right, its programs the ones the builds made, and the unpacked launcher and
checker working under Wine. Then signing: with a throw-away CA, the signed
programs verify, a changed byte fails verification, the signed launcher still
starts its target, and the size check ignores the signature.

Environment: X64_BUILD, X86_BUILD (the two Windows build folders) and
RECORDER_EXE (a stand-in target that writes down how it was started)."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from wine_prefix import WinePrefix, windows_path  # noqa: E402

MAKE_RELEASE = os.path.join(SOURCE, "tools", "release", "make_release.py")
CHECK_BUILD = os.path.join(SOURCE, "tests", "tools", "check_build.py")
X64_BUILD, X86_BUILD = os.environ["X64_BUILD"], os.environ["X86_BUILD"]
RECORDER_EXE = os.environ["RECORDER_EXE"]
PROGRAMS = ["x64/Start.exe", "x64/startcheck.exe", "x86/Start.exe", "x86/startcheck.exe"]
with open(os.path.join(SOURCE, "CMakeLists.txt")) as listing:
    VERSION = re.search(r"project\(\w+ VERSION ([0-9.]+)", listing.read()).group(1)
TOP = f"start-{VERSION}"


def make_release(out, *options, env=None):
    """Runs the release script; its time comes from the last commit unless
    env says otherwise."""
    environment = {k: v for k, v in os.environ.items()
                   if k not in ("SOURCE_DATE_EPOCH", "START_SIGN_PASSWORD")}
    return subprocess.run([sys.executable, MAKE_RELEASE, "--x64", X64_BUILD, "--x86", X86_BUILD,
                           "--out", out, *options], capture_output=True, text=True,
                          env=dict(environment, **(env or {})))


def built(program):
    arch, name = program.split("/")
    with open(os.path.join(X64_BUILD if arch == "x64" else X86_BUILD, name), "rb") as file:
        return file.read()


def zip_time(seconds):
    """A time as a zip entry holds it: to the even second."""
    return time.gmtime(seconds - seconds % 2)[:6]


def unpack(archive, folder):
    with zipfile.ZipFile(archive) as opened:
        opened.extractall(folder)
    return os.path.join(folder, TOP)


def sums_of(folder):
    with open(os.path.join(folder, "SHA256SUMS")) as file:
        return dict(reversed(line.rstrip("\n").split("  ", 1)) for line in file)


def size_check_figure(exe, build):
    """What the build check measures beside the icon, version and manifest,
    and whether it passed; `build` is the folder whose configuration made it."""
    objdump = "x86_64-w64-mingw32-objdump" if "x64" in exe else "i686-w64-mingw32-objdump"
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        level = re.search(r"^START_EXECUTION_LEVEL:\w+=(.*)$", cache.read(), re.M).group(1)
    done = subprocess.run([sys.executable, CHECK_BUILD, exe, objdump, level],
                          capture_output=True, text=True)
    return done.returncode, int(re.search(r"(\d+) beside", done.stderr).group(1))


wine = None


def setUpModule():
    global wine
    wine = WinePrefix("start-release")


def tearDownModule():
    wine.close()


def launch_on_example(test, start_exe, checker_exe):
    """Copies examples/cd-installer with the recorder as its installer, runs
    the checker and then the launcher there, and checks both."""
    media = tempfile.mkdtemp(prefix="media-", dir=wine.root)
    shutil.copytree(os.path.join(SOURCE, "examples", "cd-installer"), media, dirs_exist_ok=True)
    shutil.copy(start_exe, os.path.join(media, "Start.exe"))
    shutil.copy(RECORDER_EXE, os.path.join(media, "Setup", "Setup.exe"))
    checked = subprocess.run(wine.command(checker_exe, "--json", "Start.exe"), cwd=media,
                             env=wine.env, capture_output=True, timeout=300)
    report = json.loads(checked.stdout)
    # The stand-in installer is a 64-bit program: a warning, no error.
    test.assertEqual(checked.returncode, 1, report)
    test.assertEqual([f["severity"] for f in report["findings"]], ["warning"])
    test.assertEqual((report["mode"], report["request"]["commandLine"]),
                     ("ProcessStart", "Setup\\Setup.exe /lang=en"))

    record = os.path.join(media, "record.txt")
    env = dict(wine.env, START_RECORD=windows_path(record))
    launched = subprocess.run(wine.command(os.path.join(media, "Start.exe")), cwd=media, env=env,
                              timeout=300, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    test.assertEqual(launched.returncode, 0)
    deadline = time.monotonic() + 60
    while not (os.path.exists(record) and os.path.getsize(record)) and \
            time.monotonic() < deadline:
        time.sleep(0.2)
    with open(record, "rb") as file:
        program, directory, command_line = file.read().decode().rstrip("\n").split("\t")
    test.assertEqual(program.lower(), (windows_path(media) + "\\Setup\\Setup.exe").lower())
    test.assertEqual(directory.lower(), (windows_path(media) + "\\Setup").lower())
    test.assertEqual(command_line, "Setup\\Setup.exe /lang=en")


class ArchiveTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="start-release-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch)
        cls.first = make_release(os.path.join(cls.scratch, "first"))
        time.sleep(2)  # another second in any time taken from the clock
        cls.second = make_release(os.path.join(cls.scratch, "second"))
        cls.archive = os.path.join(cls.scratch, "first", f"{TOP}.zip")
        cls.folder = unpack(cls.archive, os.path.join(cls.scratch, "unpacked"))

    def test_made_twice_the_archive_is_the_same(self):
        self.assertEqual(self.first.returncode, 0, self.first.stderr)
        self.assertEqual(self.second.returncode, 0, self.second.stderr)
        with open(self.archive, "rb") as a, \
                open(os.path.join(self.scratch, "second", f"{TOP}.zip"), "rb") as b:
            self.assertTrue(a.read() == b.read(), "the two archives differ")

    def test_sums_cover_every_file_and_match(self):
        listed = sums_of(self.folder)
        present = {os.path.relpath(os.path.join(root, name), self.folder).replace(os.sep, "/")
                   for root, _, names in os.walk(self.folder) for name in names}
        self.assertEqual(set(listed), present - {"SHA256SUMS"})
        for name, digest in listed.items():
            with open(os.path.join(self.folder, name), "rb") as file:
                self.assertEqual(hashlib.sha256(file.read()).hexdigest(), digest, name)
        with open(self.archive, "rb") as file, open(self.archive + ".sha256") as published:
            self.assertEqual(published.read(),
                             f"{hashlib.sha256(file.read()).hexdigest()}  {TOP}.zip\n")

    def test_programs_are_the_ones_the_builds_made(self):
        for program in PROGRAMS:
            with self.subTest(program=program), \
                    open(os.path.join(self.folder, program), "rb") as file:
                self.assertTrue(file.read() == built(program), f"{program} is not the build's")

    def test_holds_docs_examples_license_and_says_it_is_unsigned(self):
        for name in ("docs/settings.md", "docs/startcheck.md", "docs/startcheck.schema.json",
                     "examples/cd-installer/Start.ini", "examples/cd-installer/autorun.inf",
                     "LICENSE.txt"):
            self.assertTrue(os.path.isfile(os.path.join(self.folder, name)), name)
        for empty in ("examples/plain-cd/Installer", "examples/usb-docs/Docs"):
            self.assertTrue(os.path.isdir(os.path.join(self.folder, empty)), empty)
        with open(os.path.join(self.folder, "README.txt"), "rb") as file:
            readme = file.read()
        self.assertIn(f"Start {VERSION}".encode(), readme)
        self.assertIn(b"Signature: none", readme)
        self.assertNotIn(b"\n", readme.replace(b"\r\n", b""))  # Windows line ends only

    def test_entries_bear_the_last_commits_time_and_fixed_modes(self):
        commit_time = int(subprocess.run(["git", "-C", SOURCE, "log", "-1", "--format=%ct"],
                                         check=True, capture_output=True,
                                         text=True).stdout)
        expected = zip_time(commit_time)
        with zipfile.ZipFile(self.archive) as opened:
            infos = opened.infolist()
        self.assertEqual([i.filename for i in infos], sorted(i.filename for i in infos))
        for info in infos:
            self.assertEqual(info.date_time, expected, info.filename)
            mode = info.external_attr >> 16
            self.assertEqual(mode, 0o40755 if info.is_dir() else 0o100644, info.filename)

    def test_source_date_epoch_sets_the_time(self):
        out = os.path.join(self.scratch, "dated")
        done = make_release(out, env={"SOURCE_DATE_EPOCH": "1700000001"})
        self.assertEqual(done.returncode, 0, done.stderr)
        with zipfile.ZipFile(os.path.join(out, f"{TOP}.zip")) as opened:
            self.assertEqual({i.date_time for i in opened.infolist()},
                             {zip_time(1700000001)})

    def test_a_missing_build_is_named(self):
        done = subprocess.run([sys.executable, MAKE_RELEASE, "--x64", X64_BUILD,
                               "--x86", os.path.join(self.scratch, "nowhere"),
                               "--out", os.path.join(self.scratch, "none")],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 1)
        self.assertIn("is no configured build", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.scratch, "none")))

    def test_unpacked_launcher_and_checker_work_under_wine(self):
        launch_on_example(self, os.path.join(self.folder, "x64", "Start.exe"),
                          os.path.join(self.folder, "x64", "startcheck.exe"))


def openssl(*arguments, cwd):
    subprocess.run(["openssl", *arguments], cwd=cwd, check=True, capture_output=True)


def make_certificates(folder):
    """A throw-away CA and a code-signing certificate it issued: PEM files, an
    encrypted PEM key and a PKCS#12 bundle, both with the password 'media'."""
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
            "ca.pem", "-days", "30", "-subj", "/CN=Throw-away test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key", "-out",
            "signer.csr", "-subj", "/CN=Acme Media Test Signer", cwd=folder)
    with open(os.path.join(folder, "signer.ext"), "w") as file:
        file.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                   "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "signer.pem", "-days", "30", "-extfile", "signer.ext",
            cwd=folder)
    openssl("pkey", "-in", "signer.key", "-aes256", "-passout", "pass:media", "-out",
            "signer-encrypted.key", cwd=folder)
    openssl("pkcs12", "-export", "-in", "signer.pem", "-inkey", "signer.key", "-passout",
            "pass:media", "-out", "signer.pfx", cwd=folder)


def verify(exe, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", exe],
                          capture_output=True, text=True)


class SigningTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="start-signing-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch)
        cls.keys = os.path.join(cls.scratch, "keys")
        os.makedirs(cls.keys)
        make_certificates(cls.keys)
        cls.ca = os.path.join(cls.keys, "ca.pem")
        cls.signed = {}
        for kind, options in (("pkcs12", ["--cert", "signer.pfx"]),
                              ("pem", ["--cert", "signer.pem", "--key", "signer-encrypted.key"])):
            options = [os.path.join(cls.keys, o) if o.startswith("signer") else o
                       for o in options]
            out = os.path.join(cls.scratch, kind)
            done = make_release(out, *options, env={"START_SIGN_PASSWORD": "media"})
            if done.returncode:
                raise AssertionError(f"signed release ({kind}) failed:\n{done.stderr}")
            cls.signed[kind] = unpack(os.path.join(out, f"{TOP}.zip"),
                                      os.path.join(cls.scratch, f"{kind}-unpacked"))

    def test_every_program_verifies_against_the_ca(self):
        for kind, folder in self.signed.items():
            for program in PROGRAMS:
                with self.subTest(kind=kind, program=program):
                    done = verify(os.path.join(folder, program), self.ca)
                    self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                    self.assertIn("Acme Media Test Signer", done.stdout)

    def test_a_changed_byte_fails_verification(self):
        for program in PROGRAMS:
            with self.subTest(program=program):
                changed = os.path.join(self.scratch, "changed.exe")
                shutil.copy(os.path.join(self.signed["pkcs12"], program), changed)
                with open(changed, "r+b") as file:
                    file.seek(0x600)  # inside the code
                    byte = file.read(1)
                    file.seek(0x600)
                    file.write(bytes([byte[0] ^ 0xFF]))
                self.assertNotEqual(verify(changed, self.ca).returncode, 0)

    def test_another_ca_does_not_vouch_for_them(self):
        other = os.path.join(self.scratch, "other")
        os.makedirs(other)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                "ca.pem", "-days", "30", "-subj", "/CN=Another CA", cwd=other)
        done = verify(os.path.join(self.signed["pem"], "x86/Start.exe"),
                      os.path.join(other, "ca.pem"))
        self.assertNotEqual(done.returncode, 0)

    def test_sums_and_readme_describe_the_signed_programs(self):
        folder = self.signed["pkcs12"]
        listed = sums_of(folder)
        for program in PROGRAMS:
            with open(os.path.join(folder, program), "rb") as file:
                signed = file.read()
            self.assertEqual(hashlib.sha256(signed).hexdigest(), listed[program])
            self.assertGreater(len(signed), len(built(program)))
        with open(os.path.join(folder, "README.txt"), "rb") as file:
            self.assertIn(b"signed with Authenticode (SHA-256)", file.read())

    def test_size_check_does_not_count_the_signature(self):
        for program in ("x64/Start.exe", "x86/Start.exe"):
            with self.subTest(program=program):
                arch = program.split("/")[0]
                build = X64_BUILD if arch == "x64" else X86_BUILD
                plain_code, plain = size_check_figure(os.path.join(build, "Start.exe"), build)
                signed_code, signed = size_check_figure(
                    os.path.join(self.signed["pkcs12"], program), build)
                self.assertEqual((signed_code, signed), (plain_code, plain))

    def test_a_wrong_password_fails_and_leaves_no_archive(self):
        out = os.path.join(self.scratch, "wrong")
        done = make_release(out, "--cert", os.path.join(self.keys, "signer.pfx"),
                            env={"START_SIGN_PASSWORD": "not-it"})
        self.assertEqual(done.returncode, 1)
        self.assertIn("signing failed", done.stderr)
        self.assertFalse(os.path.exists(os.path.join(out, f"{TOP}.zip")))

    def test_signed_launcher_still_starts_its_target(self):
        folder = self.signed["pkcs12"]
        launch_on_example(self, os.path.join(folder, "x64", "Start.exe"),
                          os.path.join(folder, "x64", "startcheck.exe"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[1:], verbosity=2)
