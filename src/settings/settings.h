// The user settings record. Its memory image is also the format of the
// settings file "ostrivel.ini": 172 bytes, little-endian, no header.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct Settings {
    int32_t pollMinutes;     // minutes between refresh ticks; 0 or below: no timer
    uint32_t changePercent;  // warning threshold of the attribute monitor
    char emailAddress[80];   // NUL-terminated, at most 79 characters
    char smtpServer[80];     // NUL-terminated, at most 79 characters
    int32_t recallMode;      // 0: notification-area icon; other: hot key
};
static_assert(sizeof(Settings) == 172, "settings file record is 172 bytes");
static_assert(offsetof(Settings, changePercent) == 4);
static_assert(offsetof(Settings, emailAddress) == 8);
static_assert(offsetof(Settings, smtpServer) == 88);
static_assert(offsetof(Settings, recallMode) == 168);

// The settings file, found by PlaceProgramFile, and the prefix of the save's
// temporary and spare files beside it: GetTempFileNameA
// names them "ost", one to four hex digits, ".tmp".
inline constexpr char SettingsFileName[] = "ostrivel.ini";
inline constexpr char SettingsTemporaryPrefix[] = "ost";

// The one settings record of the process (all zero at start).
extern Settings CurrentSettings;

// Replaces the record from "ostrivel.ini" where PlaceProgramFile reads it, or
// zeroes it when the file cannot be opened. Bytes the file does not hold stay
// zero; a text field without a terminator is cut at its last byte.
void LoadSettings();

// Writes the record to "ostrivel.ini" where PlaceProgramFile writes it,
// replacing the file only once the whole record is written; `path` tells
// where. Does nothing (and succeeds) before a load has run. On failure
// (0, the reason left for GetLastError) the file stays as it was and the
// record is kept.
int SaveSettings(char (&path)[MAX_PATH]);
inline int SaveSettings()
{
    char path[MAX_PATH];
    return SaveSettings(path);
}

// Back to the state of process start: record zero, nothing loaded.
void ForgetSettings();

// What interrupted saves left in each folder of the program's files, cleared
// before the load. When "ostrivel.ini" is missing there, the newest whole
// record among the save's temporary files takes its name (a Windows 9x save cut between its
// two renames); then every other temporary file of the save goes: empty or
// one whole record long, with the save's own names, and no others.
void RemoveStaleSettingsFiles();
