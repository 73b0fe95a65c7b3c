// The texts of the drive list and the two detail pages, worked out from the
// drive table without any window: the list-view code only places them.
#pragma once
#include <cstddef>

#include "attributes.h"
#include "drive_table.h"

enum { CellSize = 80, InfoRowCount = 11 };

// Images of the small image list, in load order.
enum ListImage { ImageDrive = 0, ImageInfo = 1, ImageBlank = 2, ImageClock = 3 };

const char* ControllerText(int driveIndex);
const char* StatusText(DriveStatus status);
const char* YesNoText(int flag);

// The drive list's cells for one present drive.
struct DriveRowText {
    const char* model;
    const char* controller;
    const char* smartEnabled;
    const char* status;
};
DriveRowText MakeDriveRow(int driveIndex);

// One row of the information page. value is empty for the heading row.
struct InfoRowText {
    const char* label;
    ListImage image;
    char value[CellSize];
};
void MakeInfoRows(const DriveRecord& drive, InfoRowText rows[InfoRowCount]);

// One row of the attribute page.
struct AttributeRowText {
    char id[CellSize];
    const char* name;
    char value[CellSize];
    char threshold[CellSize];
};
void MakeAttributeRow(const AttributeSlot& slot, AttributeRowText* row);

// Whole megabytes of a sector count (sectors of 512 bytes), in 64 bits on
// every build: a 48-bit count has 37 bits of megabytes.
uint64_t SizeInMegabytes(uint64_t sectors);

// "dd/mm/yyyy hh.mm.ss"
void FormatLastAccess(const LocalTime& t, char* text, size_t size);

// The drive whose details are shown at start and after each refresh: the
// first listed drive, or position 0 when no drive is listed.
int DefaultDetailDrive();
