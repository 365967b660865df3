// Waits for the game's main window to be shown and prints where it lies, twice: as the game sees
// it (a program that declares no DPI awareness, like this one), then as it lies on the screen:
// "seen dpi D bar M window L T W H client W H at X Y work L T R B" and "screen ..." alike.
// Where the system enlarges such a program's windows the two differ by that scale.
#include <windows.h>

#include <cstdio>

namespace {

void report(const char *view, HWND window) {
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
    std::printf("%s dpi %d bar %ld window %ld %ld %ld %ld client %ld %ld at %ld %ld work %ld %ld %ld %ld\n", view,
                GetDeviceCaps(screen, LOGPIXELSY), origin.y - outer.top + frame.top, outer.left, outer.top,
                outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom, origin.x, origin.y,
                monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom);
    ReleaseDC(nullptr, screen);
}

} // namespace

int main() {
    HWND window = nullptr;
    for (int i = 0; i < 400 && !(window && IsWindowVisible(window)); ++i) {
        Sleep(50);
        window = FindWindowA("std", " Karvel     V 1.2");
    }
    if (!window)
        return 1;
    Sleep(300); // the first paint
    report("seen", window);
    // Per-monitor aware from here on (Windows 10 1607 and later; a system without the call has no
    // scaling): the screen's own pixels and DPI.
    using SetAwareness = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);
    auto setAwareness = reinterpret_cast<SetAwareness>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    if (setAwareness)
        setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    report("screen", window);
    std::fflush(stdout);
    return 0;
}
