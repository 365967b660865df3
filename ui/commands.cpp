// The menu commands and the About, New-game and Options dialogs.
#include "ui.h"

#include "resource.h"
#include "rules/frontend.h"
#include "rules/game.h"

namespace {

// The New-game dialog ends with the chosen level plus one, so that no accepted
// level can be mistaken for a cancel (0) or for a dialog that failed to open (-1).
constexpr INT_PTR kNewGameCancelled = 0;

const char *const levelTexts[] = {
    // The leading spaces keep the sorting box in numeric order: index i is level i + 1.
    " 1", " 2", " 3", " 4", " 5", " 6", " 7", " 8", " 9", "10",
};

struct SoundBox {
    int control;  // check box in the Options dialog
    int *soundOn; // its switch in the game record
};

const SoundBox soundBoxes[] = {
    // control                switch
    {IDC_LINE_CLEAR_SOUND, &game.lineClearSound},
    {IDC_ROTATE_SOUND,     &game.rotateSound},
    {IDC_MOVE_SOUND,       &game.moveSound},
    {IDC_LAND_SOUND,       &game.landSound},
    {IDC_GAME_OVER_SOUND,  &game.gameOverSound},
};

// Dialogs have no owner, so the main window stays usable while one is open.
INT_PTR showDialog(int resource, DLGPROC procedure) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), nullptr, procedure, 0);
}

// About and Options hold the ticks while open; keys stay ignored until the next tick.
void showHoldingDialog(int resource, DLGPROC procedure) {
    stopGravityTimer();
    game.inputBlocked = 1;
    showDialog(resource, procedure);
    startGravityTimer();
}

void chooseNewGame() {
    stopGravityTimer();
    int level = 0;
    if (showNewGameDialog(&level)) {
        newGame(level);
    }
    game.fullRepaint = 1;
    requestRepaint();
    startGravityTimer();
}

void fillLevelBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_LEVEL);
    // Pixels, drop-down list included, so that all ten levels show without scrolling.
    SetWindowPos(box, nullptr, 0, 0, 60, 300, SWP_NOMOVE | SWP_NOZORDER);
    for (const char *text : levelTexts) {
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageA(box, CB_SETCURSEL, 0, 0);
}

// Once the player has typed into the box's edit field there is no selection: level 0.
int chosenLevel(HWND dialog) {
    LRESULT index = SendDlgItemMessageA(dialog, IDC_LEVEL, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? 0 : static_cast<int>(index) + 1;
}

} // namespace

LRESULT handleCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDM_QUIT:
        PostQuitMessage(0);
        return 0;
    case IDM_ABOUT:
        showHoldingDialog(IDD_ABOUT, aboutDialogProc);
        return 0;
    case IDM_NEWGAME:
        chooseNewGame();
        return 0;
    case IDM_OPTIONS:
        showHoldingDialog(IDD_OPTIONS, optionsDialogProc);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A dialog that could not be shown counts as cancelled.
bool showNewGameDialog(int *level) {
    INT_PTR result = showDialog(IDD_NEWGAME, newGameDialogProc);
    if (result <= kNewGameCancelled) {
        return false;
    }
    *level = static_cast<int>(result - 1);
    return true;
}

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return 1;
    }
    return 0;
}

INT_PTR CALLBACK newGameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        fillLevelBox(dialog);
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        EndDialog(dialog, chosenLevel(dialog) + 1);
        return 1;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, kNewGameCancelled);
        return 1;
    }
    return 0;
}

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        for (const SoundBox &box : soundBoxes) {
            if (*box.soundOn == 1) {
                CheckDlgButton(dialog, box.control, BST_CHECKED);
            }
        }
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        for (const SoundBox &box : soundBoxes) {
            *box.soundOn = 0;
        }
        for (const SoundBox &box : soundBoxes) {
            if (IsDlgButtonChecked(dialog, box.control) != 0) {
                *box.soundOn = 1;
            }
        }
        EndDialog(dialog, 0);
        return 1;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return 1;
    }
    return 0;
}
