// Moving, turning and dropping the falling piece.
#include "frontend.h"
#include "game.h"
#include "../sound/sound.h"

namespace {

// A cell outside the board counts as occupied, like the floor row, so no test
// ever reads outside the board even if the invariants were broken.
bool occupied(int row, int column) {
    if (row < 0 || row > kFloorRow || column < 0 || column >= kColumns)
        return true;
    return game.board[row][column] != 0;
}

// The side move by step columns, if every target cell is inside the walls and free.
void moveSideways(int step) {
    const PieceShape &shape = game.currentShape;
    for (int i = 0; i < kPieceCells; ++i) {
        int t = game.pieceColumn + shape.dx[i] + step;
        if (t < 0 || t >= kColumns)
            return;
        if (occupied(game.pieceRow + shape.dy[i], t))
            return;
    }
    playEffect(MoveEffect);
    game.pieceColumn += step;
}

} // namespace

void moveLeft() { moveSideways(-1); }

void moveRight() { moveSideways(+1); }

void rotatePiece() {
    PieceShape &shape = game.currentShape;
    for (int i = 0; i < kPieceCells; ++i) {
        int dx = shape.dx[i];
        shape.dx[i] = shape.dy[i];
        shape.dy[i] = -dx;
    }
    for (int i = 0; i < kPieceCells; ++i) {
        int c = game.pieceColumn + shape.dx[i];
        int r = game.pieceRow + shape.dy[i];
        if (c < 0 || c >= kColumns || r < 0 || r >= kRows || occupied(r, c)) {
            // The exact inverse of the turn: the offsets come back cell by cell.
            for (int k = 0; k < kPieceCells; ++k) {
                int dy = shape.dy[k];
                shape.dy[k] = shape.dx[k];
                shape.dx[k] = -dy;
            }
            return;
        }
    }
    playEffect(RotateEffect);
}

void dropStep() {
    game.fullRepaint = 0;
    const PieceShape &shape = game.currentShape;
    for (int i = 0; i < kPieceCells; ++i) {
        if (occupied(game.pieceRow + shape.dy[i] + 1, game.pieceColumn + shape.dx[i])) {
            landPiece();
            game.fullRepaint = 1;
            requestRepaint();
            break;
        }
    }
    // After a landing this brings the next piece in at row 0 in the same step.
    game.pieceRow += 1;
    requestRepaint();
}
