#include <gtest/gtest.h>

#include "drive_table.h"

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

}  // namespace
