// The command on a warning on Windows: started without a shell or a window,
// with its environment and the message in a temporary file, and watched by
// a timer of the window, so that nothing waits on the window's thread.
#pragma once
#include <windows.h>

#include "monitor.h"

// Starts the command (one at a time) and the timer `timerId` of `window`
// that watches it; the timer's ticks go to WatchWarningCommand.
CommandStart StartWarningCommand(HWND window, UINT_PTR timerId, const CommandRun& run);

// Passes the command's end to MonitorCommandEnded; after CommandTimeoutMs it
// ends the command and every program it started (a job object, where the
// system has them). Then removes the message file and stops the timer.
void WatchWarningCommand();

// Ends a running command at once, as at the program's end (nothing told).
void StopWarningCommand();
