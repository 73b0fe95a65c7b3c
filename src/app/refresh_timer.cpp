#include "refresh_timer.h"

#include "settings.h"

UINT RefreshPeriod(int32_t pollMinutes)
{
    const uint64_t longest = USER_TIMER_MAXIMUM;
    uint64_t period = static_cast<uint64_t>(pollMinutes > 0 ? pollMinutes : 0) * 60000u;
    return static_cast<UINT>(period < longest ? period : longest);
}

void ArmRefreshTimer(HWND mainWindow)
{
    if (CurrentSettings.pollMinutes > 0)
        SetTimer(mainWindow, RefreshTimerId, RefreshPeriod(CurrentSettings.pollMinutes), nullptr);
}

void StopRefreshTimer(HWND mainWindow)
{
    KillTimer(mainWindow, RefreshTimerId);
}
