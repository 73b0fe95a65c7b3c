#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "drive_table.h"
#include "identify.h"

namespace {

class DriveTableTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDriveTable(); }

    // Marks the given positions present, the rest absent, then numbers them
    // the way the scan does.
    static void MarkPresent(std::initializer_list<int> drives)
    {
        for (DriveRecord& r : DriveTable)
            r.listPosition = -1;
        for (int d : drives)
            DriveTable[d].present = 1;
        NumberPresentDrives();
    }
};

TEST_F(DriveTableTest, NoDrivePresentFindsNothing)
{
    MarkPresent({});
    for (int row = -1; row <= 4; ++row)
        EXPECT_EQ(FindDriveAtRow(row), NoDrive) << "row " << row;
    for (const DriveRecord& r : DriveTable)
        EXPECT_EQ(r.listPosition, -1);
}

TEST_F(DriveTableTest, GapsAreNumberedWithoutGaps)
{
    MarkPresent({1, 3});
    EXPECT_EQ(DriveTable[0].listPosition, -1);
    EXPECT_EQ(DriveTable[1].listPosition, 0);
    EXPECT_EQ(DriveTable[2].listPosition, -1);
    EXPECT_EQ(DriveTable[3].listPosition, 1);
    EXPECT_EQ(FindDriveAtRow(0), 1);
    EXPECT_EQ(FindDriveAtRow(1), 3);
    EXPECT_EQ(FindDriveAtRow(2), NoDrive);
    EXPECT_EQ(FindDriveAtRow(-1), NoDrive);
}

TEST_F(DriveTableTest, AllFourPresent)
{
    MarkPresent({0, 1, 2, 3});
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(FindDriveAtRow(row), row);
    EXPECT_EQ(FindDriveAtRow(-1), NoDrive);
    EXPECT_EQ(FindDriveAtRow(4), NoDrive);
}

TEST_F(DriveTableTest, AbsentRecordWithStaleNumberIsNotFound)
{
    // An absent record whose listPosition happens to be 0 must not be found:
    // only present records have rows.
    DriveTable[0].listPosition = 0;
    DriveTable[2].present = 1;
    DriveTable[2].listPosition = 0;
    EXPECT_EQ(FindDriveAtRow(0), 2);
}

TEST_F(DriveTableTest, RowsFarOutsideFindNothing)
{
    MarkPresent({0, 2});
    EXPECT_EQ(FindDriveAtRow(2), NoDrive);
    EXPECT_EQ(FindDriveAtRow(INT32_MAX), NoDrive);
    EXPECT_EQ(FindDriveAtRow(INT32_MIN), NoDrive);
    EXPECT_EQ(FindDriveAtRow(-2), NoDrive);
}

TEST_F(DriveTableTest, NumberingCountsPresentDrives)
{
    for (DriveRecord& r : DriveTable)
        r.listPosition = -1;
    EXPECT_EQ(NumberPresentDrives(), 0);
    DriveTable[0].present = 1;
    DriveTable[3].present = 1;
    EXPECT_EQ(NumberPresentDrives(), 2);
    DriveTable[1].present = 1;
    DriveTable[2].present = 1;
    EXPECT_EQ(NumberPresentDrives(), 4);
    for (int d = 0; d < DriveCount; ++d)
        EXPECT_EQ(DriveTable[d].listPosition, d);
}

TEST_F(DriveTableTest, DriveWithBlankModelIsNumberedAsAbsent)
{
    // Positions 0 to 2 answer IDENTIFY; position 1 reports an all-blank model.
    uint8_t sector[512];
    for (int d = 0; d < 3; ++d) {
        DriveTable[d].listPosition = -1;
        std::memset(sector, 0, sizeof sector);
        std::memset(sector + 54, d == 1 ? ' ' : 'M', 40);
        sector[2] = 9;  // cylinders
        DecodeIdentify(sector, d);
    }
    DriveTable[3].listPosition = -1;
    EXPECT_EQ(NumberPresentDrives(), 2);
    EXPECT_EQ(DriveTable[0].listPosition, 0);
    EXPECT_EQ(DriveTable[1].listPosition, -1);
    EXPECT_EQ(DriveTable[1].cylinders, 9);  // its data stays, only the row is gone
    EXPECT_EQ(DriveTable[2].listPosition, 1);
    EXPECT_EQ(FindDriveAtRow(0), 0);
    EXPECT_EQ(FindDriveAtRow(1), 2);
    EXPECT_EQ(FindDriveAtRow(2), NoDrive);
}

TEST_F(DriveTableTest, ResetZeroesEveryByte)
{
    std::memset(DriveTable, 0xA5, sizeof DriveTable);
    ResetDriveTable();
    const auto* bytes = reinterpret_cast<const unsigned char*>(DriveTable);
    for (size_t i = 0; i < sizeof DriveTable; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

}  // namespace
