// Start-up, the message loop and the three front-end services on Windows.
#include "ui.h"

#include "rules/frontend.h"
#include "rules/game.h"
#include "resource.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// True from a repaint request until the window procedure has handled a paint:
// until then previousCells still names where the last paint drew the piece.
bool repaintOwed = false;

constexpr UINT kRepaintFlags = RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_ERASENOW; // 0x245
constexpr UINT_PTR kGravityTimer = 0;

HWND mainWindowHandle() { return static_cast<HWND>(game.mainWindow); }

// Larger system fonts or borders (bigger text, a taller menu bar, a window on a monitor of
// higher DPI than the system's) leave less client area in the window as created, and a small
// screen may not hold it where it was created, where Windows leaves it: grow the window by what
// the picture at the window's DPI lacks, then move it into its monitor's work area, all in the
// window's own pixels. With standard metrics on a large screen neither applies and nothing is
// changed.
void fitWindowToScreen(HWND window) {
    RECT client = {}, outer = {};
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    const SIZE picture = pictureSizeAt(windowDpi(window));
    const LONG width = outer.right - outer.left + std::max(0L, picture.cx - client.right);
    const LONG height = outer.bottom - outer.top + std::max(0L, picture.cy - client.bottom);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        monitor.rcWork = {LONG_MIN / 2, LONG_MIN / 2, LONG_MAX / 2, LONG_MAX / 2}; // no move then
    const RECT &work = monitor.rcWork;
    // Inside the work area; where it is too small, the window's top-left corner at its own.
    const LONG x = std::max(work.left, std::min(outer.left, work.right - width));
    const LONG y = std::max(work.top, std::min(outer.top, work.bottom - height));
    if (x != outer.left || y != outer.top || width != outer.right - outer.left || height != outer.bottom - outer.top)
        SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void setSoundDirectory(const char *exePath) {
    game.soundDirectory[0] = '\0';
    const char *slash = exePath ? std::strrchr(exePath, '\\') : nullptr;
    if (!slash)
        return;
    size_t length = static_cast<size_t>(slash - exePath) + 1; // the directory and its backslash
    if (length >= sizeof game.soundDirectory)
        return;
    std::memcpy(game.soundDirectory, exePath, length);
    game.soundDirectory[length] = '\0';
}

HWND startUp(HINSTANCE instance) {
    srand(static_cast<unsigned>(time(nullptr)));

    char exePath[sizeof game.soundDirectory];
    DWORD length = GetModuleFileNameA(nullptr, exePath, sizeof exePath);
    // A name that fills the whole buffer may have been cut short: no directory then.
    setSoundDirectory(length > 0 && length < sizeof exePath ? exePath : "");

    dealFirstPieces();
    layFloorRow();

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = "std";
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KARVEL));
    RegisterClassExA(&windowClass);

    // 330 x 375 at (600, 300) at 96 DPI; at another, as much larger as the player asked.
    const int dpi = systemDpi();
    const auto scaled = [dpi](int v) { return MulDiv(v, dpi, 96); };
    HWND window = CreateWindowExA(0, "std", " Karvel     V 1.2", WS_OVERLAPPEDWINDOW, scaled(600), scaled(300),
                                  scaled(330), scaled(375), nullptr, nullptr, instance, nullptr);
    game.mainWindow = window;
    fitWindowToScreen(window);
    ShowWindow(window, SW_SHOW);
    startGravityTimer();
    return window;
}

int runMessageLoop() {
    MSG message;
    int result;
    // Every message of the thread: a loop filtered on the main window would never take those of the
    // hidden windows Windows makes on a GUI thread (an input method's), and the program would hang.
    while ((result = GetMessageA(&message, nullptr, 0, 0)) == 1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return result;
}

void repaintWindow(HWND window) {
    repaintOwed = true;
    RECT client = {};
    GetClientRect(window, &client);
    RedrawWindow(window, &client, nullptr, kRepaintFlags);
}

bool repaintPending() { return repaintOwed; }

void repaintHandled() { repaintOwed = false; }

void requestRepaint() { repaintWindow(mainWindowHandle()); }

void startGravityTimer() { SetTimer(mainWindowHandle(), kGravityTimer, static_cast<UINT>(game.tickInterval), nullptr); }

void stopGravityTimer() { KillTimer(mainWindowHandle(), kGravityTimer); }
