// Checks of the shipped assets in res/: they match the generator, are well formed, and look and sound as meant.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian field of 1, 2 or 4 bytes; 0 past the end, so a short file fails its checks instead of crashing.
std::uint32_t field(const Bytes &b, size_t at, size_t bytes) {
    std::uint32_t value = 0;
    for (size_t i = bytes; i-- > 0;)
        value = value << 8 | (at + i < b.size() ? b[at + i] : 0u);
    return value;
}

std::string tagAt(const Bytes &b, size_t at) { return at + 4 <= b.size() ? std::string(&b[at], &b[at] + 4) : ""; }

using Field = std::tuple<const char *, size_t, size_t, std::uint32_t>; // name, offset, width in bytes, expected value

void expectFields(const Bytes &b, const std::vector<Field> &fields) {
    for (const auto &[name, at, bytes, expected] : fields)
        EXPECT_EQ(field(b, at, bytes), expected) << name << " at byte " << at;
}

TEST(Assets, CommittedAssetsMatchTheGenerator) {
    const auto dir = std::filesystem::temp_directory_path() / ("karvel-assets-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string command = std::string("\"") + KARVEL_RESGEN + "\" \"" + dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (std::string name : {"karvel.ico", "notes.ico", "bip.wav", "tac.wav", "toc.wav", "blop.wav", "dadam.wav"}) {
        const Bytes made = readFile((dir / name).string()), committed = readFile(KARVEL_RES_DIR "/" + name);
        EXPECT_TRUE(!made.empty() && made == committed) << name << ": generated " << made.size() << " bytes, committed "
                                                        << committed.size() << " or different (run scripts/make-res)";
    }
    std::filesystem::remove_all(dir);
}

double peakOf(const std::vector<double> &s, size_t from, size_t to) {
    double peak = 0;
    for (size_t i = from; i < to && i < s.size(); ++i)
        peak = std::fmax(peak, std::fabs(s[i]));
    return peak;
}

// Dominant frequency of samples [from, to): one upward zero crossing a cycle.
double zeroCrossingHz(const std::vector<double> &s, unsigned rate, size_t from, size_t to) {
    int upward = 0;
    for (size_t i = from + 1; i < to; ++i)
        upward += s[i - 1] < 0 && s[i] >= 0;
    return upward * rate / static_cast<double>(to - from);
}

const struct {
    const char *file;
    double maxMs, minHz, maxHz; // length limit; range of the dominant frequency over the whole sound
    int pitchDirection;         // +1 rises, -1 falls, 0 not checked (first third against last third)
} kSoundCases[] = {
    /* file        maxMs minHz maxHz direction */
    {"bip.wav",   150,  1200, 2500, 0},  // a high blip
    {"tac.wav",   150,  800,  3000, 0},  // a bright click
    {"toc.wav",   150,  60,   300,  0},  // a low knock
    {"blop.wav",  400,  300,  1500, +1}, // a bubble rising
    {"dadam.wav", 1200, 150,  600,  -1}, // a falling phrase
};

TEST(Assets, SoundsAreShortQuietEndedPcmWithTheirOwnCharacter) {
    for (const auto &c : kSoundCases) {
        SCOPED_TRACE(c.file);
        const Bytes b = readFile(KARVEL_RES_DIR "/" + std::string(c.file));
        const std::uint32_t rate = field(b, 24, 4), size = static_cast<std::uint32_t>(b.size());
        ASSERT_EQ(tagAt(b, 0) + tagAt(b, 8) + tagAt(b, 12) + tagAt(b, 36), "RIFFWAVEfmt data") << "chunk tags";
        EXPECT_TRUE(rate == 22050 || rate == 44100) << "rate " << rate;
        expectFields(b, {{"RIFF size", 4, 4, size - 8},   {"fmt size", 16, 4, 16},       {"PCM format", 20, 2, 1},
                         {"channels", 22, 2, 1},          {"byte rate", 28, 4, rate * 2}, {"block align", 32, 2, 2},
                         {"bits per sample", 34, 2, 16}, {"data size", 40, 4, size - 44}});
        std::vector<double> s;
        for (size_t at = 44; at + 2 <= b.size(); at += 2)
            s.push_back(static_cast<std::int16_t>(field(b, at, 2)) / 32768.0);
        const size_t n = s.size();
        const double ms = static_cast<double>(n) * 1000.0 / rate;
        ASSERT_TRUE(ms > 20 && ms < c.maxMs) << "length " << ms << " ms, expected 20.." << c.maxMs;

        const double peak = peakOf(s, 0, n), dbfs = 20 * std::log10(peak);
        EXPECT_TRUE(dbfs >= -6 && dbfs <= -1) << "peak " << dbfs << " dBFS, expected -6..-1";

        // Fades: no step at either end, and the first half millisecond and the last two stay low.
        EXPECT_LT(std::fabs(s.front()), 0.003) << "first sample";
        EXPECT_LT(std::fabs(s.back()), 0.003) << "last sample";
        EXPECT_LT(peakOf(s, 0, rate / 2000), 0.3 * peak) << "loud at once: no fade in";
        EXPECT_LT(peakOf(s, n - rate / 500, n), 0.25 * peak) << "loud at the end: no fade out";

        const double hz = zeroCrossingHz(s, rate, 0, n);
        EXPECT_TRUE(hz >= c.minHz && hz <= c.maxHz)
            << "dominant frequency " << hz << " Hz, expected " << c.minHz << ".." << c.maxHz;
        const double early = zeroCrossingHz(s, rate, 0, n / 3), late = zeroCrossingHz(s, rate, n - n / 3, n);
        EXPECT_TRUE(!c.pitchDirection || c.pitchDirection * (late - early) > 0.15 * early)
            << "pitch early " << early << " Hz, late " << late << " Hz, direction " << c.pitchDirection;
    }
}

using Rgb = std::array<int, 3>; // red, green, blue

// Pixel (x, y) of a 32x32 icon, row 0 at the top; rows lie bottom-up after 62 bytes of headers and any palette.
Rgb pixelAt(const Bytes &b, int x, int y) {
    const bool four = field(b, 12, 2) == 4;
    const size_t line = 62 + (four ? 64 : 0) + (31 - y) * (four ? 16 : 96);
    const size_t colour = four ? 62 + 4 * ((field(b, line + x / 2, 1) >> (x % 2 ? 0 : 4)) & 15) : line + 3 * x;
    return {int(field(b, colour + 2, 1)), int(field(b, colour + 1, 1)), int(field(b, colour, 1))};
}

bool isBlack(Rgb p) { return p == Rgb{0, 0, 0}; }
bool isGrey(Rgb p, int low, int high) { return p[0] == p[1] && p[1] == p[2] && p[0] >= low && p[0] <= high; }

// Pixels in columns [left, right) and rows [top, bottom) of which isKind holds.
template <typename Kind> int countIn(const Bytes &b, int left, int right, int top, int bottom, Kind isKind) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            count += isKind(pixelAt(b, x, y));
    return count;
}

// One opaque 32x32 image of the given depth: the entry, the bitmap header and the file's length agree.
void expectOneOpaqueIcon(const Bytes &b, std::uint32_t bits) {
    const std::uint32_t colours = bits == 4 ? 16 : 0, andAt = 62 + colours * 4 + 32 * 4 * bits;
    EXPECT_EQ(b.size(), andAt + 32 * 4) << "file size for a 32x32 image with its AND mask";
    expectFields(b, {{"type icon", 2, 2, 1},         {"image count", 4, 2, 1},     {"width", 6, 1, 32},
                     {"height", 7, 1, 32},           {"colours", 8, 1, colours},   {"bit count", 12, 2, bits},
                     {"image bytes", 14, 4, andAt + 106}, {"image offset", 18, 4, 22}, {"bitmap width", 26, 4, 32},
                     {"bitmap height", 30, 4, 2 * 32}, {"bitmap bits", 36, 2, bits}, {"compression", 38, 4, 0}});
    EXPECT_EQ(std::count(b.begin() + std::min<size_t>(andAt, b.size()), b.end(), 0), 32 * 4) << "opaque AND mask bytes";
}

TEST(Assets, GameIconIs24BitAndShowsTheNameInGreyAboveCellsInTheWellsLook) {
    const Bytes b = readFile(KARVEL_RES_DIR "/karvel.ico");
    expectOneOpaqueIcon(b, 24);
    constexpr int kName = 7; // the name lies in rows 0..6, the landed cells below
    const auto letter = [](Rgb p) { return isGrey(p, 160, 230); };
    const int letters = countIn(b, 0, 32, 0, kName, letter);
    EXPECT_GE(letters, 40) << "light grey letter pixels in the name";
    int glyphs = 0;
    for (int x = 0; x < 32; ++x)
        glyphs += countIn(b, x, x + 1, 0, kName, letter) && (x == 0 || !countIn(b, x - 1, x, 0, kName, letter));
    EXPECT_EQ(glyphs, 6) << "letters of KARVEL, apart from one another";

    const Rgb kCells[][2] = {
        /* bright        dark        */
        {{255, 0, 255}, {184, 0, 184}}, // magenta
        {{0, 0, 255},   {0, 0, 184}},   // blue
        {{0, 255, 0},   {0, 184, 0}},   // green
        {{255, 0, 0},   {184, 0, 0}},   // red
    };
    int known = letters + countIn(b, 0, 32, 0, 32, isBlack);
    for (const auto &c : kCells) {
        const int edge = countIn(b, 0, 32, kName, 32, [&](Rgb p) { return p == c[0]; });
        const int face = countIn(b, 0, 32, kName, 32, [&](Rgb p) { return p == c[1]; });
        EXPECT_GT(edge, 0) << "bright edge pixels of " << testing::PrintToString(c[0]);
        EXPECT_GT(face, edge) << "the dark face " << testing::PrintToString(c[1]) << " should outweigh its edge";
        known += edge + face;
    }
    EXPECT_EQ(known, 32 * 32) << "pixels black, grey letters in the name's rows, or cell colours below them";
}

TEST(Assets, NotesIconIs4BitAndShowsTwoBeamedBlackNotesOnAGreyStaff) {
    const Bytes b = readFile(KARVEL_RES_DIR "/notes.ico");
    expectOneOpaqueIcon(b, 4);
    // Staff lines are the rows at least half mid grey; stems the columns with ten black pixels or more.
    std::vector<int> staff, stems;
    for (int i = 0; i < 32; ++i) {
        if (countIn(b, 0, 32, i, i + 1, [](Rgb p) { return isGrey(p, 96, 176); }) >= 16)
            staff.push_back(i);
        if (countIn(b, i, i + 1, 0, 32, isBlack) >= 10)
            stems.push_back(i);
    }
    ASSERT_EQ(staff.size(), 5u) << "staff lines";
    ASSERT_EQ(stems.size(), 2u) << "stems";
    // A head fills much of the five columns left of each stem, on the staff; the beam joins the stems above it.
    for (int stem : stems)
        EXPECT_GE(countIn(b, std::max(stem - 5, 0), stem, staff[0], 32, isBlack), 12) << "head of stem " << stem;
    EXPECT_GE(countIn(b, stems[0], stems[1] + 1, 0, staff[0], isBlack), 2 * (stems[1] - stems[0]))
        << "black pixels above the staff between the stems";
}

} // namespace
