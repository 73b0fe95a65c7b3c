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
};

uint16_t ReadWord(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadDword(const uint8_t* p)
{
    return static_cast<uint32_t>(ReadWord(p)) | static_cast<uint32_t>(ReadWord(p + 2)) << 16;
}

}  // namespace

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
    ExtractAtaText(sector, ModelOffset, ModelLength, r.model);
    ExtractAtaText(sector, FirmwareOffset, FirmwareLength, r.firmware);
    ExtractAtaText(sector, SerialOffset, SerialLength, r.serial);
    if (r.model[0] == '\0') {
        r.present = 0;
        r.listPosition = -1;
    }
}
