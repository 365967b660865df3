// The program's entry point.
#include "ui.h"

#include "sound/sound.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    startUp(instance);
    const int result = runMessageLoop();
    closeSoundDevice();
    return result;
}
