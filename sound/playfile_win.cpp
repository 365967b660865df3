// Playing one WAV file on Windows: the game's own effect player, a sound service on a thread of
// its own.
//
// A request only leaves its path for the service and wakes it: the game's thread makes no device
// call, reads no file and never waits. Audio stacks can take from milliseconds to seconds to open
// a device, and a device call can block for good once a headset is unplugged: that must freeze
// the sound, never the game. The service reads the file with the checked reader, cuts the sound
// that plays, writes the new one, and keeps one waveOut device open while sounds come.
#include "sound.h"
#include "wavfile.h"

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
constexpr DWORD kQuietSpellInMs = 1500;
constexpr DWORD kStopWaitInMs = 500; // at the end, for a service caught in a slow device call
// The picture first: the key or tick that asked for a sound is drawn in about a millisecond, and
// the file read and device calls, done meanwhile on a machine of two cores, slowed that paint by
// half (measured under Wine). A sound a few milliseconds later is far below what an ear can tell
// (Windows may round the wait up to its 16 ms clock tick, still well within that).
constexpr DWORD kPictureFirstInMs = 3;

// ---- What the game's thread and the service's share: the pending request alone, behind `lock`. ----
// The game's thread holds the lock only to copy a path in, the service only to take it out, so
// neither ever waits on the other's work; a request not yet taken is replaced by the next: the
// latest wins. A slim lock and a condition variable: no kernel call while the service is busy,
// where Wine makes every event a round trip to its server.
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT; // a request was left, or the stop asked for
char pending[MAX_PATH];
bool requested, stopping;
HANDLE service; // the game's thread alone: null until the first request

// ---- The service's thread alone from here on. ----

struct Player {
    HWAVEOUT device;     // null: closed
    WAVEFORMATEX format; // the open device's
    WAVEHDR headers[2];  // one per file buffer; headers[held] is prepared on the device
    int held;            // -1: no header on the device
    bool absent;         // opening failed, and no quiet spell has passed since
    DWORD lastAsked;     // while absent: when a sound was last asked for
    DWORD quietFrom;     // while open: when the device may close if nothing plays
};
Player player = {nullptr, {}, {}, -1, false, 0, 0};
// The file being played stays untouched in one buffer while the next is read into the other.
unsigned char files[2][kFileCapInBytes + 1];

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

void play(const char *path) {
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
    player.quietFrom = GetTickCount() + static_cast<DWORD>(sound.dataSize * 1000ULL / sound.bytesPerSecond);
}

// Closes the device once the quiet spell has passed, if its sound has ended; a device that lags
// gets another spell.
void closeWhenQuiet() {
    if (soundPlaying())
        player.quietFrom = GetTickCount();
    else
        closeDevice();
}

// The service: asleep until a request or the stop, or, while the device is open, until the quiet
// spell has passed. The lock is held only while it looks at what is shared.
DWORD WINAPI serve(void *) {
    char path[MAX_PATH];
    AcquireSRWLockExclusive(&lock);
    while (!stopping) {
        const LONG left = static_cast<LONG>(player.quietFrom + kQuietSpellInMs - GetTickCount());
        if (requested) {
            std::memcpy(path, pending, sizeof path);
            requested = false;
            ReleaseSRWLockExclusive(&lock);
            Sleep(kPictureFirstInMs);
            play(path);
            AcquireSRWLockExclusive(&lock);
        } else if (player.device && left <= 0) {
            ReleaseSRWLockExclusive(&lock);
            closeWhenQuiet();
            AcquireSRWLockExclusive(&lock);
        } else {
            SleepConditionVariableSRW(&changed, &lock, player.device ? static_cast<DWORD>(left) : INFINITE, 0);
        }
    }
    ReleaseSRWLockExclusive(&lock);
    closeDevice();
    return 0;
}

} // namespace

void playSoundFile(const char *path) {
    const size_t length = strnlen(path, MAX_PATH);
    if (length == MAX_PATH) // a cut path could name another file
        return;
    if (!service) // the first request starts the service, which stays for the program's life
        service = CreateThread(nullptr, 0, serve, nullptr, 0, nullptr);
    if (!service)
        return;
    AcquireSRWLockExclusive(&lock);
    std::memcpy(pending, path, length + 1);
    requested = true;
    ReleaseSRWLockExclusive(&lock);
    WakeConditionVariable(&changed);
}

void closeSoundDevice() {
    if (!service)
        return;
    AcquireSRWLockExclusive(&lock);
    stopping = true;
    ReleaseSRWLockExclusive(&lock);
    WakeConditionVariable(&changed);
    // A driver call that never returns keeps the service: the process ends without it.
    WaitForSingleObject(service, kStopWaitInMs);
}
