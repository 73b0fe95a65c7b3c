#include "drive_table.h"

#include <cstring>

DriveRecord DriveTable[DriveCount];

int FindDriveAtRow(int32_t row)
{
    for (int d = 0; d < DriveCount; ++d) {
        if (DriveTable[d].present && DriveTable[d].listPosition == row)
            return d;
    }
    return NoDrive;
}

const AttributeSlot* FindAttributeSlot(const DriveRecord& r, int32_t id)
{
    for (const AttributeSlot& slot : r.attributes) {
        if (slot.name[0] != '\0' && slot.id == id)
            return &slot;
    }
    return nullptr;
}

void ResetDriveTable()
{
    std::memset(DriveTable, 0, sizeof DriveTable);
}

int NumberPresentDrives()
{
    int n = 0;
    for (DriveRecord& r : DriveTable) {
        if (r.present)
            r.listPosition = n++;
    }
    return n;
}

bool AnyDriveLimited()
{
    for (const DriveRecord& r : DriveTable) {
        if (r.present && r.limitedRead)
            return true;
    }
    return false;
}
