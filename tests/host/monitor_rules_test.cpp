#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>

#include "monitor_rules.h"

namespace {

const char* const KindNames[] = {"fell", "threshold", "count", "alert-first", "count-first", "vanished", "smart-off",
                                 "warning", "spare-fell", "spare-below", "wear", "errors", "warning-first",
                                 "wear-first", "errors-first", "no-log"};

class MonitorRulesTest : public ::testing::Test {
protected:
    DriveRecord table[DriveCount] = {};
    MonitorState state = {};
    ConditionList found = {};
    uint32_t percent = 0;

    DriveRecord& Drive(int position, const char* serial)
    {
        DriveRecord& r = table[position];
        r = {};
        r.present = r.smartEnabled = 1;
        std::snprintf(r.model, TextSize, "MODEL %s", serial);
        std::snprintf(r.serial, TextSize, "%s", serial);
        return r;
    }
    static AttributeSlot& Attr(DriveRecord& r, int slot, int id, int value, int threshold = 0,
                               uint16_t flags = PreFailureFlag, uint64_t raw = 0)
    {
        r.attributes[slot] = {"Name", id, value, threshold, flags, raw, 0};
        return r.attributes[slot];
    }
    // One check: "kind id reference>current" per condition, ';'-separated.
    std::string Check()
    {
        CheckDrives(&state, table, percent, &found);
        std::string text;
        for (const Condition& c : std::span(found.items, found.count)) {
            char one[64];
            std::snprintf(one, sizeof one, "%s%s %d %d>%d", text.empty() ? "" : ";",
                          KindNames[static_cast<int>(c.kind)], c.attributeId, c.reference, c.current);
            text += one;
        }
        return text;
    }
    std::string CheckAndDeliver()
    {
        std::string text = Check();
        AcceptDelivered(&state, found);
        return text;
    }
};

TEST_F(MonitorRulesTest, ValueFallsAtTheirBoundaries)
{
    DriveRecord& r = Drive(0, "S1");
    Attr(r, 0, 1, 100);
    Attr(r, 1, 3, 200, 0, 0);              // usage attribute
    Attr(r, 2, 194, 100);                  // temperature, even flagged pre-failure
    Attr(r, 3, 8, 100, 60);                // threshold 60
    Attr(r, 4, 10, 100, 0);
    EXPECT_EQ(Check(), "");
    r.attributes[0].value = 95;            // 5 % of 100: not more than 5 %
    r.attributes[1].value = 1;
    r.attributes[2].value = 10;
    r.attributes[4].value = 120;           // rises are no warning
    EXPECT_EQ(Check(), "");
    r.attributes[0].value = 94;
    r.attributes[3].value = 60;            // at its threshold: reported as that, not as a fall
    EXPECT_EQ(Check(), "fell 1 100>94;threshold 8 100>60");
    EXPECT_EQ(CheckAndDeliver(), "fell 1 100>94;threshold 8 100>60");  // found again until delivered
    EXPECT_EQ(Check(), "");                // references moved
    r.attributes[3].value = 50;            // below the threshold already: only a fall counts
    r.attributes[0].value = 90;            // 4 of 94 is under 5 %
    EXPECT_EQ(CheckAndDeliver(), "fell 8 60>50");

    percent = 3;                           // 4 * 100 > 3 * 94
    EXPECT_EQ(Check(), "fell 1 94>90");
    percent = 100;
    r.attributes[0].value = 0;
    EXPECT_EQ(Check(), "");
}

// A reference follows its value up at once, so a value that recovered and
// falls again is reported again; a reading that failed its checksum counts
// for nothing.
TEST_F(MonitorRulesTest, ReferencesFollowRecoveriesAndIgnoreBadReadings)
{
    DriveRecord& r = Drive(0, "S1");
    auto at = [&](int value, int checksumFailed = 0) {
        Attr(r, 0, 3, value, 46);
        r.checksumFailed = checksumFailed;
        return CheckAndDeliver();
    };
    EXPECT_EQ(at(100), "");
    EXPECT_EQ(at(3), "threshold 3 100>3");
    EXPECT_EQ(at(100), "");
    EXPECT_EQ(at(10, 1), "");
    EXPECT_EQ(at(46), "threshold 3 100>46");
}

TEST_F(MonitorRulesTest, CountsUseTheLowSixteenBits)
{
    DriveRecord& r = Drive(1, "S2");
    AttributeSlot& realloc = Attr(r, 0, 5, 100, 36, PreFailureFlag, 0x0000A0000000ull);
    AttributeSlot& crc = Attr(r, 1, 199, 200, 0, 0, 0);
    AttributeSlot& pending = Attr(r, 2, 197, 200, 0, 0, 0xFFFF);
    EXPECT_EQ(CheckAndDeliver(), "count-first 197 65535>65535");  // already failing when first seen
    realloc.raw = 0x0000B0000001ull;
    crc.raw = 5;
    pending.raw = 0x10000;  // the count went down to 0: no warning
    EXPECT_EQ(CheckAndDeliver(), "count 5 0>1");
    realloc.raw = 0x0000C0000001ull;
    EXPECT_EQ(Check(), "");
    pending.raw = 1;
    EXPECT_EQ(Check(), "");  // its reference stays 65535 until a rise is delivered
}

TEST_F(MonitorRulesTest, FirstSightVanishingAndSmartOff)
{
    DriveRecord& healthy = Drive(0, "OK");
    Attr(healthy, 0, 1, 100, 50);
    DriveRecord& worn = Drive(2, "WORN");
    Attr(worn, 0, 5, 30, 36);
    Attr(worn, 1, 198, 100, 0, 0, 0x00020000);  // upper bytes only: count 0
    EXPECT_EQ(Check(), "alert-first 5 30>30");
    EXPECT_EQ(CheckAndDeliver(), "alert-first 5 30>30");
    EXPECT_EQ(Check(), "");

    table[0].smartEnabled = 0;
    table[2] = {};
    EXPECT_EQ(Check(), "smart-off 0 0>0;vanished 0 0>0");
    EXPECT_EQ(found.items[1].position, 2);
    AcceptDelivered(&state, found);
    EXPECT_EQ(Check(), "");
    DriveRecord& back = Drive(3, "WORN");  // answers again, elsewhere
    Attr(back, 0, 5, 30, 36);
    table[0].smartEnabled = 1;
    EXPECT_EQ(CheckAndDeliver(), "");
    table[3] = {};
    EXPECT_EQ(Check(), "vanished 0 0>0");
    EXPECT_EQ(found.items[0].position, 3);

    // One drive answering at two positions is one drive, checked at the first.
    Attr(Drive(1, "WORN"), 0, 5, 1, 36);
    table[3] = table[1];
    EXPECT_EQ(Check(), "fell 5 30>1");
    EXPECT_EQ(state.driveCount, 2);
}

// An NVMe drive's health log against its own references; its ATA slots,
// had it any, are never read.
TEST_F(MonitorRulesTest, NvmeHealthAtItsEdges)
{
    DriveRecord& r = Drive(0, "NV");
    r.busType = DriveBusNvme;
    NvmeHealth& h = r.nvme.health;
    h = {0x24, 100, 10, 95, 0, {}, 0, 0, {}};  // temperature and bit 5 set, worn
    Attr(r, 0, 5, 100, 0, 0, 3);
    EXPECT_EQ(CheckAndDeliver(), "warning-first 0 0>2;warning-first 0 0>5;wear-first 0 0>95");
    r.attributes[0].raw = 9;
    h.criticalWarning = 0x20;
    h.availableSpare = 95;  // 5 of 100: not more than 5 %
    h.counters[NvmeMediaErrors] = {{0, 0, 1, 0}};  // above 2^64
    EXPECT_EQ(Check(), "errors 0 0>0");
    EXPECT_EQ(found.items[0].raw, UINT64_MAX);
    h.criticalWarning = 0x24;  // set again after it cleared
    h.availableSpare = 10;     // at its threshold
    h.percentageUsed = 100;
    EXPECT_EQ(CheckAndDeliver(), "warning 0 0>2;spare-fell 0 100>10;wear 0 90>100;errors 0 0>0");
    h.availableSpare = 9;
    EXPECT_EQ(CheckAndDeliver(), "spare-below 0 10>9");
    r.smartEnabled = 0;
    EXPECT_EQ(Check(), "no-log 0 0>0");
}

TEST_F(MonitorRulesTest, SixteenDrivesLeastRecentlySeenForgotten)
{
    Drive(0, "KEPT");  // present at every check
    std::string serials;
    for (int n = 0; n <= MonitorDriveMax; ++n) {
        Drive(1, std::to_string(n + 10).c_str());
        CheckAndDeliver();  // the drive before has vanished
        table[1] = {};
    }
    for (const KnownDrive& k : std::span(state.drives, state.driveCount))
        serials += std::string(k.serial) + " ";
    EXPECT_EQ(serials, "KEPT 25 26 12 13 14 15 16 17 18 19 20 21 22 23 24 ");
}

}  // namespace
