// The part of a probe that the storage property queries do on Windows NT:
// which bus the drive hangs on, and the whole reading of an NVMe drive. All
// of it works on a handle opened with access 0.
#pragma once
#include <cstdint>

#include "drive_table.h"
#include "smart_os.h"

// The drive's bus type from its device descriptor (0 when the query failed:
// the drive then goes the ATA way as before). An NVMe drive's record gets it,
// and the descriptor's product, serial and revision texts as the names it has
// when Identify cannot give better ones.
int32_t QueryDriveBus(DeviceHandle device, DriveRecord& r);

// Identify Controller, Identify Namespace 1 and the SMART / Health log, the
// capacity from the disk geometry when the namespace gives none, and
// `present` when the drive has a model.
void ReadNvmeDrive(DeviceHandle device, DriveRecord& r);
