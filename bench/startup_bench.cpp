// Time from process start to a populated main window: the real program on
// four emulated drives next to a program that only opens a window, started
// alternately so that both see the same machine load.
//
//   startup_bench <ostrivel.exe> <minimal.exe> <drive folder> [runs]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "process_window.h"

namespace {

const DWORD Patience = 30000;

struct Target {
    const char* name;
    std::string exe;
    const char* className;
    bool needsRows;  // the drive list must hold rows
    std::vector<double> ms;
};

HWND ReadyWindow(const Target& t, DWORD processId)
{
    HWND window = FindProcessWindow(processId, t.className, true);
    if (window && t.needsRows && SendMessageA(GetDlgItem(window, 500), LVM_GETITEMCOUNT, 0, 0) <= 0)
        return nullptr;
    return window;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(to.QuadPart - from.QuadPart) / double(f.QuadPart);
}

// One start; milliseconds until the window is ready, or a negative number.
double TimeOneStart(const Target& t, const std::string& folder)
{
    std::string line = "\"" + t.exe + "\"";
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER begin, now;
    QueryPerformanceCounter(&begin);
    if (!CreateProcessA(t.exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &start, &process))
        return -1;
    HWND window = nullptr;
    double ms = -1;
    do {
        window = ReadyWindow(t, process.dwProcessId);
        QueryPerformanceCounter(&now);
        if (window)
            ms = Seconds(begin, now) * 1000;
        else
            Sleep(1);
    } while (!window && Seconds(begin, now) * 1000 < Patience);
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, Patience) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
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
    if (argc < 4) {
        std::fprintf(stderr, "usage: startup_bench <ostrivel.exe> <minimal.exe> <drive folder> [runs]\n");
        return 2;
    }
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 15;
    // The program saves its settings beside itself: run copies in a private folder.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "ostrivel-startup-bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetEnvironmentVariableA("OSTRIVEL_DRIVES", argv[3]);

    Target targets[] = {
        {"ostrivel, 4 emulated drives", CopyInto(folder, argv[1], "ostrivel.exe"), "ostrivel", true, {}},
        {"minimal window", CopyInto(folder, argv[2], "minimal.exe"), "minimal", false, {}},
    };
    for (Target& t : targets)
        TimeOneStart(t, folder);  // warm the file cache and Wine's loader
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
    std::printf("start to populated window (%d runs, wine64):\n", runs);
    for (const Target& t : targets) {
        std::printf("  %-28s median %7.1f ms   min %7.1f ms   max %7.1f ms\n", t.name, Median(t.ms),
                    *std::min_element(t.ms.begin(), t.ms.end()),
                    *std::max_element(t.ms.begin(), t.ms.end()));
    }
    std::printf("  ratio of medians            %.2f\n", Median(targets[0].ms) / Median(targets[1].ms));
    DeleteFileA((folder + "\\ostrivel.ini").c_str());
    DeleteFileA(targets[0].exe.c_str());
    DeleteFileA(targets[1].exe.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
