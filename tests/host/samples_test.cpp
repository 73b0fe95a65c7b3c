// Decodes the snapshots of real drives kept beside the repository and
// compares every field with the independently decoded expected.tsv.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "attributes.h"
#include "drive_table.h"
#include "expected_samples.h"
#include "identify.h"
#include "nvme.h"
#include "snapshot.h"
#include "view_text.h"

namespace fs = std::filesystem;

namespace {

const fs::path SamplesDir = OSTRIVEL_SAMPLES_DIR;

// Known slips in expected.tsv: rows whose position column disagrees with the
// sector. The FUJITSU sector leaves entries 19 and 20 unused and carries IDs
// 203 and 240 in entries 21 and 25; the file numbers those two rows 19 and 20
// (their slot numbers). Their ID, value and threshold are right. Any other
// disagreement fails.
struct PositionErratum {
    const char* file;
    int listed, inSector;
};
const PositionErratum PositionErrata[] = {
    {"FUJITSU_MHY2120BH--0084000D.blob", 19, 21},
    {"FUJITSU_MHY2120BH--0084000D.blob", 20, 25},
};

bool IsKnownErratum(const std::string& file, int listed, int inSector)
{
    for (const PositionErratum& e : PositionErrata) {
        if (file == e.file && listed == e.listed && inSector == e.inSector)
            return true;
    }
    return false;
}

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> BlobFiles()
{
    std::vector<fs::path> blobs;
    for (const fs::directory_entry& e : fs::directory_iterator(SamplesDir)) {
        if (e.path().extension() == ".blob")
            blobs.push_back(e.path());
    }
    std::sort(blobs.begin(), blobs.end());
    return blobs;
}

class SamplesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        if (!fs::is_directory(SamplesDir, ec) || !fs::exists(SamplesDir / "expected.tsv", ec))
            GTEST_SKIP() << "no drive samples at " << SamplesDir.string()
                         << " (the shared folder beside the repository is absent)";
        expected_ = ReadExpected(SamplesDir / "expected.tsv");
        more_ = ReadExpected(SamplesDir / "expected-more.tsv");
    }

    // Decodes one snapshot into drive 0 the way the scan does: zero-filled
    // sectors for what the file lacks, identify first, then attributes.
    static void DecodeSnapshot(const std::vector<uint8_t>& file)
    {
        Snapshot snap;
        SnapshotError e = ParseSnapshot(file.data(), file.size(), &snap);
        ASSERT_EQ(e, SnapshotError::None) << SnapshotErrorText(e);
        const uint8_t* identify = SnapshotSector(snap, SnapshotSection::Identify);
        const uint8_t* attributes = SnapshotSector(snap, SnapshotSection::Attributes);
        const uint8_t* thresholds = SnapshotSector(snap, SnapshotSection::Thresholds);
        ASSERT_NE(identify, nullptr);
        ASSERT_NE(attributes, nullptr);
        ASSERT_NE(thresholds, nullptr);
        uint8_t sector[SectorSize];
        std::memcpy(sector, identify, SectorSize);
        ResetDriveTable();
        DriveTable[0].listPosition = -1;
        DriveTable[0].smartEnabled = 1;
        DecodeIdentify(sector, 0);
        DecodeAttributes(attributes, thresholds, 0);
    }

    std::map<std::string, ExpectedDrive> expected_;
    std::map<std::string, ExpectedDrive> more_;  // flags, raw values, 48-bit sizes
};

TEST_F(SamplesTest, EverySnapshotDecodesAsExpected)
{
    std::vector<fs::path> blobs = BlobFiles();
    ASSERT_FALSE(blobs.empty()) << "no *.blob in " << SamplesDir.string();
    for (const fs::path& blob : blobs) {
        const std::string name = blob.filename().string();
        SCOPED_TRACE(name);
        auto it = expected_.find(name);
        ASSERT_NE(it, expected_.end()) << "not listed in expected.tsv";
        const ExpectedDrive& want = it->second;

        std::vector<uint8_t> file = ReadFile(blob);
        ASSERT_NO_FATAL_FAILURE(DecodeSnapshot(file));
        const DriveRecord& r = DriveTable[0];

        EXPECT_EQ(r.present, 1);
        EXPECT_EQ(std::string(r.model), want.fields.at("model"));
        EXPECT_EQ(std::string(r.serial), want.fields.at("serial"));
        EXPECT_EQ(std::string(r.firmware), want.fields.at("firmware"));
        EXPECT_EQ(std::to_string(r.totalSectors), want.fields.at("totalSectors"));
        // The size shown comes from the 48-bit count where the drive has one.
        const uint64_t count48 = std::stoull(more_[name].fields.at("totalSectors48"));
        const uint64_t capacity = count48 ? count48 : r.totalSectors;
        EXPECT_EQ(r.totalSectors48, count48);
        InfoRowText rows[InfoRowCount];
        MakeInfoRows(r, rows);
        EXPECT_EQ(std::string(rows[1].value), std::to_string(capacity / 2048) + " MB");
        EXPECT_EQ(std::string(rows[8].value), std::to_string(capacity));

        // Slots hold the used entries in sector order: slot i is the i-th
        // expected row, and the rows' positions are exactly the sector's
        // entries with a non-zero ID.
        Snapshot snap;
        ParseSnapshot(file.data(), file.size(), &snap);
        const uint8_t* attributes = SnapshotSector(snap, SnapshotSection::Attributes);
        std::vector<int> usedPositions;
        for (int k = 0; k < AttributeEntries; ++k) {
            if (attributes[2 + 12 * k] != 0)
                usedPositions.push_back(k);
        }
        ASSERT_EQ(usedPositions.size(), want.attributes.size());
        const ExpectedDrive& more = more_[name];
        ASSERT_EQ(more.raw.size(), want.attributes.size());
        ASSERT_EQ(more.flags.size(), want.attributes.size());
        for (size_t i = 0; i < SlotCount; ++i) {
            const AttributeSlot& slot = r.attributes[i];
            if (i >= want.attributes.size()) {
                EXPECT_STREQ(slot.name, "") << "slot " << i;
                continue;
            }
            const ExpectedAttribute& a = want.attributes[i];
            if (usedPositions[i] != a.position) {
                EXPECT_TRUE(IsKnownErratum(name, a.position, usedPositions[i]))
                    << "slot " << i << ": expected.tsv lists position " << a.position
                    << ", the sector has this attribute in entry " << usedPositions[i];
            }
            EXPECT_STRNE(slot.name, "") << "slot " << i;
            EXPECT_EQ(slot.id, a.id) << "slot " << i;
            EXPECT_EQ(slot.value, a.value) << "slot " << i;
            EXPECT_EQ(slot.threshold, a.threshold) << "slot " << i;
            EXPECT_EQ(slot.raw, more.raw[i].word) << "slot " << i;
            EXPECT_EQ(slot.flags, more.flags[i].word) << "slot " << i;
            // Every ID of today's ranges in the samples has a name.
            if (slot.id >= 170) {
                EXPECT_STRNE(slot.name, "(Unknown attribute)") << "ID " << slot.id;
            }
        }
    }
}

TEST_F(SamplesTest, EveryExpectedDriveHasItsSnapshot)
{
    for (const auto& [name, drive] : expected_) {
        EXPECT_TRUE(fs::exists(SamplesDir / name)) << name;
        EXPECT_EQ(drive.fields.size(), 4u) << name;
    }
}

// Every sample's level and first reason, the NVMe samples' from their health log.
TEST_F(SamplesTest, EverySampleHasItsLevelAndFirstReason)
{
    const std::pair<const char*, const char*> samples[] = {
        {"FUJITSU_MHY2120BH--0084000D.blob", "Ok"},
        {"INTEL_SSDSA2CW120G3--4PC10302.blob", "Ok"},
        {"MCCOE64GEMPP--2.9.09.blob", "Caution: 20480 reallocated sectors (5)"},  // a packed raw value
        {"Maxtor_96147H8--BAC51KJ0.blob", "Caution: 2 pending sectors (197)"},
        {"SAMSUNG_HD501LJ--CR100-12.blob", "Caution: 1 pending sector (197)"},
        {"ST320410A--3.39.blob", "Caution: 5 reallocated sectors (5)"},
        {"ST9100821AS--3.CME.blob", "Alert: Start/Stop Count value 1 below threshold 20 (4)"},
        {"TOSHIBA_MK1651GSY--38IGT0G5T.blob", "Caution: 1 reallocated sector (5)"},
        {"WDC_WD2500JB--00REA0-20.00K20.blob", "Caution: 1 pending sector (197)"},
        {"modern/ST10000DM0004-1ZC101--DN01.blob", "Ok"},
        {"modern/ST4000VN000-1H4168--SC46.blob", "Ok"},
        {"modern/Samsung_SSD_870_EVO_4TB--SVT03B6Q.blob", "Ok"},
        {"modern/WDC_WD20EZRX-00D8PB0--80.00A80.blob", "Caution: 468 pending sectors (197)"},
        {"modern/KINGSTON_SA2000M81000G--S5Z42105.blob", "Ok"},
        {"modern/PC_SN520_NVMe_WDC_128GB--20220012.blob", "Ok"},
        {"modern/SK_hynix_BC711_HFM001TD3JX013N--HPS1.blob", "Ok"},
        {"modern/SOLIDIGM_SSDPFKKW020X7--001C.blob", "Ok"},
        {"modern/Samsung_SSD_960_PRO_2TB--1B6QCXP7.blob", "Caution: 54 media errors"},
    };
    for (const auto& [name, shown] : samples) {
        DriveRecord& r = DriveTable[0];
        const std::vector<uint8_t> file = ReadFile(SamplesDir / name);
        Snapshot snap;
        ASSERT_EQ(ParseSnapshot(file.data(), file.size(), &snap), SnapshotError::None) << name;
        if (const uint8_t* log = SnapshotSector(snap, SnapshotSection::NvmeHealth)) {
            r = {};
            r.present = r.smartEnabled = r.nvme.healthRead = 1;
            r.busType = DriveBusNvme;
            DecodeNvmeHealth(log, r.nvme.health);
        } else {
            ASSERT_NO_FATAL_FAILURE(DecodeSnapshot(file)) << name;
        }
        InfoRowText row;
        MakeHealthRow(r, &row);
        EXPECT_STREQ(row.value, shown) << name;
    }
    EXPECT_EQ(BlobFiles().size(), 9u) << "every ATA sample of the folder is listed";
}

}  // namespace
