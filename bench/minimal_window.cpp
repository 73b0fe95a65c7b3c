// The yardstick for the start-up benchmark: a program that only opens a
// window of the main window's size, so the time of the real program can be
// read against what Wine itself needs for any window.
#include <windows.h>

#include "timing_points.h"

namespace {

LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    TimingPoints points = {TimingNow(), 0, 0, 0, 0};
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MinimalProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = "minimal";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "minimal", "Minimal", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 420, 370, nullptr, nullptr, instance,
                                  nullptr);
    points.created = TimingNow();
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    points.firstPaint = points.lastPaint = TimingNow();
    return RunTimedMessageLoop(&points);
}
