// Fuzzes the attribute decoder and the status rule. Input: the attribute
// sector, the threshold sector (each zero-padded to 512 bytes), then one
// optional byte: bit 0 SMART enabled, bits 1-2 the drive position.
#include <cstdint>
#include <cstring>

#include "record_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t sectors[2 * 512 + 1] = {};
    std::memcpy(sectors, data, size < sizeof sectors ? size : sizeof sectors);
    const uint8_t* attributes = sectors;
    const uint8_t* thresholds = sectors + 512;
    uint8_t flags = sectors[1024];
    int drive = (flags >> 1) % DriveCount;

    ResetDriveTable();
    DriveTable[drive].smartEnabled = flags & 1;
    DecodeAttributes(attributes, thresholds, drive);

    int used = CheckSlots(DriveTable[drive]);
    int nonZeroIds = 0;
    for (int k = 0; k < AttributeEntries; ++k)
        nonZeroIds += attributes[2 + 12 * k] != 0;
    FUZZ_REQUIRE(used == nonZeroIds);
    CheckStatus(drive);
    CheckOthersUntouched(drive);
    return 0;
}
