#!/usr/bin/env python3
"""Driving the staged Karvel.exe under Wine on a test display: key presses through xdotool,
screenshots read back pixel by pixel. Shared by the end-to-end tests."""
import contextlib
import json
import os
import shutil
import subprocess
import sys
import time

BACKGROUND = (214, 211, 206)
FRAME = (130, 130, 130)
BLACK = (0, 0, 0)
TITLE = " Karvel     V 1.2"
PAUSE_CAPTION = "Jeu en pause..."


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def freshFolder(path):
    """PATH emptied, whatever a killed run left in it: a normal user cannot empty a folder without
    write permission, so everything is made writable first."""
    if os.path.exists(path):
        subprocess.run(["chmod", "-R", "u+w", path], check=True)
        shutil.rmtree(path)
    os.makedirs(path)


def xdotool(*args, timeout=20):
    result = subprocess.run(("xdotool",) + args, capture_output=True, text=True, timeout=timeout)
    return result.stdout.strip()


def waitFor(what, probe, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        value = probe()
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)


class Shot:
    """A screenshot of the whole screen, read from a binary PPM."""

    def __init__(self, folder, name, png=True):
        path = os.path.join(folder, name + ".ppm")
        subprocess.run(["import", "-window", "root", "-silent", path], check=True)
        if png:  # kept for whoever reads a failure
            subprocess.run(["convert", path, os.path.join(folder, name + ".png")], check=True)
        with open(path, "rb") as f:
            data = f.read()
        magic, width, height, maxval, self.pixels = data.split(maxsplit=4)
        if magic != b"P6" or maxval not in (b"255", b"65535"):
            fail("unexpected screenshot format")
        self.width, self.height = int(width), int(height)
        self.sampleBytes = 1 if maxval == b"255" else 2  # 16-bit samples: the high byte first
        os.remove(path)

    def at(self, x, y):
        i = 3 * self.sampleBytes * (y * self.width + x)
        return tuple(self.pixels[i + k * self.sampleBytes] for k in range(3))


class Client:
    """Pixels of the main window's client area in a screenshot. Where the system enlarges the
    window by SCALE, the game's pixel (x, y) covers a block of the screen's, whose edges the
    system's smoothing blends with the neighbours'."""

    def __init__(self, shot, origin, scale=1.0):
        self.shot, self.scale = shot, scale
        self.x, self.y = origin

    def at(self, x, y):
        return self.shot.at(self.x + int((x + 0.5) * self.scale), self.y + int((y + 0.5) * self.scale))

    def near(self, x, y):
        """The screen's pixels showing the game's pixel (x, y): the block it covers, one more each side."""
        if self.scale == 1:
            return [self.at(x, y)]
        return self.region(x, y, x + 1, y + 1, 1)

    def region(self, left, top, right, bottom, margin=0):
        s, m = self.scale, margin
        rows = range(max(0, self.y + int(top * s) - m), min(self.shot.height, self.y + int(bottom * s) + m))
        columns = range(max(0, self.x + int(left * s) - m), min(self.shot.width, self.x + int(right * s) + m))
        return [self.shot.at(x, y) for y in rows for x in columns]

    def occupiedCells(self):
        """Well cells showing a coloured cell (a bright top-left corner pixel)."""
        return {(c, r) for c in range(12) for r in range(20) if self.at(15 * c + 10, 15 * r + 20) != BLACK}


def findClientOrigin(shot, window):
    """The well's frame starts at client (7, 17): its first long grey run finds the client area."""
    geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).splitlines())
    left, top = int(geometry["X"]), int(geometry["Y"])
    right, bottom = min(left + int(geometry["WIDTH"]), shot.width), min(top + int(geometry["HEIGHT"]), shot.height)
    for y in range(top, bottom):
        for x in range(left, right - 200):
            if all(shot.at(x + k, y) == FRAME for k in range(0, 180, 9)):
                return x - 7, y - 17
    fail("well frame not found in the window")


def pictureProblem(client):
    """What is wrong with what every full repaint must show, wherever the piece is; None if nothing."""
    for x, y in [(2, 2), (196, 5), (196, 300), (4, 320), (310, 250), (300, 80), (300, 220)]:
        if BACKGROUND not in client.near(x, y):
            return "background at (%d, %d) is %s" % (x, y, client.at(x, y))
    for x, y in [(7, 17), (8, 100), (191, 200), (100, 321), (190, 18)]:
        if FRAME not in client.near(x, y):
            return "frame at (%d, %d) is %s" % (x, y, client.at(x, y))
    if BLACK not in client.near(15 * 3 + 24, 15 * 10 + 25):
        return "the gap between cells is not black"
    for name, box in [("title", (220, 12, 315, 42)), ("Score:", (205, 50, 300, 64)),
                      ("Lignes:", (205, 90, 300, 108)), ("Niveau", (205, 140, 300, 160)),
                      ("Suivant:", (205, 170, 300, 188))]:
        if BLACK not in client.region(*box):
            return "no text where %s should be" % name
    if BLACK in client.region(240, 270, 310, 320):
        return "GAME OVER shown during a game"
    if not any(p not in (BLACK, BACKGROUND) for p in client.region(205, 175, 300, 225)):
        return "no next piece in the preview"
    return None


def checkWholePicture(client, what):
    problem = pictureProblem(client)
    if problem:
        fail("%s: %s" % (what, problem))


def registryText(key, name):
    """The prefix's registry text NAME under KEY, None when there is none."""
    out = subprocess.run(["wine", "reg", "query", key, "/v", name], capture_output=True, text=True).stdout
    return next((line.split("REG_SZ", 1)[1].strip() for line in out.splitlines() if "REG_SZ" in line), None)


def setRegistryText(key, name, value):
    """Sets the prefix's registry text NAME under KEY to VALUE (None deletes it)."""
    args = ["add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"] if value is not None else \
           ["delete", key, "/v", name, "/f"]
    subprocess.run(["wine", "reg"] + args, capture_output=True, check=value is not None)


@contextlib.contextmanager
def prefixSettings(settings):
    """The prefix's registry texts [(key, name, value)] set for the time of the block. What the prefix
    had is kept in it until put back: a run killed before that is undone by the next."""
    saved = os.path.join(os.environ["WINEPREFIX"], "karvel-sound-settings.json")
    if os.path.exists(saved):
        for old in json.load(open(saved)):
            setRegistryText(*old)
    olds = [(key, name, registryText(key, name)) for key, name, _ in settings]
    with open(saved, "w") as f:
        json.dump(olds, f)
    try:
        for new in settings:
            setRegistryText(*new)
        yield
    finally:
        for old in reversed(olds):
            setRegistryText(*old)
        os.remove(saved)


# Where the prefix names its audio driver: "alsa" plays into the device a captureHome names.
AUDIO_DRIVER = (r"HKCU\Software\Wine\Drivers", "Audio")


def captureHome(work):
    """A HOME for Wine under WORK whose ALSA device writes every sound it plays into WORK/capture,
    one file each time a device is opened, and nowhere else: returns that folder."""
    home, capture = os.path.join(work, "home"), os.path.join(work, "capture")
    os.makedirs(capture)
    os.makedirs(home)
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write('pcm.!default { type file slave.pcm "null" file "%s/cap-%%r-%%c-%%b.raw" format "raw" '
                'truncate false }\n' % capture)
    return capture
