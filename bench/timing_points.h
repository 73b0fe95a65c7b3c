// The moments of a start that the start-up benchmark prints, taken inside
// the programs it starts (the timed build of the program and both yardstick
// programs), as performance-counter readings: the counter is the same in
// every process, so startup_bench subtracts its own reading at the start.
// They go to the file named by OSTRIVEL_BENCH_TIMES, when it is set.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>

struct TimingPoints {
    LONGLONG entered;     // WinMain entered: the loader's work is done
    LONGLONG created;     // the main window's WM_CREATE returned
    LONGLONG firstPaint;  // UpdateWindow of the main window returned
    LONGLONG lastPaint;   // the last paint before idle returned
    LONGLONG idle;        // the message loop found nothing waiting
};

inline LONGLONG TimingNow()
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

inline void SaveTimingPoints(const TimingPoints& p)
{
    const char* path = std::getenv("OSTRIVEL_BENCH_TIMES");
    if (!path)
        return;
    char text[256];
    int n = std::snprintf(text, sizeof text,
                          "entered %lld\ncreated %lld\nfirstPaint %lld\nlastPaint %lld\nidle %lld\n",
                          p.entered, p.created, p.firstPaint, p.lastPaint, p.idle);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
}

// The message loop of the yardstick programs, with the idle moment: the first
// time it asks for a message while none (and no paint) is waiting.
inline int RunTimedMessageLoop(TimingPoints* points)
{
    MSG msg;
    for (;;) {
        if (!points->idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            points->idle = TimingNow();
            SaveTimingPoints(*points);
        }
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0)
            return static_cast<int>(msg.wParam);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_PAINT && !points->idle)
            points->lastPaint = TimingNow();
    }
}
