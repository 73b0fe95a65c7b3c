// IDENTIFY DEVICE decoding: geometry, capacity and the three identity texts.
#pragma once
#include <cstddef>
#include <cstdint>

enum { SectorSize = 512 };

// Fills DriveTable[driveIndex] from a 512-byte IDENTIFY DEVICE sector. The
// three text ranges of the sector are byte-swapped in place and left so.
void DecodeIdentify(uint8_t* sector, int driveIndex);

// Swaps the bytes of each 16-bit word of an ATA text range (length even),
// takes the text up to its first NUL and stores it trimmed in field.
void ExtractAtaText(uint8_t* sector, size_t offset, size_t length, char* field);

// The sector count of an IDENTIFY DEVICE sector: words 100-102 where word
// 83 announces them, else words 60-61.
uint64_t IdentifyCapacity(const uint8_t* sector);

void SwapBytePairs(uint8_t* bytes, size_t length);

// Removes leading and trailing blanks (0x20 only) in place.
void TrimBlanks(char* text);
