// Tests of the paint: exact pixels in memory bitmaps, the drawing objects it uses, and a real window.
#include "ui.h"

#include "rules/game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// Larger than the main window's client area, so nothing that the paint draws is clipped.
const int kWidth = 330, kHeight = 340;
const RECT kClient = {0, 0, kWidth, kHeight};

// Pixels as a 32-bit DIB section holds them: 0x00RRGGBB.
const uint32_t kBackground = 0xD6D3CE, kFrame = 0x828282, kBlack = 0x000000;

struct ColourPair {
    int value;
    uint32_t bright, dark;
};

const ColourPair colourPairs[] = {
    // value bright    dark         value bright    dark
    {0, 0x000000, 0x000000},        {1, 0xFF00FF, 0xB800B8},
    {2, 0x00FF00, 0x00B800},        {3, 0x0000FF, 0x0000B8},
    {4, 0xFFFFFF, 0xB8B8B8},        {5, 0xFF0000, 0xB80000},
    {6, 0x00FFFF, 0x00B8B8},        {7, 0xFFFF00, 0xB8B800},
    {8, 0x000000, 0x000000},        {9, 0x000000, 0x000000}, // outside 1..7: black
    {-1, 0x000000, 0x000000},       {1000, 0x000000, 0x000000},
};

ColourPair pairOf(int value) {
    for (const ColourPair &pair : colourPairs)
        if (pair.value == value)
            return pair;
    return {value, kBlack, kBlack};
}

// ---- Bitmaps ----

typedef std::vector<uint32_t> Picture; // pixel (x, y) at y * kWidth + x

struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ displaced;
    uint32_t *bits;
};

// A memory context over a top-down 32-bit DIB, every pixel set to colour.
Canvas newCanvas(uint32_t colour = 0x123456) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Canvas canvas = {dc, bitmap, SelectObject(dc, bitmap), static_cast<uint32_t *>(bits)};
    std::fill(canvas.bits, canvas.bits + kWidth * kHeight, colour);
    return canvas;
}

void freeCanvas(const Canvas &canvas) {
    SelectObject(canvas.dc, canvas.displaced);
    DeleteObject(canvas.bitmap);
    DeleteDC(canvas.dc);
}

Picture pictureOf(const Canvas &canvas) {
    GdiFlush();
    Picture picture(canvas.bits, canvas.bits + kWidth * kHeight);
    for (uint32_t &pixel : picture)
        pixel &= 0xFFFFFF;
    return picture;
}

uint32_t at(const Picture &picture, int x, int y) { return picture[y * kWidth + x]; }

// The paint's drawing on a memory canvas, as paintWindow does it between BeginPaint and EndPaint.
Picture paintOn(const Canvas &canvas) {
    drawGame(canvas.dc, kClient);
    return pictureOf(canvas);
}

// "" when got equals want inside region, else the count and the first few differences.
std::string differences(const Picture &got, const Picture &want, const RECT &region = kClient) {
    int count = 0;
    std::string first;
    for (int y = region.top; y < region.bottom; ++y) {
        for (int x = region.left; x < region.right; ++x) {
            if (at(got, x, y) != at(want, x, y) && ++count <= 4) {
                char line[80];
                snprintf(line, sizeof line, " (%d,%d) got %06X expected %06X;", x, y, at(got, x, y), at(want, x, y));
                first += line;
            }
        }
    }
    return count == 0 ? "" : std::to_string(count) + " pixels differ:" + first;
}

// Pixels inside region that are not the background: the ink of texts there.
int inkIn(const Picture &picture, const RECT &region) {
    int count = 0;
    for (int y = region.top; y < region.bottom; ++y)
        for (int x = region.left; x < region.right; ++x)
            count += at(picture, x, y) != kBackground;
    return count;
}

// ---- Expected pictures, built pixel by pixel; spans are inclusive ----

void fillPixels(Picture &picture, int x0, int y0, int x1, int y1, uint32_t colour) {
    for (int y = y0 < 0 ? 0 : y0; y <= y1 && y < kHeight; ++y)
        for (int x = x0 < 0 ? 0 : x0; x <= x1 && x < kWidth; ++x)
            picture[y * kWidth + x] = colour;
}

// A cell whose bright 14 x 14 square starts at (x, y), with its 13 x 13 dark face one pixel in.
void fillCell(Picture &picture, int x, int y, const ColourPair &pair) {
    fillPixels(picture, x, y, x + 13, y + 13, pair.bright);
    fillPixels(picture, x + 1, y + 1, x + 13, y + 13, pair.dark);
}

void fillWellCell(Picture &picture, int column, int row, const ColourPair &pair) {
    fillCell(picture, 15 * column + 10, 15 * row + 20, pair);
}

void fillFallingPiece(Picture &picture) {
    for (int i = 0; i < kPieceCells; ++i)
        fillWellCell(picture, game.pieceColumn + game.currentShape.dx[i], game.pieceRow + game.currentShape.dy[i],
                     pairOf(game.currentKind));
}

struct TextAt {
    int height; // 30 for the title font, 20 for the panel font
    int x, y;
    std::string text;
};

// The texts drawn the plain way: bold Arial of that height, black, transparent.
void drawReferenceTexts(HDC dc, const std::vector<TextAt> &texts) {
    SetBkMode(dc, TRANSPARENT);
    for (const TextAt &t : texts) {
        HFONT font = CreateFontA(t.height, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
        HGDIOBJ displaced = SelectObject(dc, font);
        TextOutA(dc, t.x, t.y, t.text.c_str(), static_cast<int>(t.text.size()));
        SelectObject(dc, displaced);
        DeleteObject(font);
    }
}

struct PanelStrings {
    const char *score, *lines, *level;
};

std::vector<TextAt> textsOfFullRepaint(const PanelStrings &s) {
    std::vector<TextAt> texts = {{30, 220, 12, "Karvel"}};
    if (game.gameOver == 1)
        texts.insert(texts.end(), {{30, 240, 270, "GAME"}, {30, 240, 290, "OVER"}});
    texts.insert(texts.end(), {{20, 205, 50, "Score:"}, {20, 205, 90, "Lignes:"}, {20, 205, 65, s.score},
                               {20, 205, 110, s.lines}, {20, 205, 140, s.level}, {20, 205, 170, "Suivant:"}});
    return texts;
}

// Where texts may show: above the side panel, inside it above the preview, below it.
const RECT titleRegion = {193, 0, kWidth, 44};
const RECT panelTextRegion = {201, 46, 313, 189};
const RECT gameOverRegion = {193, 231, kWidth, kHeight};

// The picture that a full repaint of the current game must leave.
Picture expectedFullPicture(const PanelStrings &strings) {
    Picture picture(kWidth * kHeight, kBackground);
    fillPixels(picture, 7, 17, 191, 321, kFrame); // the 2-pixel pen straddles (8, 18, 192, 322)
    fillPixels(picture, 9, 19, 189, 319, kBlack);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            fillWellCell(picture, c, r, pairOf(game.board[r][c]));
    fillPixels(picture, 199, 44, 314, 229, kBlack); // the all-bits-set border colour shows black
    fillPixels(picture, 201, 46, 312, 227, kBackground);

    const PieceShape &next = game.nextShape;
    for (int i = 0; i < kPieceCells; ++i) // every ring before any cell
        fillPixels(picture, 219 + 15 * next.dx[i], 189 + 15 * next.dy[i], 234 + 15 * next.dx[i],
                   204 + 15 * next.dy[i], kBlack);
    for (int i = 0; i < kPieceCells; ++i)
        fillCell(picture, 220 + 15 * next.dx[i], 190 + 15 * next.dy[i], pairOf(game.nextKind));

    Canvas canvas = newCanvas();
    std::copy(picture.begin(), picture.end(), canvas.bits);
    drawReferenceTexts(canvas.dc, textsOfFullRepaint(strings));
    picture = pictureOf(canvas);
    freeCanvas(canvas);

    fillFallingPiece(picture);
    return picture;
}

// ---- Games ----

// A new game at level with known pieces, the falling one at its entry place.
void startGame(int level, PieceKind current, PieceKind next) {
    newGame(level);
    layFloorRow();
    game.currentKind = current;
    game.currentShape = shapeOfKind(current);
    game.nextKind = next;
    game.nextShape = shapeOfKind(next);
    game.fullRepaint = 1;
    memset(game.textBuffer, 'x', sizeof game.textBuffer - 1); // stale scratch must not matter
}

void turnPiece() {
    for (int i = 0; i < kPieceCells; ++i) {
        int dx = game.currentShape.dx[i];
        game.currentShape.dx[i] = game.currentShape.dy[i];
        game.currentShape.dy[i] = -dx;
    }
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
    void (*setUp)();
    PanelStrings strings;
};

const Scene scenes[] = {
    {"new game at level 1", [] { startGame(1, 3, 5); }, {"> 0", "> 0", "Niveau: 1"}},
    {"every cell value in the well",
     [] {
         startGame(10, 7, 2);
         for (int r = 0; r < kRows; ++r)
             for (int c = 0; c < kColumns; ++c)
                 game.board[r][c] = (r * kColumns + c) % 12 - 2; // -2..9
         game.score = 15;
         game.lines = 3;
     },
     {"> 15", "> 3", "Niveau: 10"}},
    {"game over, the piece over landed cells",
     [] {
         startGame(4, 1, 6);
         for (int r = 10; r < kRows; ++r)
             for (int c = 0; c < kColumns; ++c)
                 game.board[r][c] = (r + c) % 8;
         game.pieceRow = 12;
         game.gameOver = 1;
         game.score = 123456;
         game.lines = 180;
         game.level = 9;
     },
     {"> 123456", "> 180", "Niveau: 9"}},
    {"turned piece reaching above the well, flag 2",
     [] {
         startGame(1, 6, 7);
         turnPiece(); // a cell at row -1, drawn over the frame: no bounds test
         game.fullRepaint = 2;
     },
     {"> 0", "> 0", "Niveau: 1"}},
    {"flag -1, falling and next kinds outside 1..7",
     [] {
         startGame(2, 4, 4);
         game.currentKind = 9;
         game.nextKind = -1;
         game.nextShape = shapeOfKind(3);
         game.fullRepaint = -1;
     },
     {"> 0", "> 0", "Niveau: 2"}},
};

TEST(FullRepaint, EverySceneMatchesItsExpectedPicture) {
    for (const Scene &scene : scenes) {
        scene.setUp();
        int flag = game.fullRepaint;
        Canvas canvas = newCanvas(); // not the background: every pixel must be painted
        Picture got = paintOn(canvas);
        freeCanvas(canvas);
        EXPECT_EQ(differences(got, expectedFullPicture(scene.strings)), "") << scene.name;
        EXPECT_EQ(game.fullRepaint, flag) << scene.name << ": only paintWindow sets the flag";
    }
}

struct PixelAt {
    int x, y;
    uint32_t colour;
    const char *what;
};

// Board (0, 0) holds 4, board (11, 19) holds 5; the next piece is the square, kind 4.
const PixelAt anchors[] = {
    // x    y   colour                            x    y   colour
    {0, 0, kBackground, "client top-left"},       {329, 339, kBackground, "client bottom-right"},
    {6, 100, kBackground, "left of the frame"},   {7, 100, kFrame, "frame column 7"},
    {8, 100, kFrame, "frame column 8"},           {9, 100, kBlack, "well interior, left"},
    {189, 100, kBlack, "well interior, right"},   {190, 100, kFrame, "frame column 190"},
    {191, 100, kFrame, "frame column 191"},       {192, 100, kBackground, "right of the frame"},
    {100, 16, kBackground, "above the frame"},    {100, 17, kFrame, "frame row 17"},
    {100, 18, kFrame, "frame row 18"},            {100, 19, kBlack, "well interior, top"},
    {100, 320, kFrame, "frame row 320"},          {100, 321, kFrame, "frame row 321"},
    {100, 322, kBackground, "below the frame"},   {10, 20, 0xFFFFFF, "cell (0,0) bright, top-left"},
    {23, 20, 0xFFFFFF, "cell (0,0) bright, top-right"}, {10, 33, 0xFFFFFF, "cell (0,0) bright, bottom-left"},
    {11, 21, 0xB8B8B8, "cell (0,0) dark, top-left"},    {23, 33, 0xB8B8B8, "cell (0,0) dark, bottom-right"},
    {24, 25, kBlack, "gap column after cell (0,0)"},    {15, 34, kBlack, "gap row below cell (0,0)"},
    {175, 305, 0xFF0000, "cell (11,19) bright, top-left"}, {188, 305, 0xFF0000, "cell (11,19) bright, top-right"},
    {176, 306, 0xB80000, "cell (11,19) dark, top-left"},   {188, 318, 0xB80000, "cell (11,19) dark, bottom-right"},
    {174, 310, kBlack, "gap column before cell (11,19)"},  {180, 319, kBlack, "below cell (11,19)"},
    {198, 100, kBackground, "left of the side panel"},     {199, 44, kBlack, "panel border, outer corner"},
    {200, 45, kBlack, "panel border, inner corner"},       {201, 100, kBackground, "panel interior"},
    {313, 228, kBlack, "panel border, bottom-right inner"}, {314, 229, kBlack, "panel border, bottom-right outer"},
    {315, 230, kBackground, "outside the side panel"},     {218, 188, kBackground, "outside the preview ring"},
    {219, 189, kBlack, "preview ring of cell (0,0)"},      {220, 190, 0xFFFFFF, "preview cell (0,0) bright"},
    {221, 191, 0xB8B8B8, "preview cell (0,0) dark"},       {234, 195, kBlack, "preview gap, (0,0) to (1,0)"},
    {235, 190, 0xFFFFFF, "preview cell (1,0) bright"},     {225, 204, kBlack, "preview gap, (0,0) to (0,1)"},
    {248, 218, 0xB8B8B8, "preview cell (1,1) dark, bottom-right"}, {249, 219, kBlack, "preview ring of cell (1,1)"},
    {250, 220, kBackground, "outside the preview ring"},
};

TEST(FullRepaint, FixedPixelsOfFrameCellsPanelAndPreview) {
    startGame(1, 2, 4);
    game.board[0][0] = 4;
    game.board[19][11] = 5;
    Canvas canvas = newCanvas();
    Picture got = paintOn(canvas);
    freeCanvas(canvas);
    for (const PixelAt &p : anchors)
        EXPECT_EQ(at(got, p.x, p.y), p.colour) << p.what << " at (" << p.x << "," << p.y << ")";
}

TEST(FullRepaint, ColourPairOfEveryCellValue) {
    for (const ColourPair &pair : colourPairs) {
        startGame(1, 4, 4);
        game.board[5][3] = pair.value; // the cell at x 55..68, y 95..108
        game.currentKind = pair.value; // the square at columns 6..7, rows 0..1
        game.nextKind = pair.value;    // the square in the preview
        Canvas canvas = newCanvas();
        Picture got = paintOn(canvas);
        freeCanvas(canvas);
        const PixelAt checks[] = {
            {55, 95, pair.bright, "landed, bright top-left"},   {68, 95, pair.bright, "landed, bright top-right"},
            {55, 108, pair.bright, "landed, bright bottom-left"}, {56, 96, pair.dark, "landed, dark top-left"},
            {68, 108, pair.dark, "landed, dark bottom-right"},  {100, 20, pair.bright, "falling, bright"},
            {101, 21, pair.dark, "falling, dark"},               {220, 190, pair.bright, "preview, bright"},
            {221, 191, pair.dark, "preview, dark"},              {219, 189, kBlack, "preview, ring"},
        };
        for (const PixelAt &p : checks)
            EXPECT_EQ(at(got, p.x, p.y), p.colour) << "value " << pair.value << ": " << p.what;
    }
}

TEST(FullRepaint, PreviewAndFallingPieceOfEachKind) {
    for (PieceKind kind = 1; kind <= 7; ++kind) {
        startGame(1, kind, kind);
        game.pieceRow = 5;
        Canvas canvas = newCanvas();
        Picture got = paintOn(canvas);
        freeCanvas(canvas);
        EXPECT_EQ(differences(got, expectedFullPicture({"> 0", "> 0", "Niveau: 1"})), "") << "kind " << kind;
        for (int i = 0; i < kPieceCells; ++i) {
            int x = 220 + 15 * game.nextShape.dx[i], y = 190 + 15 * game.nextShape.dy[i];
            EXPECT_EQ(at(got, x - 1, y - 1), kBlack) << "kind " << kind << ", ring of preview cell " << i;
            EXPECT_EQ(at(got, x, y), pairOf(kind).bright) << "kind " << kind << ", preview cell " << i;
            EXPECT_EQ(at(got, x + 13, y + 13), pairOf(kind).dark) << "kind " << kind << ", preview cell " << i;
        }
    }
}

struct TextCase {
    const char *name;
    int score, lines, level, gameOver;
    PanelStrings strings;
};

const TextCase textCases[] = {
    // name                       score    lines level over  drawn numbers
    {"all zero at level 1",       0,       0,    1,    0,    {"> 0", "> 0", "Niveau: 1"}},
    {"score 15 at level 10",      15,      7,    10,   0,    {"> 15", "> 7", "Niveau: 10"}},
    {"large numbers, game over",  1234567, 180,  0,    1,    {"> 1234567", "> 180", "Niveau: 0"}},
    {"game over at level 3",      40,      2,    3,    1,    {"> 40", "> 2", "Niveau: 3"}},
};

TEST(FullRepaint, TextsMatchTheSameTextsDrawnPlainly) {
    const RECT regions[] = {titleRegion, panelTextRegion, gameOverRegion};
    const char *regionNames[] = {"title", "panel texts", "GAME OVER"};
    for (const TextCase &tc : textCases) {
        startGame(1, 7, 7);
        game.score = tc.score;
        game.lines = tc.lines;
        game.level = tc.level;
        game.gameOver = tc.gameOver;
        Canvas canvas = newCanvas();
        Picture got = paintOn(canvas);
        freeCanvas(canvas);

        Canvas reference = newCanvas(kBackground);
        drawReferenceTexts(reference.dc, textsOfFullRepaint(tc.strings));
        Picture want = pictureOf(reference);
        freeCanvas(reference);
        // The regions must hold every glyph, or the comparison below would miss some.
        ASSERT_EQ(inkIn(want, kClient), inkIn(want, regions[0]) + inkIn(want, regions[1]) + inkIn(want, regions[2]))
            << tc.name << ": a glyph falls outside the text regions";

        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(differences(got, want, regions[i]), "") << tc.name << ", " << regionNames[i];
            bool blank = i == 2 && tc.gameOver != 1;
            EXPECT_EQ(inkIn(got, regions[i]) == 0, blank)
                << tc.name << ", " << regionNames[i] << ": " << inkIn(got, regions[i]) << " pixels of ink";
        }
    }
}

// ---- Partial repaint ----

struct Move {
    const char *name;
    void (*act)();
};

const Move moves[] = {
    {"left", [] { game.pieceColumn -= 1; }},
    {"right, beside landed cells", [] { game.pieceColumn += 1; }},
    {"one row down", [] { game.pieceRow += 1; }},
    {"turn", [] { turnPiece(); }},
    {"refused: the piece stays", [] {}},
    {"panel, preview and board changed: not shown",
     [] {
         game.score = 999;
         game.lines = 9;
         game.level = 5;
         game.gameOver = 1;
         game.nextKind = 7;
         game.nextShape = shapeOfKind(7);
         game.board[19][0] = 3;
         game.pieceRow += 1;
     }},
};

// Kind 5 with its pivot at (6, 8) covers (5,9) (5,8) (6,8) (7,8), beside landed cells.
void setUpPartialScene() {
    startGame(3, 5, 1);
    game.pieceRow = 8;
    for (int r = 10; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            game.board[r][c] = (r * 3 + c) % 8;
    game.board[8][3] = 2;
    game.board[9][3] = 3;
    game.board[8][9] = 6;
    game.board[9][9] = 7;
    game.board[9][6] = 1;
}

// The expected picture is the one before, with only the four old 15 x 15 blocks
// blackened and the four new cells drawn: every other pixel must be unchanged.
TEST(PartialRepaint, ErasesTheOldCellsAndDrawsThePieceAndNothingElse) {
    for (const Move &move : moves) {
        setUpPartialScene();
        Canvas canvas = newCanvas();
        Picture want = paintOn(canvas);
        recordPreviousCells();
        move.act();
        game.fullRepaint = 0;
        Picture got = paintOn(canvas);
        freeCanvas(canvas);
        for (int i = 0; i < kPieceCells; ++i) {
            int x = 15 * game.previousCells.column[i] + 10, y = 15 * game.previousCells.row[i] + 20;
            fillPixels(want, x, y, x + 14, y + 14, kBlack);
        }
        fillFallingPiece(want);
        EXPECT_EQ(differences(got, want), "") << move.name;
    }
}

TEST(PartialRepaint, RefusedMoveLeavesThePictureAsItWas) {
    setUpPartialScene();
    Canvas canvas = newCanvas();
    Picture before = paintOn(canvas);
    for (int repeat = 1; repeat <= 3; ++repeat) {
        recordPreviousCells();
        game.fullRepaint = 0;
        EXPECT_EQ(differences(paintOn(canvas), before), "") << "refused move " << repeat;
    }
    freeCanvas(canvas);
}

// ---- Drawing objects ----

// This program's import entries for five GDI functions are pointed at recording
// wrappers, so the paint's own calls pass through them: the paint is not changed
// for the test, and deletion is checked where GetGuiResources cannot help (Wine).
struct ObjectLog {
    bool recording;
    int pens, brushes, fonts;
    std::set<HGDIOBJ> alive; // created while recording, not yet deleted
    std::set<HDC> contexts;  // every context that something was selected into
    std::vector<std::string> faults;
};

ObjectLog objectLog;

HPEN(WINAPI *realCreatePen)(int, int, COLORREF);
HBRUSH(WINAPI *realCreateSolidBrush)(COLORREF);
HFONT(WINAPI *realCreateFontA)(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                               LPCSTR);
HGDIOBJ(WINAPI *realSelectObject)(HDC, HGDIOBJ);
BOOL(WINAPI *realDeleteObject)(HGDIOBJ);

void startRecording() {
    objectLog.pens = objectLog.brushes = objectLog.fonts = 0;
    objectLog.alive.clear();
    objectLog.faults.clear();
    objectLog.recording = true;
}

HGDIOBJ noteCreated(HGDIOBJ object, int *count) {
    if (objectLog.recording) {
        ++*count;
        objectLog.alive.insert(object);
    }
    return object;
}

HPEN WINAPI recordCreatePen(int style, int width, COLORREF colour) {
    return static_cast<HPEN>(noteCreated(realCreatePen(style, width, colour), &objectLog.pens));
}

HBRUSH WINAPI recordCreateSolidBrush(COLORREF colour) {
    return static_cast<HBRUSH>(noteCreated(realCreateSolidBrush(colour), &objectLog.brushes));
}

HFONT WINAPI recordCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                               DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clip,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR face) {
    return static_cast<HFONT>(noteCreated(realCreateFontA(height, width, escapement, orientation, weight, italic,
                                                          underline, strikeOut, charSet, outPrecision, clip,
                                                          quality, pitchAndFamily, face),
                                          &objectLog.fonts));
}

HGDIOBJ WINAPI recordSelectObject(HDC dc, HGDIOBJ object) {
    if (objectLog.recording)
        objectLog.contexts.insert(dc);
    return realSelectObject(dc, object);
}

BOOL WINAPI recordDeleteObject(HGDIOBJ object) {
    if (!objectLog.recording)
        return realDeleteObject(object);
    if (objectLog.alive.count(object) == 0)
        objectLog.faults.push_back("deleted an object that the paint did not create");
    for (HDC dc : objectLog.contexts)
        for (UINT type : {OBJ_PEN, OBJ_BRUSH, OBJ_FONT})
            if (GetCurrentObject(dc, type) == object)
                objectLog.faults.push_back("deleted an object while it was current");
    BOOL result = realDeleteObject(object);
    if (GetObjectType(object) != 0) // 0 once the handle is gone
        objectLog.faults.push_back("an object still exists after DeleteObject");
    objectLog.alive.erase(object);
    return result;
}

// Points this program's import entry for gdi32's function name at replacement;
// returns the entry's former value, 0 when the program does not import it.
ULONG_PTR redirectImport(const char *name, void *replacement) {
    BYTE *base = reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr));
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ULONG_PTR former = 0;
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<char *>(base + d->Name), "gdi32.dll") != 0)
            continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData)->Name, name) != 0)
                continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            former = slots->u1.Function;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
        }
    }
    return former;
}

// Installs the recording wrappers once; false if any of the five is not imported.
bool installObjectRecording() {
    static bool installed = false;
    if (!installed) {
        realCreatePen = reinterpret_cast<decltype(realCreatePen)>(
            redirectImport("CreatePen", reinterpret_cast<void *>(recordCreatePen)));
        realCreateSolidBrush = reinterpret_cast<decltype(realCreateSolidBrush)>(
            redirectImport("CreateSolidBrush", reinterpret_cast<void *>(recordCreateSolidBrush)));
        realCreateFontA = reinterpret_cast<decltype(realCreateFontA)>(
            redirectImport("CreateFontA", reinterpret_cast<void *>(recordCreateFontA)));
        realSelectObject = reinterpret_cast<decltype(realSelectObject)>(
            redirectImport("SelectObject", reinterpret_cast<void *>(recordSelectObject)));
        realDeleteObject = reinterpret_cast<decltype(realDeleteObject)>(
            redirectImport("DeleteObject", reinterpret_cast<void *>(recordDeleteObject)));
        installed = realCreatePen && realCreateSolidBrush && realCreateFontA && realSelectObject && realDeleteObject;
    }
    return installed;
}

struct ObjectCounts {
    int pens, brushes, fonts;
};

// Full: two pens and two brushes for each of the 240 cells; one of each for the
// background, the frame, the side panel, the three preview passes and the two piece
// passes; two fonts. Partial: a brush for each erased cell, and the piece's two passes.
const ObjectCounts fullRepaintObjects = {488, 488, 2};
const ObjectCounts partialRepaintObjects = {2, 6, 0};

// "" when the recorded paint created counts objects and left nothing behind.
std::string objectFaults(const ObjectCounts &counts) {
    std::string faults;
    if (objectLog.pens != counts.pens || objectLog.brushes != counts.brushes || objectLog.fonts != counts.fonts)
        faults += "created " + std::to_string(objectLog.pens) + " pens, " + std::to_string(objectLog.brushes) +
                  " brushes, " + std::to_string(objectLog.fonts) + " fonts instead of " +
                  std::to_string(counts.pens) + ", " + std::to_string(counts.brushes) + ", " +
                  std::to_string(counts.fonts) + "; ";
    if (!objectLog.alive.empty())
        faults += std::to_string(objectLog.alive.size()) + " objects not deleted; ";
    if (!objectLog.faults.empty())
        faults += objectLog.faults.front() + " (" + std::to_string(objectLog.faults.size()) + " faults); ";
    return faults;
}

TEST(DrawingObjects, ThousandPaintsDeleteEveryObjectAfterRestoringTheDisplacedOne) {
    ASSERT_TRUE(installObjectRecording()) << "the test program does not import all five GDI functions";
    Canvas canvas = newCanvas();
    const HGDIOBJ defaults[] = {GetCurrentObject(canvas.dc, OBJ_PEN), GetCurrentObject(canvas.dc, OBJ_BRUSH),
                                GetCurrentObject(canvas.dc, OBJ_FONT)};
    startGame(1, 1, 2);
    game.pieceRow = 5;
    std::mt19937 random(12345);
    for (int paint = 1; paint <= 1000; ++paint) {
        bool full = paint == 1 || random() % 4 == 0;
        if (full) {
            game.board[random() % kRows][random() % kColumns] = static_cast<int>(random() % 8);
            game.gameOver = static_cast<int>(random() % 2);
            game.nextKind = static_cast<int>(random() % 7 + 1);
            game.nextShape = shapeOfKind(game.nextKind);
            game.fullRepaint = 1;
        } else {
            recordPreviousCells();
            game.pieceColumn = static_cast<int>(2 + random() % 8);
            game.pieceRow = static_cast<int>(1 + random() % 17);
            if (random() % 2)
                turnPiece();
            game.fullRepaint = 0;
        }
        startRecording();
        drawGame(canvas.dc, kClient);
        objectLog.recording = false;
        std::string faults = objectFaults(full ? fullRepaintObjects : partialRepaintObjects);
        for (int k = 0; k < 3; ++k)
            if (GetCurrentObject(canvas.dc, k == 0 ? OBJ_PEN : k == 1 ? OBJ_BRUSH : OBJ_FONT) != defaults[k])
                faults += "the context's own pen, brush or font is not current again; ";
        ASSERT_EQ(faults, "") << (full ? "full" : "partial") << " repaint number " << paint;
    }
    freeCanvas(canvas);
}

// ---- The real window ----

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paintWindow(window);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 0; // as in the main window: the partial repaint needs the last paint's pixels
    return DefWindowProcA(window, message, wParam, lParam);
}

void pumpMessages() {
    for (int round = 0; round < 5; ++round) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(20);
    }
}

Picture windowPicture(HWND window) {
    Canvas canvas = newCanvas();
    HDC windowDc = GetDC(window);
    BitBlt(canvas.dc, 0, 0, kWidth, kHeight, windowDc, 0, 0, SRCCOPY);
    ReleaseDC(window, windowDc);
    Picture picture = pictureOf(canvas);
    freeCanvas(canvas);
    return picture;
}

// Needs an X display (DISPLAY) under Wine: without one no window can be created.
TEST(PaintWindow, RealWindowShowsWhatTheMemoryDrawingShows) {
    ASSERT_TRUE(installObjectRecording());
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = testWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "paintTestWindow";
    RegisterClassA(&windowClass);
    setUpPartialScene();
    HWND window = CreateWindowExA(0, "paintTestWindow", "paint test", WS_POPUP | WS_VISIBLE, 40, 40, kWidth,
                                  kHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr) << "no window: is DISPLAY set to a running X server?";
    RECT client;
    GetClientRect(window, &client);
    ASSERT_TRUE(client.right == kWidth && client.bottom == kHeight) << client.right << " x " << client.bottom;

    // 1. The first paint: full.
    UpdateWindow(window);
    pumpMessages();
    Canvas memory = newCanvas();
    EXPECT_EQ(differences(windowPicture(window), paintOn(memory)), "") << "full repaint";

    // 2. A move: a partial repaint through BeginPaint's context, then the flag is 1 again.
    recordPreviousCells();
    game.pieceColumn -= 1;
    game.fullRepaint = 0;
    Picture afterMove = paintOn(memory);
    startRecording();
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    objectLog.recording = false;
    EXPECT_EQ(objectFaults(partialRepaintObjects), "") << "partial repaint of the window";
    EXPECT_EQ(game.fullRepaint, 1) << "after a partial paint";
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)) << "the paint leaves the window validated";
    EXPECT_EQ(differences(windowPicture(window), afterMove), "") << "partial repaint";

    // 3. A full repaint asked for the well's side only: the new score stays unseen.
    Picture want = windowPicture(window);
    game.score = 77;
    game.pieceColumn += 2;
    game.fullRepaint = 1;
    Picture full = paintOn(memory);
    const RECT wellSide = {0, 0, 196, kHeight};
    startRecording();
    InvalidateRect(window, &wellSide, FALSE);
    UpdateWindow(window);
    objectLog.recording = false;
    EXPECT_EQ(objectFaults(fullRepaintObjects), "") << "full repaint of the window";
    EXPECT_NE(differences(full, want, panelTextRegion), "") << "the new score must look different";
    for (int y = wellSide.top; y < wellSide.bottom; ++y)
        for (int x = wellSide.left; x < wellSide.right; ++x)
            want[y * kWidth + x] = at(full, x, y);
    EXPECT_EQ(differences(windowPicture(window), want), "") << "full repaint confined to the well's side";

    freeCanvas(memory);
    DestroyWindow(window);
    UnregisterClassA("paintTestWindow", windowClass.hInstance);
}

} // namespace
