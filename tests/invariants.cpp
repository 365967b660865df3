// The game record's invariants: what every operation of the rules must leave true.
#include "invariants.h"

#include <cstring>

namespace {

bool sameShape(const PieceShape &a, const PieceShape &b) { return memcmp(&a, &b, sizeof a) == 0; }

PieceShape turnedOnce(PieceShape shape) {
    for (int i = 0; i < kPieceCells; ++i) {
        int dx = shape.dx[i];
        shape.dx[i] = shape.dy[i];
        shape.dy[i] = -dx;
    }
    return shape;
}

} // namespace

bool inBoard(int column, int row) { return column >= 0 && column < kColumns && row >= 0 && row < kRows; }

std::string brokenInvariant(const GameState &before) {
    if (game.score < before.score || game.lines < before.lines || game.level < before.level)
        return "score, lines or level went down";
    for (int r = 0; r <= kFloorRow; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (r == kFloorRow ? game.board[r][c] != 1 : game.board[r][c] < 0 || game.board[r][c] > 7)
                return "cell " + std::to_string(c) + "," + std::to_string(r) + ": " + std::to_string(game.board[r][c]);
    // The piece inside the board is what keeps every test of the rules inside it.
    for (int i = 0; i < kPieceCells && game.gameOver == 0; ++i)
        if (!inBoard(game.pieceColumn + game.currentShape.dx[i], game.pieceRow + game.currentShape.dy[i]))
            return "piece cell " + std::to_string(i) + " outside the board";
    if (game.nextKind < 1 || game.nextKind > 7 || !sameShape(game.nextShape, shapeOfKind(game.nextKind)))
        return "next piece of kind " + std::to_string(game.nextKind) + " not in its spawn shape";
    bool turnOfSpawn = false;
    PieceShape shape = shapeOfKind(game.currentKind);
    for (int turns = 0; turns < 4; ++turns, shape = turnedOnce(shape))
        turnOfSpawn |= sameShape(game.currentShape, shape);
    if (game.currentKind < 1 || game.currentKind > 7 || !turnOfSpawn)
        return "falling piece of kind " + std::to_string(game.currentKind) + " is no turn of its spawn shape";
    if (game.gameOver == 1 && game.board[0][kEntryColumn] == 0)
        return "game over with an empty entry cell";
    if (game.linesBeforeLanding > game.lines || (game.gameOver != 0 && game.gameOver != 1) ||
        (game.fullRepaint != 0 && game.fullRepaint != 1))
        return "linesBeforeLanding above lines, or a flag neither 0 nor 1";
    return "";
}
