// The drive scan and the SMART driver check run while the main window is
// created.
#pragma once

enum { ErrorTextSize = 512 };

// Last device-open failure of the scan, "%d - %s"; empty at start.
extern char ErrorText[ErrorTextSize];

// 1: go on; 0: stop (after its own message box, if any).
int CheckSmartDriver();

// Fills the drive table from the four positions. 1: at least one position
// answered; 0: none did (after showing ErrorText in an error box).
int ScanDrives();

// 1: the position answered the version query and the device-map test.
int ProbeDrive(int driveIndex);
