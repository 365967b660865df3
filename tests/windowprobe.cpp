// Waits for the game's main window to be shown and prints where it lies on the screen:
// "dpi D bar M window L T W H client W H at X Y".
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
    RECT outer, client, frame = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    // The menu bar as laid out: what lies between the caption and the client area. Wine answers
    // GetMenuBarInfo for another process's window with an empty rectangle.
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
    HDC screen = GetDC(nullptr);
    std::printf("dpi %d bar %ld window %ld %ld %ld %ld client %ld %ld at %ld %ld\n",
                GetDeviceCaps(screen, LOGPIXELSY), origin.y - outer.top + frame.top, outer.left, outer.top,
                outer.right - outer.left, outer.bottom - outer.top, client.right, client.bottom, origin.x, origin.y);
    ReleaseDC(nullptr, screen);
    return 0;
}
