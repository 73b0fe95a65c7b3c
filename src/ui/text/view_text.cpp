#include "view_text.h"

#include <cstdio>

#include "nvme_text.h"
#include "product.h"

namespace {

const char* const ControllerNames[DriveCount] = {
    "Primary/Master", "Primary/Slave", "Secondary/Master", "Secondary/Slave",
};

struct StatusName {
    DriveStatus status;
    const char* text;
};

const StatusName StatusNames[] = {
    {DriveStatus::Ok, "Ok"},
    {DriveStatus::Caution, "Caution"},
    {DriveStatus::Alert, "Alert"},
    {DriveStatus::NotAvailable, "N/A"},
};

void FormatNumber(char* text, long long n)
{
    std::snprintf(text, CellSize, "%lld", n);
}

void CopyText(char* text, const char* from)
{
    std::snprintf(text, CellSize, "%s", from);
}

}  // namespace

const char* ControllerText(int driveIndex)
{
    return ControllerNames[driveIndex];
}

const char* StatusText(DriveStatus status)
{
    for (const StatusName& s : StatusNames) {
        if (s.status == status)
            return s.text;
    }
    return "";
}

const char* YesNoText(int flag)
{
    return flag ? "Yes" : "No";
}

DriveRowText MakeDriveRow(int driveIndex)
{
    const DriveRecord& r = DriveTable[driveIndex];
    DriveVerdict v;
    JudgeDrive(r, &v);
    return {r.model, IsNvmeDrive(r) ? "NVMe" : ControllerText(driveIndex), YesNoText(r.smartEnabled),
            StatusText(v.level)};
}

uint64_t SizeInMegabytes(uint64_t sectors)
{
    return sectors / 2048u;
}

void FormatLastAccess(const LocalTime& t, char* text, size_t size)
{
    std::snprintf(text, size, "%.2d/%.2d/%d %.2d.%.2d.%.2d", t.wDay, t.wMonth, t.wYear, t.wHour,
                  t.wMinute, t.wSecond);
}

void MakeInfoRows(const DriveRecord& drive, InfoRowText rows[InfoRowCount])
{
    if (IsNvmeDrive(drive)) {
        MakeNvmeInfoRows(drive, rows);
        return;
    }
    static const struct {
        const char* label;
        ListImage image;
    } Labels[InfoRowCount] = {
        {"Model Number", ImageBlank},
        {"Size", ImageBlank},
        {"Serial Number", ImageBlank},
        {"Firmware Rev.", ImageBlank},
        {"Geometry", ImageInfo},
        {"Logical Cylinders", ImageBlank},
        {"Logical Heads", ImageBlank},
        {"Logical Sectors per Track", ImageBlank},
        {"Total Addressable Sectors", ImageBlank},
        {"Logical Block Addressing", ImageBlank},
        {"Last Access", ImageClock},
    };
    for (int i = 0; i < InfoRowCount; ++i) {
        rows[i].label = Labels[i].label;
        rows[i].image = Labels[i].image;
        rows[i].value[0] = '\0';
    }
    const uint64_t capacity = DriveCapacity(drive);
    CopyText(rows[0].value, drive.model);
    std::snprintf(rows[1].value, CellSize, "%llu MB",
                  static_cast<unsigned long long>(SizeInMegabytes(capacity)));
    CopyText(rows[2].value, drive.serial);
    CopyText(rows[3].value, drive.firmware);
    // A drive read without rights tells no geometry.
    const uint16_t geometry[] = {drive.cylinders, drive.heads, drive.sectorsPerTrack};
    for (int i = 0; i < 3; ++i)
        drive.limitedRead ? CopyText(rows[5 + i].value, "-") : FormatNumber(rows[5 + i].value, geometry[i]);
    // Only drives that address sectors by LBA give a sector count.
    FormatNumber(rows[8].value, static_cast<long long>(capacity));
    CopyText(rows[9].value, YesNoText(capacity != 0));
    FormatLastAccess(drive.lastAccess, rows[10].value, CellSize);
}

void MakeAttributeRow(const AttributeSlot& slot, AttributeRowText* row)
{
    FormatNumber(row->id, slot.id);
    row->name = slot.name;
    FormatNumber(row->value, slot.value);
    if (slot.threshold == ThresholdUnknown)
        CopyText(row->threshold, "-");
    else
        FormatNumber(row->threshold, slot.threshold);
    FormatRaw(slot, row->raw, CellSize);
}

void FormatHealth(const DriveVerdict& v, char* text, size_t size)
{
    std::snprintf(text, size, v.reasonCount ? "%s: %s" : "%s", StatusText(v.level), v.reasons[0]);
}

void MakeHealthRow(const DriveRecord& drive, InfoRowText* row)
{
    DriveVerdict v;
    JudgeDrive(drive, &v);
    row->label = "Health";
    row->image = LevelRank(v.level) > 0 ? ImageWarning : ImageBlank;
    FormatHealth(v, row->value, CellSize);
}

int FindWorstDrive(const DriveRecord table[DriveCount], DriveVerdict* worst)
{
    int found = NoDrive;
    int worstRank = 0;
    for (int d = 0; d < DriveCount; ++d) {
        if (!table[d].present)
            continue;
        JudgeDrive(table[d], worst);
        if (LevelRank(worst->level) > worstRank) {
            worstRank = LevelRank(worst->level);
            found = d;
        }
    }
    if (found != NoDrive)
        JudgeDrive(table[found], worst);
    return found;
}

DriveStatus FormatTrayTip(const DriveRecord table[DriveCount], char (&tip)[TrayTipSize])
{
    DriveVerdict v;
    const int d = FindWorstDrive(table, &v);
    if (d == NoDrive) {
        std::snprintf(tip, TrayTipSize, "%s", ProgramCaption);
        return DriveStatus::Ok;
    }
    char full[int{CellSize} + TextSize + ReasonSize];
    const int length = std::snprintf(full, sizeof full, "%s - %s: %s%s%s", ProgramCaption,
                                     StatusText(v.level), table[d].model, v.reasonCount ? ", " : "",
                                     v.reasons[0]);
    std::snprintf(tip, TrayTipSize, "%.*s", CleanCutLength(full, length, TrayTipSize - 1), full);
    return v.level;
}

int CleanCutLength(const char* text, int length, int limit)
{
    if (length <= limit)
        return length;
    // Cut at a blank, with the comma before it, rather than inside a word.
    int blank = limit;
    while (blank > 0 && text[blank] != ' ')
        --blank;
    while (blank > 0 && (text[blank - 1] == ',' || text[blank - 1] == ' '))
        --blank;
    return blank > 0 ? blank : limit;
}

int DefaultDetailDrive()
{
    int first = FindDriveAtRow(0);
    return first == NoDrive ? 0 : first;
}
