// Snapshot files for the emulated SMART driver read with the C runtime's
// open/read/fstat, so portable tests and the benchmark use real files on any
// build machine (Linux, or Windows under Wine).
#pragma once

#include "emulated_drives.h"

const DriveFiles& PosixDriveFiles();
