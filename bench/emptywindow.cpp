// The floor for start-up and memory: a window of class "std", 330 by 375, that paints one rectangle.
#include <windows.h>

namespace {

// A piece's dark yellow: what the start-up benchmark waits for on screen.
const COLORREF kPaintColour = RGB(184, 184, 0);

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        HGDIOBJ brush = CreateSolidBrush(kPaintColour);
        HGDIOBJ displaced = SelectObject(dc, brush);
        Rectangle(dc, client.left, client.top, client.right, client.bottom);
        SelectObject(dc, displaced);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        PostQuitMessage(0);
        DestroyWindow(window);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "std";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "std", "Empty", WS_OVERLAPPEDWINDOW, 600, 300, 330, 375, nullptr, nullptr,
                                  instance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG message;
    int result;
    while ((result = GetMessageA(&message, window, 0, 0)) == 1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return result;
}
