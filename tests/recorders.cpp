// The rules tests' stand-ins for the window front end and the sound effects: they record each call.
#include "recorders.h"

#include "rules/frontend.h"

std::vector<Request> requests;

// game has constant initialisation, so this copy sees it before any code changes it.
const GameState initialGame = game;

namespace {

void record(RequestKind kind, SoundEffect effect) { requests.push_back({kind, effect, game}); }

} // namespace

void requestRepaint() { record(RepaintRequest, kEffectCount); }
void startGravityTimer() { record(StartTimerRequest, kEffectCount); }
void stopGravityTimer() { record(StopTimerRequest, kEffectCount); }
void playEffect(SoundEffect effect) { record(EffectRequest, effect); }

std::string requestName(const Request &request) {
    static const char *const effectNames[kEffectCount] = {"move", "rotate", "land", "clear", "over"};
    switch (request.kind) {
    case RepaintRequest: return "repaint";
    case StartTimerRequest: return "start";
    case StopTimerRequest: return "stop";
    case EffectRequest:
        if (request.effect >= 0 && request.effect < kEffectCount)
            return effectNames[request.effect];
        return "effect?";
    }
    return "?";
}

std::string requestNames() {
    std::string names;
    for (const Request &request : requests) {
        if (!names.empty())
            names += ' ';
        names += requestName(request);
    }
    return names;
}

void resetGame() {
    game = initialGame;
    layFloorRow();
    requests.clear();
}

std::string shapeText(const PieceShape &shape) {
    std::string text;
    for (int i = 0; i < kPieceCells; ++i)
        text += "(" + std::to_string(shape.dx[i]) + "," + std::to_string(shape.dy[i]) + ")";
    return text;
}

PieceShape turned(PieceShape shape, int turns) {
    for (int t = 0; t < turns; ++t)
        for (int i = 0; i < kPieceCells; ++i) {
            int dx = shape.dx[i];
            shape.dx[i] = shape.dy[i];
            shape.dy[i] = -dx;
        }
    return shape;
}
