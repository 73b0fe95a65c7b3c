#include "monitor_step.h"

#include "drive_scan.h"
#include "elevation.h"
#include "layout.h"
#include "mail_config_file.h"
#include "monitor.h"
#include "monitor_windows.h"
#include "product.h"
#include "recall.h"
#include "resource.h"
#include "smtp_winsock.h"
#include "warning_command.h"

namespace {

const char MonitorEnabledText[] = "Monitor enabled";
const char MonitorDisabledText[] = "Monitor disabled";
const char NoOutcomeText[] = "The monitor has nothing to report yet.";

MonitorSettings MonitorSettingsOf(const Settings& settings, const MailConfig& mail = CurrentMailConfig)
{
    return {settings.emailAddress, settings.smtpServer, settings.pollMinutes, settings.changePercent, &mail};
}

void CheckTable()
{
    MonitorCheck(DriveTable, MonitorSettingsOf(CurrentSettings));
}

void ShowMonitorLabel()
{
    SetWindowTextA(MonitorLabel, MonitorMailEnabled(MonitorSettingsOf(CurrentSettings)) ? MonitorEnabledText
                                                                                         : MonitorDisabledText);
}

}  // namespace

// The command comes from a file that the user can write: a copy started as
// administrator never runs it.
bool MayRunWarningCommand()
{
    return !IsElevatedCopy();
}

void StartMonitor(HWND mainWindow)
{
    LoadMailConfig();
    MonitorStart(WindowsMonitorServices(
        {mainWindow, IDC_STATUS_BAR, MonitorClockTimerId, MonitorCommandTimerId, MayRunWarningCommand()}));
    MonitorKeepThresholds(DriveTable);
    ShowMonitorLabel();
    SetTimer(mainWindow, MonitorFirstCheckTimerId, MonitorFirstCheckDelayMs, nullptr);
}

void MonitorStep(HWND)
{
    RereadDrives();
    MonitorKeepThresholds(DriveTable);
    CheckTable();
}

void OnMonitorTimer(HWND mainWindow, UINT_PTR id)
{
    if (id == MonitorFirstCheckTimerId) {
        // Once: the values that the start-up scan read against the last run's.
        KillTimer(mainWindow, MonitorFirstCheckTimerId);
        CheckTable();
    } else if (id == MonitorClockTimerId) {
        MonitorClockTick();
    } else if (id == MonitorCommandTimerId) {
        WatchWarningCommand();
    } else if (id == RecallNoticeTimerId) {
        EndRecallNotice(mainWindow);
    }
}

void MonitorSetupEnded(const Settings& before, const MailConfig& beforeMail, bool confirmed)
{
    ShowMonitorLabel();
    if (confirmed)
        MonitorSettingsChanged(MonitorSettingsOf(before, beforeMail), MonitorSettingsOf(CurrentSettings));
}

void ShowMonitorOutcome(HWND mainWindow)
{
    const char* text = MonitorLastOutcome();
    MessageBoxA(mainWindow, text[0] ? text : NoOutcomeText, ProgramCaption, MB_OK | MB_ICONINFORMATION);
}

void StopMonitor(HWND mainWindow)
{
    KillTimer(mainWindow, MonitorFirstCheckTimerId);
    KillTimer(mainWindow, MonitorClockTimerId);
    StopWarningCommand();
    MonitorReset();  // ends a running dialogue: no event reaches it after
    StopWinsock();
}
