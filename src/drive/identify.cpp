#include "identify.h"

#include <cstring>

#include "drive_table.h"

namespace {

enum {
    CylindersOffset = 2,
    HeadsOffset = 6,
    SectorsPerTrackOffset = 12,
    SerialOffset = 20, SerialLength = 20,
    FirmwareOffset = 46, FirmwareLength = 8,
    ModelOffset = 54, ModelLength = 40,
    TotalSectorsOffset = 120,
    CommandSetsOffset = 166,   // word 83
    Lba48SectorsOffset = 200,  // words 100-102
};

enum : uint16_t {
    CommandSetsValidMask = 0xC000,
    CommandSetsValid = 0x4000,  // bits 15:14 = 01
    Lba48Supported = 0x0400,    // bit 10
};

uint16_t ReadWord(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadDword(const uint8_t* p)
{
    return static_cast<uint32_t>(ReadWord(p)) | static_cast<uint32_t>(ReadWord(p + 2)) << 16;
}

// Word 83 counts only when its bits 15:14 read 01; its bit 10 then announces
// 48-bit addressing, whose sector count stands in words 100-102.
uint64_t ReadLba48Sectors(const uint8_t* sector)
{
    const uint16_t commandSets = ReadWord(sector + CommandSetsOffset);
    if ((commandSets & CommandSetsValidMask) != CommandSetsValid || !(commandSets & Lba48Supported))
        return 0;
    return ReadDword(sector + Lba48SectorsOffset) |
           static_cast<uint64_t>(ReadWord(sector + Lba48SectorsOffset + 4)) << 32;
}

}  // namespace

uint64_t IdentifyCapacity(const uint8_t* sector)
{
    const uint64_t lba48 = ReadLba48Sectors(sector);
    return lba48 ? lba48 : ReadDword(sector + TotalSectorsOffset);
}

void SwapBytePairs(uint8_t* bytes, size_t length)
{
    for (size_t i = 0; i + 1 < length; i += 2) {
        uint8_t t = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = t;
    }
}

void TrimBlanks(char* text)
{
    size_t n = std::strlen(text);
    if (n == 0)
        return;
    size_t lead = 0;
    while (lead < n && text[lead] == ' ')
        ++lead;
    if (lead > 0) {
        for (size_t j = lead; j < n; ++j) {
            text[j - lead] = text[j];
            text[j] = ' ';
        }
    }
    for (size_t j = n; j-- > 0 && text[j] == ' ';)
        text[j] = '\0';
}

void ExtractAtaText(uint8_t* sector, size_t offset, size_t length, char* field)
{
    char text[ModelLength + 1];
    SwapBytePairs(sector + offset, length);
    std::memset(text, 0, sizeof text);
    const uint8_t* range = sector + offset;
    for (size_t i = 0; i < length && i < ModelLength && range[i] != 0; ++i)
        text[i] = static_cast<char>(range[i]);
    std::memcpy(field, text, std::strlen(text) + 1);
    TrimBlanks(field);
}

void DecodeIdentify(uint8_t* sector, int driveIndex)
{
    DriveRecord& r = DriveTable[driveIndex];
    r.present = 1;
    r.cylinders = ReadWord(sector + CylindersOffset);
    r.heads = ReadWord(sector + HeadsOffset);
    r.sectorsPerTrack = ReadWord(sector + SectorsPerTrackOffset);
    r.totalSectors = ReadDword(sector + TotalSectorsOffset);
    r.totalSectors48 = ReadLba48Sectors(sector);
    ExtractAtaText(sector, ModelOffset, ModelLength, r.model);
    ExtractAtaText(sector, FirmwareOffset, FirmwareLength, r.firmware);
    ExtractAtaText(sector, SerialOffset, SerialLength, r.serial);
    if (r.model[0] == '\0') {
        r.present = 0;
        r.listPosition = -1;
    }
}
