// Tests of the game rules: new games, dealing, moves and turns, the drop step, landing, rows, score and levels.
#include "recorders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every test starts from the record as start-up leaves it.
struct FreshGame : testing::Test {
    void SetUp() override { resetGame(); }
};
using NewGame = FreshGame;
using Dealing = FreshGame;
using SideMoves = FreshGame;
using Rotation = FreshGame;
using DropStep = FreshGame;
using Landing = FreshGame;
using ClearPass = FreshGame;
using Levels = FreshGame;

struct Cell {
    int column, row;
};

struct RowText {
    int row;
    const char *text; // '.' empty, '1'..'7' a cell value
};

const char *const kFullRow = "333333333333";

void setRow(int row, const char *text) {
    for (int c = 0; c < kColumns; ++c)
        game.board[row][c] = text[c] == '.' ? 0 : text[c] - '0';
}

std::string rowText(const GameState &state, int row) {
    std::string text;
    for (int c = 0; c < kColumns; ++c) {
        int v = state.board[row][c];
        text += v == 0 ? '.' : v >= 1 && v <= 9 ? static_cast<char>('0' + v) : '?';
    }
    return text;
}

void placePiece(PieceKind kind, int column, int row, int turns = 0) {
    game.currentKind = kind;
    game.currentShape = turned(shapeOfKind(kind), turns);
    game.pieceColumn = column;
    game.pieceRow = row;
}

// The falling piece's cells as "column,row", top to bottom, then left to right.
std::string pieceCells(const GameState &state) {
    std::vector<std::pair<int, int>> cells;
    for (int i = 0; i < kPieceCells; ++i)
        cells.push_back({state.pieceRow + state.currentShape.dy[i], state.pieceColumn + state.currentShape.dx[i]});
    std::sort(cells.begin(), cells.end());
    std::string text;
    for (const auto &cell : cells)
        text += (text.empty() ? "" : " ") + std::to_string(cell.second) + "," + std::to_string(cell.first);
    return text;
}

// Names of the fields that differ between two records.
std::string changedFields(const GameState &a, const GameState &b) {
    std::string names;
    auto note = [&names](bool same, const char *name) {
        if (!same)
            names += (names.empty() ? "" : " ") + std::string(name);
    };
    bool playfieldSame = true, floorSame = true;
    for (int r = 0; r <= kFloorRow; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (a.board[r][c] != b.board[r][c])
                (r < kRows ? playfieldSame : floorSame) = false;
    note(playfieldSame, "board");
    note(floorSame, "floor");
#define SAME(field) note(a.field == b.field, #field)
#define SAME_BYTES(field) note(memcmp(&a.field, &b.field, sizeof a.field) == 0, #field)
    SAME(pieceColumn); SAME(pieceRow); SAME(currentKind); SAME_BYTES(currentShape); SAME(nextKind);
    SAME_BYTES(nextShape); SAME(level); SAME(tickInterval); SAME(score); SAME(lines);
    SAME(linesBeforeLanding); SAME(gameOver); SAME(inputBlocked); SAME(fullRepaint); SAME_BYTES(previousCells);
    SAME(lineClearSound); SAME(rotateSound); SAME(moveSound); SAME(landSound); SAME(gameOverSound);
    SAME_BYTES(soundDirectory); SAME_BYTES(textBuffer); SAME(mainWindow);
#undef SAME
#undef SAME_BYTES
    return names;
}

// The requests of one cleared row, repeated, then those of a game over.
std::string passRequests(int rows, bool over) {
    std::string names;
    for (int k = 0; k < rows; ++k)
        names += (names.empty() ? "" : " ") + std::string("clear stop start repaint");
    if (over)
        names += (names.empty() ? "" : " ") + std::string("over stop repaint");
    return names;
}

const Request *findRequest(const char *name, int occurrence = 0) {
    for (const Request &request : requests)
        if (requestName(request) == name && occurrence-- == 0)
            return &request;
    return nullptr;
}

TEST(StartUp, RecordBeforeAnyKeyOrTick) {
    const GameState &g = initialGame;
    const struct {
        const char *field;
        int got, expected;
    } fields[] = {
        {"level", g.level, 1}, {"tickInterval", g.tickInterval, 750}, {"score", g.score, 0}, {"lines", g.lines, 0},
        {"gameOver", g.gameOver, 0}, {"inputBlocked", g.inputBlocked, 0}, {"fullRepaint", g.fullRepaint, 1},
        {"pieceColumn", g.pieceColumn, 6}, {"pieceRow", g.pieceRow, 0}, {"moveSound", g.moveSound, 1},
        {"rotateSound", g.rotateSound, 1}, {"landSound", g.landSound, 1}, {"lineClearSound", g.lineClearSound, 1},
        {"gameOverSound", g.gameOverSound, 1}, {"soundDirectory[0]", g.soundDirectory[0], 0},
    };
    for (const auto &f : fields)
        EXPECT_EQ(f.expected, f.got) << f.field;
}

TEST(TickInterval, TableAndLevelsWithoutEntry) {
    const struct {
        int level;
        bool hasEntry;
        int interval;
    } cases[] = {
        {1, true, 750}, {2, true, 700}, {3, true, 650}, {4, true, 600},  {5, true, 500},
        {6, true, 400}, {7, true, 300}, {8, true, 200}, {9, true, 100},  {10, true, 50},
        {0, false, 0},  {-1, false, 0}, {11, false, 0}, {12, false, 0}, {100, false, 0},
    };
    for (const auto &c : cases) {
        int interval = -4321;
        bool has = tickIntervalForLevel(c.level, &interval);
        EXPECT_EQ(c.hasEntry, has) << "level " << c.level;
        EXPECT_EQ(c.hasEntry ? c.interval : -4321, interval) << "level " << c.level;
    }
}

TEST_F(NewGame, IntervalOfTheChosenLevel) {
    const struct {
        const char *name;
        int previousInterval, level, interval;
    } cases[] = {
        {"level 1 after a game at level 7", 300, 1, 750},
        {"level 5", 300, 5, 500},
        {"level 10", 750, 10, 50},
        {"level 0 keeps the interval of the game before", 300, 0, 300},
        {"level 0 after a game at level 10", 50, 0, 50},
    };
    for (const auto &c : cases) {
        game.level = 7;
        game.tickInterval = c.previousInterval;
        newGame(c.level);
        EXPECT_EQ(c.level, game.level) << c.name;
        EXPECT_EQ(c.interval, game.tickInterval) << c.name;
    }
}

TEST_F(NewGame, ResetsTheGameAndKeepsTheRest) {
    // A game that ended at level 7 with every field away from its start value.
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            game.board[r][c] = (r + c) % 7 + 1;
    game.pieceColumn = 2;
    game.pieceRow = 11;
    game.level = 7;
    game.tickInterval = 300;
    game.score = 98765;
    game.lines = 57;
    game.linesBeforeLanding = 55;
    game.gameOver = 1;
    game.inputBlocked = 1;
    game.fullRepaint = 0;
    game.previousCells = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    game.lineClearSound = 0;
    game.rotateSound = 2;
    game.moveSound = 1;
    game.landSound = 0;
    game.gameOverSound = -1;
    strcpy(game.soundDirectory, "C:\\Jeux\\Karvel\\");
    strcpy(game.textBuffer, "Lignes");
    game.mainWindow = &game;
    const GameState before = game;

    srand(77);
    int first = rand(), second = rand(), third = rand();
    srand(77);
    newGame(4);

    EXPECT_EQ("board pieceColumn pieceRow currentKind currentShape nextKind nextShape level tickInterval score "
              "lines linesBeforeLanding gameOver",
              changedFields(before, game));
    const struct {
        const char *field;
        int got, expected;
    } fields[] = {
        {"level", game.level, 4},        {"tickInterval", game.tickInterval, 600},
        {"pieceColumn", game.pieceColumn, 6}, {"pieceRow", game.pieceRow, 0},
        {"score", game.score, 0},        {"lines", game.lines, 0},
        {"linesBeforeLanding", game.linesBeforeLanding, 0}, {"gameOver", game.gameOver, 0},
        {"nextKind (first draw)", game.nextKind, first % 7 + 1},
        {"currentKind (second draw)", game.currentKind, second % 7 + 1},
    };
    for (const auto &f : fields)
        EXPECT_EQ(f.expected, f.got) << f.field;
    for (int r = 0; r < kRows; ++r)
        EXPECT_EQ("............", rowText(game, r)) << "row " << r;
    EXPECT_EQ("111111111111", rowText(game, kFloorRow)) << "floor row";
    EXPECT_EQ(shapeText(shapeOfKind(game.nextKind)), shapeText(game.nextShape));
    EXPECT_EQ(shapeText(shapeOfKind(game.currentKind)), shapeText(game.currentShape));
    EXPECT_EQ(third, rand()) << "a new game draws exactly two kinds";
    EXPECT_EQ("", requestNames()) << "no timer, repaint or sound from newGame";
}

TEST(Pieces, SpawnShapes) {
    const struct {
        PieceKind kind;
        const char *shape;
    } cases[] = {
        {1, "(-1,1)(0,1)(0,0)(1,0)"}, {2, "(-1,0)(0,0)(0,1)(1,1)"}, {3, "(-1,0)(0,0)(1,0)(0,1)"},
        {4, "(0,0)(1,0)(0,1)(1,1)"},  {5, "(-1,1)(-1,0)(0,0)(1,0)"}, {6, "(-1,0)(0,0)(1,0)(1,1)"},
        {7, "(-1,0)(0,0)(1,0)(2,0)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.shape, shapeText(shapeOfKind(c.kind))) << "kind " << c.kind;
}

TEST_F(Dealing, NextPieceTakesTheFirstDraw) {
    bool drawsToldApart = false;
    for (unsigned seed = 1; seed <= 100; ++seed) {
        srand(seed);
        int first = rand() % 7 + 1, second = rand() % 7 + 1;
        srand(seed);
        const GameState before = game;
        dealFirstPieces();
        EXPECT_EQ(first, game.nextKind) << "seed " << seed;
        EXPECT_EQ(second, game.currentKind) << "seed " << seed;
        EXPECT_EQ(shapeText(shapeOfKind(first)), shapeText(game.nextShape)) << "seed " << seed;
        EXPECT_EQ(shapeText(shapeOfKind(second)), shapeText(game.currentShape)) << "seed " << seed;
        GameState rest = game;
        rest.currentKind = before.currentKind;
        rest.currentShape = before.currentShape;
        rest.nextKind = before.nextKind;
        rest.nextShape = before.nextShape;
        EXPECT_EQ("", changedFields(before, rest)) << "seed " << seed << ": only the piece fields may change";
        drawsToldApart |= first != second;
    }
    EXPECT_TRUE(drawsToldApart) << "no seed gave two different kinds, so the order went untested";
}

TEST_F(Dealing, PromoteGivesTheNextPieceItsSpawnShape) {
    for (unsigned seed = 1; seed <= 30; ++seed) {
        PieceKind next = static_cast<int>(seed % 7) + 1;
        placePiece(7, 3, 9, 1); // a turned falling piece
        game.nextKind = next;
        game.nextShape = shapeOfKind(next);
        srand(seed);
        int draw = rand() % 7 + 1;
        srand(seed);
        const GameState before = game;
        promoteNextPiece();
        EXPECT_EQ(next, game.currentKind) << "seed " << seed;
        EXPECT_EQ(shapeText(shapeOfKind(next)), shapeText(game.currentShape)) << "seed " << seed;
        EXPECT_EQ(draw, game.nextKind) << "seed " << seed;
        EXPECT_EQ(shapeText(shapeOfKind(draw)), shapeText(game.nextShape)) << "seed " << seed;
        EXPECT_EQ(before.pieceColumn, game.pieceColumn);
        EXPECT_EQ(before.pieceRow, game.pieceRow);
    }
}

TEST_F(SideMoves, WallsAndBlockers) {
    const struct {
        const char *name;
        PieceKind kind;
        int turns, column, row;
        bool left;
        std::vector<Cell> blocks;
        int columnAfter;
    } cases[] = {
        {"free, left", 3, 0, 6, 5, true, {}, 5},
        {"free, right", 3, 0, 6, 5, false, {}, 7},
        {"cell 0 at the left wall", 3, 0, 1, 5, true, {}, 1},
        // In row 0 a board read before the wall test would fall outside the record (sanitizers).
        {"cell 0 at the left wall in row 0", 7, 0, 1, 0, true, {}, 1},
        {"cell 3 at the right wall", 7, 0, 9, 5, false, {}, 9},
        {"column at the left wall", 7, 1, 0, 5, true, {}, 0},
        {"blocker left of cell 0", 3, 0, 6, 5, true, {{4, 5}}, 6},
        {"blocker left of cell 3", 3, 0, 6, 5, true, {{5, 6}}, 6},
        {"blocker right of cell 3", 6, 0, 6, 5, false, {{8, 6}}, 6},
        {"blocker left of the top of a column", 7, 1, 4, 5, true, {{3, 3}}, 4},
        {"blocker diagonally below-left", 7, 0, 6, 5, true, {{4, 6}}, 5},
        {"blocker diagonally above-right", 7, 0, 6, 5, false, {{9, 4}}, 7},
        {"occupied cell under the piece itself is no target", 7, 0, 6, 5, true, {{8, 5}}, 5},
    };
    for (const auto &c : cases) {
        resetGame();
        placePiece(c.kind, c.column, c.row, c.turns);
        for (const Cell &b : c.blocks)
            game.board[b.row][b.column] = 2;
        const GameState before = game;
        (c.left ? moveLeft : moveRight)();
        bool moved = c.columnAfter != c.column;
        EXPECT_EQ(c.columnAfter, game.pieceColumn) << c.name;
        EXPECT_EQ(moved ? "move" : "", requestNames()) << c.name;
        EXPECT_EQ(moved ? "pieceColumn" : "", changedFields(before, game)) << c.name;
        if (moved && !requests.empty()) {
            EXPECT_EQ(c.column, requests[0].seen.pieceColumn) << c.name << ": the sound comes before the move";
        }
    }
}

TEST_F(Rotation, SquareWalksAboutItsPivot) {
    placePiece(4, 5, 5);
    const char *const expected[] = {
        "5,4 6,4 5,5 6,5", // one row up
        "4,4 5,4 4,5 5,5", // one column left
        "4,5 5,5 4,6 5,6", // back down
        "5,5 6,5 5,6 6,6", // the spawn place again
    };
    for (int turn = 0; turn < 4; ++turn) {
        rotatePiece();
        EXPECT_EQ(expected[turn], pieceCells(game)) << "turn " << turn + 1;
    }
    EXPECT_EQ("rotate rotate rotate rotate", requestNames());
    EXPECT_EQ(shapeText(shapeOfKind(4)), shapeText(game.currentShape));
}

TEST_F(Rotation, FourTurnsRestoreTheSpawnShapeAndRowZeroRefusesAll) {
    for (PieceKind kind = 1; kind <= 7; ++kind) {
        resetGame();
        placePiece(kind, 5, 10);
        for (int turn = 0; turn < 4; ++turn)
            rotatePiece();
        EXPECT_EQ("rotate rotate rotate rotate", requestNames()) << "kind " << kind;
        EXPECT_EQ(shapeText(shapeOfKind(kind)), shapeText(game.currentShape)) << "kind " << kind;

        resetGame();
        placePiece(kind, 6, 0);
        const GameState before = game;
        rotatePiece(); // a board read before the row test would fall outside the record (sanitizers)
        EXPECT_EQ("", requestNames()) << "kind " << kind << " at row 0";
        EXPECT_EQ("", changedFields(before, game)) << "kind " << kind << " at row 0";
    }
}

TEST_F(Rotation, BoundsAndBlockers) {
    const struct {
        const char *name;
        PieceKind kind;
        int turns, column, row;
        std::vector<Cell> blocks;
        const char *cellsAfter; // nullptr: refused
    } cases[] = {
        {"kind 1 one row below the top", 1, 0, 6, 1, {}, "6,0 6,1 7,1 7,2"},
        {"kind 7 at row 1", 7, 0, 6, 1, {}, nullptr},
        {"kind 7 at row 2 becomes a column", 7, 0, 6, 2, {}, "6,0 6,1 6,2 6,3"},
        {"square at column 0, first turn", 4, 0, 0, 5, {}, "0,4 1,4 0,5 1,5"},
        {"square at column 0, second turn", 4, 1, 0, 5, {}, nullptr},
        {"column at the right wall", 7, 1, 11, 5, {}, nullptr},
        {"row of kind 7 in row 19 would need row 20", 7, 0, 6, 19, {}, nullptr},
        {"target of cell 0 occupied", 7, 0, 6, 5, {{6, 6}}, nullptr},
        {"target of cell 3 occupied", 7, 0, 6, 5, {{6, 3}}, nullptr},
        {"diagonal neighbours occupied", 7, 0, 6, 5, {{5, 4}, {7, 4}, {5, 6}, {7, 6}}, "6,3 6,4 6,5 6,6"},
    };
    for (const auto &c : cases) {
        resetGame();
        placePiece(c.kind, c.column, c.row, c.turns);
        for (const Cell &b : c.blocks)
            game.board[b.row][b.column] = 5;
        const GameState before = game;
        rotatePiece();
        if (c.cellsAfter) {
            EXPECT_EQ(c.cellsAfter, pieceCells(game)) << c.name;
            EXPECT_EQ("rotate", requestNames()) << c.name;
            EXPECT_EQ("currentShape", changedFields(before, game)) << c.name;
        } else {
            EXPECT_EQ("", requestNames()) << c.name;
            EXPECT_EQ("", changedFields(before, game)) << c.name;
        }
    }
}

TEST_F(Rotation, RefusedTurnRestoresEveryOffset) {
    // The board full around the piece: every turn of every orientation is refused.
    for (PieceKind kind = 1; kind <= 7; ++kind)
        for (int turns = 0; turns < 4; ++turns) {
            resetGame();
            placePiece(kind, 6, 5, turns);
            for (int r = 0; r < kRows; ++r)
                for (int c = 0; c < kColumns; ++c)
                    game.board[r][c] = 6;
            for (int i = 0; i < kPieceCells; ++i)
                game.board[game.pieceRow + game.currentShape.dy[i]][game.pieceColumn + game.currentShape.dx[i]] = 0;
            const std::string before = shapeText(game.currentShape);
            rotatePiece();
            EXPECT_EQ(before, shapeText(game.currentShape)) << "kind " << kind << " turned " << turns;
            EXPECT_EQ("", requestNames()) << "kind " << kind << " turned " << turns;
        }
}

TEST_F(DropStep, FallOrLand) {
    const struct {
        const char *name;
        PieceKind kind;
        int turns, column, row;
        std::vector<Cell> blocks;
        bool lands;
    } cases[] = {
        {"free", 3, 0, 6, 5, {}, false},
        {"blocks beside and diagonally below", 3, 0, 6, 5, {{4, 5}, {4, 6}, {8, 6}, {5, 7}, {7, 7}}, false},
        {"lowest cell in row 19", 3, 0, 6, 18, {}, true},
        {"kind 7 in row 19", 7, 0, 6, 19, {}, true},
        {"column ending in row 19", 7, 1, 0, 18, {}, true},
        {"cell under cell 0 occupied", 3, 0, 6, 5, {{5, 6}}, true},
        {"cell under cell 3 occupied", 3, 0, 6, 5, {{6, 7}}, true},
    };
    for (const auto &c : cases) {
        resetGame();
        placePiece(c.kind, c.column, c.row, c.turns);
        game.nextKind = 2;
        game.nextShape = shapeOfKind(2);
        for (const Cell &b : c.blocks)
            game.board[b.row][b.column] = 1;
        const GameState before = game;
        dropStep();
        if (!c.lands) {
            EXPECT_EQ("pieceRow fullRepaint", changedFields(before, game)) << c.name;
            EXPECT_EQ(c.row + 1, game.pieceRow) << c.name;
            EXPECT_EQ(0, game.fullRepaint) << c.name;
            EXPECT_EQ("repaint", requestNames()) << c.name;
            continue;
        }
        GameState landed = before;
        for (int i = 0; i < kPieceCells; ++i)
            landed.board[c.row + landed.currentShape.dy[i]][c.column + landed.currentShape.dx[i]] = c.kind;
        for (int r = 0; r < kRows; ++r)
            EXPECT_EQ(rowText(landed, r), rowText(game, r)) << c.name << ", row " << r;
        EXPECT_EQ(2, game.currentKind) << c.name << ": the next piece falls now";
        EXPECT_EQ("5,0 6,0 6,1 7,1", pieceCells(game)) << c.name << ": it enters at row 0 in the same step";
        EXPECT_EQ(before.score + 15, game.score) << c.name;
        EXPECT_EQ(1, game.fullRepaint) << c.name;
        ASSERT_EQ("land repaint repaint", requestNames()) << c.name;
        EXPECT_EQ(before.score, requests[0].seen.score) << c.name << ": land sound after the board write, before the score";
        EXPECT_EQ(rowText(landed, c.row), rowText(requests[0].seen, c.row)) << c.name;
        EXPECT_EQ(-1, requests[1].seen.pieceRow) << c.name;
        EXPECT_EQ(1, requests[1].seen.fullRepaint) << c.name;
    }
}

TEST_F(DropStep, BlockerUnderCellZeroLandsWithoutTestingFurther) {
    // Were cells 1 to 3 still tested after the landing, they would be tested for the new piece
    // (pivot at row -1), whose cells meet row 0 here: a second landing.
    placePiece(1, 3, 10);
    game.board[12][2] = 4; // under cell 0 only
    setRow(0, ".......55...");
    game.nextKind = 7;
    game.nextShape = shapeOfKind(7);
    dropStep();
    EXPECT_EQ("land repaint repaint", requestNames());
    EXPECT_EQ(0, game.pieceRow);
    EXPECT_EQ(7, game.currentKind);
}

TEST_F(Landing, GameOverStillPromotesTheNextPiece) {
    placePiece(4, 6, 0);
    game.board[2][6] = 1;
    game.nextKind = 5;
    game.nextShape = shapeOfKind(5);
    srand(3);
    int draw = rand() % 7 + 1;
    srand(3);
    dropStep();
    EXPECT_EQ("land over stop repaint repaint repaint", requestNames());
    EXPECT_EQ(1, game.gameOver);
    EXPECT_EQ(5, game.currentKind);
    EXPECT_EQ(draw, game.nextKind);
    EXPECT_EQ(shapeText(shapeOfKind(5)), shapeText(game.currentShape));
    const Request *over = findRequest("over"), *stop = findRequest("stop");
    ASSERT_TRUE(over && stop);
    EXPECT_EQ(1, over->seen.gameOver) << "gameOver is set before the sound";
    EXPECT_EQ(4, over->seen.currentKind) << "the game-over test comes before the promotion";
    EXPECT_EQ(1, stop->seen.fullRepaint) << "fullRepaint is set before the timer stops";
}

TEST_F(Landing, ScoreOfRowsRemovedTogether) {
    // A column at column 0 lands on the floor and completes the k lowest rows.
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
        for (int r = kRows - c.rows; r < kRows; ++r)
            setRow(r, ".22222222222");
        placePiece(7, 0, 18, 1);
        dropStep();
        EXPECT_EQ(1000 + c.gained, game.score) << "level " << c.level << ", " << c.rows << " rows";
        EXPECT_EQ(c.lines + c.rows, game.lines) << "level " << c.level << ", " << c.rows << " rows";
        EXPECT_EQ(c.level, game.level) << "level " << c.level << ", " << c.rows << " rows";
        EXPECT_EQ(c.lines, game.linesBeforeLanding) << "level " << c.level << ", " << c.rows << " rows";
        EXPECT_EQ("land" + std::string(c.rows ? " " : "") + passRequests(c.rows, false) + " repaint repaint",
                  requestNames());
    }
}

TEST_F(Landing, FourRowsAcrossALevelBoundary) {
    game.lines = 18;
    for (int r = 16; r < kRows; ++r)
        setRow(r, ".22222222222");
    placePiece(7, 0, 18, 1);
    dropStep();
    const struct {
        int lines, level, interval, scoreAtStop, scoreAtStart;
    } rows[] = {
        // the landing's 15, then 150, 310, 460 and 610
        {19, 1, 750, 15, 165},
        {20, 2, 700, 165, 475},
        {21, 2, 700, 475, 935},
        {22, 2, 700, 935, 1545},
    };
    for (int k = 0; k < 4; ++k) {
        const Request *stop = findRequest("stop", k), *start = findRequest("start", k);
        ASSERT_TRUE(stop && start) << requestNames();
        EXPECT_EQ(rows[k].lines, stop->seen.lines) << "row " << k + 1;
        EXPECT_EQ(rows[k].level, stop->seen.level) << "row " << k + 1;
        EXPECT_EQ(rows[k].interval, stop->seen.tickInterval) << "row " << k + 1 << ": interval before the stop";
        EXPECT_EQ(rows[k].scoreAtStop, stop->seen.score) << "row " << k + 1 << ": the bonus comes after the stop";
        EXPECT_EQ(rows[k].scoreAtStart, start->seen.score) << "row " << k + 1;
    }
    EXPECT_EQ(1545, game.score);
}

TEST_F(ClearPass, Pictures) {
    const struct {
        const char *name;
        std::vector<RowText> before, after;
        int rows;
        bool over;
    } cases[] = {
        {"one full row at the bottom", {{18, "..2........."}, {19, kFullRow}}, {{19, "..2........."}}, 1, false},
        {"two full rows around a partial one",
         {{15, "1..........."}, {16, "..2........."}, {17, kFullRow}, {18, "4.4.4......."}, {19, kFullRow}},
         {{17, "1..........."}, {18, "..2........."}, {19, "4.4.4......."}}, 2, false},
        {"four full rows at the bottom",
         {{0, "1..........."}, {14, "7..........."}, {15, "..........6."}, {16, kFullRow}, {17, kFullRow},
          {18, kFullRow}, {19, kFullRow}},
         {{4, "1..........."}, {18, "7..........."}, {19, "..........6."}}, 4, false},
        {"row 0 moves down", {{0, "5..........5"}, {19, kFullRow}}, {{1, "5..........5"}}, 1, false},
        {"full row 0", {{0, kFullRow}}, {}, 1, false},
        {"one empty cell", {{19, "33333.333333"}}, {{19, "33333.333333"}}, 0, false},
        {"empty cell in column 0", {{19, ".33333333333"}}, {{19, ".33333333333"}}, 0, false},
        {"empty cell in column 11", {{19, "33333333333."}}, {{19, "33333333333."}}, 0, false},
        {"entry cell alone", {{0, "......4....."}}, {{0, "......4....."}}, 0, true},
        {"row 0 but the entry cell", {{0, "666666.66666"}}, {{0, "666666.66666"}}, 0, false},
        {"entry cell and a full row", {{0, "......4....."}, {19, kFullRow}}, {{1, "......4....."}}, 1, false},
    };
    for (const auto &c : cases) {
        resetGame();
        for (const RowText &row : c.before)
            setRow(row.row, row.text);
        GameState expected = game;
        for (int r = 0; r < kRows; ++r)
            for (int col = 0; col < kColumns; ++col)
                expected.board[r][col] = 0;
        for (const RowText &row : c.after)
            for (int col = 0; col < kColumns; ++col)
                expected.board[row.row][col] = row.text[col] == '.' ? 0 : row.text[col] - '0';
        clearFullRows();
        for (int r = 0; r <= kFloorRow; ++r)
            EXPECT_EQ(rowText(expected, r), rowText(game, r)) << c.name << ", row " << r;
        EXPECT_EQ(c.rows, game.lines) << c.name;
        EXPECT_EQ(c.over ? 1 : 0, game.gameOver) << c.name;
        EXPECT_EQ(passRequests(c.rows, c.over), requestNames()) << c.name;
    }
}

TEST_F(ClearPass, UpperRowFirstAndOrderWithinOneRow) {
    setRow(17, kFullRow);
    setRow(18, "4.4.4.......");
    setRow(19, "555555555555");
    game.lines = 19;
    game.linesBeforeLanding = 0;
    game.fullRepaint = 0;
    clearFullRows();
    const Request *clear = findRequest("clear"), *stop = findRequest("stop"), *repaint = findRequest("repaint");
    ASSERT_TRUE(clear && stop && repaint) << requestNames();
    EXPECT_EQ(kFullRow, rowText(clear->seen, 17)) << "the sound comes before the rows move";
    EXPECT_EQ(19, clear->seen.lines);
    EXPECT_EQ("4.4.4.......", rowText(stop->seen, 18)) << "the upper row goes first";
    EXPECT_EQ("555555555555", rowText(stop->seen, 19)) << "the upper row goes first";
    EXPECT_EQ(1, repaint->seen.fullRepaint);
    EXPECT_EQ(160 + 310, game.score) << "the second row is the second of the pass";
}

TEST_F(Levels, LaddersFromThreeStartingLevels) {
    struct Checkpoint {
        int lines, level, interval, rowBonus;
    };
    const struct {
        int startLevel, previousInterval, levelUps;
        std::vector<Checkpoint> checkpoints;
    } cases[] = {
        {1, 300, 9, {{19, 1, 750, 150}, {20, 2, 700, 160}, {40, 3, 650, 190}, {60, 4, 600, 240},
                     {80, 5, 500, 310}, {100, 6, 400, 400}, {120, 7, 300, 510}, {140, 8, 200, 640},
                     {160, 9, 100, 790}, {179, 9, 100, 790}, {180, 10, 50, 960}, {200, 10, 50, 960}}},
        {10, 300, 9, {{19, 10, 50, 960}, {20, 11, 50, 1150}, {40, 12, 50, 1360}, {180, 19, 50, 3390},
                      {200, 19, 50, 3390}}},
        {0, 300, 9, {{1, 0, 300, 160}, {19, 0, 300, 160}, {20, 1, 300, 150}, {39, 1, 300, 150},
                     {40, 2, 700, 160}, {60, 3, 650, 190}, {200, 9, 100, 790}}},
    };
    for (const auto &c : cases) {
        resetGame();
        game.tickInterval = c.previousInterval;
        newGame(c.startLevel);
        size_t next = 0;
        int levelUps = 0;
        for (int lines = 1; lines <= 220; ++lines) {
            int level = game.level, score = game.score;
            setRow(19, kFullRow);
            clearFullRows();
            levelUps += game.level - level;
            if (next < c.checkpoints.size() && c.checkpoints[next].lines == lines) {
                const Checkpoint &p = c.checkpoints[next++];
                EXPECT_EQ(p.level, game.level) << "start " << c.startLevel << ", line " << lines;
                EXPECT_EQ(p.interval, game.tickInterval) << "start " << c.startLevel << ", line " << lines;
                EXPECT_EQ(p.rowBonus, game.score - score) << "start " << c.startLevel << ", line " << lines;
            }
        }
        EXPECT_EQ(c.checkpoints.size(), next) << "start " << c.startLevel;
        EXPECT_EQ(c.levelUps, levelUps) << "start " << c.startLevel;
    }
}

} // namespace
