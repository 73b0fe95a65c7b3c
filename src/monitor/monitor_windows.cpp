#include "monitor_windows.h"

#include <commctrl.h>

#include "drive_services.h"
#include "file_places.h"
#include "file_replace.h"
#include "monitor_state_file.h"
#include "smtp_winsock.h"

const char MonitorStateFileName[] = "ostrivel.mon";

namespace {

// The start-up clean-up tells the state's leftovers by this size.
static_assert(static_cast<unsigned long>(MonitorStateLargest) == static_cast<unsigned long>(MonitorStateFileMax));

enum { OutcomePart = 1 };

MonitorWindow Where;
bool ClockArmed;

bool ReadState(void*, char* buffer, size_t capacity, size_t* length)
{
    uint32_t size = 0;
    const uint32_t fits = capacity < UINT32_MAX ? static_cast<uint32_t>(capacity) : UINT32_MAX;
    FilePlace place;
    PlaceProgramFile(MonitorStateFileName, &place);
    const bool read =
        WindowsDriveFiles().readFile(place.read, reinterpret_cast<uint8_t*>(buffer), fits, &size) == ERROR_SUCCESS;
    *length = read ? size : 0;
    return read;
}

bool WriteState(void*, const char* text, size_t length)
{
    char path[MAX_PATH];
    return SaveProgramFile(MonitorStateFileName, MonitorTemporaryPrefix, text, length, path) != 0;
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

const MonitorServices Services = {
    nullptr, ReadState, WriteState, LocalTimeNow, Milliseconds, ComputerName, Network, ShowOutcome, ArmClock,
};

}  // namespace

const MonitorServices* WindowsMonitorServices(const MonitorWindow& where)
{
    Where = where;
    ClockArmed = false;
    return &Services;
}
