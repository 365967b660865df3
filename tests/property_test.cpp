// Many seeded random games, with the record's invariants checked after every operation.
#include "recorders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

constexpr int kGames = 200;
constexpr int kMaxOperationsPerGame = 3000;

bool sameShape(const PieceShape &a, const PieceShape &b) { return memcmp(&a, &b, sizeof a) == 0; }

// What is wrong with the record, or "" when every invariant holds.
std::string brokenInvariant() {
    for (int c = 0; c < kColumns; ++c)
        if (game.board[kFloorRow][c] != 1)
            return "floor cell " + std::to_string(c) + " is " + std::to_string(game.board[kFloorRow][c]);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (game.board[r][c] < 0 || game.board[r][c] > 7)
                return "cell " + std::to_string(c) + "," + std::to_string(r) + " holds " +
                       std::to_string(game.board[r][c]);
    if (game.gameOver == 0)
        for (int i = 0; i < kPieceCells; ++i) {
            int c = game.pieceColumn + game.currentShape.dx[i], r = game.pieceRow + game.currentShape.dy[i];
            if (c < 0 || c >= kColumns || r < 0 || r >= kRows)
                return "piece cell " + std::to_string(i) + " at " + std::to_string(c) + "," + std::to_string(r);
        }
    if (game.linesBeforeLanding > game.lines)
        return "linesBeforeLanding " + std::to_string(game.linesBeforeLanding) + " > lines " +
               std::to_string(game.lines);
    if (game.nextKind < 1 || game.nextKind > 7 || !sameShape(game.nextShape, shapeOfKind(game.nextKind)))
        return "next piece of kind " + std::to_string(game.nextKind) + " is not in its spawn shape";
    if (game.currentKind < 1 || game.currentKind > 7)
        return "falling piece of kind " + std::to_string(game.currentKind);
    PieceShape shape = shapeOfKind(game.currentKind);
    bool turnOfSpawn = false;
    for (int turns = 0; turns < 4; ++turns, shape = turned(shape, 1))
        turnOfSpawn |= sameShape(shape, game.currentShape);
    if (!turnOfSpawn)
        return "falling piece of kind " + std::to_string(game.currentKind) + " is no turn of its spawn shape";
    if (game.gameOver == 1 && game.board[0][kEntryColumn] == 0)
        return "game over with an empty entry cell";
    if ((game.gameOver != 0 && game.gameOver != 1) || (game.fullRepaint != 0 && game.fullRepaint != 1))
        return "a flag is neither 0 nor 1";
    return "";
}

// An aim for one piece: how often to turn it and where to take it.
struct Plan {
    bool made;
    int turns, column;
};

bool fits(const PieceShape &shape, int column, int row) {
    for (int i = 0; i < kPieceCells; ++i) {
        int c = column + shape.dx[i], r = row + shape.dy[i];
        if (c < 0 || c >= kColumns || r < 0 || r >= kRows || game.board[r][c] != 0)
            return false;
    }
    return true;
}

// Usually the place where the piece would rest lowest with the fewest covered holes, so rows
// fill and clear; three pieces in a hundred go anywhere, so games also end.
Plan planPiece(std::mt19937 &pick) {
    Plan plan = {true, static_cast<int>(pick() % 4), static_cast<int>(pick() % kColumns)};
    if (pick() % 100 < 3)
        return plan;
    int best = -1000000;
    PieceShape shape = game.currentShape;
    for (int turns = 0; turns < 4; ++turns, shape = turned(shape, 1))
        for (int column = 0; column < kColumns; ++column) {
            int row = 2;
            if (!fits(shape, column, row))
                continue;
            while (fits(shape, column, row + 1))
                ++row;
            // Lower is better; each empty cell left under the piece costs four rows.
            int value = static_cast<int>(pick() % 3);
            for (int i = 0; i < kPieceCells; ++i)
                game.board[row + shape.dy[i]][column + shape.dx[i]] = 9;
            for (int i = 0; i < kPieceCells; ++i) {
                int c = column + shape.dx[i], r = row + shape.dy[i];
                value += 10 * r;
                if (game.board[r + 1][c] == 0)
                    for (int below = r + 1; below < kRows && game.board[below][c] == 0; ++below)
                        value -= 40;
            }
            for (int i = 0; i < kPieceCells; ++i)
                game.board[row + shape.dy[i]][column + shape.dx[i]] = 0;
            if (value > best)
                best = value, plan.turns = turns, plan.column = column;
        }
    return plan;
}

TEST(RandomGames, InvariantsHoldAfterEveryOperation) {
    std::mt19937 pick(2024); // chooses operations; the rules deal from rand(), seeded per game
    int gamesOver = 0, linesCleared = 0, levelUps = 0;
    resetGame();
    for (int g = 0; g < kGames; ++g) {
        srand(static_cast<unsigned>(g) + 1);
        if (g == 0)
            dealFirstPieces(); // the first game starts as start-up starts it
        else
            newGame(static_cast<int>(pick() % 11));
        int score = game.score, lines = game.lines, level = game.level;
        Plan plan = {false, 0, 0};
        ASSERT_EQ("", brokenInvariant()) << "game " << g << " at its start";
        for (int n = 0; n < kMaxOperationsPerGame && game.gameOver == 0; ++n) {
            if (!plan.made)
                plan = planPiece(pick);
            // Follow the plan, with one operation in a hundred chosen at random.
            const char *operation;
            unsigned choice = game.pieceRow < 2           ? 3
                              : plan.turns > 0              ? 0
                              : game.pieceColumn > plan.column ? 1
                              : game.pieceColumn < plan.column ? 2
                                                             : 3;
            if (pick() % 100 == 0)
                choice = static_cast<unsigned>(pick() % 4);
            int column = game.pieceColumn;
            if (choice == 0) {
                operation = "rotatePiece";
                rotatePiece();
                plan.turns -= plan.turns > 0 ? 1 : 0;
            } else if (choice == 1 || choice == 2) {
                operation = choice == 1 ? "moveLeft" : "moveRight";
                (choice == 1 ? moveLeft : moveRight)();
                if (game.pieceColumn == column)
                    plan.column = column; // blocked: drop here
            } else if (pick() % 2000 != 0) {
                operation = "dropStep";
                dropStep();
                plan.made = game.pieceRow != 0; // row 0 after a step: a new piece entered
            } else {
                operation = "newGame";
                newGame(static_cast<int>(pick() % 11));
                plan.made = false;
                score = game.score, lines = game.lines, level = game.level;
            }
            requests.clear();
            ASSERT_EQ("", brokenInvariant()) << "game " << g << ", operation " << n << " (" << operation << ")";
            ASSERT_GE(game.score, score) << "game " << g << ", operation " << n << " (" << operation << ")";
            ASSERT_GE(game.lines, lines) << "game " << g << ", operation " << n << " (" << operation << ")";
            ASSERT_GE(game.level, level) << "game " << g << ", operation " << n << " (" << operation << ")";
            linesCleared += game.lines - lines;
            levelUps += game.level - level;
            score = game.score, lines = game.lines, level = game.level;
        }
        gamesOver += game.gameOver;
    }
    printf("%d games: %d ended, %d rows cleared, %d level-ups\n", kGames, gamesOver, linesCleared, levelUps);
    // The run must have reached what it is meant to check.
    EXPECT_GE(gamesOver, kGames / 4) << "games that ended";
    EXPECT_GE(linesCleared, 1000) << "rows cleared over all games";
    EXPECT_GE(levelUps, 10) << "level-ups over all games";
}

} // namespace
