// The plain-text drive report that Functions > Copy Report and "/report FILE"
// give, and whose drive sections the warning mail shows. Lines end in CR LF
// and stay within 76 characters; nothing here needs the system.
#pragma once
#include <cstddef>

#include "drive_table.h"

enum { ReportTextMax = 65536 };

struct ReportContext {
    const char* computerName;
    LocalTime now;
};

// One drive: its position and model, serial number, firmware, size, level
// with every reason, then its attribute table (ATA) or health fields (NVMe).
// Both return the length written (without the NUL), 0 when it does not fit.
size_t FormatDriveSection(const DriveRecord& r, int driveIndex, char* out, size_t capacity);

// Program and version, computer, date and time, then each present drive's
// section after a blank line.
size_t FormatReport(const ReportContext& context, const DriveRecord table[DriveCount], char* out,
                    size_t capacity);
