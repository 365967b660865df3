// Landing the piece, clearing full rows, scoring, levels and the end of a game.
#include "frontend.h"
#include "game.h"
#include "../sound/sound.h"

namespace {

constexpr int kLandingBonus = 15;
constexpr int kLastLevelUpLines = 180; // level-ups at 20, 40 .. 180 lines, none later

bool rowFull(int row) {
    for (int c = 0; c < kColumns; ++c)
        if (game.board[row][c] == 0)
            return false;
    return true;
}

} // namespace

void landPiece() {
    const PieceShape &shape = game.currentShape;
    for (int i = 0; i < kPieceCells; ++i) {
        int r = game.pieceRow + shape.dy[i];
        int c = game.pieceColumn + shape.dx[i];
        if (r >= 0 && r < kRows && c >= 0 && c < kColumns) // never the floor, never outside
            game.board[r][c] = game.currentKind;
    }
    playEffect(LandEffect);
    game.pieceColumn = kEntryColumn;
    game.pieceRow = -1;
    game.score += kLandingBonus;
    clearFullRows();
    promoteNextPiece();
}

void clearFullRows() {
    game.linesBeforeLanding = game.lines;
    // Each removal rescans from the top, so full rows go topmost first.
    for (int r = 0; r < kRows;) {
        if (rowFull(r)) {
            clearRow(r);
            r = 0;
        } else {
            ++r;
        }
    }
    if (game.board[0][kEntryColumn] != 0) {
        game.gameOver = 1;
        playEffect(GameOverEffect);
        game.fullRepaint = 1;
        stopGravityTimer();
        requestRepaint();
    }
}

void clearRow(int row) {
    if (row < 0 || row >= kRows) // only playfield rows are ever cleared
        return;
    playEffect(LineClearEffect);
    for (int r = row; r >= 1; --r)
        for (int c = 0; c < kColumns; ++c)
            game.board[r][c] = game.board[r - 1][c];
    for (int c = 0; c < kColumns; ++c)
        game.board[0][c] = 0;
    game.lines += 1;
    if (game.lines % 20 == 0 && game.lines <= kLastLevelUpLines)
        game.level += 1;
    if (game.level >= 2 && game.level <= 10)
        tickIntervalForLevel(game.level, &game.tickInterval);
    stopGravityTimer();
    int levelTerm = (game.level - 1) * (game.level - 1) * 10;
    game.score += levelTerm + (game.lines - game.linesBeforeLanding) * 150;
    startGravityTimer();
    game.fullRepaint = 1;
    requestRepaint();
}
