// The main window's refresh timer (identifier 1), armed while pollMinutes > 0.
#pragma once
#include <windows.h>

#include <cstdint>

enum { RefreshTimerId = 1 };

// Period in milliseconds for an interval in minutes; intervals longer than
// SetTimer accepts get the longest period it accepts instead of wrapping.
UINT RefreshPeriod(int32_t pollMinutes);

// Sets timer 1 with the current interval when pollMinutes > 0.
void ArmRefreshTimer(HWND mainWindow);

void StopRefreshTimer(HWND mainWindow);
