// The game record's invariants and comparison, shared by the rules, fuzz, storm, paint and window tests.
#pragma once

#include "rules/game.h"

#include <string>

bool inBoard(int column, int row);

// What is wrong with game after an operation that started from before (score, lines and level
// never go down within one game), or "" when all is well.
std::string brokenInvariant(const GameState &before);

// The shape after the given number of quarter turns, (dx, dy) -> (dy, -dx) each.
PieceShape turned(PieceShape shape, int turns = 1);

// The fields that differ from before to after, in record order: "score 0->15" for a number, the
// name alone for the rest ("board"); the fields named in ignored (space separated) are left out.
std::string changedFields(const GameState &before, const GameState &after = game, const char *ignored = "");
