#include "monitor_rules.h"

#include <cstring>

#include "attributes.h"
#include "nvme.h"
#include "text_buffer.h"

namespace {

// Reallocated sectors, reported uncorrectable errors, pending and offline
// uncorrectable sectors: a rise of any of them is a warning.
const int32_t WatchedCounters[] = {5, 187, 197, 198};
// Sectors that already wait or failed make a new drive worth a report.
const int32_t FirstSightCounters[] = {197, 198};
// Temperatures go up and down with the room; not a sign of wear.
const int32_t TemperatureIds[] = {190, 194};

template <size_t N>
bool Listed(const int32_t (&ids)[N], int32_t id)
{
    for (int32_t listed : ids) {
        if (listed == id)
            return true;
    }
    return false;
}

bool InUse(const AttributeSlot& slot)
{
    return slot.name[0] != '\0' && slot.id > 0 && slot.id <= 255;
}

bool SameDrive(const KnownDrive& known, const DriveRecord& r)
{
    return std::strcmp(known.model, r.model) == 0 && std::strcmp(known.serial, r.serial) == 0;
}

// The known drive with the record's model and serial, or -1.
int FindKnown(const MonitorState& state, const DriveRecord& r)
{
    for (int k = 0; k < state.driveCount; ++k) {
        if (SameDrive(state.drives[k], r))
            return k;
    }
    return -1;
}

// A free place, or the least recently seen drive not seen in this check.
int PlaceForNewDrive(MonitorState* state, const bool matched[])
{
    if (state->driveCount < MonitorDriveMax)
        return state->driveCount++;
    int oldest = -1;
    for (int k = 0; k < state->driveCount; ++k) {
        if (!matched[k] && (oldest < 0 || state->drives[k].lastSeen < state->drives[oldest].lastSeen))
            oldest = k;
    }
    return oldest;
}

AttributeReference* FindReference(KnownDrive& known, int32_t id)
{
    for (AttributeReference& ref : known.references) {
        if (ref.id == id)
            return &ref;
    }
    return nullptr;
}

// The attribute's reference; a new one from the current values for an
// attribute first seen now. Null when all places are taken.
AttributeReference* ReferenceFor(KnownDrive& known, const AttributeSlot& slot, bool* isNew)
{
    AttributeReference* ref = FindReference(known, slot.id);
    *isNew = ref == nullptr;
    if (!ref && (ref = FindReference(known, 0)) != nullptr)
        *ref = {static_cast<uint8_t>(slot.id), static_cast<uint8_t>(slot.value), 0, slot.raw};
    if (ref)
        ref->threshold = static_cast<int16_t>(slot.threshold);
    return ref;
}

uint8_t WearStepOf(uint8_t percentageUsed)
{
    return percentageUsed >= NvmeWearEnd ? NvmeWearEnd : percentageUsed >= NvmeWearWarning ? NvmeWearWarning : 0;
}

uint64_t MediaErrorsOf(const NvmeHealth& h)
{
    return CountUpTo64Bits(h.counters[NvmeMediaErrors]);
}

bool FailingAtFirstSight(const DriveRecord& r)
{
    if (IsNvmeDrive(r)) {
        const NvmeHealth& h = r.nvme.health;
        return h.criticalWarning != 0 || MediaErrorsOf(h) > 0 || h.percentageUsed >= NvmeWearWarning;
    }
    for (const AttributeSlot& slot : r.attributes) {
        if (InUse(slot) && (SlotInAlert(slot) || (Listed(FirstSightCounters, slot.id) && CountOf(slot.raw) > 0)))
            return true;
    }
    return false;
}

int AddKnownDrive(MonitorState* state, const DriveRecord& r, const bool matched[])
{
    const int k = PlaceForNewDrive(state, matched);
    KnownDrive& known = state->drives[k];
    std::memset(&known, 0, sizeof known);
    CopyBounded(known.model, r.model);
    CopyBounded(known.serial, r.serial);
    known.firstSightPending = FailingAtFirstSight(r) ? 1 : 0;
    return k;
}

struct CheckContext {
    ConditionList* found;
    int known;
    int position;
    uint32_t changePercent;
};

Condition* Add(const CheckContext& c, ConditionKind kind, const AttributeSlot* slot, int32_t reference,
               int32_t current)
{
    static Condition spare;  // the list is full: the condition is dropped
    if (c.found->count == ConditionMax)
        return &spare;
    Condition& out = c.found->items[c.found->count++];
    out = {kind, c.known, c.position, 0, reference, current, 0, 0, 0};
    if (slot) {
        out.attributeId = slot->id;
        out.threshold = slot->threshold;
        out.raw = slot->raw;
    }
    return &out;
}

bool FallsTooFar(int32_t reference, int32_t current, uint32_t changePercent)
{
    return current < reference &&
           static_cast<uint64_t>(reference - current) * 100 > static_cast<uint64_t>(changePercent) * reference;
}

bool FellTooFar(const AttributeSlot& slot, const AttributeReference& ref, uint32_t changePercent)
{
    return (slot.flags & PreFailureFlag) && !Listed(TemperatureIds, slot.id) &&
           FallsTooFar(ref.value, slot.value, changePercent);
}

// Adds the value condition of one slot, if any; true when it did.
bool CheckValue(const CheckContext& c, const AttributeSlot& slot, const AttributeReference& ref)
{
    if (slot.threshold != 0 && slot.value <= slot.threshold && ref.value > slot.threshold)
        Add(c, ConditionKind::ReachedThreshold, &slot, ref.value, slot.value);
    else if (FellTooFar(slot, ref, c.changePercent))
        Add(c, ConditionKind::ValueFell, &slot, ref.value, slot.value);
    else
        return false;
    return true;
}

bool CheckCount(const CheckContext& c, const AttributeSlot& slot, const AttributeReference& ref)
{
    if (!IsWatchedCounter(slot.id) || CountOf(slot.raw) <= CountOf(ref.raw))
        return false;
    Add(c, ConditionKind::CountRose, &slot, CountOf(ref.raw), CountOf(slot.raw));
    return true;
}

// What made a new drive worth a report, for each slot no other condition
// already covers.
void CheckFirstSight(const CheckContext& c, const AttributeSlot& slot, bool valueReported, bool countReported)
{
    if (!valueReported && SlotInAlert(slot))
        Add(c, ConditionKind::AlertAtFirstSight, &slot, slot.value, slot.value);
    if (!countReported && Listed(FirstSightCounters, slot.id) && CountOf(slot.raw) > 0)
        Add(c, ConditionKind::CountAtFirstSight, &slot, CountOf(slot.raw), CountOf(slot.raw));
}

void CheckAttributes(const CheckContext& c, KnownDrive& known, const DriveRecord& r)
{
    for (const AttributeSlot& slot : r.attributes) {
        bool isNew = false;
        AttributeReference* ref = InUse(slot) ? ReferenceFor(known, slot, &isNew) : nullptr;
        if (!ref)
            continue;
        const bool valueReported = !isNew && CheckValue(c, slot, *ref);
        const bool countReported = !isNew && CheckCount(c, slot, *ref);
        if (known.firstSightPending)
            CheckFirstSight(c, slot, valueReported, countReported);
        if (slot.value > ref->value)
            ref->value = static_cast<uint8_t>(slot.value);
    }
}

// An NVMe drive's health log against its references, taken when the log is
// first read; while a first sight is not yet delivered, what made it worth
// a report and no change covers.
void CheckNvme(const CheckContext& c, KnownDrive& known, const NvmeHealth& h)
{
    NvmeReference& ref = known.nvme;
    const uint8_t step = WearStepOf(h.percentageUsed);
    const uint64_t errors = MediaErrorsOf(h);
    if (!ref.inUse)
        ref = {1, h.criticalWarning, h.availableSpare, 0, step, errors};
    const bool firstSight = known.firstSightPending;
    const unsigned newBits = h.criticalWarning & ~ref.warningBits;
    const unsigned shownBits = newBits | (firstSight ? h.criticalWarning : 0u);
    for (int bit = 0; bit < 8; ++bit) {
        if (shownBits >> bit & 1)
            Add(c, newBits >> bit & 1 ? ConditionKind::NvmeWarningSet : ConditionKind::NvmeWarningAtFirstSight,
                nullptr, 0, bit);
    }
    Condition* added = nullptr;
    if (h.availableSpare < h.availableSpareThreshold && ref.spare >= h.availableSpareThreshold)
        added = Add(c, ConditionKind::NvmeSpareBelowThreshold, nullptr, ref.spare, h.availableSpare);
    else if (FallsTooFar(ref.spare, h.availableSpare, c.changePercent))
        added = Add(c, ConditionKind::NvmeSpareFell, nullptr, ref.spare, h.availableSpare);
    if (added)
        added->threshold = h.availableSpareThreshold;
    if (step > ref.wearStep)
        Add(c, ConditionKind::NvmeWearReached, nullptr, ref.wearStep, h.percentageUsed)->threshold = step;
    else if (firstSight && step)
        Add(c, ConditionKind::NvmeWearAtFirstSight, nullptr, 0, h.percentageUsed);
    added = nullptr;
    if (errors > ref.mediaErrors)
        added = Add(c, ConditionKind::NvmeErrorsRose, nullptr, 0, 0);
    else if (firstSight && errors)
        added = Add(c, ConditionKind::NvmeErrorsAtFirstSight, nullptr, 0, 0);
    if (added) {
        added->raw = errors;
        added->referenceRaw = ref.mediaErrors;
    }
    // A warning that cleared is reported again when it comes back; a spare
    // that grew is the reference for the next fall.
    ref.warningBits &= h.criticalWarning;
    ref.spareThreshold = h.availableSpareThreshold;
    if (h.availableSpare > ref.spare)
        ref.spare = h.availableSpare;
}

void CheckPresentDrive(const CheckContext& c, MonitorState* state, const DriveRecord& r)
{
    KnownDrive& known = state->drives[c.known];
    known.lastSeen = state->checkCount;
    known.lastPosition = c.position;
    CopyBounded(known.firmware, r.firmware);
    if (!r.smartEnabled) {
        if (!known.vanishedReported)
            Add(c, IsNvmeDrive(r) ? ConditionKind::HealthLogUnread : ConditionKind::SmartOff, nullptr, 0, 0);
        return;
    }
    known.vanishedReported = 0;
    if (r.checksumFailed)
        c.found->uncheckedPositions |= 1u << c.position;
    else if (IsNvmeDrive(r))
        CheckNvme(c, known, r.nvme.health);
    else
        CheckAttributes(c, known, r);
}

}  // namespace

uint32_t EffectiveChangePercent(uint32_t changePercent)
{
    return changePercent ? changePercent : static_cast<uint32_t>(DefaultChangePercent);
}

bool IsWatchedCounter(int32_t id)
{
    return Listed(WatchedCounters, id);
}

int32_t CountOf(uint64_t raw)
{
    // Makers pack other data into the upper bytes of these raw values.
    return static_cast<int32_t>(raw & 0xFFFF);
}

void CheckDrives(MonitorState* state, const DriveRecord table[DriveCount], uint32_t changePercent,
                 ConditionList* found)
{
    found->count = 0;
    found->uncheckedPositions = 0;
    ++state->checkCount;
    bool matched[MonitorDriveMax] = {};
    for (int d = 0; d < DriveCount; ++d) {
        const DriveRecord& r = table[d];
        if (!r.present)
            continue;
        int k = FindKnown(*state, r);
        if (k >= 0 && matched[k])
            continue;  // the same drive, answering at a second position
        if (k < 0 && r.smartEnabled && r.checksumFailed)
            found->uncheckedPositions |= 1u << d;  // its references wait for a good reading
        if (k < 0 && (!r.smartEnabled || r.checksumFailed))
            continue;  // never seen answering: nothing to compare with
        if (k < 0)
            k = AddKnownDrive(state, r, matched);
        matched[k] = true;
        CheckPresentDrive({found, k, d, EffectiveChangePercent(changePercent)}, state, r);
    }
    for (int k = 0; k < state->driveCount; ++k) {
        const KnownDrive& known = state->drives[k];
        if (!matched[k] && !known.vanishedReported)
            Add({found, k, known.lastPosition, 0}, ConditionKind::Vanished, nullptr, 0, 0);
    }
}

void AcceptDelivered(MonitorState* state, const ConditionList& delivered)
{
    for (int i = 0; i < delivered.count; ++i) {
        const Condition& c = delivered.items[i];
        if (c.known < 0 || c.known >= state->driveCount)
            continue;
        KnownDrive& known = state->drives[c.known];
        known.firstSightPending = 0;
        AttributeReference* ref = c.attributeId ? FindReference(known, c.attributeId) : nullptr;
        NvmeReference& nvme = known.nvme;
        switch (c.kind) {
        case ConditionKind::Vanished:
        case ConditionKind::SmartOff:
        case ConditionKind::HealthLogUnread:
            known.vanishedReported = 1;
            break;
        case ConditionKind::NvmeWarningSet: nvme.warningBits |= static_cast<uint8_t>(1u << c.current); break;
        case ConditionKind::NvmeSpareFell:
        case ConditionKind::NvmeSpareBelowThreshold: nvme.spare = static_cast<uint8_t>(c.current); break;
        case ConditionKind::NvmeWearReached: nvme.wearStep = static_cast<uint8_t>(c.threshold); break;
        case ConditionKind::NvmeErrorsRose: nvme.mediaErrors = c.raw; break;
        case ConditionKind::CountRose:
        case ConditionKind::CountAtFirstSight:
            if (ref)
                ref->raw = c.raw;
            break;
        default:
            if (ref)
                ref->value = static_cast<uint8_t>(c.current);
            break;
        }
    }
}
