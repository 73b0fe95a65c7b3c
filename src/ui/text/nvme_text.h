// The texts of the detail pages for an NVMe drive: its own information rows
// and one attribute row per field of its health log.
#pragma once

#include "view_text.h"

enum { NvmeAttributeRowCount = 15 };

void MakeNvmeInfoRows(const DriveRecord& drive, InfoRowText rows[InfoRowCount]);

// Row k (0 to 14) of the attribute page, its ID column k + 1.
void MakeNvmeAttributeRow(const NvmeRecord& nvme, int k, AttributeRowText* row);
