// The rules alone, natively: how many drop steps a headless game runs per second.
#include "rules/frontend.h"
#include "rules/game.h"
#include "sound/sound.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// A headless game: nothing to paint, no timer, no sound.
void requestRepaint() {}
void startGravityTimer() {}
void stopGravityTimer() {}
void playEffect(SoundEffect) {}

int main(int argc, char **argv) {
    bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    const std::chrono::milliseconds duration(smoke ? 20 : 2000);

    srand(1);
    layFloorRow();
    newGame(1);
    long long steps = 0, games = 1;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::duration elapsed{};
    while (elapsed < duration) {
        for (int i = 0; i < 4096; ++i) {
            dropStep();
            if (game.gameOver == 1) {
                newGame(1);
                games += 1;
            }
        }
        steps += 4096;
        elapsed = Clock::now() - start;
    }
    double seconds = std::chrono::duration<double>(elapsed).count();
    if (steps == 0 || games < 2) {
        std::fprintf(stderr, "rules_bench: no whole game was played\n");
        return 1;
    }
    // figure, value, floor, unit: one row of the benchmark's table
    std::printf("rules alone (native): drop steps per second\t%.0f\t\t/s\n", double(steps) / seconds);
    std::printf("rules alone (native): games per second\t%.0f\t\t/s\n", double(games) / seconds);
    return 0;
}
