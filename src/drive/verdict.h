// A drive's verdict: its level ("Ok", "Caution", "Alert", "N/A") and the
// reasons for it, worst first, from one table of rules. The drive list, the
// information page, the tray icon, the report and the mail all show these.
#pragma once
#include <cstddef>
#include <cstdint>

#include "attributes.h"
#include "drive_table.h"

enum { ReasonSize = 64, ReasonMax = 40 };

struct DriveVerdict {
    DriveStatus level;
    int reasonCount;
    char reasons[ReasonMax][ReasonSize];  // "8 pending sectors (197)"; the first empty without one
};

// Alert when the status rule says so or an Alert rule holds; N/A when the
// status rule says so (no reasons then); else Caution when a Caution rule
// holds; else Ok.
void JudgeDrive(const DriveRecord& r, DriveVerdict* out);

// Orders the levels: Ok and N/A 0, Caution 1, Alert 2.
int LevelRank(DriveStatus level);

// The raw value as the attribute page shows it: the low 16 bits of the
// sector counts, "N C" for a temperature, the low 32 bits of the event
// counts, 12 hexadecimal digits for the rest.
void FormatRaw(const AttributeSlot& slot, char* text, size_t size);

// The number behind a raw value where it is a count or a temperature (the
// low 16, 8 or 32 bits), else the whole 48 bits.
uint64_t RawNumber(const AttributeSlot& slot);

