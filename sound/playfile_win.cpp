// Playing one WAV file on Windows.
#include "sound.h"

#include <windows.h>
#include <mmsystem.h>

void playSoundFile(const char *path) { sndPlaySoundA(path, SND_ASYNC); }
