#include "monitor_windows.h"

#include <commctrl.h>

#include <cstdio>

#include "drive_scan.h"
#include "drive_services.h"
#include "file_places.h"
#include "file_replace.h"
#include "mail_config_file.h"
#include "monitor_state_file.h"
#include "notice.h"
#include "recall.h"
#include "smtp_winsock.h"
#include "warning_command.h"

const char MonitorStateFileName[] = "ostrivel.mon";

namespace {

// The start-up clean-up tells the state's leftovers by this size.
static_assert(static_cast<unsigned long>(MonitorStateLargest) == static_cast<unsigned long>(MonitorStateFileMax));

enum { OutcomePart = 1 };

MonitorWindow Where;
bool ClockArmed;

StateFileRead ReadState(void*, char* buffer, size_t capacity, size_t* length)
{
    uint32_t size = 0;
    const uint32_t fits = capacity < UINT32_MAX ? static_cast<uint32_t>(capacity) : UINT32_MAX;
    FilePlace place;
    PlaceProgramFile(MonitorStateFileName, &place);
    const uint32_t error =
        WindowsDriveFiles().readFile(place.read, reinterpret_cast<uint8_t*>(buffer), fits, &size);
    *length = error == ERROR_SUCCESS ? size : 0;
    if (error == ERROR_SUCCESS)
        return StateFileRead::Read;
    return error == ERROR_FILE_NOT_FOUND ? StateFileRead::Missing : StateFileRead::Unreadable;
}

// The file's full name, and why it could not be replaced: a folder in its
// place and a read-only file are named as such, other failures by the
// system's code and text.
bool WriteState(void*, const char* text, size_t length, char* why, size_t whyCapacity)
{
    char place[MAX_PATH];
    SetLastError(ERROR_SUCCESS);
    if (SaveProgramFile(MonitorStateFileName, MonitorTemporaryPrefix, text, length, place))
        return true;
    char reason[ErrorTextSize];
    FormatLastError(reason);
    const DWORD attributes = GetFileAttributesA(place);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        std::snprintf(reason, sizeof reason, "a folder has its name");
    else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        std::snprintf(reason, sizeof reason, "the file is read-only");
    char path[MAX_PATH];
    if (GetFullPathNameA(place, sizeof path, path, nullptr) - 1 >= sizeof path - 1)
        std::snprintf(path, sizeof path, "%s", place);
    std::snprintf(why, whyCapacity, "%s could not be written: %s", path, reason);
    return false;
}

// Local time minus UTC, daylight saving included.
int32_t LocalUtcOffsetMinutes()
{
    TIME_ZONE_INFORMATION zone;
    LONG bias = 0;  // UTC = local time + bias
    switch (GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_DAYLIGHT: bias = zone.Bias + zone.DaylightBias; break;
    case TIME_ZONE_ID_STANDARD: bias = zone.Bias + zone.StandardBias; break;
    case TIME_ZONE_ID_UNKNOWN: bias = zone.Bias; break;
    default: break;  // no zone known: UTC
    }
    return -bias;
}

void LocalTimeNow(void*, LocalTime* now, int32_t* utcOffsetMinutes)
{
    WindowsSmartOs().getLocalTime(now);
    *utcOffsetMinutes = LocalUtcOffsetMinutes();
}

uint32_t Milliseconds(void*)
{
    return GetTickCount();
}

void ComputerName(void*, char* out, size_t capacity)
{
    DWORD size = static_cast<DWORD>(capacity);
    if (capacity > 0 && !GetComputerNameA(out, &size))
        out[0] = '\0';
}

const SmtpServices* Network(void*)
{
    return WinsockSmtpServices(Where.window);
}

void ShowOutcome(void*, const char* shortText)
{
    SendDlgItemMessageA(Where.window, Where.statusBarId, SB_SETTEXTA, OutcomePart,
                        reinterpret_cast<LPARAM>(shortText));
}

void ArmClock(void*, uint32_t delayMs)
{
    if (delayMs > 0) {
        ClockArmed = SetTimer(Where.window, Where.clockTimerId, delayMs, nullptr) != 0;
    } else if (ClockArmed) {
        KillTimer(Where.window, Where.clockTimerId);
        ClockArmed = false;
    }
}

bool Reveal(void*, const char* protectedText, char* out, size_t capacity)
{
    return RevealPassword(protectedText, out, capacity);
}

CommandStart StartCommand(void*, const CommandRun& run)
{
    return Where.runsCommands ? StartWarningCommand(Where.window, Where.commandTimerId, run) : CommandStart::Refused;
}

bool ShowNotice(void*, const char* text, int32_t position)
{
    return ShowRecallNotice(Where.window, NoticeTitle, text, position);
}

const MonitorServices Services = {
    nullptr, ReadState,   WriteState, LocalTimeNow, Milliseconds, ComputerName, Network,
    ShowOutcome, ArmClock, Reveal,   StartCommand, ShowNotice,
};

}  // namespace

void ApplyStateFileThresholds()
{
    static char text[MonitorStateFileMax + 1];
    size_t length = 0;
    if (ReadState(nullptr, text, sizeof text, &length) == StateFileRead::Read && length <= MonitorStateFileMax)
        ApplyKeptThresholds(text, length, DriveTable);
}

const MonitorServices* WindowsMonitorServices(const MonitorWindow& where)
{
    Where = where;
    ClockArmed = false;
    return &Services;
}
