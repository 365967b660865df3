#!/usr/bin/env python3
"""The whole picture on every player's screen: the staged Karvel.exe under Wine at several DPIs,
with a taller menu bar and on small screens, each in an Xvfb of its own with no window manager
(as on Windows, nothing moves a window back on screen). A probe program run beside the game
reports the window, its client area and the work area twice: as the game sees them, and on the
screen, where a system that scales programs unaware of DPI shows them larger. What to expect is
computed from what the system reports, never from one Wine's metrics; a screenshot shows the
picture whole at the system's scale.
    window_fit.py KARVEL_EXE PROBE_EXE WORK_DIR      (WINEPREFIX: a prepared prefix, left as it is)"""
import ctypes
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from winplay import Client, Shot, checkWholePicture, fail, freshFolder, waitFor

CASES = [  # DPI, menu bar height in negative twips (None: the standard one), screen
    (96, None, "1024x768"),  # as created: nothing moves
    (120, None, "1024x768"),
    (144, None, "1024x768"),
    (192, None, "1024x768"),
    (96, "-600", "1024x768"),  # 40-pixel menu items
    (96, None, "800x600"),
    (96, None, "1024x600"),
    (144, None, "1024x600"),
    (192, None, "800x600"),
    (96, None, "320x240"),  # smaller than the picture: at the work area's corner, cut
]
PICTURE = (320, 322)  # "GAME" ends at column 319, the well's frame at row 321
CREATED = (600, 300, 330, 375)  # where and how large the game creates its window
FIGURES = ("dpi", "bar", "window", "client", "at", "work")  # what the probe reports of each view


def expectedWindow(seen):
    """Where the game's window must lie, from what the system reports to the game: the created
    window grown by the client area's shortfall, moved inside the work area by the least distance
    (a work area too small: at its top-left corner); whether it fits; and the work area's size."""
    left, top, right, bottom = seen["work"]
    frame = [w - c for w, c in zip(seen["window"][2:], seen["client"])]
    size = [max(CREATED[2 + i], PICTURE[i] + frame[i]) for i in range(2)]
    room = (right - left, bottom - top)
    place = [max(low, min(CREATED[i], low + room[i] - size[i])) for i, low in enumerate((left, top))]
    return place + size, size[0] <= room[0] and size[1] <= room[1], room


def checkCase(case, seen, screen, shot):
    """The failures of one case: the window where the game's rule puts it, inside the work area;
    and the whole picture on the screen at the scale the system applies."""
    failures = []
    (x, y, w, h), fits, room = expectedWindow(seen)
    got = seen["window"]
    # Where the work area cannot hold the window, the system may keep it smaller.
    if got[:2] != [x, y] or any(g != e and (fits or g < r) for g, e, r in zip(got[2:], (w, h), room)):
        failures.append("window %s, expected %s" % (tuple(got), (x, y, w, h)))
    if fits:
        scale = screen["dpi"][0] / seen["dpi"][0]
        # The system rounds the game's figures to its pixels: at 1.5 a window at the work area's
        # edge may end half a pixel, rounded to one, past it.
        slack = math.ceil(scale) - 1
        left, top, right, bottom = screen["work"]
        sx, sy, sw, sh = screen["window"]
        if sx < left - slack or sy < top - slack or sx + sw > right + slack or sy + sh > bottom + slack:
            failures.append("on the screen the window %s leaves the work area %s" % (screen["window"], screen["work"]))
        if any(c < p for c, p in zip(seen["client"], PICTURE)):
            failures.append("client area %s smaller than the picture" % (seen["client"],))
        elif not failures:  # exits on a missing pixel
            checkWholePicture(Client(shot, screen["at"], scale), case)
    return failures


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
        subprocess.run([os.environ["KARVEL_WINESERVER"], "-k"])
        subprocess.run([os.environ["KARVEL_WINESERVER"], "-w"])


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
    # "seen dpi 96 bar 19 window 600 300 330 375 ..." and "screen ...": each view's figures by name
    views = {line.split()[0]: {name: [int(n) for n in numbers.split()]
                               for name, numbers in re.findall(r"([a-z]+)((?: -?\d+)+)", line)}
             for line in text.splitlines() if line.strip()}
    if sorted(views) != ["screen", "seen"] or any(sorted(v) != sorted(FIGURES) for v in views.values()):
        fail("the probe saw no game window: %s" % text)
    return views["seen"], views["screen"], shot


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
        for dpi, menu, screen in CASES:
            case = "%d DPI, menu %s, screen %s" % (dpi, menu or "standard", screen)
            configure(work, dpi, menu)
            seen, onScreen, shot = measure(exe, probe, work, screen, case)
            for name, v in [("seen by the game", seen), ("on the screen", onScreen)]:
                print("%s, %s: dpi %d, menu bar %d, window (%d, %d) %dx%d, client %dx%d at (%d, %d), work area "
                      "(%d, %d)-(%d, %d)" % ((case, name) + tuple(sum((v[k] for k in FIGURES), []))))
            for problem in checkCase(case, seen, onScreen, shot):
                print("FAIL: %s: %s" % (case, problem))
                failures += 1
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
