// Recording front-end services and playEffect for the rules tests, a fresh game per test, piece helpers.
#pragma once

#include "rules/game.h"
#include "sound/sound.h"

#include <string>
#include <vector>

enum RequestKind { RepaintRequest, StartTimerRequest, StopTimerRequest, EffectRequest };

// One call from the rules to the world outside them, with the record as it was at that moment.
struct Request {
    RequestKind kind;
    SoundEffect effect; // EffectRequest only
    GameState seen;
};

extern std::vector<Request> requests;

// The record as the program starts, copied before any test runs.
extern const GameState initialGame;

// "move", "rotate", "land", "clear", "over", "start", "stop", "repaint"
std::string requestName(const Request &request);

// All requests so far, space separated, oldest first.
std::string requestNames();

// game = initialGame with the floor row laid, as start-up leaves it; no requests recorded.
void resetGame();

// "(dx,dy)" of cells 0..3.
std::string shapeText(const PieceShape &shape);

// The shape after the given number of quarter turns, (dx, dy) -> (dy, -dx) each.
PieceShape turned(PieceShape shape, int turns);
