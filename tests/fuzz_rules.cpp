// Fuzz target for the rules: input bytes become a run of operations, every result is checked.
//
// Each byte is an operation (low four bits), some with argument bytes:
//   0-3  dropStep     4-6 moveLeft     7-9 moveRight     10 rotatePiece
//        (the high four bits repeat it 1 to 16 times; skipped while the game is over, like
//        the window procedure does)
//   11   one piece placed with those moves: turns and column from the next byte
//   12   newGame      level from the next byte: 0 to 10 mostly, else 11..42 or -32..-1
//   13   a sound switch: which and its value (1, 0, 2 or -1) from the next byte
//   14   srand        seed from the next four bytes
//   15   soundDirectory of 1 to 260 characters (next byte), no terminator at 260
#include "invariants.h"
#include "rules/frontend.h"
#include "sound/sound.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const GameState initialGame = game; // constant initialisation: the record as the program starts

int GameState::*const soundSwitches[kEffectCount] = {&GameState::moveSound, &GameState::rotateSound,
                                                     &GameState::landSound, &GameState::lineClearSound,
                                                     &GameState::gameOverSound};

struct Calls {
    int repaint, start, stop, played;
};
Calls calls;

[[noreturn]] void fail(const char *operation, const std::string &what) {
    fprintf(stderr, "after %s: %s\n", operation, what.c_str());
    abort();
}

// The fields newGame may write, then those dropStep may write, then those of a side move or a turn.
const std::string gameFields = "board pieceColumn pieceRow currentKind currentShape nextKind nextShape level "
                               "tickInterval score lines linesBeforeLanding gameOver",
                  dropWrites = gameFields + " fullRepaint textBuffer",
                  moveWrites = "pieceColumn currentShape textBuffer";

// Fails when the record differs from before in a field the operation may not write.
void checkWritten(const char *operation, const GameState &before, const std::string &writable) {
    const std::string outside = changedFields(before, game, writable.c_str());
    if (!outside.empty())
        fail(operation, "wrote " + outside);
}

void checkRecord(const char *operation, const GameState &before) {
    std::string broken = brokenInvariant(before);
    if (!broken.empty())
        fail(operation, broken);
    if (strnlen(game.textBuffer, sizeof game.textBuffer) == sizeof game.textBuffer)
        fail(operation, "textBuffer lost its terminator");
    int interval = 0;
    bool inTable = false;
    for (int level = 1; level <= 10 && !inTable; ++level)
        inTable = tickIntervalForLevel(level, &interval) && interval == game.tickInterval;
    if (!inTable)
        fail(operation, "tickInterval " + std::to_string(game.tickInterval) + " is no table entry");
}

// 1 when the effect plays now: its switch is 1 and its path fits in textBuffer.
int sounding(SoundEffect effect) {
    return game.*soundSwitches[effect] == 1 &&
           strnlen(game.soundDirectory, sizeof game.soundDirectory) + strlen(effectFileName(effect)) <
               sizeof game.textBuffer;
}

struct Move {
    void (*operation)();
    const char *name;
    SoundEffect effect; // of a side move or a turn
};
const Move moves[] = {
    {dropStep, "dropStep", LandEffect},
    {moveLeft, "moveLeft", MoveEffect},
    {moveRight, "moveRight", MoveEffect},
    {rotatePiece, "rotatePiece", RotateEffect},
};

// Called only while the game runs, as the window procedure does for keys and ticks.
void runMove(const Move &move, int count) {
    for (int i = 0; i < count && game.gameOver == 0; ++i) {
        GameState before;
        memcpy(&before, &game, sizeof game);
        const Calls callsBefore = calls;
        move.operation();
        checkRecord(move.name, before);
        int repaints = 0, starts = 0, stops = 0, sounds = 0;
        checkWritten(move.name, before, move.operation == dropStep ? dropWrites : moveWrites);
        if (move.operation == dropStep) {
            // A landing always scores; each cleared row restarts the timer, the end of the game stops it.
            const int landed = game.score != before.score, cleared = game.lines - before.lines, ended = game.gameOver;
            repaints = 1 + landed * (1 + cleared + ended);
            starts = cleared;
            stops = cleared + ended;
            sounds = landed * (sounding(LandEffect) + cleared * sounding(LineClearEffect) + ended * sounding(GameOverEffect));
        } else {
            const bool moved = game.pieceColumn != before.pieceColumn ||
                               memcmp(&game.currentShape, &before.currentShape, sizeof game.currentShape) != 0;
            sounds = moved ? sounding(move.effect) : 0;
        }
        if (calls.repaint - callsBefore.repaint != repaints || calls.start - callsBefore.start != starts ||
            calls.stop - callsBefore.stop != stops || calls.played - callsBefore.played != sounds)
{
            char text[100];
            snprintf(text, sizeof text, "repaint, start, stop and sound calls %d %d %d %d, expected %d %d %d %d",
                     calls.repaint - callsBefore.repaint, calls.start - callsBefore.start,
                     calls.stop - callsBefore.stop, calls.played - callsBefore.played, repaints, starts, stops, sounds);
            fail(move.name, text);
        }
    }
}

// A player's way down: two rows so that the piece can turn, its turns, side moves to the
// column, then drops until it lands. x: turns in the low two bits, the column above them.
void placePiece(int x) {
    runMove(moves[0], 2);
    runMove(moves[3], x & 3);
    for (int column = (x >> 2) % kColumns, from = -1; game.pieceColumn != column && game.pieceColumn != from;) {
        from = game.pieceColumn;
        runMove(moves[column < from ? 1 : 2], 1);
    }
    for (int score = game.score, i = 0; i <= kRows && game.score == score; ++i)
        runMove(moves[0], 1);
}

void runNewGame(int level) {
    GameState before;
    memcpy(&before, &game, sizeof game);
    const Calls callsBefore = calls;
    newGame(level);
    checkRecord("newGame", game); // the counters start again: the fresh record is its own baseline
    checkWritten("newGame", before, gameFields);
    int interval = before.tickInterval;
    tickIntervalForLevel(level, &interval);
    bool emptyWell = true;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            emptyWell &= game.board[r][c] == 0;
    if (!emptyWell || game.level != level || game.tickInterval != interval || game.score != 0 || game.lines != 0 ||
        game.linesBeforeLanding != 0 || game.gameOver != 0 || game.pieceColumn != kEntryColumn ||
        game.pieceRow != 0 || memcmp(&calls, &callsBefore, sizeof calls) != 0)
        fail("newGame", "not a fresh game at level " + std::to_string(level));
}

// The record as start-up leaves it, with a fixed seed so that every input replays the same.
void startRun() {
    memcpy(&game, &initialGame, sizeof game);
    srand(1);
    strcpy(game.soundDirectory, "C:\\Jeux\\Karvel\\");
    dealFirstPieces();
    layFloorRow();
    calls = Calls{};
}

} // namespace

// The front-end services and the platform's sound, counting and checking instead of acting.
void requestRepaint() { ++calls.repaint; }
void startGravityTimer() { ++calls.start; }
void stopGravityTimer() { ++calls.stop; }

void playSoundFile(const char *path) {
    ++calls.played;
    // The path is composed in textBuffer: the directory, then the file of an effect whose switch is 1.
    const size_t dirLength = strnlen(game.soundDirectory, sizeof game.soundDirectory);
    const size_t pathLength = strnlen(path, sizeof game.textBuffer);
    bool fine = path == game.textBuffer && pathLength < sizeof game.textBuffer && pathLength > dirLength &&
                memcmp(path, game.soundDirectory, dirLength) == 0;
    bool known = false;
    for (int e = 0; e < kEffectCount && fine && !known; ++e)
        known = game.*soundSwitches[e] == 1 && strcmp(path + dirLength, effectFileName(static_cast<SoundEffect>(e))) == 0;
    if (!known)
        fail("playEffect", "played an unexpected path");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    startRun();
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        const uint8_t byte = next();
        const int repeat = (byte >> 4) + 1;
        switch (byte & 15) {
        case 0: case 1: case 2: case 3: runMove(moves[0], repeat); break;
        case 4: case 5: case 6: runMove(moves[1], repeat); break;
        case 7: case 8: case 9: runMove(moves[2], repeat); break;
        case 10: runMove(moves[3], repeat); break;
        case 11: placePiece(next()); break;
        case 12: {
            const int x = next();
            runNewGame(x < 0xC0 ? x % 11 : x < 0xE0 ? x - 0xC0 + 11 : 0xDF - x);
            break;
        }
        case 13: {
            const int x = next();
            const int values[] = {1, 0, 2, -1};
            game.*soundSwitches[x % kEffectCount] = values[x / kEffectCount % 4];
            break;
        }
        case 14: {
            unsigned seed = 0;
            for (int i = 0; i < 4; ++i)
                seed = seed << 8 | next();
            srand(seed);
            break;
        }
        case 15: {
            // Never empty, as start-up always stores one; often around the longest paths that
            // fit: a directory of 246 for "dadam.wav", 248 for "bip.wav".
            const int x = next();
            const int length = x <= 200 ? x + 1 : 235 + (x - 201) % 26;
            memset(game.soundDirectory, 0, sizeof game.soundDirectory);
            for (int i = 0; i < length; ++i)
                game.soundDirectory[i] = i + 1 == length ? '\\' : static_cast<char>('a' + i % 26);
            break;
        }
        }
    }
    return 0;
}
