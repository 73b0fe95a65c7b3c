// The emulated SMART driver: serves the four drive positions from snapshot
// files (drive0.blob .. drive3.blob) in one folder, through the device calls
// of a SmartOs record, so the program runs and is tested without real drives.
//
// Windows NT model, "\\.\PhysicalDriveN" (N 0..3): opens when driveN.blob is a
// valid snapshot. A missing file fails with ERROR_FILE_NOT_FOUND, an unreadable
// one with the system's code for the failure (a folder: ERROR_ACCESS_DENIED;
// larger than EmulatedFileCapacity: ERROR_FILE_TOO_LARGE), a malformed one
// with ERROR_FILE_CORRUPT.
// Windows 9x model, "\\.\SMARTVSD": opens when the folder exists and serves all
// four positions by bDriveNumber; a request for a position whose file is
// missing or bad fails with that file's code.
//
// Requests are checked as a real driver would: control code, input length 32,
// output room, the registers of ENABLE, IDENTIFY, READ ATTRIBUTE VALUES and
// READ ATTRIBUTE THRESHOLDS, cBufferSize, and a drive/head register matching
// bDriveNumber (on NT also the opened position). A rejected request sets the
// last error: ERROR_INVALID_FUNCTION, ERROR_INVALID_PARAMETER or
// ERROR_INSUFFICIENT_BUFFER. A read whose section the snapshot lacks fails
// with ERROR_IO_DEVICE.
//
// Windows NT also gets the storage queries: the device descriptor (bus type
// 17 for a snapshot with NVMe sections, else 11, with the NVMe model, serial
// and firmware as its texts), the three NVMe requests of the NVMe driver
// (Identify Controller, Identify Namespace 1, the health log; any other
// protocol, data type, request value, sub-value, offset or length is refused
// with ERROR_INVALID_PARAMETER) and the disk geometry (its size: TNVMCAP).
// An NVMe position refuses the SMART requests with ERROR_INVALID_FUNCTION; a
// handle opened with access 0 gets them refused with ERROR_ACCESS_DENIED.
//
// Fault injection: driveN.fail beside the snapshot lists, one per line, the
// operations that fail for position N: open, version, enable, identify,
// attributes, thresholds, query (the descriptor), health, nvmeid (both
// Identify requests), admin (an open for reading or writing), each optionally
// followed by a decimal system error code (default: ERROR_FILE_NOT_FOUND for
// open, ERROR_ACCESS_DENIED for admin, ERROR_IO_DEVICE otherwise).
// Blank lines and lines starting with '#' are skipped; any other line makes the
// file invalid (ERROR_INVALID_DATA). In the 9x model open and version are
// device-wide: a line in any position's file applies.
//
// Files are read once, when a device is opened, into fixed static buffers.
#pragma once
#include <cstdint>

#include "smart_os.h"

enum {
    EmulatedFileCapacity = 16384,  // largest snapshot file accepted
    EmulatedFaultFileCapacity = 1024,
    EmulatedFolderCapacity = 260,  // folder name including its NUL
};

// Reading the files; each platform supplies its own.
struct DriveFiles {
    // Reads the whole file into buffer. 0 with *size set on success; otherwise
    // a system error code: ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it
    // does not exist, ERROR_ACCESS_DENIED for a folder, ERROR_FILE_TOO_LARGE
    // (nothing read) when it holds more than capacity bytes.
    uint32_t (*readFile)(const char* path, uint8_t* buffer, uint32_t capacity, uint32_t* size);
    int (*folderExists)(const char* path);
};

// Closes every emulated device and returns a record that is base with its
// createFile, deviceIoControl and closeHandle served by the emulated driver
// for folder. Errors are reported through base.setLastError. A null folder
// stands for one whose name is too long: every open then fails with
// ERROR_FILENAME_EXCED_RANGE, as it does for a name of EmulatedFolderCapacity
// characters or more.
const SmartOs& StartEmulatedDrives(const SmartOs& base, const DriveFiles& files, const char* folder);

// Devices the emulated driver holds open (for tests: the scan must close each).
int OpenEmulatedDevices();
