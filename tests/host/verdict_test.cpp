// The verdict's rules at each edge, and the texts that show it: the raw
// cells, the tray tip and the report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "identify.h"
#include "report_text.h"
#include "view_text.h"

namespace {

void Put(DriveRecord& r, int k, int id, int value, int worst, int threshold, uint64_t raw)
{
    r.present = r.smartEnabled = 1;
    r.attributes[k] = {"", id, value, threshold, 0, raw, worst};
    std::strcpy(r.attributes[k].name, AttributeName(id));
    TrimBlanks(r.attributes[k].name);
}

std::string Judged(const DriveRecord& r)
{
    DriveVerdict v;
    JudgeDrive(r, &v);
    std::string text = StatusText(v.level);
    for (int i = 0; i < v.reasonCount; ++i)
        text += (i ? "; " : ": ") + std::string(v.reasons[i]);
    return text;
}

TEST(VerdictTest, OneAttributeAtEachEdgeAndItsRawCell)
{
    const struct { int id, value, worst, threshold; uint64_t raw; const char *rawCell, *judged; } cases[] = {
        {197, 100, 100, 0, 0xFFFF0000, "0", "Ok"},
        {197, 100, 100, 0, 0xFFFF0001, "1", "Caution: 1 pending sector (197)"},
        {5, 200, 141, 140, 0, "0", "Ok"},
        {5, 200, 140, 140, 0, "0", "Caution: Reallocated Sector Count worst 140 at threshold 140 (5)"},
        {1, 0, 0, 0, 0xABCDEF, "000000ABCDEF", "Ok"},  // a threshold of 0 never trips
        {4, 1, 1, 20, 0x100000007, "7", "Alert: Start/Stop Count value 1 below threshold 20 (4)"},
        {194, 100, 100, 0, 0x460000003B, "59 C", "Ok"},
        {194, 100, 100, 0, 0x140000003C, "60 C", "Caution: temperature 60 C (194)"},
        {190, 40, 30, 0, 0x3D, "61 C", "Caution: temperature 61 C (190)"},
    };
    for (const auto& c : cases) {
        DriveRecord r = {};
        Put(r, 0, c.id, c.value, c.worst, c.threshold, c.raw);
        EXPECT_EQ(Judged(r), c.judged) << "ID " << c.id;
        AttributeRowText row;
        MakeAttributeRow(r.attributes[0], &row);
        EXPECT_STREQ(row.raw, c.rawCell) << "ID " << c.id;
    }
}

TEST(VerdictTest, ReasonsWorstFirst)
{
    DriveRecord r = {};
    const int slots[][4] = {{190, 0x30}, {10, 2}, {187, 1}, {5, 3}, {198, 0xFFFF}, {194, 63}, {197, 8}};
    for (int k = 0; k < 7; ++k)
        Put(r, k, slots[k][0], 100, 100, 36, static_cast<uint64_t>(slots[k][1]));
    r.attributes[3].value = 36;
    EXPECT_EQ(Judged(r), "Alert: Reallocated Sector Count value 36 at threshold 36 (5); 8 pending sectors (197); "
                         "65535 offline uncorrectable sectors (198); 3 reallocated sectors (5); "
                         "1 reported uncorrectable error (187); 2 spin retries (10); temperature 63 C (194)");

    DriveRecord nvme = {};
    Put(nvme, 0, 197, 100, 100, 0, 5);  // the ATA rules never judge an NVMe drive
    nvme.busType = DriveBusNvme;
    nvme.nvme.healthRead = 1;
    NvmeHealth& h = nvme.nvme.health;
    h.percentageUsed = 89;
    h.counters[NvmeMediaErrors] = {{0, 0, 1, 0}};  // past 64 bits: the largest count, not 0
    EXPECT_EQ(Judged(nvme), "Caution: 18446744073709551615 media errors");
    h.criticalWarning = 0x1F, h.percentageUsed = 90;
    h.counters[NvmeMediaErrors] = {{1, 1, 0, 0}};
    EXPECT_EQ(Judged(nvme), "Alert: critical warning: spare below threshold; critical warning: reliability "
                            "degraded; critical warning: read-only; critical warning: volatile memory backup "
                            "failed; 4294967297 media errors; 90% of rated life used; critical warning: "
                            "temperature");
    h.criticalWarning = 0;  // a drive that leaves bit 0 clear
    h.availableSpare = 9, h.availableSpareThreshold = 10;
    EXPECT_EQ(Judged(nvme), "Alert: available spare 9% below threshold 10%; 4294967297 media errors; "
                            "90% of rated life used");
}

TEST(VerdictTest, HealthRowTrayTipAndReportShowTheSameVerdict)
{
    ResetDriveTable();
    DriveRecord& worn = DriveTable[2];
    Put(worn, 0, 5, 200, 200, 140, 4);
    Put(worn, 1, 197, 199, 199, 0, 468);
    std::strcpy(worn.model, "WDC WD20EZRX-00D8PB0");
    worn.totalSectors48 = 3907029168u;
    char tip[TrayTipSize];
    EXPECT_EQ(FormatTrayTip(DriveTable, tip), DriveStatus::Caution);
    EXPECT_STREQ(tip, "Ostrivel - Caution: WDC WD20EZRX-00D8PB0, 468 pending sectors");

    static char text[ReportTextMax];
    const ReportContext context = {"OFFICE-PC", {2002, 3, 2, 5, 9, 7, 3, 0}};
    const std::string report(text, FormatReport(context, DriveTable, text, sizeof text));
    EXPECT_EQ(report, "Ostrivel v1.0 drive report\r\nComputer: OFFICE-PC\r\nDate: 05/03/2002 09.07.03\r\n\r\n"
                      "Secondary/Master: WDC WD20EZRX-00D8PB0\r\n  Serial number: \r\n  Firmware revision: \r\n"
                      "  Size: 1907729 MB\r\n  Health: Caution\r\n    468 pending sectors (197)\r\n"
                      "    4 reallocated sectors (5)\r\n"
                      "   ID Attribute name                   Value Worst Threshold           Raw\r\n"
                      "    5 Reallocated Sector Count           200   200       140             4\r\n"
                      "  197 Current Pending Sector             199   199         0           468\r\n");
    // A drive's section alone, within its room or not at all.
    char section[1024];
    const size_t room = report.size() - 77;
    EXPECT_EQ(std::string(section, FormatDriveSection(worn, 2, section, room)), report.substr(78));
    EXPECT_EQ(FormatDriveSection(worn, 2, section, room - 1), 0u);

    // The worst drive leads the tip, cut at a blank, the comma with it.
    Put(DriveTable[1], 0, 4, 1, 1, 20, 0);
    std::strcpy(DriveTable[1].model, "X");
    EXPECT_EQ(FormatTrayTip(DriveTable, tip), DriveStatus::Alert);
    EXPECT_STREQ(tip, "Ostrivel - Alert: X, Start/Stop Count value 1 below threshold");
}

}  // namespace
