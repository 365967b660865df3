// The menu commands on the real main window, with each dialog worked by the test itself.
#include "rules/frontend.h"
#include "rules/game.h"
#include "ui/resource.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

HWND mainWindow() { return static_cast<HWND>(game.mainWindow); }

// ---------------------------------------------------------------------------
// Working a modal dialog from inside its own message loop: a thread timer set
// before the command finds the dialog by its caption, keeps it open for a while
// (the gravity timer must not run meanwhile), then acts on it and closes it.

struct DialogDriver {
    const char *title;
    int holdMs;               // time the dialog stays open before act runs
    void (*act)(HWND dialog); // observes, works the controls, closes the dialog
    std::chrono::steady_clock::time_point started, opened, actedAt;
    bool found, acted, timedOut;
};

DialogDriver driver;

// What act saw while the dialog was open, for the test to check afterwards.
struct Observed {
    HWND owner;
    bool mainWindowEnabled;
    int inputBlocked;
    int checks[5];     // Options: the five boxes, 1008..1012
    std::string label; // Options: the label of the box clicked
    std::string levelTexts;
    int levelCount, levelSelection, levelBoxWidth;
    bool levelListShowsAll; // all items visible in the dropped list, none scrolled away
    HICON icon;
};

Observed observed;

int msSince(std::chrono::steady_clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

struct DialogSearch {
    const char *title; // nullptr: any dialog
    HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM lParam) {
    DialogSearch *search = reinterpret_cast<DialogSearch *>(lParam);
    char className[16] = "", title[64] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(className, "#32770") != 0 || (search->title && std::strcmp(title, search->title) != 0))
        return TRUE;
    search->found = window;
    return FALSE;
}

// Only this thread's windows: other programs on the same Wine desktop may show the same dialogs.
HWND findDialog(const char *title) {
    DialogSearch search = {title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CALLBACK driveDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = findDialog(driver.title);
    if (driver.acted) {
        // A dialog that ignores what closes it would block the test for ever.
        if (dialog && msSince(driver.actedAt) > 3000) {
            driver.timedOut = true;
            DestroyWindow(dialog);
        }
        return;
    }
    if (!dialog) {
        // A dialog under another caption would block the test for ever: cancel it.
        HWND stray = findDialog(nullptr);
        if (stray && msSince(driver.started) > 3000) {
            driver.timedOut = true;
            PostMessageA(stray, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
    if (!driver.found) {
        driver.found = true;
        driver.opened = std::chrono::steady_clock::now();
    }
    if (msSince(driver.opened) < driver.holdMs)
        return;
    driver.acted = true;
    driver.actedAt = std::chrono::steady_clock::now();
    observed.owner = GetWindow(dialog, GW_OWNER);
    observed.mainWindowEnabled = IsWindowEnabled(mainWindow()) != 0;
    observed.inputBlocked = game.inputBlocked;
    game.fullRepaint = 0; // whatever paints left there, only the command itself may set it from now on
    driver.act(dialog);
}

// Sends the menu command to the main window, as choosing it in the menu does,
// with act run on the dialog titled title; true when the dialog was found and worked.
bool runCommand(int command, const char *title, void (*act)(HWND), int holdMs = 150) {
    driver = DialogDriver{title, holdMs, act, std::chrono::steady_clock::now(), {}, {}, false, false, false};
    observed = Observed{};
    UINT_PTR timer = SetTimer(nullptr, 0, 20, driveDialog);
    SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
    KillTimer(nullptr, timer);
    return driver.found && driver.acted && !driver.timedOut;
}

void click(HWND dialog, int control) { SendMessageA(GetDlgItem(dialog, control), BM_CLICK, 0, 0); }

// A key as the player presses it in that control, through the dialog's own message loop.
void pressKey(HWND control, WPARAM key) {
    PostMessageA(control, WM_KEYDOWN, key, 1);
    PostMessageA(control, WM_KEYUP, key, 0xC0000001);
}

HWND levelEdit(HWND dialog) { return FindWindowExA(GetDlgItem(dialog, IDC_LEVEL), nullptr, "Edit", nullptr); }

void closeBox(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Milliseconds until the main window's next gravity tick, which is taken off the
// queue into tick without being handled; -1 when none comes within limitMs.
int msToNextTick(int limitMs, MSG *tick) {
    auto start = std::chrono::steady_clock::now();
    while (msSince(start) < limitMs) {
        if (PeekMessageA(tick, mainWindow(), WM_TIMER, WM_TIMER, PM_REMOVE))
            return msSince(start);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_TIMER);
    }
    return -1;
}

// The whole client area waits for a paint.
void expectWholeWindowInvalid() {
    RECT client = {}, invalid = {};
    GetClientRect(mainWindow(), &client);
    GetUpdateRect(mainWindow(), &invalid, FALSE);
    EXPECT_TRUE(EqualRect(&client, &invalid)) << "invalid " << invalid.left << "," << invalid.top << " to "
                                               << invalid.right << "," << invalid.bottom;
}

// The gravity timer, started when the command ended, ticks after one tickInterval.
void expectTickAfter(int intervalMs, const char *when) {
    MSG tick;
    int waited = msToNextTick(intervalMs + 500, &tick);
    EXPECT_GE(waited, intervalMs - 20) << when << ": first tick after " << waited << " ms, interval " << intervalMs;
    EXPECT_LE(waited, intervalMs + 100) << when << ": first tick after " << waited << " ms, interval " << intervalMs;
}

// ---------------------------------------------------------------------------
// The game record: a game in progress, and a field-by-field comparison.

// A game under way at that level, its gravity timer running.
void setGameInProgress(int level) {
    newGame(level);
    for (int column = 0; column < kColumns - 1; ++column)
        game.board[kRows - 1][column] = 1 + column % 7;
    game.board[kRows - 2][3] = 5;
    game.pieceColumn = 4;
    game.pieceRow = 7;
    for (int i = 0; i < kPieceCells; ++i) { // one quarter turn, as rotatePiece makes it
        int dx = game.currentShape.dx[i];
        game.currentShape.dx[i] = game.currentShape.dy[i];
        game.currentShape.dy[i] = -dx;
    }
    game.score = 4321;
    game.lines = 37;
    game.linesBeforeLanding = 36;
    game.inputBlocked = 0;
    game.fullRepaint = 0;
    game.lineClearSound = game.rotateSound = game.moveSound = game.landSound = game.gameOverSound = 1;
    startGravityTimer();
}

struct IntField {
    const char *name;
    int GameState::*field;
};

const IntField gameFields[] = {
    {"pieceColumn", &GameState::pieceColumn}, {"pieceRow", &GameState::pieceRow},
    {"currentKind", &GameState::currentKind}, {"nextKind", &GameState::nextKind},
    {"level", &GameState::level},             {"tickInterval", &GameState::tickInterval},
    {"score", &GameState::score},             {"lines", &GameState::lines},
    {"linesBeforeLanding", &GameState::linesBeforeLanding},
    {"gameOver", &GameState::gameOver},       {"inputBlocked", &GameState::inputBlocked},
    {"lineClearSound", &GameState::lineClearSound}, {"rotateSound", &GameState::rotateSound},
    {"moveSound", &GameState::moveSound},     {"landSound", &GameState::landSound},
    {"gameOverSound", &GameState::gameOverSound},
};

// The fields that differ, as "name: expected -> got"; empty when the game is as it was.
std::string gameChanges(const GameState &before) {
    std::string changes;
    for (const IntField &f : gameFields) {
        if (before.*f.field != game.*f.field)
            changes += std::string(f.name) + ": " + std::to_string(before.*f.field) + " -> " +
                       std::to_string(game.*f.field) + "; ";
    }
    if (std::memcmp(before.board, game.board, sizeof game.board) != 0)
        changes += "board; ";
    if (std::memcmp(&before.currentShape, &game.currentShape, sizeof game.currentShape) != 0)
        changes += "currentShape; ";
    if (std::memcmp(&before.nextShape, &game.nextShape, sizeof game.nextShape) != 0)
        changes += "nextShape; ";
    return changes;
}

class Commands : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!game.mainWindow)
            startUp(GetModuleHandleA(nullptr));
        ASSERT_NE(mainWindow(), nullptr) << "the main window was not created (is DISPLAY set?)";
    }
    void SetUp() override { setGameInProgress(7); }
    void TearDown() override { stopGravityTimer(); }
};

// ---------------------------------------------------------------------------
// New game

void readLevelBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_LEVEL);
    observed.levelCount = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < observed.levelCount && i < 20; ++i) {
        char text[16] = "";
        SendMessageA(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        observed.levelTexts += std::string("[") + text + "]";
    }
    observed.levelSelection = static_cast<int>(SendMessageA(box, CB_GETCURSEL, 0, 0));
    RECT outline = {};
    GetWindowRect(box, &outline);
    observed.levelBoxWidth = outline.right - outline.left;

    SendMessageA(box, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    GetComboBoxInfo(box, &info);
    RECT client = {}, last = {};
    GetClientRect(info.hwndList, &client);
    SendMessageA(info.hwndList, LB_GETITEMRECT, observed.levelCount - 1, reinterpret_cast<LPARAM>(&last));
    observed.levelListShowsAll = IsWindowVisible(info.hwndList) && SendMessageA(info.hwndList, LB_GETTOPINDEX, 0, 0) == 0 &&
                                 last.bottom <= client.bottom;
    SendMessageA(box, CB_SHOWDROPDOWN, FALSE, 0);
}

// Every resize asked of the level box while a dialog is created and worked.
std::string levelBoxResizes;

LRESULT CALLBACK recordLevelBoxResize(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT *call = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && call->message == WM_WINDOWPOSCHANGING && GetDlgCtrlID(call->hwnd) == IDC_LEVEL) {
        const WINDOWPOS *position = reinterpret_cast<const WINDOWPOS *>(call->lParam);
        const UINT kept = SWP_NOMOVE | SWP_NOZORDER;
        if (!(position->flags & SWP_NOSIZE))
            levelBoxResizes += "[" + std::to_string(position->cx) + "x" + std::to_string(position->cy) +
                               ((position->flags & kept) == kept ? " kept" : "") + "]";
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct NewGameCase {
    const char *name;
    void (*act)(HWND dialog);
    int level, tickInterval; // expected afterwards; the game before ran at level 7, 300 ms
};

const NewGameCase acceptedCases[] = {
    {"' 1' as the dialog opens, Comencer", [](HWND d) { readLevelBox(d); click(d, IDOK); }, 1, 750},
    {"'10' chosen, Comencer",
     [](HWND d) {
         readLevelBox(d);
         SendDlgItemMessageA(d, IDC_LEVEL, CB_SETCURSEL, 9, 0);
         click(d, IDOK);
     },
     10, 50},
    {"' 4' chosen, Enter in the level box",
     [](HWND d) {
         readLevelBox(d);
         SendDlgItemMessageA(d, IDC_LEVEL, CB_SETCURSEL, 3, 0);
         pressKey(levelEdit(d), VK_RETURN);
     },
     4, 600},
    // Typing leaves the box without a selection: level 0, the interval of the game before.
    {"'3' typed into the box, Comencer",
     [](HWND d) {
         readLevelBox(d);
         SendMessageA(levelEdit(d), WM_CHAR, '3', 1);
         click(d, IDOK);
     },
     0, 300},
};

TEST_F(Commands, NewGameAcceptedStartsAGameAtTheChosenLevel) {
    for (const NewGameCase &c : acceptedCases) {
        SCOPED_TRACE(c.name);
        setGameInProgress(7);
        game.gameOver = 1; // as the game-over test leaves it: the timer stopped
        stopGravityTimer();
        game.inputBlocked = 1;
        levelBoxResizes.clear();
        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, recordLevelBoxResize, nullptr, GetCurrentThreadId());
        bool worked = runCommand(IDM_NEWGAME, "Nouveau Jeu", c.act);
        UnhookWindowsHookEx(hook);
        ASSERT_TRUE(worked);

        EXPECT_EQ(observed.levelTexts, "[ 1][ 2][ 3][ 4][ 5][ 6][ 7][ 8][ 9][10]");
        EXPECT_EQ(observed.levelSelection, 0) << "selection as the dialog opens";
        // 60 by 300 pixels, drop-down list included, at the box's own place.
        EXPECT_NE(levelBoxResizes.find("[60x300 kept]"), std::string::npos) << "resizes: " << levelBoxResizes;
        EXPECT_EQ(observed.levelBoxWidth, 60) << "level box width in pixels";
        EXPECT_TRUE(observed.levelListShowsAll) << "the dropped list shows all ten levels";
        EXPECT_EQ(observed.owner, nullptr) << "the dialog has no owner";
        EXPECT_TRUE(observed.mainWindowEnabled);

        EXPECT_EQ(game.level, c.level);
        EXPECT_EQ(game.tickInterval, c.tickInterval);
        EXPECT_EQ(game.score, 0);
        EXPECT_EQ(game.lines, 0);
        EXPECT_EQ(game.gameOver, 0);
        EXPECT_EQ(game.pieceColumn, 6);
        EXPECT_EQ(game.pieceRow, 0);
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                ASSERT_EQ(game.board[row][column], 0) << "row " << row << " column " << column;
        for (int column = 0; column < kColumns; ++column)
            EXPECT_EQ(game.board[kFloorRow][column], 1) << "floor column " << column;
        EXPECT_EQ(game.inputBlocked, 1) << "a new game leaves inputBlocked as it was";
        EXPECT_EQ(game.fullRepaint, 1);
        expectWholeWindowInvalid();
        expectTickAfter(c.tickInterval, c.name);
        stopGravityTimer();
    }
}

const NewGameCase cancelledCases[] = {
    {"Annuler", [](HWND d) { click(d, IDCANCEL); }, 0, 0},
    {"Esc", [](HWND d) { pressKey(levelEdit(d), VK_ESCAPE); }, 0, 0},
    {"close box", closeBox, 0, 0},
    {"'10' chosen, then Annuler",
     [](HWND d) {
         SendDlgItemMessageA(d, IDC_LEVEL, CB_SETCURSEL, 9, 0);
         click(d, IDCANCEL);
     },
     0, 0},
};

// Level 9 ticks every 100 ms: a timer left running while the dialog is open would drop the piece.
TEST_F(Commands, NewGameCancelledLeavesTheGameAsItWas) {
    for (const NewGameCase &c : cancelledCases) {
        SCOPED_TRACE(c.name);
        setGameInProgress(9);
        const GameState before = game;
        ASSERT_TRUE(runCommand(IDM_NEWGAME, "Nouveau Jeu", c.act, 350));
        EXPECT_EQ(gameChanges(before), "");
        EXPECT_EQ(game.fullRepaint, 1);
        expectWholeWindowInvalid();
        expectTickAfter(100, c.name);
        stopGravityTimer();
    }
    // An earlier cancel does not carry over to the next showing.
    ASSERT_TRUE(runCommand(IDM_NEWGAME, "Nouveau Jeu", [](HWND d) { click(d, IDOK); }, 0));
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(game.score, 0);
}

// ---------------------------------------------------------------------------
// Options

struct SoundBoxCase {
    int control;
    const char *text;
    int GameState::*sound;
};

const SoundBoxCase soundBoxCases[] = {
    {IDC_LINE_CLEAR_SOUND, "Disparision des lignes.", &GameState::lineClearSound},
    {IDC_ROTATE_SOUND, "Rotation de la piece.", &GameState::rotateSound},
    {IDC_MOVE_SOUND, "Deplacement de la piece.", &GameState::moveSound},
    {IDC_LAND_SOUND, "Atterissage de la piece.", &GameState::landSound},
    {IDC_GAME_OVER_SOUND, "Fin de jeu.", &GameState::gameOverSound},
};

int toggledBox; // the box that the next Options dialog's act clicks

void readChecks(HWND dialog) {
    for (int i = 0; i < 5; ++i)
        observed.checks[i] = static_cast<int>(IsDlgButtonChecked(dialog, soundBoxCases[i].control));
}

void setSounds(const int (&values)[5]) {
    for (int i = 0; i < 5; ++i)
        game.*soundBoxCases[i].sound = values[i];
}

// Five values in box order, for messages that show all of them at once.
std::string fiveValues(const int *values) {
    std::string text;
    for (int i = 0; i < 5; ++i)
        text += (i ? " " : "") + std::to_string(values[i]);
    return text;
}

std::string currentSounds() {
    int sounds[5];
    for (int i = 0; i < 5; ++i)
        sounds[i] = game.*soundBoxCases[i].sound;
    return fiveValues(sounds);
}

TEST_F(Commands, OptionsUncheckingOneBoxTurnsOffItsSoundOnly) {
    for (const SoundBoxCase &c : soundBoxCases) {
        SCOPED_TRACE(c.text);
        setGameInProgress(10); // 50 ms ticks: a running timer would move the piece at once
        GameState expected = game;
        expected.*c.sound = 0;
        expected.inputBlocked = 1; // until the next tick
        toggledBox = c.control;
        ASSERT_TRUE(runCommand(IDM_OPTIONS, "Options de Karvel  1.2", [](HWND d) {
            readChecks(d);
            char text[64] = "";
            GetDlgItemTextA(d, toggledBox, text, sizeof text);
            observed.label = text;
            click(d, toggledBox);
            click(d, IDOK);
        }));
        EXPECT_EQ(observed.label, c.text) << "label of box " << c.control;
        EXPECT_EQ(fiveValues(observed.checks), "1 1 1 1 1") << "boxes as the dialog opened";
        EXPECT_EQ(gameChanges(expected), "");
        EXPECT_EQ(observed.inputBlocked, 1) << "while the dialog is open";
        expectTickAfter(50, "after Options");
        stopGravityTimer();
    }
    // Reopened after the last case: the box stays as it was left.
    ASSERT_TRUE(runCommand(IDM_OPTIONS, "Options de Karvel  1.2", [](HWND d) {
        readChecks(d);
        click(d, IDOK);
    }));
    EXPECT_EQ(fiveValues(observed.checks), "1 1 1 1 0") << "boxes as the dialog reopened";
    EXPECT_EQ(currentSounds(), "1 1 1 1 0");
}

// The boxes show the switches as they are; OK stores exactly 0 or 1.
TEST_F(Commands, OptionsShowsTheStoredSwitchesAndOkKeepsThem) {
    const struct {
        int sounds[5];
        const char *boxes; // also the switches after OK
    } cases[] = {
        {{1, 1, 0, 1, 1}, "1 1 0 1 1"},
        {{0, 1, 0, 1, 0}, "0 1 0 1 0"},
        {{0, 0, 0, 0, 0}, "0 0 0 0 0"},
        {{2, -1, 1, 0, 1}, "0 0 1 0 1"}, // only 1 means on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(fiveValues(c.sounds));
        setSounds(c.sounds);
        ASSERT_TRUE(runCommand(IDM_OPTIONS, "Options de Karvel  1.2", [](HWND d) {
            readChecks(d);
            click(d, IDOK);
        }));
        EXPECT_EQ(fiveValues(observed.checks), c.boxes) << "boxes as the dialog opened";
        EXPECT_EQ(currentSounds(), c.boxes) << "switches after OK";
    }
}

TEST_F(Commands, OptionsClosedWithoutOkChangesNothing) {
    const struct {
        const char *name;
        void (*close)(HWND dialog);
    } closings[] = {
        {"Esc", [](HWND d) { pressKey(GetDlgItem(d, IDC_MOVE_SOUND), VK_ESCAPE); }},
        {"close box", closeBox},
    };
    for (const auto &closing : closings) {
        SCOPED_TRACE(closing.name);
        static void (*closeNow)(HWND);
        closeNow = closing.close;
        setGameInProgress(10);
        setSounds({1, 0, 1, 0, 1});
        const GameState before = game;
        ASSERT_TRUE(runCommand(IDM_OPTIONS, "Options de Karvel  1.2", [](HWND d) {
            for (const SoundBoxCase &box : soundBoxCases)
                click(d, box.control);
            readChecks(d);
            closeNow(d);
        }));
        EXPECT_EQ(fiveValues(observed.checks), "0 1 0 1 0") << "boxes after toggling each";
        EXPECT_EQ(game.inputBlocked, 1);
        game.inputBlocked = before.inputBlocked;
        EXPECT_EQ(gameChanges(before), "") << "besides inputBlocked";
    }
}

// ---------------------------------------------------------------------------
// About, quitting and other command numbers

TEST_F(Commands, AboutHoldsTheGameUntilClosed) {
    const struct {
        const char *name;
        void (*close)(HWND dialog);
    } closings[] = {
        {"OK", [](HWND d) { click(d, IDOK); }},
        {"Esc", [](HWND d) { pressKey(GetDlgItem(d, IDOK), VK_ESCAPE); }},
        {"close box", closeBox},
    };
    for (const auto &closing : closings) {
        SCOPED_TRACE(closing.name);
        static void (*closeNow)(HWND);
        closeNow = closing.close;
        setGameInProgress(10); // 50 ms ticks: a running timer would move the piece at once
        const GameState before = game;
        ASSERT_TRUE(runCommand(IDM_ABOUT, "A propos de KARVEL V1.2", [](HWND d) {
            HWND iconControl = FindWindowExA(d, nullptr, "Static", nullptr);
            observed.icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
            closeNow(d);
        }));
        EXPECT_NE(observed.icon, nullptr) << "the About box shows its icon";
        EXPECT_EQ(observed.owner, nullptr);
        EXPECT_TRUE(observed.mainWindowEnabled);
        EXPECT_EQ(observed.inputBlocked, 1);
        EXPECT_EQ(game.inputBlocked, 1) << "keys stay ignored until the next tick";
        game.inputBlocked = before.inputBlocked;
        EXPECT_EQ(gameChanges(before), "") << "besides inputBlocked";
        expectTickAfter(50, "after About");
        stopGravityTimer();
    }
}

TEST_F(Commands, AboutAfterGameOverRestartsTheTimerButNoPieceMoves) {
    setGameInProgress(5);
    game.gameOver = 1; // as the game-over test leaves it: the timer stopped
    stopGravityTimer();
    ASSERT_TRUE(runCommand(IDM_ABOUT, "A propos de KARVEL V1.2", [](HWND d) { click(d, IDOK); }));
    const GameState before = game;
    MSG tick;
    int waited = msToNextTick(1000, &tick);
    ASSERT_GE(waited, 480) << "the first tick came too soon";
    ASSERT_LE(waited, 600) << "no tick within the interval";
    DispatchMessageA(&tick);
    EXPECT_EQ(game.inputBlocked, 0) << "the tick clears inputBlocked";
    game.inputBlocked = before.inputBlocked;
    EXPECT_EQ(gameChanges(before), "") << "besides inputBlocked";
}

TEST_F(Commands, QuitPostsTheQuitMessageAndKeepsTheWindow) {
    const GameState before = game;
    SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_QUIT, 1), 0); // accelerator notification too
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "no WM_QUIT posted";
    EXPECT_EQ(quit.wParam, 0u) << "exit code";
    EXPECT_TRUE(IsWindow(mainWindow())) << "Quitter... does not destroy the window";
    EXPECT_EQ(gameChanges(before), "");
    MSG tick;
    EXPECT_GE(msToNextTick(1000, &tick), 0) << "Quitter... stopped the gravity timer";
}

// Other numbers reach DefWindowProcA with the message's own arguments and give its result:
// WM_GETTEXT with 8 (no command) as the buffer size copies 7 characters of the title.
TEST_F(Commands, OtherCommandNumbersGoToTheDefaultProcedure) {
    char text[32] = "untouched";
    LRESULT copied = handleCommand(mainWindow(), WM_GETTEXT, 8, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(copied, 7);
    EXPECT_STREQ(text, " Karvel");

    const GameState before = game;
    for (int command : {0, 1, 2, IDC_LEVEL, 40004, 40006, 40009}) {
        EXPECT_FALSE(runCommand(command, nullptr, [](HWND d) { PostMessageA(d, WM_COMMAND, IDCANCEL, 0); }, 0));
        EXPECT_FALSE(driver.found) << "command " << command << " opened a dialog";
    }
    EXPECT_EQ(gameChanges(before), "");
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "an unknown command quit";
}

} // namespace
