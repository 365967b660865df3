// The game record's invariants, what every operation of the rules must leave true, and its comparison.
#include "invariants.h"

#include <cstddef>
#include <cstring>

namespace {

bool sameShape(const PieceShape &a, const PieceShape &b) { return memcmp(&a, &b, sizeof a) == 0; }

// Every field of the record, in order: the build stops when one is left out.
#define FIELD(f) {#f, offsetof(GameState, f), sizeof(GameState::f)}
constexpr struct Field { const char *name; size_t offset, size; } kFields[] = {
    FIELD(board), FIELD(pieceColumn), FIELD(pieceRow), FIELD(currentKind), FIELD(currentShape), FIELD(nextKind),
    FIELD(nextShape), FIELD(level), FIELD(tickInterval), FIELD(score), FIELD(lines), FIELD(linesBeforeLanding),
    FIELD(gameOver), FIELD(inputBlocked), FIELD(fullRepaint), FIELD(previousCells), FIELD(lineClearSound),
    FIELD(rotateSound), FIELD(moveSound), FIELD(landSound), FIELD(gameOverSound), FIELD(soundDirectory),
    FIELD(textBuffer), FIELD(mainWindow),
};
#undef FIELD
constexpr size_t listedBytes() {
    size_t bytes = 0;
    for (const Field &f : kFields)
        bytes += f.size;
    return bytes;
}
static_assert(listedBytes() == sizeof(GameState), "a field of GameState is missing from kFields");

// Whether the space-separated list holds the name as a word of its own.
bool holds(const char *list, const char *name) {
    const size_t length = strlen(name);
    for (const char *at = strstr(list, name); at; at = strstr(at + 1, name))
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

} // namespace

PieceShape turned(PieceShape shape, int turns) {
    for (int t = 0; t < turns; ++t)
        for (int i = 0; i < kPieceCells; ++i) {
            int dx = shape.dx[i];
            shape.dx[i] = shape.dy[i];
            shape.dy[i] = -dx;
        }
    return shape;
}

std::string changedFields(const GameState &before, const GameState &after, const char *ignored) {
    const char *from = reinterpret_cast<const char *>(&before), *to = reinterpret_cast<const char *>(&after);
    std::string changes;
    for (const Field &f : kFields) {
        if (memcmp(from + f.offset, to + f.offset, f.size) == 0 || holds(ignored, f.name))
            continue;
        changes += " " + std::string(f.name);
        if (f.size == sizeof(int)) // a number: both values
            changes += " " + std::to_string(*reinterpret_cast<const int *>(from + f.offset)) + "->" +
                       std::to_string(*reinterpret_cast<const int *>(to + f.offset));
    }
    return changes.empty() ? changes : changes.substr(1);
}

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
    for (int turns = 0; turns < 4; ++turns, shape = turned(shape))
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
