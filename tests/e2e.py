#!/usr/bin/env python3
"""End to end: the staged Karvel.exe under Wine, on a desktop with a window manager and a sound
device (ALSA, captured into files), driven with real key presses; screenshots are read back pixel
by pixel."""
import os
import subprocess
import sys
import time

from winplay import (AUDIO_DRIVER, PAUSE_CAPTION, TITLE, Client, Shot, captureHome, checkWholePicture, fail,
                     findClientOrigin, freshFolder, prefixSettings, waitFor, xdotool)


def main():
    exe, folder = sys.argv[1], sys.argv[2]
    freshFolder(folder)
    capture = captureHome(folder)
    with prefixSettings([AUDIO_DRIVER + ("alsa",)]):
        play(exe, folder, capture)
    print("end to end: passed")


def play(exe, folder, capture):
    # The game ends with this script, even killed: no window of a dead run stays on the display.
    game = subprocess.Popen(["setpriv", "--pdeathsig", "KILL", "wine", exe],
                            env=dict(os.environ, HOME=os.path.join(folder, "home")))
    try:
        window = waitFor("the main window", lambda: xdotool("search", "--onlyvisible", "--name", "^" + TITLE + "$"))
        window = window.split()[0]
        xdotool("windowactivate", "--sync", window)
        time.sleep(0.5)

        first = Shot(folder, "1-first-paint")
        origin = findClientOrigin(first, window)  # the window stays put: later shots reuse it
        client = Client(first, origin)
        checkWholePicture(client, "first paint")
        piece = client.occupiedCells()
        if len(piece) != 4 or not any(r <= 1 for _, r in piece):
            fail("first paint: expected one piece at the top, saw cells %s" % sorted(piece))

        xdotool("key", "Left")
        time.sleep(0.3)
        moved = Client(Shot(folder, "2-moved-left"), origin).occupiedCells()
        if sorted(c for c, _ in moved) != sorted(c - 1 for c, _ in piece):
            fail("Left: columns %s became %s" % (sorted(piece), sorted(moved)))

        xdotool("key", "--delay", "40", "--repeat", "21", "Down")
        time.sleep(0.5)
        landed = Client(Shot(folder, "3-landed"), origin)
        cells = landed.occupiedCells()
        if not any(r == 19 for _, r in cells) or len(cells) != 8:
            fail("Down: expected a landed piece on the floor and a new piece, saw %s" % sorted(cells))
        checkWholePicture(landed, "after landing")
        # The sounds played, and gravity goes on after them.
        if not any(any(open(os.path.join(capture, f), "rb").read()) for f in os.listdir(capture)):
            fail("no sound was played")
        time.sleep(1.6)
        falling = lambda shown: min(r for _, r in shown if r < 15)
        if falling(Client(Shot(folder, "3-falling"), origin).occupiedCells()) <= falling(cells):
            fail("the next piece did not fall after the sounds")

        xdotool("key", "p")
        box = waitFor("the pause box", lambda: xdotool("search", "--onlyvisible", "--name", "^" + PAUSE_CAPTION + "$"))
        before = Client(Shot(folder, "4-paused"), origin).occupiedCells()
        time.sleep(1.6)
        if Client(Shot(folder, "4-paused-later"), origin).occupiedCells() != before:
            fail("pause: the piece moved while the box was open")
        xdotool("windowactivate", "--sync", box.split()[0])
        xdotool("key", "Return")
        waitFor("the pause box to close",
                lambda: not xdotool("search", "--onlyvisible", "--name", "^" + PAUSE_CAPTION + "$"))
        time.sleep(0.5)
        checkWholePicture(Client(Shot(folder, "5-resumed"), origin), "after the pause")

        xdotool("windowminimize", "--sync", window)
        time.sleep(2.0)  # ticks arrive while minimised, paints do not
        # Keys right after the restore reach the window before its first paint.
        xdotool("windowactivate", "--sync", window, "key", "Right", "Left")
        time.sleep(0.5)
        restored = Client(Shot(folder, "6-restored"), origin)
        checkWholePicture(restored, "after restore")
        if len(restored.occupiedCells()) != 8:
            fail("after restore: expected the landed piece and the falling one, saw %s"
                 % sorted(restored.occupiedCells()))

        # "Quitter...", the third item of the Jeu menu, ends the game with exit code 0.
        xdotool("windowactivate", "--sync", window)
        keys = ["Alt_L", "Down", "Down", "Down", "Return"]  # Alt opens the menu bar on every Wine, F10 not
        xdotool("key", "--delay", "60", *keys)
        waitFor("the game to end after the keys " + " ".join(keys), lambda: game.poll() is not None)
        if game.returncode != 0:
            fail("Quitter...: exit code %d, expected 0" % game.returncode)
    finally:
        if game.poll() is None:
            game.kill()


if __name__ == "__main__":
    main()
