// The demo drives that the build writes from res/demo/drives.txt: each file
// must decode, through the program's own snapshot reader and decoders, to the
// drive the description promises, with valid ATA checksums, and the demo must
// show one "Alert" drive, one drive whose SMART cannot be enabled and two NVMe
// drives.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "attributes.h"
#include "drive_table.h"
#include "identify.h"
#include "snapshot.h"

namespace fs = std::filesystem;

namespace {

const fs::path DemoDir = OSTRIVEL_DEMO_DRIVES_DIR;

struct DemoDrive {
    const char* model;
    const char* serial;
    const char* firmware;
    uint32_t totalSectors;
    int attributeCount;
    bool enableFails;
    DriveStatus status;
    int id, value, threshold;  // one attribute, as the list will show it
};

// Positions 0 and 3 hold NVMe drives, which the window tests read.
const DemoDrive Demo[DriveCount] = {
    {},
    {"IC35L040AVVN07-0", "VNC202A2L1SB8A", "VA2OA52A", 80418240, 17, false, DriveStatus::Alert, 5, 3, 5},
    {"ST3120026A", "5JT1QX4C", "3.06", 234441648, 15, true, DriveStatus::NotAvailable, 1, 60, 6},
    {},
};
const int AtaDrives[] = {1, 2};

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path DrivePath(int n, const char* extension)
{
    return DemoDir / ("drive" + std::to_string(n) + extension);
}

unsigned ByteSum(const uint8_t* sector)
{
    unsigned sum = 0;
    for (int i = 0; i < SectorSize; ++i)
        sum += sector[i];
    return sum & 0xFF;
}

class DemoDrivesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDriveTable();
        for (int n = 0; n < DriveCount; ++n) {
            files_[n] = ReadFile(DrivePath(n, ".blob"));
            ASSERT_EQ(ParseSnapshot(files_[n].data(), files_[n].size(), &snapshots_[n]), SnapshotError::None)
                << DrivePath(n, ".blob");
            EXPECT_EQ(IsNvmeSnapshot(snapshots_[n]), n == 0 || n == 3);
        }
    }

    const uint8_t* Sector(int n, SnapshotSection s) const { return SnapshotSector(snapshots_[n], s); }

    // What the scan does for a position whose commands all answer.
    void Decode(int n)
    {
        DriveTable[n].listPosition = -1;
        DriveTable[n].smartEnabled = Demo[n].enableFails ? 0 : 1;
        uint8_t identify[SectorSize];
        std::copy_n(Sector(n, SnapshotSection::Identify), SectorSize, identify);
        DecodeIdentify(identify, n);
        DecodeAttributes(Sector(n, SnapshotSection::Attributes), Sector(n, SnapshotSection::Thresholds), n);
    }

    std::vector<uint8_t> files_[DriveCount];
    Snapshot snapshots_[DriveCount];
};

TEST_F(DemoDrivesTest, SectorsCarryTheirRevisionAndValidChecksums)
{
    for (int n : AtaDrives) {
        SCOPED_TRACE("drive " + std::to_string(n));
        const uint8_t* identify = Sector(n, SnapshotSection::Identify);
        EXPECT_EQ(identify[510], 0xA5);  // integrity word signature
        EXPECT_EQ(ByteSum(identify), 0u);
        for (SnapshotSection s : {SnapshotSection::Attributes, SnapshotSection::Thresholds}) {
            const uint8_t* sector = Sector(n, s);
            EXPECT_EQ(sector[0] | sector[1] << 8, 0x0010);
            EXPECT_EQ(ByteSum(sector), 0u);
        }
    }
}

TEST_F(DemoDrivesTest, IdentifyDecodesToTheDescribedDrives)
{
    for (int n : AtaDrives) {
        SCOPED_TRACE("drive " + std::to_string(n));
        Decode(n);
        const DriveRecord& r = DriveTable[n];
        EXPECT_EQ(r.present, 1);
        EXPECT_STREQ(r.model, Demo[n].model);
        EXPECT_STREQ(r.serial, Demo[n].serial);
        EXPECT_STREQ(r.firmware, Demo[n].firmware);
        EXPECT_EQ(r.cylinders, 16383);
        EXPECT_EQ(r.heads, 16);
        EXPECT_EQ(r.sectorsPerTrack, 63);
        EXPECT_EQ(r.totalSectors, Demo[n].totalSectors);
        // SMART enabled (word 85 bit 0) exactly where enabling works.
        const uint8_t* identify = Sector(n, SnapshotSection::Identify);
        EXPECT_EQ(identify[170] & 1, Demo[n].enableFails ? 0 : 1);
    }
    EXPECT_EQ(NumberPresentDrives(), 2);
}

TEST_F(DemoDrivesTest, AttributesPairWithThresholdsAndGiveTheDescribedStatus)
{
    for (int n : AtaDrives) {
        SCOPED_TRACE("drive " + std::to_string(n));
        Decode(n);
        const DriveRecord& r = DriveTable[n];
        int used = 0;
        for (const AttributeSlot& slot : r.attributes)
            used += slot.name[0] != '\0';
        EXPECT_EQ(used, Demo[n].attributeCount);
        // Each threshold entry names the attribute at the same position.
        const uint8_t* data = Sector(n, SnapshotSection::Attributes);
        const uint8_t* thresholds = Sector(n, SnapshotSection::Thresholds);
        for (int k = 0; k < AttributeEntries; ++k)
            EXPECT_EQ(thresholds[2 + 12 * k], data[2 + 12 * k]) << "entry " << k;
        bool found = false;
        for (const AttributeSlot& slot : r.attributes) {
            if (slot.name[0] && slot.id == Demo[n].id) {
                found = true;
                EXPECT_EQ(slot.value, Demo[n].value);
                EXPECT_EQ(slot.threshold, Demo[n].threshold);
            }
        }
        EXPECT_TRUE(found) << "attribute " << Demo[n].id;
        EXPECT_EQ(GetDriveStatus(n), Demo[n].status);
    }
}

TEST_F(DemoDrivesTest, OnlyTheSecondaryMasterFailsAndOnlyToEnableSmart)
{
    for (int n = 0; n < DriveCount; ++n) {
        fs::path fail = DrivePath(n, ".fail");
        EXPECT_EQ(fs::exists(fail), Demo[n].enableFails) << fail;
        if (Demo[n].enableFails) {
            std::vector<uint8_t> text = ReadFile(fail);
            EXPECT_EQ(std::string(text.begin(), text.end()), "enable\n");
        }
    }
}

}  // namespace
