// Generator of the shipped assets: the two icons and the five sound effects in res/.
//
// Usage: resgen <outdir>. The output is byte-identical on every machine: the
// sounds use no C-library transcendental function and no clock-seeded noise.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes &out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put32(Bytes &out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void putTag(Bytes &out, const char *tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

bool writeFile(const std::string &path, const Bytes &bytes) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// ---------------------------------------------------------------------------
// Icons

constexpr int kIconSize = 32;

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kBlack = {0, 0, 0};
constexpr Rgb kLetterGrey = {192, 192, 192};

constexpr std::uint32_t kAndMaskBytes = kIconSize * 4; // 32 rows of 32 bits

// Header, directory entry and bitmap header of an ICO file that holds one
// 32x32 image; the AND mask is all zero, so every pixel is opaque.

Bytes icoHeader(unsigned bitCount, unsigned paletteSize, std::uint32_t xorBytes) {
    const std::uint32_t imageBytes = 40 + paletteSize * 4 + xorBytes + kAndMaskBytes;
    Bytes out;
    put16(out, 0); // reserved
    put16(out, 1); // type: icon
    put16(out, 1); // one image
    out.push_back(kIconSize);
    out.push_back(kIconSize);
    out.push_back(static_cast<std::uint8_t>(paletteSize)); // 0 for true colour
    out.push_back(0);
    put16(out, 1); // planes
    put16(out, bitCount);
    put32(out, imageBytes);
    put32(out, 6 + 16); // the image follows the directory
    // BITMAPINFOHEADER; the height counts the XOR bitmap and the AND mask.
    put32(out, 40);
    put32(out, kIconSize);
    put32(out, 2 * kIconSize);
    put16(out, 1);
    put16(out, bitCount);
    put32(out, 0); // BI_RGB
    put32(out, xorBytes + kAndMaskBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, paletteSize);
    put32(out, 0);
    return out;
}

void appendAndMask(Bytes &out) { out.insert(out.end(), kAndMaskBytes, 0); }

// pixels: row 0 at the top. The file stores rows bottom-up, 96 bytes each (no padding needed).
Bytes icoFile24(const std::vector<Rgb> &pixels) {
    Bytes out = icoHeader(24, 0, kIconSize * kIconSize * 3);
    for (int y = kIconSize - 1; y >= 0; --y)
        for (int x = 0; x < kIconSize; ++x) {
            const Rgb &p = pixels[y * kIconSize + x];
            out.push_back(p.b);
            out.push_back(p.g);
            out.push_back(p.r);
        }
    appendAndMask(out);
    return out;
}

// indices: palette index per pixel, row 0 at the top; two pixels a byte, high nibble first.
Bytes icoFile4(const std::vector<std::uint8_t> &indices, const Rgb (&palette)[16]) {
    Bytes out = icoHeader(4, 16, kIconSize * kIconSize / 2);
    for (const Rgb &p : palette) {
        out.push_back(p.b);
        out.push_back(p.g);
        out.push_back(p.r);
        out.push_back(0);
    }
    for (int y = kIconSize - 1; y >= 0; --y)
        for (int x = 0; x < kIconSize; x += 2)
            out.push_back(static_cast<std::uint8_t>(indices[y * kIconSize + x] << 4 | indices[y * kIconSize + x + 1]));
    appendAndMask(out);
    return out;
}

// The game's name in a tiny pixel font, five rows high, each glyph as wide as its strings.
struct Glyph {
    char letter;
    const char *rows[5];
};

const Glyph kFont[] = {
    /* letter  rows, top first */
    {'K', {"X..X", "X.X.", "XX..", "X.X.", "X..X"}},
    {'A', {".XX.", "X..X", "XXXX", "X..X", "X..X"}},
    {'R', {"XXX.", "X..X", "XXX.", "X.X.", "X..X"}},
    {'V', {"X...X", "X...X", ".X.X.", ".X.X.", "..X.."}},
    {'E', {"XXX", "X..", "XX.", "X..", "XXX"}},
    {'L', {"X..", "X..", "X..", "X..", "XXX"}},
};

const char kIconTitle[] = "KARVEL";
constexpr int kTitleTop = 1;
constexpr int kLetterGap = 1;

const Glyph *glyphOf(char letter) {
    for (const Glyph &glyph : kFont)
        if (glyph.letter == letter)
            return &glyph;
    return nullptr;
}

int glyphWidth(const Glyph &glyph) { return static_cast<int>(std::string(glyph.rows[0]).size()); }

// Cell colours, the same bright/dark pairs as the well.
struct CellColour {
    char code;
    Rgb bright, dark;
};

const CellColour kCellColours[] = {
    /* code  bright         dark        */
    {'M',   {255, 0, 255}, {184, 0, 184}},
    {'B',   {0, 0, 255},   {0, 0, 184}},
    {'G',   {0, 255, 0},   {0, 184, 0}},
    {'R',   {255, 0, 0},   {184, 0, 0}},
};

// The landed stack under the name, top row first: a code per cell, '.' empty.
const char *const kStack[] = {
    "M..R",
    "MMRR",
    "BGGB",
};
constexpr int kStackRows = sizeof kStack / sizeof kStack[0];
constexpr int kCellPitch = 8; // a 7x7 bright square, a 6x6 dark face, a black line between cells
constexpr int kStackTop = kIconSize - kStackRows * kCellPitch;

void fillSquare(std::vector<Rgb> &pixels, int left, int top, int size, Rgb colour) {
    for (int y = top; y < top + size; ++y)
        for (int x = left; x < left + size; ++x)
            pixels[y * kIconSize + x] = colour;
}

std::vector<Rgb> karvelPicture() {
    std::vector<Rgb> pixels(kIconSize * kIconSize, kBlack);

    int titleWidth = 0;
    for (const char *c = kIconTitle; *c; ++c)
        titleWidth += glyphWidth(*glyphOf(*c)) + (c[1] ? kLetterGap : 0);
    int left = (kIconSize - titleWidth) / 2;
    for (const char *c = kIconTitle; *c; ++c) {
        const Glyph &glyph = *glyphOf(*c);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; glyph.rows[row][col]; ++col)
                if (glyph.rows[row][col] == 'X')
                    pixels[(kTitleTop + row) * kIconSize + left + col] = kLetterGrey;
        left += glyphWidth(glyph) + kLetterGap;
    }

    // The well's cell look: the dark face shares the bright square's right and
    // bottom edges, leaving a bright line along the top and the left.
    for (int row = 0; row < kStackRows; ++row)
        for (int col = 0; kStack[row][col]; ++col)
            for (const CellColour &colour : kCellColours)
                if (colour.code == kStack[row][col]) {
                    const int x = col * kCellPitch, y = kStackTop + row * kCellPitch;
                    fillSquare(pixels, x, y, kCellPitch - 1, colour.bright);
                    fillSquare(pixels, x + 1, y + 1, kCellPitch - 2, colour.dark);
                }
    return pixels;
}

// The sixteen colours of the classic display palette.
const Rgb kPalette16[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};
constexpr std::uint8_t kInkIndex = 0;    // black notes
constexpr std::uint8_t kStaffIndex = 8;  // grey staff lines
constexpr std::uint8_t kPaperIndex = 15; // white background

const int kStaffLines[] = {11, 15, 19, 23, 27}; // rows of the five lines, top first

// A note head, slanted like a written one; its centre is the middle of row 2.
const char *const kNoteHead[] = {
    "..XXX.",
    ".XXXXX",
    "XXXXXX",
    "XXXXX.",
    ".XXX..",
};

struct Note {
    int headLeft, headTop; // top-left corner of the head's box
    int stemTop;           // the stem rises from the head's right edge to here
};

const Note kNotes[] = {
    {4, 23, 8},  // in the lowest space
    {19, 19, 5}, // one space higher
};
constexpr int kBeamThickness = 3;

std::vector<std::uint8_t> notesPicture() {
    std::vector<std::uint8_t> pixels(kIconSize * kIconSize, kPaperIndex);
    for (int line : kStaffLines)
        for (int x = 1; x < kIconSize - 1; ++x)
            pixels[line * kIconSize + x] = kStaffIndex;

    for (const Note &note : kNotes) {
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 6; ++col)
                if (kNoteHead[row][col] == 'X')
                    pixels[(note.headTop + row) * kIconSize + note.headLeft + col] = kInkIndex;
        const int stemX = note.headLeft + 5;
        for (int y = note.stemTop; y <= note.headTop + 1; ++y)
            pixels[y * kIconSize + stemX] = kInkIndex;
    }

    // The beam: a slanted band from the first stem's top to the second's.
    const Note &first = kNotes[0], &last = kNotes[1];
    const int x0 = first.headLeft + 5, x1 = last.headLeft + 5;
    for (int x = x0; x <= x1; ++x) {
        const int top =
            first.stemTop +
            static_cast<int>(std::lround(static_cast<double>(last.stemTop - first.stemTop) * (x - x0) / (x1 - x0)));
        for (int y = top; y < top + kBeamThickness; ++y)
            pixels[y * kIconSize + x] = kInkIndex;
    }
    return pixels;
}

// ---------------------------------------------------------------------------
// Sounds

constexpr int kSampleRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kPeak = 23198.0; // -3 dBFS

using Samples = std::vector<double>;

// Sine and exponential from plain arithmetic, so that no library's rounding
// can change a sample between machines.
double sine(double x) {
    double turns = x / (2 * kPi);
    double r = (turns - std::floor(turns + 0.5)) * 2 * kPi; // -pi..pi
    if (r > kPi / 2)
        r = kPi - r;
    if (r < -kPi / 2)
        r = -kPi - r;
    double term = r, sum = r;
    for (int n = 1; n <= 9; ++n) {
        term *= -r * r / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double expo(double x) {
    int halvings = 0;
    while (x > 0.5 || x < -0.5) {
        x *= 0.5;
        ++halvings;
    }
    double term = 1, sum = 1;
    for (int n = 1; n <= 12; ++n) {
        term *= x / n;
        sum += term;
    }
    while (halvings-- > 0)
        sum *= sum;
    return sum;
}

int samplesFor(double ms) { return static_cast<int>(ms * kSampleRate / 1000); }

double secondsAt(int i) { return static_cast<double>(i) / kSampleRate; }

// Fixed-seed noise in -1..1, the same sequence on every machine.
struct Noise {
    std::uint32_t state;
};

double nextNoise(Noise &noise) {
    noise.state ^= noise.state << 13;
    noise.state ^= noise.state >> 17;
    noise.state ^= noise.state << 5;
    return static_cast<double>(noise.state) / 2147483648.0 - 1.0;
}

// Raised-cosine fades at both ends, so the sound starts and stops without a click.
void fadeEnds(Samples &samples, double inMs, double outMs) {
    const int in = samplesFor(inMs), out = samplesFor(outMs), count = static_cast<int>(samples.size());
    for (int i = 0; i < in; ++i) {
        const double s = sine(kPi / 2 * i / in);
        samples[i] *= s * s;
    }
    for (int i = 0; i < out; ++i) {
        const double s = sine(kPi / 2 * i / out);
        samples[count - 1 - i] *= s * s;
    }
}

// Normalises the peak to -3 dBFS and wraps the samples as 16-bit mono PCM.
Bytes wavFile(const Samples &samples) {
    double peak = 0;
    for (double s : samples)
        peak = std::fmax(peak, std::fabs(s));
    const double gain = peak > 0 ? kPeak / peak : 0;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    Bytes out;
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, kSampleRate);
    put32(out, kSampleRate * 2);
    put16(out, 2);  // bytes per frame
    put16(out, 16); // bits per sample
    putTag(out, "data");
    put32(out, dataBytes);
    for (double s : samples)
        put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s * gain))));
    return out;
}

// Sideways move: a short, bright blip.
Samples bip() {
    Samples out(samplesFor(60));
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = secondsAt(i), phase = 2 * kPi * 1760 * t;
        out[i] = (sine(phase) + 0.15 * sine(2 * phase)) * expo(-t / 0.025);
    }
    fadeEnds(out, 3, 12);
    return out;
}

// Turn: a dry wooden click, two quickly damped partials over a breath of noise.
Samples tac() {
    Samples out(samplesFor(50));
    Noise noise = {0x7AC0FFEEu};
    double smoothed = 0;
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = secondsAt(i);
        smoothed += 0.35 * (nextNoise(noise) - smoothed);
        out[i] = sine(2 * kPi * 1250 * t) * expo(-t / 0.008) + 0.45 * sine(2 * kPi * 2830 * t) * expo(-t / 0.004) +
                 0.5 * smoothed * expo(-t / 0.003);
    }
    fadeEnds(out, 2, 10);
    return out;
}

// Landing: a low knock whose pitch sags as it dies away.
Samples toc() {
    Samples out(samplesFor(130));
    Noise noise = {0x70C70C7u};
    double phase = 0, smoothed = 0;
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = secondsAt(i);
        const double frequency = 110 + 90 * expo(-t / 0.02);
        phase += 2 * kPi * frequency / kSampleRate;
        smoothed += 0.08 * (nextNoise(noise) - smoothed);
        out[i] = (sine(phase) + 0.25 * sine(2 * phase)) * expo(-t / 0.035) + 1.5 * smoothed * expo(-t / 0.006);
    }
    fadeEnds(out, 2, 25);
    return out;
}

// Cleared row: a bubble, a quick upward sweep of two octaves.
Samples blop() {
    Samples out(samplesFor(200));
    double phase = 0;
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = secondsAt(i);
        const double frequency = 300 * expo(kLn2 * 2 * std::fmin(t / 0.08, 1.0));
        phase += 2 * kPi * frequency / kSampleRate;
        const double attack = std::fmin(t / 0.01, 1.0);
        out[i] = (sine(phase) + 0.2 * sine(2 * phase)) * attack * expo(-t / 0.05);
    }
    fadeEnds(out, 3, 30);
    return out;
}

// Game over: three falling notes of a minor chord, the last one held.
struct PhraseNote {
    double hertz, startMs, lengthMs;
};

const PhraseNote kGameOverPhrase[] = {
    /* hertz  start  length */
    {392.00, 0,     170}, // G
    {311.13, 190,   170}, // E flat
    {261.63, 380,   620}, // C
};

Samples dadam() {
    const PhraseNote &lastNote = kGameOverPhrase[sizeof kGameOverPhrase / sizeof kGameOverPhrase[0] - 1];
    Samples out(samplesFor(lastNote.startMs + lastNote.lengthMs));
    for (const PhraseNote &note : kGameOverPhrase) {
        Samples tone(samplesFor(note.lengthMs));
        for (int i = 0; i < static_cast<int>(tone.size()); ++i) {
            const double t = secondsAt(i), phase = 2 * kPi * note.hertz * t;
            const double wobble = 1 + 0.04 * sine(2 * kPi * 5.5 * t);
            tone[i] = (sine(phase) + 0.45 * sine(2 * phase) + 0.2 * sine(3 * phase) + 0.08 * sine(4 * phase)) *
                      expo(-t / (note.lengthMs / 1000 * 0.6)) * wobble;
        }
        fadeEnds(tone, 6, 40);
        const int start = samplesFor(note.startMs);
        for (int i = 0; i < static_cast<int>(tone.size()); ++i)
            out[start + i] += tone[i];
    }
    fadeEnds(out, 3, 10);
    return out;
}

struct SoundFile {
    const char *name;
    Samples (*make)();
};

const SoundFile kSounds[] = {
    {"bip.wav", bip},     // sideways move
    {"tac.wav", tac},     // turn
    {"toc.wav", toc},     // landing
    {"blop.wav", blop},   // cleared row
    {"dadam.wav", dadam}, // game over
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: resgen <outdir>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    bool ok = writeFile(dir + "karvel.ico", icoFile24(karvelPicture()));
    ok = writeFile(dir + "notes.ico", icoFile4(notesPicture(), kPalette16)) && ok;
    for (const SoundFile &sound : kSounds)
        ok = writeFile(dir + sound.name, wavFile(sound.make())) && ok;
    if (!ok)
        std::fprintf(stderr, "resgen: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
