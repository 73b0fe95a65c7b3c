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
    int32_t worst;   // entry byte 4, the lowest value so far
};

enum { PreFailureFlag = 0x0001 };

// The threshold of a slot read without its threshold sector (a user without
// administrator rights gets the values only). Below every value, so no rule
// that compares a value with its threshold ever fires on it.
enum : int32_t { ThresholdUnknown = -1 };

// Bus types of the storage device descriptor (STORAGE_BUS_TYPE) that the
// program tells apart; 0 when the query was not made or failed.
enum : int32_t { DriveBusUnknown = 0, DriveBusAta = 3, DriveBusSata = 11, DriveBusNvme = 17 };

// A 128-bit counter of the NVMe health log as four 32-bit words, lowest
// first: i686 GCC has no 128-bit integer.
struct Counter128 {
    uint32_t word[4];
};

// The NVMe counters of the health log, in log order (bytes 32 to 191).
enum NvmeCounter {
    NvmeDataUnitsRead, NvmeDataUnitsWritten, NvmeHostReadCommands, NvmeHostWriteCommands,
    NvmeControllerBusyTime, NvmePowerCycles, NvmePowerOnHours, NvmeUnsafeShutdowns, NvmeMediaErrors,
    NvmeErrorLogEntries, NvmeCounterCount
};

// The SMART / Health Information log (02h) of an NVMe drive, decoded.
// Temperatures in kelvins (0: not reported).
struct NvmeHealth {
    uint8_t criticalWarning;  // bit 0 spare, 1 temperature, 2 reliability, 3 read-only, 4 backup
    uint8_t availableSpare;           // percent
    uint8_t availableSpareThreshold;  // percent
    uint8_t percentageUsed;           // percent, may pass 100
    uint16_t compositeTemperature;
    Counter128 counters[NvmeCounterCount];
    uint32_t warningTemperatureTime;   // minutes
    uint32_t criticalTemperatureTime;  // minutes
    uint16_t temperatureSensors[8];
};

// What an NVMe drive answered beside its identity texts. Its health is its
// own record: the ATA attribute slots and their rules never see it.
struct NvmeRecord {
    int32_t identifyRead;          // Identify Controller decoded
    int32_t namespaceRead;         // Identify Namespace 1 decoded
    int32_t healthRead;            // the health log was read
    uint32_t healthError;          // system error of the failed log read, 0 when read
    int32_t olderSystem;           // the log read failed on a Windows before 10
    uint32_t version;              // VER (0 before NVMe 1.2)
    uint16_t warningTemperature;   // WCTEMP, kelvins, 0 unknown
    uint16_t criticalTemperature;  // CCTEMP, kelvins, 0 unknown
    uint32_t blockSize;            // bytes per logical block of the format in use, 0 unknown
    uint64_t namespaceBlocks;      // NSZE of namespace 1
    uint64_t capacityBytes;        // namespace 1, or the disk geometry's size
    NvmeHealth health;
};

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
    int32_t busType;  // STORAGE_BUS_TYPE on Windows NT, else DriveBusUnknown
    // Read through the storage queries that need no rights, because the
    // read-and-write open was refused: no geometry, thresholds unknown
    // unless remembered, and the drive's own failure flag below.
    int32_t limitedRead;
    int32_t predictFailure;  // the drive predicts its failure (limited read)
    NvmeRecord nvme;  // in use when busType is DriveBusNvme
    // The attribute or threshold sector failed its checksum, read twice: the
    // slots show what was read, but the monitor takes nothing from them.
    int32_t checksumFailed;
};

inline bool IsNvmeDrive(const DriveRecord& r)
{
    return r.busType == DriveBusNvme;
}

// The drive's capacity in sectors: the 48-bit count where the drive gives
// one (every drive above 128 GiB does), else words 60-61.
inline uint64_t DriveCapacity(const DriveRecord& r)
{
    return r.totalSectors48 ? r.totalSectors48 : r.totalSectors;
}

// 1 when any present drive was read the limited way.
bool AnyDriveLimited();

// Indexed by DriveIndex: 0 Primary/Master, 1 Primary/Slave,
// 2 Secondary/Master, 3 Secondary/Slave.
extern DriveRecord DriveTable[DriveCount];

enum { NoDrive = -1 };

// DriveIndex of the present drive shown in a drive-list row, or NoDrive.
int FindDriveAtRow(int32_t row);

// The first slot in use with that attribute ID, or null.
const AttributeSlot* FindAttributeSlot(const DriveRecord& r, int32_t id);

// Zeroes every byte of the four records (first step of a scan).
void ResetDriveTable();

// Gives the present drives list positions 0, 1, 2... in DriveIndex order;
// the others keep -1. Returns the number of present drives.
int NumberPresentDrives();
