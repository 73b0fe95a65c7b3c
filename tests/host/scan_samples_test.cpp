// Every real drive snapshot, served by the emulated SMART driver at each of the
// four positions and on both system models, read by the whole scan: the drive
// table must show what expected.tsv says the sectors hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "attributes.h"
#include "drive_scan.h"
#include "emulated_drives.h"
#include "expected_samples.h"
#include "fake_smart_os.h"
#include "posix_drive_files.h"

namespace fs = std::filesystem;

namespace {

class ScanSamplesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        samples = OSTRIVEL_SAMPLES_DIR;
        if (!fs::exists(samples / "expected.tsv"))
            GTEST_SKIP() << "no drive samples at " << samples.string();
        expected = ReadExpected(samples / "expected.tsv");
        ASSERT_FALSE(expected.empty());
        folder = fs::temp_directory_path() / ("ostrivel-samples-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void CheckDrive(const std::string& name, const ExpectedDrive& e, int position)
    {
        const DriveRecord& r = DriveTable[position];
        EXPECT_EQ(r.present, 1);
        EXPECT_EQ(r.listPosition, 0);
        EXPECT_EQ(r.smartEnabled, 1);
        EXPECT_EQ(std::string(r.model), e.fields.at("model"));
        EXPECT_EQ(std::string(r.serial), e.fields.at("serial"));
        EXPECT_EQ(std::string(r.firmware), e.fields.at("firmware"));
        EXPECT_EQ(std::to_string(r.totalSectors), e.fields.at("totalSectors"));
        for (size_t s = 0; s < SlotCount; ++s) {
            const AttributeSlot& slot = r.attributes[s];
            if (s >= e.attributes.size()) {
                EXPECT_EQ(slot.name[0], '\0') << "slot " << s;
                continue;
            }
            const ExpectedAttribute& a = e.attributes[s];
            EXPECT_NE(slot.name[0], '\0') << "slot " << s;
            EXPECT_EQ(slot.id, a.id) << "slot " << s;
            EXPECT_EQ(slot.value, a.value) << "slot " << s;
            EXPECT_EQ(slot.threshold, a.threshold) << "slot " << s;
        }
        EXPECT_EQ(GetDriveStatus(position), ExpectsAlert(e) ? DriveStatus::Alert : DriveStatus::Ok) << name;
    }

    fs::path samples, folder;
    std::map<std::string, ExpectedDrive> expected;
};

TEST_F(ScanSamplesTest, EverySampleAtEveryPositionOnBothModels)
{
    for (const auto& [name, drive] : expected) {
        for (int position = 0; position < DriveCount; ++position) {
            for (uint32_t platform : {2u, 1u}) {
                SCOPED_TRACE(name + " at " + std::to_string(position) + " on platform " + std::to_string(platform));
                fs::remove_all(folder);
                fs::create_directories(folder);
                const fs::path blob = folder / ("drive" + std::to_string(position) + ".blob");
                fs::copy_file(samples / name, blob);
                // The samples are read-only; Windows would not delete the copy.
                fs::permissions(blob, fs::perms::owner_write, fs::perm_options::add);
                ResetFake();
                Fake().platform = platform;
                SetSmartOs(StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), folder.string().c_str()));
                ASSERT_EQ(ScanDrives(), 1);
                CheckDrive(name, drive, position);
                for (int other = 0; other < DriveCount; ++other) {
                    if (other != position) {
                        EXPECT_EQ(DriveTable[other].present, 0) << other;
                    }
                }
                EXPECT_EQ(OpenEmulatedDevices(), 0);
            }
        }
    }
}

}  // namespace
