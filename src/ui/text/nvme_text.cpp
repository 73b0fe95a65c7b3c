#include "nvme_text.h"

#include <cstdio>

#include "nvme.h"

namespace {

const char NoValue[] = "-";

void FormatTemperature(char* text, uint32_t kelvins, const char* unknown)
{
    if (kelvins == 0)
        std::snprintf(text, CellSize, "%s", unknown);
    else
        std::snprintf(text, CellSize, "%d C", static_cast<int>(kelvins) - 273);
}

void FormatKnown(char* text, bool known, unsigned long long n)
{
    if (known)
        std::snprintf(text, CellSize, "%llu", n);
    else
        std::snprintf(text, CellSize, "%s", NoValue);
}

// Why the log could not be read; empty when it was.
void FormatHealthReason(const NvmeRecord& n, char* text)
{
    if (n.healthRead)
        text[0] = '\0';
    else if (n.olderSystem)
        std::snprintf(text, CellSize, "needs Windows 10");
    else
        std::snprintf(text, CellSize, "not available from this driver (error %lu)",
                      static_cast<unsigned long>(n.healthError));
}

// "1.4", "1.3.1"; "-" for a drive that does not give its version.
void FormatVersion(uint32_t version, char* text)
{
    const unsigned tertiary = version & 0xFF;
    if (version == 0)
        std::snprintf(text, CellSize, "%s", NoValue);
    else if (tertiary == 0)
        std::snprintf(text, CellSize, "%u.%u", version >> 16, version >> 8 & 0xFF);
    else
        std::snprintf(text, CellSize, "%u.%u.%u", version >> 16, version >> 8 & 0xFF, tertiary);
}

const char* const HealthFieldNames[NvmeAttributeRowCount] = {
    "Critical Warning", "Composite Temperature", "Available Spare", "Available Spare Threshold",
    "Percentage Used", "Data Units Read", "Data Units Written", "Host Read Commands",
    "Host Write Commands", "Controller Busy Time", "Power Cycles", "Power On Hours",
    "Unsafe Shutdowns", "Media and Data Integrity Errors", "Error Information Log Entries",
};

enum { FirstCounterRow = 5, DataUnitRows = 2 };

}  // namespace

void MakeNvmeInfoRows(const DriveRecord& drive, InfoRowText rows[InfoRowCount])
{
    static const char* const Labels[InfoRowCount] = {
        "Model Number", "Size", "Serial Number", "Firmware Rev.", "NVMe", "NVMe Version",
        "Logical Block Size", "Warning Temperature", "Total Addressable Sectors", "Critical Temperature",
        "Last Access",
    };
    const NvmeRecord& n = drive.nvme;
    for (int i = 0; i < InfoRowCount; ++i) {
        rows[i].label = Labels[i];
        rows[i].image = ImageBlank;
    }
    rows[4].image = ImageInfo;
    rows[10].image = ImageClock;
    std::snprintf(rows[0].value, CellSize, "%s", drive.model);
    if (n.capacityBytes)
        std::snprintf(rows[1].value, CellSize, "%llu MB",
                      static_cast<unsigned long long>(SizeInMegabytes(n.capacityBytes / 512)));
    else
        std::snprintf(rows[1].value, CellSize, "%s", NoValue);
    std::snprintf(rows[2].value, CellSize, "%s", drive.serial);
    std::snprintf(rows[3].value, CellSize, "%s", drive.firmware);
    FormatHealthReason(n, rows[4].value);
    FormatVersion(n.identifyRead ? n.version : 0, rows[5].value);
    FormatKnown(rows[6].value, n.blockSize != 0, n.blockSize);
    FormatTemperature(rows[7].value, n.warningTemperature, NoValue);
    FormatKnown(rows[8].value, n.namespaceRead, n.namespaceBlocks);
    FormatTemperature(rows[9].value, n.criticalTemperature, NoValue);
    FormatLastAccess(drive.lastAccess, rows[10].value, CellSize);
}

void MakeNvmeAttributeRow(const NvmeRecord& nvme, int k, AttributeRowText* row)
{
    const NvmeHealth& h = nvme.health;
    const unsigned bytes[FirstCounterRow] = {h.criticalWarning, h.compositeTemperature, h.availableSpare,
                                             h.availableSpareThreshold, h.percentageUsed};
    std::snprintf(row->id, CellSize, "%d", k + 1);
    row->name = HealthFieldNames[k];
    row->threshold[0] = '\0';
    if (k == 1)
        FormatTemperature(row->value, h.compositeTemperature, NoValue);
    else if (k < FirstCounterRow)
        std::snprintf(row->value, CellSize, "%u", bytes[k]);
    else if (k < FirstCounterRow + DataUnitRows)
        FormatDataUnits(h.counters[k - FirstCounterRow], row->value, CellSize);
    else
        FormatCounter128(h.counters[k - FirstCounterRow], row->value, CellSize);
    // For display only: no rule reads them.
    if (k == 1)
        FormatTemperature(row->threshold, nvme.warningTemperature, "");
    else if (k == 2)
        std::snprintf(row->threshold, CellSize, "%u", h.availableSpareThreshold);
    else if (k == 4)
        std::snprintf(row->threshold, CellSize, "100");
}
