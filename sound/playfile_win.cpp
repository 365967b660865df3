// Playing one WAV file on Windows: the game's own effect player, on the game's one thread.
//
// One waveOut device is kept open while sounds come, and closed after a quiet spell. Each
// request reads its file, cuts the sound that plays and writes the new one: about half a
// millisecond under Wine, where the system's sndPlaySoundA waits for the earlier sound's device
// to close and opens a new one from a new thread (over 10 ms for a held arrow key), and trusts
// the sizes inside the file. No callback and no thread of ours: the device is polled.
#include "sound.h"
#include "wavfile.h"

#include "rules/game.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

namespace {

constexpr DWORD kFileCapInBytes = 1 << 20; // dadam.wav is 44 KB; a larger file stays silent
// How long the device stays open once the last sound has ended, and how long no sound must be
// asked for before a machine found without a device is tried again. Long enough that a held
// key, a falling piece's landing and the next move find the device open (or, without one, pay
// nothing); short enough that the audio driver's timer thread (100 wake-ups a second under
// Wine) and the volume mixer's entry do not outlast a pause by much.
constexpr UINT kQuietSpellInMs = 1500;
constexpr UINT_PTR kQuietTimer = 1; // on the main window; the gravity timer is 0

// The player's whole state, valid between any two calls: the quiet timer may fire in the
// pause box's or a dialog's message loop, between two requests.
struct Player {
    HWAVEOUT device;     // null: closed
    WAVEFORMATEX format; // the open device's
    WAVEHDR headers[2];  // one per file buffer; headers[held] is prepared on the device
    int held;            // -1: no header on the device
    bool absent;         // opening failed, and no quiet spell has passed since
    DWORD lastAsked;     // while absent: when a sound was last asked for
};
Player player = {nullptr, {}, {}, -1, false, 0};
// The file being played stays untouched in one buffer while the next is read into the other.
unsigned char files[2][kFileCapInBytes + 1];

HWND mainWindowHandle() { return static_cast<HWND>(game.mainWindow); }

// Reads the file at PATH into BUFFER: its size, or 0 when it cannot be read or is over the cap.
DWORD readSoundFile(const char *path, unsigned char *buffer) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD size = 0;
    const BOOL read = ReadFile(file, buffer, kFileCapInBytes + 1, &size, nullptr);
    CloseHandle(file);
    return read && size <= kFileCapInBytes ? size : 0;
}

// Whether the device holds a sound that has not ended: it marks a header done at its end.
bool soundPlaying() { return player.held >= 0 && !(player.headers[player.held].dwFlags & WHDR_DONE); }

// Gives the held header back: the device must have marked it done (a reset does).
void releaseHeader() {
    if (player.held >= 0)
        waveOutUnprepareHeader(player.device, &player.headers[player.held], sizeof(WAVEHDR));
    player.held = -1;
}

void closeDevice() {
    KillTimer(mainWindowHandle(), kQuietTimer);
    if (!player.device)
        return;
    waveOutReset(player.device); // Wine closes a playing device without it; Windows refuses
    releaseHeader();
    waveOutClose(player.device);
    player.device = nullptr;
}

// Opens the default device for FORMAT. A format the device refuses leaves only that file
// silent; any other failure means no device: nothing is tried until a quiet spell.
bool openDevice(const WAVEFORMATEX &format) {
    const MMRESULT opened = waveOutOpen(&player.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (opened == MMSYSERR_NOERROR) {
        player.format = format;
        return true;
    }
    player.device = nullptr;
    player.absent = opened != WAVERR_BADFORMAT;
    player.lastAsked = GetTickCount();
    return false;
}

// Cuts the sound that plays, if one does, and starts SOUND from file buffer NEXT.
bool cutAndWrite(int next, const WavSound &sound) {
    if (soundPlaying() && waveOutReset(player.device) != MMSYSERR_NOERROR)
        return false;
    releaseHeader();
    WAVEHDR &header = player.headers[next];
    header = {};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<unsigned char *>(sound.data));
    header.dwBufferLength = static_cast<DWORD>(sound.dataSize);
    if (waveOutPrepareHeader(player.device, &header, sizeof header) != MMSYSERR_NOERROR)
        return false;
    player.held = next;
    return waveOutWrite(player.device, &header, sizeof header) == MMSYSERR_NOERROR;
}

// Closes the device once the last sound has ended and a quiet spell has passed.
void CALLBACK closeWhenQuiet(HWND window, UINT, UINT_PTR, DWORD) {
    if (soundPlaying()) {
        SetTimer(window, kQuietTimer, kQuietSpellInMs, closeWhenQuiet); // the device lags: later
        return;
    }
    closeDevice();
}

} // namespace

void playSoundFile(const char *path) {
    if (player.absent) { // a held key without a device must not pay for a failed open now and then
        const DWORD now = GetTickCount(), quietFor = now - player.lastAsked;
        player.lastAsked = now;
        if (quietFor < kQuietSpellInMs)
            return;
        player.absent = false;
    }
    const int next = player.held == 0 ? 1 : 0;
    WavSound sound;
    if (!readWavSound(files[next], readSoundFile(path, files[next]), &sound))
        return;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(sound.channels);
    format.nSamplesPerSec = sound.sampleRate;
    format.nAvgBytesPerSec = sound.bytesPerSecond;
    format.nBlockAlign = static_cast<WORD>(sound.blockSize);
    format.wBitsPerSample = static_cast<WORD>(sound.bitsPerSample);
    if (player.device && std::memcmp(&format, &player.format, sizeof format) != 0)
        closeDevice();
    if (!player.device && !openDevice(format))
        return;
    if (!cutAndWrite(next, sound)) {
        closeDevice();
        return;
    }
    // The quiet spell counts from the end of this sound.
    const ULONGLONG lengthInMs = sound.dataSize * 1000ULL / sound.bytesPerSecond;
    SetTimer(mainWindowHandle(), kQuietTimer, static_cast<UINT>(lengthInMs + kQuietSpellInMs), closeWhenQuiet);
}

void closeSoundDevice() { closeDevice(); }
