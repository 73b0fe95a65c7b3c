// NVMe decoding: Identify Controller, Identify Namespace and the SMART /
// Health Information log, as NVMe drives return them (little-endian), into a
// drive record; the status rule of an NVMe drive; the texts of its 128-bit
// counters.
#pragma once
#include <cstddef>
#include <cstdint>

#include "attributes.h"
#include "drive_table.h"

enum { NvmeIdentifySize = 4096, NvmeHealthLogSize = 512, CounterTextSize = 40 };

// Model, serial and firmware (each only when it is not blank, so that a text
// taken from elsewhere stays), VER and the two temperature limits.
void DecodeNvmeController(const uint8_t* data, DriveRecord& r);

// NSZE and the block size of the format in use (0 when FLBAS picks a format
// beyond NLBAF or one whose size exponent is below 9), and the capacity.
void DecodeNvmeNamespace(const uint8_t* data, NvmeRecord& n);

void DecodeNvmeHealth(const uint8_t* log, NvmeHealth& h);

// Alert when a critical-warning bit other than the temperature bit is set or
// the spare is below its threshold; Ok otherwise; NotAvailable without a log.
DriveStatus GetNvmeStatus(const NvmeRecord& n);

// The name of critical-warning bit 0 to 7, as the window and the mail give
// it: "spare below threshold" ... "volatile memory backup failed", "bit 5".
const char* NvmeWarningName(int bit);

// A health-log counter as a 64-bit count: 2^64 - 1 for any larger one.
uint64_t CountUpTo64Bits(const Counter128& counter);

// The counter in decimal (up to 39 digits), cut to size.
void FormatCounter128(const Counter128& c, char* text, size_t size);

// A count of data units (512,000 bytes each) and the amount they make:
// "15834308 (8.1 TB)"; a count of 0 has no amount.
void FormatDataUnits(const Counter128& c, char* text, size_t size);
