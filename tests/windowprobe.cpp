// Waits for the game's main window to be shown and prints where it lies on the screen:
// "dpi D menu M window L T R B client W H at X Y work L T R B".
#include <windows.h>

#include <cstdio>

int main() {
    HWND window = nullptr;
    for (int i = 0; i < 400 && !(window && IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowA("std", " Karvel     V 1.2");
    }
    if (!window)
        return 1;
    Sleep(300); // the first paint
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    HDC screen = GetDC(nullptr);
    const RECT &w = monitor.rcWork;
    std::printf("dpi %d menu %d window %ld %ld %ld %ld client %ld %ld at %ld %ld work %ld %ld %ld %ld\n",
                GetDeviceCaps(screen, LOGPIXELSY), GetSystemMetrics(SM_CYMENU), outer.left, outer.top,
                outer.right, outer.bottom, client.right, client.bottom, origin.x, origin.y, w.left, w.top,
                w.right, w.bottom);
    ReleaseDC(nullptr, screen);
    return 0;
}
