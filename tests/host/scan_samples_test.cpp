// Every real drive snapshot, served by the emulated SMART driver at each of the
// four positions and on both system models, read by the whole scan: the drive
// table must show what expected.tsv says the sectors hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "attributes.h"
#include "drive_identity.h"
#include "drive_scan.h"
#include "emulated_drives.h"
#include "expected_samples.h"
#include "nvme.h"
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

    // Limited (read without rights): the descriptor names the same drive; no thresholds: Ok.
    void CheckDrive(const std::string& name, const ExpectedDrive& e, int position, bool limited = false)
    {
        const DriveRecord& r = DriveTable[position];
        EXPECT_EQ(r.present, 1);
        EXPECT_EQ(r.listPosition, 0);
        EXPECT_EQ(r.smartEnabled + r.limitedRead, 1 + limited);
        const std::string model = e.fields.at("model"), serial = e.fields.at("serial");
        EXPECT_TRUE(limited ? SameDriveIdentity(r.model, r.serial, model.c_str(), serial.c_str())
                            : model == r.model && serial == r.serial) << r.model << " / " << r.serial;
        EXPECT_EQ(std::string(r.firmware), e.fields.at("firmware"));
        EXPECT_EQ(std::to_string(r.totalSectors), limited ? "0" : e.fields.at("totalSectors"));
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
            EXPECT_EQ(slot.threshold, limited ? ThresholdUnknown : a.threshold) << "slot " << s;
        }
        EXPECT_EQ(GetDriveStatus(position), ExpectsAlert(e) && !limited ? DriveStatus::Alert : DriveStatus::Ok) << name;
    }

    fs::path samples, folder;
    std::map<std::string, ExpectedDrive> expected;
};

TEST_F(ScanSamplesTest, EverySampleAtEveryPositionOnBothModelsAlsoWithoutRights)
{
    for (const auto& [name, drive] : expected) {
        for (int position = 0; position < DriveCount; ++position) {
            for (uint32_t platform : {2u, 1u, 0u}) {  // 0: Windows NT without administrator rights
                SCOPED_TRACE(name + " at " + std::to_string(position) + " on platform " + std::to_string(platform));
                fs::remove_all(folder);
                fs::create_directories(folder);
                const fs::path blob = folder / ("drive" + std::to_string(position) + ".blob");
                fs::copy_file(samples / name, blob);
                // The samples are read-only; Windows would not delete the copy.
                fs::permissions(blob, fs::perms::owner_write, fs::perm_options::add);
                std::ofstream(folder / ("drive" + std::to_string(position) + ".fail")) << (platform ? "" : "admin");
                ResetFake();
                Fake().platform = platform ? platform : 2u;
                SetSmartOs(StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), folder.string().c_str()));
                ASSERT_EQ(ScanDrives(), 1);
                CheckDrive(name, drive, position, platform == 0);
                EXPECT_TRUE(Fake().boxes.empty());
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

// The NVMe samples, with and without the right to open a drive for reading
// and writing: the scan must read what expected-nvme.tsv lists through the
// storage queries.
TEST_F(ScanSamplesTest, NvmeSamplesAlsoWithoutAdministratorRights)
{
    std::ifstream tsv(samples / "modern" / "expected-nvme.tsv");
    std::map<std::string, std::map<std::string, std::string>> nvme;
    for (std::string line; NextDataLine(tsv, line);) {
        std::vector<std::string> c = SplitTabs(line);
        nvme[c[0]][c[c.size() - 2]] = c.back();
    }
    ASSERT_EQ(nvme.size(), 5u);
    const char* const counters[NvmeCounterCount] = {
        "Data Units Read", "Data Units Written", "Host Read Commands", "Host Write Commands",
        "Controller Busy Time", "Power Cycles", "Power On Hours", "Unsafe Shutdowns",
        "Media and Data Integrity Errors", "Number of Error Information Log Entries"};
    for (auto& [name, want] : nvme) {
        for (bool admin : {true, false}) {
            SCOPED_TRACE(name + (admin ? "" : " as a standard user"));
            fs::remove_all(folder);
            fs::create_directories(folder);
            fs::copy_file(samples / "modern" / (name + ".blob"), folder / "drive0.blob");
            // The samples are read-only; Windows would not delete the copy.
            fs::permissions(folder / "drive0.blob", fs::perms::owner_write, fs::perm_options::add);
            std::ofstream(folder / "drive0.fail") << (admin ? "" : "admin\n");
            ResetFake();
            SetSmartOs(StartEmulatedDrives(FakeSmartOs(), PosixDriveFiles(), folder.string().c_str()));
            ASSERT_EQ(ScanDrives(), 1);
            const DriveRecord& r = DriveTable[0];
            const NvmeHealth& h = r.nvme.health;
            std::map<std::string, std::string> got = {
                {"model", r.model}, {"serial", r.serial}, {"firmware", r.firmware},
                {"nsze", std::to_string(r.nvme.namespaceBlocks)}, {"lbaSize", std::to_string(r.nvme.blockSize)},
                {"tnvmcap", want["tnvmcap"]}, {"wctemp", std::to_string(r.nvme.warningTemperature)},
                {"cctemp", std::to_string(r.nvme.criticalTemperature)},
                {"Critical Warning", std::to_string(h.criticalWarning)},
                {"Composite Temperature", std::to_string(h.compositeTemperature)},
                {"Available Spare", std::to_string(h.availableSpare)},
                {"Available Spare Threshold", std::to_string(h.availableSpareThreshold)},
                {"Percentage Used", std::to_string(h.percentageUsed)},
                {"Warning Composite Temperature Time", std::to_string(h.warningTemperatureTime)},
                {"Critical Composite Temperature Time", std::to_string(h.criticalTemperatureTime)}};
            for (int i = 0; i < NvmeCounterCount; ++i) {
                char text[CounterTextSize];
                FormatCounter128(h.counters[i], text, sizeof text);
                got[counters[i]] = text;
            }
            for (int i = 0; i < 8; ++i)
                got["Temperature Sensor " + std::to_string(i + 1)] = std::to_string(h.temperatureSensors[i]);
            EXPECT_EQ(got, want);
            EXPECT_EQ(r.present + r.smartEnabled, 2);
            EXPECT_EQ(r.attributes[0].name[0], '\0') << "no ATA slot in use";
            EXPECT_EQ(OpenEmulatedDevices(), 0);
        }
    }
}

}  // namespace
