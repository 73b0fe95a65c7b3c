// The drive report on Windows: Functions > Copy Report (Ctrl+C) puts it on
// the clipboard, and "/report FILE" writes it without a window.
#pragma once
#include <windows.h>

// The report of the drive table as it stands, as CF_TEXT on the clipboard.
// False when the clipboard could not be had.
bool CopyReport(HWND mainWindow);

// The FILE of "/report FILE" in the command-line tail (in double quotes when
// it holds blanks) into file; false without "/report".
bool FindReportFile(const char* commandTail, char (&file)[MAX_PATH]);

// Reads the drives, writes the report to file and gives the exit code: 0
// every drive Ok (or without S.M.A.R.T.), 1 a Caution, 2 an Alert, 3 the file
// could not be written, 4 no drive answered. Shows nothing.
int WriteReportFile(const char* file);
