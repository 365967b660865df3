#!/usr/bin/env python3
"""The whole picture on every player's screen: the staged Karvel.exe under Wine at several DPIs,
with a taller menu bar and on small screens, each in an Xvfb of its own with no window manager
(as on Windows, nothing moves a window back on screen). A probe program run beside the game
reports the window, its client area and the work area; a screenshot shows the picture whole.
    window_fit.py KARVEL_EXE PROBE_EXE WORK_DIR      (WINEPREFIX: a prepared prefix, copied)"""
import os
import shutil
import subprocess
import sys
import time

from winplay import Client, Shot, checkWholePicture, fail

PICTURE = (320, 322)  # "OVER" ends at column 319, the well's frame at row 321

CASES = [  # DPI, menu bar height in negative twips (None: the standard one), screen
    (96, None, "1024x768"),
    (120, None, "1024x768"),
    (144, None, "1024x768"),
    (192, None, "1024x768"),
    (96, "-600", "1024x768"),
    (96, None, "800x600"),
    (96, None, "1024x600"),
    (144, None, "1024x600"),
    (96, None, "320x240"),  # too small for the picture: the window's top-left corner at the screen's
]


def configure(work, dpi, menu):
    """One registry import for the case, then a new server, which reads it."""
    reg = os.path.join(work, "case.reg")
    with open(reg, "w") as f:
        f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"LogPixels\"=dword:%08x\n\n"
                "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\n"
                "\"LogPixels\"=dword:%08x\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\n"
                "\"MenuHeight\"=%s\n" % (dpi, dpi, '"%s"' % menu if menu else "-"))
    subprocess.run(["wine", "regedit", "/S", reg], check=True)
    subprocess.run(["wineserver", "-k"])  # saves the registry
    subprocess.run(["wineserver", "-w"])


def measure(exe, probe, work, case):
    """Starts the game on a screen of its own; returns the probe's figures by name, and a screenshot."""
    display, shown = 150, os.environ["DISPLAY"]
    while os.path.exists("/tmp/.X%d-lock" % display) or os.path.exists("/tmp/.X11-unix/X%d" % display):
        display += 1
    os.environ["DISPLAY"] = ":%d" % display
    xvfb = subprocess.Popen(["Xvfb", os.environ["DISPLAY"], "-screen", "0", case[2] + "x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    try:
        for _ in range(50):
            if os.path.exists("/tmp/.X11-unix/X%d" % display):
                break
            time.sleep(0.1)
        game = subprocess.Popen(["wine", exe])
        # Into a file: Wine's services, started with the game, may hold a pipe open for ever.
        with open(os.path.join(work, "probe.txt"), "w+") as f:
            subprocess.run(["wine", probe], stdout=f, timeout=60)
            f.seek(0)
            words = f.read().split()
        shot = Shot(work, "%d-dpi-%s-%s" % case)
        subprocess.run(["wineserver", "-k"])
        game.wait(timeout=20)
    finally:
        xvfb.kill()
        xvfb.wait()
        os.environ["DISPLAY"] = shown
    figures = {}  # "dpi 96 menu 19 window 600 300 930 675 ..." by name
    for word in words:
        if word.lstrip("-").isdigit():
            figures[name].append(int(word))
        else:
            name = word
            figures[name] = []
    if sorted(figures) != ["at", "client", "dpi", "menu", "window", "work"]:
        fail("the probe saw no game window: %s" % words)
    return figures, shot


def main():
    exe, probe, work = [os.path.abspath(a) for a in sys.argv[1:4]]
    prefix = os.path.join(work, "prefix")
    if os.path.isdir(prefix):  # the server of an interrupted run would go on writing into it
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # A copy of the tests' prefix: DPI and metrics changed here never reach the other tests.
    subprocess.run(["cp", "-a", os.environ["WINEPREFIX"], prefix], check=True)
    os.environ["WINEPREFIX"] = prefix
    failures = []
    for dpi, menu, screen in CASES:
        configure(work, dpi, menu)
        got, shot = measure(exe, probe, work, (dpi, menu or "menu", screen))
        left, top, right, bottom = got["window"]
        wl, wt, wr, wb = got["work"]
        client, origin = tuple(got["client"]), got["at"]
        size = (right - left, bottom - top)
        case = "%d DPI, menu %s, screen %s" % (dpi, menu or "standard", screen)
        print("%s: menu bar %d, window (%d, %d) %dx%d, client %dx%d at (%d, %d), work area %s"
              % ((case, got["menu"][0], left, top) + size + client + tuple(origin) + (got["work"],)))
        problems = []
        if got["dpi"] != [dpi]:
            problems.append("the prefix's DPI is %s" % got["dpi"])
        if size[0] <= wr - wl and size[1] <= wb - wt:
            if client[0] < PICTURE[0] or client[1] < PICTURE[1]:
                problems.append("the client area %dx%d does not hold the %dx%d picture" % (client + PICTURE))
            # Grown only by the shortfall: each side is either as created or just holds the picture.
            if (size[0] != 330 and client[0] != PICTURE[0]) or (size[1] != 375 and client[1] != PICTURE[1]):
                problems.append("grown by more than the shortfall")
            if not (wl <= left and wt <= top and right <= wr and bottom <= wb):
                problems.append("the window sticks out of the work area")
            elif (left, top) != (max(wl, min(600, wr - size[0])), max(wt, min(300, wb - size[1]))):
                problems.append("moved further than needed from (600, 300)")
        elif (left, top) != (wl, wt):  # a screen too small for the picture
            problems.append("too large for the work area, yet not at its top-left corner")
        if (dpi, menu, screen) == (96, None, "1024x768") and (left, top, size) != (600, 300, (330, 375)):
            problems.append("standard metrics on a large screen: not 330x375 at (600, 300)")
        if not problems and size[0] <= wr - wl and size[1] <= wb - wt:
            checkWholePicture(Client(shot, origin), case)  # exits on a missing pixel
        failures += ["%s: %s" % (case, p) for p in problems]
    for f in failures:
        print("FAIL:", f)
    subprocess.run(["wineserver", "-w"])
    shutil.rmtree(prefix, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
