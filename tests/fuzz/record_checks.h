// Invariants of the drive table that must hold after decoding any input.
// A broken invariant aborts, so libFuzzer reports the input that caused it.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "attributes.h"
#include "drive_table.h"

#define FUZZ_REQUIRE(cond)                                                     \
    do {                                                                       \
        if (!(cond)) {                                                         \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__,    \
                         __LINE__, #cond);                                     \
            std::abort();                                                      \
        }                                                                      \
    } while (0)

// The text ends within its 80 characters, holds at most maxLength
// characters and has no blank at either end.
inline void CheckText(const char* text, size_t maxLength)
{
    const void* nul = std::memchr(text, '\0', TextSize);
    FUZZ_REQUIRE(nul != nullptr);
    size_t n = static_cast<const char*>(nul) - text;
    FUZZ_REQUIRE(n <= maxLength);
    FUZZ_REQUIRE(n == 0 || (text[0] != ' ' && text[n - 1] != ' '));
}

// What the identify decoder leaves: bounded trimmed texts, present exactly
// when the model is non-empty, and no row for a record that is not present.
inline void CheckIdentity(const DriveRecord& r)
{
    CheckText(r.model, 40);
    CheckText(r.firmware, 8);
    CheckText(r.serial, r.limitedRead ? 40 : 20);  // a descriptor's serial may be hexadecimal
    FUZZ_REQUIRE(r.present == (r.model[0] != '\0' ? 1 : 0));
    FUZZ_REQUIRE(r.present || r.listPosition == -1);
}

// Used slots form a prefix of at most 30, each with a name, a non-zero ID
// and byte-sized numbers. Returns the number of used slots.
inline int CheckSlots(const DriveRecord& r)
{
    int used = 0;
    for (int i = 0; i < SlotCount; ++i) {
        const AttributeSlot& s = r.attributes[i];
        CheckText(s.name, TextSize - 1);
        if (s.name[0] == '\0')
            continue;
        FUZZ_REQUIRE(i == used);
        ++used;
        FUZZ_REQUIRE(s.id >= 1 && s.id <= 255);
        FUZZ_REQUIRE(s.value >= 0 && s.value <= 255);
        FUZZ_REQUIRE(s.threshold == ThresholdUnknown || (s.threshold >= 0 && s.threshold <= 255));
    }
    FUZZ_REQUIRE(used <= AttributeEntries);
    FUZZ_REQUIRE(r.attributes[30].name[0] == '\0' && r.attributes[31].name[0] == '\0');
    return used;
}

// The status is one of the three values and NotAvailable exactly when SMART
// is off.
inline void CheckStatus(int driveIndex)
{
    DriveStatus st = GetDriveStatus(driveIndex);
    FUZZ_REQUIRE(st == DriveStatus::Ok || st == DriveStatus::Alert || st == DriveStatus::NotAvailable);
    FUZZ_REQUIRE((st == DriveStatus::NotAvailable) == (DriveTable[driveIndex].smartEnabled == 0));
}

// Records other than the decoded one are still in their reset state.
inline void CheckOthersUntouched(int driveIndex)
{
    static const DriveRecord zero = {};
    for (int d = 0; d < DriveCount; ++d) {
        if (d != driveIndex)
            FUZZ_REQUIRE(std::memcmp(&DriveTable[d], &zero, sizeof zero) == 0);
    }
}
