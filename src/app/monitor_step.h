// The attribute monitor in the main window: its start, its turn on each
// refresh tick, its own timers, the label at the top right and the outcome
// in the status bar.
#pragma once
#include <windows.h>

#include "mail_config.h"
#include "settings.h"

// Timer 1 is the refresh tick; these are the monitor's own.
enum : UINT_PTR { MonitorFirstCheckTimerId = 2, MonitorClockTimerId = 3, MonitorCommandTimerId = 4 };  // 5: the notice's icon (recall.h)
enum { MonitorFirstCheckDelayMs = 5000 };

// At creation, once the settings are loaded and before the views are
// filled: reads the state file, keeps the thresholds the scan read or gives
// the drives read without rights those kept, and arms the comparison of the
// start-up scan's values, about 5 seconds later.
void StartMonitor(HWND mainWindow);

// The refresh tick's turn, before the views are refilled: every position is
// read again, its thresholds kept or given, then compared.
void MonitorStep(HWND mainWindow);

// WM_TIMER for any identifier but the refresh tick's.
void OnMonitorTimer(HWND mainWindow, UINT_PTR id);

// After the Setup dialog: the label follows the settings; after OK the
// monitor hears what changed.
void MonitorSetupEnded(const Settings& before, const MailConfig& beforeMail, bool confirmed);

// The full text of the latest outcome in a message box (a double-click on
// the status bar's outcome part).
void ShowMonitorOutcome(HWND mainWindow);

// At destruction: the timers go and an open connection is closed.
void StopMonitor(HWND mainWindow);
