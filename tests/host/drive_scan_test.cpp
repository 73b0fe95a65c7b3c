// The drive scan and the SMART driver check against scripted system services:
// every failure of a probe, the order of its steps, the error texts, and the
// four outcomes of the driver check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "drive_scan.h"
#include "drive_table.h"
#include "fake_smart_os.h"

namespace {

const DeviceHandle InvalidHandle = reinterpret_cast<DeviceHandle>(static_cast<intptr_t>(-1));

class DriveScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetFake();
        SetSmartOs(FakeSmartOs());
        std::memset(ErrorText, 0, sizeof ErrorText);
        ResetDriveTable();
        Fake().systemTexts[2] = "The system cannot find the file specified.\r\n";
        Fake().systemTexts[3] = "The system cannot find the path specified.\r\n";
        Fake().systemTexts[5] = "Access is denied.\r\n";
        for (int d = 0; d < 4; ++d) {
            FakePosition& p = Fake().positions[d];
            const std::string model = "MODEL " + std::to_string(d);
            FillIdentify(p.identify, model.c_str(), "SERIAL", "FW1", 1000u + d);
            PutAttribute(p.attributes, p.thresholds, 0, 5, 100, 36);
            PutAttribute(p.attributes, p.thresholds, 2, 194, 40, 0);
        }
    }

    static bool RecordIsBlank(int d)
    {
        DriveRecord blank{};
        blank.listPosition = -1;
        return std::memcmp(&DriveTable[d], &blank, sizeof blank) == 0;
    }

    // The requests sent: Q the bus query, then the ATA commands by
    // features/command register.
    static std::string CommandsSent()
    {
        std::string sent;
        for (const FakeRequest& r : Fake().requests) {
            if (r.controlCode == 0x2D1400)
                sent += "Q";
            else if (r.controlCode == 0x74080)
                sent += "V";
            else if (r.input[10] == 0xEC)
                sent += "I";
            else
                sent += r.input[4] == 0xD8 ? "E" : r.input[4] == 0xD0 ? "A" : "T";
        }
        return sent;
    }

    static void Absent(int d) { Fake().positions[d].openError = 2; }
};

TEST_F(DriveScanTest, NtOpensEachPositionByNameForReadingAndWriting)
{
    for (int d = 0; d < 4; ++d)
        EXPECT_EQ(OpenDriveDevice(d), FakeHandle(d));
    ASSERT_EQ(Fake().opens.size(), 4u);
    for (int d = 0; d < 4; ++d) {
        const FakeOpen& o = Fake().opens[d];
        EXPECT_EQ(o.name, "\\\\.\\PhysicalDrive" + std::to_string(d));
        EXPECT_EQ(o.access, 0xC0000000u);  // GENERIC_READ | GENERIC_WRITE
        EXPECT_EQ(o.shareMode, 3u);        // FILE_SHARE_READ | FILE_SHARE_WRITE
        EXPECT_EQ(o.creation, 3u);         // OPEN_EXISTING
    }
}

TEST_F(DriveScanTest, NineXOpensTheOneSmartDeviceForEveryPosition)
{
    Fake().platform = 1;
    for (int d = 0; d < 4; ++d)
        EXPECT_EQ(OpenDriveDevice(d), FakeHandle(-1));
    for (const FakeOpen& o : Fake().opens) {
        EXPECT_EQ(o.name, "\\\\.\\SMARTVSD");
        EXPECT_EQ(o.access, 0u);
        EXPECT_EQ(o.shareMode, 0u);
        EXPECT_EQ(o.creation, 1u);  // CREATE_NEW
    }
}

TEST_F(DriveScanTest, OtherPlatformOpensNothingAndLeavesErrorTextAlone)
{
    Fake().platform = 3;
    std::strcpy(ErrorText, "before");
    EXPECT_EQ(OpenDriveDevice(0), InvalidHandle);
    EXPECT_TRUE(Fake().opens.empty());
    EXPECT_STREQ(ErrorText, "before");
}

TEST_F(DriveScanTest, FullScanProbesInOrderAndClosesEveryDevice)
{
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_EQ(CommandsSent(), "QVEIATQVEIATQVEIATQVEIAT");
    EXPECT_EQ(Fake().openDevices, 0);
    EXPECT_TRUE(Fake().boxes.empty());
    for (int d = 0; d < 4; ++d) {
        const DriveRecord& r = DriveTable[d];
        EXPECT_EQ(r.present, 1);
        EXPECT_EQ(r.listPosition, d);
        EXPECT_EQ(r.smartEnabled, 1);
        EXPECT_EQ(std::string(r.model), "MODEL " + std::to_string(d));
        EXPECT_EQ(r.totalSectors, 1000u + d);
        EXPECT_EQ(r.lastAccess.wYear, 2024);
        EXPECT_EQ(r.lastAccess.wSecond, 53);
        EXPECT_STREQ(r.attributes[0].name, "Reallocated Sector Count");
        EXPECT_EQ(r.attributes[0].threshold, 36);
        EXPECT_EQ(r.attributes[1].id, 194);
        EXPECT_EQ(r.attributes[2].name[0], '\0');
    }
    EXPECT_EQ(ErrorText[0], '\0');
}

TEST_F(DriveScanTest, EveryProbeCommandCarriesZeroReservedBytes)
{
    ScanDrives();
    for (const FakeRequest& r : Fake().requests) {
        if (r.controlCode == 0x74080 || r.controlCode == 0x2D1400)
            continue;
        ASSERT_EQ(r.input.size(), 32u);
        EXPECT_EQ(r.input[11], 0);
        for (int i = 13; i < 32; ++i)
            EXPECT_EQ(r.input[i], 0) << "byte " << i;
    }
}

TEST_F(DriveScanTest, TheTimeIsTakenBeforeTheFirstDriveCommand)
{
    ProbeDrive(0);
    const std::vector<std::string>& c = Fake().calls;
    auto time = std::find(c.begin(), c.end(), "getLocalTime");
    ASSERT_NE(time, c.end());
    // bus and version queries before it, ENABLE right after.
    EXPECT_EQ(std::count(c.begin(), time, "deviceIoControl"), 2);
    EXPECT_EQ(*(time + 1), "deviceIoControl");
}

TEST_F(DriveScanTest, OnlyPositionZeroOpensTheTellingFailureIsKept)
{
    Fake().positions[1].openError = 5;
    Fake().positions[2].openError = 3;
    Fake().positions[3].openError = 2;
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_STREQ(ErrorText, "5 - Access is denied.\r\n");
    EXPECT_TRUE(Fake().boxes.empty());
    EXPECT_EQ(DriveTable[0].listPosition, 0);
    for (int d = 1; d < 4; ++d)
        EXPECT_TRUE(RecordIsBlank(d)) << d;
    EXPECT_EQ(Fake().openDevices, 0);
}

TEST_F(DriveScanTest, NothingOpensShowsTheTellingFailureInAnErrorBox)
{
    Fake().positions[0].openError = 5;  // a user without the right to open drives
    Fake().positions[1].openError = 2;
    Fake().positions[2].openError = 3;
    Fake().positions[3].openError = 2;
    std::memset(DriveTable, 0x5A, sizeof DriveTable);  // the scan starts from zero
    EXPECT_EQ(ScanDrives(), 0);
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, "5 - Access is denied.\r\n");
    EXPECT_EQ(Fake().boxes[0].caption, "Ostrivel");
    EXPECT_EQ(Fake().boxes[0].type, 0x10u);
    for (int d = 0; d < 4; ++d)
        EXPECT_TRUE(RecordIsBlank(d)) << d;
    EXPECT_TRUE(Fake().requests.empty());
}

TEST_F(DriveScanTest, FailedVersionQueriesEverywhereShowAnEmptyBox)
{
    for (FakePosition& p : Fake().positions)
        p.versionWorks = false;
    EXPECT_EQ(ScanDrives(), 0);
    EXPECT_EQ(CommandsSent(), "QVQVQVQV");
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, "");
    EXPECT_EQ(Fake().openDevices, 0);
    for (int d = 0; d < 4; ++d)
        EXPECT_TRUE(RecordIsBlank(d)) << d;
}

TEST_F(DriveScanTest, DeviceMapZeroStopsOnlyPositionTwo)
{
    for (FakePosition& p : Fake().positions)
        p.deviceMap = 0;
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_EQ(CommandsSent(), "QVEIATQVEIATQVQVEIAT");
    EXPECT_TRUE(RecordIsBlank(2));
    EXPECT_EQ(DriveTable[3].listPosition, 2);
    EXPECT_EQ(Fake().openDevices, 0);

    // Any bit at all lets position 2 through, whichever drive it names.
    ResetFake();
    SetUp();
    Fake().positions[2].deviceMap = 0x01;
    EXPECT_EQ(ProbeDrive(2), 1);
}

TEST_F(DriveScanTest, FailedEnableOnlyClearsSmartEnabled)
{
    Fake().positions[0].enableWorks = false;
    EXPECT_EQ(ProbeDrive(0), 1);
    EXPECT_EQ(DriveTable[0].smartEnabled, 0);
    EXPECT_EQ(DriveTable[0].present, 1);
    EXPECT_EQ(DriveTable[0].attributes[0].id, 5);
    EXPECT_EQ(DriveTable[0].lastAccess.wYear, 2024);
}

TEST_F(DriveScanTest, AnsweredButUnidentifiedPositionsStillCount)
{
    for (FakePosition& p : Fake().positions)
        p.identifyWorks = false;
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_TRUE(Fake().boxes.empty());
    for (int d = 0; d < 4; ++d) {
        const DriveRecord& r = DriveTable[d];
        EXPECT_EQ(r.present, 0);
        EXPECT_EQ(r.listPosition, -1);
        EXPECT_EQ(r.smartEnabled, 1);
        EXPECT_EQ(r.lastAccess.wYear, 2024);
        EXPECT_EQ(r.model[0], '\0');
        EXPECT_EQ(r.attributes[0].id, 5);  // the attribute decoder still ran
    }
    EXPECT_EQ(FindDriveAtRow(0), NoDrive);
}

TEST_F(DriveScanTest, PresentDrivesAreNumberedWithoutGaps)
{
    Absent(0);
    FillIdentify(Fake().positions[2].identify, "", "SERIAL2", "FW", 7);  // blank model
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_EQ(DriveTable[0].listPosition, -1);
    EXPECT_EQ(DriveTable[1].listPosition, 0);
    EXPECT_EQ(DriveTable[2].listPosition, -1);
    EXPECT_EQ(DriveTable[2].present, 0);
    EXPECT_STREQ(DriveTable[2].serial, "SERIAL2");
    EXPECT_EQ(DriveTable[3].listPosition, 1);
}

// The monitor's re-read on each tick (its values and the drives that leave
// the list are seen in the window's tests): no box, and the start-up's text.
TEST_F(DriveScanTest, RereadKeepsTheStartupErrorAndShowsNoBoxWhateverAnswers)
{
    Absent(3);
    ASSERT_EQ(ScanDrives(), 1);
    const std::string startupError = ErrorText;
    for (FakePosition& p : Fake().positions)
        p.openError = 5;
    RereadDrives();
    EXPECT_EQ(ErrorText, startupError);
    EXPECT_TRUE(Fake().boxes.empty());
    EXPECT_EQ(FindDriveAtRow(0), NoDrive);
}

TEST_F(DriveScanTest, FailedAttributeReadSkipsThresholdsAndDecoding)
{
    Fake().positions[0].attributesWork = false;
    EXPECT_EQ(ProbeDrive(0), 1);
    EXPECT_EQ(CommandsSent(), "QVEIA");
    for (const AttributeSlot& s : DriveTable[0].attributes)
        EXPECT_EQ(s.name[0], '\0');
    EXPECT_EQ(DriveTable[0].present, 1);
}

// A sector whose checksum stays wrong is read twice and shown as read.
TEST_F(DriveScanTest, FailedThresholdReadGivesThresholdsOfZero)
{
    ++Fake().positions[0].thresholds[511];
    ProbeDrive(0);  // leaves thresholds of drive 0 in the shared buffer
    EXPECT_TRUE(CommandsSent() == "QVEIATT" && DriveTable[0].checksumFailed == 1 && DriveTable[1].checksumFailed == 0);
    Fake().positions[1].thresholdsWork = false;
    EXPECT_EQ(ProbeDrive(1), 1);
    EXPECT_EQ(DriveTable[1].attributes[0].id, 5);
    EXPECT_EQ(DriveTable[1].attributes[0].value, 100);
    EXPECT_EQ(DriveTable[1].attributes[0].threshold, 0);
    EXPECT_EQ(DriveTable[1].attributes[1].threshold, 0);
}

TEST_F(DriveScanTest, FailedIdentifyDoesNotDecodeTheLastDrivesSector)
{
    ProbeDrive(0);
    Fake().positions[1].identifyWorks = false;
    ProbeDrive(1);
    EXPECT_EQ(DriveTable[1].model[0], '\0');
    EXPECT_EQ(DriveTable[1].totalSectors, 0u);
}

TEST_F(DriveScanTest, NineXScanSelectsDrivesByNumber)
{
    Fake().platform = 1;
    EXPECT_EQ(ScanDrives(), 1);
    for (int d = 0; d < 4; ++d)
        EXPECT_EQ(std::string(DriveTable[d].model), "MODEL " + std::to_string(d));
    for (const FakeRequest& r : Fake().requests)
        EXPECT_EQ(r.device, FakeHandle(-1));
    EXPECT_EQ(Fake().openDevices, 0);
}

// ---- FormatLastError -------------------------------------------------------

TEST_F(DriveScanTest, LastErrorIsReadBeforeAnyOtherCall)
{
    Absent(1);
    OpenDriveDevice(1);
    const std::vector<std::string>& c = Fake().calls;
    ASSERT_GE(c.size(), 5u);
    EXPECT_EQ(c[c.size() - 3], "getLastError");
    EXPECT_EQ(c[c.size() - 4], "createFile");
    EXPECT_EQ(c.back(), "freeSystemText");
    EXPECT_EQ(Fake().textsOutstanding, 0);
}

TEST_F(DriveScanTest, LongSystemTextIsCutAt511Characters)
{
    Fake().systemTexts[87] = std::string(700, 'x');
    Fake().lastError = 87;
    FormatLastError(ErrorText);
    EXPECT_EQ(std::strlen(ErrorText), 511u);
    EXPECT_EQ(std::string(ErrorText, 5), "87 - ");
    EXPECT_EQ(Fake().textsOutstanding, 0);
}

TEST_F(DriveScanTest, TextsAreCopiedAsTheSystemGivesThem)
{
    Fake().systemTexts[34] = "Insert %2 (Volume Serial Number: %3) into drive %1.\r\n";
    Fake().lastError = 34;
    FormatLastError(ErrorText);
    EXPECT_STREQ(ErrorText, "34 - Insert %2 (Volume Serial Number: %3) into drive %1.\r\n");
}

TEST_F(DriveScanTest, CodeWithoutSystemTextStillReadsWell)
{
    std::memset(ErrorText, '#', sizeof ErrorText);
    Fake().lastError = 0xE0001234u;  // signed decimal, as the system's codes are shown
    FormatLastError(ErrorText);
    const std::string text = ErrorText;
    EXPECT_EQ(text.rfind("-536866252 - ", 0), 0u) << text;
    EXPECT_GT(text.size(), 15u);
    EXPECT_EQ(text.find('#'), std::string::npos);
    EXPECT_EQ(Fake().textsOutstanding, 0);
}

// ---- CheckSmartDriver --------------------------------------------------------

const char Target[] = "C:\\WINDOWS\\SYSTEM\\iosubsys\\smartvsd.vxd";
const char Source[] = "C:\\WINDOWS\\SYSTEM\\smartvsd.vxd";

TEST_F(DriveScanTest, NtNeedsNoDriverFile)
{
    EXPECT_EQ(CheckSmartDriver(), 1);
    EXPECT_EQ(Fake().calls, std::vector<std::string>{"platformId"});
}

TEST_F(DriveScanTest, UnknownPlatformsStopSilently)
{
    for (uint32_t platform : {0u, 3u, 0xFFFFFFFFu}) {
        ResetFake();
        Fake().platform = platform;
        EXPECT_EQ(CheckSmartDriver(), 0);
        EXPECT_EQ(Fake().calls, std::vector<std::string>{"platformId"});
    }
}

TEST_F(DriveScanTest, NineXWithTheDriverInPlaceGoesOn)
{
    Fake().platform = 1;
    Fake().existingPaths = {Target, Source};
    EXPECT_EQ(CheckSmartDriver(), 1);
    EXPECT_TRUE(Fake().boxes.empty());
    EXPECT_TRUE(Fake().copies.empty());
    EXPECT_EQ(Fake().pathsLookedUp, std::vector<std::string>{Target});
}

TEST_F(DriveScanTest, NineXCopiesTheDriverAndAsksForAReboot)
{
    Fake().platform = 1;
    Fake().existingPaths = {Source};
    EXPECT_EQ(CheckSmartDriver(), 0);
    ASSERT_EQ(Fake().copies.size(), 1u);
    EXPECT_EQ(Fake().copies[0], std::make_pair(std::string(Source), std::string(Target)));
    EXPECT_EQ(std::count(Fake().calls.begin(), Fake().calls.end(), "copyFile(failIfExists)"), 1);
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, "Your system has been updated, please reboot");
    EXPECT_EQ(Fake().boxes[0].caption, "Ostrivel");
    EXPECT_EQ(Fake().boxes[0].type, 0x40u);

    // The next start finds the copy and goes on.
    Fake().boxes.clear();
    EXPECT_EQ(CheckSmartDriver(), 1);
    EXPECT_TRUE(Fake().boxes.empty());
}

TEST_F(DriveScanTest, NineXWithoutTheDriverFileStops)
{
    Fake().platform = 1;
    EXPECT_EQ(CheckSmartDriver(), 0);
    EXPECT_TRUE(Fake().copies.empty());
    EXPECT_EQ(Fake().pathsLookedUp, (std::vector<std::string>{Target, Source}));
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, "File smartvsd.vxd not present in the system");
    EXPECT_EQ(Fake().boxes[0].type, 0x10u);
}

TEST_F(DriveScanTest, NineXFailedCopySaysWhy)
{
    Fake().platform = 1;
    Fake().existingPaths = {Source};
    Fake().copyWorks = false;
    Fake().copyError = 5;
    EXPECT_EQ(CheckSmartDriver(), 0);
    ASSERT_EQ(Fake().boxes.size(), 1u);
    EXPECT_EQ(Fake().boxes[0].text, std::string("Could not copy smartvsd.vxd to ") + Target +
                                        "\n5 - Access is denied.\r\n");
    EXPECT_EQ(Fake().boxes[0].caption, "Ostrivel");
    EXPECT_EQ(Fake().boxes[0].type, 0x10u);
    EXPECT_EQ(Fake().textsOutstanding, 0);
    EXPECT_EQ(ErrorText[0], '\0');  // the scan's error text is not touched
}

TEST_F(DriveScanTest, NineXWithoutAUsableSystemFolderStops)
{
    Fake().platform = 1;
    Fake().systemDirectory = std::string(80, 'C');  // does not fit 80 bytes with its NUL
    EXPECT_EQ(CheckSmartDriver(), 0);
    Fake().systemDirectory = "C:\\WINDOWS\\SYSTEM";
    Fake().systemDirectoryFails = true;
    EXPECT_EQ(CheckSmartDriver(), 0);
    EXPECT_TRUE(Fake().pathsLookedUp.empty());
    EXPECT_TRUE(Fake().copies.empty());
    ASSERT_EQ(Fake().boxes.size(), 2u);
    EXPECT_EQ(Fake().boxes[1].text, "File smartvsd.vxd not present in the system");
}

}  // namespace
