// Tests of the paint: exact pixels in memory bitmaps, the drawing objects it uses, and a real window.
#include "ui.h"

#include "invariants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

// The real import entries behind the recording wrappers of the drawing-objects test.
extern "C" {
extern decltype(&CreatePen) __real___imp_CreatePen;
extern decltype(&CreateSolidBrush) __real___imp_CreateSolidBrush;
extern decltype(&CreateFontA) __real___imp_CreateFontA;
extern decltype(&DeleteObject) __real___imp_DeleteObject;
}

namespace {

// Larger than the main window's client area, so nothing that the paint draws is clipped.
const int kWidth = 330, kHeight = 340;
const RECT kClient = {0, 0, kWidth, kHeight};

// Pixels as a 32-bit DIB section holds them: 0x00RRGGBB.
const uint32_t kBackground = 0xD6D3CE, kFrame = 0x828282, kBlack = 0x000000;

// The bright colour of each cell value 1..7; every other value is black on black.
const uint32_t brightColours[] = {0xFF00FF, 0x00FF00, 0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FFFF, 0xFFFF00};
uint32_t brightOf(int value) { return value >= 1 && value <= 7 ? brightColours[value - 1] : kBlack; }
// The dark colour has 184 wherever the bright one has 255.
uint32_t darkOf(int value) { return brightOf(value) / 0xFF * 0xB8; }

typedef std::vector<uint32_t> Picture; // pixel (x, y) at y * kWidth + x

struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    uint32_t *bits;
    int dpi, width, height; // the client area at dpi: kWidth x kHeight scaled
};

// A memory context over a top-down 32-bit DIB, every pixel set to colour.
Canvas newCanvas(uint32_t colour = 0x123456, int dpi = 96) {
    const int width = kWidth * dpi / 96, height = kHeight * dpi / 96;
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Canvas canvas = {CreateCompatibleDC(nullptr), bitmap, static_cast<uint32_t *>(bits), dpi, width, height};
    SelectObject(canvas.dc, canvas.bitmap);
    std::fill(canvas.bits, canvas.bits + width * height, colour);
    return canvas;
}

// Deleting the context first releases the bitmap it holds.
void freeCanvas(const Canvas &canvas) {
    DeleteDC(canvas.dc);
    DeleteObject(canvas.bitmap);
}

Picture pictureOf(const Canvas &canvas) {
    GdiFlush();
    Picture picture(canvas.bits, canvas.bits + canvas.width * canvas.height);
    for (uint32_t &pixel : picture)
        pixel &= 0xFFFFFF;
    return picture;
}

// The paint's drawing on a memory canvas, as paintWindow does it between BeginPaint and EndPaint.
Picture paintOn(const Canvas &canvas) {
    drawGame(canvas.dc, {0, 0, canvas.width, canvas.height}, canvas.dpi);
    return pictureOf(canvas);
}

// "" when got equals want, else the count and the first difference.
std::string differences(const Picture &got, const Picture &want) {
    int count = 0, first = 0;
    for (int i = 0; i < kWidth * kHeight; ++i)
        if (got[i] != want[i] && count++ == 0)
            first = i;
    char text[100] = "";
    if (count > 0)
        snprintf(text, sizeof text, "%d pixels differ, first (%d,%d): got %06X expected %06X", count,
                 first % kWidth, first / kWidth, got[first], want[first]);
    return text;
}

// Sets the pixels from (x0, y0) to (x1, y1), both included, that lie in the picture.
void fillPixels(Picture &picture, int x0, int y0, int x1, int y1, uint32_t colour) {
    for (int y = std::max(y0, 0); y <= y1 && y < kHeight; ++y)
        for (int x = std::max(x0, 0); x <= x1 && x < kWidth; ++x)
            picture[y * kWidth + x] = colour;
}

// A cell whose bright 14 x 14 square starts at (x, y), with its 13 x 13 dark face one pixel in.
void fillCell(Picture &picture, int x, int y, int value) {
    fillPixels(picture, x, y, x + 13, y + 13, brightOf(value));
    fillPixels(picture, x + 1, y + 1, x + 13, y + 13, darkOf(value));
}

void fillFallingPiece(Picture &picture) {
    for (int i = 0; i < kPieceCells; ++i)
        fillCell(picture, 15 * (game.pieceColumn + game.currentShape.dx[i]) + 10,
                 15 * (game.pieceRow + game.currentShape.dy[i]) + 20, game.currentKind);
}

struct PanelStrings {
    const char *score, *lines, *level; // the three numbers as they must be drawn
};

// The picture that a full repaint of the current game must leave.
Picture expectedFullPicture(const PanelStrings &drawn) {
    Canvas canvas = newCanvas(kBackground);
    Picture picture = pictureOf(canvas);
    fillPixels(picture, 7, 17, 191, 321, kFrame); // the 2-pixel pen straddles (8, 18, 192, 322)
    fillPixels(picture, 9, 19, 189, 319, kBlack);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            fillCell(picture, 15 * c + 10, 15 * r + 20, game.board[r][c]);
    fillPixels(picture, 199, 44, 314, 229, kBlack); // the all-bits-set border colour shows black
    fillPixels(picture, 201, 46, 312, 227, kBackground);
    const PieceShape &next = game.nextShape;
    for (int i = 0; i < kPieceCells; ++i) // every ring before any cell
        fillPixels(picture, 219 + 15 * next.dx[i], 189 + 15 * next.dy[i], 234 + 15 * next.dx[i],
                   204 + 15 * next.dy[i], kBlack);
    for (int i = 0; i < kPieceCells; ++i)
        fillCell(picture, 220 + 15 * next.dx[i], 190 + 15 * next.dy[i], game.nextKind);

    // The texts, drawn the plain way: bold Arial of that height, black, transparent.
    struct TextAt { int height, x, y; const char *text; };
    std::vector<TextAt> texts = {{30, 220, 12, "Karvel"}};
    if (game.gameOver == 1)
        texts.insert(texts.end(), {{30, 240, 270, "GAME"}, {30, 240, 290, "OVER"}});
    texts.insert(texts.end(), {{20, 205, 50, "Score:"}, {20, 205, 90, "Lignes:"}, {20, 205, 65, drawn.score},
                               {20, 205, 110, drawn.lines}, {20, 205, 140, drawn.level}, {20, 205, 170, "Suivant:"}});
    std::copy(picture.begin(), picture.end(), canvas.bits);
    SetBkMode(canvas.dc, TRANSPARENT);
    for (const TextAt &t : texts) {
        HFONT font = CreateFontA(t.height, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        HGDIOBJ displaced = SelectObject(canvas.dc, font);
        TextOutA(canvas.dc, t.x, t.y, t.text, lstrlenA(t.text));
        SelectObject(canvas.dc, displaced);
        DeleteObject(font);
        // Equal pictures would prove nothing about a text that neither side can draw.
        Picture withText = pictureOf(canvas);
        EXPECT_NE(differences(withText, picture), "") << "\"" << t.text << "\" drew no pixel";
        picture = withText;
    }
    freeCanvas(canvas);
    fillFallingPiece(picture);
    return picture;
}

// A new game at level with known pieces, the falling one at its entry place.
void startGame(int level, PieceKind current, PieceKind next) {
    newGame(level);
    layFloorRow();
    game.currentKind = current;
    game.currentShape = shapeOfKind(current);
    game.nextKind = next;
    game.nextShape = shapeOfKind(next);
    game.fullRepaint = 1;
    std::fill_n(game.textBuffer, sizeof game.textBuffer - 1, 'x'); // stale scratch must not matter
}

void recordPreviousCells() {
    for (int i = 0; i < kPieceCells; ++i) {
        game.previousCells.column[i] = game.pieceColumn + game.currentShape.dx[i];
        game.previousCells.row[i] = game.pieceRow + game.currentShape.dy[i];
    }
}

// ---- Full repaint ----

struct Scene {
    const char *name;
    int level, current, next, score, lines, gameOver, flag;
    int landedFrom; // board rows from here down hold the values -2..9, column by column
    bool turned;    // the piece turned once: a cell at row -1, drawn over the frame without bounds test
    PanelStrings drawn;
};

const Scene scenes[] = {
    // name                          level cur next score   lines over flag landed turned drawn numbers
    {"new game at level 1",              1, 3, 5, 0,       0,   0, 1,  20, false, {"> 0", "> 0", "Niveau: 1"}},
    {"every value, piece over cells",   10, 7, 2, 15,      3,   0, 1,  0,  false, {"> 15", "> 3", "Niveau: 10"}},
    {"game over, large numbers",         0, 1, 6, 1234567, 180, 1, 1,  10, false, {"> 1234567", "> 180", "Niveau: 0"}},
    {"turned piece, flag 2",             1, 6, 7, 0,       0,   0, 2,  20, true,  {"> 0", "> 0", "Niveau: 1"}},
    {"kinds outside 1..7, flag -1, over 2", 2, 9, -1, 0,   0,   2, -1, 20, false, {"> 0", "> 0", "Niveau: 2"}},
    {"falling kind 2, next 1",           1, 2, 1, 0,       0,   0, 1,  20, false, {"> 0", "> 0", "Niveau: 1"}},
    {"falling kind 4 turned, next 3",    1, 4, 3, 0,       0,   0, 1,  20, true,  {"> 0", "> 0", "Niveau: 1"}},
    {"falling kind 5, next 4",           1, 5, 4, 0,       0,   0, 1,  20, false, {"> 0", "> 0", "Niveau: 1"}},
};

TEST(FullRepaint, EverySceneMatchesTheExpectedPicture) {
    for (const Scene &s : scenes) {
        startGame(s.level, s.current, s.next);
        for (int r = s.landedFrom; r < kRows; ++r)
            for (int c = 0; c < kColumns; ++c)
                game.board[r][c] = c - 2;
        if (s.turned)
            game.currentShape = turned(game.currentShape);
        game.score = s.score;
        game.lines = s.lines;
        game.gameOver = s.gameOver;
        game.fullRepaint = s.flag;
        Canvas canvas = newCanvas(); // not the background colour: every pixel must be painted
        Picture got = paintOn(canvas);
        freeCanvas(canvas);
        EXPECT_EQ(differences(got, expectedFullPicture(s.drawn)), "") << s.name;
        EXPECT_EQ(game.fullRepaint, s.flag) << s.name << ": only paintWindow sets the flag";
        // Beyond the 320 x 322 picture, which start-up fits the window to, nothing but background.
        for (int i = 0; i < kWidth * kHeight; ++i)
            if (i % kWidth >= 320 || i / kWidth >= 322) {
                ASSERT_EQ(got[i], kBackground) << s.name << " at (" << i % kWidth << "," << i / kWidth << ")";
            }
    }
}

// A few pixels at fixed places, independent of the expected-picture builder.
TEST(FullRepaint, FixedPixelsOfFrameCellsPanelAndPreview) {
    struct PixelAt { int x, y; uint32_t colour; const char *what; };
    // Board (0, 0) holds 4, board (11, 19) holds 5; the next piece is the square, kind 4.
    const PixelAt anchors[] = {
        {6, 100, kBackground, "left of the frame"},           {7, 100, kFrame, "frame, left"},
        {9, 100, kBlack, "well interior"},                    {191, 100, kFrame, "frame, right"},
        {10, 20, 0xFFFFFF, "cell (0,0) bright, top-left"},    {23, 20, 0xFFFFFF, "cell (0,0) bright, top-right"},
        {10, 33, 0xFFFFFF, "cell (0,0) bright, bottom-left"}, {23, 33, 0xB8B8B8, "cell (0,0) dark, bottom-right"},
        {24, 25, kBlack, "gap column after cell (0,0)"},      {15, 34, kBlack, "gap row below cell (0,0)"},
        {175, 305, 0xFF0000, "cell (11,19) bright"},          {188, 318, 0xB80000, "cell (11,19) dark"},
        {174, 310, kBlack, "gap before cell (11,19)"},        {219, 189, kBlack, "preview ring of cell (0,0)"},
        {220, 190, 0xFFFFFF, "preview cell (0,0) bright"},    {221, 191, 0xB8B8B8, "preview cell (0,0) dark"},
    };
    startGame(1, 2, 4);
    game.board[0][0] = 4;
    game.board[19][11] = 5;
    Canvas canvas = newCanvas();
    Picture got = paintOn(canvas);
    freeCanvas(canvas);
    for (const PixelAt &p : anchors)
        EXPECT_EQ(got[p.y * kWidth + p.x], p.colour) << p.what << " at (" << p.x << "," << p.y << ")";
}

// ---- Partial repaint ----

struct Move {
    const char *name;
    void (*act)();
    bool refused; // the piece stays where it is
};

const Move moves[] = {
    {"left", [] { game.pieceColumn -= 1; }, false},
    {"right, beside landed cells", [] { game.pieceColumn += 1; }, false},
    {"one row down", [] { game.pieceRow += 1; }, false},
    {"turn", [] { game.currentShape = turned(game.currentShape); }, false},
    {"refused: the piece stays", [] {}, true},
    {"panel, preview and board changed: not shown",
     [] {
         game.score = 999;
         game.gameOver = 1;
         game.nextKind = 7;
         game.board[19][0] = 3;
         game.pieceRow += 1;
     },
     false},
};

// Kind 5 with its pivot at (6, 8), among and over landed cells of every colour.
void setUpPartialScene() {
    startGame(3, 5, 1);
    game.pieceRow = 8;
    for (int r = 7; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            game.board[r][c] = (r * 3 + c) % 8;
}

// The expected picture is the one before, with only the four old 15 x 15 blocks
// blackened and the four new cells drawn: every other pixel must be unchanged.
TEST(PartialRepaint, ErasesTheOldCellsAndDrawsThePieceAndNothingElse) {
    for (const Move &move : moves) {
        setUpPartialScene();
        Canvas canvas = newCanvas();
        const Picture before = paintOn(canvas);
        recordPreviousCells();
        move.act();
        game.fullRepaint = 0;
        Picture got = paintOn(canvas);
        Picture want = before;
        for (int i = 0; i < kPieceCells; ++i) {
            int x = 15 * game.previousCells.column[i] + 10, y = 15 * game.previousCells.row[i] + 20;
            fillPixels(want, x, y, x + 14, y + 14, kBlack);
        }
        fillFallingPiece(want);
        EXPECT_EQ(differences(got, want), "") << move.name;
        EXPECT_TRUE(!move.refused || got == before) << move.name << ": the picture must stay as it was";
        freeCanvas(canvas);
    }
}

// ---- Drawing objects ----

// The link (paint.cmake) points this program's imports of four GDI functions at the recording
// wrappers below, so the paint's own calls pass through them unchanged: this checks deletion
// where GetGuiResources cannot (Wine).
struct ObjectLog {
    bool recording;
    HDC dc;                  // the context painted on
    int created[16];         // by object type: OBJ_PEN, OBJ_BRUSH, OBJ_FONT, ...
    std::set<HGDIOBJ> alive; // created while recording, not yet deleted
    std::string fault;       // the first misuse seen
};

ObjectLog objectLog;
std::vector<int> fontHeights; // of the fonts created while recording

template <typename Object> Object noteCreated(Object object) {
    if (objectLog.recording) {
        ++objectLog.created[GetObjectType(object)];
        objectLog.alive.insert(object);
    }
    return object;
}

HPEN WINAPI recordCreatePen(int s, int w, COLORREF c) { return noteCreated(__real___imp_CreatePen(s, w, c)); }

HBRUSH WINAPI recordCreateSolidBrush(COLORREF colour) { return noteCreated(__real___imp_CreateSolidBrush(colour)); }

HFONT WINAPI recordCreateFontA(int h, int w, int esc, int ori, int weight, DWORD it, DWORD ul, DWORD so, DWORD cs,
                               DWORD op, DWORD cp, DWORD q, DWORD pf, LPCSTR face) {
    if (objectLog.recording)
        fontHeights.push_back(h);
    return noteCreated(__real___imp_CreateFontA(h, w, esc, ori, weight, it, ul, so, cs, op, cp, q, pf, face));
}

BOOL WINAPI recordDeleteObject(HGDIOBJ object) {
    if (objectLog.recording) {
        if (GetCurrentObject(objectLog.dc, GetObjectType(object)) == object && objectLog.fault.empty())
            objectLog.fault = "deleted an object while it was current";
        objectLog.alive.erase(object);
    }
    return __real___imp_DeleteObject(object);
}

// Full: two pens and two brushes for each of the 240 cells; one of each for the
// background, the frame, the side panel, the three preview passes and the two piece
// passes; two fonts. Partial: a brush for each erased cell, and the piece's two passes.
TEST(DrawingObjects, ThousandPaintsDeleteEveryObjectAfterRestoringTheDisplacedOne) {
    Canvas canvas = newCanvas();
    const UINT kinds[] = {OBJ_PEN, OBJ_BRUSH, OBJ_FONT};
    const HGDIOBJ defaults[] = {GetCurrentObject(canvas.dc, OBJ_PEN), GetCurrentObject(canvas.dc, OBJ_BRUSH),
                                GetCurrentObject(canvas.dc, OBJ_FONT)};
    startGame(1, 1, 2);
    for (int paint = 0; paint < 1000; ++paint) {
        // Every fourth paint is full; the piece wanders about the well, turning now and then.
        bool full = paint % 4 == 0;
        recordPreviousCells();
        game.pieceColumn = 2 + paint % 8;
        game.pieceRow = 1 + paint % 17;
        if (paint % 3 == 0)
            game.currentShape = turned(game.currentShape);
        game.gameOver = paint / 4 % 2;
        game.fullRepaint = full ? 1 : 0;
        objectLog = {true, canvas.dc, {}, {}, ""};
        drawGame(canvas.dc, kClient);
        objectLog.recording = false;
        const int want[3] = {full ? 488 : 2, full ? 488 : 6, full ? 2 : 0};
        const char *what = full ? "full repaint " : "partial repaint ";
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(objectLog.created[kinds[k]], want[k]) << what << paint << ": objects of type " << kinds[k];
            ASSERT_EQ(GetCurrentObject(canvas.dc, kinds[k]), defaults[k])
                << what << paint << ": the context's own object of type " << kinds[k] << " is not current again";
        }
        ASSERT_EQ(objectLog.alive.size(), 0u) << what << paint << ": objects not deleted";
        ASSERT_EQ(objectLog.fault, "") << what << paint;
    }
    freeCanvas(canvas);
}

// ---- At other DPIs ----

// At 192 DPI each pixel left of the side panel (the background, the frame and every cell) is its
// 96-DPI pixel doubled, for a full repaint and for the partial one after it; at 144 each is the
// colour of its 96-DPI pixel or, where the 1.5 scale rounds an edge, of a neighbour. The whole
// client area is painted, and the fonts have the scaled heights.
TEST(ScaledRepaint, LeftOfThePanelThePictureIsThe96DpiOneScaled) {
    for (int dpi : {192, 144}) {
        setUpPartialScene();
        Canvas small = newCanvas(), large = newCanvas(0x123456, dpi);
        for (bool partial : {false, true}) {
            if (partial) {
                recordPreviousCells();
                game.pieceColumn -= 1;
                game.fullRepaint = 0;
            }
            const Picture want = paintOn(small);
            objectLog = {!partial, large.dc, {}, {}, ""};
            fontHeights.clear();
            const Picture got = paintOn(large);
            objectLog.recording = false;
            if (!partial) {
                EXPECT_EQ(fontHeights, (std::vector<int>{30 * dpi / 96, 20 * dpi / 96})) << dpi << " DPI";
                EXPECT_EQ(std::count(got.begin(), got.end(), 0x123456u), 0) << dpi << " DPI: pixels left unpainted";
            }
            int wrong = 0;
            std::string first;
            for (int y = 0; y < large.height; ++y) {
                for (int x = 0; x < 199 * dpi / 96; ++x) {
                    const int x96 = x * 96 / dpi, y96 = y * 96 / dpi, slack = dpi % 96 ? 1 : 0;
                    bool found = false;
                    for (int dy = -slack; dy <= slack && !found; ++dy)
                        for (int dx = -slack; dx <= slack && !found; ++dx)
                            found = y96 + dy >= 0 && y96 + dy < kHeight && x96 + dx >= 0 &&
                                    want[(y96 + dy) * kWidth + x96 + dx] == got[y * large.width + x];
                    if (!found && wrong++ == 0)
                        first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
                }
            }
            EXPECT_EQ(wrong, 0) << dpi << " DPI, " << (partial ? "partial" : "full") << " repaint: first at " << first;
        }
        freeCanvas(small);
        freeCanvas(large);
    }
}

// ---- The real window ----

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT)
        paintWindow(window);
    // As in the main window nothing is erased: the partial repaint needs the last paint's pixels.
    if (message == WM_PAINT || message == WM_ERASEBKGND)
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

// Needs an X display (DISPLAY) under Wine: without one no window can be created.
TEST(PaintWindow, RealWindowShowsWhatTheMemoryDrawingShowsAndResetsTheFlag) {
    WNDCLASSA windowClass = {0, testWindowProc, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr,
                             "paintTestWindow"};
    RegisterClassA(&windowClass);
    setUpPartialScene();
    game.fullRepaint = 2;
    HWND window = CreateWindowExA(0, "paintTestWindow", "paint test", WS_POPUP | WS_VISIBLE, 40, 40, kWidth,
                                  kHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr) << "no window: is DISPLAY set to a running X server?";
    Canvas memory = newCanvas();

    // The first paint: full, and the flag is 1 afterwards.
    UpdateWindow(window);
    EXPECT_EQ(game.fullRepaint, 1) << "after a full paint";
    paintOn(memory);

    // A move: a partial repaint through BeginPaint's context, then the flag is 1 again; the
    // whole picture, full repaint and partial, must be what the same drawing in memory gives.
    recordPreviousCells();
    game.pieceColumn -= 1;
    game.fullRepaint = 0;
    Picture afterMove = paintOn(memory);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(game.fullRepaint, 1) << "after a partial paint";
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "the paint leaves the window validated";
    HDC windowDc = GetDC(window);
    BitBlt(memory.dc, 0, 0, kWidth, kHeight, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDc);
    EXPECT_EQ(differences(pictureOf(memory), afterMove), "") << "full and partial repaint of the window";

    freeCanvas(memory);
    DestroyWindow(window);
    UnregisterClassA("paintTestWindow", windowClass.hInstance);
}

} // namespace

// What the link puts in place of the four imports.
extern "C" {
decltype(&CreatePen) __wrap___imp_CreatePen = recordCreatePen;
decltype(&CreateSolidBrush) __wrap___imp_CreateSolidBrush = recordCreateSolidBrush;
decltype(&CreateFontA) __wrap___imp_CreateFontA = recordCreateFontA;
decltype(&DeleteObject) __wrap___imp_DeleteObject = recordDeleteObject;
}
