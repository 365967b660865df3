// Asks for a sound file that is not there without SND_NODEFAULT and returns once it has played:
// Wine then plays the prefix's default sound, if it has one.
#include <windows.h>

#include <mmsystem.h>

int main() {
    sndPlaySoundA("no such sound.wav", SND_SYNC);
    return 0;
}
