#include "notice.h"

#include <cstdio>
#include <cstring>

#include "mail_text.h"
#include "text_buffer.h"
#include "view_text.h"

const char NoticeTitle[] = "Drive problem";

namespace {

// How far a condition has gone, and which way is further.
enum class Measure : uint8_t { Current, WearStep, Raw };

struct MarkRule {
    ConditionKind kind;
    Measure measure;
    bool risesFurther;
};

// Kinds not listed (a drive gone or silent, a warning bit) go no further
// once shown; a warning bit is told apart by its number.
const MarkRule MarkRules[] = {
    {ConditionKind::ValueFell, Measure::Current, false},
    {ConditionKind::ReachedThreshold, Measure::Current, false},
    {ConditionKind::AlertAtFirstSight, Measure::Current, false},
    {ConditionKind::CountRose, Measure::Current, true},
    {ConditionKind::CountAtFirstSight, Measure::Current, true},
    {ConditionKind::NvmeSpareFell, Measure::Current, false},
    {ConditionKind::NvmeSpareBelowThreshold, Measure::Current, false},
    {ConditionKind::NvmeWearReached, Measure::WearStep, true},
    {ConditionKind::NvmeWearAtFirstSight, Measure::WearStep, true},
    {ConditionKind::NvmeErrorsRose, Measure::Raw, true},
    {ConditionKind::NvmeErrorsAtFirstSight, Measure::Raw, true},
};

const MarkRule* RuleOf(ConditionKind kind)
{
    for (const MarkRule& rule : MarkRules) {
        if (rule.kind == kind)
            return &rule;
    }
    return nullptr;
}

uint64_t MeasureOf(const Condition& c, Measure measure)
{
    switch (measure) {
    case Measure::Current: return static_cast<uint64_t>(c.current < 0 ? 0 : c.current);
    case Measure::WearStep: return c.current >= NvmeWearEnd ? NvmeWearEnd : NvmeWearWarning;
    default: return c.raw;
    }
}

ShownMark MarkOf(const Condition& c)
{
    const MarkRule* rule = RuleOf(c.kind);
    const bool bit = c.kind == ConditionKind::NvmeWarningSet || c.kind == ConditionKind::NvmeWarningAtFirstSight;
    return {static_cast<uint8_t>(c.kind), static_cast<uint8_t>(bit ? c.current & 7 : c.attributeId & 255),
            rule ? MeasureOf(c, rule->measure) : 0};
}

const ShownMark* FindMark(const ShownMark* marks, int32_t count, const ShownMark& m)
{
    for (int32_t i = 0; i < count; ++i) {
        if (marks[i].kind == m.kind && marks[i].item == m.item)
            return &marks[i];
    }
    return nullptr;
}

bool WentFurther(const ShownMark& now, const ShownMark& shown)
{
    const MarkRule* rule = RuleOf(static_cast<ConditionKind>(now.kind));
    if (!rule)
        return false;
    return rule->risesFurther ? now.measure > shown.measure : now.measure < shown.measure;
}

bool IsKnown(const MonitorState& state, const Condition& c)
{
    return c.known >= 0 && c.known < state.driveCount;
}

// The drive's mark for the condition when it still covers it, else null.
const ShownMark* CoveringMark(const KnownDrive& drive, const ShownMark& now)
{
    const ShownMark* shown = FindMark(drive.shown, drive.shownCount, now);
    return shown && !WentFurther(now, *shown) ? shown : nullptr;
}

void WordNotice(const MonitorState& state, const DriveRecord table[DriveCount], const Condition& first,
                Notice* notice)
{
    char line[1024];
    TextBuffer text = MakeTextBuffer(line, sizeof line);
    AppendFormat(&text, "%s: ", state.drives[first.known].model);
    AppendConditionLine(&text, first, table);
    char more[24] = "";
    if (notice->count > 1)
        std::snprintf(more, sizeof more, "\nand %d more", static_cast<int>(notice->count - 1));
    const int room = static_cast<int>(NoticeTextSize - 1 - std::strlen(more));
    std::snprintf(notice->text, sizeof notice->text, "%.*s%s",
                  CleanCutLength(line, static_cast<int>(text.length), room), line, more);
}

// A drive whose sectors failed their checksum in this check gave no
// conditions: its marks wait for a check that compares it.
bool Compared(const MonitorState& state, const KnownDrive& drive, const ConditionList& found)
{
    return drive.lastSeen != state.checkCount || !(found.uncheckedPositions >> drive.lastPosition & 1);
}

}  // namespace

void ComposeNotice(const MonitorState& state, const DriveRecord table[DriveCount], const ConditionList& found,
                   Notice* notice)
{
    notice->count = 0;
    notice->position = -1;
    notice->text[0] = '\0';
    const Condition* first = nullptr;
    for (int32_t i = 0; i < found.count; ++i) {
        const Condition& c = found.items[i];
        if (!IsKnown(state, c) || CoveringMark(state.drives[c.known], MarkOf(c)))
            continue;
        ++notice->count;
        if (!first)
            first = &c;
    }
    if (!first)
        return;
    notice->position = first->position;
    WordNotice(state, table, *first, notice);
}

void KeepShownMarks(MonitorState* state, const ConditionList& found, bool shown)
{
    for (int32_t k = 0; k < state->driveCount; ++k) {
        KnownDrive& drive = state->drives[k];
        if (!Compared(*state, drive, found))
            continue;
        ShownMark kept[ShownMax];
        int32_t count = 0;
        for (int32_t i = 0; i < found.count; ++i) {
            if (found.items[i].known != k)
                continue;
            const ShownMark now = MarkOf(found.items[i]);
            const ShownMark* before = FindMark(drive.shown, drive.shownCount, now);
            const ShownMark* keep = before && !WentFurther(now, *before) ? before : shown ? &now : before;
            if (keep && count < ShownMax && !FindMark(kept, count, *keep))
                kept[count++] = *keep;
        }
        std::memcpy(drive.shown, kept, sizeof kept[0] * static_cast<size_t>(count));
        drive.shownCount = count;
    }
}
