#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "report_text.h"
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

// Drive 2 at Caution, as a worn WD20EZRX; the rest as each test makes it.
class HealthTextTest : public ViewTextTest {
protected:
    void SetUp() override
    {
        ViewTextTest::SetUp();
        DriveRecord& r = DriveTable[2];
        r.present = r.smartEnabled = 1;
        std::strcpy(r.model, "WDC WD20EZRX-00D8PB0");
        std::strcpy(r.serial, "WD-WCC4M1234567");
        std::strcpy(r.firmware, "80.00A80");
        r.totalSectors48 = 3907029168u;
        Slot(r, 0, "Reallocated Sector Count", 5, 200, 140, 4);
        Slot(r, 1, "Temperature", 194, 116, 0, 0x1F);
        Slot(r, 2, "Current Pending Sector", 197, 199, 0, 468);
    }
    static void Slot(DriveRecord& r, int k, const char* name, int id, int value, int threshold, uint64_t raw)
    {
        AttributeSlot& s = r.attributes[k];
        std::strcpy(s.name, name);
        s.id = id;
        s.value = value;
        s.worst = value;
        s.threshold = threshold;
        s.raw = raw;
    }
    static std::string Tip()
    {
        char tip[TrayTipSize];
        FormatTrayTip(DriveTable, tip);
        return tip;
    }
};

TEST_F(HealthTextTest, ListHealthRowAndTrayTipFollowTheWorstDrive)
{
    InfoRowText row;
    MakeHealthRow(DriveTable[2], &row);
    EXPECT_STREQ(row.label, "Health");
    EXPECT_STREQ(row.value, "Caution: 468 pending sectors (197)");
    EXPECT_EQ(row.image, ImageWarning);
    EXPECT_STREQ(MakeDriveRow(2).status, "Caution");
    // Cut at the last blank within 63 characters, the comma before it too.
    EXPECT_EQ(Tip(), "Ostrivel - Caution: WDC WD20EZRX-00D8PB0, 468 pending sectors");

    // A drive without S.M.A.R.T. is N/A whatever its slots: the blank image.
    DriveRecord& off = DriveTable[0];
    off.present = 1;
    Slot(off, 0, "Start/Stop Count", 4, 1, 20, 0);
    MakeHealthRow(off, &row);
    EXPECT_STREQ(row.value, "N/A");
    EXPECT_EQ(row.image, ImageBlank);
    // A later drive at Alert is the worst.
    DriveRecord& alert = DriveTable[3];
    alert.present = alert.smartEnabled = 1;
    std::strcpy(alert.model, "X");
    Slot(alert, 0, "Start/Stop Count", 4, 1, 20, 0);
    EXPECT_EQ(Tip(), "Ostrivel - Alert: X, Start/Stop Count value 1 below threshold");
    // A model of 40 characters without a blank ends the tip.
    std::memset(alert.model, 'M', 40);
    EXPECT_EQ(Tip(), "Ostrivel - Alert: " + std::string(40, 'M'));

    alert.present = 0;
    DriveTable[2].attributes[0].raw = 0;
    DriveTable[2].attributes[2].raw = 0x10000;
    MakeHealthRow(DriveTable[2], &row);
    EXPECT_STREQ(row.value, "Ok");
    EXPECT_EQ(row.image, ImageBlank);
    EXPECT_EQ(Tip(), "Ostrivel");
}

TEST_F(HealthTextTest, ReportHoldsEveryPresentDriveInAlignedLines)
{
    DriveRecord& nvme = DriveTable[3];
    nvme.present = nvme.smartEnabled = 1;
    nvme.busType = DriveBusNvme;
    std::strcpy(nvme.model, "Samsung SSD 960 PRO 2TB");
    nvme.nvme.capacityBytes = 2048408248320ull;
    nvme.nvme.health.percentageUsed = 91;
    nvme.nvme.health.compositeTemperature = 317;
    nvme.nvme.health.counters[NvmeMediaErrors].word[0] = 38;
    const ReportContext context = {"OFFICE-PC", {2002, 3, 2, 5, 9, 7, 3, 0}};
    static char text[ReportTextMax];
    const size_t length = FormatReport(context, DriveTable, text, sizeof text);
    const std::string report(text, length);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(report.find("Ostrivel v1.0 drive report\r\nComputer: OFFICE-PC\r\nDate: 05/03/2002 09.07.03\r\n\r\n"
                          "Secondary/Master: WDC WD20EZRX-00D8PB0\r\n  Serial number: WD-WCC4M1234567\r\n"
                          "  Firmware revision: 80.00A80\r\n  Size: 1907729 MB\r\n  Health: Caution\r\n"
                          "    468 pending sectors (197)\r\n    4 reallocated sectors (5)\r\n"),
              0u);
    EXPECT_NE(report.find("\r\n  194 Temperature                        116   116         0          31 C\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("\r\nSecondary/Slave: Samsung SSD 960 PRO 2TB\r\n"), std::string::npos);
    EXPECT_NE(report.find("  Size: 1953514 MB\r\n  Health: Caution\r\n    38 media errors\r\n"
                          "    91% of rated life used\r\n"),
              std::string::npos);
    EXPECT_NE(report.find("  Temperature: 44 C\r\n"), std::string::npos);
    EXPECT_NE(report.find("  Media and data integrity errors: 38\r\n"), std::string::npos);
    // Every line ends in CR LF and fits a mail line; the raw column ends where
    // its heading does.
    size_t rawEnd = 0;
    int rows = 0;
    for (size_t at = 0, end; at < length; at = end + 2) {
        end = report.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = report.substr(at, end - at);
        EXPECT_LE(line.size(), 76u) << line;
        if (line.starts_with("   ID ")) {
            rawEnd = line.size();
        } else if (rawEnd && !line.empty()) {
            EXPECT_EQ(line.size(), rawEnd) << line;
            ++rows;
        } else {
            rawEnd = 0;
        }
    }
    EXPECT_EQ(rows, 3);

    // The drive's section alone is the same text; a buffer one byte short
    // gets nothing.
    char section[4096];
    const size_t sectionLength = FormatDriveSection(DriveTable[2], 2, section, sizeof section);
    ASSERT_GT(sectionLength, 0u);
    EXPECT_NE(report.find(std::string(section, sectionLength)), std::string::npos);
    EXPECT_EQ(FormatDriveSection(DriveTable[2], 2, section, sectionLength + 1), sectionLength);
    EXPECT_EQ(FormatDriveSection(DriveTable[2], 2, section, sectionLength), 0u);

    ResetDriveTable();
    const std::string none(text, FormatReport(context, DriveTable, text, sizeof text));
    EXPECT_TRUE(none.ends_with("\r\n\r\nNo drive answered.\r\n")) << none;
}

}  // namespace
