#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "attributes.h"
#include "drive_table.h"
#include "identify.h"

namespace {

// The attribute and threshold sectors as a drive sends them. The bytes the
// decoder must not read (worst value, the threshold entry's ID and reserved
// bytes) are filled with decoys, and so are flags and raw value until a test
// sets them.
struct SmartSectors {
    uint8_t attributes[SectorSize] = {};
    uint8_t thresholds[SectorSize] = {};

    void Entry(int k, int id, int value, int threshold)
    {
        uint8_t* a = attributes + 2 + 12 * k;
        uint8_t* t = thresholds + 2 + 12 * k;
        std::memset(a, 0xEE, 12);
        std::memset(t, 0xDD, 12);
        a[0] = static_cast<uint8_t>(id);
        a[3] = static_cast<uint8_t>(value);
        t[0] = static_cast<uint8_t>(id);
        t[1] = static_cast<uint8_t>(threshold);
    }
};

class AttributesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDriveTable();
        DriveTable[0].present = 1;
        DriveTable[0].smartEnabled = 1;
    }

    static const DriveRecord& Decode(const SmartSectors& s, int drive = 0)
    {
        DecodeAttributes(s.attributes, s.thresholds, drive);
        return DriveTable[drive];
    }

    static int UsedSlots(const DriveRecord& r)
    {
        int n = 0;
        for (const AttributeSlot& slot : r.attributes)
            n += slot.name[0] != '\0';
        return n;
    }

    // Name a slot gets for one attribute ID.
    static std::string NameOf(int id)
    {
        ResetDriveTable();
        SmartSectors s;
        s.Entry(0, id, 100, 10);
        return Decode(s).attributes[0].name;
    }
};

// --- slot filling and position pairing ---

TEST_F(AttributesTest, ZeroSectorUsesNoSlot)
{
    SmartSectors s;
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(UsedSlots(r), 0);
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::Ok);
}

TEST_F(AttributesTest, UnusedEntriesLeaveNoGapAndSkipTheirThreshold)
{
    SmartSectors s;
    s.Entry(0, 5, 100, 36);
    s.Entry(1, 0, 77, 77);
    s.Entry(2, 9, 98, 0);
    const DriveRecord& r = Decode(s);
    EXPECT_STREQ(r.attributes[0].name, "Reallocated Sector Count");
    EXPECT_EQ(r.attributes[0].id, 5);
    EXPECT_EQ(r.attributes[0].value, 100);
    EXPECT_EQ(r.attributes[0].threshold, 36);
    EXPECT_STREQ(r.attributes[1].name, "Power On Hours Count");
    EXPECT_EQ(r.attributes[1].id, 9);
    EXPECT_EQ(r.attributes[1].value, 98);
    EXPECT_EQ(r.attributes[1].threshold, 0);
    EXPECT_EQ(UsedSlots(r), 2);
}

TEST_F(AttributesTest, ThresholdsPairByPositionNotById)
{
    SmartSectors s;
    s.Entry(0, 1, 100, 51);
    s.Entry(1, 3, 90, 21);
    s.Entry(2, 194, 40, 0);
    // The threshold sector lists the IDs in another order.
    s.thresholds[2 + 0] = 194;
    s.thresholds[2 + 12] = 1;
    s.thresholds[2 + 24] = 3;
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.attributes[0].threshold, 51);
    EXPECT_EQ(r.attributes[1].threshold, 21);
    EXPECT_EQ(r.attributes[2].threshold, 0);
}

TEST_F(AttributesTest, ThirtyEntriesFillSlotsZeroToTwentyNine)
{
    SmartSectors s;
    for (int k = 0; k < 30; ++k)
        s.Entry(k, 1 + k, 200 - k, k);
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(UsedSlots(r), 30);
    for (int k = 0; k < 30; ++k) {
        EXPECT_EQ(r.attributes[k].id, 1 + k) << k;
        EXPECT_EQ(r.attributes[k].value, 200 - k) << k;
        EXPECT_EQ(r.attributes[k].threshold, k) << k;
    }
    EXPECT_STREQ(r.attributes[30].name, "");
    EXPECT_STREQ(r.attributes[31].name, "");
}

TEST_F(AttributesTest, TwelveEntriesFillAPrefixOfTwelveSlots)
{
    SmartSectors s;
    for (int k = 0; k < 12; ++k)
        s.Entry(2 * k + 1, 191 + (k % 10), 100, 0);  // every other position
    const DriveRecord& r = Decode(s);
    for (int i = 0; i < SlotCount; ++i)
        EXPECT_EQ(r.attributes[i].name[0] != '\0', i < 12) << "slot " << i;
}

TEST_F(AttributesTest, BytesAreUnsigned)
{
    SmartSectors s;
    s.Entry(0, 255, 255, 255);
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.attributes[0].id, 255);
    EXPECT_EQ(r.attributes[0].value, 255);
    EXPECT_EQ(r.attributes[0].threshold, 255);
}

TEST_F(AttributesTest, NothingBeyondThe30EntriesIsRead)
{
    SmartSectors s;
    std::memset(s.attributes + 362, 0x05, 150);  // would look like ID 5 entries
    std::memset(s.thresholds + 362, 0x05, 150);
    EXPECT_EQ(UsedSlots(Decode(s)), 0);
}

TEST_F(AttributesTest, FillsOnlyTheGivenDrive)
{
    SmartSectors s;
    s.Entry(0, 194, 30, 0);
    Decode(s, 3);
    EXPECT_STREQ(DriveTable[3].attributes[0].name, "Temperature");
    for (int d = 0; d < 3; ++d)
        EXPECT_EQ(UsedSlots(DriveTable[d]), 0) << d;
}

// --- names ---

TEST_F(AttributesTest, ListedIdsGetTheirTrimmedNames)
{
    struct Named {
        int id;
        const char* name;
    };
    const Named names[] = {
        {1, "Raw Read Error Rate"},       {2, "Throughput Performance"},
        {3, "Spin Up Time"},              {4, "Start/Stop Count"},
        {5, "Reallocated Sector Count"},  {6, "Read Channel Margin"},
        {7, "Seek Error Rate"},           {8, "Seek Time Performance"},
        {9, "Power On Hours Count"},      {10, "Spin Retry Count"},
        {11, "Calibration Retry Count"},  {12, "Power Cycle Count"},
        {13, "Read Soft Error Rate"},     {191, "Gsense Error Rate"},
        {192, "Power-Off Retract Count"}, {193, "Load Cycle Count"},
        {194, "Temperature"},             {195, "Hardware ECC Recovered"},
        {196, "Reallocated Event Count"}, {197, "Current Pending Sector"},
        {198, "Offline Uncorrectable"},   {199, "Ultra ATA CRC Error Count"},
        {200, "Write Error Rate"},        {220, "Disk Shift"},
        {222, "Loaded Hours"},            {223, "Load Retry Count"},
        {224, "Load Friction"},           {225, "Load Cycle Count"},
        {226, "Load in Time"},            {228, "Power-off Retract Count"},
        {240, "Write Head"},
    };
    for (const Named& n : names)
        EXPECT_EQ(NameOf(n.id), n.name) << "ID " << n.id;
}

TEST_F(AttributesTest, SameNamesAndCaseVariantsStayAsListed)
{
    EXPECT_EQ(NameOf(193), NameOf(225));
    EXPECT_EQ(NameOf(192), "Power-Off Retract Count");
    EXPECT_EQ(NameOf(228), "Power-off Retract Count");
}

TEST_F(AttributesTest, IdsOfNeitherTableAreUnknownButStillUsed)
{
    for (int id : {14, 100, 169, 213, 219, 229, 239, 243, 249, 252, 253, 255}) {
        ResetDriveTable();
        SmartSectors s;
        s.Entry(4, id, 253, 97);
        const DriveRecord& r = Decode(s);
        EXPECT_STREQ(r.attributes[0].name, "(Unknown attribute)") << "ID " << id;
        EXPECT_EQ(r.attributes[0].id, id);
        EXPECT_EQ(r.attributes[0].value, 253);
        EXPECT_EQ(r.attributes[0].threshold, 97);
    }
}

// The second table: new IDs only, each once, names that fit the column, and
// every ID of the ranges today's drives use.
TEST(MoreAttributeNamesTest, IdsAreNewAndUniqueAndNamesFit)
{
    std::set<int> seen;
    for (int i = 0; i < MoreAttributeNameCount; ++i) {
        const MoreAttributeName& more = MoreAttributeNames[i];
        EXPECT_TRUE(seen.insert(more.id).second) << "ID " << more.id << " twice";
        EXPECT_EQ(AttributeNameEntry(more.id), UnknownAttributeEntry) << "ID " << more.id << " is listed";
        EXPECT_GT(std::strlen(more.name), 0u);
        EXPECT_LE(std::strlen(more.name), size_t(MoreAttributeNameMax)) << more.name;
    }
    const int ranges[][2] = {{170, 190}, {201, 212}, {221, 221}, {227, 227}, {230, 235},
                             {241, 242}, {250, 251}, {254, 254}};
    for (const auto& range : ranges) {
        for (int id = range[0]; id <= range[1]; ++id)
            EXPECT_EQ(seen.count(id), 1u) << "ID " << id;
    }
}

TEST_F(AttributesTest, FlagsAndWholeRawValue)
{
    SmartSectors s;
    s.Entry(0, 5, 100, 10);
    uint8_t* a = s.attributes + 2;
    a[1] = 0x33;  // flags 0x8033: pre-failure
    a[2] = 0x80;
    std::memset(a + 5, 0xFF, 6);
    a[11] = 0x77;  // reserved byte after the raw value
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.attributes[0].flags, 0x8033);
    EXPECT_EQ(r.attributes[0].raw, (1ull << 48) - 1);
}

TEST(AttributeNameTableTest, NamesArePaddedTo24Or25Characters)
{
    for (int e = 0; e < AttributeNameCount; ++e) {
        size_t width = (e >= 22 && e <= 31) ? 25 : 24;
        EXPECT_EQ(std::strlen(AttributeNameTable[e]), width) << "entry " << e;
    }
    EXPECT_STREQ(AttributeNameTable[0], "No Attribute Here       ");
    EXPECT_STREQ(AttributeNameTable[32], "(Unknown attribute)     ");
}

TEST(AttributeNameTableTest, EntryOfEachId)
{
    EXPECT_EQ(AttributeNameEntry(1), 1);
    EXPECT_EQ(AttributeNameEntry(13), 13);
    EXPECT_EQ(AttributeNameEntry(191), 14);
    EXPECT_EQ(AttributeNameEntry(200), 23);
    EXPECT_EQ(AttributeNameEntry(220), 24);
    EXPECT_EQ(AttributeNameEntry(222), 25);
    EXPECT_EQ(AttributeNameEntry(226), 29);
    EXPECT_EQ(AttributeNameEntry(228), 30);
    EXPECT_EQ(AttributeNameEntry(240), 31);
    for (int id : {0, 14, 190, 201, 219, 221, 227, 229, 239, 241, 255, 256, -1})
        EXPECT_EQ(AttributeNameEntry(id), UnknownAttributeEntry) << "ID " << id;
}

// --- status ---

class DriveStatusTest : public AttributesTest {
protected:
    static DriveStatus StatusOf(int value, int threshold)
    {
        ResetDriveTable();
        DriveTable[0].smartEnabled = 1;
        SmartSectors s;
        s.Entry(0, 1, 200, 50);  // healthy neighbour
        s.Entry(1, 5, value, threshold);
        Decode(s);
        return GetDriveStatus(0);
    }
};

TEST_F(DriveStatusTest, ValueAtOrBelowThresholdIsAlert)
{
    EXPECT_EQ(StatusOf(20, 20), DriveStatus::Alert);
    EXPECT_EQ(StatusOf(21, 20), DriveStatus::Ok);
    EXPECT_EQ(StatusOf(1, 20), DriveStatus::Alert);
    EXPECT_EQ(StatusOf(0, 1), DriveStatus::Alert);
    EXPECT_EQ(StatusOf(1, 1), DriveStatus::Alert);
    EXPECT_EQ(StatusOf(2, 1), DriveStatus::Ok);
}

TEST_F(DriveStatusTest, ByteValuesCompareUnsigned)
{
    EXPECT_EQ(StatusOf(255, 254), DriveStatus::Ok);
    EXPECT_EQ(StatusOf(255, 255), DriveStatus::Alert);
    EXPECT_EQ(StatusOf(128, 127), DriveStatus::Ok);
    EXPECT_EQ(StatusOf(127, 128), DriveStatus::Alert);
}

TEST_F(DriveStatusTest, ThresholdZeroNeverAlerts)
{
    EXPECT_EQ(StatusOf(0, 0), DriveStatus::Ok);
    EXPECT_EQ(StatusOf(1, 0), DriveStatus::Ok);
}

TEST_F(DriveStatusTest, ZeroThresholdSectorWithPositiveValuesIsOk)
{
    SmartSectors s;
    for (int k = 0; k < 30; ++k)
        s.Entry(k, 1 + k, 1 + k, 0);
    std::memset(s.thresholds, 0, sizeof s.thresholds);
    Decode(s);
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::Ok);
}

TEST_F(DriveStatusTest, OneFailingSlotAmongManyIsAlert)
{
    SmartSectors s;
    for (int k = 0; k < 30; ++k)
        s.Entry(k, 1 + k, 100, 0);
    s.Entry(29, 240, 10, 10);  // the last entry
    Decode(s);
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::Alert);
}

TEST_F(DriveStatusTest, SmartDisabledIsNotAvailableWhateverTheSlots)
{
    SmartSectors s;
    s.Entry(0, 4, 1, 20);
    Decode(s);
    DriveTable[0].smartEnabled = 0;
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::NotAvailable);
    ResetDriveTable();
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::NotAvailable);
}

TEST_F(DriveStatusTest, SlotsWithoutNameDoNotCount)
{
    AttributeSlot& unused = DriveTable[0].attributes[31];
    unused.id = 4;
    unused.value = 1;
    unused.threshold = 20;
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::Ok);
    std::strcpy(unused.name, "Start/Stop Count");  // every one of the 32 slots is looked at
    EXPECT_EQ(GetDriveStatus(0), DriveStatus::Alert);
}

TEST_F(DriveStatusTest, PresenceIsNotLookedAt)
{
    SmartSectors s;
    s.Entry(0, 4, 1, 20);
    Decode(s, 2);
    DriveTable[2].present = 0;
    DriveTable[2].smartEnabled = 1;
    EXPECT_EQ(GetDriveStatus(2), DriveStatus::Alert);
}

}  // namespace
