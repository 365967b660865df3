// The main window's procedure: keys, gravity ticks, paints, the pause and closing.
#include "ui.h"

#include "rules/frontend.h"
#include "rules/game.h"

namespace {

constexpr WPARAM kKeyP = 0x50; // with or without Shift

void recordPreviousCells() { game.previousCells = fallingPieceCells(); }

bool coversLandedCells() {
    const PieceCells cells = fallingPieceCells();
    for (int i = 0; i < kPieceCells; ++i)
        if (game.board[cells.row[i]][cells.column[i]] != 0)
            return true;
    return false;
}

// Runs before a key action or a tick; returns whether the paint to come must stay
// full whatever the action does to fullRepaint. Several changes may come before
// one paint (input is read before WM_PAINT): the partial repaint must then still
// erase the cells where the last paint drew the piece, and a paint asked to be
// full (landing, cleared row, pause end, new game) must not turn partial.
bool prepareAction(HWND window) {
    if (repaintPending())
        return game.fullRepaint != 0;
    recordPreviousCells();
    // Damage the system reported (part of the window uncovered) needs a full paint. So does
    // a piece that entered over landed cells (only the entry cell ends a game): erasing its
    // old cells would blacken those landed cells too.
    return GetUpdateRect(window, nullptr, FALSE) != 0 || coversLandedCells();
}

void onKeyDown(HWND window, WPARAM key) {
    if (game.inputBlocked == 1 || game.gameOver == 1)
        return;
    bool keepFull = prepareAction(window);
    if (key == VK_DOWN) {
        dropStep(); // requests its own repaint, like a tick
    } else if (key == kKeyP) {
        pauseGame();
    } else {
        if (key == VK_LEFT)
            moveLeft();
        else if (key == VK_RIGHT)
            moveRight();
        else if (key == VK_UP)
            rotatePiece();
        // Refused moves and other keys too: the piece is erased and drawn in place.
        game.fullRepaint = 0;
        repaintWindow(window);
    }
    if (keepFull)
        game.fullRepaint = 1;
}

void onGravityTick(HWND window) {
    game.inputBlocked = 0;
    if (game.gameOver == 1)
        return;
    bool keepFull = prepareAction(window);
    dropStep();
    if (keepFull)
        game.fullRepaint = 1;
}

// Restored, resized or maximised: a restored window may come back black, and a
// minimised one had ticks but no paint, so the next paint draws everything.
void onResize(HWND window) {
    game.fullRepaint = 1;
    repaintWindow(window);
}

} // namespace

// Task-modal alone: Windows reads the mode bits as one field, and with the system-modal bit set
// too the box would be neither, leaving the main window's menu open behind it. MB_TOPMOST keeps
// what the system-modal flag gave: the box stays on top.
void pauseGame() {
    stopGravityTimer();
    game.inputBlocked = 1;
    MessageBoxA(nullptr, "Le jeu est en pause...\nVeuillez cliquer sur OK pour reprendre la partie!",
                "Jeu en pause...", MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
    game.fullRepaint = 1; // the box covered part of the window
    requestRepaint();
    startGravityTimer();
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        onKeyDown(window, wParam);
        return 0;
    case WM_TIMER:
        onGravityTick(window);
        return 0;
    case WM_PAINT:
        paintWindow(window);
        repaintHandled();
        return 0;
    case WM_ERASEBKGND:
        return 0; // the partial repaint draws over the pixels of the last paint
    case WM_SIZE:
        onResize(window);
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI (Windows 8.1 and later): the place and size the system
        // suggests, then the whole picture at the new scale, which the paint asks the window for.
        const RECT &suggested = *reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        onResize(window);
        return 0;
    }
    case WM_COMMAND:
        return handleCommand(window, message, wParam, lParam);
    case WM_CLOSE:
        PostQuitMessage(0);
        DestroyWindow(window);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
