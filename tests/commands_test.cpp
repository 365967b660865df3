// The menu commands on the real main window, with each dialog worked by the test itself.
#include "winsupport.h"

#include "rules/frontend.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The command numbers, and the controls: the level box and the five sound boxes in dialog order.
enum { NewGame = 40007, About = 40005, Options = 40008, LevelBox = 1002, LineClearBox = 1008, RotateBox, MoveBox,
       LandBox, GameOverBox };

BOOL gravityDuringDialog; // KillTimer found the gravity timer while the dialog was open
BOOL mainEnabled;         // the main window took input while the dialog was open
std::string shown;        // what act read from the dialog's controls

void (*commandAct)(HWND dialog);

// Sends the menu command as the menu does; act works the dialog titled title.
// True when exactly one such dialog was worked.
bool runCommand(int command, const char *title, void (*act)(HWND dialog)) {
    gravityDuringDialog = FALSE;
    mainEnabled = TRUE;
    shown.clear();
    commandAct = act;
    startBoxWorker(title, [](HWND dialog) {
        gravityDuringDialog = KillTimer(mainWindow(), 0);
        mainEnabled = IsWindowEnabled(mainWindow());
        game.fullRepaint = 0; // whatever paints left there, only the command may set it from now on
        commandAct(dialog);
    });
    SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
    stopBoxWorker();
    EXPECT_FALSE(gravityDuringDialog) << "gravity timer while the dialog is open";
    EXPECT_TRUE(mainEnabled) << "the main window is disabled while the dialog is open";
    return boxWorker.worked == 1 && boxWorker.stuck == 0;
}

// The gravity timer, started when the command ended, ticks after one tickInterval.
void expectTickAfter(int intervalMs) {
    int waited = msToNextTick(intervalMs + 500);
    EXPECT_TRUE(waited >= intervalMs - 20 && waited <= intervalMs + 100)
        << "first tick after " << waited << " ms, expected " << intervalMs;
}

// A game under way at that level, with landed cells and cleared rows, its gravity timer running.
void setGameInProgress(int level) {
    newGame(level);
    game.board[19][0] = game.board[18][0] = 3;
    game.score = 4321;
    game.lines = game.linesBeforeLanding = 12;
    game.inputBlocked = game.fullRepaint = 0;
    startGravityTimer();
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        if (!game.mainWindow)
            startUp(GetModuleHandleA(nullptr));
        ASSERT_TRUE(IsWindow(mainWindow())) << "no main window (is DISPLAY set?)";
    }
    void TearDown() override { stopGravityTimer(); }
};

// One showing of the New-game dialog: the level chosen or typed, and how it is closed.
struct NewGameCase {
    const char *name;
    int select, typed, close; // list index chosen; character typed; IDOK, IDCANCEL, or 0 for Esc
    int level, interval;      // afterwards; level -1: cancelled, the game goes on as it was
} const *newGameCase;

void workNewGame(HWND dialog) {
    HWND box = GetDlgItem(dialog, LevelBox), edit = FindWindowExA(box, nullptr, "Edit", nullptr);
    // As it opens: the ten levels in list order, the box's width and the level it shows.
    char text[16];
    for (int i = 0; i < int(SendMessageA(box, CB_GETCOUNT, 0, 0)); ++i) {
        if (SendMessageA(box, CB_GETLBTEXTLEN, WPARAM(i), 0) < LRESULT(sizeof text)) {
            SendMessageA(box, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
            shown += std::string(text) + "|";
        }
    }
    RECT r;
    GetWindowRect(box, &r);
    GetWindowTextA(box, text, sizeof text);
    shown += std::to_string(r.right - r.left) + " wide, showing '" + text + "'";
    if (newGameCase->select >= 0)
        SendMessageA(box, CB_SETCURSEL, WPARAM(newGameCase->select), 0);
    if (newGameCase->typed)
        SendMessageA(edit, WM_CHAR, WPARAM(newGameCase->typed), 1);
    if (newGameCase->close)
        click(dialog, newGameCase->close);
    else
        PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 1);
}

// The game before each showing is over at level 9, 100 ms ticks, with landed cells and cleared rows.
TEST_F(Commands, NewGameStartsTheChosenLevelOrLeavesTheGameAsItWas) {
    const NewGameCase cases[] = {
        // name                              select typed close     level interval
        {"' 1' as the dialog opens, Comencer", -1,   0,   IDOK,      1,    750},
        {"'10' chosen, Comencer",               9,   0,   IDOK,     10,     50},
        {"'3' typed: no selection, level 0",   -1,   '3', IDOK,      0,    100},
        {"Annuler",                            -1,   0,   IDCANCEL, -1,    100},
        {"'10' chosen, then Annuler",           9,   0,   IDCANCEL, -1,    100},
        {"Esc",                                -1,   0,   0,        -1,    100},
    };
    for (const NewGameCase &c : cases) {
        SCOPED_TRACE(c.name);
        newGameCase = &c;
        setGameInProgress(9);
        game.gameOver = 1;
        GameState expected = game;
        expected.fullRepaint = 1;
        srand(5);
        if (c.level >= 0) { // a new game: the well empty above the floor, the next piece dealt first
            std::memset(expected.board, 0, sizeof expected.board[0] * 20);
            expected.nextKind = rand() % 7 + 1;
            expected.currentKind = rand() % 7 + 1;
            expected.currentShape = shapeOfKind(expected.currentKind);
            expected.nextShape = shapeOfKind(expected.nextKind);
            expected.pieceColumn = 6;
            expected.pieceRow = expected.score = expected.lines = expected.linesBeforeLanding = expected.gameOver = 0;
            expected.level = c.level;
            expected.tickInterval = c.interval;
            srand(5);
        }
        ASSERT_TRUE(runCommand(NewGame, "Nouveau Jeu", workNewGame));
        EXPECT_EQ(shown, " 1| 2| 3| 4| 5| 6| 7| 8| 9|10|60 wide, showing ' 1'");
        EXPECT_EQ(changedFields(expected, game, "textBuffer"), "");
        EXPECT_TRUE(wholeClientInvalid()) << "the whole window is to repaint";
        expectTickAfter(c.interval);
    }
}

// One showing of About or Options; rows run in order.
struct HoldingCase {
    const char *name;
    int command, gameOver;
    const char *sounds;        // the five switches set before it opens; nullptr: as the last row left them
    int toggled, close;        // the box clicked (0 none, -1 each); IDOK, or 0 for Esc
    const char *boxes, *after; // as the dialog opened -> as it was closed; the switches afterwards
} const *holdingCase;

const int soundBoxes[] = {LineClearBox, RotateBox, MoveBox, LandBox, GameOverBox};

// The switches of those boxes, in the same order, from five digits.
void setSounds(GameState &state, const char *digits) {
    std::sscanf(digits, "%1d%1d%1d%1d%1d", &state.lineClearSound, &state.rotateSound, &state.moveSound,
                &state.landSound, &state.gameOverSound);
}

void workHoldingDialog(HWND dialog) {
    for (int box : soundBoxes)
        shown += IsDlgButtonChecked(dialog, box) ? "1" : "0";
    shown += " -> ";
    for (int box : soundBoxes) {
        if (holdingCase->toggled == box || holdingCase->toggled == -1)
            click(dialog, box);
        shown += IsDlgButtonChecked(dialog, box) ? "1" : "0";
    }
    if (holdingCase->close)
        click(dialog, IDOK);
    else
        PostMessageA(GetDlgItem(dialog, MoveBox), WM_KEYDOWN, VK_ESCAPE, 1);
}

// The game runs at level 10, 50 ms ticks; keys stay ignored until the next tick.
TEST_F(Commands, AboutAndOptionsHoldTheTicksUntilClosed) {
    const HoldingCase cases[] = {
        // name                       command  over sounds   toggled      close boxes             after
        {"About",                     About,   0,   "11111", 0,           IDOK, "00000 -> 00000", "11111"},
        {"About after a game over",   About,   1,   nullptr, 0,           IDOK, "00000 -> 00000", "11111"},
        {"Deplacement unchecked, OK", Options, 0,   nullptr, MoveBox,     IDOK, "11111 -> 11011", "11011"},
        {"reopened, Rotation",        Options, 0,   nullptr, RotateBox,   IDOK, "11011 -> 10011", "10011"},
        {"reopened, Fin de jeu",      Options, 0,   nullptr, GameOverBox, IDOK, "10011 -> 10010", "10010"},
        {"each box toggled, Esc",     Options, 0,   "10101", -1,          0,    "10101 -> 01010", "10101"},
    };
    for (const HoldingCase &c : cases) {
        SCOPED_TRACE(c.name);
        holdingCase = &c;
        setGameInProgress(10);
        game.gameOver = c.gameOver;
        if (c.gameOver) // as the game over leaves it
            stopGravityTimer();
        if (c.sounds)
            setSounds(game, c.sounds);
        GameState expected = game;
        expected.inputBlocked = 1;
        setSounds(expected, c.after);
        ASSERT_TRUE(runCommand(c.command, c.command == About ? "A propos de KARVEL V1.2" : "Options de Karvel  1.2",
                               workHoldingDialog));
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(changedFields(expected, game, "textBuffer"), "");
        expectTickAfter(50);
        expected.inputBlocked = 0;
        if (c.gameOver) {
            EXPECT_EQ(changedFields(expected, game, "textBuffer"), "") << "the tick after a game over moves nothing";
        }
    }
}

// WM_GETTEXT with 8 (no command) as the buffer size copies 7 characters of the title.
TEST_F(Commands, OtherCommandNumbersGoToTheDefaultProcedure) {
    char text[32] = "";
    EXPECT_EQ(handleCommand(mainWindow(), WM_GETTEXT, 8, reinterpret_cast<LPARAM>(text)), 7);
    EXPECT_STREQ(text, " Karvel");
}

} // namespace
