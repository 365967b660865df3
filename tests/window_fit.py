#!/usr/bin/env python3
"""The whole picture on every player's screen: the staged Karvel.exe under Wine at several DPIs,
with a taller menu bar and on small screens, each in an Xvfb of its own with no window manager
(as on Windows, nothing moves a window back on screen). A probe program run beside the game
reports the window, its menu bar and its client area; a screenshot shows the picture whole.
    window_fit.py KARVEL_EXE PROBE_EXE WORK_DIR      (WINEPREFIX: a prepared prefix, left as it is)"""
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from winplay import Client, Shot, checkWholePicture, fail, freshFolder, waitFor

CASES = [  # DPI, menu bar height in negative twips (None: the standard one), screen; then what the
    # player gets: menu bar height, window left, top, width, height, client width, height
    (96, None, "1024x768", 19, (600, 300, 330, 375), (322, 329)),  # as created: nothing moves
    (120, None, "1024x768", 24, (600, 300, 330, 378), (322, 322)),
    (144, None, "1024x768", 28, (600, 300, 330, 388), (320, 322)),
    (192, None, "1024x768", 37, (600, 300, 330, 406), (320, 322)),
    (96, "-600", "1024x768", 41, (600, 300, 330, 390), (322, 322)),  # 40-pixel items and the bar's lower line
    (96, None, "800x600", 19, (470, 225, 330, 375), (322, 329)),
    (96, None, "1024x600", 19, (600, 225, 330, 375), (322, 329)),
    (144, None, "1024x600", 28, (600, 212, 330, 388), (320, 322)),
    (96, None, "320x240", 19, (0, 0, 330, 252), (322, 206)),  # smaller than the picture: at the corner, cut
]
PICTURE = (320, 322)  # "GAME" ends at column 319, the well's frame at row 321


def endsWithUs(sig):
    """PR_SET_PDEATHSIG: the child gets SIG when this script ends, even killed."""
    return lambda: ctypes.CDLL(None).prctl(1, sig)


def configure(work, dpi, menu):
    """One registry import for the case, then a new server, which reads it."""
    reg = os.path.join(work, "case.reg")
    with open(reg, "w") as f:
        f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"LogPixels\"=dword:%08x\n\n"
                "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\n"
                "\"LogPixels\"=dword:%08x\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\n"
                "\"MenuHeight\"=%s\n" % (dpi, dpi, '"%s"' % menu if menu else "-"))
    subprocess.run(["wine", "regedit", "/S", reg], check=True)
    stopWine()


def stopWine():
    """Ends every process of the case's prefix and its server, which saves the registry."""
    if os.path.isdir(os.environ["WINEPREFIX"]):
        subprocess.run(["wineserver", "-k"])
        subprocess.run(["wineserver", "-w"])


def measure(exe, probe, work, screen, case):
    """Starts the game on a screen of its own; returns the probe's figures by name, and a screenshot."""
    display, shown = 150, os.environ["DISPLAY"]
    while os.path.exists("/tmp/.X%d-lock" % display) or os.path.exists("/tmp/.X11-unix/X%d" % display):
        display += 1
    os.environ["DISPLAY"] = ":%d" % display
    xvfb = subprocess.Popen(["Xvfb", os.environ["DISPLAY"], "-screen", "0", screen + "x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL, preexec_fn=endsWithUs(signal.SIGTERM))  # removing its lock
    try:
        waitFor("the display", lambda: os.path.exists("/tmp/.X11-unix/X%d" % display), seconds=5)
        subprocess.Popen(["wine", exe], preexec_fn=endsWithUs(signal.SIGKILL))
        # Into a file: Wine's services, started with the game, may hold a pipe open for ever.
        with open(os.path.join(work, "probe.txt"), "w+") as f:
            subprocess.run(["wine", probe], stdout=f, timeout=60, preexec_fn=endsWithUs(signal.SIGKILL))
            f.seek(0)
            text = f.read()
        shot = Shot(work, case.replace(", ", "-").replace(" ", "-"))
    finally:  # on a timeout or a failure too: the game, the probe and their server
        stopWine()
        xvfb.terminate()
        xvfb.wait()
        os.environ["DISPLAY"] = shown
    # "dpi 96 bar 19 window 600 300 330 375 ..." by name
    figures = {name: [int(n) for n in numbers.split()] for name, numbers in re.findall(r"([a-z]+)((?: -?\d+)+)", text)}
    if sorted(figures) != ["at", "bar", "client", "dpi", "window"]:
        fail("the probe saw no game window: %s" % text)
    return figures, shot


def main():
    exe, probe, work = [os.path.abspath(a) for a in sys.argv[1:4]]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped"))  # the cleanup below runs
    shared, prefix = os.environ["WINEPREFIX"], os.path.join(work, "prefix")
    os.environ["WINEPREFIX"] = prefix
    stopWine()  # the server of a killed run would go on writing into the folder
    freshFolder(work)
    # One prefix for every case, with DPI and metrics that never reach the other tests: Wine's
    # files linked to the tests' prefix, which nothing here writes, and the registry copied.
    subprocess.run(["cp", "-al", shared, prefix], check=True)
    for name in ("system.reg", "user.reg", "userdef.reg"):  # the server rewrites them in place
        os.remove(os.path.join(prefix, name))
        shutil.copy2(os.path.join(shared, name), prefix)
    linked, failures = time.time(), 0
    try:
        for dpi, menu, screen, bar, window, client in CASES:
            case = "%d DPI, menu %s, screen %s" % (dpi, menu or "standard", screen)
            configure(work, dpi, menu)
            got, shot = measure(exe, probe, work, screen, case)
            print("%s: dpi %d, menu bar %d, window (%d, %d) %dx%d, client %dx%d at (%d, %d)"
                  % ((case,) + tuple(got["dpi"] + got["bar"] + got["window"] + got["client"] + got["at"])))
            for what, expected, seen in [("DPI", (dpi,), got["dpi"]), ("menu bar", (bar,), got["bar"]),
                                         ("window", window, got["window"]), ("client area", client, got["client"])]:
                if tuple(seen) != expected:
                    print("FAIL: %s: %s %s, expected %s" % (case, what, tuple(seen), expected))
                    failures += 1
            if all(c >= p for c, p in zip(client, PICTURE)):  # as the case expects, not as seen
                checkWholePicture(Client(shot, got["at"]), case)  # exits on a missing pixel
    finally:
        stopWine()
        # A file still linked but newer than the links: Wine wrote into the tests' prefix.
        written = subprocess.run(["find", prefix, "-type", "f", "-links", "+1", "-newermt", "@%f" % linked],
                                 capture_output=True, text=True).stdout.split()
        shutil.rmtree(prefix)
    if written:
        fail("Wine wrote into files of the tests' prefix: %s" % written)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
