// The window front end: start-up, the window procedure, painting, commands and dialogs.
#pragma once

#include <windows.h>

// Start-up steps before the message loop: seed, sound directory, first pieces,
// floor row, window class, main window (fitted to the picture and the screen), show,
// gravity timer. Returns mainWindow.
HWND startUp(HINSTANCE instance);

// Pumps the thread's messages, every window's, until GetMessageA returns anything but 1;
// returns that result, the process exit code.
int runMessageLoop();

// Fills soundDirectory with the directory of the executable at exePath, ending
// with a backslash; left empty when there is no backslash or it does not fit.
void setSoundDirectory(const char *exePath);

// requestRepaint for the window given: the window procedure uses the handle it
// receives, which is mainWindow except while the window is being created.
void repaintWindow(HWND window);

// True from a repaint request until the window procedure has handled the paint.
bool repaintPending();
void repaintHandled();

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Key P: stops the ticks and holds the game behind a message box until closed.
void pauseGame();

// Paints the client area: a full or a partial repaint, then the falling piece.
void paintWindow(HWND window);
// The client area a full repaint needs at dpi: width and height from the client's top-left corner.
SIZE pictureSizeAt(int dpi);
// The paint's drawing on a given context whose client area is client, at dpi (96: the
// picture's own pixels, every other DPI scaled from them); reads fullRepaint.
void drawGame(HDC dc, const RECT &client, int dpi = 96);
// The DPI the window is shown at, and the system's: the one every window has on Windows 7 and 8.
int windowDpi(HWND window);
int systemDpi();

// The WM_COMMAND branch of the window procedure: the menu commands.
LRESULT handleCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the New-game dialog; true with the chosen level when it was accepted.
bool showNewGameDialog(int *level);

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK newGameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
