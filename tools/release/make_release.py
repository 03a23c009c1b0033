#!/usr/bin/env python3
"""Makes the release archive start-<version>.zip from the two Windows builds:
both launchers and both checkers, the settings reference, the examples, a
short text for media authors, the license and SHA256SUMS.

The archive is reproducible: its entries come in a fixed order with fixed
modes, and every entry bears the time in SOURCE_DATE_EPOCH (by default the
last commit's time). With --cert, the four programs are signed first
(Authenticode, SHA-256, with Debian's osslsigncode); the key's password, when
it has one, comes from the environment variable START_SIGN_PASSWORD and never
appears on a command line.

Usage: make_release.py --x64 BUILD --x86 BUILD --out FOLDER
                       [--cert FILE [--key FILE] [--timestamp URL]]
"""

import argparse
import hashlib
import io
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAMS = ("Start.exe", "startcheck.exe")
PASSWORD_VARIABLE = "START_SIGN_PASSWORD"
# Texts a Windows user opens in Notepad get Windows line ends.
WINDOWS_TEXTS = ("README.txt", "LICENSE.txt")


class ReleaseError(Exception):
    pass


def project_version(build):
    cache = os.path.join(build, "CMakeCache.txt")
    try:
        with open(cache) as file:
            found = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", file.read(), re.M)
    except FileNotFoundError:
        raise ReleaseError(f"{build} is no configured build (no CMakeCache.txt)") from None
    if not found:
        raise ReleaseError(f"{cache} names no project version")
    return found.group(1).strip()


def release_time():
    """SOURCE_DATE_EPOCH, else the last commit's time; a zip entry cannot be
    dated before 1980."""
    text = os.environ.get("SOURCE_DATE_EPOCH")
    if text is None:
        text = subprocess.run(["git", "-C", SOURCE, "log", "-1", "--format=%ct"], check=True,
                              capture_output=True, text=True).stdout.strip()
    if not text.isdigit():
        raise ReleaseError(f"SOURCE_DATE_EPOCH {text!r} is not a number of seconds")
    return max(int(text), 315532800)


def tracked_files(*folders):
    """The files git knows under the folders, as a clean clone has them."""
    listed = subprocess.run(["git", "-C", SOURCE, "ls-files", "-z", "--", *folders], check=True,
                            capture_output=True).stdout.decode().split("\0")
    return sorted(name for name in listed if name)


def read(path):
    with open(path, "rb") as file:
        return file.read()


def with_windows_line_ends(text):
    return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def sign(image, cert, key, timestamp, when):
    """The program's bytes signed with Authenticode (SHA-256)."""
    with tempfile.TemporaryDirectory() as scratch:
        unsigned, signed = os.path.join(scratch, "in.exe"), os.path.join(scratch, "out.exe")
        with open(unsigned, "wb") as file:
            file.write(image)
        command = ["osslsigncode", "sign", "-h", "sha256"]
        command += ["-certs", cert, "-key", key] if key else ["-pkcs12", cert]
        password = os.environ.get(PASSWORD_VARIABLE)
        if password is not None:
            command += ["-readpass", "-"]  # read from standard input
        # Without a time-stamp server the signature bears the release's time,
        # so the same key signs the same bytes the same way.
        command += ["-ts", timestamp] if timestamp else ["-time", str(when)]
        command += ["-in", unsigned, "-out", signed]
        done = subprocess.run(command, input=(password or "").encode(), capture_output=True)
        if done.returncode or not os.path.exists(signed):
            said = (done.stderr or done.stdout).decode("utf-8", "replace").strip()
            raise ReleaseError(f"signing failed: {said.splitlines()[-1] if said else 'no output'}")
        return read(signed)


def signature_note(signed):
    if not signed:
        return ("Signature: none. These programs are not signed; Windows may warn\n"
                "before it starts them. Check them against SHA256SUMS.")
    return ("Signature: the four programs are signed with Authenticode (SHA-256).\n"
            "In Explorer: Properties, Digital Signatures. With the Windows SDK:\n"
            "    signtool verify /pa /v x86\\Start.exe")


def release_entries(x64, x86, version, signing, when):
    """(archive path, bytes) of every file, the sums last."""
    entries = {}
    for arch, build in (("x64", x64), ("x86", x86)):
        for program in PROGRAMS:
            path = os.path.join(build, program)
            if not os.path.isfile(path):
                raise ReleaseError(f"{path} is missing: build the {arch} preset "
                                   "(the release holds the launcher under its own name)")
            image = read(path)
            if signing:
                image = sign(image, *signing, when)
            entries[f"{arch}/{program}"] = image
    for name in tracked_files("docs", "examples"):
        if os.path.basename(name) == ".keep":
            continue  # folders are entries of their own
        entries[name] = read(os.path.join(SOURCE, name))
    readme = read(os.path.join(SOURCE, "tools", "release", "README.txt")).decode()
    readme = readme.replace("{version}", version).replace("{signature}",
                                                          signature_note(bool(signing)))
    entries["README.txt"] = readme.encode()
    entries["LICENSE.txt"] = read(os.path.join(SOURCE, "LICENSE"))
    for name in WINDOWS_TEXTS:
        entries[name] = with_windows_line_ends(entries[name])
    sums = "".join(f"{hashlib.sha256(entries[name]).hexdigest()}  {name}\n"
                   for name in sorted(entries))
    entries["SHA256SUMS"] = sums.encode()
    return entries


def folders_of(names):
    folders = set()
    for name in names:
        parts = name.split("/")[:-1]
        folders.update("/".join(parts[:count]) + "/" for count in range(1, len(parts) + 1))
    folders.update(os.path.dirname(name) + "/" for name in tracked_files("examples")
                   if os.path.basename(name) == ".keep")
    return folders


def zip_archive(entries, top, when):
    """The zip's bytes: a top folder, every folder and file in name order, one
    time, one mode for folders and one for files."""
    stamp = time.gmtime(when)[:6]
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name in sorted(folders_of(entries) | set(entries)):
            info = zipfile.ZipInfo(f"{top}/{name}", date_time=stamp)
            info.create_system = 3  # modes in Unix form
            if name.endswith("/"):
                info.external_attr = (0o40755 << 16) | 0x10  # and the MS-DOS folder bit
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, entries[name], compresslevel=9)
    return buffer.getvalue()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--x64", required=True, help="the windows-x64 build folder")
    parser.add_argument("--x86", required=True, help="the windows-x86 build folder")
    parser.add_argument("--out", required=True, help="the folder for the archive")
    parser.add_argument("--cert", help="signing certificate: PKCS#12 (.pfx, .p12), or PEM "
                        "with --key")
    parser.add_argument("--key", help="the PEM private key of a PEM --cert")
    parser.add_argument("--timestamp", metavar="URL", help="an RFC 3161 time-stamp server")
    options = parser.parse_args()
    if (options.key or options.timestamp) and not options.cert:
        parser.error("--key and --timestamp need --cert")
    try:
        version = project_version(options.x64)
        if project_version(options.x86) != version:
            raise ReleaseError("the x64 and x86 builds are of different versions")
        when = release_time()
        signing = (options.cert, options.key, options.timestamp) if options.cert else None
        entries = release_entries(options.x64, options.x86, version, signing, when)
        top = f"start-{version}"
        archive = zip_archive(entries, top, when)
    except ReleaseError as error:
        print(f"make_release: {error}", file=sys.stderr)
        return 1
    os.makedirs(options.out, exist_ok=True)
    path = os.path.join(options.out, f"{top}.zip")
    with open(path, "wb") as file:
        file.write(archive)
    digest = hashlib.sha256(archive).hexdigest()
    with open(path + ".sha256", "w") as file:
        file.write(f"{digest}  {top}.zip\n")
    print(f"{path}: {len(archive)} bytes, {'signed' if signing else 'not signed'}")
    print(f"SHA-256 {digest}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
