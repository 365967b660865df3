// Repaints against their bare drawing sequence, key to picture, and timer wake-ups, in-process under Wine.
#include "rules/frontend.h"
#include "rules/game.h"
#include "sound/sound.h"
#include "sound/wavfile.h"
#include "ui/resource.h"
#include "ui/ui.h"

#include <mmsystem.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

double now() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// figure, value, floor, unit: one row of the benchmark's table
void row(const std::string &figure, double value, double floor, const char *unit, const char *format = "%.2f") {
    std::printf("%s\t", figure.c_str());
    std::printf(format, value);
    std::printf("\t");
    std::printf(format, floor);
    std::printf("\t%s\n", unit);
    std::fflush(stdout);
}

bool failed = false;

void fail(const char *what) {
    std::fprintf(stderr, "paint_bench: %s\n", what);
    failed = true;
}

// ---- The floor: the drawing calls of a paint, written out plainly ----

const COLORREF kBackground = RGB(214, 211, 206), kFrame = RGB(130, 130, 130), kBlack = RGB(0, 0, 0);
const COLORREF kBright[8] = {0, RGB(255, 0, 255), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255),
                             RGB(255, 0, 0), RGB(0, 255, 255), RGB(255, 255, 0)};
const COLORREF kDark[8] = {0, RGB(184, 0, 184), RGB(0, 184, 0), RGB(0, 0, 184), RGB(184, 184, 184),
                           RGB(184, 0, 0), RGB(0, 184, 184), RGB(184, 184, 0)};

int colourIndex(int value) { return value >= 1 && value <= 7 ? value : 0; }

// The plain sequence at 192 DPI: every figure doubled, and each 2-pixel border drawn as the
// game draws it at scale, its ring's solid block and then the interior.
int plainScale = 1;
int px(int v) { return plainScale * v; }

// One rectangle with a new pen and brush, both put back and deleted after.
void plainRect(HDC dc, int penWidth, COLORREF pen, COLORREF brush, int left, int top, int right, int bottom) {
    HGDIOBJ p = CreatePen(PS_SOLID, penWidth, pen), b = CreateSolidBrush(brush);
    HGDIOBJ oldPen = SelectObject(dc, p), oldBrush = SelectObject(dc, b);
    Rectangle(dc, left, top, right, bottom);
    SelectObject(dc, oldBrush);
    DeleteObject(b);
    SelectObject(dc, oldPen);
    DeleteObject(p);
}

// Four squares of the well or the preview with one pen and one brush; inset 0, 1 or -1.
void plainSquares(HDC dc, int x0, int y0, const int *dx, const int *dy, int inset, int size, COLORREF colour) {
    HGDIOBJ p = CreatePen(PS_SOLID, 1, colour), b = CreateSolidBrush(colour);
    HGDIOBJ oldPen = SelectObject(dc, p), oldBrush = SelectObject(dc, b);
    for (int i = 0; i < 4; ++i) {
        int x = x0 + 15 * dx[i], y = y0 + 15 * dy[i];
        Rectangle(dc, px(x + inset), px(y + inset), px(x + size), px(y + size));
    }
    SelectObject(dc, oldBrush);
    DeleteObject(b);
    SelectObject(dc, oldPen);
    DeleteObject(p);
}

void plainPiece(HDC dc) {
    int v = colourIndex(game.currentKind);
    int x0 = 10 + 15 * game.pieceColumn, y0 = 20 + 15 * game.pieceRow;
    plainSquares(dc, x0, y0, game.currentShape.dx, game.currentShape.dy, 0, 14, kBright[v]); // C1
    plainSquares(dc, x0, y0, game.currentShape.dx, game.currentShape.dy, 1, 14, kDark[v]);   // C2
}

// msvcrt's own formatted printing, as the game's paint uses.
void plainText(HDC dc, int x, int y, const char *format, int value) {
    game.textBuffer[sizeof game.textBuffer - 1] = '\0';
    _snprintf(game.textBuffer, sizeof game.textBuffer - 1, format, value);
    TextOutA(dc, px(x), px(y), game.textBuffer, lstrlenA(game.textBuffer));
}

void plainBorder(HDC dc, COLORREF pen, COLORREF brush, int left, int top, int right, int bottom) {
    if (plainScale == 1) {
        plainRect(dc, 2, pen, brush, left, top, right, bottom);
        return;
    }
    plainRect(dc, 1, pen, pen, px(left - 1), px(top - 1), px(right), px(bottom));
    if (brush != pen)
        plainRect(dc, 1, brush, brush, px(left + 1), px(top + 1), px(right - 2), px(bottom - 2));
}

void plainFull(HDC dc, const RECT &client) {
    HGDIOBJ title = CreateFontA(px(30), 0, 0, 0, 700, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Arial"); // F1
    HGDIOBJ oldFont = SelectObject(dc, title);
    SetBkMode(dc, TRANSPARENT);
    // F2: at scale, the client in 96-DPI pixels rounded out, as the game draws it.
    const LONG right = plainScale == 1 ? client.right : client.right / plainScale + 1;
    const LONG bottom = plainScale == 1 ? client.bottom : client.bottom / plainScale + 1;
    plainBorder(dc, kBackground, kBackground, client.left, client.top, right, bottom);
    plainBorder(dc, kFrame, kBlack, 8, 18, 192, 322); // F3
    for (int c = 0; c < 12; ++c) {                                                                    // F4
        for (int r = 0; r < 20; ++r) {
            int v = colourIndex(game.board[r][c]);
            plainRect(dc, 1, kBright[v], kBright[v], px(15 * c + 10), px(15 * r + 20), px(15 * c + 24),
                      px(15 * r + 34));
            plainRect(dc, 1, kDark[v], kDark[v], px(15 * c + 11), px(15 * r + 21), px(15 * c + 24), px(15 * r + 34));
        }
    }
    game.textBuffer[sizeof game.textBuffer - 1] = '\0'; // F5
    _snprintf(game.textBuffer, sizeof game.textBuffer - 1, "%s", "Karvel");
    TextOutA(dc, px(220), px(12), game.textBuffer, lstrlenA(game.textBuffer));
    if (game.gameOver == 1) { // F6
        TextOutA(dc, px(240), px(270), "GAME", 4);
        TextOutA(dc, px(240), px(290), "OVER", 4);
    }
    plainBorder(dc, kBlack, kBackground, 200, 45, 315, 230); // F7
    SelectObject(dc, oldFont);                                     // F8
    DeleteObject(title);
    HGDIOBJ panel = CreateFontA(px(20), 0, 0, 0, 700, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, "Arial");
    oldFont = SelectObject(dc, panel);
    TextOutA(dc, px(205), px(50), "Score:", 6); // F9
    TextOutA(dc, px(205), px(90), "Lignes:", 7);
    plainText(dc, 205, 65, "> %d", game.score);
    plainText(dc, 205, 110, "> %d", game.lines);
    plainText(dc, 205, 140, "Niveau: %d", game.level);
    TextOutA(dc, px(205), px(170), "Suivant:  ", 10);
    int v = colourIndex(game.nextKind); // F10
    plainSquares(dc, 220, 190, game.nextShape.dx, game.nextShape.dy, -1, 15, kBlack);
    plainSquares(dc, 220, 190, game.nextShape.dx, game.nextShape.dy, 0, 14, kBright[v]);
    plainSquares(dc, 220, 190, game.nextShape.dx, game.nextShape.dy, 1, 14, kDark[v]);
    SelectObject(dc, oldFont); // F11
    DeleteObject(panel);
    plainPiece(dc);
}

void plainPartial(HDC dc) {
    for (int i = 0; i < 4; ++i) { // P1
        int x = 15 * game.previousCells.column[i] + 10, y = 15 * game.previousCells.row[i] + 20;
        HGDIOBJ brush = CreateSolidBrush(kBlack);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Rectangle(dc, px(x), px(y), px(x + 15), px(y + 15));
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    plainPiece(dc);
}

void plainPaintWindow(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (game.fullRepaint != 0)
        plainFull(dc, client);
    else
        plainPartial(dc);
    EndPaint(window, &paint);
    game.fullRepaint = 1;
}

// The floor for a key with a sound: the bare window below, and the move sound's clip, read
// once, cut and written on a device kept open: the least any program can do to start a
// sound on this platform. With no sound device it is the bare window alone.
struct SoundFloor {
    std::vector<unsigned char> file;
    WAVEFORMATEX format;
    WAVEHDR header;
    HWAVEOUT device; // null: closed, or no device
    HWND window;
};
SoundFloor soundFloor;

bool openSoundFloor() {
    std::string path = std::string(game.soundDirectory) + effectFileName(MoveEffect);
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        soundFloor.file.resize(1 << 20);
        soundFloor.file.resize(std::fread(soundFloor.file.data(), 1, soundFloor.file.size(), file));
        std::fclose(file);
    }
    WavSound clip;
    if (!readWavSound(soundFloor.file.data(), soundFloor.file.size(), &clip)) {
        fail("the move sound's file cannot be read");
        return false;
    }
    soundFloor.format = {WAVE_FORMAT_PCM, WORD(clip.channels), clip.sampleRate, clip.bytesPerSecond,
                         WORD(clip.blockSize), WORD(clip.bitsPerSample), 0};
    soundFloor.header = {};
    soundFloor.header.lpData = reinterpret_cast<LPSTR>(const_cast<unsigned char *>(clip.data));
    soundFloor.header.dwBufferLength = DWORD(clip.dataSize);
    if (waveOutOpen(&soundFloor.device, WAVE_MAPPER, &soundFloor.format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        soundFloor.device = nullptr;
        return false;
    }
    waveOutPrepareHeader(soundFloor.device, &soundFloor.header, sizeof soundFloor.header);
    return true;
}

void playSoundFloor() {
    if (soundFloor.device) {
        waveOutReset(soundFloor.device);
        waveOutWrite(soundFloor.device, &soundFloor.header, sizeof soundFloor.header);
    }
}

void closeSoundFloor() {
    if (!soundFloor.device)
        return;
    waveOutReset(soundFloor.device);
    waveOutUnprepareHeader(soundFloor.device, &soundFloor.header, sizeof soundFloor.header);
    waveOutClose(soundFloor.device);
    soundFloor.device = nullptr;
}

// The floor for key to picture: a window that answers a key with the same repaint
// request as the game's and paints the bare partial sequence; the sound floor's window
// starts the clip first.
LRESULT CALLBACK plainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN: {
        if (window == soundFloor.window && game.moveSound == 1)
            playSoundFloor();
        game.fullRepaint = 0;
        RECT client;
        GetClientRect(window, &client);
        RedrawWindow(window, &client, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_ERASENOW);
        return 0;
    }
    case WM_ERASEBKGND:
        return 0;
    case WM_PAINT:
        plainPaintWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createPlainWindow(int y) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = plainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "plainFloor";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "plainFloor", "floor", WS_OVERLAPPEDWINDOW, 0, y, 330, 375, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
}

// ---- Message pumping ----

void pumpFor(double ms) {
    MSG message;
    for (double end = now() + ms; now() < end;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        double left = end - now();
        if (left > 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(left) + 1, QS_ALLINPUT);
    }
}

// Dispatches messages until window's paint has been handled; false after 2 s without one.
bool pumpUntilPainted(HWND window) {
    MSG message;
    for (double end = now() + 2000; now() < end;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
            if (message.message == WM_PAINT && message.hwnd == window)
                return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return false;
}

// A game in its middle: some landed rows, the piece mid-well, numbers in the panel.
void setUpGame() {
    srand(7);
    newGame(3);
    for (int r = 14; r < 20; ++r)
        for (int c = 0; c < 12; ++c)
            game.board[r][c] = (r * 5 + c) % 11 == 0 ? 0 : 1 + (r + c) % 7;
    game.score = 12345;
    game.lines = 42;
    game.pieceColumn = 5;
    game.pieceRow = 6;
    game.previousCells = fallingPieceCells();
    for (int i = 0; i < kPieceCells; ++i)
        game.previousCells.row[i] -= 1; // a drop step's partial repaint
    game.inputBlocked = 0;
}

// ---- Repaints ----

struct Timing {
    std::vector<double> game, plain; // microseconds per paint
};

// Times the game's paint and the plain one, each going first every other round so that
// neither always finds the caches warmed by the other.
void timePair(int round, Timing *timing, void (*gamePaint)(), void (*plainPaint)()) {
    for (int k = 0; k < 2; ++k) {
        bool plain = (k == 0) == (round % 2 == 1);
        double start = now();
        (plain ? plainPaint : gamePaint)();
        (plain ? timing->plain : timing->game).push_back((now() - start) * 1000);
    }
}

// What the paints below draw on, and the state each paint starts from.
HDC bitmapDc;
HWND paintedWindow;
RECT bitmapClient; // 330 x 375 at 96 DPI, doubled at 192
int bitmapDpi;
int repaintKind; // 1 full, 0 partial
PieceCells previousOfPartial;

void prepare() {
    game.fullRepaint = repaintKind;
    game.previousCells = previousOfPartial;
}
void gameIntoBitmap() { prepare(); drawGame(bitmapDc, bitmapClient, bitmapDpi); }
void plainIntoBitmap() {
    prepare();
    if (repaintKind)
        plainFull(bitmapDc, bitmapClient);
    else
        plainPartial(bitmapDc);
}
// The prepare and the invalidation are timed as well, the same for both.
void gameIntoWindow() { prepare(); InvalidateRect(paintedWindow, nullptr, FALSE); paintWindow(paintedWindow); }
void plainIntoWindow() { prepare(); InvalidateRect(paintedWindow, nullptr, FALSE); plainPaintWindow(paintedWindow); }

// At dpi 96 or 192, the plain sequence at the same scale.
void paintsIntoBitmap(int paints, Timing *full, Timing *partial, int dpi) {
    plainScale = dpi / 96;
    bitmapDpi = dpi;
    bitmapClient = {0, 0, 330 * plainScale, 375 * plainScale};
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), 330 * plainScale, -375 * plainScale, 1, 32, BI_RGB, 0, 0, 0, 0, 0},
                       {}};
    void *bits = nullptr;
    bitmapDc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(bitmapDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ displaced = SelectObject(bitmapDc, bitmap);
    previousOfPartial = game.previousCells;
    for (int i = 0; i < paints; ++i) {
        for (repaintKind = 1; repaintKind >= 0; --repaintKind)
            timePair(i, repaintKind ? full : partial, gameIntoBitmap, plainIntoBitmap);
    }
    // A floor is one only if it draws the same picture: each repaint after a full one of the game's.
    const size_t pixels = size_t(330 * 375 * plainScale * plainScale);
    std::vector<DWORD> pictures[2];
    for (repaintKind = 1; repaintKind >= 0; --repaintKind) {
        for (void (*paint)() : {gameIntoBitmap, plainIntoBitmap}) {
            const int kind = repaintKind;
            repaintKind = 1;
            gameIntoBitmap();
            repaintKind = kind;
            paint();
            GdiFlush();
            std::vector<DWORD> &picture = pictures[paint == plainIntoBitmap];
            picture.assign(static_cast<DWORD *>(bits), static_cast<DWORD *>(bits) + pixels);
            for (DWORD &pixel : picture) // the colour alone: GDI leaves the fourth byte undefined
                pixel &= 0xFFFFFF;
        }
        if (pictures[0] != pictures[1])
            fail(repaintKind ? "the plain full repaint draws another picture" : "the plain partial one draws another");
    }
    game.fullRepaint = 1;
    plainScale = 1;
    SelectObject(bitmapDc, displaced);
    DeleteObject(bitmap);
    DeleteDC(bitmapDc);
}

void paintsIntoWindow(HWND window, int paints, Timing *full, Timing *partial) {
    paintedWindow = window;
    previousOfPartial = game.previousCells;
    for (int i = 0; i < paints; ++i) {
        for (repaintKind = 1; repaintKind >= 0; --repaintKind)
            timePair(i, repaintKind ? full : partial, gameIntoWindow, plainIntoWindow);
    }
    game.fullRepaint = 1;
}

void reportPaints(const char *where, int paints, const Timing &full, const Timing &partial) {
    char figure[120];
    std::snprintf(figure, sizeof figure, "full repaint into %s, median of %d", where, paints);
    double fullGame = percentile(full.game, 0.5), fullPlain = percentile(full.plain, 0.5);
    row(figure, fullGame, fullPlain, "us", "%.1f");
    std::snprintf(figure, sizeof figure, "partial repaint into %s, median of %d", where, paints);
    double partialGame = percentile(partial.game, 0.5), partialPlain = percentile(partial.plain, 0.5);
    row(figure, partialGame, partialPlain, "us", "%.1f");
    std::snprintf(figure, sizeof figure, "partial / full, %s", where);
    row(figure, 100 * partialGame / fullGame, 100 * partialPlain / fullPlain, "%", "%.2f");
}

// ---- Ticks and timer wake-ups ----

// Every timer message this thread takes from its queue, in any message loop (dialogs'
// included), except the benchmark's own timer that closes the boxes.
const UINT kSystemTimer = 0x0118; // WM_SYSTIMER: caret blinks and the like
struct TimerLog {
    bool on;
    UINT_PTR ownTimer;
    std::vector<double> gravity, wakeups; // when each arrived, ms
    bool sawOwnTimer; // proves that the hook sees the box's own message loop
};
TimerLog timerLog;

LRESULT CALLBACK logTimers(int code, WPARAM removal, LPARAM lParam) {
    const MSG *message = reinterpret_cast<const MSG *>(lParam);
    bool own = message->message == WM_TIMER && message->hwnd == nullptr && message->wParam == timerLog.ownTimer;
    timerLog.sawOwnTimer = timerLog.sawOwnTimer || (code == HC_ACTION && own);
    if (code == HC_ACTION && removal == PM_REMOVE && timerLog.on && !own &&
        (message->message == WM_TIMER || message->message == kSystemTimer)) {
        timerLog.wakeups.push_back(now());
        if (message->message == WM_TIMER && message->hwnd == static_cast<HWND>(game.mainWindow))
            timerLog.gravity.push_back(now());
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

// Events per second: from the spacing of periodic events when there are several,
// else how many came over the whole time.
double ratePerSecond(const std::vector<double> &times, double start, double end) {
    if (times.size() >= 3)
        return 1000.0 * double(times.size() - 1) / (times.back() - times.front());
    return 1000.0 * double(times.size()) / (end - start);
}

void reportTimers(const char *state, double start, double end, double gravityFloor) {
    std::string figure = std::string("gravity ticks per second, ") + state;
    row(figure, ratePerSecond(timerLog.gravity, start, end), gravityFloor, "/s");
    figure = std::string("timer wake-ups per second, ") + state;
    row(figure, ratePerSecond(timerLog.wakeups, start, end), gravityFloor, "/s");
}

// Logs while the game runs freely for ms.
void logPlaying(const char *state, double ms, double gravityFloor) {
    timerLog = {true, 0, {}, {}, false};
    double start = now();
    pumpFor(ms);
    timerLog.on = false;
    reportTimers(state, start, now(), gravityFloor);
}

const char *boxTitle;
double boxClosed;

void CALLBACK closeBox(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    timerLog.on = false;
    boxClosed = now();
    for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", boxTitle)) != nullptr;) {
        if (GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId()) {
            SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return;
        }
    }
    fail("a box to close was not found");
}

// Logs while the box that open shows stays open for ms, then closes it.
void logInBox(const char *state, const char *title, UINT message, WPARAM wParam, double ms) {
    boxTitle = title;
    boxClosed = 0;
    timerLog = {true, SetTimer(nullptr, 0, UINT(ms), closeBox), {}, {}, false};
    double start = now();
    SendMessageA(static_cast<HWND>(game.mainWindow), message, wParam, 0);
    if (boxClosed == 0 || !timerLog.sawOwnTimer) {
        fail(boxClosed == 0 ? "the box did not stay open" : "the box's message loop was not seen");
        KillTimer(nullptr, timerLog.ownTimer);
        timerLog.on = false;
        return;
    }
    reportTimers(state, start, boxClosed, 0);
    pumpFor(50);
}

HHOOK logTimerMessages() {
    timerLog = {true, 0, {}, {}, false};
    return SetWindowsHookExA(WH_GETMESSAGE, logTimers, nullptr, GetCurrentThreadId());
}

void measureTimers(bool smoke) {
    double ms = smoke ? 300 : 4000;
    HHOOK hook = logTimerMessages();
    newGame(1);
    game.inputBlocked = 0;
    game.fullRepaint = 1;
    requestRepaint();
    startGravityTimer();
    logPlaying("playing at level 1", ms, 1000.0 / 750);
    newGame(10);
    game.fullRepaint = 1;
    requestRepaint();
    startGravityTimer();
    logPlaying("playing at level 10", ms, 1000.0 / 50);
    if (timerLog.gravity.empty())
        fail("no gravity tick at level 10");
    game.inputBlocked = 0;
    logInBox("paused, the pause box open", "Jeu en pause...", WM_KEYDOWN, 'P', ms);
    logInBox("in the About box", "A propos de KARVEL V1.2", WM_COMMAND, IDM_ABOUT, ms);
    // The game runs to its end through its own drop steps; the last landing stops the timer.
    game.landSound = game.gameOverSound = game.lineClearSound = 0;
    while (game.gameOver == 0)
        dropStep();
    pumpFor(50);
    logPlaying("after a game over", ms, 0);
    logInBox("after a game over, in the About box", "A propos de KARVEL V1.2", WM_COMMAND, IDM_ABOUT, ms);
    logPlaying("after a game over and the About box", ms, 0);
    UnhookWindowsHookEx(hook);
}

// ---- Key to picture ----

// One press on each window every kKeyMs, the auto-repeat rate of a held arrow key (30 a
// second). The bare window's press comes first, away from the work that follows a click.
const double kKeyMs = 33;

struct KeyTimes {
    std::vector<double> game, plain, withSound; // ms from the posted key to the end of its paint
};

bool pressAndWait(HWND window, WPARAM key, std::vector<double> *ms) {
    double start = now();
    PostMessageA(window, WM_KEYDOWN, key, 0);
    if (!pumpUntilPainted(window)) {
        fail("a key press was not followed by a paint");
        return false;
    }
    ms->push_back(now() - start);
    return true;
}

KeyTimes keysToPicture(HWND window, HWND plainWindow, int presses) {
    KeyTimes times;
    for (int i = 0; i < presses; ++i) {
        double start = now();
        WPARAM key = i % 2 ? VK_RIGHT : VK_LEFT; // the piece goes to and fro
        if (!pressAndWait(plainWindow, key, &times.plain) ||
            !pressAndWait(soundFloor.window, key, &times.withSound) || !pressAndWait(window, key, &times.game))
            break;
        pumpFor(kKeyMs - (now() - start));
    }
    return times;
}

// Threads of this process: Wine's sound drivers run their own while a device is open.
int threadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread = {};
    thread.dwSize = sizeof thread;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
        count += thread.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

void reportKeys(HWND window, HWND plainWindow, int presses, const char *device) {
    // What a device leaves once closed: the floor of the threads once the game's is closed too.
    int closedThreads = 0;
    if (openSoundFloor()) {
        playSoundFloor();
        pumpFor(200);
        closeSoundFloor();
        pumpFor(100);
        closedThreads = threadCount();
        openSoundFloor();
    } else {
        closedThreads = threadCount();
    }
    game.pieceColumn = 5;
    game.inputBlocked = 0;
    game.fullRepaint = 1;
    requestRepaint();
    pumpFor(100);
    for (int sound = 1; sound >= 0 && !failed; --sound) {
        game.moveSound = sound;
        KeyTimes times = keysToPicture(window, plainWindow, presses);
        if (failed)
            return;
        char figure[120];
        std::snprintf(figure, sizeof figure, "key to picture, move sound %s, %s, median of %d", sound ? "on" : "off",
                      device, presses);
        row(figure, percentile(times.game, 0.5), percentile(times.plain, 0.5), "ms", "%.2f");
        std::snprintf(figure, sizeof figure, "key to picture, move sound %s, %s, 99th percentile", sound ? "on" : "off",
                      device);
        row(figure, percentile(times.game, 0.99), percentile(times.plain, 0.99), "ms", "%.2f");
        if (!sound)
            continue;
        std::snprintf(figure, sizeof figure, "key with sound vs window + clip, %s, median of %d", device, presses);
        row(figure, percentile(times.game, 0.5), percentile(times.withSound, 0.5), "ms", "%.2f");
        std::snprintf(figure, sizeof figure, "key with sound vs window + clip, %s, 99th percentile", device);
        row(figure, percentile(times.game, 0.99), percentile(times.withSound, 0.99), "ms", "%.2f");
    }
    game.moveSound = 1;
    // Once the last sound has ended and the quiet spell has passed, the game's device is closed
    // and no timer is left: nothing wakes the game while nothing falls. Of its own it keeps the
    // sound service's thread, asleep with no timeout until the next sound.
    closeSoundFloor();
    pumpFor(2000);
    HHOOK hook = logTimerMessages();
    double start = now();
    pumpFor(2000);
    timerLog.on = false;
    UnhookWindowsHookEx(hook);
    std::string figure = std::string("threads after quiet spell, +1 idle sound service, ") + device;
    row(figure, threadCount(), closedThreads + 1, "", "%.0f");
    figure = std::string("timer wake-ups per second after the quiet spell, ") + device;
    row(figure, ratePerSecond(timerLog.wakeups, start, now()), 0, "/s");
}

} // namespace

int main(int argc, char **argv) {
    // The parts to run (all when none is named): --paints, --keys, --timers.
    bool smoke = false, paints = false, keys = false, timers = false;
    const char *device = "no sound device";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0)
            smoke = true;
        else if (std::strcmp(argv[i], "--paints") == 0)
            paints = true;
        else if (std::strcmp(argv[i], "--keys") == 0)
            keys = true;
        else if (std::strcmp(argv[i], "--timers") == 0)
            timers = true;
        else if (std::strcmp(argv[i], "--device") == 0 && i + 1 < argc)
            device = argv[++i];
    }
    if (!paints && !keys && !timers)
        paints = keys = timers = true;
    const int paintCount = smoke ? 1 : 2000, presses = smoke ? 2 : 300;

    HWND window = startUp(GetModuleHandleA(nullptr));
    stopGravityTimer();
    // Both floors left of the game's window, one above the other: nothing covers a window that paints.
    HWND plainWindow = createPlainWindow(390);
    soundFloor.window = createPlainWindow(0);
    pumpFor(300);
    if (!IsWindow(window) || !IsWindow(plainWindow)) {
        fail("no window (is DISPLAY set?)");
        return 1;
    }
    setUpGame();
    if (paints) {
        Timing full, partial;
        paintsIntoBitmap(paintCount, &full, &partial, 96);
        reportPaints("a 330x375 bitmap", paintCount, full, partial);
        full = partial = {};
        paintsIntoBitmap(paintCount, &full, &partial, 192);
        reportPaints("a 660x750 bitmap at 192 DPI", paintCount, full, partial);
        full = partial = {};
        paintsIntoWindow(window, paintCount, &full, &partial);
        reportPaints("the window", paintCount, full, partial);
    }
    if (keys)
        reportKeys(window, plainWindow, presses, device);
    if (timers && !failed)
        measureTimers(smoke);
    DestroyWindow(soundFloor.window);
    DestroyWindow(plainWindow);
    DestroyWindow(window);
    return failed ? 1 : 0;
}
