#include "nvme.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "identify.h"

namespace {

// The drive's little-endian fields are copied as they stand: every system
// the program runs on is little-endian too.
static_assert(std::endian::native == std::endian::little);

template <typename T>
void Take(T& field, const uint8_t* data)
{
    std::memcpy(&field, data, sizeof field);
}

// A blank-padded NVMe text; a blank one leaves the field as it is.
[[gnu::noinline]] void TakeText(const uint8_t* data, size_t length, char* field)
{
    char text[TextSize] = {};
    std::memcpy(text, data, length);
    TrimBlanks(text);
    if (text[0] != '\0')
        std::memcpy(field, text, sizeof text);
}

enum {
    SerialOffset = 4, ModelOffset = 24, FirmwareOffset = 64, VersionOffset = 80,
    WarningTemperatureOffset = 266, CriticalTemperatureOffset = 268,
    FormatCountOffset = 25, FormatIndexOffset = 26, FormatTableOffset = 128,
    CounterOffset = 32,
};

}  // namespace

void DecodeNvmeController(const uint8_t* data, DriveRecord& r)
{
    TakeText(data + ModelOffset, 40, r.model);
    TakeText(data + SerialOffset, 20, r.serial);
    TakeText(data + FirmwareOffset, 8, r.firmware);
    Take(r.nvme.version, data + VersionOffset);
    Take(r.nvme.warningTemperature, data + WarningTemperatureOffset);
    Take(r.nvme.criticalTemperature, data + CriticalTemperatureOffset);
    r.nvme.identifyRead = 1;
}

void DecodeNvmeNamespace(const uint8_t* data, NvmeRecord& n)
{
    Take(n.namespaceBlocks, data);
    const unsigned format = data[FormatIndexOffset] & 0x0F;
    const unsigned exponent = data[FormatTableOffset + 4 * format + 2];
    // NLBAF counts from 0; a block smaller than 512 bytes is not a size any
    // drive uses, and one of 2^32 bytes or more cannot be.
    const bool known = format <= data[FormatCountOffset] && exponent >= 9 && exponent < 32;
    n.blockSize = known ? 1u << exponent : 0;
    n.capacityBytes = n.namespaceBlocks * n.blockSize;
    n.namespaceRead = 1;
}

void DecodeNvmeHealth(const uint8_t* log, NvmeHealth& h)
{
    h.criticalWarning = log[0];
    Take(h.compositeTemperature, log + 1);
    h.availableSpare = log[3];
    h.availableSpareThreshold = log[4];
    h.percentageUsed = log[5];
    Take(h.counters, log + CounterOffset);  // ten counters of 16 bytes, back to back
    Take(h.warningTemperatureTime, log + 192);
    Take(h.criticalTemperatureTime, log + 196);
    Take(h.temperatureSensors, log + 200);
}

DriveStatus GetNvmeStatus(const NvmeRecord& n)
{
    if (!n.healthRead)
        return DriveStatus::NotAvailable;
    // Bit 1 (a temperature beyond a limit) passes with the heat; the others
    // say the drive itself is failing.
    const NvmeHealth& h = n.health;
    if ((h.criticalWarning & ~0x02) != 0 || h.availableSpare < h.availableSpareThreshold)
        return DriveStatus::Alert;
    return DriveStatus::Ok;
}

const char* NvmeWarningName(int bit)
{
    static const char* const Names[8] = {
        "spare below threshold", "temperature", "reliability degraded", "read-only",
        "volatile memory backup failed", "bit 5", "bit 6", "bit 7",
    };
    return Names[bit & 7];
}

uint64_t CountUpTo64Bits(const Counter128& counter)
{
    if (counter.word[2] || counter.word[3])
        return UINT64_MAX;
    return static_cast<uint64_t>(counter.word[1]) << 32 | counter.word[0];
}

void FormatCounter128(const Counter128& c, char* text, size_t size)
{
    uint32_t w[4] = {c.word[0], c.word[1], c.word[2], c.word[3]};
    char digits[CounterTextSize];
    int n = 0;
    do {
        uint64_t rest = 0;
        for (int i = 3; i >= 0; --i) {
            const uint64_t part = rest << 32 | w[i];
            w[i] = static_cast<uint32_t>(part / 10);
            rest = part % 10;
        }
        digits[n++] = static_cast<char>('0' + rest);
    } while (w[0] | w[1] | w[2] | w[3]);
    size_t at = 0;
    while (n > 0 && at + 1 < size)
        text[at++] = digits[--n];
    if (size)
        text[at] = '\0';
}

void FormatDataUnits(const Counter128& c, char* text, size_t size)
{
    static const char* const Units[] = {"KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB", "RB", "QB"};
    FormatCounter128(c, text, size);
    double amount = 0;
    for (int i = 3; i >= 0; --i)
        amount = amount * 4294967296.0 + c.word[i];
    if (amount == 0)
        return;
    amount *= 512;  // kilobytes of 1,000 bytes
    unsigned unit = 0;
    while (amount >= 999.95 && unit + 1 < sizeof Units / sizeof *Units) {
        amount /= 1000;
        ++unit;
    }
    // In tenths, without the C library's floating-point formatting.
    const unsigned long long tenths = static_cast<unsigned long long>(amount * 10 + 0.5);
    const size_t length = std::strlen(text);
    std::snprintf(text + length, size - length, " (%llu.%llu %s)", tenths / 10, tenths % 10, Units[unit]);
}
