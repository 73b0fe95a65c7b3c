// Time from process start to the populated, idle main window: the real
// program on four emulated drives next to two yardsticks, a program that
// opens the same window with the same three list views, the status bar and
// one row per list, and a program that only opens a window. All are started
// in turn, so that they see the same machine load, and timed from outside:
// until the system reports the process idle (WaitForInputIdle) and its
// window is shown with rows in list 500.
//
// A build of the program with timing points (timed_start.cpp) runs in the same
// turns; it and the yardsticks give the breakdown (timing_points.h): WinMain
// entered, the end of WM_CREATE, the end of the first paint, the last paint
// and idle, as each program sees them.
//
//   startup_bench <ostrivel.exe> <timed ostrivel.exe> <controls.exe> <minimal.exe>
//                 <drive folder> [runs]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "process_window.h"

namespace {

const DWORD Patience = 30000;
const char* const PointNames[] = {"entered", "created", "firstPaint", "lastPaint", "idle"};
enum { PointCount = 5 };

struct Target {
    const char* name;
    std::string exe;
    const char* className;
    bool needsRows;       // list 500 must hold rows
    std::string points;   // where it writes its timing points; empty: it writes none
    std::vector<double> ms;
    std::vector<double> at[PointCount];
};

double Milliseconds(LONGLONG from, LONGLONG to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to - from) * 1000 / double(f.QuadPart);
}

LONGLONG Now()
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

bool Ready(const Target& t, DWORD processId)
{
    HWND window = FindProcessWindow(processId, t.className, true);
    return window && (!t.needsRows || SendMessageA(GetDlgItem(window, 500), LVM_GETITEMCOUNT, 0, 0) > 0);
}

// The timing points of the last start, in ms from `begin`.
bool ReadPoints(Target& t, LONGLONG begin)
{
    FILE* file = std::fopen(t.points.c_str(), "r");
    if (!file)
        return false;
    char name[32];
    long long value;
    int found = 0;
    while (std::fscanf(file, "%31s %lld", name, &value) == 2) {
        for (int i = 0; i < PointCount; ++i) {
            if (std::strcmp(name, PointNames[i]) == 0 && value) {
                t.at[i].push_back(Milliseconds(begin, value));
                ++found;
            }
        }
    }
    std::fclose(file);
    DeleteFileA(t.points.c_str());
    return found == PointCount;
}

// One start; milliseconds until the window is ready and the process idle, or
// a negative number.
double TimeOneStart(Target& t, const std::string& folder)
{
    std::string line = "\"" + t.exe + "\"";
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESHOWWINDOW;
    start.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    const LONGLONG begin = Now();
    if (!CreateProcessA(t.exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &start, &process))
        return -1;
    // Idle first, without spending the processor on polls meanwhile; a
    // window that is not populated by then is polled for.
    WaitForInputIdle(process.hProcess, Patience);
    double ms = -1;
    for (;;) {
        double elapsed = Milliseconds(begin, Now());
        if (Ready(t, process.dwProcessId)) {
            ms = elapsed;
            break;
        }
        if (elapsed > Patience)
            break;
        Sleep(1);
    }
    HWND window = FindProcessWindow(process.dwProcessId, t.className, false);
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, Patience) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!t.points.empty() && ms >= 0 && !ReadPoints(t, begin))
        std::fprintf(stderr, "%s: timing points missing\n", t.name);
    return ms;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string CopyInto(const std::string& folder, const char* from, const char* name)
{
    std::string to = folder + "\\" + name;
    CopyFileA(from, to.c_str(), FALSE);
    return to;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: startup_bench <ostrivel.exe> <timed ostrivel.exe> <controls.exe> "
                             "<minimal.exe> <drive folder> [runs]\n");
        return 2;
    }
    const int runs = argc > 6 ? std::max(1, std::atoi(argv[6])) : 21;
    // The program saves its settings beside itself: run copies in a private folder.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "ostrivel-startup-bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetEnvironmentVariableA("OSTRIVEL_DRIVES", argv[5]);
    std::string points = folder + "\\timing-points.txt";
    SetEnvironmentVariableA("OSTRIVEL_BENCH_TIMES", points.c_str());

    Target targets[] = {
        {"ostrivel, 4 emulated drives", CopyInto(folder, argv[1], "ostrivel.exe"), "ostrivel", true, "", {}, {}},
        {"same controls, a row each", CopyInto(folder, argv[3], "controls.exe"), "controls", true, points, {}, {}},
        {"window only", CopyInto(folder, argv[4], "minimal.exe"), "minimal", false, points, {}, {}},
        {"ostrivel, timed build", CopyInto(folder, argv[2], "ostrivel-timed.exe"), "ostrivel", true, points, {}, {}},
    };
    for (Target& t : targets)
        TimeOneStart(t, folder);  // warm the file cache and Wine's loader
    for (Target& t : targets) {
        for (std::vector<double>& point : t.at)
            point.clear();
    }
    for (int i = 0; i < runs; ++i) {
        for (Target& t : targets) {
            double ms = TimeOneStart(t, folder);
            if (ms < 0) {
                std::fprintf(stderr, "%s: no window within %lu ms\n", t.name, Patience);
                return 1;
            }
            t.ms.push_back(ms);
        }
    }
    std::printf("start to populated, idle window (%d alternating runs each, wine64):\n", runs);
    for (const Target& t : targets) {
        std::printf("  %-30s median %7.1f ms   min %7.1f ms   max %7.1f ms\n", t.name, Median(t.ms),
                    *std::min_element(t.ms.begin(), t.ms.end()),
                    *std::max_element(t.ms.begin(), t.ms.end()));
    }
    const double program = Median(targets[0].ms);
    std::printf("  ratio against the same controls  %.2f   (goal: at most 1.3)\n", program / Median(targets[1].ms));
    std::printf("  ratio against the window only    %.2f\n", program / Median(targets[2].ms));

    std::printf("breakdown, medians in ms from process start (the program's from its timed build):\n"
                "  %-30s %8s %9s %10s %10s %7s\n", "", "WinMain", "WM_CREATE", "1st paint", "last paint", "idle");
    for (int k : {3, 1, 2}) {
        std::printf("  %-30s %8.1f %9.1f %10.1f %10.1f %7.1f\n", targets[k].name, Median(targets[k].at[0]),
                    Median(targets[k].at[1]), Median(targets[k].at[2]), Median(targets[k].at[3]),
                    Median(targets[k].at[4]));
    }
    DeleteFileA((folder + "\\ostrivel.ini").c_str());
    for (const Target& t : targets)
        DeleteFileA(t.exe.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
