// Tests of the sound effects: file names, switches, and the path composed in textBuffer.
#include "rules/game.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> played; // each path as the platform received it
const char *playedFrom;          // where the last path was read from

const GameState initialGame = game;

struct PlayEffect : testing::Test {
    void SetUp() override {
        game = initialGame;
        layFloorRow();
        played.clear();
        playedFrom = nullptr;
    }
};

struct EffectEntry {
    SoundEffect effect;
    const char *file;
    int GameState::*soundSwitch;
};

const EffectEntry effects[] = {
    {MoveEffect, "bip.wav", &GameState::moveSound},
    {RotateEffect, "tac.wav", &GameState::rotateSound},
    {LandEffect, "toc.wav", &GameState::landSound},
    {LineClearEffect, "blop.wav", &GameState::lineClearSound},
    {GameOverEffect, "dadam.wav", &GameState::gameOverSound},
};

std::string joined(const std::vector<std::string> &paths) {
    std::string text;
    for (const std::string &path : paths)
        text += (text.empty() ? "" : " | ") + path;
    return text;
}

} // namespace

// The platform seam, recording instead of playing.
void playSoundFile(const char *path) {
    played.push_back(path);
    playedFrom = path;
}

namespace {

TEST_F(PlayEffect, EachEffectPlaysItsFileFromTheDirectory) {
    strcpy(game.soundDirectory, "C:\\Jeux\\Karvel\\");
    for (const EffectEntry &e : effects) {
        played.clear();
        playEffect(e.effect);
        std::string path = std::string("C:\\Jeux\\Karvel\\") + e.file;
        EXPECT_EQ(path, joined(played)) << e.file;
        EXPECT_EQ(path, game.textBuffer) << e.file;
        EXPECT_EQ(game.textBuffer, playedFrom) << e.file << ": the path is composed in textBuffer";
        EXPECT_STREQ(e.file, effectFileName(e.effect));
    }
}

TEST_F(PlayEffect, EmptyDirectoryGivesTheBareName) {
    playEffect(MoveEffect);
    EXPECT_EQ("bip.wav", joined(played));
}

TEST_F(PlayEffect, OnlyTheValueOnePlays) {
    strcpy(game.soundDirectory, "D:\\");
    const struct {
        int value;
        bool plays;
    } values[] = {{1, true}, {0, false}, {2, false}, {-1, false}, {100, false}};
    for (const EffectEntry &e : effects)
        for (const auto &v : values) {
            SetUp();
            strcpy(game.soundDirectory, "D:\\");
            strcpy(game.textBuffer, "Score");
            game.*e.soundSwitch = v.value;
            // Every effect once: only the switched one may change.
            for (const EffectEntry &other : effects)
                playEffect(other.effect);
            std::string expected;
            for (const EffectEntry &other : effects)
                if (other.effect != e.effect || v.plays)
                    expected += (expected.empty() ? "D:\\" : " | D:\\") + std::string(other.file);
            EXPECT_EQ(expected, joined(played)) << e.file << " with its switch at " << v.value;
        }
}

TEST_F(PlayEffect, PathsThatDoNotFitStaySilent) {
    const struct {
        const char *name;
        int directoryLength; // the last character is the backslash; 260: no terminator at all
        SoundEffect effect;
        size_t nameLength;
        bool plays;
    } cases[] = {
        {"246 + dadam.wav = 255, fits exactly", 246, GameOverEffect, 9, true},
        {"247 + dadam.wav = 256", 247, GameOverEffect, 9, false},
        {"248 + bip.wav = 255", 248, MoveEffect, 7, true},
        {"249 + bip.wav = 256", 249, MoveEffect, 7, false},
        {"259, the longest terminated directory", 259, LandEffect, 7, false},
        {"260 characters and no terminator", 260, MoveEffect, 7, false},
    };
    for (const auto &c : cases) {
        SetUp();
        memset(game.soundDirectory, 0, sizeof game.soundDirectory);
        for (int i = 0; i < c.directoryLength; ++i)
            game.soundDirectory[i] = static_cast<char>('a' + i % 26);
        game.soundDirectory[c.directoryLength - 1] = '\\';
        memset(game.textBuffer, '#', sizeof game.textBuffer);
        // No zero byte after soundDirectory: a length read past its 260 bytes runs off the record (sanitizers).
        game.mainWindow = reinterpret_cast<void *>(~static_cast<uintptr_t>(0));
        unsigned char before[sizeof(GameState)];
        memcpy(before, &game, sizeof game);

        playEffect(c.effect);

        const unsigned char *after = reinterpret_cast<const unsigned char *>(&game);
        const size_t textStart = offsetof(GameState, textBuffer), textEnd = textStart + sizeof game.textBuffer;
        EXPECT_EQ(0, memcmp(before, after, textStart)) << c.name << ": bytes before textBuffer changed";
        EXPECT_EQ(0, memcmp(before + textEnd, after + textEnd, sizeof game - textEnd))
            << c.name << ": bytes after textBuffer changed";
        if (!c.plays) {
            EXPECT_EQ("", joined(played)) << c.name;
            EXPECT_EQ(0, memcmp(before + textStart, after + textStart, sizeof game.textBuffer))
                << c.name << ": textBuffer changed though nothing played";
            continue;
        }
        std::string expected(game.soundDirectory, static_cast<size_t>(c.directoryLength));
        expected += effectFileName(c.effect);
        ASSERT_EQ(1u, played.size()) << c.name;
        EXPECT_EQ(expected, played[0]) << c.name;
        EXPECT_EQ(static_cast<size_t>(c.directoryLength) + c.nameLength, played[0].size()) << c.name;
    }
}

} // namespace
