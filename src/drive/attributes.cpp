#include "attributes.h"

#include <cstring>

#include "drive_table.h"
#include "identify.h"

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

namespace {

enum { EntryBase = 2, EntrySize = 12, ValueOffset = 3, ThresholdOffset = 1 };

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

void DecodeAttributes(const uint8_t* attributeSector, const uint8_t* thresholdSector, int driveIndex)
{
    DriveRecord& r = DriveTable[driveIndex];
    int s = 0;
    for (int k = 0; k < AttributeEntries; ++k) {
        const uint8_t* entry = attributeSector + EntryBase + EntrySize * k;
        if (entry[0] == 0)
            continue;
        AttributeSlot& slot = r.attributes[s++];
        const char* name = AttributeNameTable[AttributeNameEntry(entry[0])];
        std::memcpy(slot.name, name, std::strlen(name) + 1);
        TrimBlanks(slot.name);
        slot.id = entry[0];
        slot.value = entry[ValueOffset];
        slot.threshold = thresholdSector[EntryBase + EntrySize * k + ThresholdOffset];
    }
}

DriveStatus GetDriveStatus(int driveIndex)
{
    const DriveRecord& r = DriveTable[driveIndex];
    if (r.smartEnabled == 0)
        return DriveStatus::NotAvailable;
    for (const AttributeSlot& slot : r.attributes) {
        // A threshold of 0 means "always passing" in ATA: it never trips.
        if (slot.name[0] != '\0' && slot.threshold > 0 && slot.value <= slot.threshold)
            return DriveStatus::Alert;
    }
    return DriveStatus::Ok;
}
