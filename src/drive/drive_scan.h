// The drive scan and the SMART driver check run while the main window is
// created.
#pragma once
#include <cstdint>

#include "smart_os.h"

enum { ErrorTextSize = 512 };
inline constexpr int ScanAnswerSize = 528;

// Device-open failure of the scan, "%d - %s"; empty at start. The last one
// whose code is not "file not found" or "path not found" (an empty
// position), else the last one.
extern char ErrorText[ErrorTextSize];

// The answers of the probe's three reads: the 16-byte SENDCMDOUTPARAMS header,
// then the sector at offset 16. Reused by every probe.
extern uint8_t IdentifyBuffer[ScanAnswerSize];
extern uint8_t AttributeBuffer[ScanAnswerSize];
extern uint8_t ThresholdBuffer[ScanAnswerSize];

// 1: go on; 0: stop (after its own message box, if any).
int CheckSmartDriver();

// Fills the drive table from the four positions. 1: at least one position
// answered; 0: none did (after showing ErrorText in an error box).
int ScanDrives();

// 1: the position answered the version query and the device-map test.
int ProbeDrive(int driveIndex);

// The position's device, or INVALID_HANDLE_VALUE after the reason has been
// given to ErrorText.
DeviceHandle OpenDriveDevice(int driveIndex);

// Writes "%d - %s" (the last error code and the system's text for it) into
// text, ErrorTextSize bytes, cut at 511 characters.
void FormatLastError(char* text);

// Reads the four positions again with the scan's probe (the monitor's check
// on each refresh tick): the table then holds what the drives answer now, and
// a position that no longer answers leaves the drive list. ErrorText keeps
// the start-up's text; no box is shown, and nothing here can end the program.
void RereadDrives();
