// The program with timing points, for the start-up benchmark's breakdown
// only: the product's own WinMain (main.cpp, compiled here under another
// name) entered from this one, which first replaces a few entries of the
// program's import table, so that the program's code runs as it is:
//   - RegisterClassA: the main window's procedure is wrapped, to see the end
//     of its WM_CREATE and of its paints;
//   - UpdateWindow: its return is the end of the first paint of the window
//     and every control on it;
//   - DispatchMessageA: the paints that the message loop dispatches;
//   - GetMessageA: the first time the loop asks for a message while none is
//     waiting (paints included) and the main window is shown: idle.
// No message hook: it would slow every message the program sends.
#include <windows.h>

#include "import_hook.h"
#include "main_window.h"
#include "timing_points.h"

// The product's WinMain, declared (like every WinMain) with C linkage.
extern "C" int WINAPI ProgramWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail,
                                     int showCommand);

namespace {

TimingPoints Points;
WNDPROC ProgramProc;
ImportHook* Hooks[4];
enum { RegisterHook, UpdateHook, DispatchHook, GetMessageHook };

template <typename F>
F Original(int hook)
{
    return Hooks[hook]->original<F>();
}

void PaintReturned()
{
    if (!Points.idle)
        Points.lastPaint = TimingNow();
}

LRESULT CALLBACK TimedMainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = ProgramProc(window, message, wParam, lParam);
    if (message == WM_CREATE && !Points.created)
        Points.created = TimingNow();
    if (message == WM_PAINT)
        PaintReturned();
    return result;
}

ATOM WINAPI TimedRegisterClassA(const WNDCLASSA* wc)
{
    WNDCLASSA timed = *wc;
    if (lstrcmpA(wc->lpszClassName, MainClassName) == 0) {
        ProgramProc = wc->lpfnWndProc;
        timed.lpfnWndProc = TimedMainWindowProc;
    }
    return Original<decltype(&RegisterClassA)>(RegisterHook)(&timed);
}

BOOL WINAPI TimedUpdateWindow(HWND window)
{
    BOOL result = Original<decltype(&UpdateWindow)>(UpdateHook)(window);
    if (window == MainWindow && !Points.firstPaint)
        Points.firstPaint = Points.lastPaint = TimingNow();
    return result;
}

LRESULT WINAPI TimedDispatchMessageA(const MSG* msg)
{
    LRESULT result = Original<decltype(&DispatchMessageA)>(DispatchHook)(msg);
    if (msg->message == WM_PAINT)
        PaintReturned();
    return result;
}

BOOL WINAPI TimedGetMessageA(LPMSG msg, HWND window, UINT first, UINT last)
{
    MSG waiting;
    if (!Points.idle && MainWindow && IsWindowVisible(MainWindow)
        && !PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
        Points.idle = TimingNow();
        SaveTimingPoints(Points);
    }
    return Original<decltype(&GetMessageA)>(GetMessageHook)(msg, window, first, last);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand)
{
    Points.entered = TimingNow();
    ImportHook registerClass("user32.dll", "RegisterClassA", reinterpret_cast<void*>(TimedRegisterClassA));
    ImportHook update("user32.dll", "UpdateWindow", reinterpret_cast<void*>(TimedUpdateWindow));
    ImportHook dispatch("user32.dll", "DispatchMessageA", reinterpret_cast<void*>(TimedDispatchMessageA));
    ImportHook getMessage("user32.dll", "GetMessageA", reinterpret_cast<void*>(TimedGetMessageA));
    Hooks[RegisterHook] = &registerClass;
    Hooks[UpdateHook] = &update;
    Hooks[DispatchHook] = &dispatch;
    Hooks[GetMessageHook] = &getMessage;
    return ProgramWinMain(instance, previous, commandTail, showCommand);
}
