// The game record's invariants, shared by the random-game, storm and fuzz tests.
#pragma once

#include "rules/game.h"

#include <string>

bool inBoard(int column, int row);

// What is wrong with game after an operation that started from before (score, lines and level
// never go down within one game), or "" when all is well.
std::string brokenInvariant(const GameState &before);
