#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "identify.h"
#include "snapshot.h"

namespace {

// Builds snapshot file data section by section.
class SnapshotFile {
public:
    // A section whose size field and data length agree; data bytes are fill.
    SnapshotFile& Section(const char* tag, uint32_t size, uint8_t fill = 0)
    {
        Header(tag, size);
        bytes_.insert(bytes_.end(), size, fill);
        return *this;
    }

    // Only the 8-byte header, with any size.
    SnapshotFile& Header(const char* tag, uint32_t size)
    {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<uint8_t>(tag[i]));
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes_.push_back(static_cast<uint8_t>(size >> shift));
        return *this;
    }

    SnapshotFile& Raw(size_t count, uint8_t fill = 0)
    {
        bytes_.insert(bytes_.end(), count, fill);
        return *this;
    }

    // Offset where the data of the next section will start.
    size_t NextData() const { return bytes_.size() + 8; }

    // Parses an exactly sized heap copy, so reading past the end is caught
    // by the address sanitizer.
    SnapshotError Parse(Snapshot* out)
    {
        data_.reset(new uint8_t[bytes_.size() ? bytes_.size() : 1]);
        std::copy(bytes_.begin(), bytes_.end(), data_.get());
        return ParseSnapshot(data_.get(), bytes_.size(), out);
    }

    const uint8_t* At(size_t offset) const { return data_.get() + offset; }

private:
    std::vector<uint8_t> bytes_;
    std::unique_ptr<uint8_t[]> data_;
};

const uint8_t* Sector(const Snapshot& s, SnapshotSection section)
{
    return SnapshotSector(s, section);
}

// --- well-formed files ---

TEST(SnapshotTest, FindsTheThreeSectorsInAnyOrderAndSkipsUnknownTags)
{
    SnapshotFile f;
    size_t thresholds = f.NextData();
    f.Section("SMTH", 512, 3);
    f.Section("SMST", 4, 9);
    size_t attributes = f.NextData();
    f.Section("SMDT", 512, 2);
    f.Section("XYZW", 0);
    f.Section("ABCD", 3, 7);  // odd size: the next header is unaligned
    size_t identify = f.NextData();
    f.Section("IDFY", 512, 1);
    Snapshot s;
    ASSERT_EQ(f.Parse(&s), SnapshotError::None);
    EXPECT_EQ(Sector(s, SnapshotSection::Identify), f.At(identify));
    EXPECT_EQ(Sector(s, SnapshotSection::Attributes), f.At(attributes));
    EXPECT_EQ(Sector(s, SnapshotSection::Thresholds), f.At(thresholds));
}

TEST(SnapshotTest, MissingSectionIsNull)
{
    SnapshotFile f;
    f.Section("IDFY", 512).Section("SMDT", 512);
    Snapshot s;
    ASSERT_EQ(f.Parse(&s), SnapshotError::None);
    EXPECT_NE(Sector(s, SnapshotSection::Identify), nullptr);
    EXPECT_NE(Sector(s, SnapshotSection::Attributes), nullptr);
    EXPECT_EQ(Sector(s, SnapshotSection::Thresholds), nullptr);
}

TEST(SnapshotTest, SectionEndingExactlyAtEndOfFileIsValid)
{
    SnapshotFile f;
    f.Section("SMST", 4).Section("IDFY", 512);
    Snapshot s;
    EXPECT_EQ(f.Parse(&s), SnapshotError::None);
}

// --- malformed files ---

TEST(SnapshotTest, EmptyFile)
{
    SnapshotFile f;
    Snapshot s;
    EXPECT_EQ(f.Parse(&s), SnapshotError::Empty);
}

TEST(SnapshotTest, HeaderCutShortIsTruncated)
{
    for (size_t n = 1; n < 8; ++n) {
        SnapshotFile f;
        f.Raw(n, 'I');
        Snapshot s;
        EXPECT_EQ(f.Parse(&s), SnapshotError::Truncated) << n << " bytes";
    }
    SnapshotFile f;
    f.Section("IDFY", 512).Raw(7);
    Snapshot s;
    EXPECT_EQ(f.Parse(&s), SnapshotError::Truncated);
}

TEST(SnapshotTest, SizePastEndIsTruncated)
{
    SnapshotFile shortData;
    shortData.Header("IDFY", 512).Raw(511);
    Snapshot s;
    EXPECT_EQ(shortData.Parse(&s), SnapshotError::Truncated);

    SnapshotFile unknownTag;
    unknownTag.Section("IDFY", 512).Header("SMST", 5).Raw(4);
    EXPECT_EQ(unknownTag.Parse(&s), SnapshotError::Truncated);

    // Sizes that would wrap an offset computed as position + size.
    for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u, 0x80000000u}) {
        SnapshotFile huge;
        huge.Header("ABCD", size).Section("IDFY", 512);
        EXPECT_EQ(huge.Parse(&s), SnapshotError::Truncated) << size;
    }
}

TEST(SnapshotTest, SectorSectionOfWrongSize)
{
    for (uint32_t size : {0u, 4u, 511u, 513u, 1024u}) {
        SnapshotFile f;
        f.Section("SMDT", size);
        Snapshot s;
        EXPECT_EQ(f.Parse(&s), SnapshotError::BadSectionSize) << size;
    }
}

TEST(SnapshotTest, DuplicateSector)
{
    SnapshotFile f;
    f.Section("SMTH", 512).Section("IDFY", 512).Section("SMTH", 512);
    Snapshot s;
    EXPECT_EQ(f.Parse(&s), SnapshotError::DuplicateSection);
}

TEST(SnapshotTest, OnlyUnknownSectionsHaveNoSectors)
{
    SnapshotFile f;
    f.Section("SMST", 4).Section("idfy", 512).Section("IDF ", 512);
    Snapshot s;
    EXPECT_EQ(f.Parse(&s), SnapshotError::NoSections);
    EXPECT_EQ(Sector(s, SnapshotSection::Identify), nullptr);
}

TEST(SnapshotTest, EveryErrorHasItsOwnText)
{
    const SnapshotError all[] = {SnapshotError::None, SnapshotError::Empty,
                                 SnapshotError::Truncated, SnapshotError::BadSectionSize,
                                 SnapshotError::DuplicateSection, SnapshotError::NoSections};
    for (SnapshotError a : all) {
        EXPECT_STRNE(SnapshotErrorText(a), "");
        for (SnapshotError b : all) {
            if (a != b) {
                EXPECT_STRNE(SnapshotErrorText(a), SnapshotErrorText(b));
            }
        }
    }
}

}  // namespace
