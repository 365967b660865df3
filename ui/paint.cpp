// Painting the main window: the well with its cells, the falling piece and the side panel.
#include "ui.h"

#include "../rules/game.h"

#include <cstdio>

namespace {

const COLORREF backgroundColour = RGB(214, 211, 206);
const COLORREF frameColour = RGB(130, 130, 130);
const COLORREF black = RGB(0, 0, 0);
// Black on every platform: the all-bits-set value the border once had names no colour,
// and systems differ on what they show for it.
const COLORREF panelBorderColour = RGB(0, 0, 0);

struct CellColours {
    COLORREF bright;
    COLORREF dark;
};

// Indexed by cell value; every value outside 1..7 gets row 0.
const CellColours cellColours[] = {
    //  bright                dark                   value
    {RGB(0, 0, 0),       RGB(0, 0, 0)},       // 0  empty
    {RGB(255, 0, 255),   RGB(184, 0, 184)},   // 1
    {RGB(0, 255, 0),     RGB(0, 184, 0)},     // 2
    {RGB(0, 0, 255),     RGB(0, 0, 184)},     // 3
    {RGB(255, 255, 255), RGB(184, 184, 184)}, // 4
    {RGB(255, 0, 0),     RGB(184, 0, 0)},     // 5
    {RGB(0, 255, 255),   RGB(0, 184, 184)},   // 6
    {RGB(255, 255, 0),   RGB(184, 184, 0)},   // 7
};
static_assert(sizeof cellColours / sizeof cellColours[0] == 8, "one pair per cell value 0..7");

CellColours coloursOfValue(int value) { return cellColours[value >= 1 && value <= 7 ? value : 0]; }

struct FontSpec {
    int height; // whole character cell, internal leading included
    int weight;
    const char *face;
};

const FontSpec titleFont = {30, FW_BOLD, "Arial"};
const FontSpec panelFont = {20, FW_BOLD, "Arial"};

// The paint's scale. Every figure of this file is a pixel at 96 DPI; scaled() alone turns it
// into the window's pixels at its DPI, so a cell covers whole pixels at any scale and its
// squares tile as they do at 96 (at 1.5, neighbouring cells differ by one pixel). Edges are
// scaled rather than a mapping mode set: how a transformed pen's width is rounded differs
// between systems, and the picture must not. At 96 every figure stands as it is.
int paintDpi = 96;

int scaledTo(int dpi, int v) { return dpi == 96 ? v : MulDiv(v, dpi, 96); }
int scaled(int v) { return scaledTo(paintDpi, v); }

// Cell geometry: a cell's origin is the top-left pixel of its bright square;
// the well's origin is that of cell (0, 0), the preview's that of offset (0, 0).
const int kCellPitch = 15;
const POINT wellOrigin = {10, 20};
const POINT previewOrigin = {220, 190};

// The two outlines, drawn with a 2-pixel pen that covers the rectangle's last row and column.
const RECT wellFrame = {8, 18, 192, 322};
const RECT sidePanel = {200, 45, 315, 230};

enum CellSquare { BrightSquare, DarkSquare, EraseSquare, OutlineSquare };

struct SquareEdges {
    int left, top, right, bottom; // from the cell's origin; right and bottom excluded
};

const SquareEdges squareEdges[] = {
    // left top right bottom     square
    {0, 0, 14, 14},    // BrightSquare: 14 x 14, its top and left rows stay bright
    {1, 1, 14, 14},    // DarkSquare: 13 x 13
    {0, 0, 15, 15},    // EraseSquare: 15 x 15, the gap lines included
    {-1, -1, 15, 15},  // OutlineSquare: 16 x 16, the preview's black ring
};
static_assert(sizeof squareEdges / sizeof squareEdges[0] == OutlineSquare + 1, "one row per CellSquare");

// The one place that turns a cell position into pixels, for the well, the
// falling piece, the erase and the preview alike.
RECT cellRect(POINT origin, int column, int row, CellSquare square) {
    const SquareEdges &e = squareEdges[square];
    int x = origin.x + kCellPitch * column;
    int y = origin.y + kCellPitch * row;
    return {x + e.left, y + e.top, x + e.right, y + e.bottom};
}

void drawRect(HDC dc, const RECT &r) {
    Rectangle(dc, scaled(r.left), scaled(r.top), scaled(r.right), scaled(r.bottom));
}

// Drawing objects: a created object is made current, keeping the one it
// displaced; putDown makes that one current again before deleting ours.
struct Held {
    HDC dc;
    HGDIOBJ created;
    HGDIOBJ displaced;
};

Held pickUp(HDC dc, HGDIOBJ created) { return {dc, created, SelectObject(dc, created)}; }

void putDown(const Held &held) {
    SelectObject(held.dc, held.displaced);
    DeleteObject(held.created);
}

struct PenAndBrush {
    Held pen;
    Held brush;
};

PenAndBrush pickUpPenAndBrush(HDC dc, int penWidth, COLORREF penColour, COLORREF brushColour) {
    return {pickUp(dc, CreatePen(PS_SOLID, penWidth, penColour)), pickUp(dc, CreateSolidBrush(brushColour))};
}

void putDown(const PenAndBrush &tools) {
    putDown(tools.brush);
    putDown(tools.pen);
}

Held pickUpFont(HDC dc, const FontSpec &font) {
    return pickUp(dc, CreateFontA(scaled(font.height), 0, 0, 0, font.weight, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0,
                                  font.face));
}

// One rectangle with a pen of penWidth pixels and a brush, then both put down.
void drawFixedRect(HDC dc, const RECT &r, int penWidth, COLORREF penColour, COLORREF brushColour) {
    if (penWidth == 2 && paintDpi != 96) {
        // The 2-pixel pen straddles the outline, one pixel out and one in. Scaled, that ring is
        // drawn as the solid block it encloses, then the interior over it: each a whole number of
        // pixels wide, where a wider pen would be rounded each system's way.
        drawFixedRect(dc, {r.left - 1, r.top - 1, r.right, r.bottom}, 1, penColour, penColour);
        if (brushColour != penColour)
            drawFixedRect(dc, {r.left + 1, r.top + 1, r.right - 2, r.bottom - 2}, 1, brushColour, brushColour);
        return;
    }
    PenAndBrush tools = pickUpPenAndBrush(dc, penWidth, penColour, brushColour);
    drawRect(dc, r);
    putDown(tools);
}

// One square of each of four cells, all with one pen and one brush of colour.
void drawSquaresOfCells(HDC dc, POINT origin, const PieceCells &cells, CellSquare square, COLORREF colour) {
    PenAndBrush tools = pickUpPenAndBrush(dc, 1, colour, colour);
    for (int i = 0; i < kPieceCells; ++i)
        drawRect(dc, cellRect(origin, cells.column[i], cells.row[i], square));
    putDown(tools);
}

const int kWholeText = -1; // the text goes through textBuffer and is drawn with its whole length

struct ScreenText {
    int x, y;          // top-left corner of the first character cell
    const char *text;  // the text, or the format of value
    const int *value;  // formatted into the text when not null
    int characters;    // how many characters to draw, or kWholeText
};

const ScreenText titleText = {220, 12, "Karvel", nullptr, kWholeText};

const ScreenText gameOverTexts[] = {
    // x    y    text    value    characters
    {240, 270, "GAME", nullptr, 4},
    {240, 290, "OVER", nullptr, 4},
};

const ScreenText panelTexts[] = {
    // x    y    text          value          characters
    {205, 50,  "Score:",     nullptr,      6},
    {205, 90,  "Lignes:",    nullptr,      7},
    {205, 65,  "> %d",       &game.score,  kWholeText},
    {205, 110, "> %d",       &game.lines,  kWholeText},
    {205, 140, "Niveau: %d", &game.level,  kWholeText},
    {205, 170, "Suivant:  ", nullptr,      10},
};

void drawText(HDC dc, const ScreenText &t) {
    if (t.characters != kWholeText) {
        TextOutA(dc, scaled(t.x), scaled(t.y), t.text, t.characters);
        return;
    }
    // The C runtime's own formatting, already imported from msvcrt.dll: the standard
    // snprintf would link a second printf of about 20 KB into the exe. It does not end a
    // cut text, so the last byte stays a terminator.
    const size_t room = sizeof game.textBuffer - 1;
    if (t.value)
        _snprintf(game.textBuffer, room, t.text, *t.value);
    else
        _snprintf(game.textBuffer, room, "%s", t.text);
    game.textBuffer[room] = '\0';
    TextOutA(dc, scaled(t.x), scaled(t.y), game.textBuffer, lstrlenA(game.textBuffer));
}

void drawWellCells(HDC dc) {
    for (int c = 0; c < kColumns; ++c) {
        for (int r = 0; r < kRows; ++r) {
            // Empty cells too, black on black: each cell has its own pens and brushes.
            CellColours colours = coloursOfValue(game.board[r][c]);
            drawFixedRect(dc, cellRect(wellOrigin, c, r, BrightSquare), 1, colours.bright, colours.bright);
            drawFixedRect(dc, cellRect(wellOrigin, c, r, DarkSquare), 1, colours.dark, colours.dark);
        }
    }
}

void drawPreview(HDC dc) {
    CellColours colours = coloursOfValue(game.nextKind);
    PieceCells offsets;
    for (int i = 0; i < kPieceCells; ++i) {
        offsets.column[i] = game.nextShape.dx[i];
        offsets.row[i] = game.nextShape.dy[i];
    }
    // The rings first, so that they fill the gaps between neighbouring cells.
    drawSquaresOfCells(dc, previewOrigin, offsets, OutlineSquare, black);
    drawSquaresOfCells(dc, previewOrigin, offsets, BrightSquare, colours.bright);
    drawSquaresOfCells(dc, previewOrigin, offsets, DarkSquare, colours.dark);
}

void drawFullRepaint(HDC dc, const RECT &client) {
    Held font = pickUpFont(dc, titleFont);
    SetBkMode(dc, TRANSPARENT);
    // The client area is in the window's pixels: in the paint's, rounded out, it covers it all.
    const RECT background = paintDpi == 96 ? client : RECT{client.left, client.top,
        MulDiv(client.right, 96, paintDpi) + 1, MulDiv(client.bottom, 96, paintDpi) + 1};
    drawFixedRect(dc, background, 2, backgroundColour, backgroundColour);
    drawFixedRect(dc, wellFrame, 2, frameColour, black);
    drawWellCells(dc);
    drawText(dc, titleText);
    if (game.gameOver == 1) {
        for (const ScreenText &t : gameOverTexts)
            drawText(dc, t);
    }
    drawFixedRect(dc, sidePanel, 2, panelBorderColour, backgroundColour);
    putDown(font);

    font = pickUpFont(dc, panelFont);
    for (const ScreenText &t : panelTexts)
        drawText(dc, t);
    drawPreview(dc);
    putDown(font);
}

// Blackens the piece's old cells with the context's own pen (solid black, one pixel).
void drawPartialRepaint(HDC dc) {
    for (int i = 0; i < kPieceCells; ++i) {
        Held brush = pickUp(dc, CreateSolidBrush(black));
        drawRect(dc, cellRect(wellOrigin, game.previousCells.column[i], game.previousCells.row[i], EraseSquare));
        putDown(brush);
    }
}

} // namespace

// What a full repaint draws ends at the frame's bottom row and, at a game over, at the last
// column of "GAME" (319 in the title font; "OVER" ends at 315), right of the panel's border.
SIZE pictureSizeAt(int dpi) { return {scaledTo(dpi, 320), scaledTo(dpi, wellFrame.bottom)}; }

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

namespace {

// The per-monitor calls, looked up once on the window's thread (a guarded static would link a
// thread library), so that the exe still starts where they are missing: GetDpiForWindow from
// Windows 10 (1607), GetDpiForMonitor from 8.1 (shcore.dll).
using DpiForWindow = UINT(WINAPI *)(HWND);
using DpiForMonitor = HRESULT(WINAPI *)(HMONITOR, int, UINT *, UINT *);
bool dpiCallsLookedUp = false;
DpiForWindow dpiForWindow = nullptr;
DpiForMonitor dpiForMonitor = nullptr;

FARPROC lookUp(HMODULE module, const char *name) { return module ? GetProcAddress(module, name) : nullptr; }

void lookUpDpiCalls() {
    dpiCallsLookedUp = true;
    dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void *>(lookUp(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (!dpiForWindow)
        dpiForMonitor = reinterpret_cast<DpiForMonitor>(
            reinterpret_cast<void *>(lookUp(LoadLibraryA("shcore.dll"), "GetDpiForMonitor")));
}

} // namespace

int windowDpi(HWND window) {
    if (!dpiCallsLookedUp)
        lookUpDpiCalls();
    UINT dpi = dpiForWindow ? dpiForWindow(window) : 0, dpiY = 0; // 0: the monitor's effective DPI
    if (!dpi && dpiForMonitor &&
        dpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0, &dpi, &dpiY) != S_OK)
        dpi = 0;
    return dpi ? int(dpi) : systemDpi();
}

void drawGame(HDC dc, const RECT &client, int dpi) {
    paintDpi = dpi;
    if (game.fullRepaint != 0)
        drawFullRepaint(dc, client);
    else
        drawPartialRepaint(dc);

    // Drawn over whatever is there, without bounds tests: the rules keep it inside the well.
    CellColours colours = coloursOfValue(game.currentKind);
    PieceCells piece = fallingPieceCells();
    drawSquaresOfCells(dc, wellOrigin, piece, BrightSquare, colours.bright);
    drawSquaresOfCells(dc, wellOrigin, piece, DarkSquare, colours.dark);
}

void paintWindow(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    drawGame(dc, client, windowDpi(window));
    EndPaint(window, &paint);
    game.fullRepaint = 1;
}
