// The sound service over an audio stack that stalls, fails or misbehaves: the game's sound library
// linked with this program's own waveOut calls, which take each row's time, note what the service
// asks of them and refuse what Windows refuses (Wine lets more pass). Whatever the device does,
// every request returns at once.
//
//     stalled_sound_test ROW    one row of the table, in a process of its own; 0 when it passes
//
// The hung row runs in a second process, started by the first: once its requests are made (its
// message loop has ended), it must end by itself within a second, with the exit code it returns.
#include "sound/sound.h"
#include "sound/wavfile.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct Row {
    const char *name;
    DWORD openMs, resetMs, closeMs; // what each of those calls takes
    bool writeHangs;                // a write never returns, as after a headset is unplugged
    int failedOpens;                // the first opens find no device
    const char *refuses;            // a format the device does not take (WAVERR_BADFORMAT)
    const char *requests;           // the sounds asked for, one every 33 ms as a held key repeats
    DWORD pauseMs;                  // after the first request, which then finds no device
    bool eachWritten;               // every later request is written, before the next (else the last is)
    const char *opens;              // the formats the device was opened for, in order
};
const Row rows[] = {
    // name         open reset close hangs failed refuses     requests                            pause each  opens
    {"heldkey",     0,   0,    0,    false, 0, "",          "bip tac bip tac bip tac bip tac bip",  0,    true,  "22050/1/16"},
    {"slowed",      500, 200,  300,  false, 0, "",          "bip tac bip tac bip tac bip tac bip tac bip tac bip tac bip tac",
                                                                                                    0,    false, "22050/1/16"},
    {"hung",        0,   0,    0,    true,  0, "",          "bip bip bip bip bip bip bip bip bip",  0,    false, "22050/1/16"},
    // No device at first: once no sound has been asked for during a quiet spell it is looked for
    // again, and from then on every sound is written, also at a held key's rate.
    {"deviceback",  0,   0,    0,    false, 1, "",          "bip bip bip bip bip bip bip bip",      1600, true,  "failed 22050/1/16"},
    // Another format: the device is opened again for it, and again for the first. (Enough
    // requests after it that one scheduling hiccup cannot make the median.)
    {"otherformat", 0,   0,    0,    false, 0, "",          "bip other bip tac bip tac bip",        0,    true,
     "22050/1/16 8000/1/8 22050/1/16"},
    // A format the device refuses silences that file alone, not every sound for a quiet spell: the
    // next one, 33 ms later, is written.
    {"refusedformat", 0, 0,    0,    false, 0, "8000/1/8",  "bip other bip tac bip tac bip",        0,    true,
     "22050/1/16 refused 8000/1/8 22050/1/16"},
};
const Row *row;

// ---- The device: what the service asked of it, noted for the checks. ----
CRITICAL_SECTION lock;           // the service's thread notes, the test's reads
std::vector<std::string> calls;  // "open 22050/1/16", "write bip", "reset", "close", "misuse: ...", ...
WAVEHDR *held;                   // the header the device plays, and its bytes as written
std::string heldBytes;
WAVEHDR *queued;                 // written, and not yet given back by a reset
std::set<WAVEHDR *> prepared;    // prepared on the open device, not unprepared since
std::atomic<int> devicesOpen;
std::vector<std::pair<std::string, std::string>> sounds; // name, the data a device gets

void note(const std::string &call) {
    EnterCriticalSection(&lock);
    calls.push_back(call);
    LeaveCriticalSection(&lock);
}

std::vector<std::string> noted(const char *prefix) {
    EnterCriticalSection(&lock);
    std::vector<std::string> found;
    std::copy_if(calls.begin(), calls.end(), back_inserter(found), [&](auto &c) { return c.rfind(prefix, 0) == 0; });
    LeaveCriticalSection(&lock);
    return found;
}

std::string formatName(unsigned rate, unsigned channels, unsigned bits) {
    return std::to_string(rate) + "/" + std::to_string(channels) + "/" + std::to_string(bits);
}

// A buffer the device holds must not change before the device gives it back.
void checkHeld() {
    if (held && heldBytes != std::string(held->lpData, held->dwBufferLength))
        note("overwritten while the device held it");
}

// Windows keeps the preparation of a header until it is unprepared, even when its flags are
// cleared: preparing it again, or closing the device, leaks it.
void checkUnprepared(const char *when) {
    EnterCriticalSection(&lock);
    if (!prepared.empty())
        note(std::string("misuse: a header never unprepared ") + when);
    prepared.clear();
    LeaveCriticalSection(&lock);
}

MMRESULT WINAPI openDevice(LPHWAVEOUT device, UINT, LPCWAVEFORMATEX format, DWORD_PTR, DWORD_PTR, DWORD) {
    Sleep(row->openMs);
    static int failed;
    if (failed++ < row->failedOpens)
        return note("open failed"), MMSYSERR_NODRIVER;
    const std::string name = formatName(format->nSamplesPerSec, format->nChannels, format->wBitsPerSample);
    if (name == row->refuses)
        return note("open refused " + name), WAVERR_BADFORMAT;
    note("open " + name);
    ++devicesOpen;
    *device = reinterpret_cast<HWAVEOUT>(1);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI writeSound(HWAVEOUT, LPWAVEHDR header, UINT) {
    if (row->writeHangs)
        Sleep(INFINITE);
    held = queued = header;
    heldBytes.assign(header->lpData, header->dwBufferLength);
    header->dwFlags |= WHDR_INQUEUE; // playing until a reset: each sound is cut by the next
    auto sound = std::find_if(sounds.begin(), sounds.end(), [](auto &s) { return s.second == heldBytes; });
    note("write " + (sound == sounds.end() ? std::string("unknown") : sound->first));
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI resetDevice(HWAVEOUT) {
    Sleep(row->resetMs);
    checkHeld();
    if (queued)
        queued->dwFlags = (queued->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    queued = nullptr;
    note("reset");
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI prepareHeader(HWAVEOUT, LPWAVEHDR header, UINT) {
    if (header->dwFlags & WHDR_PREPARED) // prepared and never cleared since: no effect
        return MMSYSERR_NOERROR;
    EnterCriticalSection(&lock);
    if (!prepared.insert(header).second)
        note("misuse: a header prepared again without an unprepare");
    LeaveCriticalSection(&lock);
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI unprepareHeader(HWAVEOUT, LPWAVEHDR header, UINT) {
    if (header == queued)
        return note("misuse: unprepare of a header still queued"), WAVERR_STILLPLAYING;
    checkHeld();
    EnterCriticalSection(&lock);
    prepared.erase(header);
    LeaveCriticalSection(&lock);
    header->dwFlags &= ~WHDR_PREPARED;
    held = header == held ? nullptr : held;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI closeDevice(HWAVEOUT) {
    Sleep(row->closeMs);
    if (queued) // the device stays open
        return note("misuse: close while a sound is queued"), WAVERR_STILLPLAYING;
    checkUnprepared("before the close");
    note("close");
    --devicesOpen;
    return MMSYSERR_NOERROR;
}

} // namespace

// The game's sound library calls these through its imports: they are the device here.
extern "C" {
decltype(&waveOutOpen) __imp_waveOutOpen = openDevice;
decltype(&waveOutWrite) __imp_waveOutWrite = writeSound;
decltype(&waveOutReset) __imp_waveOutReset = resetDevice;
decltype(&waveOutPrepareHeader) __imp_waveOutPrepareHeader = prepareHeader;
decltype(&waveOutUnprepareHeader) __imp_waveOutUnprepareHeader = unprepareHeader;
decltype(&waveOutClose) __imp_waveOutClose = closeDevice;
}

namespace {

std::string folder; // this program's, where the sounds are (other.wav: 8000 Hz, mono, 8 bits)
std::vector<double> requestMs;
std::vector<std::string> refused; // the sounds of the format the row refuses

bool fail(const std::string &what) {
    std::printf("FAIL: %s\n", what.c_str());
    return false;
}

double nowMs() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(count.QuadPart) / double(frequency.QuadPart);
}

bool writtenWithin(size_t writes, DWORD ms) {
    for (DWORD waited = 0; noted("write").size() < writes && waited < ms; waited += 5)
        Sleep(5);
    return noted("write").size() >= writes;
}

// The row's requests, each timed on this thread, then its checks of what the device was asked.
bool run() {
    std::vector<std::string> names;
    for (const char *at = row->requests; *at; at += std::strspn(at, " "))
        names.emplace_back(at, std::strcspn(at, " ")), at += names.back().size();
    std::string asked; // what must be written: not what was asked for without a device or refused
    size_t toWrite = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string path = folder + names[i] + ".wav";
        const double start = nowMs();
        playSoundFile(path.c_str());
        requestMs.push_back(nowMs() - start);
        Sleep(i == 0 && row->pauseMs ? row->pauseMs : 33);
        if ((i || !row->pauseMs) && std::count(refused.begin(), refused.end(), names[i]) == 0)
            asked += " " + names[i], ++toWrite;
        if (row->eachWritten && toWrite && !writtenWithin(toWrite, 1000))
            return fail("request " + std::to_string(i + 1) + " was not written");
    }
    Sleep(row->openMs + 2 * row->resetMs); // the last request is written once the device is free
    std::string opens, writes;
    for (const std::string &call : noted("open "))
        opens += (opens.empty() ? "" : " ") + call.substr(5);
    for (const std::string &call : noted("write "))
        writes += " " + call.substr(6);
    if (opens != row->opens)
        return fail("the device was opened for " + opens + ", not " + row->opens);
    const std::string lastAsked = " " + names.back();
    const bool lastWritten = writes.size() >= lastAsked.size() &&
                             writes.compare(writes.size() - lastAsked.size(), lastAsked.size(), lastAsked) == 0;
    if (!row->writeHangs && !(row->eachWritten ? writes == asked : lastWritten))
        return fail("written:" + writes + "; asked for:" + asked);
    return true;
}

bool loadSounds() {
    char exe[MAX_PATH];
    folder.assign(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
    folder.erase(folder.rfind('\\') + 1);
    for (const char *name : {"bip", "tac", "other"}) {
        std::ifstream in(folder + name + ".wav", std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        WavSound sound;
        if (!readWavSound(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), &sound))
            return fail(std::string("no sound in ") + folder + name + ".wav");
        sounds.emplace_back(name, std::string(reinterpret_cast<const char *>(sound.data), sound.dataSize));
        if (formatName(sound.sampleRate, unsigned(sound.channels), unsigned(sound.bitsPerSample)) == row->refuses)
            refused.push_back(name);
    }
    return true;
}

constexpr int kLoopResult = 3; // what the hung row's process returns when it passes

// Runs the hung row in a process of its own: 0 when it ends within a second of its loop's end,
// with its own exit code.
int endsByItself(const char *exe) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE loopEnded = CreateEventA(&inherited, TRUE, FALSE, nullptr);
    std::string command = std::string("\"") + exe + "\" hung " + std::to_string(uintptr_t(loopEnded));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child))
        return fail("the hung row's process did not start"), 1;
    const bool loopEndedInTime = WaitForSingleObject(loopEnded, 30000) == WAIT_OBJECT_0;
    const double loopEnd = nowMs();
    const bool ended = loopEndedInTime && WaitForSingleObject(child.hProcess, 1000) == WAIT_OBJECT_0;
    std::printf("hung: the process ended %.0f ms after its loop\n", nowMs() - loopEnd);
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    TerminateProcess(child.hProcess, 1);
    if (!ended)
        return fail("the process did not end within a second of its loop's end"), 1;
    return code == kLoopResult ? 0 : (fail("exit code " + std::to_string(code)), 1);
}

} // namespace

int main(int argc, char **argv) {
    InitializeCriticalSection(&lock);
    for (const Row &r : rows)
        row = argc >= 2 && std::strcmp(argv[1], r.name) == 0 ? &r : row;
    if (!row)
        return std::printf("usage: stalled_sound_test ROW\n"), 2;
    const bool child = argc == 3;
    if (row->writeHangs && !child)
        return endsByItself(argv[0]);
    bool passed = loadSounds() && run();
    // The message loop has ended: the process must end now, whatever the service is doing.
    if (child)
        SetEvent(reinterpret_cast<HANDLE>(std::strtoull(argv[2], nullptr, 10)));
    const double stopStart = nowMs();
    closeSoundDevice();
    const double stopMs = nowMs() - stopStart;
    // A slow close may outlast the stop's wait; a hung write keeps the device for good.
    for (DWORD waited = 0; !row->writeHangs && devicesOpen > 0 && waited < 1000; waited += 5)
        Sleep(5);

    std::sort(requestMs.begin(), requestMs.end());
    const double median = requestMs.empty() ? 0 : requestMs[requestMs.size() / 2];
    const double most = requestMs.empty() ? 0 : requestMs.back();
    std::printf("%s: %zu requests, median %.3f ms, longest %.3f ms; stopped after %.0f ms; device calls:",
                row->name, requestMs.size(), median, most, stopMs);
    for (const std::string &call : noted(""))
        std::printf(" %s;", call.c_str());
    std::printf("\n");
    if (median > 0.1 || most > 5)
        passed = fail("a request held the game's thread");
    if (stopMs > 600)
        passed = fail("the stop waited for the service");
    if (!noted("overwritten").empty())
        passed = fail("a file was read into the buffer the device played");
    if (!row->writeHangs) {
        checkUnprepared("at the end");
        if (devicesOpen > 0)
            passed = fail(std::to_string(devicesOpen) + " device(s) left open at the end");
    }
    const std::vector<std::string> misuses = noted("misuse: ");
    for (const std::string &misuse : std::set<std::string>(misuses.begin(), misuses.end()))
        passed = fail("what Windows refuses or leaks: " + misuse.substr(8) + ", " +
                      std::to_string(std::count(misuses.begin(), misuses.end(), misuse)) + " time(s)");
    std::fflush(stdout);
    return passed ? (child ? kLoopResult : 0) : 1;
}
