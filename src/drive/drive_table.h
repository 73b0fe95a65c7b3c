// The drive table: what the program knows about the four drive positions of
// the two IDE channels. Filled once by the drive scan, read by the views.
#pragma once
#include <cstdint>

enum { DriveCount = 4, SlotCount = 32, TextSize = 80 };

// Same fields, order and widths as the Windows SYSTEMTIME record, so the
// Windows build can fill it straight from GetLocalTime.
struct LocalTime {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
static_assert(sizeof(LocalTime) == 16, "LocalTime must match SYSTEMTIME");

struct AttributeSlot {
    char name[TextSize];  // empty: slot not in use
    int32_t id;
    int32_t value;
    int32_t threshold;
    uint16_t flags;  // entry bytes 1-2; bit 0: pre-failure attribute
    uint64_t raw;    // entry bytes 5-10, 48 bits
};

enum { PreFailureFlag = 0x0001 };

struct DriveRecord {
    int32_t present;
    int32_t listPosition;
    uint16_t cylinders;
    uint16_t heads;
    uint16_t sectorsPerTrack;
    uint32_t totalSectors;    // words 60-61, where drives stop at 2^28 - 1
    uint64_t totalSectors48;  // words 100-102 where word 83 announces them, else 0
    char model[TextSize];
    char firmware[TextSize];
    char serial[TextSize];
    int32_t smartEnabled;
    AttributeSlot attributes[SlotCount];
    LocalTime lastAccess;
};

// The drive's capacity in sectors: the 48-bit count where the drive gives
// one (every drive above 128 GiB does), else words 60-61.
inline uint64_t DriveCapacity(const DriveRecord& r)
{
    return r.totalSectors48 ? r.totalSectors48 : r.totalSectors;
}

// Indexed by DriveIndex: 0 Primary/Master, 1 Primary/Slave,
// 2 Secondary/Master, 3 Secondary/Slave.
extern DriveRecord DriveTable[DriveCount];

enum { NoDrive = -1 };

// DriveIndex of the present drive shown in a drive-list row, or NoDrive.
int FindDriveAtRow(int32_t row);

// Zeroes every byte of the four records (first step of a scan).
void ResetDriveTable();

// Gives the present drives list positions 0, 1, 2... in DriveIndex order;
// the others keep -1. Returns the number of present drives.
int NumberPresentDrives();
