// The rules tests' stand-ins for the window front end and the sound effects: they record each call.
#include "recorders.h"

#include "rules/frontend.h"
#include "sound/sound.h"

std::vector<Request> requests;

// game has constant initialisation, so this copy sees it before any code changes it.
const GameState initialGame = game;

void requestRepaint() { requests.push_back({"repaint", game}); }
void startGravityTimer() { requests.push_back({"start", game}); }
void stopGravityTimer() { requests.push_back({"stop", game}); }

void playEffect(SoundEffect effect) {
    static const char *const effectNames[kEffectCount] = {"move", "rotate", "land", "clear", "over"};
    requests.push_back({effect >= 0 && effect < kEffectCount ? effectNames[effect] : "effect?", game});
}

std::string requestNames() {
    std::string names;
    for (const Request &request : requests)
        names += (names.empty() ? "" : " ") + std::string(request.name);
    return names;
}

void resetGame() {
    game = initialGame;
    layFloorRow();
    requests.clear();
}

std::string cellsText(const PieceShape &shape, int column, int row) {
    std::string text;
    for (int i = 0; i < kPieceCells; ++i)
        text += "(" + std::to_string(column + shape.dx[i]) + "," + std::to_string(row + shape.dy[i]) + ")";
    return text;
}
