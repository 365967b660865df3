// Playing one WAV file on Windows.
#include "sound.h"

#include <windows.h>
#include <mmsystem.h>

// SND_NODEFAULT: a missing file (the exe started alone from inside the zip) stays silent
// instead of playing the system's default sound at every move.
void playSoundFile(const char *path) { sndPlaySoundA(path, SND_ASYNC | SND_NODEFAULT); }
