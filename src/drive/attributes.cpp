#include "attributes.h"

#include <cstring>

#include "drive_table.h"
#include "identify.h"
#include "nvme.h"

const char* const AttributeNameTable[AttributeNameCount] = {
    "No Attribute Here       ",
    "Raw Read Error Rate     ",
    "Throughput Performance  ",
    "Spin Up Time            ",
    "Start/Stop Count        ",
    "Reallocated Sector Count",
    "Read Channel Margin     ",
    "Seek Error Rate         ",
    "Seek Time Performance   ",
    "Power On Hours Count    ",
    "Spin Retry Count        ",
    "Calibration Retry Count ",
    "Power Cycle Count       ",
    "Read Soft Error Rate    ",
    "Gsense Error Rate       ",
    "Power-Off Retract Count ",
    "Load Cycle Count        ",
    "Temperature             ",
    "Hardware ECC Recovered  ",
    "Reallocated Event Count ",
    "Current Pending Sector  ",
    "Offline Uncorrectable   ",
    "Ultra ATA CRC Error Count",
    "Write Error Rate         ",
    "Disk Shift               ",
    "Loaded Hours             ",
    "Load Retry Count         ",
    "Load Friction            ",
    "Load Cycle Count         ",
    "Load in Time             ",
    "Power-off Retract Count  ",
    "Write Head               ",
    "(Unknown attribute)     ",
};

// Attributes in common use today that the table above does not list, in the
// wording drive makers and S.M.A.R.T. tools share. Where makers give one ID
// different meanings, the name is the one most drives made today report:
//   173, 177  wear levelling on solid-state drives (Micron, Samsung);
//   175       Samsung's per-chip program failures;
//   183       Samsung's and Seagate's runtime bad blocks;
//   202       Micron and Crucial's lifetime left (old disks: address marks);
//   230       drive life protection on SSDs (old IBM disks: head amplitude);
//   231       SSD life left, as SandForce-based and Kingston drives report it;
//   232       Intel's reserved space (Micron: endurance remaining);
//   233       Intel's media wear-out (others: power-on hours or writes);
//   234       Intel's thermal throttle status;
//   235       Samsung's power-on recovery count.
const MoreAttributeName MoreAttributeNames[] = {
    {170, "Available Reserved Space"},
    {171, "Program Fail Count"},
    {172, "Erase Fail Count"},
    {173, "Wear Leveling Count"},
    {174, "Unexpected Power Loss Count"},
    {175, "Program Fail Count (Chip)"},
    {176, "Erase Fail Count (Chip)"},
    {177, "Wear Leveling Count"},
    {178, "Used Reserved Block Count (Chip)"},
    {179, "Used Reserved Block Count"},
    {180, "Unused Reserved Block Count"},
    {181, "Program Fail Count (Total)"},
    {182, "Erase Fail Count (Total)"},
    {183, "Runtime Bad Block"},
    {184, "End-to-End Error"},
    {185, "Head Stability"},
    {186, "Induced Op-Vibration Detection"},
    {187, "Reported Uncorrectable Errors"},
    {188, "Command Timeout"},
    {189, "High Fly Writes"},
    {190, "Airflow Temperature"},
    {201, "Soft Read Error Rate"},
    {202, "Percent Lifetime Remaining"},
    {203, "Run Out Cancel"},
    {204, "Soft ECC Correction"},
    {205, "Thermal Asperity Rate"},
    {206, "Flying Height"},
    {207, "Spin High Current"},
    {208, "Spin Buzz"},
    {209, "Offline Seek Performance"},
    {210, "Vibration During Write"},
    {211, "Vibration During Read"},
    {212, "Shock During Write"},
    {221, "G-Sense Error Rate"},
    {227, "Torque Amplification Count"},
    {230, "Drive Life Protection Status"},
    {231, "SSD Life Left"},
    {232, "Available Reserved Space"},
    {233, "Media Wearout Indicator"},
    {234, "Thermal Throttle Status"},
    {235, "Power-On Recovery Count"},
    {241, "Total LBAs Written"},
    {242, "Total LBAs Read"},
    {250, "Read Error Retry Rate"},
    {251, "Minimum Spares Remaining"},
    {254, "Free Fall Protection"},
};
const int MoreAttributeNameCount = sizeof MoreAttributeNames / sizeof MoreAttributeNames[0];

namespace {

enum {
    EntryBase = 2,
    EntrySize = 12,
    FlagsOffset = 1,
    ValueOffset = 3,
    WorstOffset = 4,
    RawOffset = 5,
    RawBytes = 6,
    ThresholdOffset = 1
};

uint64_t ReadRaw(const uint8_t* entry)
{
    uint64_t raw = 0;
    for (int i = RawBytes - 1; i >= 0; --i)
        raw = raw << 8 | entry[RawOffset + i];
    return raw;
}

// Runs of consecutive IDs that the name table lists, and the entry of each
// run's first ID.
struct IdRun {
    int firstId;
    int lastId;
    int firstEntry;
};

const IdRun NamedIds[] = {
    {1, 13, 1},
    {191, 200, 14},
    {220, 220, 24},
    {222, 226, 25},
    {228, 228, 30},
    {240, 240, 31},
};

}  // namespace

int AttributeNameEntry(int id)
{
    for (const IdRun& run : NamedIds) {
        if (id >= run.firstId && id <= run.lastId)
            return run.firstEntry + (id - run.firstId);
    }
    return UnknownAttributeEntry;
}

const char* AttributeName(int id)
{
    int entry = AttributeNameEntry(id);
    if (entry != UnknownAttributeEntry)
        return AttributeNameTable[entry];
    for (const MoreAttributeName& more : MoreAttributeNames) {
        if (more.id == id)
            return more.name;
    }
    return AttributeNameTable[UnknownAttributeEntry];
}

void DecodeAttributes(const uint8_t* attributeSector, const uint8_t* thresholdSector, int driveIndex)
{
    DriveRecord& r = DriveTable[driveIndex];
    int s = 0;
    for (int k = 0; k < AttributeEntries; ++k) {
        const uint8_t* entry = attributeSector + EntryBase + EntrySize * k;
        if (entry[0] == 0)
            continue;
        AttributeSlot& slot = r.attributes[s++];
        const char* name = AttributeName(entry[0]);
        std::memcpy(slot.name, name, std::strlen(name) + 1);
        TrimBlanks(slot.name);
        slot.id = entry[0];
        slot.value = entry[ValueOffset];
        slot.threshold = thresholdSector[EntryBase + EntrySize * k + ThresholdOffset];
        slot.flags = static_cast<uint16_t>(entry[FlagsOffset] | entry[FlagsOffset + 1] << 8);
        slot.raw = ReadRaw(entry);
        slot.worst = entry[WorstOffset];
    }
}

bool SlotInAlert(const AttributeSlot& slot)
{
    // A threshold of 0 means "always passing" in ATA: it never trips.
    return slot.name[0] != '\0' && slot.threshold > 0 && slot.value <= slot.threshold;
}

DriveStatus GetRecordStatus(const DriveRecord& r)
{
    if (IsNvmeDrive(r))
        return GetNvmeStatus(r.nvme);
    if (r.smartEnabled == 0)
        return DriveStatus::NotAvailable;
    for (const AttributeSlot& slot : r.attributes) {
        if (SlotInAlert(slot))
            return DriveStatus::Alert;
    }
    return DriveStatus::Ok;
}

DriveStatus GetDriveStatus(int driveIndex)
{
    return GetRecordStatus(DriveTable[driveIndex]);
}

bool SectorChecksumGood(const uint8_t* sector)
{
    uint8_t sum = 0;
    for (int i = 0; i < 512; ++i)
        sum = static_cast<uint8_t>(sum + sector[i]);
    return sum == 0;
}
