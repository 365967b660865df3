// Support for the in-process tests of the Windows front end: pumping, modal boxes, pictures.
#pragma once

#include "invariants.h"

#include <windows.h>

#include <string>

HWND mainWindow();

// Dispatches messages until none has come for quietMs.
void pump(DWORD quietMs);

// Milliseconds until the main window's next gravity tick, which is then dispatched;
// -1 when none comes within limitMs.
int msToNextTick(int limitMs);

// Works the modal dialogs and message boxes of this thread from a thread timer, which runs
// inside the box's own message loop: act runs once on each box titled title (nullptr: any).
// A box still open after 3 s is destroyed, so that a box that will not close ends the test.
struct BoxWorker {
    const char *title;
    void (*act)(HWND box);
    int worked; // boxes act ran on
    int stuck;  // boxes destroyed
};
extern BoxWorker boxWorker;
void startBoxWorker(const char *title, void (*act)(HWND box));
void stopBoxWorker();

inline void click(HWND dialog, int control) { SendMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }

// The whole client area of the main window waits for a paint.
bool wholeClientInvalid();

// "" when the client area shows exactly what a full repaint of the present state draws;
// otherwise how many pixels differ and the first of them, got vs expected.
std::string staleness(HWND window);
