// Fuzzes the IDENTIFY DEVICE decoder. Input: the sector (zero-padded to 512
// bytes), then one optional byte choosing the drive position.
#include <cstdint>
#include <cstring>

#include "identify.h"
#include "record_checks.h"

namespace {

bool IsTextByte(size_t i)
{
    return (i >= 20 && i < 40) || (i >= 46 && i < 94);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t original[SectorSize] = {};
    std::memcpy(original, data, size < SectorSize ? size : SectorSize);
    int drive = size > SectorSize ? data[SectorSize] % DriveCount : 0;

    ResetDriveTable();
    DriveRecord& r = DriveTable[drive];
    r.listPosition = -1;
    // Old text without any NUL: the decoder must terminate what it writes.
    std::memset(r.model, 'X', TextSize);
    std::memset(r.firmware, 'X', TextSize);
    std::memset(r.serial, 'X', TextSize);

    uint8_t sector[SectorSize];
    std::memcpy(sector, original, SectorSize);
    DecodeIdentify(sector, drive);

    CheckIdentity(r);
    FUZZ_REQUIRE(r.cylinders == (original[2] | original[3] << 8));
    FUZZ_REQUIRE(r.totalSectors == (original[120] | original[121] << 8 | original[122] << 16 |
                                    static_cast<uint32_t>(original[123]) << 24));
    const bool lba48 = (original[167] & 0xC4) == 0x44;  // word 83: bits 15:14 = 01, bit 10
    uint64_t count48 = 0;
    for (int i = 5; i >= 0; --i)
        count48 = count48 << 8 | original[200 + i];
    FUZZ_REQUIRE(r.totalSectors48 == (lba48 ? count48 : 0));
    // The text ranges are left byte-swapped, everything else untouched.
    for (size_t i = 0; i < SectorSize; ++i)
        FUZZ_REQUIRE(sector[i] == original[IsTextByte(i) ? i ^ 1 : i]);
    // Trimming twice changes nothing.
    char again[TextSize];
    std::memcpy(again, r.model, TextSize);
    TrimBlanks(again);
    FUZZ_REQUIRE(std::strcmp(again, r.model) == 0);

    CheckOthersUntouched(drive);
    return 0;
}
