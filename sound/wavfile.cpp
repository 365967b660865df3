// Finding the PCM sound in the bytes of a WAV file. Every size read from the file is compared
// with the bytes left before it is used, and the format handed on is computed, never copied.
#include "wavfile.h"

#include <cstring>

namespace {

constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kExtensibleTag = 0xFFFE;
constexpr size_t kPcmFormatSize = 16;        // tag, channels, rate, byte rate, block size, bits
constexpr size_t kExtensibleFormatSize = 40; // and cbSize, valid bits, channel mask, sub-format
// The sub-format of extensible PCM: KSDATAFORMAT_SUBTYPE_PCM as it lies in the file.
constexpr unsigned char kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                             0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t read16(const unsigned char *at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

uint32_t read32(const unsigned char *at) { return read16(at) | static_cast<uint32_t>(read16(at + 2)) << 16; }

// The bytes of one chunk, found by its identifier.
struct Chunk {
    const unsigned char *at; // null: not found
    size_t size;
};

} // namespace

bool readWavSound(const unsigned char *bytes, size_t size, WavSound *sound) {
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    // The RIFF size is not trusted either: the chunks are read up to the end of the bytes.
    Chunk format = {}, data = {};
    const unsigned char *at = bytes + 12;
    size_t left = size - 12;
    while (left >= 8 && !(format.at && data.at)) {
        const uint32_t chunkSize = read32(at + 4);
        const bool isFormat = std::memcmp(at, "fmt ", 4) == 0, isData = std::memcmp(at, "data", 4) == 0;
        at += 8;
        left -= 8;
        if (chunkSize > left)
            return false; // runs past the end: a cut or damaged file
        if (isFormat && !format.at)
            format = {at, chunkSize};
        if (isData && !data.at)
            data = {at, chunkSize};
        // An odd-sized chunk is followed by a pad byte, which the last chunk may lack.
        const size_t step = static_cast<size_t>(chunkSize) + (chunkSize & 1);
        at += step < left ? step : left;
        left -= step < left ? step : left;
    }
    if (!format.at || !data.at || format.size < kPcmFormatSize)
        return false;
    uint16_t tag = read16(format.at);
    if (tag == kExtensibleTag && format.size >= kExtensibleFormatSize && read16(format.at + 16) >= 22 &&
        std::memcmp(format.at + 24, kPcmSubFormat, sizeof kPcmSubFormat) == 0)
        tag = kPcmTag;
    const int channels = read16(format.at + 2);
    const uint32_t rate = read32(format.at + 4);
    const int bits = read16(format.at + 14);
    if (tag != kPcmTag || channels < 1 || channels > 2 || (bits != 8 && bits != 16) || rate == 0)
        return false;
    const int blockSize = channels * bits / 8;
    if (rate > UINT32_MAX / static_cast<uint32_t>(blockSize))
        return false; // the byte rate would not fit the format record
    const size_t wholeBlocks = data.size - data.size % static_cast<size_t>(blockSize);
    if (wholeBlocks == 0)
        return false;
    *sound = {channels, bits, rate, blockSize, rate * static_cast<uint32_t>(blockSize), data.at, wholeBlocks};
    return true;
}
