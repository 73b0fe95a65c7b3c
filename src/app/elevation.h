// Running as administrator when a drive could be read only the limited way.
// The first copy starts another one through the system's elevation prompt
// with "/elevated <settings folder>" and ends once it has started; the
// elevated copy keeps to the first one's settings folder (the elevating
// account may be another, with another %APPDATA%), never writes the log-on
// entry and lets the first copy's user recall it.
#pragma once
#include <windows.h>

// Reads "/elevated <folder>" (the folder in double quotes when it holds a
// blank) from the UTF-16 command line. The folder ends in a backslash.
// True for a copy started so; folder is then set.
bool ReadElevatedSwitch(const WCHAR* commandLine, WCHAR (&folder)[MAX_PATH]);

// Set once at start: this copy was started with the switch, and keeps every
// file of the program in the given folder.
void SetElevatedCopy(bool elevated, const WCHAR* settingsFolder);
bool IsElevatedCopy();

// Whether "Run as Administrator" has a place in the menu: Windows NT 6 or
// later, a copy not started elevated, and a drive read the limited way.
bool OffersElevation();

// Adds or removes the Functions menu's "Run as Administrator" item as
// OffersElevation says, and sets status-bar part 0's text to match.
void ShowElevationOffer(HWND mainWindow);

// The menu command: saves the settings, starts the elevated copy and, once
// it has started, ends this one. A declined prompt changes nothing.
void RunAsAdministrator(HWND mainWindow);

// In the elevated copy: lets the recall message and "TaskbarCreated" in from
// the user's processes, which run at a lower integrity level.
void AdmitRecallMessages(HWND mainWindow);

// The access list of the one-copy guard that an elevated copy creates: the
// user's normal processes may open it. Null when none is needed or none can
// be made; release with FreeGuardSecurity.
SECURITY_ATTRIBUTES* GuardSecurity();
void FreeGuardSecurity();
