// S.M.A.R.T. attribute decoding and the drive status rule.
#pragma once
#include <cstdint>

enum { AttributeEntries = 30, AttributeNameCount = 33, UnknownAttributeEntry = 32 };

// Entry 0 "No Attribute Here", 1..31 the named IDs, 32 "(Unknown attribute)".
// Names carry the trailing blanks of the original table; slots get them trimmed.
extern const char* const AttributeNameTable[AttributeNameCount];

// Index into AttributeNameTable for an attribute ID (unlisted IDs: entry 32).
int AttributeNameEntry(int id);

// Fills the attribute slots of DriveTable[driveIndex] from the attribute and
// threshold sectors, pairing each entry with the threshold at the same position.
void DecodeAttributes(const uint8_t* attributeSector, const uint8_t* thresholdSector, int driveIndex);

enum class DriveStatus { Ok, Alert, NotAvailable };

DriveStatus GetDriveStatus(int driveIndex);
