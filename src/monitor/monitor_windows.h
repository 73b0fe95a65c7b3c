// The attribute monitor's services on Windows: its state file beside the
// program, the local time and UTC offset, the tick count, the computer's
// name, Winsock, and the main window's status bar and timer.
#pragma once
#include <windows.h>

#include "monitor.h"

// Opened by this name in the current directory, which the program start
// makes the program's own folder (as for "ostrivel.ini").
extern const char MonitorStateFileName[];  // "ostrivel.mon"

// Where the monitor shows itself: its short outcome goes to part 1 of the
// status bar `statusBarId` of `window`, and MonitorClockTick is due when that
// window's timer `clockTimerId` fires.
struct MonitorWindow {
    HWND window;
    int statusBarId;
    UINT_PTR clockTimerId;
};

const MonitorServices* WindowsMonitorServices(const MonitorWindow& where);
