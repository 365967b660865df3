// The game record, new games, piece kinds and dealing.
#include "game.h"

#include <cstdlib>

GameState game = {
    {},                     // board: empty; start-up lays the floor row
    kEntryColumn, 0,        // pieceColumn, pieceRow
    0, {}, 0, {},           // pieces: dealt at start-up
    1, 750, 0, 0, 0, 0,     // level, tickInterval, score, lines, linesBeforeLanding, gameOver
    0, 1, {},               // inputBlocked, fullRepaint, previousCells
    1, 1, 1, 1, 1,          // the five sound switches
    "", "", nullptr,        // soundDirectory, textBuffer, mainWindow
};

namespace {

struct LevelSpeed {
    int level;
    int interval; // ms
};

const LevelSpeed levelSpeeds[] = {
    // level  interval
    {1, 750}, {2, 700}, {3, 650}, {4, 600}, {5, 500},
    {6, 400}, {7, 300}, {8, 200}, {9, 100}, {10, 50},
};

const PieceShape spawnShapes[7] = {
    // dx of cells 0..3     dy of cells 0..3         kind  upper / lower line
    {{-1, 0, 0, 1}, {1, 1, 0, 0}},  // 1  . P X / X X .
    {{-1, 0, 0, 1}, {0, 0, 1, 1}},  // 2  X P . / . X X
    {{-1, 0, 1, 0}, {0, 0, 0, 1}},  // 3  X P X / . X .
    {{0, 1, 0, 1}, {0, 0, 1, 1}},   // 4  P X / X X
    {{-1, -1, 0, 1}, {1, 0, 0, 0}}, // 5  X P X / X . .
    {{-1, 0, 1, 1}, {0, 0, 0, 1}},  // 6  X P X / . . X
    {{-1, 0, 1, 2}, {0, 0, 0, 0}},  // 7  X P X X
};

PieceKind drawKind() { return rand() % 7 + 1; }

} // namespace

bool tickIntervalForLevel(int level, int *interval) {
    for (const LevelSpeed &entry : levelSpeeds) {
        if (entry.level == level) {
            *interval = entry.interval;
            return true;
        }
    }
    return false;
}

void newGame(int level) {
    game.level = level;
    tickIntervalForLevel(level, &game.tickInterval);
    game.pieceColumn = kEntryColumn;
    game.pieceRow = 0;
    game.score = 0;
    game.lines = 0;
    game.linesBeforeLanding = 0;
    game.gameOver = 0;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            game.board[r][c] = 0;
    dealFirstPieces();
}

void layFloorRow() {
    for (int c = 0; c < kColumns; ++c)
        game.board[kFloorRow][c] = 1;
}

PieceShape shapeOfKind(PieceKind kind) {
    // Only 1..7 occur; anything else gets kind 1 rather than a read outside the table.
    return spawnShapes[kind >= 1 && kind <= 7 ? kind - 1 : 0];
}

PieceCells fallingPieceCells() {
    PieceCells cells;
    for (int i = 0; i < kPieceCells; ++i) {
        cells.column[i] = game.pieceColumn + game.currentShape.dx[i];
        cells.row[i] = game.pieceRow + game.currentShape.dy[i];
    }
    return cells;
}

void dealFirstPieces() {
    game.nextKind = drawKind();
    game.nextShape = shapeOfKind(game.nextKind);
    game.currentKind = drawKind();
    game.currentShape = shapeOfKind(game.currentKind);
}

void promoteNextPiece() {
    game.currentKind = game.nextKind;
    game.currentShape = game.nextShape;
    game.nextKind = drawKind();
    game.nextShape = shapeOfKind(game.nextKind);
}
