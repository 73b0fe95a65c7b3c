#include "report_text.h"

#include <cstdarg>
#include <cstdio>

#include "nvme_text.h"
#include "product.h"
#include "text_buffer.h"
#include "verdict.h"
#include "view_text.h"

namespace {

using Lines = TextBuffer;

// One line and its CR LF; a line that does not fit spoils the text.
void PutLine(Lines* to, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    AppendFormatList(to, format, args);
    va_end(args);
    AppendText(to, "\r\n");
}

size_t Finish(const Lines& lines)
{
    return lines.overflow ? 0 : lines.length;
}

// ID, name (up to MoreAttributeNameMax characters), value, worst, threshold, raw.
const char AttributeHeading[] = "  %3s %-32s %5s %5s %9s  %12s";
const char AttributeLine[] = "  %3s %-32s %5s %5d %9s  %12s";

// The cells of the attribute page, with the worst value beside them.
void PutAttributes(Lines* to, const DriveRecord& r)
{
    PutLine(to, AttributeHeading, "ID", "Attribute name", "Value", "Worst", "Threshold", "Raw");
    for (const AttributeSlot& slot : r.attributes) {
        if (slot.name[0] == '\0')
            continue;
        AttributeRowText row;
        MakeAttributeRow(slot, &row);
        PutLine(to, AttributeLine, row.id, row.name, row.value, static_cast<int>(slot.worst), row.threshold,
                row.raw);
    }
}

// The health log's rows as the attribute page shows them.
void PutNvmeHealth(Lines* to, const NvmeRecord& n)
{
    PutLine(to, "  %3s %-32s %-20s %s", "ID", "Field", "Value", "Threshold");
    for (int k = 0; k < NvmeAttributeRowCount; ++k) {
        AttributeRowText row;
        MakeNvmeAttributeRow(n, k, &row);
        PutLine(to, "  %3s %-32s %-20s %s", row.id, row.name, row.value, row.threshold);
    }
}

void PutDrive(Lines* to, const DriveRecord& r, int driveIndex)
{
    const bool nvme = IsNvmeDrive(r);
    const uint64_t megabytes = nvme ? r.nvme.capacityBytes >> 20 : SizeInMegabytes(DriveCapacity(r));
    PutLine(to, "%s: %s", ControllerText(driveIndex), r.model);
    PutLine(to, "  Serial number: %s", r.serial);
    PutLine(to, "  Firmware revision: %s", r.firmware);
    PutLine(to, "  Size: %llu MB", static_cast<unsigned long long>(megabytes));
    DriveVerdict v;
    JudgeDrive(r, &v);
    PutLine(to, "  Health: %s", StatusText(v.level));
    for (int i = 0; i < v.reasonCount; ++i)
        PutLine(to, "    %s", v.reasons[i]);
    if (!nvme)
        PutAttributes(to, r);
    else if (r.nvme.healthRead)
        PutNvmeHealth(to, r.nvme);
}

}  // namespace

size_t FormatDriveSection(const DriveRecord& r, int driveIndex, char* out, size_t capacity)
{
    Lines lines = MakeTextBuffer(out, capacity);
    PutDrive(&lines, r, driveIndex);
    return Finish(lines);
}

size_t FormatReport(const ReportContext& context, const DriveRecord table[DriveCount], char* out,
                    size_t capacity)
{
    Lines lines = MakeTextBuffer(out, capacity);
    char now[CellSize];
    FormatLastAccess(context.now, now, sizeof now);
    PutLine(&lines, "%s drive report", NameAndVersion);
    PutLine(&lines, "Computer: %s", context.computerName);
    PutLine(&lines, "Date: %s", now);
    bool any = false;
    for (int d = 0; d < DriveCount; ++d) {
        if (!table[d].present)
            continue;
        PutLine(&lines, "");
        PutDrive(&lines, table[d], d);
        any = true;
    }
    if (!any) {
        PutLine(&lines, "");
        PutLine(&lines, "No drive answered.");
    }
    return Finish(lines);
}
