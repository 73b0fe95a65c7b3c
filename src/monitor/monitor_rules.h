// What the attribute monitor remembers of each drive it has seen, and the
// rules that compare the drive table with it. Portable: no operating system.
#pragma once
#include <cstdint>

#include "drive_table.h"

// The outcome's full text holds a whole server reply beside the longest
// address and server.
enum { MonitorDriveMax = 16, MonitorOutcomeSize = 1024, DefaultChangePercent = 5 };

// One attribute's reference: its value when the drive was first seen, moved
// down to the current value only when a warning about it has been delivered,
// and up at once whenever the value rises above it (so that a recovered value
// that falls again is reported again).
struct AttributeReference {
    uint8_t id;         // 0: not in use
    uint8_t value;      // normalised value
    int16_t threshold;  // as last read; -1 unknown
    uint64_t raw;       // raw value; the counters compare its low 16 bits
};

// Percentage Used is reported when it reaches these steps, each once.
enum { NvmeWearWarning = 90, NvmeWearEnd = 100 };

// An NVMe drive's references, from its health log: the ATA rules and
// references never see it. Set up when the log is first read.
struct NvmeReference {
    uint8_t inUse;
    uint8_t warningBits;     // critical-warning bits already reported, while they stay set
    uint8_t spare;           // Available Spare, percent; follows it upwards
    uint8_t spareThreshold;  // as last read
    uint8_t wearStep;        // 0, NvmeWearWarning or NvmeWearEnd: the last step reported
    uint64_t mediaErrors;    // Media and Data Integrity Errors (kept up to 2^64 - 1)
};

// A condition that a notice has shown to the person, and how far it had gone
// then (value, count, spare, wear step or error count): a later check finds
// it new again only when it went further. Kept while checks still find it.
struct ShownMark {
    uint8_t kind;      // ConditionKind
    uint8_t item;      // the attribute's ID, or the warning's bit number
    uint64_t measure;
};

// A drive holds at most one value condition per attribute and one count
// condition per watched counter at a time.
enum { ShownMax = SlotCount + 4 };

// A drive is known by model and serial (as SameDriveIdentity compares them,
// IDENTIFY's texts kept once read), not by its position; the state holds
// each identity once.
struct KnownDrive {
    char model[TextSize];
    char serial[TextSize];
    char firmware[TextSize];        // as last seen, for a vanished drive's report
    int32_t lastPosition;           // DriveIndex where it last answered
    uint32_t lastSeen;              // MonitorState::checkCount when it was last present
    uint8_t firstSightPending;      // failing when first seen; not yet delivered
    uint8_t vanishedReported;       // gone, and that was delivered; cleared when it answers
    AttributeReference references[SlotCount];  // an ATA drive's
    NvmeReference nvme;                         // an NVMe drive's
    int32_t shownCount;
    ShownMark shown[ShownMax];                  // shown, and still found
};

struct MonitorState {
    uint32_t checkCount;  // advances at every check; orders lastSeen
    int32_t driveCount;
    KnownDrive drives[MonitorDriveMax];
    char lastOutcome[MonitorOutcomeSize];  // full text of the latest outcome
};

// The numbers stand in the state file's shown lines: new kinds go last.
enum class ConditionKind {
    ValueFell,          // pre-failure value fell by more than changePercent of its reference
    ReachedThreshold,   // value now at or below a non-zero threshold; reference above it
    CountRose,          // low 16 bits of the raw value of 5, 187, 197 or 198 rose
    AlertAtFirstSight,  // first seen failing: this attribute at or below its threshold
    CountAtFirstSight,  // first seen failing: this count of 197 or 198 above 0
    Vanished,           // seen before, no longer answers
    SmartOff,           // seen before, answers without SMART enabled
    // An NVMe drive's health log; `current` is the warning's bit number for
    // the two warning kinds, Percentage Used for the wear kinds.
    NvmeWarningSet,         // a critical-warning bit newly set
    NvmeSpareFell,          // Available Spare fell by more than changePercent of its reference
    NvmeSpareBelowThreshold,  // Available Spare now below its threshold; reference at or above it
    NvmeWearReached,        // Percentage Used reached the step in `threshold` (90, then 100)
    NvmeErrorsRose,         // Media and Data Integrity Errors rose (counts in referenceRaw and raw)
    NvmeWarningAtFirstSight,
    NvmeWearAtFirstSight,
    NvmeErrorsAtFirstSight,
    HealthLogUnread,        // seen before, answers without its health log
};
enum { ConditionKindCount = static_cast<int>(ConditionKind::HealthLogUnread) + 1 };

struct Condition {
    ConditionKind kind;
    int32_t known;        // index into MonitorState::drives
    int32_t position;     // DriveIndex now, or where it last answered
    int32_t attributeId;  // 0 for Vanished and SmartOff
    int32_t reference;    // reference value; the reference count for CountRose
    int32_t current;      // current value; the current count for the count kinds
    int32_t threshold;
    uint64_t raw;         // current raw value; the current count of NVMe media errors
    uint64_t referenceRaw;  // the reference count of NVMe media errors
};

// Per present drive at most two conditions per slot (an NVMe drive has
// fewer); the others can only have vanished.
enum { ConditionMax = DriveCount * 2 * SlotCount + MonitorDriveMax };

struct ConditionList {
    int32_t count;
    Condition items[ConditionMax];
    // Bit d: the drive at position d was not compared, its attribute or
    // threshold sector having failed its checksum twice.
    uint32_t uncheckedPositions;
};

// changePercent as the monitor uses it: 0 means 5.
uint32_t EffectiveChangePercent(uint32_t changePercent);

// One check of the four table records (present with SMART enabled: answers)
// against the state. Drives seen answering for the first time get references
// from the values read now; the least recently seen drive is forgotten when
// 16 are known. A drive that answers at two positions is one drive, checked
// at the first. A drive whose sectors failed their checksum is seen, but
// gives no condition and moves no reference. Fills *found with every condition that holds now and is not
// yet delivered, grouped by drive in table order, vanished drives last. The
// state changes at every check (checkCount, where each drive was seen).
void CheckDrives(MonitorState* state, const DriveRecord table[DriveCount], uint32_t changePercent,
                 ConditionList* found);

// After every read of the drives: the thresholds of each drive read in full
// are kept in its references (a drive not known yet is taken in as a check
// would take it), and a drive read without rights, its thresholds unknown,
// gets those kept for it and the texts it is known by. A drive is
// recognised across both reads by SameDriveIdentity. True when the state
// changed.
bool KeepThresholds(MonitorState* state, DriveRecord table[DriveCount]);

// The conditions were delivered: the references of their attributes move to
// the values they reported (values for the value kinds, raw values for the
// count kinds; an NVMe drive's warning bits, spare, wear step and error
// count likewise), and their drives' first-sight and vanished reports are
// done.
void AcceptDelivered(MonitorState* state, const ConditionList& delivered);

// The counters the monitor watches and the count it reads from a raw value.
bool IsWatchedCounter(int32_t id);
int32_t CountOf(uint64_t raw);

