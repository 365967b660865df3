// Recording front-end services and playEffect for the rules tests, a fresh game per test, piece helpers.
#pragma once

#include "invariants.h"

#include <string>
#include <vector>

// One call from the rules to the world outside them, with the record as it was at that moment.
struct Request {
    const char *name; // "move", "rotate", "land", "clear", "over", "start", "stop" or "repaint"
    GameState seen;
};

extern std::vector<Request> requests;

// All requests so far, space separated, oldest first.
std::string requestNames();

// game as start-up leaves it: the record as the program starts, the floor row laid; no requests.
void resetGame();

// "(column,row)" of cells 0..3 of the shape with its pivot at (column, row): at (0, 0) its offsets.
std::string cellsText(const PieceShape &shape, int column = 0, int row = 0);
