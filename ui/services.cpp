// Start-up, the message loop and the three front-end services on Windows.
#include "ui.h"

#include "rules/frontend.h"
#include "rules/game.h"
#include "resource.h"

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

    HWND window = CreateWindowExA(0, "std", " Karvel     V 1.2", WS_OVERLAPPEDWINDOW, 600, 300, 330, 375,
                                  nullptr, nullptr, instance, nullptr);
    game.mainWindow = window;
    ShowWindow(window, SW_SHOW);
    startGravityTimer();
    return window;
}

int runMessageLoop() {
    MSG message;
    int result;
    while ((result = GetMessageA(&message, mainWindowHandle(), 0, 0)) == 1) {
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
