// Fuzzes the snapshot parser with whole files, then decodes what it finds
// the way the emulated drives do.
#include <cstdint>
#include <cstring>

#include "identify.h"
#include "record_checks.h"
#include "snapshot.h"

namespace {

const uint8_t ZeroSector[SectorSize] = {};

void RequireInside(const uint8_t* sector, const uint8_t* data, size_t size)
{
    if (sector)
        FUZZ_REQUIRE(sector >= data && size >= SectorSize && sector <= data + size - SectorSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Snapshot snap;
    SnapshotError e = ParseSnapshot(data, size, &snap);
    FUZZ_REQUIRE(SnapshotErrorText(e)[0] != '\0');
    if (e != SnapshotError::None)
        return 0;

    const uint8_t* identify = SnapshotSector(snap, SnapshotSection::Identify);
    const uint8_t* attributes = SnapshotSector(snap, SnapshotSection::Attributes);
    const uint8_t* thresholds = SnapshotSector(snap, SnapshotSection::Thresholds);
    FUZZ_REQUIRE(identify || attributes || thresholds || IsNvmeSnapshot(snap));
    RequireInside(identify, data, size);
    RequireInside(attributes, data, size);
    RequireInside(thresholds, data, size);

    ResetDriveTable();
    DriveRecord& r = DriveTable[0];
    r.listPosition = -1;
    r.smartEnabled = 1;
    if (identify) {
        uint8_t sector[SectorSize];
        std::memcpy(sector, identify, SectorSize);
        DecodeIdentify(sector, 0);
        CheckIdentity(r);
    }
    if (attributes)
        DecodeAttributes(attributes, thresholds ? thresholds : ZeroSector, 0);
    CheckSlots(r);
    CheckStatus(0);
    return 0;
}
