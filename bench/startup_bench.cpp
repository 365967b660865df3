// Start-up to the first paint, peak working set and exe sizes of Karvel.exe and of the empty window, from outside.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The dark square of the well cell at column 6, row 0: every piece enters with a cell
// there, and it is drawn last, so its colour on screen ends Karvel's first paint. The
// empty window paints its whole client area in one of these colours.
const POINT kProbe = {15 * 6 + 11 + 6, 15 * 0 + 21 + 6};
const COLORREF darkColours[] = {
    RGB(184, 0, 184), RGB(0, 184, 0), RGB(0, 0, 184), RGB(184, 184, 184),
    RGB(184, 0, 0),   RGB(0, 184, 184), RGB(184, 184, 0),
};
const DWORD kLimitMs = 20000; // a program that shows no first paint by then fails the run

double now() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Wine takes Unix paths through its Z: drive.
std::string windowsPath(const char *path) {
    std::string p = path;
    if (!p.empty() && p[0] == '/')
        p = "Z:" + p;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findVisibleWindow(HWND window, LPARAM data) {
    Search *search = reinterpret_cast<Search *>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool showsFirstPaint(HWND window) {
    POINT probe = kProbe;
    if (!ClientToScreen(window, &probe))
        return false;
    HDC screen = GetDC(nullptr);
    COLORREF seen = GetPixel(screen, probe.x, probe.y);
    ReleaseDC(nullptr, screen);
    return std::find(std::begin(darkColours), std::end(darkColours), seen) != std::end(darkColours);
}

struct Run {
    double startMs;        // process creation to the first paint on screen
    double peakWorkingSet; // bytes, right after that paint
};

// Starts exe, waits until its first paint shows on screen, reads its peak working set, ends it.
bool measureRun(const std::string &exe, Run *run) {
    std::string folder = exe.substr(0, exe.find_last_of('\\'));
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    double start = now();
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        std::fprintf(stderr, "startup_bench: cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        return false;
    }
    Search search = {process.dwProcessId, nullptr};
    bool painted = false;
    while (!painted && now() - start < kLimitMs) {
        if (!search.found)
            EnumWindows(findVisibleWindow, reinterpret_cast<LPARAM>(&search));
        painted = search.found && showsFirstPaint(search.found);
        if (!painted)
            Sleep(1);
    }
    run->startMs = now() - start;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    bool measured = GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory) && memory.PeakWorkingSetSize > 0;
    run->peakWorkingSet = double(memory.PeakWorkingSetSize);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Let the window leave the screen before the next program draws where it was.
    for (int i = 0; i < 200 && search.found && IsWindow(search.found); ++i)
        Sleep(5);
    Sleep(100);
    if (!painted)
        std::fprintf(stderr, "startup_bench: no first paint from %s within %lu ms\n", exe.c_str(), kLimitMs);
    else if (!measured)
        std::fprintf(stderr, "startup_bench: no working set for %s\n", exe.c_str());
    return painted && measured;
}

struct ExeSizes {
    double file, code, resources; // bytes
};

// The file's size, its code sections' and its resource directory's sizes in the file.
bool readExeSizes(const std::string &exe, ExeSizes *sizes) {
    HANDLE file = CreateFileA(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    std::vector<char> bytes(size_t(size.QuadPart));
    DWORD read = 0;
    bool ok = ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr) && read == bytes.size();
    CloseHandle(file);
    if (!ok || bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return false;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(bytes.data());
    if (size_t(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > bytes.size())
        return false;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(bytes.data() + dos->e_lfanew);
    auto section = IMAGE_FIRST_SECTION(nt);
    *sizes = {double(bytes.size()), 0, 0};
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (reinterpret_cast<const char *>(section + 1) > bytes.data() + bytes.size())
            return false;
        if (section->Characteristics & IMAGE_SCN_CNT_CODE)
            sizes->code += section->SizeOfRawData;
    }
    sizes->resources = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].Size;
    return true;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

// figure, value, floor, unit: one row of the benchmark's table
void row(const char *figure, double value, double floor, const char *unit, const char *format = "%.1f") {
    std::printf("%s\t", figure);
    std::printf(format, value);
    std::printf("\t");
    std::printf(format, floor);
    std::printf("\t%s\n", unit);
}

} // namespace

int main(int argc, char **argv) {
    bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    int first = smoke ? 2 : 1;
    if (argc < first + 2) {
        std::fprintf(stderr, "usage: startup_bench [--smoke] KARVEL_EXE EMPTY_WINDOW_EXE [RUNS]\n");
        return 2;
    }
    const std::string exes[2] = {windowsPath(argv[first]), windowsPath(argv[first + 1])};
    int runs = smoke ? 1 : argc > first + 2 ? std::max(15, std::atoi(argv[first + 2])) : 21;

    ExeSizes sizes[2];
    for (int e = 0; e < 2; ++e) {
        if (!readExeSizes(exes[e], &sizes[e])) {
            std::fprintf(stderr, "startup_bench: cannot read %s as a PE file\n", exes[e].c_str());
            return 1;
        }
    }

    // One unmeasured run each fills the file cache; then the two alternate, each
    // going first every other round, so that neither always follows the other.
    std::vector<double> startMs[2], peak[2];
    for (int i = -1; i < runs; ++i) {
        for (int k = 0; k < 2; ++k) {
            int e = (i & 1) ? 1 - k : k;
            Run run;
            if (!measureRun(exes[e], &run))
                return 1;
            if (i >= 0) {
                startMs[e].push_back(run.startMs);
                peak[e].push_back(run.peakWorkingSet);
            }
        }
    }

    char figure[80];
    std::snprintf(figure, sizeof figure, "start-up to first paint, median of %d", runs);
    row(figure, percentile(startMs[0], 0.5), percentile(startMs[1], 0.5), "ms");
    row("start-up to first paint, min", percentile(startMs[0], 0), percentile(startMs[1], 0), "ms");
    row("start-up to first paint, max", percentile(startMs[0], 1), percentile(startMs[1], 1), "ms");
    row("peak working set after first paint, median", percentile(peak[0], 0.5) / 1024, percentile(peak[1], 0.5) / 1024,
        "KiB", "%.0f");
    row("exe size", sizes[0].file / 1024, sizes[1].file / 1024, "KiB");
    row("exe code sections", sizes[0].code / 1024, sizes[1].code / 1024, "KiB");
    row("exe resources", sizes[0].resources / 1024, sizes[1].resources / 1024, "KiB");
    return 0;
}
