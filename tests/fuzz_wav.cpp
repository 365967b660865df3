// Fuzz target for the WAV reader: any bytes at all. A sound it finds must lie inside them, in
// the body of a data chunk, with a format that follows from its checked fields; when it finds
// none, its record must be as it was.
#include "sound/wavfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char *what) {
    fprintf(stderr, "readWavSound: %s\n", what);
    abort();
}

uint32_t read32(const unsigned char *at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

} // namespace

// DATA needs no copy of our own: libFuzzer already hands over a copy in a heap block of exactly
// SIZE bytes (Fuzzer::ExecuteCallback), so AddressSanitizer stops a read just past the end.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    WavSound sound, pattern;
    memset(&pattern, 0xA5, sizeof pattern);
    memcpy(&sound, &pattern, sizeof sound);
    if (!readWavSound(data, size, &sound)) {
        if (memcmp(&sound, &pattern, sizeof sound) != 0)
            fail("refused the bytes but wrote its record");
        return 0;
    }
    if (sound.channels < 1 || sound.channels > 2 || (sound.bitsPerSample != 8 && sound.bitsPerSample != 16) ||
        sound.sampleRate == 0)
        fail("a format it should have refused");
    if (sound.blockSize != sound.channels * sound.bitsPerSample / 8 ||
        sound.bytesPerSecond != static_cast<uint64_t>(sound.sampleRate) * sound.blockSize)
        fail("block size or byte rate not the one its fields give");
    if (sound.dataSize == 0 || sound.dataSize % sound.blockSize != 0)
        fail("data not a whole number of blocks");
    // Addresses as numbers: comparing a pointer outside the input with it would be undefined.
    const uintptr_t offset = reinterpret_cast<uintptr_t>(sound.data) - reinterpret_cast<uintptr_t>(data);
    if (offset < 20 || offset > size || sound.dataSize > size - offset)
        fail("data outside the input or before the first chunk's body");
    // Right before the data: its chunk's header, whose size the cut to whole blocks only shortened.
    const uint32_t chunkSize = read32(sound.data - 4);
    if (memcmp(sound.data - 8, "data", 4) != 0 || chunkSize < sound.dataSize ||
        chunkSize - sound.dataSize >= static_cast<uint32_t>(sound.blockSize))
        fail("data not the body of a data chunk");
    return 0;
}
