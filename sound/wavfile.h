// Finding the PCM sound in the bytes of a WAV file, which may be anything.
#pragma once

#include <cstddef>
#include <cstdint>

// A sound the effect player can play: a format built from checked fields alone, and its
// samples, a whole number of blocks inside the bytes that were read.
struct WavSound {
    int channels;            // 1 or 2
    int bitsPerSample;       // 8 or 16
    uint32_t sampleRate;     // samples per second and channel, above 0
    int blockSize;           // bytes of one sample of every channel: channels * bitsPerSample / 8
    uint32_t bytesPerSecond; // sampleRate * blockSize
    const unsigned char *data;
    size_t dataSize;         // a multiple of blockSize, above 0
};

// Reads the SIZE bytes at BYTES as a RIFF/WAVE file. Returns true and fills SOUND when they hold
// PCM sound of 1 or 2 channels, 8 or 16 bits, at a rate above 0, with at least one whole block;
// otherwise returns false and leaves SOUND as it was. Never reads outside the SIZE bytes.
bool readWavSound(const unsigned char *bytes, size_t size, WavSound *sound);
