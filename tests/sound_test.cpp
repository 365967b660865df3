// Tests of the sound effects: file names, switches, and the path composed in textBuffer.
#include "rules/game.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

static std::string played;     // the paths as the platform received them, " | " between two
static const char *playedFrom; // where the last path was read from

// The platform seam, recording instead of playing.
void playSoundFile(const char *path) {
    played += (played.empty() ? "" : " | ") + std::string(path);
    playedFrom = path;
}

namespace {

const GameState initialGame = game;

TEST(PlayEffect, FileSwitchAndPathLength) {
    int GameState::*const switches[kEffectCount] = {&GameState::moveSound, &GameState::rotateSound,
                                                    &GameState::landSound, &GameState::lineClearSound,
                                                    &GameState::gameOverSound};
    const struct {
        SoundEffect effect;
        int soundSwitch;     // the effect's own switch; the others stay at 1
        int directoryLength; // the last character is a backslash; 260 leaves no terminator at all
        const char *file;    // nullptr: silent
    } cases[] = {
        {MoveEffect, 1, 20, "bip.wav"},       {RotateEffect, 1, 20, "tac.wav"},
        {LandEffect, 1, 20, "toc.wav"},       {LineClearEffect, 1, 20, "blop.wav"},
        {GameOverEffect, 1, 20, "dadam.wav"}, {MoveEffect, 0, 20, nullptr},
        {RotateEffect, 0, 20, nullptr},       {LandEffect, 0, 20, nullptr},
        {LineClearEffect, 0, 20, nullptr},    {GameOverEffect, 0, 20, nullptr},
        {MoveEffect, 2, 20, nullptr},         {GameOverEffect, -1, 20, nullptr},
        {MoveEffect, 1, 0, nullptr},          {GameOverEffect, 1, 0, nullptr}, // no folder: never the bare name
        {GameOverEffect, 1, 246, "dadam.wav"}, {GameOverEffect, 1, 247, nullptr}, // paths of 255 and 256
        {MoveEffect, 1, 248, "bip.wav"},       {MoveEffect, 1, 249, nullptr},     // paths of 255 and 256
        {LandEffect, 1, 259, nullptr},         {MoveEffect, 1, 260, nullptr},     // the longest directories
    };
    for (const auto &c : cases) {
        game = initialGame;
        game.*switches[c.effect] = c.soundSwitch;
        for (int i = 0; i < c.directoryLength; ++i)
            game.soundDirectory[i] = i + 1 == c.directoryLength ? '\\' : static_cast<char>('a' + i % 26);
        // No zero byte after soundDirectory: a length read past its 260 bytes runs off the record (sanitizers).
        memset(game.textBuffer, '#', sizeof game.textBuffer);
        game.mainWindow = reinterpret_cast<void *>(~static_cast<uintptr_t>(0));
        unsigned char before[sizeof(GameState)];
        memcpy(before, &game, sizeof game);
        played.clear();

        playEffect(c.effect);

        const std::string name = "effect " + std::to_string(c.effect) + ", switch " + std::to_string(c.soundSwitch) +
                                 ", directory of " + std::to_string(c.directoryLength);
        const std::string directory(game.soundDirectory, static_cast<size_t>(c.directoryLength));
        EXPECT_EQ(c.file ? directory + c.file : "", played) << name;
        if (c.file) { // the path is composed in textBuffer, the one part of the record it may write
            EXPECT_STREQ(c.file, effectFileName(c.effect)) << name;
            EXPECT_EQ(game.textBuffer, playedFrom) << name;
            memcpy(before + offsetof(GameState, textBuffer), game.textBuffer, sizeof game.textBuffer);
        }
        EXPECT_EQ(0, memcmp(before, &game, sizeof game)) << name << ": bytes changed outside textBuffer or in silence";
    }
}

} // namespace
