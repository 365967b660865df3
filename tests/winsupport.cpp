// Pumping, modal boxes worked from a thread timer and picture checks for the front-end tests.
#include "winsupport.h"

#include "ui/ui.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

HWND mainWindow() { return static_cast<HWND>(game.mainWindow); }

void pump(DWORD quietMs) {
    MSG message;
    for (ULONGLONG last = GetTickCount64(); GetTickCount64() - last < quietMs;) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            bool news = message.message != WM_TIMER || message.hwnd != nullptr; // not the box worker's timer
            TranslateMessage(&message);
            DispatchMessageA(&message);
            last = news ? GetTickCount64() : last;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

int msToNextTick(int limitMs) {
    MSG tick;
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < ULONGLONG(limitMs);) {
        if (PeekMessageA(&tick, mainWindow(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
            DispatchMessageA(&tick);
            return int(GetTickCount64() - start);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_TIMER);
    }
    return -1;
}

bool wholeClientInvalid() {
    RECT client = {}, invalid = {};
    return GetClientRect(mainWindow(), &client) && GetUpdateRect(mainWindow(), &invalid, FALSE) &&
           EqualRect(&client, &invalid);
}

BoxWorker boxWorker;

namespace {

UINT_PTR workerTimer;
HWND actedOn;  // the last box act ran on
int ticksOpen; // how long boxes have been open without a break, in the worker's 20 ms ticks

// Only this thread's boxes: other programs on the same Wine desktop may show the same ones.
HWND findBox(const char *title) {
    for (HWND box = nullptr; (box = FindWindowExA(nullptr, box, "#32770", title)) != nullptr;)
        if (GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId() && IsWindowVisible(box))
            return box;
    return nullptr;
}

void CALLBACK workBoxes(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = findBox(boxWorker.title), open = findBox(nullptr);
    ticksOpen = open ? ticksOpen + 1 : 0;
    if (box && box != actedOn) {
        actedOn = box;
        boxWorker.worked += 1;
        boxWorker.act(box);
    } else if (ticksOpen > 150) {
        boxWorker.stuck += 1;
        DestroyWindow(open);
    }
}

} // namespace

void startBoxWorker(const char *title, void (*act)(HWND box)) {
    boxWorker = {title, act, 0, 0};
    actedOn = nullptr;
    ticksOpen = 0;
    workerTimer = SetTimer(nullptr, 0, 20, workBoxes);
}

void stopBoxWorker() { KillTimer(nullptr, workerTimer); }

namespace {

// The client area as 0x00RRGGBB pixels, row by row from the top: what the window
// shows, or what a full repaint of the present state draws.
std::vector<uint32_t> clientPixels(HWND window, bool fullDrawing) {
    RECT client;
    GetClientRect(window, &client);
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void *bits = nullptr;
    HDC windowDc = GetDC(window), memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ displaced = SelectObject(memoryDc, bitmap);
    int saved = game.fullRepaint;
    game.fullRepaint = 1;
    if (fullDrawing)
        drawGame(memoryDc, client);
    else
        BitBlt(memoryDc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
    game.fullRepaint = saved;
    GdiFlush();
    const uint32_t *first = static_cast<const uint32_t *>(bits);
    std::vector<uint32_t> pixels(first, first + client.right * client.bottom);
    for (uint32_t &pixel : pixels) // the colour alone: GDI leaves the fourth byte undefined
        pixel &= 0xFFFFFF;
    SelectObject(memoryDc, displaced);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return pixels;
}

} // namespace

std::string staleness(HWND window) {
    std::vector<uint32_t> shown = clientPixels(window, false), full = clientPixels(window, true);
    RECT client;
    GetClientRect(window, &client);
    if (shown.size() != full.size())
        return "the client area changed size while it was taken";
    size_t wrong = 0, first = 0;
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i] != full[i] && wrong++ == 0)
            first = i;
    char text[160] = "";
    if (wrong > 0)
        std::snprintf(text, sizeof text, "%zu pixels differ from the full drawing, first at (%ld, %ld): got %06x, "
                      "expected %06x", wrong, long(first) % client.right, long(first) / client.right, shown[first],
                      full[first]);
    return text;
}
