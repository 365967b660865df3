// The program's entry point.
#include "ui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    startUp(instance);
    return runMessageLoop();
}
