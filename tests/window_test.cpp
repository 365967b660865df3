// Start-up, the message loop and the main window's procedure, run in-process in a display.
#include "rules/frontend.h"
#include "rules/game.h"
#include "ui/resource.h"
#include "ui/ui.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

HWND mainWindow() { return static_cast<HWND>(game.mainWindow); }

// Dispatches the messages waiting; true when there was one besides the test's
// own box closer, which ticks all the time.
bool dispatchWaiting() {
    bool any = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        any = any || message.message != WM_TIMER || message.hwnd != nullptr;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return any;
}

// Runs the message loop until nothing has come for quietMs (the paint is done and
// the display's own events are handled), and for at least leastMs.
void pump(DWORD quietMs, DWORD leastMs = 0) {
    ULONGLONG start = GetTickCount64(), last = start;
    while (GetTickCount64() - last < quietMs || GetTickCount64() - start < leastMs) {
        if (dispatchWaiting())
            last = GetTickCount64();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

constexpr DWORD kQuietMs = 60;
constexpr DWORD kSettleMs = 250; // after a change that goes through the window manager

void pumpIdle() { pump(kQuietMs); }
void pumpFor(DWORD ms) { pump(0, ms); }

// Runs the message loop until done() or for at most ms; returns done().
bool pumpUntil(const std::function<bool()> &done, DWORD ms) {
    for (ULONGLONG end = GetTickCount64() + ms; !done() && GetTickCount64() < end;) {
        dispatchWaiting();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return done();
}

// What the main window received, noted by a subclass before the real procedure runs.
struct Seen {
    UINT message;
    int fullRepaint; // as the procedure found it
    ULONGLONG time;  // ms
};
std::vector<Seen> seen;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, game.fullRepaint, GetTickCount64()});
    return CallWindowProcA(mainWindowProc, window, message, wParam, lParam);
}

void startRecording() {
    seen.clear();
    SetWindowLongPtrA(mainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordingProc));
}

std::vector<Seen> seenOf(UINT message) {
    std::vector<Seen> found;
    for (const Seen &s : seen)
        if (s.message == message)
            found.push_back(s);
    return found;
}

bool repaintRequested() { return GetUpdateRect(mainWindow(), nullptr, FALSE) != 0; }

// The pause box, closed by the test from inside the box's own message loop.
struct PauseBox {
    int closed;          // boxes found and closed so far
    std::string text;    // of the last box
    HWND owner;
    BOOL gravityRunning; // KillTimer found the gravity timer while the box was open
    int inputBlocked;
    int columnMoved;     // a VK_RIGHT sent to the game while the box was open moved the piece
    size_t seenAtClose;  // messages the main window had received when OK was pressed
};
PauseBox pauseBox;

BOOL CALLBACK findPauseBox(HWND window, LPARAM found) {
    char className[16] = "", caption[32] = "";
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (std::string(className) == "#32770" && std::string(caption) == "Jeu en pause..." && IsWindowVisible(window)) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

VOID CALLBACK closePauseBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findPauseBox, reinterpret_cast<LPARAM>(&box));
    if (!box)
        return;
    char text[200] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    pauseBox.text = text;
    pauseBox.owner = GetWindow(box, GW_OWNER);
    pauseBox.gravityRunning = KillTimer(mainWindow(), 0);
    pauseBox.inputBlocked = game.inputBlocked;
    int column = game.pieceColumn;
    SendMessageA(mainWindow(), WM_KEYDOWN, VK_RIGHT, 0);
    pauseBox.columnMoved = game.pieceColumn != column;
    pauseBox.seenAtClose = seen.size();
    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    pauseBox.closed += 1;
}

// Pixels as 0x00RRGGBB, row by row from the top.
struct Picture {
    int width, height;
    std::vector<uint32_t> pixels;
};

// What the client area shows now, or (expected) the full drawing of the present state.
Picture takePicture(HWND window, bool expected) {
    RECT client;
    GetClientRect(window, &client);
    Picture picture = {client.right, client.bottom, {}};
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, picture.width, -picture.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ displaced = SelectObject(memoryDc, bitmap);
    if (expected) {
        int saved = game.fullRepaint;
        game.fullRepaint = 1;
        drawGame(memoryDc, client);
        game.fullRepaint = saved;
    } else {
        BitBlt(memoryDc, 0, 0, picture.width, picture.height, windowDc, 0, 0, SRCCOPY);
    }
    GdiFlush();
    const uint32_t *first = static_cast<const uint32_t *>(bits);
    picture.pixels.assign(first, first + picture.width * picture.height);
    SelectObject(memoryDc, displaced);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return picture;
}

// "" when the window shows the full drawing of the present state; else where not.
std::string staleness(HWND window) {
    Picture shown = takePicture(window, false), expected = takePicture(window, true);
    if (shown.width != expected.width || shown.height != expected.height)
        return "picture size changed while taken";
    int wrong = 0;
    char first[120] = "";
    for (int i = 0; i < shown.width * shown.height; ++i) {
        if (shown.pixels[i] == expected.pixels[i])
            continue;
        if (wrong++ == 0)
            snprintf(first, sizeof first, "first at (%d, %d): got %06x, expected %06x", i % shown.width,
                     i / shown.width, shown.pixels[i], expected.pixels[i]);
    }
    return wrong == 0 ? "" : std::to_string(wrong) + " pixels differ from the full drawing, " + first;
}

PieceCells cellsOfPiece() {
    PieceCells cells;
    for (int i = 0; i < kPieceCells; ++i) {
        cells.column[i] = game.pieceColumn + game.currentShape.dx[i];
        cells.row[i] = game.pieceRow + game.currentShape.dy[i];
    }
    return cells;
}

std::string cellsText(const PieceCells &cells) {
    std::string text;
    for (int i = 0; i < kPieceCells; ++i)
        text += "(" + std::to_string(cells.column[i]) + "," + std::to_string(cells.row[i]) + ")";
    return text;
}

// Names of the fields that differ between two records (the paint's scratch text aside).
std::string changedFields(const GameState &a, const GameState &b) {
    std::string changed;
    auto note = [&](const char *name, bool same) { changed += same ? "" : std::string(" ") + name; };
    note("board", memcmp(a.board, b.board, sizeof a.board) == 0);
    note("pieceColumn", a.pieceColumn == b.pieceColumn);
    note("pieceRow", a.pieceRow == b.pieceRow);
    note("currentKind", a.currentKind == b.currentKind);
    note("currentShape", memcmp(&a.currentShape, &b.currentShape, sizeof a.currentShape) == 0);
    note("nextKind", a.nextKind == b.nextKind);
    note("nextShape", memcmp(&a.nextShape, &b.nextShape, sizeof a.nextShape) == 0);
    note("level", a.level == b.level);
    note("tickInterval", a.tickInterval == b.tickInterval);
    note("score", a.score == b.score);
    note("lines", a.lines == b.lines);
    note("gameOver", a.gameOver == b.gameOver);
    note("inputBlocked", a.inputBlocked == b.inputBlocked);
    note("fullRepaint", a.fullRepaint == b.fullRepaint);
    note("previousCells", memcmp(&a.previousCells, &b.previousCells, sizeof a.previousCells) == 0);
    return changed;
}

void sendKey(WPARAM key) { SendMessageA(mainWindow(), WM_KEYDOWN, key, 0); }
void sendTick() { SendMessageA(mainWindow(), WM_TIMER, 0, 0); }

// The row at which the falling piece's next drop step lands it on the floor.
int rowOnFloor() {
    int lowest = 0;
    for (int i = 0; i < kPieceCells; ++i)
        lowest = std::max(lowest, game.currentShape.dy[i]);
    return kRows - 1 - lowest;
}

// A running game in a shown main window, dealt from a fixed seed, painted,
// with the gravity timer stopped: each test sends its own ticks.
class MainWindow : public ::testing::Test {
protected:
    HWND window = nullptr;
    UINT_PTR boxCloser = 0;

    void SetUp() override {
        window = startUp(GetModuleHandleA(nullptr));
        ASSERT_TRUE(IsWindow(window));
        stopGravityTimer();
        restartGame(7);
        pauseBox = {};
        boxCloser = SetTimer(nullptr, 0, 20, closePauseBox);
    }
    void TearDown() override {
        KillTimer(nullptr, boxCloser);
        DestroyWindow(window);
        pumpIdle();
    }
    void restartGame(unsigned seed) {
        srand(seed);
        newGame(1);
        game.inputBlocked = 0;
        game.fullRepaint = 1;
        requestRepaint();
        pumpIdle();
    }
    // Moves the falling piece, paints it there, and makes previousCells name no cell.
    void placePiece(PieceKind kind, int column, int row) {
        game.currentKind = kind;
        game.currentShape = shapeOfKind(kind);
        game.pieceColumn = column;
        game.pieceRow = row;
        requestRepaint();
        pumpIdle();
        for (int i = 0; i < kPieceCells; ++i)
            game.previousCells.column[i] = game.previousCells.row[i] = -9;
    }
};

// ---- Start-up and the message loop

TEST(WindowStartUp, RegistersTheClassAndShowsTheWindowWithTheGravityTimer) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND window = startUp(instance);
    ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(window, mainWindow());

    WNDCLASSEXA cls = {};
    cls.cbSize = sizeof cls;
    ASSERT_TRUE(GetClassInfoExA(instance, "std", &cls));
    struct {
        const char *field;
        uintptr_t got, expected;
    } classFields[] = {
        {"style", cls.style, 0},
        {"lpfnWndProc", reinterpret_cast<uintptr_t>(cls.lpfnWndProc), reinterpret_cast<uintptr_t>(mainWindowProc)},
        {"cbClsExtra", static_cast<uintptr_t>(cls.cbClsExtra), 0},
        {"cbWndExtra", static_cast<uintptr_t>(cls.cbWndExtra), 0},
        {"hIcon", reinterpret_cast<uintptr_t>(cls.hIcon), reinterpret_cast<uintptr_t>(LoadIconA(nullptr, IDI_APPLICATION))},
        {"hCursor", reinterpret_cast<uintptr_t>(cls.hCursor), reinterpret_cast<uintptr_t>(LoadCursorA(nullptr, IDC_ARROW))},
        {"hbrBackground", reinterpret_cast<uintptr_t>(cls.hbrBackground), COLOR_BTNFACE + 1},
        {"lpszMenuName", reinterpret_cast<uintptr_t>(cls.lpszMenuName), IDR_MAINMENU},
        {"hIconSm", reinterpret_cast<uintptr_t>(cls.hIconSm),
         reinterpret_cast<uintptr_t>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_KARVEL)))},
    };
    for (const auto &f : classFields)
        EXPECT_EQ(f.got, f.expected) << "class field " << f.field;
    EXPECT_NE(cls.hIconSm, nullptr) << "icon 101 from the program's resources";

    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, " Karvel     V 1.2");
    LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW) << "style " << std::hex << style;
    EXPECT_NE(GetMenu(window), nullptr) << "menu 103 from the class";
    EXPECT_TRUE(IsWindowVisible(window));
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 600);
    EXPECT_EQ(outer.top, 300);
    EXPECT_EQ(outer.right - outer.left, 330);
    EXPECT_EQ(outer.bottom - outer.top, 375);

    for (int c = 0; c < kColumns; ++c)
        EXPECT_EQ(game.board[kFloorRow][c], 1) << "floor row, column " << c;
    EXPECT_TRUE(game.currentKind >= 1 && game.currentKind <= 7) << "current kind " << game.currentKind;
    EXPECT_TRUE(game.nextKind >= 1 && game.nextKind <= 7) << "next kind " << game.nextKind;

    // The sound directory is this program's own folder.
    std::string exe = std::string(game.soundDirectory) + "window_test.exe";
    EXPECT_NE(GetFileAttributesA(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "no " << exe;

    // Gravity ticks every 750 ms from start-up.
    startRecording();
    pumpFor(static_cast<DWORD>(1600 - (GetTickCount64() - started)));
    std::vector<Seen> ticks = seenOf(WM_TIMER);
    ASSERT_EQ(ticks.size(), 2u) << "ticks in 1.6 s";
    EXPECT_NEAR(double(ticks[0].time - started), 750, 60);
    EXPECT_NEAR(double(ticks[1].time - ticks[0].time), 750, 30);
    DestroyWindow(window);
}

TEST(WindowStartUp, SoundDirectoryIsTheExecutablesFolderWithItsBackslash) {
    std::string longFolder = "C:\\" + std::string(250, 'd') + "\\"; // 254 characters
    struct {
        const char *what;
        std::string exePath, expected;
    } cases[] = {
        {"a folder", "C:\\Jeux\\jeu.exe", "C:\\Jeux\\"},
        {"a drive root", "D:\\jeu.exe", "D:\\"},
        {"nested folders", "C:\\a\\b\\c.exe", "C:\\a\\b\\"},
        {"no backslash", "jeu.exe", ""},
        {"empty", "", ""},
        {"a 259-character path", longFolder + std::string(5, 'x'), longFolder},
        {"a folder of 259 with its backslash", "C:\\" + std::string(255, 'd') + "\\j.exe",
         "C:\\" + std::string(255, 'd') + "\\"},
        {"a folder of 260 with its backslash", "C:\\" + std::string(256, 'd') + "\\j.exe", ""},
        {"a folder far too long", "C:\\" + std::string(400, 'd') + "\\j.exe", ""},
    };
    for (const auto &c : cases) {
        memset(game.soundDirectory, '#', sizeof game.soundDirectory);
        setSoundDirectory(c.exePath.c_str());
        EXPECT_EQ(std::string(game.soundDirectory, strnlen(game.soundDirectory, sizeof game.soundDirectory)),
                  c.expected)
            << c.what;
    }
}

TEST_F(MainWindow, GravityTimerRestartsItsPeriodAndStops) {
    startRecording();
    game.tickInterval = 200;
    startGravityTimer();
    pumpFor(300);
    ASSERT_EQ(seenOf(WM_TIMER).size(), 1u) << "ticks in 300 ms at 200 ms";
    ULONGLONG restarted = GetTickCount64(); // the next tick was due about 100 ms from here
    startGravityTimer();
    pumpFor(250);
    std::vector<Seen> ticks = seenOf(WM_TIMER);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_NEAR(double(ticks[1].time - restarted), 200, 25) << "a restart begins a whole period";

    stopGravityTimer();
    seen.clear();
    pumpFor(450);
    EXPECT_EQ(seenOf(WM_TIMER).size(), 0u) << "ticks after the stop";
}

TEST_F(MainWindow, MessageLoopDispatchesUntilTheQuitMessage) {
    int column = game.pieceColumn;
    PostMessageA(window, WM_KEYDOWN, VK_LEFT, 0);
    PostQuitMessage(0);
    EXPECT_EQ(runMessageLoop(), 0);
    EXPECT_EQ(game.pieceColumn, column - 1) << "the posted key was dispatched";
}

TEST_F(MainWindow, QuitCommandEndsTheLoopWithZeroAndKeepsTheWindow) {
    SendMessageA(window, WM_COMMAND, IDM_QUIT, 0);
    EXPECT_EQ(runMessageLoop(), 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MainWindow, CloseAnswersOneDestroysTheWindowAndEndsTheLoop) {
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 1);
    EXPECT_FALSE(IsWindow(window));
    int result = runMessageLoop(); // the quit message, or a failure on the destroyed window
    EXPECT_TRUE(result == 0 || result == -1) << "loop ended with " << result;
}

// ---- Window events

TEST_F(MainWindow, EraseBackgroundErasesNothing) {
    Picture before = takePicture(window, false);
    HDC dc = GetDC(window);
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(window, dc);
    EXPECT_TRUE(before.pixels == takePicture(window, false).pixels) << "pixels changed";
}

TEST_F(MainWindow, OtherMessagesGoToTheDefaultProcedure) {
    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("autre"));
    char title[16] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "autre");
}

TEST_F(MainWindow, GuardsHoldKeysAndTicks) {
    struct {
        const char *what;
        int inputBlocked, gameOver;
        UINT message;
        WPARAM key;
        bool acts;
    } cases[] = {
        // what                        blocked over message     key      acts
        {"left while input is blocked", 1, 0, WM_KEYDOWN, VK_LEFT, false},
        {"down while input is blocked", 1, 0, WM_KEYDOWN, VK_DOWN, false},
        {"P while input is blocked", 1, 0, WM_KEYDOWN, 'P', false},
        {"left after the game is over", 0, 1, WM_KEYDOWN, VK_LEFT, false},
        {"up after the game is over", 0, 1, WM_KEYDOWN, VK_UP, false},
        {"P after the game is over", 0, 1, WM_KEYDOWN, 'P', false},
        {"tick after the game is over", 1, 1, WM_TIMER, 0, false},
        {"tick while input is blocked", 1, 0, WM_TIMER, 0, true},
        {"left while playing", 0, 0, WM_KEYDOWN, VK_LEFT, true},
    };
    for (const auto &c : cases) {
        restartGame(3);
        game.inputBlocked = c.inputBlocked;
        game.gameOver = c.gameOver;
        GameState before = game;
        SendMessageA(window, c.message, c.key, 0);
        if (c.message == WM_TIMER) {
            EXPECT_EQ(game.inputBlocked, 0) << c.what << ": a tick always unblocks input";
        }
        before.inputBlocked = game.inputBlocked;
        std::string changed = changedFields(before, game);
        if (c.acts) {
            EXPECT_NE(changed, "") << c.what;
            EXPECT_TRUE(repaintRequested()) << c.what;
        } else {
            EXPECT_EQ(changed, "") << c.what << ": changed fields";
            EXPECT_FALSE(repaintRequested()) << c.what << ": repaint requested";
        }
        EXPECT_EQ(pauseBox.closed, 0) << c.what;
        game.gameOver = 0;
    }
}

TEST_F(MainWindow, PreviousCellsAreRecordedBeforeEachAction) {
    struct {
        const char *what;
        UINT message;
        WPARAM key;
    } cases[] = {
        {"left", WM_KEYDOWN, VK_LEFT},   {"right", WM_KEYDOWN, VK_RIGHT}, {"up", WM_KEYDOWN, VK_UP},
        {"down", WM_KEYDOWN, VK_DOWN},   {"space", WM_KEYDOWN, VK_SPACE}, {"P", WM_KEYDOWN, 'P'},
        {"tick", WM_TIMER, 0},
    };
    for (const auto &c : cases) {
        restartGame(5);
        placePiece(game.currentKind, kEntryColumn, 6);
        PieceCells before = cellsOfPiece();
        SendMessageA(window, c.message, c.key, 0);
        EXPECT_EQ(cellsText(game.previousCells), cellsText(before)) << c.what;
        stopGravityTimer(); // the pause starts it again
    }
}

TEST_F(MainWindow, RefusedMovesAndOtherKeysRepaintThePiecePartially) {
    struct {
        const char *what;
        PieceKind kind;
        int column;
        WPARAM key;
    } cases[] = {
        // what                          kind column key: kind 7 lies flat, cells at column - 1 .. column + 2
        {"left against the wall", 7, 1, VK_LEFT},
        {"right against the wall", 7, 9, VK_RIGHT},
        {"turn out of the top", 7, 5, VK_UP},
        {"space", 3, 5, VK_SPACE},
        {"shift", 3, 5, VK_SHIFT},
    };
    for (const auto &c : cases) {
        restartGame(9);
        placePiece(c.kind, c.column, 0);
        startRecording();
        GameState before = game;
        sendKey(c.key);
        EXPECT_EQ(changedFields(before, game), " fullRepaint previousCells") << c.what;
        EXPECT_EQ(cellsText(game.previousCells), cellsText(cellsOfPiece())) << c.what;
        EXPECT_EQ(seenOf(WM_ERASEBKGND).size(), 1u) << c.what << ": erase messages during the request";
        EXPECT_EQ(seenOf(WM_PAINT).size(), 0u) << c.what << ": paints during the request";
        RECT invalid, client;
        GetUpdateRect(window, &invalid, FALSE);
        GetClientRect(window, &client);
        EXPECT_TRUE(EqualRect(&invalid, &client)) << c.what << ": the whole client area is to repaint";
        pumpIdle();
        std::vector<Seen> paints = seenOf(WM_PAINT);
        ASSERT_EQ(paints.size(), 1u) << c.what;
        EXPECT_EQ(paints[0].fullRepaint, 0) << c.what;
        EXPECT_EQ(staleness(window), "") << c.what;
    }
}

TEST_F(MainWindow, RepaintRequestsBeforeOnePaintMakeOnePaintWithTheLatestFlag) {
    startRecording();
    game.fullRepaint = 1;
    requestRepaint();
    game.fullRepaint = 0;
    requestRepaint();
    pumpIdle();
    std::vector<Seen> paints = seenOf(WM_PAINT);
    ASSERT_EQ(paints.size(), 1u);
    EXPECT_EQ(paints[0].fullRepaint, 0);
    EXPECT_EQ(game.fullRepaint, 1) << "every paint ends with the flag back at 1";
}

TEST_F(MainWindow, DownLandsThePieceLikeATick) {
    GameState after[2];
    const UINT messages[2] = {WM_TIMER, WM_KEYDOWN};
    for (int m = 0; m < 2; ++m) {
        restartGame(11);
        placePiece(game.currentKind, kEntryColumn, rowOnFloor());
        PieceKind kind = game.currentKind, next = game.nextKind;
        PieceCells cells = cellsOfPiece();
        SendMessageA(window, messages[m], VK_DOWN, 0);
        const char *by = m == 0 ? "tick" : "down";
        for (int i = 0; i < kPieceCells; ++i)
            EXPECT_EQ(game.board[cells.row[i]][cells.column[i]], kind) << by << ", cell " << i;
        EXPECT_EQ(game.score, 15) << by;
        EXPECT_EQ(game.pieceRow, 0) << by;
        EXPECT_EQ(game.currentKind, next) << by;
        EXPECT_EQ(game.fullRepaint, 1) << by;
        after[m] = game;
        pumpIdle();
        EXPECT_EQ(staleness(window), "") << by;
    }
    EXPECT_EQ(changedFields(after[0], after[1]), "") << "tick and down differ in";
}

TEST_F(MainWindow, PKeyPausesUntilTheBoxIsClosed) {
    struct {
        const char *what;
        bool shift;
    } cases[] = {{"P", false}, {"Shift+P", true}};
    for (const auto &c : cases) {
        restartGame(13);
        game.tickInterval = 150;
        startGravityTimer();
        SetForegroundWindow(window);
        pumpIdle();
        // Through the keyboard, so that the message loop, not the test, makes the key press.
        INPUT keys[4] = {};
        const WORD order[4] = {VK_SHIFT, 'P', 'P', VK_SHIFT};
        for (int k = 0; k < 4; ++k) {
            keys[k].type = INPUT_KEYBOARD;
            keys[k].ki.wVk = order[k];
            keys[k].ki.dwFlags = k < 2 ? 0 : KEYEVENTF_KEYUP;
        }
        startRecording();
        int closedBefore = pauseBox.closed;
        if (c.shift)
            SendInput(4, keys, sizeof(INPUT));
        else
            SendInput(2, keys + 1, sizeof(INPUT));
        ASSERT_TRUE(pumpUntil([&] { return pauseBox.closed > closedBefore; }, 3000)) << c.what << ": no pause box";
        ULONGLONG resumed = GetTickCount64();
        EXPECT_EQ(pauseBox.text, "Le jeu est en pause...\nVeuillez cliquer sur OK pour reprendre la partie!") << c.what;
        EXPECT_EQ(pauseBox.owner, nullptr) << c.what;
        EXPECT_FALSE(pauseBox.gravityRunning) << c.what << ": gravity timer while the box is open";
        EXPECT_EQ(pauseBox.inputBlocked, 1) << c.what;
        EXPECT_FALSE(pauseBox.columnMoved) << c.what << ": a key moved the piece during the pause";

        // After the box: a full repaint, keys held until the first tick, which comes a period later.
        EXPECT_EQ(game.inputBlocked, 1) << c.what;
        int firstPaint = -1;
        for (size_t i = pauseBox.seenAtClose; i < seen.size() && firstPaint < 0; ++i)
            firstPaint = seen[i].message == WM_PAINT ? seen[i].fullRepaint : -1;
        EXPECT_EQ(firstPaint, 1) << c.what << ": fullRepaint of the first paint after the box";
        int column = game.pieceColumn;
        sendKey(VK_LEFT);
        EXPECT_EQ(game.pieceColumn, column) << c.what << ": key before the first tick";
        seen.clear();
        pumpIdle();
        EXPECT_EQ(staleness(window), "") << c.what << ": picture after the pause";
        ASSERT_TRUE(pumpUntil([] { return !seenOf(WM_TIMER).empty(); }, 500)) << c.what << ": no tick";
        std::vector<Seen> ticks = seenOf(WM_TIMER);
        EXPECT_NEAR(double(ticks[0].time - resumed), 150, 30) << c.what;
        EXPECT_EQ(game.inputBlocked, 0) << c.what;
        stopGravityTimer();
        sendKey(VK_LEFT);
        EXPECT_EQ(game.pieceColumn, column - 1) << c.what << ": key after the first tick";
    }
}

// ---- The picture is never stale

enum Step { Left, Right, Turn, Down, Space, Tick, Pause, MinimiseWithTicks, Resize, Maximise, Damage, kStepCount };
const char *const stepNames[] = {"left",  "right",    "turn",   "down",     "space", "tick",
                                 "pause", "minimise", "resize", "maximise", "damage"};
static_assert(sizeof stepNames / sizeof stepNames[0] == kStepCount, "a name per step");

// Takes one step without letting the loop paint; returns how long the loop must
// then stay quiet for everything to be settled.
DWORD perform(HWND window, Step step) {
    const WPARAM keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE};
    DWORD quietMs = kQuietMs;
    switch (step) {
    case Tick:
        sendTick();
        break;
    case Pause:
        sendKey('P'); // closed by the test's box closer
        break;
    case MinimiseWithTicks:
        ShowWindow(window, SW_MINIMIZE);
        sendTick();
        sendKey(VK_RIGHT);
        sendTick();
        ShowWindow(window, SW_RESTORE);
        quietMs = kSettleMs;
        break;
    case Resize: { // wider and higher, or back to the first size
        RECT outer;
        GetWindowRect(window, &outer);
        int grow = outer.right - outer.left == 330 ? 1 : 0;
        SetWindowPos(window, nullptr, 0, 0, 330 + 40 * grow, 375 + 20 * grow, SWP_NOMOVE | SWP_NOZORDER);
        quietMs = kSettleMs;
        break;
    }
    case Maximise: // or restore
        ShowWindow(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE);
        quietMs = kSettleMs;
        break;
    case Damage: { // the system lost part of the picture, as when a window above it goes away
        RECT lost = {0, 100, 200, 180};
        HDC dc = GetDC(window);
        FillRect(dc, &lost, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(window, dc);
        InvalidateRect(window, &lost, FALSE);
        break;
    }
    default:
        sendKey(keys[step]);
    }
    stopGravityTimer(); // the pause and row clearing start it again
    return quietMs;
}

// Runs the steps without painting between them, then lets the loop paint once.
std::string staleAfter(HWND window, std::initializer_list<Step> steps) {
    DWORD quietMs = kQuietMs;
    for (Step step : steps)
        quietMs = std::max(quietMs, perform(window, step));
    pump(quietMs);
    return staleness(window);
}

TEST_F(MainWindow, TwoKeysBeforeOnePaintLeaveNoGhost) {
    placePiece(game.currentKind, kEntryColumn, 5);
    EXPECT_EQ(staleAfter(window, {Right, Right}), "");
    EXPECT_EQ(staleAfter(window, {Down, Left, Turn}), "");
}

TEST_F(MainWindow, LandingThenKeyBeforeOnePaintIsPaintedInFull) {
    // A flat piece in the gap of the bottom row: the tick lands it and clears the row.
    for (int c = 4; c < kColumns; ++c)
        game.board[kRows - 1][c] = 2;
    placePiece(7, 1, kRows - 1);
    EXPECT_EQ(staleAfter(window, {Tick, Left}), "");
}

TEST_F(MainWindow, TicksWhileMinimisedThenRestoreRepaintAll) {
    EXPECT_EQ(staleAfter(window, {MinimiseWithTicks}), "");
    EXPECT_EQ(staleAfter(window, {Right, MinimiseWithTicks}), "");
}

TEST_F(MainWindow, ResizedOrDamagedWindowIsPaintedInFull) {
    EXPECT_EQ(staleAfter(window, {Left, Resize}), "");
    EXPECT_EQ(staleAfter(window, {Right, Resize, Left}), "");
    EXPECT_EQ(staleAfter(window, {Left, Maximise, Right}), "");
    EXPECT_EQ(staleAfter(window, {Turn, Maximise}), "");
    EXPECT_EQ(staleAfter(window, {Damage, Left}), "");
    EXPECT_EQ(staleAfter(window, {Right, Pause, Left}), "");
}

// Random runs of up to three steps before each paint, over a well whose lower
// rows lack one cell each, so that landings clear rows and games end.
TEST_F(MainWindow, RandomRunsNeverShowAStalePicture) {
    const unsigned seeds[] = {1, 2, 3};
    for (unsigned seed : seeds) {
        restartGame(seed);
        for (int r = 12; r < kRows; ++r) {
            int hole = rand() % kColumns;
            for (int c = 0; c < kColumns; ++c)
                game.board[r][c] = c == hole ? 0 : rand() % 7 + 1;
        }
        requestRepaint();
        pumpIdle();
        std::string history;
        for (int paint = 0; paint < 40; ++paint) {
            if (game.gameOver) { // as the New-game command does
                newGame(1);
                game.fullRepaint = 1;
                requestRepaint();
                history += " new";
            }
            int steps = rand() % 3 + 1;
            DWORD quietMs = kQuietMs;
            for (int s = 0; s < steps; ++s) {
                // Mostly moves and drops; the slow steps are rarer.
                int pick = rand() % 20;
                Step step = pick < 15 ? Step(pick % 6) : Step(Pause + (pick - 15));
                // Pixels lost after an unpainted request cannot be told from the request
                // itself (both leave the whole client area to repaint): damage comes first.
                if (step == Damage && s > 0)
                    step = Tick;
                quietMs = std::max(quietMs, perform(window, step));
                history += std::string(" ") + stepNames[step];
            }
            pump(quietMs);
            std::string stale = staleness(window);
            ASSERT_EQ(stale, "") << "seed " << seed << ", steps:" << history;
            history += " |";
        }
    }
}

} // namespace
