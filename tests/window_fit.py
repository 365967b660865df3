#!/usr/bin/env python3
"""The whole picture on every player's screen: the staged Karvel.exe under Wine at several DPIs,
with a taller menu bar, wider borders, a panel that takes part of the screen and on small screens,
each in an Xvfb of its own with no window manager (as on Windows, nothing moves a window back on
screen). A probe program run beside the game reports the window, its client area and the work
area. What to expect comes from what the player must see, the picture's size at the system's
scale, and what the system reports: the whole picture, crisp, inside the work area, and the window
neither moved nor grown where nothing needed it.
    window_fit.py KARVEL_EXE PROBE_EXE WORK_DIR      (WINEPREFIX: a prepared prefix, left as it is)"""
import ctypes
import math
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time

from winplay import BACKGROUND, BLACK, FRAME, Client, Shot, fail, freshFolder, pictureProblem

CASES = [  # DPI, menu bar height in negative twips (None: the standard one), screen, panel, border
    (96, None, "1024x768", 0, None),  # as created: nothing moves
    (120, None, "1024x768", 0, None),
    (144, None, "1024x768", 0, None),
    (192, None, "1024x768", 0, None),
    (96, "-600", "1024x768", 0, None),  # 40-pixel menu items
    (96, None, "1024x768", 0, "-300"),  # 20-pixel borders: the window must grow wider
    (144, None, "1024x768", 0, "-300"),
    (96, None, "800x600", 0, None),
    (96, None, "1024x600", 0, None),
    (96, None, "1024x600", 40, None),  # a 40-pixel panel at the bottom: the window above it
    (144, None, "1024x768", 40, None),
    (144, None, "1024x600", 0, None),
    (192, None, "800x600", 0, None),
    (96, None, "320x240", 0, None),  # smaller than the picture: at the work area's corner, cut
]
PICTURE = (320, 322)  # at 96 DPI: "GAME" ends at column 319, the well's frame at row 321
CREATED = (600, 300, 330, 375)  # where and how large the window is at 96 DPI
WELL = (7, 17, 192, 322)  # the frame's outer edges at 96 DPI, right and bottom excluded
# Every colour the well shows: its frame, black, and each cell value's bright and dark colour.
WELL_COLOURS = {FRAME, BLACK} | {tuple(v * k // 255 for v in c) for k in (255, 184) for c in
                                 [(255, 0, 255), (0, 255, 0), (0, 0, 255), (255, 255, 255), (255, 0, 0),
                                  (0, 255, 255), (255, 255, 0)]}
FIGURES = ("dpi", "bar", "window", "client", "at", "work", "monitor")  # what the probe reports


def near(got, exact):
    """GOT is EXACT, a figure scaled to the system's pixels, rounded either way."""
    return math.floor(exact) <= got <= math.ceil(exact)


def checkCase(case, seen, shots):
    """The failures of one case (dpi, menu, screen, panel, border), from the probe's figures SEEN and
    SHOTS, a function that takes a screenshot."""
    dpi, menu, screen, panel, border = case
    scale, failures = dpi / 96, []
    width, height = (int(n) for n in screen.split("x"))
    # The case's settings took effect: else it proves nothing.
    if seen["dpi"] != [dpi]:
        failures.append("the system's DPI is %s, not %d" % (seen["dpi"], dpi))
    if menu and seen["bar"][0] < -int(menu) / 15 * scale:
        failures.append("the menu bar is %s pixels high, under %d" % (seen["bar"], -int(menu) / 15 * scale))
    if border and seen["window"][2] - seen["client"][0] < 2 * -int(border) / 15 * scale:
        failures.append("borders of %d pixels in all, not %d" % (seen["window"][2] - seen["client"][0],
                                                                  2 * -int(border) / 15))
    if seen["monitor"] != [0, 0, width, height] or seen["work"] != [0, 0, width, height - panel]:
        failures.append("monitor %s and work area %s, not a %s screen less %d rows" % (seen["monitor"], seen["work"],
                                                                                       screen, panel))
    picture = [math.ceil(p * scale) for p in PICTURE]
    created = [v * scale for v in CREATED]
    whole = True
    for axis in (0, 1):  # across, then down
        got, place, client, need = seen["window"][2 + axis], seen["window"][axis], seen["client"][axis], picture[axis]
        low, high, made, start = seen["work"][axis], seen["work"][2 + axis], created[2 + axis], created[axis]
        what = ("wide", "high")[axis]
        if got - client + need > high - low:  # the work area cannot hold it: at its edge, cut
            whole = False
            if place != low:
                failures.append("window %s, not at the work area's edge where it cannot fit" % (seen["window"],))
            continue
        if client < need:
            failures.append("client area %s: the picture needs %s" % (seen["client"], picture))
        elif not near(got, made) and (got < made or client != need):
            failures.append("window %d pixels %s, not %d or just enough for the picture" % (got, what, made))
        if place < low or place + got > high:
            failures.append("window %s leaves the work area %s" % (seen["window"], seen["work"]))
        elif place != start and (start + got <= high or place + got != high):
            failures.append("window at %s, not at %s or moved the least into the work area" %
                            (seen["window"][:2], created[:2]))
    if failures or not whole:
        return failures
    # The picture on the screen: whole once painted, and crisp, its well's frame scaled.
    deadline, problem = time.time() + 20, "no screenshot"
    while problem and time.time() < deadline:
        shot = shots()
        problem = pictureProblem(Client(shot, seen["at"], scale))
    if problem:
        return ["on the screen after 20 s: %s" % problem]
    ax, ay = seen["at"]
    inside = [math.ceil(e * scale) for e in WELL[:2]] + [math.floor(e * scale) for e in WELL[2:]]
    foreign = [(px - ax, py - ay) for py in range(ay + inside[1], ay + inside[3])
               for px in range(ax + inside[0], ax + inside[2])
               if shot.at(px, py) not in WELL_COLOURS]
    if foreign:
        failures.append("%d pixels of the well are none of the game's colours, first at %s: %s" %
                        (len(foreign), foreign[0], shot.at(ax + foreign[0][0], ay + foreign[0][1])))
    # The frame's outer edges along its middle row and column, against the background around it.
    row, column = ay + (inside[1] + inside[3]) // 2, ax + (inside[0] + inside[2]) // 2
    across = [px - ax for px in range(ax, ax + inside[2] + 3) if shot.at(px, row) == FRAME]
    down = [py - ay for py in range(ay, ay + inside[3] + 3) if shot.at(column, py) == FRAME]
    edges = [across[0], down[0], across[-1] + 1, down[-1] + 1] if across and down else []
    if len(edges) < 4 or not all(near(e, w * scale) for e, w in zip(edges, WELL)) or \
            shot.at(ax + edges[0] - 1, row) != BACKGROUND or shot.at(ax + edges[2], row) != BACKGROUND:
        failures.append("the well's frame spans %s on the screen, not %s" % (edges, [w * scale for w in WELL]))
    return failures


def endsWithUs(sig):
    """PR_SET_PDEATHSIG: the child gets SIG when this script ends, even killed."""
    return lambda: ctypes.CDLL(None).prctl(1, sig)


def configure(work, dpi, menu, border):
    """One registry import for the case, then a new server, which reads it."""
    metric = lambda value: '"%s"' % value if value else "-"
    reg = os.path.join(work, "case.reg")
    with open(reg, "w") as f:
        f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n\"LogPixels\"=dword:%08x\n\n"
                "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\n"
                "\"LogPixels\"=dword:%08x\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\n"
                "\"MenuHeight\"=%s\n\"BorderWidth\"=%s\n" % (dpi, dpi, metric(menu), metric(border)))
    subprocess.run(["wine", "regedit", "/S", reg], check=True)
    stopWine()


def stopWine():
    """Ends every process of the case's prefix and its server, which saves the registry."""
    if os.path.isdir(os.environ["WINEPREFIX"]):
        subprocess.run([os.environ["KARVEL_WINESERVER"], "-k"])
        subprocess.run([os.environ["KARVEL_WINESERVER"], "-w"])


def measure(exe, probe, work, case, name):
    """Starts the game on a screen of its own, with its panel; returns the case's failures."""
    dpi, menu, screen, panel, border = case
    shown = os.environ["DISPLAY"]
    # The server takes a free display number itself and says which: a number found free and then
    # taken by another test's server would put this case on that test's screen.
    ready, told = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-noreset", "-screen", "0", screen + "x24", "-nolisten",
                             "tcp"], pass_fds=(told,), stderr=subprocess.DEVNULL,
                            preexec_fn=endsWithUs(signal.SIGTERM))  # removing its lock
    os.close(told)
    try:
        if not select.select([ready], [], [], 20)[0]:
            return ["no display after 20 s"]
        os.environ["DISPLAY"] = ":" + os.read(ready, 16).decode().strip()
        # What a desktop's window manager announces for a panel, which Wine takes for the work area
        # (kept by a server that does not reset when its last client leaves).
        width, height = screen.split("x")
        subprocess.run(["xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA",
                        "0, 0, %s, %d" % (width, int(height) - panel)], check=True)
        subprocess.Popen(["wine", exe], preexec_fn=endsWithUs(signal.SIGKILL))
        # Into a file: Wine's services, started with the game, may hold a pipe open for ever.
        with open(os.path.join(work, "probe.txt"), "w+") as f:
            subprocess.run(["wine", probe], stdout=f, timeout=90, preexec_fn=endsWithUs(signal.SIGKILL))
            f.seek(0)
            text = f.read()
        # "dpi 96 bar 19 window 600 300 330 375 ...": the figures by name
        seen = {name: [int(n) for n in numbers.split()] for name, numbers in re.findall(r"([a-z]+)((?: -?\d+)+)", text)}
        if sorted(seen) != sorted(FIGURES):
            return ["the probe saw no game window: %r" % text]
        print("%s: dpi %d, menu bar %d, window (%d, %d) %dx%d, client %dx%d at (%d, %d), work area (%d, %d)-(%d, %d), "
              "monitor (%d, %d)-(%d, %d)" % ((name,) + tuple(sum((seen[k] for k in FIGURES), []))))
        # Each screenshot kept as a PNG for whoever reads a failure.
        return checkCase(case, seen, lambda: Shot(work, name.replace(", ", "-").replace(" ", "-")))
    finally:  # on a timeout or a failure too: the game, the probe and their server
        stopWine()
        xvfb.terminate()
        xvfb.wait()
        os.close(ready)
        os.environ["DISPLAY"] = shown


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
        for case in CASES:
            dpi, menu, screen, panel, border = case
            name = "%d DPI, menu %s, borders %s, screen %s less %d" % (dpi, menu or "standard", border or "standard",
                                                                     screen, panel)
            configure(work, dpi, menu, border)
            for problem in measure(exe, probe, work, case, name):
                print("FAIL: %s: %s" % (name, problem))
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
