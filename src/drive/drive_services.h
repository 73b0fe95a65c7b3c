// The Windows services behind the drive scan (Windows build only).
#pragma once

#include "emulated_drives.h"
#include "smart_os.h"

// The real KERNEL32/USER32 calls.
const SmartOs& WindowsSmartOs();

// Reading snapshot files with CreateFileA/ReadFile.
const DriveFiles& WindowsDriveFiles();

// Installs the emulated SMART driver when the environment variable
// OSTRIVEL_DRIVES names a folder (set and not empty), else the real calls.
// The other services (platform, files, message boxes) are real either way.
void SelectDriveServices();
