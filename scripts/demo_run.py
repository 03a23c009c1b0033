#!/usr/bin/env python3
"""The demo's second half (scripts/demo.sh builds first): copies the example
media folders to a scratch folder, puts the 64-bit Start.exe in each, runs it
under Wine in all three modes and shows what it started; then runs the
checker on two folders and explains its verdicts.

A stand-in program takes the place of the installer, of Wine's Explorer and
of Wine's web browser, and writes down how it was started: its path, its
current directory and its command line."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
from wine_prefix import WinePrefix, windows_path  # noqa: E402

BUILD = os.path.join(SOURCE, "build", "windows-x64")
START_EXE = os.path.join(BUILD, "Start.exe")
RECORDER = os.path.join(BUILD, "recorder.exe")
CHECKER = os.path.join(BUILD, "startcheck.exe")
STAND_INS = ("explorer.exe", "winebrowser.exe")


def stand_ins(prefix):
    folder = os.path.join(prefix, "drive_c", "windows", "system32")
    for name in STAND_INS:
        shutil.copy(RECORDER, os.path.join(folder, name))


def relative(path, media):
    """A Windows path as seen from the media folder: its own files by their
    relative names, Windows' own by their names."""
    root = windows_path(media)
    if path.lower().startswith(root.lower() + "\\"):
        return path[len(root) + 1:]
    if path.lower() == root.lower():
        return ". (the media folder)"
    return path


def show_settings(media):
    settings = os.path.join(media, "Start.ini")
    if not os.path.exists(settings):
        print("   (no Start.ini)")
        return
    with open(settings, encoding="cp1252") as file:
        for line in file.read().splitlines():
            print(f"   Start.ini | {line}")


def started(record):
    """What the stand-in wrote down, less Wine's own desktop (an Explorer
    that Wine starts with the first window)."""
    try:
        with open(record, encoding="utf-8") as file:
            lines = [line.rstrip("\n").split("\t") for line in file if line.strip()]
    except FileNotFoundError:
        return []
    return [line for line in lines if not line[2].endswith(" /desktop")]


def launch(wine, media, launcher="Start.exe"):
    """Runs the media's launcher from the media folder, as a double-click
    would, and prints what the stand-in saw."""
    record = os.path.join(wine.root, f"record-{time.monotonic_ns()}.txt")
    env = dict(wine.env, START_RECORD=windows_path(record))
    done = subprocess.run(wine.command(os.path.join(media, launcher)),
                          cwd=os.path.join(media, os.path.dirname(launcher)), env=env,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    shown = launcher.replace("/", "\\")
    print(f"   {shown} ended at once, with exit code {done.returncode}")
    deadline = time.monotonic() + 30
    while not started(record) and time.monotonic() < deadline:
        time.sleep(0.2)
    if not started(record):
        print("   nothing was started")
        return
    program, directory, command_line = started(record)[0]
    print(f"   it started:        {relative(program, media)}")
    print(f"   current directory: {relative(directory, media)}")
    print(f"   command line:      {command_line.replace(windows_path(media), '<media>')}")


def check(wine, media, meaning):
    """Runs the checker on the media folder, as the media will be E:\\."""
    done = subprocess.run(wine.command(CHECKER, "Start.exe", "--as", "E:\\Start.exe"),
                          cwd=media, env=wine.env, capture_output=True, timeout=300)
    for line in done.stdout.decode("utf-8", "replace").splitlines():
        print(f"   {line}")
    print(f"   startcheck's exit code: {done.returncode}. "
          f"{meaning.get(done.returncode, 'Wrong usage.')}")


def example(scratch, name, stand_in=None, launcher="Start.exe"):
    media = os.path.join(scratch, name)
    shutil.copytree(os.path.join(SOURCE, "examples", name), media)
    for keep in ("Setup", "Docs", "CD", "Installer"):
        marker = os.path.join(media, keep, ".keep")
        if os.path.exists(marker):
            os.remove(marker)
    shutil.copy(START_EXE, os.path.join(media, launcher))
    if stand_in:
        shutil.copy(RECORDER, os.path.join(media, stand_in))
    return media


def main():
    print("Preparing a fresh Wine prefix (takes a few seconds)...")
    wine = WinePrefix("start-demo", "explorer.exe=n;winebrowser.exe=n;winemenubuilder.exe=d",
                      prepare=stand_ins)
    try:
        scratch = tempfile.mkdtemp(prefix="media-", dir=wine.root)
        print(f"Media folders are copied from examples/ to {scratch}.")
        print("Paths below are relative to each media folder; in a command line, <media>")
        print("stands for it.")

        print("\n== 1. New process: examples/cd-installer")
        media = example(scratch, "cd-installer", stand_in="Setup/Setup.exe")
        show_settings(media)
        launch(wine, media)

        print("\n== 2. No settings, the default target: examples/plain-cd")
        media = example(scratch, "plain-cd", stand_in="Installer/Start.exe",
                        launcher="CD/Start.exe")
        print("   (no Start.ini beside CD\\Start.exe: it starts ..\\Installer\\Start.exe)")
        launch(wine, media, "CD/Start.exe")

        print("\n== 3. Shell open: examples/download-page")
        media = example(scratch, "download-page")
        show_settings(media)
        launch(wine, media)
        print("   (the shell opened Readme.html in the web browser, here a stand-in)")

        print("\n== 4. Folder: examples/usb-docs")
        media = example(scratch, "usb-docs")
        show_settings(media)
        launch(wine, media)
        print("   (Explorer, here a stand-in, opened the Docs folder)")

        print("\n== 5. startcheck on examples/cd-installer, as if the media were E:\\")
        check(wine, os.path.join(scratch, "cd-installer"), {
            0: "It works as configured.",
            1: "It works, with warnings: the stand-in installer is a 64-bit program, so\n"
               "   this media would start nothing on 32-bit Windows. Your own installer "
               "decides that.",
            2: "Nothing would start there.",
        })

        print("\n== 6. startcheck on examples/elevated-installer, whose installer is missing")
        media = example(scratch, "elevated-installer")
        check(wine, media, {
            0: "It works as configured.",
            1: "It works, with warnings.",
            2: "Nothing would start, as expected here: Setup\\Setup.exe has not been put\n"
               "   in yet. This is the checker doing its job before you burn the disc.",
        })
    finally:
        wine.close()
    print("\nNext: ./scripts/test.sh runs every test; ./scripts/release.sh makes the "
          "release archive.")
    print("The checker runs natively too: build/native/startcheck examples/usb-docs/Start.exe")


if __name__ == "__main__":
    main()
