// Checks of the shipped assets in res/: they match the generator, are well formed, and look and sound as meant.
// sound as meant.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes readAsset(const std::string &name) { return readFile(std::string(KARVEL_RES_DIR) + "/" + name); }

unsigned get16(const Bytes &b, size_t at) { return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0; }
std::uint32_t get32(const Bytes &b, size_t at) {
    return get16(b, at) | static_cast<std::uint32_t>(get16(b, at + 2)) << 16;
}
std::string tagAt(const Bytes &b, size_t at) {
    return at + 4 <= b.size() ? std::string(b.begin() + at, b.begin() + at + 4) : "";
}

TEST(Assets, CommittedAssetsMatchTheGenerator) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("karvel-assets-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string command = std::string("\"") + KARVEL_RESGEN + "\" \"" + dir.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char *name : {"karvel.ico", "notes.ico", "bip.wav", "tac.wav", "toc.wav", "blop.wav", "dadam.wav"}) {
        const Bytes made = readFile((dir / name).string()), committed = readAsset(name);
        EXPECT_FALSE(made.empty()) << name << ": the generator wrote nothing";
        size_t at = 0;
        while (at < made.size() && at < committed.size() && made[at] == committed[at])
            ++at;
        EXPECT_TRUE(made == committed) << name << ": generated " << made.size() << " bytes, committed "
                                       << committed.size() << ", first difference at byte " << at
                                       << " (run scripts/make-res)";
    }
    std::filesystem::remove_all(dir);
}

// ---------------------------------------------------------------------------
// Sounds

struct Wav {
    std::string error; // empty when the file is a well-formed 16-bit mono PCM WAV
    unsigned rate = 0;
    std::vector<double> samples; // -1..1
};

Wav parseWav(const Bytes &b) {
    Wav wav;
    if (tagAt(b, 0) != "RIFF" || tagAt(b, 8) != "WAVE")
        wav.error = "no RIFF/WAVE header";
    else if (get32(b, 4) != b.size() - 8)
        wav.error = "RIFF size " + std::to_string(get32(b, 4)) + ", file size - 8 is " + std::to_string(b.size() - 8);
    else if (tagAt(b, 12) != "fmt " || get32(b, 16) != 16)
        wav.error = "first chunk is not a 16-byte fmt chunk";
    else if (get16(b, 20) != 1 || get16(b, 22) != 1 || get16(b, 34) != 16)
        wav.error = "not 16-bit mono PCM";
    else if (get32(b, 28) != get32(b, 24) * 2 || get16(b, 32) != 2)
        wav.error = "byte rate or block align inconsistent";
    else if (tagAt(b, 36) != "data" || 44 + get32(b, 40) != b.size() || get32(b, 40) % 2)
        wav.error = "data chunk does not fill the file";
    if (!wav.error.empty())
        return wav;
    wav.rate = get32(b, 24);
    for (size_t at = 44; at < b.size(); at += 2)
        wav.samples.push_back(static_cast<std::int16_t>(get16(b, at)) / 32768.0);
    return wav;
}

double peakOf(const std::vector<double> &s, size_t from, size_t to) {
    double peak = 0;
    for (size_t i = from; i < to && i < s.size(); ++i)
        peak = std::fmax(peak, std::fabs(s[i]));
    return peak;
}

// Dominant frequency of a stretch, from its sign changes (silent samples skipped).
double zeroCrossingHz(const Wav &wav, double fromMs, double toMs) {
    const size_t from = static_cast<size_t>(fromMs * wav.rate / 1000), to = static_cast<size_t>(toMs * wav.rate / 1000);
    int crossings = 0, lastSign = 0;
    for (size_t i = from; i < to && i < wav.samples.size(); ++i) {
        const int sign = (wav.samples[i] > 0) - (wav.samples[i] < 0);
        if (sign && lastSign && sign != lastSign)
            ++crossings;
        if (sign)
            lastSign = sign;
    }
    return crossings / 2.0 / (static_cast<double>(to - from) / wav.rate);
}

// Time by which the sound has given 90% of its energy: short for a click or a knock.
double msToNinetyPercentEnergy(const Wav &wav) {
    double total = 0, sum = 0;
    for (double s : wav.samples)
        total += s * s;
    size_t i = 0;
    while (i < wav.samples.size() && sum < 0.9 * total)
        sum += wav.samples[i] * wav.samples[i], ++i;
    return static_cast<double>(i) * 1000.0 / wav.rate;
}

struct SoundCase {
    const char *file;
    double maxMs;        // length limit
    double minHz, maxHz; // dominant frequency over the whole sound
    double maxEnergyMs;  // 90% of the energy within this time
    int pitchDirection;  // +1 rises, -1 falls, 0 not checked (first third against last third)
};

const SoundCase kSoundCases[] = {
    /* file        maxMs minHz maxHz energyMs direction */
    {"bip.wav",   150,  1200, 2500, 50,  0},  // a high blip
    {"tac.wav",   150,  800,  3000, 20,  0},  // a short click
    {"toc.wav",   150,  60,   300,  70,  0},  // a low knock
    {"blop.wav",  400,  300,  1500, 150, +1}, // a bubble rising
    {"dadam.wav", 1200, 150,  600,  900, -1}, // a falling phrase
};

TEST(Assets, SoundsAreShortQuietEndedPcmWithTheirOwnCharacter) {
    for (const SoundCase &c : kSoundCases) {
        SCOPED_TRACE(c.file);
        const Wav wav = parseWav(readAsset(c.file));
        ASSERT_EQ(wav.error, "");
        EXPECT_TRUE(wav.rate == 22050 || wav.rate == 44100) << "rate " << wav.rate;
        const double ms = static_cast<double>(wav.samples.size()) * 1000.0 / wav.rate;
        ASSERT_GT(ms, 20) << "too short to hear";
        EXPECT_LT(ms, c.maxMs) << "length in ms";

        const size_t n = wav.samples.size();
        const double peak = peakOf(wav.samples, 0, n), dbfs = 20 * std::log10(peak);
        EXPECT_TRUE(dbfs >= -6 && dbfs <= -1) << "peak " << dbfs << " dBFS, expected -6..-1";

        // Fades: no step at either end, and the first half millisecond and the last two stay low.
        const size_t halfMs = wav.rate / 2000, twoMs = wav.rate / 500;
        EXPECT_LT(std::fabs(wav.samples.front()), 0.003) << "first sample";
        EXPECT_LT(std::fabs(wav.samples.back()), 0.003) << "last sample";
        EXPECT_LT(peakOf(wav.samples, 0, halfMs), 0.3 * peak) << "loud at once: no fade in";
        EXPECT_LT(peakOf(wav.samples, n - twoMs, n), 0.25 * peak) << "loud at the end: no fade out";

        const double hz = zeroCrossingHz(wav, 0, ms);
        EXPECT_TRUE(hz >= c.minHz && hz <= c.maxHz)
            << "dominant frequency " << hz << " Hz, expected " << c.minHz << ".." << c.maxHz;
        EXPECT_LT(msToNinetyPercentEnergy(wav), c.maxEnergyMs) << "ms until 90% of the energy";
        if (c.pitchDirection) {
            const double early = zeroCrossingHz(wav, 0, ms / 3), late = zeroCrossingHz(wav, 2 * ms / 3, ms);
            EXPECT_GT(c.pitchDirection * (late - early), 0.15 * early)
                << "pitch early " << early << " Hz, late " << late << " Hz";
        }
    }
}

// ---------------------------------------------------------------------------
// Icons

struct Rgb {
    int r, g, b;
};

struct Icon {
    std::string error; // empty when the file holds one opaque 32x32 image
    unsigned bitCount = 0;
    std::vector<Rgb> pixels; // row 0 at the top
    Rgb at(int x, int y) const { return pixels[y * 32 + x]; }
};

Icon parseIco(const Bytes &b) {
    Icon icon;
    if (b.size() < 22 || get16(b, 0) != 0 || get16(b, 2) != 1 || get16(b, 4) != 1) {
        icon.error = "not an icon file with one image";
        return icon;
    }
    const size_t colours = b[8], bits = get16(b, 12), size = get32(b, 14), image = get32(b, 18);
    const size_t palette = bits == 4 ? 16 : 0, rowBytes = (32 * bits + 31) / 32 * 4;
    const size_t xorAt = image + 40 + palette * 4, andAt = xorAt + 32 * rowBytes;
    if (b[6] != 32 || b[7] != 32 || get16(b, 10) != 1)
        icon.error = "directory entry is not 32x32 with one plane";
    else if (!(bits == 24 && colours == 0) && !(bits == 4 && colours == 16))
        icon.error = "unexpected bit count or colour count";
    else if (image + size != b.size())
        icon.error = "the image does not end the file";
    else if (get32(b, image) != 40 || get32(b, image + 4) != 32 || get32(b, image + 8) != 64 ||
             get16(b, image + 14) != bits || get32(b, image + 16) != 0)
        icon.error = "bitmap header is not 32 by 2x32, uncompressed, with the entry's bit count";
    else if (andAt + 32 * 4 != b.size())
        icon.error = "palette and bitmaps do not fill the image";
    for (size_t i = andAt; icon.error.empty() && i < b.size(); ++i)
        if (b[i])
            icon.error = "AND mask not all zero: some pixel transparent";
    if (!icon.error.empty())
        return icon;
    icon.bitCount = static_cast<unsigned>(bits);
    icon.pixels.resize(32 * 32);
    for (int y = 0; y < 32; ++y) {
        const size_t line = xorAt + (31 - y) * rowBytes; // bottom-up
        for (int x = 0; x < 32; ++x) {
            size_t colour = line + x * 3; // blue, green, red
            if (bits == 4)
                colour = image + 40 + 4 * ((b[line + x / 2] >> (x % 2 ? 0 : 4)) & 15);
            icon.pixels[y * 32 + x] = {b[colour + 2], b[colour + 1], b[colour]};
        }
    }
    return icon;
}

bool same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
bool isBlack(Rgb p) { return same(p, {0, 0, 0}); }
bool isLightGrey(Rgb p) { return p.r == p.g && p.g == p.b && p.r >= 160 && p.r <= 230; }
bool isMidGrey(Rgb p) { return p.r == p.g && p.g == p.b && p.r >= 96 && p.r <= 176; }

TEST(Assets, IconsHoldOneOpaque32x32ImageOfTheirDepth) {
    const struct {
        const char *file;
        unsigned bitCount;
    } cases[] = {{"karvel.ico", 24}, {"notes.ico", 4}};
    for (const auto &c : cases) {
        const Icon icon = parseIco(readAsset(c.file));
        EXPECT_EQ(icon.error, "") << c.file;
        EXPECT_EQ(icon.bitCount, c.bitCount) << c.file;
    }
}

struct CellColourCase {
    const char *name;
    Rgb bright, dark;
};

const CellColourCase kCellColourCases[] = {
    /* name      bright         dark        */
    {"magenta", {255, 0, 255}, {184, 0, 184}},
    {"blue",    {0, 0, 255},   {0, 0, 184}},
    {"green",   {0, 255, 0},   {0, 184, 0}},
    {"red",     {255, 0, 0},   {184, 0, 0}},
};

constexpr int kNameRows = 7; // the name lies in rows 0..6, the landed cells below

TEST(Assets, GameIconShowsTheNameInGreyAboveCellsInTheWellsLook) {
    const Icon icon = parseIco(readAsset("karvel.ico"));
    ASSERT_EQ(icon.error, "");

    // The name: light grey letters on black, six glyphs apart from one another.
    int letterPixels = 0, glyphs = 0, strays = 0;
    bool inGlyph = false;
    for (int x = 0; x < 32; ++x) {
        bool letterColumn = false;
        for (int y = 0; y < kNameRows; ++y) {
            if (isLightGrey(icon.at(x, y)))
                ++letterPixels, letterColumn = true;
            else if (!isBlack(icon.at(x, y)))
                ++strays;
        }
        glyphs += letterColumn && !inGlyph;
        inGlyph = letterColumn;
    }
    EXPECT_GE(letterPixels, 40) << "light grey letter pixels in the name";
    EXPECT_EQ(glyphs, 6) << "letters of KARVEL";
    EXPECT_EQ(strays, 0) << "pixels in the name's band neither grey nor black";

    // The cells: a one-pixel bright line on top and left of a dark face, which has
    // no bright pixel to its right or below; nothing else but black around them.
    int others = 0;
    for (int y = kNameRows; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            bool known = isBlack(icon.at(x, y));
            for (const CellColourCase &c : kCellColourCases)
                known = known || same(icon.at(x, y), c.bright) || same(icon.at(x, y), c.dark);
            others += !known;
        }
    EXPECT_EQ(others, 0) << "pixels below the name that are neither black nor a cell colour";
    for (const CellColourCase &c : kCellColourCases) {
        int bright = 0, dark = 0, broken = 0;
        for (int y = kNameRows; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                bright += same(icon.at(x, y), c.bright);
                if (!same(icon.at(x, y), c.dark))
                    continue;
                ++dark;
                auto face = [&](int fx, int fy) { return same(icon.at(fx, fy), c.dark); };
                const bool above = face(x, y - 1) || same(icon.at(x, y - 1), c.bright);
                const bool left = x > 0 && (face(x - 1, y) || same(icon.at(x - 1, y), c.bright));
                const bool right = x == 31 || face(x + 1, y) || isBlack(icon.at(x + 1, y));
                const bool below = y == 31 || face(x, y + 1) || isBlack(icon.at(x, y + 1));
                broken += !(above && left && right && below);
            }
        EXPECT_GT(bright, 0) << c.name << " bright edge pixels";
        EXPECT_GT(dark, bright) << c.name << ": the dark face should outweigh its bright edge";
        EXPECT_EQ(broken, 0) << c.name << " face pixels not framed by the cell look";
    }
}

TEST(Assets, NotesIconShowsTwoBeamedBlackNotesOnAGreyStaff) {
    const Icon icon = parseIco(readAsset("notes.ico"));
    ASSERT_EQ(icon.error, "");
    const Rgb corner = icon.at(0, 0);
    EXPECT_GE(corner.r + corner.g + corner.b, 600) << "background should be light";

    std::vector<int> staff;
    for (int y = 0; y < 32; ++y) {
        int grey = 0;
        for (int x = 0; x < 32; ++x)
            grey += isMidGrey(icon.at(x, y));
        if (grey >= 16)
            staff.push_back(y);
    }
    ASSERT_EQ(staff.size(), 5u) << "staff lines";
    for (size_t i = 1; i < staff.size(); ++i)
        EXPECT_EQ(staff[i] - staff[i - 1], staff[1] - staff[0]) << "staff line " << i << " spacing";

    // Stems: the only long vertical runs of black; each ends in a head at least four pixels wide.
    std::vector<int> stems;
    int lastLongColumn = -2;
    for (int x = 0; x < 32; ++x) {
        int run = 0, longest = 0, bottom = 0;
        for (int y = 0; y < 32; ++y) {
            run = isBlack(icon.at(x, y)) ? run + 1 : 0;
            if (run > longest)
                longest = run, bottom = y;
        }
        if (longest < 10)
            continue;
        const bool sameStem = lastLongColumn == x - 1;
        lastLongColumn = x;
        if (sameStem)
            continue;
        stems.push_back(x);
        int widest = 0;
        for (int y = bottom - 3; y <= bottom + 3 && y < 32; ++y) {
            int width = 0;
            for (int hx = x + 1; hx-- > 0 && isBlack(icon.at(hx, y));)
                ++width;
            widest = std::max(widest, width);
        }
        EXPECT_GE(widest, 4) << "head at the foot of the stem in column " << x;
    }
    ASSERT_EQ(stems.size(), 2u) << "stems";

    // The beam joins the stems above the staff.
    for (int x = stems[0]; x <= stems[1]; ++x) {
        bool beam = false;
        for (int y = 0; y < staff[0]; ++y)
            beam = beam || isBlack(icon.at(x, y));
        EXPECT_TRUE(beam) << "no beam above the staff in column " << x;
    }
}

} // namespace
