#include "verdict.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "nvme.h"

namespace {

// How a raw value reads: which of its bits carry the number, and how. Drives
// pack other data into the upper bytes of these; the low bytes hold the count
// or the temperature by common use.
struct RawFormat {
    const char* ids;  // the attribute IDs as characters
    uint64_t mask;
    const char* format;
};

const RawFormat RawFormats[] = {
    {"\x05\x0A\xBB\xC5\xC6", 0xFFFF, "%llu"},           // 5, 10, 187, 197, 198: sectors, retries
    {"\xBE\xC2", 0xFF, "%llu C"},                         // 190, 194: temperatures
    {"\x04\x09\x0C\xC1\xC4\xC7", 0xFFFFFFFF, "%llu"},  // 4, 9, 12, 193, 196, 199: events, hours
};
const RawFormat WholeRaw = {"", 0xFFFFFFFFFFFF, "%012llX"};

const RawFormat& RawFormatOf(int id)
{
    for (const RawFormat& f : RawFormats) {
        if (id > 0 && id < 256 && std::strchr(f.ids, id))
            return f;
    }
    return WholeRaw;
}

void AddReason(DriveVerdict* v, DriveStatus level, const char* format, ...)
{
    if (LevelRank(level) > LevelRank(v->level))
        v->level = level;
    if (v->reasonCount == ReasonMax)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(v->reasons[v->reasonCount++], ReasonSize, format, args);
    va_end(args);
}

struct VerdictRule;
using Judge = void (*)(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v);

// One row of the rules: the level it gives, whether it looks at NVMe drives
// (else ATA drives), how it judges, and its number and words.
struct VerdictRule {
    DriveStatus level;
    bool nvme;
    Judge judge;
    int number;       // attribute ID, warning bit or limit
    const char* one;  // the reason's words for a count of 1
    const char* many;
};

const char* CountWords(const VerdictRule& rule, uint64_t n)
{
    return n == 1 ? rule.one : rule.many;
}

// "Start/Stop Count value 1 below threshold 20 (4)"
void PutAgainstThreshold(const AttributeSlot& slot, const char* what, int32_t n, DriveStatus level,
                         DriveVerdict* v)
{
    AddReason(v, level, "%s %s %d %s threshold %d (%d)", slot.name, what, static_cast<int>(n),
              n == slot.threshold ? "at" : "below", static_cast<int>(slot.threshold),
              static_cast<int>(slot.id));
}

void JudgeValues(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    for (const AttributeSlot& slot : r.attributes) {
        if (SlotInAlert(slot))
            PutAgainstThreshold(slot, "value", slot.value, rule.level, v);
    }
}

// Failed in the past: the worst value reached the threshold that the value
// is above again. A slot failing now has said so already.
void JudgeWorst(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    for (const AttributeSlot& slot : r.attributes) {
        if (slot.name[0] != '\0' && slot.threshold > 0 && slot.worst <= slot.threshold && !SlotInAlert(slot))
            PutAgainstThreshold(slot, "worst", slot.worst, rule.level, v);
    }
}

void JudgeCount(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    const AttributeSlot* slot = FindAttributeSlot(r, rule.number);
    const uint64_t n = slot ? RawNumber(*slot) : 0;
    if (n > 0)
        AddReason(v, rule.level, "%llu %s (%d)", static_cast<unsigned long long>(n), CountWords(rule, n),
                  rule.number);
}

// The temperature of 194, else of 190 (airflow).
void JudgeTemperature(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    const AttributeSlot* slot = FindAttributeSlot(r, 194);
    if (!slot)
        slot = FindAttributeSlot(r, 190);
    const int celsius = slot ? static_cast<int>(RawNumber(*slot)) : 0;
    if (celsius >= rule.number)
        AddReason(v, rule.level, "temperature %d C (%d)", celsius, static_cast<int>(slot->id));
}

// The critical-warning bits in rule.number, each a reason of its own.
void JudgeWarningBits(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    for (int bit = 0; bit < 8; ++bit) {
        if (r.nvme.health.criticalWarning & rule.number & 1 << bit)
            AddReason(v, rule.level, "critical warning: %s", NvmeWarningName(bit));
    }
}

// The spare below its threshold, which a drive says by its bit 0 only when
// it keeps to the standard.
void JudgeSpare(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    const NvmeHealth& h = r.nvme.health;
    if (h.availableSpare < h.availableSpareThreshold && !(h.criticalWarning & 0x01))
        AddReason(v, rule.level, "available spare %d%% below threshold %d%%", h.availableSpare,
                  h.availableSpareThreshold);
}

void JudgeMediaErrors(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    const uint64_t n = CountUpTo64Bits(r.nvme.health.counters[NvmeMediaErrors]);
    if (n > 0)
        AddReason(v, rule.level, "%llu %s", static_cast<unsigned long long>(n), CountWords(rule, n));
}

void JudgeLifeUsed(const DriveRecord& r, const VerdictRule& rule, DriveVerdict* v)
{
    if (r.nvme.health.percentageUsed >= rule.number)
        AddReason(v, rule.level, "%d%% of rated life used", r.nvme.health.percentageUsed);
}

// Worst first: a drive's reasons come in the order of this table.
const VerdictRule Rules[] = {
    {DriveStatus::Alert, false, JudgeValues, 0, nullptr, nullptr},
    // Every critical-warning bit but the temperature's says the drive fails.
    {DriveStatus::Alert, true, JudgeWarningBits, 0xFD, nullptr, nullptr},
    {DriveStatus::Alert, true, JudgeSpare, 0, nullptr, nullptr},
    {DriveStatus::Caution, false, JudgeCount, 197, "pending sector", "pending sectors"},
    {DriveStatus::Caution, false, JudgeCount, 198, "offline uncorrectable sector", "offline uncorrectable sectors"},
    {DriveStatus::Caution, false, JudgeCount, 5, "reallocated sector", "reallocated sectors"},
    {DriveStatus::Caution, false, JudgeCount, 187, "reported uncorrectable error", "reported uncorrectable errors"},
    {DriveStatus::Caution, false, JudgeCount, 10, "spin retry", "spin retries"},
    {DriveStatus::Caution, false, JudgeWorst, 0, nullptr, nullptr},
    {DriveStatus::Caution, false, JudgeTemperature, 60, nullptr, nullptr},
    {DriveStatus::Caution, true, JudgeMediaErrors, 0, "media error", "media errors"},
    {DriveStatus::Caution, true, JudgeLifeUsed, 90, nullptr, nullptr},
    {DriveStatus::Caution, true, JudgeWarningBits, 0x02, nullptr, nullptr},
    {DriveStatus::Ok, false, nullptr, 0, nullptr, nullptr},  // the end
};

}  // namespace

int LevelRank(DriveStatus level)
{
    return level == DriveStatus::Alert ? 2 : level == DriveStatus::Caution ? 1 : 0;
}

uint64_t RawNumber(const AttributeSlot& slot)
{
    return slot.raw & RawFormatOf(slot.id).mask;
}

void FormatRaw(const AttributeSlot& slot, char* text, size_t size)
{
    const RawFormat& f = RawFormatOf(slot.id);
    std::snprintf(text, size, f.format, static_cast<unsigned long long>(slot.raw & f.mask));
}

void JudgeDrive(const DriveRecord& r, DriveVerdict* out)
{
    out->level = GetRecordStatus(r);
    out->reasonCount = 0;
    out->reasons[0][0] = '\0';
    if (out->level == DriveStatus::NotAvailable)
        return;
    for (const VerdictRule* rule = Rules; rule->judge; ++rule) {
        if (rule->nvme == IsNvmeDrive(r))
            rule->judge(r, *rule, out);
    }
}
