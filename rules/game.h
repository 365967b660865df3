// The game state record and the operations of the game rules; no platform calls.
#pragma once

constexpr int kColumns = 12;
constexpr int kRows = 20;       // playfield rows 0..19
constexpr int kFloorRow = kRows; // row 20: all 1, never drawn, scanned or cleared
constexpr int kEntryColumn = 6;  // the pivot of every new piece enters at (6, 0)
constexpr int kPieceCells = 4;

typedef int PieceKind; // 1..7: what a landed piece leaves in its cells; also its colour index

struct PieceShape {
    int dx[kPieceCells]; // column offsets from the pivot, cell order fixes test order
    int dy[kPieceCells]; // row offsets; positive is lower on the screen
};

struct PieceCells {
    int column[kPieceCells]; // board columns of cells 0..3
    int row[kPieceCells];    // board rows of cells 0..3
};

struct GameState {
    // The well and the pieces: reset by newGame (board rows 0..19 only)
    int board[kRows + 1][kColumns]; // [row][column]; 0 empty, else a PieceKind
    int pieceColumn;                // pivot column of the falling piece
    int pieceRow;                   // pivot row, 0..19; -1 only inside dropStep after a landing
    PieceKind currentKind;
    PieceShape currentShape;        // spawn shape of currentKind, turned 0..3 times
    PieceKind nextKind;
    PieceShape nextShape;           // always the spawn shape of nextKind

    // Counters of one game
    int level;                      // starting level (0..10) plus level-ups
    int tickInterval;               // gravity period, ms
    int score;
    int lines;                      // rows cleared this game
    int linesBeforeLanding;         // lines when the current clear pass began; <= lines
    int gameOver;                   // 1 from the game-over test until the next newGame

    // Front end: kept for the whole run
    int inputBlocked;               // 1 while pause/About/Options hold keys off, until the next tick
    int fullRepaint;                // 1: next paint redraws all; 0: only the falling piece
    PieceCells previousCells;       // where the piece was before the last key action or tick

    // Sound switches: 1 plays the effect, anything else keeps it silent
    int lineClearSound;
    int rotateSound;
    int moveSound;
    int landSound;
    int gameOverSound;

    char soundDirectory[260];       // the executable's directory, ending with a backslash
    char textBuffer[256];           // scratch for a panel text or a sound path
    void *mainWindow;               // the main window's handle, opaque to the rules
};

extern GameState game;

// Setting up a game
void newGame(int level);
bool tickIntervalForLevel(int level, int *interval); // false: the level has no entry

// Pieces and dealing
PieceShape shapeOfKind(PieceKind kind);
void dealFirstPieces();  // next piece first, then the falling piece
void promoteNextPiece(); // next becomes falling; a new next piece is drawn

// Board cells of the falling piece, in cell order.
PieceCells fallingPieceCells();

// Moving the falling piece
void moveLeft();
void moveRight();
void rotatePiece();
void dropStep();

// Landing and lines
void landPiece();
void clearFullRows();
void clearRow(int row);

// Board row 20 is the floor: start-up lays it once.
void layFloorRow();
