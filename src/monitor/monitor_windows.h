// The attribute monitor's services on Windows: its state file where the
// settings file is (PlaceProgramFile), the local time and UTC offset, the
// tick count, the computer's name, Winsock, the command on a warning, and the
// main window's status bar and timers.
#pragma once
#include <windows.h>

#include "monitor.h"

// Placed by PlaceProgramFile, as "ostrivel.ini" is.
extern const char MonitorStateFileName[];  // "ostrivel.mon"

// Where the monitor shows itself: its short outcome goes to part 1 of the
// status bar `statusBarId` of `window`, and MonitorClockTick is due when that
// window's timer `clockTimerId` fires; its timer `commandTimerId` watches the
// command on a warning (WatchWarningCommand), which runs only when
// `runsCommands`.
struct MonitorWindow {
    HWND window;
    int statusBarId;
    UINT_PTR clockTimerId;
    UINT_PTR commandTimerId;
    bool runsCommands;
};

const MonitorServices* WindowsMonitorServices(const MonitorWindow& where);

// The drives read without their thresholds get those the state file keeps;
// the file is only read.
void ApplyStateFileThresholds();
