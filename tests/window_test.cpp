// Start-up, the message loop and the main window's procedure, run in-process in a display.
#include "winsupport.h"

#include "rules/frontend.h"
#include "ui/ui.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

unsigned lastSeed; // the last seed given to srand, start-up's included (window.cmake wraps it)
extern "C" void __real_srand(unsigned seed);
extern "C" void __wrap_srand(unsigned seed) { __real_srand(lastSeed = seed); }

namespace {

constexpr DWORD kQuietMs = 60;
constexpr DWORD kSettleMs = 250; // after a change that goes through the window manager

void sendKey(WPARAM key) { SendMessageA(mainWindow(), WM_KEYDOWN, key, 0); }
void sendTick() { SendMessageA(mainWindow(), WM_TIMER, 0, 0); }

// The pause box's text, owner and style as the game asked for them, whether the gravity timer ran
// and the main window was enabled while it was open, and when it was closed. A key sent to the
// game while the box is open must change nothing.
std::string pauseText;
HWND pauseOwner;
UINT pauseStyle;
BOOL gravityDuringPause, enabledDuringPause;
ULONGLONG pauseClosed;

// Every MessageBoxA call of the program passes through here (window.cmake wraps its import).
extern "C" {
extern decltype(&MessageBoxA) __real___imp_MessageBoxA;
int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    pauseStyle = style;
    return __real___imp_MessageBoxA(owner, text, caption, style);
}
decltype(&MessageBoxA) __wrap___imp_MessageBoxA = recordMessageBox;
}

void closePauseBox(HWND box) {
    char text[200] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    pauseText = text;
    gravityDuringPause = KillTimer(mainWindow(), 0);
    enabledDuringPause = IsWindowEnabled(mainWindow());
    pauseOwner = GetWindow(box, GW_OWNER);
    sendKey(VK_RIGHT);
    pauseClosed = GetTickCount64();
    click(box, IDOK);
}

// A running game in a shown main window, dealt from a fixed seed, painted, with the
// gravity timer stopped (each test sends its own ticks) and every pause box closed at once.
class MainWindow : public ::testing::Test {
protected:
    HWND window = nullptr;

    void SetUp() override {
        window = startUp(GetModuleHandleA(nullptr));
        ASSERT_TRUE(IsWindow(window));
        stopGravityTimer();
        restartGame(7);
        startBoxWorker("Jeu en pause...", closePauseBox);
    }
    void TearDown() override {
        stopBoxWorker();
        EXPECT_EQ(boxWorker.stuck, 0) << "a pause box that OK did not close";
        DestroyWindow(window);
    }
    void restartGame(unsigned seed) {
        srand(seed);
        newGame(1);
        game.inputBlocked = 0;
        game.fullRepaint = 1;
        requestRepaint();
        pump(kQuietMs);
    }
    // Moves the falling piece, paints it there, and makes previousCells name no cell of it.
    void placePiece(PieceKind kind, int column, int row) {
        game.currentKind = kind;
        game.currentShape = shapeOfKind(kind);
        game.pieceColumn = column;
        game.pieceRow = row;
        requestRepaint();
        pump(kQuietMs);
        game.previousCells = PieceCells{};
    }
};

TEST(WindowStartUp, RegistersTheClassAndShowsTheWindowWithTheGravityTimer) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    lastSeed = 0;
    const time_t before = time(nullptr);
    HWND window = startUp(instance);
    const time_t after = time(nullptr);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(lastSeed >= before && lastSeed <= after) << "seed " << lastSeed << ", not the time " << before;
    EXPECT_NEAR(msToNextTick(1000), 750, 60) << "first tick";
    EXPECT_NEAR(msToNextTick(1000), 750, 30) << "second tick";

    WNDCLASSEXA cls = {};
    cls.cbSize = sizeof cls;
    ASSERT_TRUE(GetClassInfoExA(instance, "std", &cls));
    char title[64] = "", shown[300];
    GetWindowTextA(window, title, sizeof title);
    RECT outer;
    GetWindowRect(window, &outer);
    // Each field as a number, or 1 when it is the handle expected.
    snprintf(shown, sizeof shown, "class: style %u, procedure %d, extra %d %d, icon %d, cursor %d, background %d, "
             "menu %d, small icon %d; window: '%s' at %ld,%ld, %ldx%ld, overlapped %d, visible %d", cls.style,
             cls.lpfnWndProc == mainWindowProc, cls.cbClsExtra, cls.cbWndExtra,
             cls.hIcon == LoadIconA(nullptr, IDI_APPLICATION), cls.hCursor == LoadCursorA(nullptr, IDC_ARROW),
             int(reinterpret_cast<INT_PTR>(cls.hbrBackground)), int(reinterpret_cast<INT_PTR>(cls.lpszMenuName)),
             cls.hIconSm && cls.hIconSm == LoadIconA(instance, MAKEINTRESOURCEA(101)), title, outer.left,
             outer.top, outer.right - outer.left, outer.bottom - outer.top,
             (GetWindowLongPtrA(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW,
             IsWindowVisible(window));
    // The background is COLOR_BTNFACE + 1, the menu 103.
    EXPECT_STREQ(shown, "class: style 0, procedure 1, extra 0 0, icon 1, cursor 1, background 16, menu 103, "
                        "small icon 1; window: ' Karvel     V 1.2' at 600,300, 330x375, overlapped 1, visible 1");
    EXPECT_EQ(std::vector<int>(game.board[kFloorRow], game.board[kFloorRow] + kColumns), std::vector<int>(kColumns, 1))
        << "the floor row";
    std::string exe = std::string(game.soundDirectory) + "window_test.exe";
    EXPECT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "sound directory: no " << exe;
    DestroyWindow(window);
}

TEST(WindowStartUp, SoundDirectoryIsTheExecutablesFolderWithItsBackslash) {
    const std::string folder259 = "C:\\" + std::string(255, 'd') + "\\"; // fits with its terminator
    const struct { const char *what; std::string exePath, expected; } cases[] = {
        {"a folder", "C:\\Jeux\\jeu.exe", "C:\\Jeux\\"},
        {"a drive root", "D:\\jeu.exe", "D:\\"},
        {"no backslash", "jeu.exe", ""},
        {"a folder of 259 characters", folder259 + "j.exe", folder259},
        {"a folder of 260 characters", "C:\\" + std::string(256, 'd') + "\\j.exe", ""},
    };
    for (const auto &c : cases) {
        std::memset(game.soundDirectory, '#', sizeof game.soundDirectory);
        setSoundDirectory(c.exePath.c_str());
        std::string got(game.soundDirectory, strnlen(game.soundDirectory, sizeof game.soundDirectory));
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

// The erase message erases nothing; "Quitter..." ends the loop with 0, once the loop has delivered
// a message posted to another window of the thread, as an input method's hidden window gets them;
// closing destroys the window and posts a quit message of 0, which ends the loop.
TEST_F(MainWindow, EraseQuitterAndClose) {
    HDC dc = GetDC(window);
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(window, dc);
    EXPECT_EQ(staleness(window), "") << "after the erase message";

    static int hiddenGot;
    WNDCLASSA hiddenClass = {};
    hiddenClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        hiddenGot += m == WM_APP;
        return DefWindowProcA(w, m, wp, lp);
    };
    hiddenClass.lpszClassName = "hidden";
    RegisterClassA(&hiddenClass);
    HWND hidden = CreateWindowExA(0, "hidden", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    PostMessageA(hidden, WM_APP, 0, 0);
    int column = game.pieceColumn;
    PostMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageA(window, WM_COMMAND, 40003, 0); // Quitter...
    EXPECT_EQ(runMessageLoop(), 0) << "exit code";
    EXPECT_EQ(game.pieceColumn, column - 1) << "the posted key was dispatched";
    EXPECT_EQ(hiddenGot, 1) << "the message to the thread's other window";
    EXPECT_TRUE(IsWindow(window)) << "Quitter... does not destroy the window";
    DestroyWindow(hidden);

    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(runMessageLoop(), 0) << "exit code after the close box";
}

// Moved to a monitor of another DPI: the window takes the rectangle the system suggests, moved
// only or also resized, and the next paint is full.
TEST_F(MainWindow, AnotherMonitorsDpiTakesTheSuggestedRectangleAndRepaintsInFull) {
    for (const RECT grow : {RECT{8, 6, 8, 6}, RECT{-20, -10, 40, 60}}) {
        RECT was = {}, suggested = {}, now = {};
        GetWindowRect(window, &was);
        suggested = {was.left + grow.left, was.top + grow.top, was.right + grow.right, was.bottom + grow.bottom};
        game.fullRepaint = 0;
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(window, &now);
        EXPECT_TRUE(EqualRect(&now, &suggested)) << "window at " << now.left << ", " << now.top;
        EXPECT_EQ(game.fullRepaint, 1);
        EXPECT_TRUE(wholeClientInvalid());
        pump(kQuietMs);
        EXPECT_EQ(staleness(window), "");
    }
}

// Flush, send one key or tick to a flat piece (kind 7, cells at column - 1 .. column + 2),
// compare the record, then let the loop paint. Where previousCells must name the cells
// before the action, the partial repaint leaves no trace of the piece only if it does.
TEST_F(MainWindow, KeysAndTicksUnderTheGuards) {
    // The common ending of a key action; a turn also changes the shape.
    const std::string moved = "fullRepaint 1->0 previousCells";
    // A landing brings the next piece (from seed 3: kind 7 again) in at the entry column, and paints in full.
    const std::string land = "board pieceColumn 5->6 pieceRow 19->0 nextKind 7->6 nextShape score 0->15 previousCells";
    const struct { const char *what; int inputBlocked, gameOver; UINT message; WPARAM key; int column, row;
                   std::string changes; } cases[] = {
        // what                         blocked over message     key      col row changes
        {"P while input is blocked",    1, 0, WM_KEYDOWN, 'P',      5, 6,  ""},
        {"down after the game is over", 0, 1, WM_KEYDOWN, VK_DOWN,  5, 6,  ""},
        {"P after the game is over",    0, 1, WM_KEYDOWN, 'P',      5, 6,  ""},
        {"tick after the game is over", 1, 1, WM_TIMER,   0,        5, 6,  "inputBlocked 1->0"},
        {"tick while input is blocked", 1, 0, WM_TIMER,   0,        5, 6,  "pieceRow 6->7 inputBlocked 1->0 " + moved},
        {"left",                        0, 0, WM_KEYDOWN, VK_LEFT,  5, 6,  "pieceColumn 5->4 " + moved},
        {"right",                       0, 0, WM_KEYDOWN, VK_RIGHT, 5, 6,  "pieceColumn 5->6 " + moved},
        {"turn",                        0, 0, WM_KEYDOWN, VK_UP,    5, 6,  "currentShape " + moved},
        {"tick on the floor",           0, 0, WM_TIMER,   0,        5, 19, land},
        {"down on the floor",           0, 0, WM_KEYDOWN, VK_DOWN,  5, 19, land},
        // Refused moves and other keys still erase and draw the piece in place.
        {"left against the wall",       0, 0, WM_KEYDOWN, VK_LEFT,  1, 6,  moved},
        {"turn out of the top",         0, 0, WM_KEYDOWN, VK_UP,    5, 0,  moved},
        {"shift",                       0, 0, WM_KEYDOWN, VK_SHIFT, 5, 6,  moved},
    };
    for (const auto &c : cases) {
        restartGame(3);
        game.inputBlocked = c.inputBlocked;
        game.gameOver = c.gameOver;
        placePiece(7, c.column, c.row);
        const GameState before = game;
        SendMessageA(window, c.message, c.key, 0);
        EXPECT_EQ(changedFields(before, game, "textBuffer"), c.changes) << c.what;
        // The whole client area is to repaint, by the loop, with fullRepaint as the record now holds it.
        EXPECT_EQ(wholeClientInvalid(), c.changes.find("previousCells") != std::string::npos) << c.what << ": repaint";
        pump(kQuietMs);
        EXPECT_EQ(staleness(window), "") << c.what;
    }
}

TEST_F(MainWindow, PKeyPausesUntilTheBoxIsClosed) {
    for (bool shift : {false, true}) {
        const char *what = shift ? "Shift+P" : "P";
        placePiece(7, 5, 6);
        game.tickInterval = 150;
        startGravityTimer();
        SetForegroundWindow(window);
        const GameState before = game;
        // Through the keyboard, so that the message loop, not the test, makes the key press.
        if (shift)
            keybd_event(VK_SHIFT, 0, 0, 0);
        keybd_event('P', 0, 0, 0);
        keybd_event('P', 0, KEYEVENTF_KEYUP, 0);
        if (shift)
            keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
        pump(kQuietMs);
        ASSERT_EQ(boxWorker.worked, shift ? 2 : 1) << what << ": pause boxes";
        EXPECT_EQ(pauseText, "Le jeu est en pause...\nVeuillez cliquer sur OK pour reprendre la partie!") << what;
        EXPECT_FALSE(gravityDuringPause) << what << ": gravity timer while the box is open";
        // No owner; task-modal alone (with the system-modal bit too, Windows makes the box neither),
        // topmost, in the foreground: the thread's windows, the main one too, are disabled while it is open.
        EXPECT_EQ(pauseOwner, nullptr) << what << ": the box has an owner";
        EXPECT_EQ(pauseStyle, 0x52000u) << what << ": the box's style";
        EXPECT_FALSE(enabledDuringPause) << what << ": the main window was enabled behind the box";
        EXPECT_EQ(changedFields(before, game, "textBuffer"), "inputBlocked 0->1 previousCells") << what;

        // After the box: a full repaint, keys held until the first tick, which comes a period later.
        EXPECT_EQ(staleness(window), "") << what << ": picture after the pause";
        sendKey(VK_LEFT);
        EXPECT_EQ(game.pieceColumn, 5) << what << ": key before the first tick";
        ASSERT_GE(msToNextTick(500), 0) << what << ": no tick";
        // Never before a whole period; a busy machine may deliver it late.
        const ULONGLONG afterBox = GetTickCount64() - pauseClosed;
        EXPECT_TRUE(afterBox >= 140 && afterBox < 300) << what << ": first tick " << afterBox << " ms after the box";
        stopGravityTimer();
        sendKey(VK_LEFT);
        EXPECT_EQ(game.pieceColumn, 4) << what << ": key after the first tick";
        game.inputBlocked = 0;
    }
}

// ---- The picture is never stale

// Only the entry cell ends a game, so a new piece may enter over landed cells: moving it away
// must not leave those cells blackened on screen.
TEST_F(MainWindow, APieceThatEnteredOverLandedCellsLeavesThemShownWhenItMoves) {
    for (WPARAM key : {WPARAM(VK_LEFT), WPARAM(VK_DOWN)}) {
        restartGame(1);
        game.board[0][7] = game.board[1][6] = 3;
        placePiece(1, 6, 0); // covers (5,1) (6,1) (6,0) (7,0)
        sendKey(key);
        pump(kQuietMs);
        EXPECT_EQ(staleness(window), "") << (key == VK_LEFT ? "Left" : "Down");
    }
}

enum Step { Left, Right, Turn, Down, Space, Tick, Pause, MinimiseWithTicks, Maximise, Damage, Land };
const char *const stepNames[] = {"left",  "right",    "turn",     "down",   "space", "tick",
                                 "pause", "minimise", "maximise", "damage", "land"}; // in the order of Step

// Takes one step without letting the loop paint.
void perform(HWND window, Step step) {
    const WPARAM keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE};
    RECT lost = {0, 100, 200, 180};
    HDC dc = nullptr;
    switch (step) {
    case Tick:
        sendTick();
        break;
    case Land: // drop steps until the piece lands (a landing adds to the score)
        for (int score = game.score; game.score == score && !game.gameOver;)
            sendTick();
        break;
    case Pause:
        sendKey('P'); // closed by the box worker
        break;
    case MinimiseWithTicks:
        ShowWindow(window, SW_MINIMIZE);
        sendTick();
        sendKey(VK_RIGHT);
        sendTick();
        ShowWindow(window, SW_RESTORE);
        break;
    case Maximise: // or restore: the window is resized
        ShowWindow(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE);
        break;
    case Damage: // the system lost part of the picture, as when a window above it goes away
        dc = GetDC(window);
        FillRect(dc, &lost, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(window, dc);
        InvalidateRect(window, &lost, FALSE);
        break;
    default:
        sendKey(keys[step]);
    }
    stopGravityTimer(); // the pause and row clearing start it again
}

// Runs of steps, each run before one paint, over a well whose lower rows lack one cell
// each, so that landings clear rows and games end: first the runs that once left a
// stale picture, then random runs of up to three steps.
TEST_F(MainWindow, StepsBeforeOnePaintNeverLeaveAStalePicture) {
    const std::vector<Step> knownRuns[] = {
        {Right, Right}, {Down, Left, Turn}, {Land, Left}, {MinimiseWithTicks}, {Right, MinimiseWithTicks},
        {Left, Maximise}, {Right, Maximise, Left}, {Turn, Maximise, Right}, {Damage, Left},
        {Right, Pause, Left}, {Land, Pause},
    };
    for (unsigned seed : {1u, 2u, 3u}) {
        restartGame(seed);
        for (int r = 12; r < kRows; ++r) {
            int hole = rand() % kColumns;
            for (int c = 0; c < kColumns; ++c)
                game.board[r][c] = c == hole ? 0 : rand() % 7 + 1;
        }
        requestRepaint();
        pump(kQuietMs);
        std::string history;
        for (size_t paint = 0; paint < 40; ++paint) {
            if (game.gameOver) { // a new game, as the New-game command starts it
                restartGame(seed + unsigned(paint));
                history += " new";
            }
            std::vector<Step> run = seed == 1 && paint < std::size(knownRuns) ? knownRuns[paint] : std::vector<Step>{};
            for (int s = 0, steps = run.empty() ? rand() % 3 + 1 : 0; s < steps; ++s) {
                // Mostly moves and drops; the slow steps are rarer. Pixels lost after an unpainted
                // request cannot be told from the request itself (both leave the whole client area
                // to repaint): damage comes first.
                int pick = rand() % 20;
                Step step = pick < 16 ? Step(pick % 6) : Step(Pause + (pick - 16));
                run.push_back(step == Damage && s > 0 ? Tick : step);
            }
            DWORD quietMs = kQuietMs;
            for (Step step : run) {
                perform(window, step);
                quietMs = step == MinimiseWithTicks || step == Maximise ? kSettleMs : quietMs;
                history += std::string(" ") + stepNames[step];
            }
            pump(quietMs);
            ASSERT_EQ(staleness(window), "") << "seed " << seed << ", steps:" << history;
            history += " |";
        }
    }
}

} // namespace
