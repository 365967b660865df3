// Many seeded random games, with the record's invariants checked after every operation.
#include "invariants.h"
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

bool fits(const PieceShape &shape, int column, int row) {
    for (int i = 0; i < kPieceCells; ++i)
        if (!inBoard(column + shape.dx[i], row + shape.dy[i]) || game.board[row + shape.dy[i]][column + shape.dx[i]])
            return false;
    return true;
}

// An aim for one piece: how often to turn it and where to take it.
struct Plan {
    int turns, column;
};

// Usually the place where the piece would rest lowest with the fewest covered holes, so rows
// fill and clear; three pieces in a hundred keep their random aim, so games also end.
Plan planPiece(std::mt19937 &pick) {
    Plan plan = {static_cast<int>(pick() % 4), static_cast<int>(pick() % kColumns)};
    int best = pick() % 100 < 3 ? 1000000 : -1000000;
    for (int turns = 0; turns < 4; ++turns)
        for (int column = 0; column < kColumns; ++column) {
            const PieceShape shape = turned(game.currentShape, turns);
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
                value += 10 * (row + shape.dy[i]);
                for (int r = row + shape.dy[i] + 1; r < kRows && game.board[r][column + shape.dx[i]] == 0; ++r)
                    value -= 40;
            }
            for (int i = 0; i < kPieceCells; ++i)
                game.board[row + shape.dy[i]][column + shape.dx[i]] = 0;
            if (value > best) {
                best = value;
                plan = {turns, column};
            }
        }
    return plan;
}

void (*const kOperations[])() = {rotatePiece, moveLeft, moveRight, dropStep};
const char *const kOperationNames[] = {"rotatePiece", "moveLeft", "moveRight", "dropStep"};

TEST(RandomGames, InvariantsHoldAfterEveryOperation) {
    std::mt19937 pick(2024); // chooses operations; the rules deal from rand(), seeded per game
    int gamesOver = 0, linesCleared = 0, levelUps = 0;
    resetGame();
    for (int g = 0; g < kGames; ++g) {
        srand(static_cast<unsigned>(g) + 1);
        newGame(static_cast<int>(pick() % 11));
        ASSERT_EQ("", brokenInvariant(game)) << "game " << g << " at its start";
        Plan plan = planPiece(pick);
        for (int n = 0; n < kMaxOperationsPerGame && game.gameOver == 0; ++n) {
            // Follow the plan below row 1, with one operation in a hundred chosen at random.
            int choice = game.pieceRow < 2 ? 3 : plan.turns > 0 ? 0 : plan.column < game.pieceColumn ? 1 : 2;
            if (choice == 2 && plan.column == game.pieceColumn)
                choice = 3;
            if (pick() % 100 == 0)
                choice = static_cast<int>(pick() % 4);
            const GameState before = game;
            kOperations[choice]();
            requests.clear();
            ASSERT_EQ("", brokenInvariant(before)) << "game " << g << ", step " << n << ": " << kOperationNames[choice];
            linesCleared += game.lines - before.lines;
            levelUps += game.level - before.level;
            plan.turns -= choice == 0 ? 1 : 0;
            if ((choice == 1 || choice == 2) && game.pieceColumn == before.pieceColumn)
                plan.column = game.pieceColumn; // blocked sideways: drop here
            if (choice == 3 && game.pieceRow == 0) // a new piece entered
                plan = planPiece(pick);
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
