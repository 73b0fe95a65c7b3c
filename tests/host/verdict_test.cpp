// The verdict's rule table at each of its edges, on records filled here.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "identify.h"
#include "verdict.h"

namespace {

const char* const LevelNames[] = {"Ok", "Alert", "N/A", "Caution"};  // by DriveStatus

class VerdictTest : public ::testing::Test {
protected:
    DriveRecord r = {};
    int used = 0;

    void SetUp() override { r.present = r.smartEnabled = 1; }

    AttributeSlot& Attr(int id, int value, int worst, int threshold, uint64_t raw = 0)
    {
        AttributeSlot& s = r.attributes[used++];
        std::snprintf(s.name, TextSize, "%s", AttributeName(id));
        TrimBlanks(s.name);
        s.id = id;
        s.value = value;
        s.worst = worst;
        s.threshold = threshold;
        s.raw = raw;
        return s;
    }
    DriveRecord& Nvme()
    {
        r.busType = DriveBusNvme;
        return r;
    }
    // "Level: reason; reason"
    std::string Judged() const
    {
        DriveVerdict v;
        JudgeDrive(r, &v);
        std::string text = LevelNames[static_cast<int>(v.level)];
        for (int i = 0; i < v.reasonCount; ++i)
            text += (i ? "; " : ": ") + std::string(v.reasons[i]);
        return text;
    }
};

TEST_F(VerdictTest, SectorCountsTakeTheLow16BitsOnly)
{
    AttributeSlot& pending = Attr(197, 100, 100, 0, 0xFFFF0000ull);
    AttributeSlot& spin = Attr(10, 100, 100, 0, 0xABCD0000ull);
    EXPECT_EQ(Judged(), "Ok");
    pending.raw = 0xFFFF0001ull;
    EXPECT_EQ(Judged(), "Caution: 1 pending sector (197)");
    spin.raw = 0x10002ull;
    Attr(5, 100, 100, 36, 0x300000003ull);
    Attr(187, 100, 100, 0, 1);
    Attr(198, 100, 100, 0, 0xFFFF);
    pending.raw = 8;
    // Worst first: pending, uncorrectable, reallocated, reported, spin retries.
    EXPECT_EQ(Judged(),
              "Caution: 8 pending sectors (197); 65535 offline uncorrectable sectors (198); "
              "3 reallocated sectors (5); 1 reported uncorrectable error (187); 2 spin retries (10)");
}

TEST_F(VerdictTest, WorstAtANonZeroThresholdIsAPastFailure)
{
    AttributeSlot& realloc = Attr(5, 200, 141, 140);
    AttributeSlot& noThreshold = Attr(1, 100, 0, 0);
    EXPECT_EQ(Judged(), "Ok");
    realloc.worst = 140;
    EXPECT_EQ(Judged(), "Caution: Reallocated Sector Count worst 140 at threshold 140 (5)");
    realloc.worst = 3;
    EXPECT_EQ(Judged(), "Caution: Reallocated Sector Count worst 3 below threshold 140 (5)");
    // Failing now: one Alert reason for the slot, the worst goes unsaid; a
    // threshold of 0 never trips.
    realloc.value = 140;
    noThreshold.value = 0;
    EXPECT_EQ(Judged(), "Alert: Reallocated Sector Count value 140 at threshold 140 (5)");
    realloc.raw = 2;
    EXPECT_EQ(Judged(), "Alert: Reallocated Sector Count value 140 at threshold 140 (5); 2 reallocated sectors (5)");
    r.smartEnabled = 0;
    EXPECT_EQ(Judged(), "N/A");
}

TEST_F(VerdictTest, TemperatureOf194ElseOf190FromTheLowByte)
{
    AttributeSlot& airflow = Attr(190, 40, 30, 0, 0x3C);
    EXPECT_EQ(Judged(), "Caution: temperature 60 C (190)");
    AttributeSlot& temperature = Attr(194, 40, 30, 0, 0x4600000000ull | 59);
    EXPECT_EQ(Judged(), "Ok") << "194 goes before 190";
    temperature.raw = 0x1400000000ull | 60;
    EXPECT_EQ(Judged(), "Caution: temperature 60 C (194)");
    airflow.raw = 0;
    temperature.raw = 63;
    EXPECT_EQ(Judged(), "Caution: temperature 63 C (194)");
}

TEST_F(VerdictTest, NvmeHealthFields)
{
    NvmeHealth& h = Nvme().nvme.health;
    Attr(197, 100, 100, 0, 5);  // ATA rules never judge an NVMe drive
    h.percentageUsed = 89;
    h.counters[NvmeMediaErrors].word[2] = 1;
    EXPECT_EQ(Judged(), "Ok");
    h.percentageUsed = 90;
    EXPECT_EQ(Judged(), "Caution: 90% of rated life used");
    h.counters[NvmeMediaErrors].word[1] = 1;
    h.criticalWarning = 0x02;
    EXPECT_EQ(Judged(), "Caution: 4294967296 media errors; 90% of rated life used; temperature warning");
    h.counters[NvmeMediaErrors] = {{1, 0, 0, 0}};
    h.percentageUsed = 0;
    h.criticalWarning = 0x19;
    EXPECT_EQ(Judged(),
              "Alert: available spare below threshold; read-only mode; volatile memory backup failed; "
              "1 media error");
    h.criticalWarning = 0x04;
    EXPECT_EQ(Judged(), "Alert: reliability degraded; 1 media error");
}

TEST_F(VerdictTest, RawColumnByTheTableOfFormats)
{
    const struct {
        int id;
        uint64_t raw;
        const char* shown;
    } cases[] = {
        {5, 0x123400010005ull, "5"},   {197, 0xFFFFFFFF0000ull, "0"}, {194, 0x2A00370021ull, "33 C"},
        {190, 0x1FFull, "255 C"},          {9, 0x000100000064ull, "100"}, {199, 0xFFFFFFFFFFFFull, "4294967295"},
        {1, 0xABCDEFull, "000000ABCDEF"}, {241, 0xFFFFFFFFFFFFull, "FFFFFFFFFFFF"},
    };
    for (const auto& c : cases) {
        AttributeSlot slot = {};
        slot.id = c.id;
        slot.raw = c.raw;
        char text[32];
        FormatRaw(slot, text, sizeof text);
        EXPECT_STREQ(text, c.shown) << "ID " << c.id;
    }
}

}  // namespace
