#include "mail_text.h"

#include <cstring>

#include "attributes.h"
#include "nvme.h"
#include "report_text.h"
#include "text_buffer.h"
#include "view_text.h"

namespace {

constexpr size_t LineMax = 78;
constexpr size_t PieceSize = 1024;  // one logical line before it is wrapped

const char* const DayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const MonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// How each condition reads below its attribute. The numbers come
// in the order reference, current, threshold; or current, threshold.
struct ConditionWording {
    ConditionKind kind;
    bool fromReference;
    const char* format;
};

const ConditionWording Wordings[] = {
    {ConditionKind::ValueFell, true, "value fell from %d to %d (threshold %d)"},
    {ConditionKind::ReachedThreshold, true, "value fell from %d to %d, at or below its threshold %d"},
    {ConditionKind::CountRose, true, "count rose from %d to %d"},
    {ConditionKind::AlertAtFirstSight, false, "value %d at or below its threshold %d when first seen"},
    {ConditionKind::CountAtFirstSight, false, "count %d when first seen"},
    {ConditionKind::Vanished, false, "The drive no longer answers."},
    {ConditionKind::SmartOff, false, "The drive answers without S.M.A.R.T. enabled."},
    {ConditionKind::HealthLogUnread, false, "The drive answers without its health log."},
};

// What the named critical-warning bits of an NVMe health log mean.
const char* const WarningMeanings[] = {
    "the spare capacity fell below its threshold",
    "the temperature is beyond its limits",
    "media or internal errors degrade its reliability",
    "the drive has made its media read-only",
    "the backup of its volatile memory failed",
};

// How the NVMe conditions read below their field's name; the arguments
// of each come from PutNvmeCondition.
struct NvmeWording {
    ConditionKind kind;
    const char* field;
    const char* format;
};

const NvmeWording NvmeWordings[] = {
    {ConditionKind::NvmeWarningSet, "Critical Warning", "newly set: %s"},
    {ConditionKind::NvmeWarningAtFirstSight, "Critical Warning", "set when first seen: %s"},
    {ConditionKind::NvmeSpareFell, "Available Spare",
     "fell from %d%% to %d%% (threshold %d%%): the drive is using up its spare capacity"},
    {ConditionKind::NvmeSpareBelowThreshold, "Available Spare",
     "fell from %d%% to %d%%, below its threshold %d%%: too little spare capacity is left"},
    {ConditionKind::NvmeWearReached, "Percentage Used", "rose from below %d%% to %d%%: %s"},
    {ConditionKind::NvmeWearAtFirstSight, "Percentage Used", "%d%% when first seen: %s"},
    {ConditionKind::NvmeErrorsRose, "Media and Data Integrity Errors",
     "rose from %llu to %llu: the drive found data it could not keep intact"},
    {ConditionKind::NvmeErrorsAtFirstSight, "Media and Data Integrity Errors",
     "%llu when first seen: the drive has found data it could not keep intact"},
};

const ConditionWording& WordingOf(ConditionKind kind)
{
    for (const ConditionWording& w : Wordings) {
        if (w.kind == kind)
            return w;
    }
    return Wordings[0];
}

bool IsPrintable(char c)
{
    return c >= 0x20 && c <= 0x7E;
}

// The last blank in text[from..limit], or 0.
size_t LastBlank(const char* text, size_t from, size_t limit)
{
    for (size_t i = limit; i >= from && i > 0; --i) {
        if (text[i] == ' ')
            return i;
    }
    return 0;
}

// One output line: printable 7-bit, dot-stuffed, CRLF-ended.
void PutSegment(TextBuffer* out, const char* text, size_t length)
{
    if (length > 0 && text[0] == '.')
        AppendBytes(out, ".", 1);
    for (size_t i = 0; i < length; ++i)
        AppendBytes(out, IsPrintable(text[i]) ? text + i : "?", 1);
    AppendBytes(out, "\r\n", 2);
}

// Writes text as lines of at most LineMax characters. A long line breaks at
// its last blank that fits: a header keeps the blank at the start of its next
// line (RFC 5322 folding), the body drops it. With no blank to break at, the
// body breaks after LineMax characters; a header stays long (only a single
// word of more than 77 characters, such as a very long address, does that).
void PutWrapped(TextBuffer* out, const char* text, bool header)
{
    size_t length = std::strlen(text);
    while (length > LineMax) {
        size_t cut = LastBlank(text, 1, LineMax);
        if (cut == 0 && header)
            break;
        if (cut == 0)
            cut = LineMax;
        PutSegment(out, text, cut);
        const size_t skip = (!header && text[cut] == ' ') ? cut + 1 : cut;
        text += skip;
        length -= skip;
    }
    PutSegment(out, text, length);
}

// Formats one logical line into a piece, then writes it wrapped.
template <typename... Args>
void PutLine(TextBuffer* out, bool header, const char* format, Args... args)
{
    char piece[PieceSize];
    TextBuffer line = MakeTextBuffer(piece, sizeof piece);
    AppendFormat(&line, format, args...);
    PutWrapped(out, piece, header);
}

int DayOfWeek(int year, int month, int day)
{
    static const int MonthOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3)
        --year;
    const int n = (year + year / 4 - year / 100 + year / 400 + MonthOffsets[month - 1] + day) % 7;
    return n < 0 ? n + 7 : n;
}

// "Tue, 04 Mar 2025 14:05:09 +0100"
void FormatDate(const MailContext& c, char* text, size_t size)
{
    const LocalTime& t = c.now;
    const int month = t.wMonth >= 1 && t.wMonth <= 12 ? t.wMonth : 1;
    const int offset = c.utcOffsetMinutes < 0 ? -c.utcOffsetMinutes : c.utcOffsetMinutes;
    TextBuffer out = MakeTextBuffer(text, size);
    AppendFormat(&out, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", DayNames[DayOfWeek(t.wYear, month, t.wDay)],
                 t.wDay, MonthNames[month - 1], t.wYear, t.wHour, t.wMinute, t.wSecond,
                 c.utcOffsetMinutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60);
}

void PutHeaders(TextBuffer* out, const MailContext& c, const char* date, const char* subject)
{
    const LocalTime& t = c.now;
    PutLine(out, true, "Date: %s", date);
    PutLine(out, true, "From: <%s>", c.address);
    PutLine(out, true, "To: <%s>", c.address);
    PutLine(out, true, "Subject: %s", subject);
    PutLine(out, true, "Message-ID: <%04u%02u%02u%02u%02u%02u.%08X.ostrivel@%s>", t.wYear, t.wMonth, t.wDay,
            t.wHour, t.wMinute, t.wSecond, c.uniqueNumber, AddressDomain(c.address));
    PutLine(out, true, "MIME-Version: 1.0");
    PutLine(out, true, "Content-Type: text/plain; charset=us-ascii");
    PutLine(out, true, "Content-Transfer-Encoding: 7bit");
    PutLine(out, false, "");
}

// The attribute's name as the drive table shows it.
void AppendAttributeName(TextBuffer* out, const DriveRecord& r, int32_t id)
{
    const AttributeSlot* slot = FindAttributeSlot(r, id);
    const char* name = slot ? slot->name : AttributeName(id);
    size_t length = std::strlen(name);
    while (length > 0 && name[length - 1] == ' ')
        --length;
    AppendBytes(out, name, length);
}

const char* WearMeaning(int32_t percentageUsed)
{
    return percentageUsed >= NvmeWearEnd ? "the drive has used up its rated endurance"
                                         : "the drive nears the end of its rated endurance";
}

const NvmeWording* NvmeWordingOf(ConditionKind kind)
{
    for (const NvmeWording& w : NvmeWordings) {
        if (w.kind == kind)
            return &w;
    }
    return nullptr;
}

bool IsWarningKind(ConditionKind kind)
{
    return kind == ConditionKind::NvmeWarningSet || kind == ConditionKind::NvmeWarningAtFirstSight;
}

// What the warning bit means, or null for a bit this program does not name.
const char* WarningMeaningOf(const Condition& c)
{
    const size_t bit = static_cast<size_t>(c.current & 7);
    return bit < sizeof WarningMeanings / sizeof WarningMeanings[0] ? WarningMeanings[bit] : nullptr;
}

// "<field>[, <warning>]"
void AppendNvmeSubject(TextBuffer* out, const NvmeWording& w, const Condition& c)
{
    AppendText(out, w.field);
    if (IsWarningKind(c.kind))
        AppendFormat(out, ", %s", NvmeWarningName(static_cast<int>(c.current & 7)));
}

// The NVMe condition with its meaning.
void AppendNvmeChange(TextBuffer* out, const NvmeWording& w, const Condition& c)
{
    if (IsWarningKind(c.kind)) {
        const char* meaning = WarningMeaningOf(c);
        AppendFormat(out, w.format, meaning ? meaning : "a warning this program does not know");
    } else if (c.kind == ConditionKind::NvmeErrorsRose || c.kind == ConditionKind::NvmeErrorsAtFirstSight) {
        AppendFormat(out, w.format, static_cast<unsigned long long>(c.kind == ConditionKind::NvmeErrorsRose
                                                                         ? c.referenceRaw
                                                                         : c.raw),
                     static_cast<unsigned long long>(c.raw));
    } else if (c.kind == ConditionKind::NvmeWearReached) {
        AppendFormat(out, w.format, static_cast<int>(c.threshold), static_cast<int>(c.current),
                     WearMeaning(c.current));
    } else if (c.kind == ConditionKind::NvmeWearAtFirstSight) {
        AppendFormat(out, w.format, static_cast<int>(c.current), WearMeaning(c.current));
    } else {
        AppendFormat(out, w.format, static_cast<int>(c.reference), static_cast<int>(c.current),
                     static_cast<int>(c.threshold));
    }
}

// What the condition is about: "Attribute 5, Reallocated Sector Count",
// "Critical Warning, temperature"; nothing for a drive-wide condition.
void AppendConditionSubject(TextBuffer* out, const Condition& c, const DriveRecord& r)
{
    if (const NvmeWording* nvme = NvmeWordingOf(c.kind)) {
        AppendNvmeSubject(out, *nvme, c);
    } else if (c.attributeId != 0) {
        AppendFormat(out, "Attribute %d, ", static_cast<int>(c.attributeId));
        AppendAttributeName(out, r, c.attributeId);
    }
}

// What happened: "count rose from 0 to 3".
void AppendConditionChange(TextBuffer* out, const Condition& c)
{
    if (const NvmeWording* nvme = NvmeWordingOf(c.kind))
        return AppendNvmeChange(out, *nvme, c);
    const ConditionWording& w = WordingOf(c.kind);
    // A drive read without rights may not know the threshold.
    const bool noThreshold = c.kind == ConditionKind::ValueFell && c.threshold == ThresholdUnknown;
    AppendFormat(out, noThreshold ? "value fell from %d to %d" : w.format,
                 static_cast<int>(w.fromReference ? c.reference : c.current),
                 static_cast<int>(w.fromReference ? c.current : c.threshold), static_cast<int>(c.threshold));
}

// "  <subject>:" and the change on the line below; a drive-wide condition
// on one line.
void PutCondition(TextBuffer* out, const Condition& c, const DriveRecord& r)
{
    char piece[PieceSize];
    TextBuffer line = MakeTextBuffer(piece, sizeof piece);
    AppendText(&line, "  ");
    AppendConditionSubject(&line, c, r);
    if (line.length > 2) {
        AppendText(&line, ":");
        PutWrapped(out, piece, false);
        line = MakeTextBuffer(piece, sizeof piece);
        AppendText(&line, "    ");
    }
    AppendConditionChange(&line, c);
    PutWrapped(out, piece, false);
}

bool HasVanished(const ConditionList& list, int from, int known)
{
    for (int i = from; i < list.count && list.items[i].known == known; ++i) {
        if (list.items[i].kind == ConditionKind::Vanished)
            return true;
    }
    return false;
}

// A drive that answers: its section of the drive report, line by line.
bool PutReportSection(TextBuffer* out, const DriveRecord& r, int position)
{
    static char section[ReportTextMax];
    const size_t n = r.present ? FormatDriveSection(r, position, section, sizeof section) : 0;
    for (size_t start = 0, end; start < n; start = end + 2) {
        end = static_cast<size_t>(std::strstr(section + start, "\r\n") - section);
        section[end] = '\0';
        PutWrapped(out, section + start, false);
    }
    return n > 0;
}

// The drive's section (its identity and state, for one that no longer
// answers), before its conditions.
void PutDrive(TextBuffer* out, const KnownDrive& drive, int position, const DriveRecord& r, bool vanished)
{
    const bool valid = position >= 0 && position < DriveCount;
    PutLine(out, false, "");
    if (!vanished && valid && PutReportSection(out, r, position))
        return;
    PutLine(out, false, "%s: %s", valid ? ControllerText(position) : "Position unknown", drive.model);
    PutLine(out, false, "  Serial number: %s", drive.serial);
    PutLine(out, false, "  Firmware revision: %s", drive.firmware);
    PutLine(out, false, "  Status: %s", vanished ? "not answering" : StatusText(GetRecordStatus(r)));
}

// The record at the condition's position; an empty one for a position
// outside the table.
const DriveRecord& RecordOf(const Condition& c, const DriveRecord table[DriveCount])
{
    static const DriveRecord NoRecord = {};
    return c.position >= 0 && c.position < DriveCount ? table[c.position] : NoRecord;
}

void PutConditions(TextBuffer* out, const MonitorState& state, const DriveRecord table[DriveCount],
                   const ConditionList& conditions)
{
    for (int i = 0; i < conditions.count; ++i) {
        const Condition& c = conditions.items[i];
        if (c.known < 0 || c.known >= state.driveCount)
            continue;
        const DriveRecord& r = RecordOf(c, table);
        if (i == 0 || conditions.items[i - 1].known != c.known)
            PutDrive(out, state.drives[c.known], c.position, r, HasVanished(conditions, i, c.known));
        PutCondition(out, c, r);
    }
}

size_t Finish(const TextBuffer& out)
{
    return out.overflow ? 0 : out.length;
}

}  // namespace

size_t FormatWarningMail(const MailContext& context, const MonitorState& state,
                         const DriveRecord table[DriveCount], const ConditionList& conditions, char* out,
                         size_t capacity)
{
    char date[40], subject[PieceSize];
    FormatDate(context, date, sizeof date);
    TextBuffer s = MakeTextBuffer(subject, sizeof subject);
    AppendFormat(&s, "Ostrivel warning: %d drive problem(s) on %s", static_cast<int>(conditions.count),
                 context.computerName);
    TextBuffer text = MakeTextBuffer(out, capacity);
    PutHeaders(&text, context, date, subject);
    PutLine(&text, false, "Ostrivel on %s found %d drive problem(s).", context.computerName,
            static_cast<int>(conditions.count));
    PutLine(&text, false, "Time: %s", date);
    PutConditions(&text, state, table, conditions);
    PutLine(&text, false, "");
    PutLine(&text, false, "Each problem is reported once; later checks compare with these values.");
    return Finish(text);
}

void AppendConditionLine(TextBuffer* out, const Condition& condition, const DriveRecord table[DriveCount])
{
    const size_t before = out->length;
    AppendConditionSubject(out, condition, RecordOf(condition, table));
    if (out->length > before)
        AppendText(out, ": ");
    AppendConditionChange(out, condition);
}

size_t FormatTestMail(const MailContext& context, char* out, size_t capacity)
{
    char date[40], subject[PieceSize];
    FormatDate(context, date, sizeof date);
    TextBuffer s = MakeTextBuffer(subject, sizeof subject);
    AppendFormat(&s, "Ostrivel test message from %s", context.computerName);
    TextBuffer text = MakeTextBuffer(out, capacity);
    PutHeaders(&text, context, date, subject);
    PutLine(&text, false,
            "This test message was sent by Ostrivel on %s on %s, after its e-mail settings were changed. "
            "Warnings about the drives will come to this address through the same server.",
            context.computerName, date);
    return Finish(text);
}
