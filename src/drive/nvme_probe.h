// The part of a probe that the storage queries do on Windows NT: which bus
// the drive hangs on, the whole reading of an NVMe drive, and the limited
// reading of any other drive. All of it works on a handle opened with
// access 0.
#pragma once
#include <cstdint>

#include "drive_table.h"
#include "smart_os.h"

// The drive's bus type from its device descriptor (0 when the query failed:
// the drive then goes the ATA way as before). An NVMe drive's record, and
// that of a drive opened without rights (limited), gets it and the
// descriptor's product (behind a vendor other than "ATA"), serial and
// revision texts as the names it has when IDENTIFY cannot give better ones.
int32_t QueryDriveBus(DeviceHandle device, DriveRecord& r, bool limited);

// Identify Controller, Identify Namespace 1 and the SMART / Health log, the
// capacity from the disk geometry when the namespace gives none, and
// `present` when the drive has a model.
void ReadNvmeDrive(DeviceHandle device, DriveRecord& r);

// A drive that refused the read-and-write open, read with what needs no
// rights: the size from the disk geometry, the attribute values (thresholds
// unknown) and the drive's failure flag from the failure prediction, which
// also counts as SMART enabled; `present` when the descriptor gave a model.
void ReadLimitedDrive(DeviceHandle device, int driveIndex);
