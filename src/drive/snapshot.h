// Drive snapshot files: what one ATA drive answered, kept as tagged sections
// (4-byte ASCII tag, 4-byte big-endian size, data). The emulated SMART driver
// serves drives from them.
#pragma once
#include <cstddef>
#include <cstdint>

enum class SnapshotSection { Identify, Attributes, Thresholds, Count };

struct Snapshot {
    // Points into the parsed file data; null when the section is absent.
    const uint8_t* sector[static_cast<int>(SnapshotSection::Count)];
};

enum class SnapshotError {
    None,
    Empty,            // no byte at all
    Truncated,        // a section header or its data runs past the end
    BadSectionSize,   // a sector section that is not 512 bytes
    DuplicateSection, // the same sector section twice
    NoSections,       // valid framing but none of the three sectors
};

// Parses size bytes of file data. Unknown tags are skipped. Never reads past
// data + size. On success out points into data.
SnapshotError ParseSnapshot(const uint8_t* data, size_t size, Snapshot* out);

const uint8_t* SnapshotSector(const Snapshot& s, SnapshotSection section);

const char* SnapshotErrorText(SnapshotError e);
