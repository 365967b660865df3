// Waits for the game's main window to be shown and painted, then prints where it lies, as a
// program aware of every monitor's DPI, as the game is, sees it on the screen:
// "dpi D bar M window L T W H client W H at X Y work L T R B monitor L T R B".
#include <windows.h>

#include <cstdio>

int main() {
    // Per-monitor aware (Windows 10 1607 and later; a system without the call has no scaling):
    // the screen's own pixels and DPI.
    using SetAwareness = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);
    auto setAwareness = reinterpret_cast<SetAwareness>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    if (setAwareness)
        setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    HWND window = nullptr;
    for (int i = 0; i < 1200 && !(window && IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowA("std", " Karvel     V 1.2");
    }
    if (!window)
        return 1;
    RECT outer, client, frame = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    // The menu bar as laid out: what lies between the caption and the client area. Wine answers
    // GetMenuBarInfo for another process's window with an empty rectangle.
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
    MONITORINFO monitor = {sizeof monitor, {}, {}, 0};
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    HDC screen = GetDC(nullptr);
    const RECT &w = monitor.rcWork, &m = monitor.rcMonitor;
    std::printf("dpi %d bar %ld window %ld %ld %ld %ld client %ld %ld at %ld %ld work %ld %ld %ld %ld monitor %ld %ld %ld "
                "%ld\n", GetDeviceCaps(screen, LOGPIXELSY), origin.y - outer.top + frame.top, outer.left, outer.top,
                outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom, origin.x, origin.y,
                w.left, w.top, w.right, w.bottom, m.left, m.top, m.right, m.bottom);
    ReleaseDC(nullptr, screen);
    std::fflush(stdout);
    return 0;
}
