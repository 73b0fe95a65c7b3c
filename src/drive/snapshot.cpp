#include "snapshot.h"

#include <cstring>

#include "identify.h"

namespace {

struct SectionTag {
    char tag[5];
    SnapshotSection section;
    uint32_t size;
};

const SectionTag Tags[] = {
    {"IDFY", SnapshotSection::Identify, SectorSize},
    {"SMDT", SnapshotSection::Attributes, SectorSize},
    {"SMTH", SnapshotSection::Thresholds, SectorSize},
    {"NVCT", SnapshotSection::NvmeController, 4096},
    {"NVNS", SnapshotSection::NvmeNamespace, 4096},
    {"NVHL", SnapshotSection::NvmeHealth, 512},
};

enum { HeaderSize = 8 };

uint32_t ReadBigEndian32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

const SectionTag* FindTag(const uint8_t* p)
{
    for (const SectionTag& t : Tags) {
        if (std::memcmp(p, t.tag, 4) == 0)
            return &t;
    }
    return nullptr;
}

}  // namespace

SnapshotError ParseSnapshot(const uint8_t* data, size_t size, Snapshot* out)
{
    std::memset(out, 0, sizeof *out);
    if (size == 0)
        return SnapshotError::Empty;
    size_t at = 0;
    bool any = false;
    while (at < size) {
        if (size - at < HeaderSize)
            return SnapshotError::Truncated;
        const uint8_t* header = data + at;
        uint32_t length = ReadBigEndian32(header + 4);
        at += HeaderSize;
        if (length > size - at)
            return SnapshotError::Truncated;
        if (const SectionTag* t = FindTag(header)) {
            if (length != t->size)
                return SnapshotError::BadSectionSize;
            const uint8_t*& slot = out->section[static_cast<int>(t->section)];
            if (slot)
                return SnapshotError::DuplicateSection;
            slot = data + at;
            any = true;
        }
        at += length;
    }
    return any ? SnapshotError::None : SnapshotError::NoSections;
}

const uint8_t* SnapshotSector(const Snapshot& s, SnapshotSection section)
{
    return s.section[static_cast<int>(section)];
}

bool IsNvmeSnapshot(const Snapshot& s)
{
    return s.section[static_cast<int>(SnapshotSection::NvmeController)] ||
           s.section[static_cast<int>(SnapshotSection::NvmeNamespace)] ||
           s.section[static_cast<int>(SnapshotSection::NvmeHealth)];
}

const char* SnapshotErrorText(SnapshotError e)
{
    switch (e) {
    case SnapshotError::None: return "valid snapshot";
    case SnapshotError::Empty: return "empty file";
    case SnapshotError::Truncated: return "a section runs past the end of the file";
    case SnapshotError::BadSectionSize: return "a section has the wrong size";
    case SnapshotError::DuplicateSection: return "a section appears twice";
    case SnapshotError::NoSections: return "no drive section";
    }
    return "unknown error";
}
