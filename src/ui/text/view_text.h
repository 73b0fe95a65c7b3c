// The texts of the drive list and the two detail pages, worked out from the
// drive table without any window: the list-view code only places them.
#pragma once
#include <cstddef>

#include "attributes.h"
#include "drive_table.h"
#include "verdict.h"

enum { CellSize = 80, InfoRowCount = 11, TrayTipSize = 64 };

// Images of the small image list, in load order.
enum ListImage { ImageDrive = 0, ImageInfo = 1, ImageBlank = 2, ImageClock = 3, ImageWarning = 4 };

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

// The "Health" row in front of the others: the level and its first reason,
// with the warning sign for Caution and Alert.
void MakeHealthRow(const DriveRecord& drive, InfoRowText* row);

// "Caution: 8 pending sectors (197)", or the level alone without a reason.
void FormatHealth(const DriveVerdict& v, char* text, size_t size);

// The present drive whose level ranks worst (the first of equals), or
// NoDrive when every present drive is Ok or N/A.
int FindWorstDrive(const DriveRecord table[DriveCount], DriveVerdict* worst);

// The tray icon's tip: "Ostrivel", or "Ostrivel - Caution: MODEL, first
// reason" cut at the last blank that keeps it within 63 characters. Gives the
// worst level, which picks the icon.
DriveStatus FormatTrayTip(const DriveRecord table[DriveCount], char (&tip)[TrayTipSize]);

// How much of a text of `length` characters to keep within `limit`: all of
// it when it fits, else up to a blank (and the commas before it), or `limit`
// for one long word.
int CleanCutLength(const char* text, int length, int limit);

// One row of the attribute page.
struct AttributeRowText {
    char id[CellSize];
    const char* name;
    char value[CellSize];
    char threshold[CellSize];
    char raw[CellSize];
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
