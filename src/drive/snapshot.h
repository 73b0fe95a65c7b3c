// Drive snapshot files: what one drive answered, kept as tagged sections
// (4-byte ASCII tag, 4-byte big-endian size, data). The emulated SMART driver
// serves drives from them: an ATA drive's three sectors, or an NVMe drive's
// Identify Controller, Identify Namespace and SMART / Health log.
#pragma once
#include <cstddef>
#include <cstdint>

enum class SnapshotSection {
    Identify, Attributes, Thresholds, NvmeController, NvmeNamespace, NvmeHealth, Count
};

struct Snapshot {
    // Points into the parsed file data; null when the section is absent.
    const uint8_t* section[static_cast<int>(SnapshotSection::Count)];
};

enum class SnapshotError {
    None,
    Empty,            // no byte at all
    Truncated,        // a section header or its data runs past the end
    BadSectionSize,   // a known section of the wrong size
    DuplicateSection, // the same known section twice
    NoSections,       // valid framing but no known section
};

// Parses size bytes of file data. Unknown tags are skipped. Never reads past
// data + size. On success out points into data.
SnapshotError ParseSnapshot(const uint8_t* data, size_t size, Snapshot* out);

const uint8_t* SnapshotSector(const Snapshot& s, SnapshotSection section);

// True when the snapshot holds any of the NVMe sections.
bool IsNvmeSnapshot(const Snapshot& s);

const char* SnapshotErrorText(SnapshotError e);
