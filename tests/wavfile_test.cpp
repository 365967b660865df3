// The WAV reader on files built chunk by chunk: what it finds in each, or that it refuses it.
// The fuzz target covers any bytes; these are the answers it cannot know.
#include "sound/wavfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// VALUE in N bytes, low byte first, as every number lies in the file.
Bytes le(uint32_t value, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<unsigned char>(value >> 8 * i));
    return out;
}

Bytes id(const char *name) { return Bytes(name, name + 4); }

// A chunk as a writer lays it out: header, body, and the pad byte an odd size asks for unless PAD is false.
Bytes chunk(const char *name, const Bytes &body, bool pad = true) {
    return id(name) + le(static_cast<uint32_t>(body.size()), 4) + body + Bytes(pad ? body.size() % 2 : 0, 0);
}

Bytes riff(const Bytes &chunks, const char *form = "WAVE", const char *magic = "RIFF") {
    return id(magic) + le(static_cast<uint32_t>(4 + chunks.size()), 4) + id(form) + chunks;
}

Bytes format(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, uint32_t block, uint32_t byteRate) {
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(byteRate, 4) + le(block, 2) + le(bits, 2);
}

// A format chunk with the block size and byte rate a writer would put.
Bytes pcm(uint32_t channels, uint32_t rate, uint32_t bits) {
    return chunk("fmt ", format(1, channels, rate, bits, channels * bits / 8, rate * channels * bits / 8));
}

// Extensible 16-bit stereo whose sub-format is the one of format tag CODE (PCM: 1, float: 3).
Bytes extensible(uint32_t code) {
    return chunk("fmt ", format(0xFFFE, 2, 44100, 16, 4, 176400) + le(22, 2) + le(16, 2) + le(3, 4) + le(code, 4) +
                             Bytes{0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
}

Bytes data(size_t size, bool pad = true) { return chunk("data", Bytes(size, 0x80), pad); }

// What the reader finds, read from an exactly sized heap block so that the sanitizers see a read past it.
std::string found(const Bytes &file) {
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[file.size()]);
    memcpy(bytes.get(), file.data(), file.size());
    WavSound s;
    if (!readWavSound(bytes.get(), file.size(), &s))
        return "refused";
    char text[120];
    snprintf(text, sizeof text, "%d x %d bit at %u, block %d, %u B/s, %zu bytes at %td", s.channels,
             s.bitsPerSample, s.sampleRate, s.blockSize, s.bytesPerSecond, s.dataSize, s.data - bytes.get());
    return text;
}

TEST(WavFile, FindsThePlayableSoundOrRefusesTheFile) {
    const struct {
        const char *name;
        Bytes file;
        const char *expected;
    } cases[] = {
        {"plain PCM like the shipped sounds", riff(pcm(1, 22050, 16) + data(6)),
         "1 x 16 bit at 22050, block 2, 44100 B/s, 6 bytes at 44"},
        {"a chunk after the data", riff(pcm(1, 22050, 16) + data(6) + chunk("LIST", Bytes(5, 'x'))),
         "1 x 16 bit at 22050, block 2, 44100 B/s, 6 bytes at 44"},
        {"fmt after data", riff(data(8) + pcm(2, 44100, 16)), "2 x 16 bit at 44100, block 4, 176400 B/s, 8 bytes at 20"},
        {"odd chunk and its pad byte before data", riff(pcm(1, 8000, 8) + chunk("LIST", Bytes(3, 'x')) + data(5)),
         "1 x 8 bit at 8000, block 1, 8000 B/s, 5 bytes at 56"},
        {"odd data chunk last, without pad byte", riff(pcm(1, 8000, 8) + data(5, false)),
         "1 x 8 bit at 8000, block 1, 8000 B/s, 5 bytes at 44"},
        {"extensible PCM", riff(extensible(1) + data(8)), "2 x 16 bit at 44100, block 4, 176400 B/s, 8 bytes at 68"},
        {"extensible float", riff(extensible(3) + data(8)), "refused"},
        {"header lies about block and byte rate", riff(chunk("fmt ", format(1, 2, 22050, 16, 1, 7)) + data(8)),
         "2 x 16 bit at 22050, block 4, 88200 B/s, 8 bytes at 44"},
        {"7 bytes of 16-bit stereo cut to one block", riff(pcm(2, 11025, 16) + data(7)),
         "2 x 16 bit at 11025, block 4, 44100 B/s, 4 bytes at 44"},
        {"no whole block", riff(pcm(2, 11025, 16) + data(3)), "refused"},
        {"zero channels", riff(pcm(0, 22050, 16) + data(8)), "refused"},
        {"three channels", riff(pcm(3, 22050, 16) + data(12)), "refused"},
        {"24 bits", riff(pcm(1, 22050, 24) + data(6)), "refused"},
        {"zero rate", riff(pcm(1, 0, 16) + data(4)), "refused"},
        {"data chunk size past the end", riff(pcm(1, 22050, 16) + id("data") + le(100, 4) + Bytes(4, 0x80)), "refused"},
        {"not RIFF", riff(pcm(1, 22050, 16) + data(4), "WAVE", "RIFX"), "refused"},
        {"not WAVE", riff(pcm(1, 22050, 16) + data(4), "AVI "), "refused"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, found(c.file)) << c.name;
}

} // namespace
