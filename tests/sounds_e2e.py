#!/usr/bin/env python3
"""Sounds heard end to end: Karvel.exe under Wine, copied into a folder of its own and driven with
real key presses; every sound Wine plays is captured through ALSA's file plugin (one file each time
the game opens its device), split by each clip's data, and compared byte for byte, in play order,
with the data of the WAV file it should be.

    sounds_e2e.py SCENARIO DIST_DIR WORK_DIR
    sounds_e2e.py matcher RES_DIR      (the matcher alone, on the shipped sounds: no Wine)

DIST_DIR holds Karvel.exe and its five WAV files; WORK_DIR is emptied and used for the scenario's
folder, the capture and the screenshots; "inplace" runs the game in DIST_DIR itself. Needs DISPLAY (with a window manager) and WINEPREFIX; the
prefix's audio driver is set to ALSA for the run and put back afterwards. "alone" needs
KARVEL_DEFAULT_SOUND_PROBE: the path of the built defaultsound.exe."""
import atexit
import itertools
import os
import re
import shutil
import signal
import subprocess
import sys
import time

from winplay import (AUDIO_DRIVER, BLACK, TITLE, Client, Shot, captureHome, checkWholePicture, fail, findClientOrigin,
                     freshFolder, prefixSettings, waitFor, xdotool)

WAVS = ("bip", "tac", "toc", "blop", "dadam")
MOVE_TURN_LAND = ["bip", "tac", "toc"]
WAV = {}  # name: the data chunk of DIST_DIR's WAV file

# Spawn shapes (dx, dy) per kind, and the bright colour each kind leaves in its cells.
SHAPES = {1: [(-1, 1), (0, 1), (0, 0), (1, 0)], 2: [(-1, 0), (0, 0), (0, 1), (1, 1)],
          3: [(-1, 0), (0, 0), (1, 0), (0, 1)], 4: [(0, 0), (1, 0), (0, 1), (1, 1)],
          5: [(-1, 1), (-1, 0), (0, 0), (1, 0)], 6: [(-1, 0), (0, 0), (1, 0), (1, 1)],
          7: [(-1, 0), (0, 0), (1, 0), (2, 0)]}
KIND_OF_COLOUR = {(255, 0, 255): 1, (0, 255, 0): 2, (0, 0, 255): 3, (255, 255, 255): 4,
                  (255, 0, 0): 5, (0, 255, 255): 6, (255, 255, 0): 7}


def wavData(path):
    """The data chunk of a WAV file: exactly the bytes a player sends to the sound device."""
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        size = int.from_bytes(data[at + 4:at + 8], "little")
        if data[at:at + 4] == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    fail("no data chunk in " + path)


def captured(folder):
    """Every sound Wine played, in play order: the capture files joined, one per time the device
    was opened (cap-R-C-B.raw, then .raw.0001, .raw.0002, ...)."""
    names = sorted(os.listdir(folder), key=lambda n: 0 if n.endswith(".raw") else int(n.rsplit(".", 1)[1]))
    return b"".join(open(os.path.join(folder, n), "rb").read() for n in names)


# The matcher runs over the whole capture at every poll: a slow one stretches the time between
# key presses until gravity lands a piece the scenario thinks is still falling. So no copy of the
# stream's rest and no byte-by-byte loop in Python.
SOUND = re.compile(b"[^\0]")


def firstSound(data, at=0):
    """Where the first non-zero byte from AT on is, or the end."""
    found = SOUND.search(data, at)
    return found.start() if found else len(data)


def same(stream, at, data):
    """How many bytes of DATA STREAM holds from AT on, by halves."""
    low, high = 0, min(len(data), len(stream) - at) + 1
    while high - low > 1:
        middle = (low + high) // 2
        low, high = (middle, high) if stream[at:at + middle] == data[:middle] else (low, middle)
    return low


def opening(data):
    """A sound's leading zero samples and its first two after them: what tells it from another."""
    return data[:firstSound(data) + 4]


def silenceEnd(stream, at, data):
    """Where DATA would begin in STREAM after the silence from AT on: its own first zero samples
    cannot be told from the silence before them."""
    return firstSound(stream, at) - firstSound(data)


def heardPart(stream, start, data, gaps):
    """How far DATA goes from START in STREAM: the end there and the bytes of DATA matched. The
    silence Wine's ALSA driver writes inside a sound when the thread that feeds it is late (more
    than one 10 ms period under load: the device takes everything at once) is skipped where the
    sound goes on after it, each run's length added to the list GAPS."""
    got, at = 0, start
    while True:
        matched = same(stream, at, data[got:])
        got, at = got + matched, at + matched
        rest = data[got:]
        if not rest or at == len(stream) or stream[at]:
            return at, got
        resume = silenceEnd(stream, at, rest)
        if resume <= at or resume + len(opening(rest)) > len(stream) or not stream.startswith(opening(rest), resume):
            return at, got
        gaps.append(resume - at)
        at = resume


def split(stream, names, why=None, gaps=None):
    """Finds the sounds NAMES in STREAM in order, each after the silence (zero samples) the driver
    may write between sounds: returns how many bytes of each were heard, or None when STREAM is
    anything else, and then appends to the list WHY what was heard and where it went wrong. "name?"
    may be cut off by the next sound, a prefix of its data (none at all if cut before it began); any
    other sound is whole, though the driver may have written silence inside it (their lengths
    go to the list GAPS). Nothing but silence follows the last.
    A cut sound's data can run on past its cut as zeros, or by chance as the next sound's first
    samples: where it was cut is the latest place that lets every later sound be found."""
    tried, furthest = set(), [(-1, 0, [], "nothing")]

    def wrong(i, at, heard, what):
        furthest[0] = max(furthest[0], (i, at, heard, what), key=lambda f: f[:2])

    def walk(i, at, heard, inside):
        if i == len(names):
            rest = firstSound(stream, at)
            return (heard, inside) if rest == len(stream) else wrong(i, at, heard, "more sound from byte %d" % rest)
        if (i, at) in tried:
            return None
        tried.add((i, at))
        data = WAV[names[i].rstrip("?")]
        start = max(at, silenceEnd(stream, at, data))
        found = []
        end, matched = heardPart(stream, start, data, found)
        if not names[i].endswith("?"):
            if matched < len(data):
                return wrong(i, start, heard, "%s: only %d of its %d bytes at byte %d, then %s" % (
                    names[i], matched, len(data), start, stream[end:end + 8].hex(" ", 2) or "the end"))
            return walk(i + 1, end, heard + [len(data)], inside + found)
        # Where the cut may be: after the whole match, or where the opening of a sound that may
        # come next begins inside the match; the match's last zero bytes are silence or the next
        # sound's. Before it began only where the stream does not open with it: a sound whose
        # opening is there was heard, and one still to come is waited for.
        unheard = matched < len(opening(data))
        cuts = {end} | ({start} if unheard else set())
        nextWhole = next((j for j in range(i + 1, len(names)) if not names[j].endswith("?")), len(names) - 1)
        for later in dict.fromkeys(opening(WAV[n.rstrip("?")]) for n in names[i + 1:nextWhole + 1]):
            o = stream.find(later, start + (not unheard), end + len(later))
            while 0 <= o < end:
                cuts.add(o)
                o = stream.find(later, o + 1, end + len(later))
        for cut in sorted(cuts, reverse=True):
            inCut = []
            got = heardPart(stream[:cut], start, data, inCut)[1]
            last = len(stream[start:cut].rstrip(b"\0"))
            result = walk(i + 1, start + last if last else at,
                          heard + [got if got == len(data) else len(data[:got].rstrip(b"\0"))], inside + inCut)
            if result:
                return result
        return None

    found = walk(0, 0, [], [])
    if found is None:
        if why is not None:
            _, _, heard, what = furthest[0]
            why.append("of %d bytes, heard %s, then %s" % (len(stream), heard, what))
        return None
    if gaps is not None:
        gaps += found[1]
    return found[0]


def unheard(stream, names):
    """What STREAM holds instead of the sounds NAMES, for a failure's message."""
    why = []
    split(stream, names, why)
    runs = ("%s x%d" % (name, len(list(run))) for name, run in itertools.groupby(names))
    return "expected %s; %s" % (", ".join(runs), why[0] if why else "heard them")


def checkMatcher(res):
    """The matcher on streams made of the shipped sounds, each row with the bytes it must report
    heard (None: refused). A cut sound followed by one that begins with zeros or, by chance, with
    the cut one's own next samples must not take the next one's first bytes."""
    WAV.update((w, wavData(os.path.join(res, w + ".wav"))) for w in WAVS)
    bip, toc, dadam, z = WAV["bip"], WAV["toc"], WAV["dadam"], b"\0" * 40
    # toc.wav cut inside its last 24 zero samples: heard up to its last sound, or whole when the
    # next one's 5 leading zero samples complete it.
    rows = [(toc[:k] + dadam, ["toc?", "dadam"], [heard, 44100]) for k, heard in ((5700, 5684), (5722, 5732), (5730, 5732))]
    rows += [(dadam[:16750] + dadam, ["dadam?", "dadam"], [15858, 44100]),  # dadam's pause, then its start
             (dadam, ["blop?", "dadam"], [0, 44100]),  # their first samples alike
             (bip + bip, ["bip?", "bip?", "bip"], None),  # the third still to come, not the second unheard
             (z + toc + z + toc[:3000] + z + dadam + z, ["toc?"] * 5 + ["dadam"], [5732, 3000, 0, 0, 0, 44100]),
             (toc + dadam[:20000] + z + dadam[20000:], ["toc?", "dadam"], [5732, 44100]),  # silence inside
             (toc[:4410] + z + toc[4410:] + dadam, ["toc?", "toc?", "dadam"], [5732, 0, 44100]),  # a cut one's too
             (toc[:3000] + dadam[:-2], ["toc?", "dadam"], None), (toc + dadam + b"\1", ["toc", "dadam"], None)]
    wrong = [(names, heard, expected) for stream, names, expected in rows
             for heard in [split(stream, names)] if heard != expected]
    if wrong:
        fail("the matcher: " + "; ".join("%s heard %s, expected %s" % row for row in wrong))
    print("the matcher: %d streams split as expected" % len(rows))


def cells(shape, column, row):
    return {(column + dx, row + dy) for dx, dy in shape}


def turned(shape):
    return [(dy, -dx) for dx, dy in shape]


def fits(board, shape, column, row):
    return all(0 <= c <= 11 and 0 <= r <= 19 and (c, r) not in board for c, r in cells(shape, column, row))


def landingRow(board, shape, column, row):
    while fits(board, shape, column, row + 1):
        row += 1
    return row


def clearRows(board):
    """The board after the clear pass, and how many rows it removed."""
    full = [r for r in range(20) if all((c, r) in board for c in range(12))]
    # A kept cell falls by the number of removed rows below it.
    kept = {(c, r + sum(1 for f in full if f > r)) for c, r in board if r not in full}
    return kept, len(full)


def placement(board, kind, row):
    """Turns and pivot column (turned at column 6) that clear rows, else fill the bottom row with
    few holes and a low, flat stack: about 6 pieces clear a row, 11 or fewer 95 times in 100."""
    best, shape = None, SHAPES[kind]
    for turns in range(4):
        for column in range(12):
            if not (fits(board, shape, 6, row) and
                    all(fits(board, shape, c, row) for c in range(min(6, column), max(6, column) + 1))):
                continue
            after, rows = clearRows(board | cells(shape, column, landingRow(board, shape, column, row)))
            heights = [20 - min([r for c, r in after if c == x], default=20) for x in range(12)]
            holes = sum(1 for c, r in after for below in range(r + 1, 20) if (c, below) not in after)
            bumps = sum(abs(a - b) for a, b in zip(heights, heights[1:]))
            bottom = sum(1 for _, r in after if r == 19)
            score = 1000 * rows - 5 * sum(heights) - 50 * holes - 5 * bumps + 10 * bottom
            if best is None or score > best[0]:
                best = (score, turns, column)
        shape = turned(shape)
    if best is None:
        fail("kind %d fits nowhere on %s" % (kind, sorted(board)))
    return best[1], best[2]


class Game:
    """One run of the game in FOLDER, started as EXE, with its own capture and screenshots."""

    def __init__(self, work, folder, exe, wrap=(), trace=False):
        self.work, self.folder, self.heard = work, folder, []
        self.capture = captureHome(work)
        env = dict(os.environ, HOME=os.path.join(work, "home"), LC_ALL="C.UTF-8")
        self.log = os.path.join(work, "wine.log")
        if trace:  # the files the game opens and its sound device calls, for the checks that count them
            env["WINEDEBUG"] = "-all,+timestamp,trace+file,trace+winmm"
        with open(self.log, "w") as log:
            self.process = subprocess.Popen(list(wrap) + ["wine", exe], cwd=folder, env=env, stderr=log)
        window = waitFor("the main window", self.shown)
        self.window = window.split()[0]
        xdotool("windowactivate", "--sync", self.window)
        time.sleep(0.5)
        first = Shot(work, "first-paint")
        self.origin = findClientOrigin(first, self.window)
        checkWholePicture(Client(first, self.origin), "first paint")
        self.shots = 0

    def shown(self):
        """The main window, once shown; a game that ended before that fails at once, with its log."""
        if self.process.poll() is not None:
            fail("the game ended (%d) before its window showed: %s" % (self.process.returncode, open(self.log).read()))
        return xdotool("search", "--onlyvisible", "--name", "^" + TITLE + "$")

    def look(self):
        self.shots += 1
        return Client(Shot(self.work, "shot-%03d" % self.shots, png=False), self.origin)

    def keys(self, *keys, delay=30):
        xdotool("key", "--delay", str(delay), *keys)

    def press(self, key, sound):
        """One key, then its sound heard whole before anything else: a busy machine can take
        longer than the sound lasts to start it, and a sound cut that early leaves no capture."""
        self.keys(key)
        self.expect(sound, settle=0)

    def menu(self, downs, caption, *keys):
        """Opens the item DOWNS places down the Jeu menu, then types KEYS in the dialog it opens."""
        xdotool("windowactivate", "--sync", self.window)
        sent = ["Alt_L", *["Down"] * downs, "Return"]  # Alt opens the menu bar on every Wine, F10 not
        self.keys(*sent, delay=60)
        box = waitFor(caption + " after the keys " + " ".join(sent),
                      lambda: xdotool("search", "--onlyvisible", "--name", "^" + caption + "$"))
        xdotool("windowactivate", "--sync", box.split()[0])
        self.keys(*keys, delay=60)
        waitFor(caption + " to close", lambda: not xdotool("search", "--onlyvisible", "--name", "^" + caption + "$"))
        xdotool("windowactivate", "--sync", self.window)
        before = self.look().occupiedCells()  # keys act again after the next tick, which drops the piece
        waitFor("a gravity tick", lambda: self.look().occupiedCells() != before, seconds=5)

    def hear(self, names, mark=0, seconds=6):
        """Waits until the capture from byte MARK on is the sounds NAMES (see split); fails, saying
        what it heard, when it is not within SECONDS."""
        end, gaps = time.time() + seconds, []
        while split(captured(self.capture)[mark:], names) is None:
            if time.time() > end:
                fail("not the sounds expected: " + unheard(captured(self.capture)[mark:], names))
            time.sleep(0.1)
        heard = split(captured(self.capture)[mark:], names, gaps=gaps)
        if gaps:
            print("the driver, fed late, wrote silence inside a sound %d time(s): %s bytes" % (len(gaps), gaps))
        return heard

    def expect(self, *names, settle=0.2):
        """Checks every capture so far against the sounds expected so far, in play order, once
        SETTLE seconds have passed without a new one."""
        before = len(self.heard)
        self.heard += names
        self.hear(self.heard)
        time.sleep(settle)
        got = self.hear(self.heard, seconds=0)
        print("expected %s; heard %s" % (" ".join("%s (%d bytes)" % (n, len(WAV[n.rstrip("?")])) for n in names)
                                         or "nothing", " ".join(map(str, got[before:])) or "nothing"))

    def calls(self, pattern):
        """When (s) each call in the Wine trace so far that matches PATTERN was made."""
        with open(self.log, errors="replace") as log:
            return [float(line.split(":", 1)[0]) for line in log if re.search(pattern, line)]

    def column(self):
        return fallingPiece(self.look(), set())[2]

    def close(self):
        if self.process.poll() is None:
            xdotool("windowactivate", "--sync", self.window)
            xdotool("key", "alt+F4")
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                fail("the game did not end on Alt+F4")
        if self.process.returncode != 0:  # the close box's quit message
            fail("exit code %d, expected 0" % self.process.returncode)


def fallingPiece(client, board):
    """Kind, shape, pivot column and row of the falling piece: the cells that are not the board."""
    shown = client.occupiedCells()
    piece = shown - board
    if not board <= shown or len(piece) != 4:
        fail("expected the board %s and a falling piece, saw %s" % (sorted(board), sorted(shown)))
    colours = {client.at(15 * c + 10, 15 * r + 20) for c, r in piece}
    kind = KIND_OF_COLOUR.get(colours.pop()) if len(colours) == 1 else None
    if kind is None:
        fail("the falling piece's cells %s are not of one kind" % sorted(piece))
    shape = SHAPES[kind]
    column = min(c for c, _ in piece) - min(dx for dx, _ in shape)
    row = min(r for _, r in piece) - min(dy for _, dy in shape)
    if cells(shape, column, row) != piece:
        fail("kind %d does not cover %s" % (kind, sorted(piece)))
    return kind, shape, column, row


def moveTurnLand(game, sounds):
    """Left, then a turn two rows lower, then the landing: the piece does each on screen."""
    kind, shape, column, row = fallingPiece(game.look(), set())
    game.keys("Left")
    time.sleep(0.2)
    _, _, leftColumn, row = fallingPiece(game.look(), set())
    if leftColumn != column - 1:
        fail("Left: the pivot went from column %d to %d" % (column, leftColumn))
    game.keys("Down", "Down")
    game.keys("Up")
    time.sleep(0.2)
    shown = game.look().occupiedCells()
    shape = turned(shape)
    row = next((r for r in range(row + 2, 20) if shown == cells(shape, leftColumn, r)), None)  # ticks drop it too
    if row is None:
        fail("Up: kind %d did not turn, saw %s" % (kind, sorted(shown)))
    game.keys(*["Down"] * (landingRow(set(), shape, leftColumn, row) - row + 1), delay=25)
    time.sleep(0.3)
    landed = game.look()
    if not any(r == 19 for _, r in landed.occupiedCells()) or len(landed.occupiedCells()) != 8:
        fail("Down: expected a landed piece and a new one, saw %s" % sorted(landed.occupiedCells()))
    checkWholePicture(landed, "after the landing")
    game.expect(*sounds)


def playPiece(game, board, choose):
    """Reads the falling piece, turns and moves it as CHOOSE says and drops it, checking the sounds;
    returns the board after the landing and the number of rows it cleared."""
    kind, shape, column, row = fallingPiece(game.look(), board)
    turns, target = choose(board, kind, row + 2)
    game.keys("Down", "Down")  # a turn needs the pivot at row 1 (row 2 for the bar)
    for _ in range(turns):
        game.press("Up", "tac")
        shape = turned(shape)
    for _ in range(abs(target - column)):
        game.press("Left" if target < column else "Right", "bip")
    landing = landingRow(board, shape, target, row + 2)
    # Extra presses after a gravity tick only drop the next piece, far above the stack.
    game.keys(*["Down"] * (landing - row - 1), delay=25)
    after, rows = clearRows(board | cells(shape, target, landing))
    # The landing's toc.wav is cut at once by the first blop.wav, each blop.wav by the next.
    game.expect(*["toc?"] + ["blop?"] * (rows - 1) + ["blop"] if rows else ["toc"])
    return after, rows


def clearedRowThenGameOver(game):
    """Pieces placed until a landing clears a row; then a new game through the dialog, every
    piece dropped where it enters until the game ends."""
    board, rows = set(), 0
    for _ in range(30):
        board, rows = playPiece(game, board, placement)
        if rows:
            break
    if not rows:
        fail("no row cleared in 30 pieces")
    game.menu(1, "Nouveau Jeu", "Return")
    before = len(captured(game.capture))
    for _ in range(40):
        game.keys(*["Down"] * 8)
        client = game.look()
        if BLACK in client.region(240, 270, 310, 320):
            break
    else:
        fail("no GAME OVER after 320 presses of Down")
    # Landings (toc.wav, each maybe cut off by the next sound), then dadam.wav whole.
    game.hear(["toc?"] * 40 + ["dadam"], before, seconds=8)
    time.sleep(0.2)  # nothing more may come
    got = game.hear(["toc?"] * 40 + ["dadam"], before, seconds=0)
    landings = [n for n in got[:-1] if n]
    print("game over: %d landing sound(s) heard, then dadam.wav whole" % len(landings))
    if not landings:
        fail("game over: expected landings (toc.wav) then dadam.wav whole, captured %s" % got)


DEVICE_OPENED, DEVICE_CLOSED = r"trace:winmm:waveOutOpen ", r"trace:winmm:waveOutClose "


def heldKey(game):
    """Left and Right in turn at a held key's repeat rate: every bip.wav is heard, in order, the
    last whole (the driver takes a 60 ms clip whole at once, so the earlier ones may be too). Then
    a 1 s sound as the move sound: three moves are on screen long before it could end, and each
    cuts off the one before. The device is opened once and closed after the quiet spell."""
    def heard(names):
        return game.hear(names, mark, seconds=20)

    presses, mark = 60, 0
    game.keys(*["Left", "Right"] * (presses // 2), delay=33)
    bips = heard(["bip?"] * (presses - 1) + ["bip"])
    print("held key: %d presses, bytes heard of each bip.wav: %s" % (presses, bips))
    if not all(bips):
        fail("held key: a bip.wav was not heard")
    column, mark = game.column(), len(captured(game.capture))
    shutil.copy(os.path.join(game.folder, "dadam.wav"), os.path.join(game.folder, "bip.wav"))
    game.keys("Left", "Right", "Left", delay=33)
    sent = time.time()
    waitFor("three moves", lambda: game.column() == column - 1, seconds=3)
    print("three moves with a 1 s sound on screen %.0f ms after the last key" % (1000 * (time.time() - sent)))
    if time.time() - sent > 0.5:
        fail("a move waited for its sound")
    dadams = heard(["dadam?", "dadam?", "dadam"])
    print("bytes heard of each: %s" % dadams)
    if not all(0 < n < len(WAV["dadam"]) for n in dadams[:2]):
        fail("a 1 s sound was not cut off by the next")
    closed = waitFor("the device to close", lambda: game.calls(DEVICE_CLOSED), seconds=5)
    quiet = closed[-1] - game.calls(r"trace:winmm:waveOutWrite ")[-1] - len(WAV["dadam"]) / 44100
    opened = game.calls(DEVICE_OPENED)
    print("device opened %d, closed %d time(s), %.2f s after the last sound ended" % (len(opened), len(closed), quiet))
    if (len(opened), len(closed)) != (1, 1) or not 1.2 < quiet < 2:
        fail("expected the device opened once and closed about 1.5 s after the last sound")


def noDevice(game):
    """No sound device: moves go on, and once the first request has failed no file is read while
    sounds are asked for, even for two seconds of a held key; after a quiet spell the device is
    looked for again."""
    reads = lambda: game.calls(r"NtCreateFile .*bip\.wav")
    column = game.column()
    game.keys(*["Left", "Right"] * 30 + ["Left"], delay=33)
    waitFor("61 moves", lambda: game.column() == column - 1, seconds=3)
    during = len(reads()), len(game.calls(DEVICE_OPENED))
    time.sleep(1.6)
    game.keys("Left")
    waitFor("one more move", lambda: game.column() == column - 2, seconds=3)
    after = len(reads()), len(game.calls(DEVICE_OPENED))
    print("no device: bip.wav read %d time(s) for 61 moves, %d for one more after the quiet spell" % (during[0], after[0]))
    if during != (1, 1) or after != (2, 2):
        fail("expected one read and one try to open for the first move alone, then one of each after "
             "the quiet spell; read and tried %s, then %s" % (during, after))
    game.expect()


def moveSwitchedOff(game):
    """Options: Tab to the third box, "Deplacement de la piece.", untick it, OK."""
    game.menu(2, "Options de Karvel  1.2", "Tab", "Tab", "Tab", "space", "Return")
    moveTurnLand(game, ["tac", "toc"])


def deepFolder(base, length):
    """A folder under BASE whose Windows name (Z: and a final backslash) has LENGTH characters."""
    path = base
    while len(path) + 3 < length:
        left = length - len(path) - 4  # one more backslash, then this many characters
        path = os.path.join(path, "d" * (99 if left == 101 else min(100, left)))  # never an empty name last
    if len(path) + 3 != length:
        fail("work folder %s too long for a %d-character folder" % (base, length))
    return path


def readOnly(folder):
    """The game's folder made read-only; the game starts only if a write there fails. Root ignores
    write permissions: for root, a read-only bind mount of the folder onto itself in a mount
    namespace of the game's own; for anyone else, the folder without write permission."""
    probe = '! touch "$0/w" 2>/dev/null && cd "$0" && exec "$@"'
    if os.getuid():
        os.chmod(folder, 0o555)
        # Writable again on any exit but a kill, after which the next run's freshFolder repairs it.
        atexit.register(os.chmod, folder, 0o755)
        signal.signal(signal.SIGTERM, lambda *_: sys.exit("FAIL: stopped"))
        return ["sh", "-c", probe, folder]
    mount = 'mount --bind "$0" "$0" && mount -o remount,ro,bind "$0" "$0" && '
    return ["unshare", "--mount", "sh", "-c", mount + probe, folder]


def defaultSoundThenSilence(game):
    """First the control, in the same prefix and capture: a request for a missing file without
    SND_NODEFAULT plays the default sound (dadam.wav's data, set by runScenario). Then the game,
    its files missing, is silent."""
    home = os.path.join(game.work, "home")
    subprocess.run(["setpriv", "--pdeathsig", "KILL", "wine", os.environ["KARVEL_DEFAULT_SOUND_PROBE"]],
                   env=dict(os.environ, HOME=home), check=True)
    game.expect("dadam")
    moveTurnLand(game, [])


# Scenario: (folder under WORK_DIR or a function of the scenario folder, exe name, files left out,
# what runs once the window is up, command wrapping wine).
moves = lambda sounds: lambda game: moveTurnLand(game, sounds)
SCENARIOS = {
    "plain": ("Karvel", "Karvel.exe", (), moves(MOVE_TURN_LAND), None),
    "inplace": (None, "Karvel.exe", (), moves(MOVE_TURN_LAND), None),  # DIST_DIR as it is, no copy
    "cyrillic": ("Игры и блоки/Карвель 1.2", "Karvel.exe", (), moves(MOVE_TURN_LAND), None),
    "cleared": ("Karvel", "Karvel.exe", (), clearedRowThenGameOver, None),
    "moveoff": ("Karvel", "Karvel.exe", (), moveSwitchedOff, None),
    "notac": ("Karvel", "Karvel.exe", ("tac.wav",), moves(["bip", "toc"]), None),
    # The longest folder where every name fits textBuffer (246 + "dadam.wav" + NUL = 256).
    "longdir": (lambda base: deepFolder(base, 246), "Karvel.exe", (), moves(MOVE_TURN_LAND), None),
    # 249 + "bip.wav" + NUL no longer fits: every effect silent.
    "soundtoolong": (lambda base: deepFolder(base, 249), "Karvel.exe", (), moves([]), None),
    # Windows name of the exe 261 characters: GetModuleFileNameA cuts it at 260.
    "exetoolong": (lambda base: deepFolder(base, 251), "Karvel.exe", (), moves([]), None),
    "spaces": ("Mes jeux/Karvel 1.2", "Karvel le jeu 1.2.exe", (), moves(MOVE_TURN_LAND), None),
    "readonly": ("Karvel", "Karvel.exe", (), moves(MOVE_TURN_LAND), readOnly),
    # Karvel.exe alone, as started from inside the zip, where the system has a default sound
    # (set by runScenario): silence, not that sound at every move.
    "alone": ("Karvel", "Karvel.exe", tuple(w + ".wav" for w in WAVS), defaultSoundThenSilence, None),
    "held": ("Karvel", "Karvel.exe", (), heldKey, None),
    "nodevice": ("Karvel", "Karvel.exe", (), noDevice, None),  # the prefix's audio driver left off
}
TRACED = ("held", "nodevice")


def runScenario(name, dist, work):
    """Runs scenario NAME on the game in DIST (Karvel.exe and its WAV files) inside WORK; exits
    with a message starting "FAIL:" when a check fails."""
    dist, work = os.path.abspath(dist), os.path.abspath(work)
    where, exe, leftOut, run, wrap = SCENARIOS[name]
    freshFolder(work)
    folder = where(os.path.join(work, "game")) if callable(where) else os.path.join(work, where or dist)
    if where:
        os.makedirs(folder)
        shutil.copy(os.path.join(dist, "Karvel.exe"), os.path.join(folder, exe))
        for wav in WAVS:
            if wav + ".wav" not in leftOut:
                shutil.copy(os.path.join(dist, wav + ".wav"), folder)
    print("%s: Z:%s\\%s (%d characters)" % (name, folder.replace("/", "\\"), exe, len(folder) + 3 + len(exe)))
    WAV.update((w, wavData(os.path.join(dist, w + ".wav"))) for w in WAVS)
    settings = [AUDIO_DRIVER + ("" if name == "nodevice" else "alsa",)]
    if name == "alone":  # the sound Wine plays for a missing file unless told not to
        shutil.copy(os.path.join(dist, "dadam.wav"), os.path.join(work, "ding.wav"))
        settings.append((r"HKCU\Control Panel\Sounds", "Default", "Z:%s\\ding.wav,Default Beep" % work.replace("/", "\\")))
    game = None
    try:
        with prefixSettings(settings):
            # The game ends with this script, even killed: no window of a dead run stays on the display.
            game = Game(work, folder, exe, ["setpriv", "--pdeathsig", "KILL"] + (wrap(folder) if wrap else []),
                        trace=name in TRACED)
            run(game)
            game.close()
    finally:
        if game is not None and game.process.poll() is None:
            game.process.kill()
    print("%s: passed" % name)


if __name__ == "__main__":
    if sys.argv[1:2] == ["matcher"] and len(sys.argv) == 3:
        sys.exit(checkMatcher(sys.argv[2]))
    if len(sys.argv) != 4 or sys.argv[1] not in SCENARIOS:
        sys.exit("usage: sounds_e2e.py {%s} DIST_DIR WORK_DIR" % ",".join(SCENARIOS))
    runScenario(*sys.argv[1:])
