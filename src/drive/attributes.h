// S.M.A.R.T. attribute decoding and the drive status rule.
#pragma once
#include <cstdint>

#include "drive_table.h"

enum { AttributeEntries = 30, AttributeNameCount = 33, UnknownAttributeEntry = 32 };

// Entry 0 "No Attribute Here", 1..31 the named IDs, 32 "(Unknown attribute)".
// Names carry the trailing blanks of the original table; slots get them trimmed.
extern const char* const AttributeNameTable[AttributeNameCount];

// Index into AttributeNameTable for an attribute ID (unlisted IDs: entry 32).
int AttributeNameEntry(int id);

// Names of the IDs that AttributeNameTable leaves out, for today's drives.
struct MoreAttributeName {
    int id;
    const char* name;
};
enum { MoreAttributeNameMax = 32 };  // characters; fits the name column
extern const MoreAttributeName MoreAttributeNames[];
extern const int MoreAttributeNameCount;

// The name a slot gets for an ID: AttributeNameTable's entry for the IDs it
// lists, else MoreAttributeNames, else "(Unknown attribute)". It may carry the
// original table's trailing blanks; the decoder trims them.
const char* AttributeName(int id);

// Fills the attribute slots of DriveTable[driveIndex] from the attribute and
// threshold sectors, pairing each entry with the threshold at the same position.
void DecodeAttributes(const uint8_t* attributeSector, const uint8_t* thresholdSector, int driveIndex);

// True when the 512 bytes of a SMART data sector sum to 0 modulo 256 (the
// drive's checksum in its last byte).
bool SectorChecksumGood(const uint8_t* sector);

// Caution is a level of the drive's verdict (verdict.h), between Ok and
// Alert; GetRecordStatus never gives it.
enum class DriveStatus { Ok, Alert, NotAvailable, Caution };

// A slot in use whose value is at or below its non-zero threshold: it makes
// the drive "Alert".
bool SlotInAlert(const AttributeSlot& slot);

// The status of one record, and of DriveTable[driveIndex].
DriveStatus GetRecordStatus(const DriveRecord& r);

DriveStatus GetDriveStatus(int driveIndex);
