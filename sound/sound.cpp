// The five sound effects, their switches, and composing the path to play.
#include "sound.h"

#include "../rules/game.h"

#include <cstring>

namespace {

struct EffectEntry {
    const char *file;
    int GameState::*soundSwitch;
};

const EffectEntry effects[] = {
    // file          switch
    {"bip.wav",   &GameState::moveSound},      // MoveEffect
    {"tac.wav",   &GameState::rotateSound},    // RotateEffect
    {"toc.wav",   &GameState::landSound},      // LandEffect
    {"blop.wav",  &GameState::lineClearSound}, // LineClearEffect
    {"dadam.wav", &GameState::gameOverSound},  // GameOverEffect
};
static_assert(sizeof effects / sizeof effects[0] == kEffectCount, "one entry per effect");

} // namespace

const char *effectFileName(SoundEffect effect) { return effects[effect].file; }

void playEffect(SoundEffect effect) {
    if (effect < 0 || effect >= kEffectCount)
        return;
    const EffectEntry &entry = effects[effect];
    if (game.*entry.soundSwitch != 1)
        return;
    // Without the executable's folder a bare name would be looked up in the current
    // directory, and a missing file would play the system's sound: stay silent instead.
    // A path that does not fit stays silent too: a cut path could name another file.
    size_t dirLength = strnlen(game.soundDirectory, sizeof game.soundDirectory);
    size_t nameLength = strlen(entry.file);
    if (dirLength == 0 || dirLength + nameLength >= sizeof game.textBuffer)
        return;
    memcpy(game.textBuffer, game.soundDirectory, dirLength);
    memcpy(game.textBuffer + dirLength, entry.file, nameLength + 1);
    playSoundFile(game.textBuffer);
}
