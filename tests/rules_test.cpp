// Tests of the game rules: new games, dealing, moves and turns, the drop step, landing, rows, score and levels.
#include "recorders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Cell {
    int column, row;
};

struct RowText {
    int row;
    const char *text; // '.' empty, '1'..'7' a cell value
};

const char *const kFullRow = "333333333333";

void setRow(GameState &state, int row, const char *text) {
    for (int c = 0; c < kColumns; ++c)
        state.board[row][c] = text[c] == '.' ? 0 : text[c] - '0';
}

// Rows 0..19 empty but for the given ones.
void setBoard(GameState &state, const std::vector<RowText> &rows) {
    memset(state.board, 0, sizeof state.board[0] * kRows);
    for (const RowText &row : rows)
        setRow(state, row.row, row.text);
}

// Rows 0..20, one line each, so that a failed comparison shows the rows that differ.
std::string boardText(const GameState &state) {
    std::string text;
    for (int r = 0; r <= kFloorRow; ++r) {
        text += std::to_string(r) + ": ";
        for (int c = 0; c < kColumns; ++c)
            text += state.board[r][c] == 0 ? '.' : static_cast<char>('0' + state.board[r][c] % 10);
        text += '\n';
    }
    return text;
}

void placePiece(PieceKind kind, int column, int row, int turns = 0, const std::vector<Cell> &blocks = {}) {
    game.currentKind = kind;
    game.currentShape = turned(shapeOfKind(kind), turns);
    game.pieceColumn = column;
    game.pieceRow = row;
    for (const Cell &b : blocks)
        game.board[b.row][b.column] = 2;
}

// The record with the falling and the next piece of the given kinds, in their spawn shapes.
GameState withPieces(GameState state, PieceKind falling, PieceKind next) {
    state.currentKind = falling;
    state.currentShape = shapeOfKind(falling);
    state.nextKind = next;
    state.nextShape = shapeOfKind(next);
    return state;
}

// The requests before a clear pass, then those of each row it clears, then those of a game over.
std::string passRequests(std::string names, int rows, bool over) {
    for (int k = 0; k < rows; ++k)
        names += " clear stop start repaint";
    names += over ? " over stop repaint" : "";
    return names[0] == ' ' ? names.substr(1) : names;
}

// Several numbers as one text, to compare them at once.
std::string numbers(std::initializer_list<int> values) {
    std::string text;
    for (int v : values)
        text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

// A column of kind 7 at column 0 lands on the floor and completes the given number of lowest rows.
void landColumnOnRows(int rows) {
    for (int r = kRows - rows; r < kRows; ++r)
        setRow(game, r, ".22222222222");
    placePiece(7, 0, 18, 1);
    dropStep();
}

const Request *findRequest(const char *name, int occurrence = 0) {
    for (const Request &request : requests)
        if (std::string(request.name) == name && occurrence-- == 0)
            return &request;
    return nullptr;
}

TEST(NewGame, EveryLevelWithItsTickInterval) {
    const struct {
        int level, interval; // interval 0: the level has no entry, and a new game keeps the interval it had
    } cases[] = {
        {1, 750}, {2, 700}, {3, 650}, {4, 600}, {5, 500}, {6, 400}, {7, 300},
        {8, 200}, {9, 100}, {10, 50}, {0, 0},   {-1, 0},  {11, 0},  {100, 0},
    };
    for (const auto &c : cases) {
        int interval = -1;
        bool has = tickIntervalForLevel(c.level, &interval);
        EXPECT_EQ(numbers({c.interval != 0, c.interval != 0 ? c.interval : -1}), numbers({has, interval}))
            << "level " << c.level << ": entry found, interval";

        // Every byte at 1: each field away from what newGame sets, no switch at 1, no flag at 0.
        memset(&game, 1, sizeof game);
        const GameState before = game;
        requests.clear();
        // Whatever the generator, a seed whose first two kinds differ, so that the order shows.
        unsigned seed = 0;
        int first, second, third;
        do {
            srand(++seed);
            first = rand() % 7 + 1, second = rand() % 7 + 1, third = rand();
        } while (first == second);
        srand(seed);
        newGame(c.level);

        GameState expected = withPieces(before, second, first); // the next piece takes the first draw
        setBoard(expected, {});
        expected.pieceColumn = kEntryColumn;
        expected.pieceRow = 0;
        expected.level = c.level;
        expected.tickInterval = c.interval != 0 ? c.interval : before.tickInterval;
        expected.score = expected.lines = expected.linesBeforeLanding = expected.gameOver = 0;
        EXPECT_EQ("", changedFields(expected, game)) << "level " << c.level << ": fields set wrongly";
        EXPECT_EQ(third, rand()) << "level " << c.level << ": a new game draws exactly two kinds";
        EXPECT_EQ("", requestNames()) << "level " << c.level << ": no timer, repaint or sound";
    }
}

TEST(Pieces, SpawnShapes) {
    const char *const shapes[] = {
        "(-1,1)(0,1)(0,0)(1,0)",  "(-1,0)(0,0)(0,1)(1,1)", "(-1,0)(0,0)(1,0)(0,1)", "(0,0)(1,0)(0,1)(1,1)",
        "(-1,1)(-1,0)(0,0)(1,0)", "(-1,0)(0,0)(1,0)(1,1)", "(-1,0)(0,0)(1,0)(2,0)",
    };
    for (PieceKind kind = 1; kind <= 7; ++kind)
        EXPECT_EQ(shapes[kind - 1], cellsText(shapeOfKind(kind))) << "kind " << kind;
}

TEST(MovesAndTurns, WallsAndBlockers) {
    // In row 0 a board read before the wall or row test would fall outside the record (sanitizers).
    const struct {
        const char *name;
        void (*act)();
        int kind, turns, column, row;
        std::vector<Cell> blocks;
        const char *cellsAfter; // nullptr: refused, nothing changes
    } cases[] = {
        {"left, cell 0 at the wall in row 0", moveLeft, 7, 0, 1, 0, {}, nullptr},
        {"turn kind 1 in row 0", rotatePiece, 1, 0, 6, 0, {}, nullptr}, // every spawn shape needs row -1
        {"turn kind 7 in row 0", rotatePiece, 7, 0, 6, 0, {}, nullptr},
        {"right, cell 3 at the wall", moveRight, 7, 0, 9, 5, {}, nullptr},
        {"left, blocker beside cell 0", moveLeft, 3, 0, 6, 5, {{4, 5}}, nullptr},
        {"left, blocker beside cell 3", moveLeft, 3, 0, 6, 5, {{5, 6}}, nullptr},
        {"right, blocker beside cell 3", moveRight, 6, 0, 6, 5, {{8, 6}}, nullptr},
        {"left, blocker diagonally below", moveLeft, 7, 0, 6, 5, {{4, 6}}, "(4,5)(5,5)(6,5)(7,5)"},
        {"right, blocker diagonally above", moveRight, 7, 0, 6, 5, {{9, 4}}, "(6,5)(7,5)(8,5)(9,5)"},
        {"left, a cell under the piece is no target", moveLeft, 7, 0, 6, 5, {{8, 5}}, "(4,5)(5,5)(6,5)(7,5)"},
        {"turn kind 1 one row below the top", rotatePiece, 1, 0, 6, 1, {}, "(7,2)(7,1)(6,1)(6,0)"},
        {"turn kind 7 at row 1", rotatePiece, 7, 0, 6, 1, {}, nullptr},
        {"turn kind 7 at row 2 into a column", rotatePiece, 7, 0, 6, 2, {}, "(6,3)(6,2)(6,1)(6,0)"},
        {"turn the square at column 0 a second time", rotatePiece, 4, 1, 0, 5, {}, nullptr},
        {"turn a column at the right wall", rotatePiece, 7, 1, 11, 5, {}, nullptr},
        {"turn, target of cell 0 occupied", rotatePiece, 7, 0, 6, 5, {{6, 6}}, nullptr},
        {"turn, target of cell 3 occupied", rotatePiece, 7, 0, 6, 5, {{6, 3}}, nullptr},
        {"turn, diagonal neighbours occupied", rotatePiece, 7, 0, 6, 5, {{5, 4}, {7, 4}, {5, 6}, {7, 6}},
         "(6,6)(6,5)(6,4)(6,3)"},
        // The square walks about its pivot: one row up, one column left, back down, home again.
        {"square, first turn", rotatePiece, 4, 0, 5, 5, {}, "(5,5)(5,4)(6,5)(6,4)"},
        {"square, second turn", rotatePiece, 4, 1, 5, 5, {}, "(5,5)(4,5)(5,4)(4,4)"},
        {"square, third turn", rotatePiece, 4, 2, 5, 5, {}, "(5,5)(5,6)(4,5)(4,6)"},
        {"square, fourth turn", rotatePiece, 4, 3, 5, 5, {}, "(5,5)(6,5)(5,6)(6,6)"},
    };
    for (const auto &c : cases) {
        resetGame();
        placePiece(c.kind, c.column, c.row, c.turns, c.blocks);
        const GameState before = game;
        c.act();
        const bool turn = c.act == rotatePiece;
        EXPECT_EQ(c.cellsAfter ? (turn ? "rotate" : "move") : "", requestNames()) << c.name;
        const int to = c.column + (c.act == moveLeft ? -1 : 1);
        const std::string moved = "pieceColumn " + std::to_string(c.column) + "->" + std::to_string(to);
        EXPECT_EQ(c.cellsAfter ? (turn ? "currentShape" : moved) : "", changedFields(before, game)) << c.name;
        if (!c.cellsAfter)
            continue;
        EXPECT_EQ(c.cellsAfter, cellsText(game.currentShape, game.pieceColumn, game.pieceRow)) << c.name;
        ASSERT_FALSE(requests.empty()) << c.name;
        EXPECT_EQ("", changedFields(turn ? game : before, requests[0].seen))
            << c.name << ": the sound comes before the move and after the turn";
    }
}

TEST(DropStep, FallOrLandAndTheNextPieceEnters) {
    const struct {
        const char *name;
        int kind, turns, column, row;
        std::vector<Cell> blocks;
        bool lands, over;
    } cases[] = {
        {"free", 3, 0, 6, 5, {}, false, false},
        {"blocks beside and diagonally below", 3, 0, 6, 5, {{4, 5}, {4, 6}, {8, 6}, {5, 7}, {7, 7}}, false, false},
        {"column ending in row 19", 7, 1, 0, 18, {}, true, false},
        {"cell under cell 3 occupied", 3, 0, 6, 5, {{6, 7}}, true, false},
        // Were cells 1 to 3 still tested after the landing, they would be those of the new piece
        // (kind 2, pivot at row -1), and its cell 3 would meet the block in row 1: a second landing.
        {"cell under cell 0 occupied", 1, 0, 3, 10, {{2, 12}, {7, 1}}, true, false},
        {"landing on the entry cell", 4, 0, 6, 0, {{6, 2}}, true, true},
    };
    for (const auto &c : cases) {
        resetGame();
        game = withPieces(game, c.kind, 2);
        placePiece(c.kind, c.column, c.row, c.turns, c.blocks);
        const GameState before = game;
        srand(5);
        const int draw = rand() % 7 + 1;
        srand(5);
        dropStep();

        ASSERT_EQ(c.lands ? passRequests("land", 0, c.over) + " repaint repaint" : "repaint", requestNames()) << c.name;

        // The record as each request saw it, then as the step leaves it.
        GameState expected = before;
        expected.fullRepaint = 0;
        if (c.lands) {
            for (int i = 0; i < kPieceCells; ++i)
                expected.board[c.row + before.currentShape.dy[i]][c.column + before.currentShape.dx[i]] = c.kind;
            EXPECT_EQ("", changedFields(expected, findRequest("land")->seen)) << c.name << ": land sound";
            expected.pieceColumn = kEntryColumn;
            expected.pieceRow = -1;
            expected.score += 15;
            expected.gameOver = c.over;
            if (c.over) { // both before the promotion
                EXPECT_EQ("", changedFields(expected, findRequest("over")->seen)) << c.name << ": game-over sound";
                expected.fullRepaint = 1;
                EXPECT_EQ("", changedFields(expected, findRequest("stop")->seen)) << c.name << ": timer stop";
            }
            expected = withPieces(expected, 2, draw); // promoted even when the game ends
            expected.fullRepaint = 1;
            EXPECT_EQ("", changedFields(expected, findRequest("repaint", c.over)->seen)) << c.name << ": repaint";
        }
        expected.pieceRow += 1; // after a landing the next piece enters in the same step
        EXPECT_EQ("", changedFields(expected, game)) << c.name << ": fields set wrongly";
    }
}

TEST(Landing, ScoreOfRowsRemovedTogether) {
    const struct {
        int level, lines, rows, gained;
    } cases[] = {
        {1, 0, 0, 15},  {1, 0, 1, 165},  {1, 0, 2, 465},  {1, 0, 3, 915},   {1, 0, 4, 1515},
        {3, 45, 0, 15}, {3, 45, 1, 205}, {3, 45, 2, 545}, {3, 45, 3, 1035}, {3, 45, 4, 1675},
    };
    for (const auto &c : cases) {
        resetGame();
        game.level = c.level;
        game.lines = c.lines;
        game.linesBeforeLanding = 2; // stale: each pass starts from lines
        game.score = 1000;
        landColumnOnRows(c.rows);
        EXPECT_EQ(numbers({1000 + c.gained, c.lines + c.rows, c.level, c.lines}),
                  numbers({game.score, game.lines, game.level, game.linesBeforeLanding}))
            << "level " << c.level << ", " << c.rows << " rows: score, lines, level, linesBeforeLanding";
        EXPECT_EQ(passRequests("land", c.rows, false) + " repaint repaint", requestNames())
            << "level " << c.level << ", " << c.rows << " rows";
    }
}

TEST(Landing, FourRowsAcrossALevelBoundary) {
    resetGame();
    game.lines = 18;
    landColumnOnRows(4);
    // As each row stops the timer: lines, level, interval and score; then the score at the restart.
    // The landing's 15, then 150, 310, 460 and 610; 700 ms from the second row.
    const char *const rows[] = {"19 1 750 15 165", "20 2 700 165 475", "21 2 700 475 935", "22 2 700 935 1545"};
    for (int k = 0; k < 4; ++k) {
        const Request *stop = findRequest("stop", k), *start = findRequest("start", k);
        ASSERT_TRUE(stop && start) << requestNames();
        const GameState &s = stop->seen;
        EXPECT_EQ(rows[k], numbers({s.lines, s.level, s.tickInterval, s.score, start->seen.score})) << "row " << k + 1;
    }
}

TEST(ClearPass, Pictures) {
    const struct {
        const char *name;
        std::vector<RowText> before, after;
        int rows;
        bool over;
    } cases[] = {
        {"two full rows around a partial one",
         {{15, "1..........."}, {16, "..2........."}, {17, kFullRow}, {18, "4.4.4......."}, {19, kFullRow}},
         {{17, "1..........."}, {18, "..2........."}, {19, "4.4.4......."}}, 2, false},
        {"four full rows at the bottom",
         {{0, "1..........."}, {14, "7..........."}, {15, "..........6."}, {16, kFullRow}, {17, kFullRow},
          {18, kFullRow}, {19, kFullRow}},
         {{4, "1..........."}, {18, "7..........."}, {19, "..........6."}}, 4, false},
        {"row 0 moves down", {{0, "5..........5"}, {19, kFullRow}}, {{1, "5..........5"}}, 1, false},
        {"full row 0", {{0, kFullRow}}, {}, 1, false},
        {"empty cell in column 0 or 11", {{18, ".33333333333"}, {19, "33333333333."}},
         {{18, ".33333333333"}, {19, "33333333333."}}, 0, false},
        {"entry cell alone", {{0, "......4....."}}, {{0, "......4....."}}, 0, true},
        {"row 0 but the entry cell", {{0, "666666.66666"}}, {{0, "666666.66666"}}, 0, false},
        {"entry cell and a full row", {{0, "......4....."}, {19, kFullRow}}, {{1, "......4....."}}, 1, false},
    };
    for (const auto &c : cases) {
        resetGame();
        setBoard(game, c.before);
        GameState expected = game;
        setBoard(expected, c.after);
        clearFullRows();
        EXPECT_EQ(boardText(expected), boardText(game)) << c.name;
        EXPECT_EQ(c.over ? 1 : 0, game.gameOver) << c.name;
        EXPECT_EQ(passRequests("", c.rows, c.over), requestNames()) << c.name;
    }
}

TEST(ClearPass, UpperRowFirstAndOrderWithinOneRow) {
    resetGame();
    setBoard(game, {{17, kFullRow}, {18, "4.4.4......."}, {19, "555555555555"}});
    game.lines = game.linesBeforeLanding = 19;
    game.fullRepaint = 0;
    const GameState before = game;
    GameState upperOut = game;
    setBoard(upperOut, {{18, "4.4.4......."}, {19, "555555555555"}});
    clearFullRows();
    const Request *clear = findRequest("clear"), *stop = findRequest("stop"), *repaint = findRequest("repaint");
    ASSERT_TRUE(clear && stop && repaint) << requestNames();
    EXPECT_EQ("", changedFields(before, clear->seen)) << "the sound comes first";
    EXPECT_EQ(boardText(upperOut), boardText(stop->seen)) << "the upper row goes first";
    EXPECT_EQ(1, repaint->seen.fullRepaint) << "a full repaint for each row";
}

TEST(Levels, LaddersFromThreeStartingLevels) {
    const struct {
        int startLevel;
        std::vector<std::pair<int, const char *>> checkpoints; // lines: level, interval, bonus of the last row
    } cases[] = {
        {1, {{19, "1 750 150"}, {20, "2 700 160"}, {40, "3 650 190"}, {60, "4 600 240"}, {80, "5 500 310"},
             {100, "6 400 400"}, {120, "7 300 510"}, {140, "8 200 640"}, {160, "9 100 790"}, {179, "9 100 790"},
             {180, "10 50 960"}, {200, "10 50 960"}}},
        {10, {{19, "10 50 960"}, {20, "11 50 1150"}, {180, "19 50 3390"}, {200, "19 50 3390"}}},
        {0, {{19, "0 300 160"}, {20, "1 300 150"}, {39, "1 300 150"}, {40, "2 700 160"}, {200, "9 100 790"}}},
    };
    for (const auto &c : cases) {
        resetGame();
        game.tickInterval = 300; // of the game before, which level 0 keeps
        newGame(c.startLevel);
        for (const auto &checkpoint : c.checkpoints) {
            int score = game.score;
            while (game.lines < checkpoint.first) {
                score = game.score;
                setRow(game, 19, kFullRow);
                clearFullRows();
            }
            EXPECT_EQ(checkpoint.second, numbers({game.level, game.tickInterval, game.score - score}))
                << "start " << c.startLevel << ", line " << checkpoint.first;
        }
    }
}

} // namespace
