#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "nvme_text.h"
#include "view_text.h"

namespace {

class ViewTextTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDriveTable(); }

    static std::string InfoValue(const DriveRecord& r, int row)
    {
        InfoRowText rows[InfoRowCount];
        MakeInfoRows(r, rows);
        return rows[row].value;
    }
};

TEST_F(ViewTextTest, SizeIsWholeMegabytesTruncated)
{
    EXPECT_EQ(SizeInMegabytes(0), 0u);
    EXPECT_EQ(SizeInMegabytes(2047), 0u);
    EXPECT_EQ(SizeInMegabytes(2048), 1u);
    EXPECT_EQ(SizeInMegabytes(4095), 1u);
    EXPECT_EQ(SizeInMegabytes(4294967295u), 2097151u);
}

TEST_F(ViewTextTest, LastAccessPadsEveryFieldButTheYear)
{
    char text[CellSize];
    LocalTime t = {2002, 3, 2, 5, 9, 7, 3, 0};
    FormatLastAccess(t, text, sizeof text);
    EXPECT_STREQ(text, "05/03/2002 09.07.03");
    LocalTime zero = {};
    FormatLastAccess(zero, text, sizeof text);
    EXPECT_STREQ(text, "00/00/0 00.00.00");
}

TEST_F(ViewTextTest, InfoPageRowsInOrderWithImages)
{
    DriveRecord& r = DriveTable[0];
    std::strcpy(r.model, "WDC WD2500JB-00REA0");
    std::strcpy(r.serial, "WD-WCANK1234567");
    std::strcpy(r.firmware, "20.00K20");
    r.cylinders = 16383;
    r.heads = 16;
    r.sectorsPerTrack = 63;
    r.totalSectors = 488397168;
    r.lastAccess = {2026, 12, 1, 7, 23, 5, 9, 0};
    InfoRowText rows[InfoRowCount];
    MakeInfoRows(r, rows);

    const char* labels[InfoRowCount] = {
        "Model Number", "Size", "Serial Number", "Firmware Rev.", "Geometry", "Logical Cylinders",
        "Logical Heads", "Logical Sectors per Track", "Total Addressable Sectors",
        "Logical Block Addressing", "Last Access"};
    const char* values[InfoRowCount] = {
        "WDC WD2500JB-00REA0", "238475 MB", "WD-WCANK1234567", "20.00K20", "", "16383", "16", "63",
        "488397168", "Yes", "07/12/2026 23.05.09"};
    const ListImage images[InfoRowCount] = {ImageBlank, ImageBlank, ImageBlank, ImageBlank,
                                            ImageInfo,  ImageBlank, ImageBlank, ImageBlank,
                                            ImageBlank, ImageBlank, ImageClock};
    for (int i = 0; i < InfoRowCount; ++i) {
        EXPECT_STREQ(rows[i].label, labels[i]) << "row " << i;
        EXPECT_STREQ(rows[i].value, values[i]) << "row " << i;
        EXPECT_EQ(rows[i].image, images[i]) << "row " << i;
    }
}

TEST_F(ViewTextTest, NumbersPrintUnsignedAtTheirLimits)
{
    DriveRecord& r = DriveTable[0];
    r.cylinders = 65535;
    r.heads = 65535;
    r.sectorsPerTrack = 65535;
    r.totalSectors = 4294967295u;
    EXPECT_EQ(InfoValue(r, 5), "65535");
    EXPECT_EQ(InfoValue(r, 7), "65535");
    // A count above 2^31 is still a count, never a negative number.
    EXPECT_EQ(InfoValue(r, 8), "4294967295");
    EXPECT_EQ(InfoValue(r, 1), "2097151 MB");
}

TEST_F(ViewTextTest, The48BitCountIsTheCapacityWhereTheDriveGivesOne)
{
    DriveRecord& r = DriveTable[0];
    r.totalSectors = 268435455;  // words 60-61 stop at 2^28 - 1
    r.totalSectors48 = 0xFFFFFFFFFFFFu;
    EXPECT_EQ(InfoValue(r, 1), "137438953471 MB");
    EXPECT_EQ(InfoValue(r, 8), "281474976710655");
    EXPECT_EQ(InfoValue(r, 9), "Yes");
}

TEST_F(ViewTextTest, LbaFollowsTheReportedCapacity)
{
    DriveRecord& r = DriveTable[0];
    r.cylinders = 1024;
    r.heads = 16;
    r.sectorsPerTrack = 63;
    EXPECT_EQ(InfoValue(r, 9), "No");
    r.totalSectors = 1;
    EXPECT_EQ(InfoValue(r, 9), "Yes");
}

TEST_F(ViewTextTest, ModelOfFullWidthIsShownWhole)
{
    DriveRecord& r = DriveTable[0];
    std::memset(r.model, 'M', 40);
    EXPECT_EQ(InfoValue(r, 0), std::string(40, 'M'));
}

TEST_F(ViewTextTest, DriveRowTexts)
{
    for (int d = 0; d < DriveCount; ++d) {
        DriveTable[d].present = 1;
        std::strcpy(DriveTable[d].model, "Disk");
    }
    DriveTable[0].smartEnabled = 1;
    DriveTable[1].smartEnabled = 0;
    DriveTable[2].smartEnabled = 1;
    std::strcpy(DriveTable[2].attributes[0].name, "Start/Stop Count");
    DriveTable[2].attributes[0].value = 20;
    DriveTable[2].attributes[0].threshold = 20;

    const char* controllers[] = {"Primary/Master", "Primary/Slave", "Secondary/Master",
                                 "Secondary/Slave"};
    for (int d = 0; d < DriveCount; ++d)
        EXPECT_STREQ(MakeDriveRow(d).controller, controllers[d]);
    EXPECT_STREQ(MakeDriveRow(0).smartEnabled, "Yes");
    EXPECT_STREQ(MakeDriveRow(0).status, "Ok");
    EXPECT_STREQ(MakeDriveRow(1).smartEnabled, "No");
    EXPECT_STREQ(MakeDriveRow(1).status, "N/A");
    EXPECT_STREQ(MakeDriveRow(2).status, "Alert");
}

TEST_F(ViewTextTest, AttributeRowShowsValueAbove127Unsigned)
{
    AttributeSlot slot = {};
    std::strcpy(slot.name, "Temperature");
    slot.id = 194;
    slot.value = 255;
    slot.threshold = 0;
    AttributeRowText row;
    MakeAttributeRow(slot, &row);
    EXPECT_STREQ(row.id, "194");
    EXPECT_STREQ(row.name, "Temperature");
    EXPECT_STREQ(row.value, "255");
    EXPECT_STREQ(row.threshold, "0");
}

TEST_F(ViewTextTest, DefaultDetailDriveIsTheFirstListedDrive)
{
    EXPECT_EQ(DefaultDetailDrive(), 0) << "no drive listed";
    for (DriveRecord& r : DriveTable)
        r.listPosition = -1;
    DriveTable[1].present = 1;
    DriveTable[3].present = 1;
    NumberPresentDrives();
    EXPECT_EQ(DefaultDetailDrive(), 1);
    DriveTable[0].present = 1;
    NumberPresentDrives();
    EXPECT_EQ(DefaultDetailDrive(), 0);
}

// Version 1.2.1 with a 4096-byte format, no critical temperature and no
// log; then all that a drive before NVMe 1.2 on a Windows before 10 leaves
// unknown. The Windows side shows a whole drive's rows.
TEST_F(ViewTextTest, NvmeDriveRowsAndWhatTheyShowForWhatIsMissing)
{
    DriveRecord& r = DriveTable[0];
    r.present = 1;
    r.busType = DriveBusNvme;
    NvmeRecord& n = r.nvme;
    n.identifyRead = n.namespaceRead = 1;
    n.version = 0x10201, n.warningTemperature = 346, n.blockSize = 4096;
    n.capacityBytes = (n.namespaceBlocks = 244190646) * 4096;
    EXPECT_STREQ(MakeDriveRow(0).status, "N/A");
    for (const auto& [i, value] : {std::pair(1, "953869 MB"), {4, "not available from this driver (error 0)"},
                                   {5, "1.2.1"}, {6, "4096"}, {7, "73 C"}, {9, "-"}})
        EXPECT_EQ(InfoValue(r, i), value) << i;
    AttributeRowText row;
    MakeNvmeAttributeRow(n, 1, &row);  // 0 K: not reported
    EXPECT_EQ(std::string(row.value) + "/" + row.threshold, "-/73 C");

    n = {};
    n.olderSystem = 1;
    for (int i : {1, 5, 6, 7, 8})
        EXPECT_EQ(InfoValue(r, i), "-") << i;
    EXPECT_EQ(InfoValue(r, 4), "needs Windows 10");
}

}  // namespace
