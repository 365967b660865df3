// The five sound effects and playing one of them.
#pragma once

enum SoundEffect { MoveEffect, RotateEffect, LandEffect, LineClearEffect, GameOverEffect, kEffectCount };

// File name of an effect's WAV file, beside the executable.
const char *effectFileName(SoundEffect effect);

// Plays the effect's file from soundDirectory without waiting, if its switch
// is 1; silent when soundDirectory is empty or the path would not fit in textBuffer.
void playEffect(SoundEffect effect);

// Starts playing a WAV file and returns at once; a later call cuts off an
// earlier sound. Windows: sndPlaySoundA with SND_ASYNC. Tests record instead.
void playSoundFile(const char *path);
