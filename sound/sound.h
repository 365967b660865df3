// The five sound effects and playing one of them.
#pragma once

enum SoundEffect { MoveEffect, RotateEffect, LandEffect, LineClearEffect, GameOverEffect, kEffectCount };

// File name of an effect's WAV file, beside the executable.
const char *effectFileName(SoundEffect effect);

// Plays the effect's file from soundDirectory without waiting, if its switch
// is 1; silent when soundDirectory is empty or the path would not fit in textBuffer.
void playEffect(SoundEffect effect);

// Starts playing a WAV file and returns at once; a later call cuts off an earlier sound. A
// file that is missing, unreadable or not a plain PCM WAV file is silent, and so is a machine
// without a sound device. Windows: the game's own sound service (playfile_win.cpp), which does the
// reading and the device calls on a thread of its own. Tests record instead.
void playSoundFile(const char *path);

// Before the process ends: stops the sound service, which closes the device, waiting for it at
// most half a second (a driver call may never return). Windows only.
void closeSoundDevice();
