#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "drive_table.h"
#include "identify.h"

namespace {

enum { SerialAt = 20, FirmwareAt = 46, ModelAt = 54 };

// An IDENTIFY DEVICE sector built the way a drive sends it: numbers
// little-endian, texts two characters per word with the first in the high
// byte, padded with blanks.
struct IdentifySector {
    uint8_t bytes[SectorSize] = {};

    void Word(int word, uint16_t v)
    {
        bytes[2 * word] = static_cast<uint8_t>(v);
        bytes[2 * word + 1] = static_cast<uint8_t>(v >> 8);
    }

    void Text(int offset, int length, const std::string& text)
    {
        for (int k = 0; k < length; ++k) {
            char c = k < static_cast<int>(text.size()) ? text[k] : ' ';
            bytes[offset + (k ^ 1)] = static_cast<uint8_t>(c);
        }
    }

    // A present drive with small, distinct numbers and texts.
    static IdentifySector Typical()
    {
        IdentifySector s;
        s.Word(1, 16383);
        s.Word(3, 16);
        s.Word(6, 63);
        s.Word(60, 0x5678);
        s.Word(61, 0x1234);
        s.Text(ModelAt, 40, "ST320410A");
        s.Text(FirmwareAt, 8, "3.39");
        s.Text(SerialAt, 20, "5ED1X2AB");
        return s;
    }
};

class IdentifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDriveTable();
        for (DriveRecord& r : DriveTable)
            r.listPosition = -1;
    }

    static DriveRecord& Decode(IdentifySector s, int drive = 0)
    {
        DecodeIdentify(s.bytes, drive);
        return DriveTable[drive];
    }
};

// --- numbers: byte order and no validity checks ---

TEST_F(IdentifyTest, WordsAreLittleEndian)
{
    IdentifySector s = IdentifySector::Typical();
    s.bytes[2] = 0x34;  // cylinders low byte
    s.bytes[3] = 0x12;
    s.bytes[6] = 0x0F;
    s.bytes[7] = 0x01;
    s.bytes[12] = 0x3F;
    s.bytes[13] = 0x02;
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.cylinders, 0x1234);
    EXPECT_EQ(r.heads, 0x010F);
    EXPECT_EQ(r.sectorsPerTrack, 0x023F);
}

TEST_F(IdentifyTest, TotalSectorsTakesByte120AsLowestAndByte123AsHighest)
{
    IdentifySector s = IdentifySector::Typical();
    s.bytes[120] = 0x78;
    s.bytes[121] = 0x56;
    s.bytes[122] = 0x34;
    s.bytes[123] = 0x12;
    EXPECT_EQ(Decode(s).totalSectors, 0x12345678u);
}

TEST_F(IdentifyTest, TotalSectorsIsUnsigned)
{
    IdentifySector s = IdentifySector::Typical();
    s.Word(60, 0xFFFF);
    s.Word(61, 0xFFFF);
    s.Word(1, 0xFFFF);
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.totalSectors, 0xFFFFFFFFu);
    EXPECT_EQ(r.cylinders, 0xFFFF);
}

TEST_F(IdentifyTest, Lba48CountOnlyWhereWord83IsValidAndAnnouncesIt)
{
    IdentifySector s = IdentifySector::Typical();
    for (int w : {100, 101, 102, 103})
        s.Word(w, static_cast<uint16_t>(w == 102 ? 1 : 0xABCD));  // 0x0001ABCDABCD; word 103 is not read
    // Bits 15:14 = 01 make the word valid; bit 10 announces 48-bit addressing.
    for (uint16_t word83 : {0x4400, 0x7FFF, 0x4000, 0xC400, 0x0400, 0xFFFF}) {
        s.Word(83, word83);
        const bool announced = (word83 & 0xC400) == 0x4400;
        EXPECT_EQ(Decode(s).totalSectors48, announced ? 0x1ABCDABCDu : 0u) << std::hex << word83;
        EXPECT_EQ(DriveTable[0].totalSectors, 0x12345678u);
    }
    s.Word(83, 0x4400);
    for (int w : {100, 101, 102})
        s.Word(w, 0);
    EXPECT_EQ(DriveCapacity(Decode(s)), 0x12345678u) << "a zero count leaves words 60-61";
}

TEST_F(IdentifyTest, ZeroNumbersAreStoredAndDriveStaysPresent)
{
    IdentifySector s = IdentifySector::Typical();
    for (int w : {1, 3, 6, 60, 61})
        s.Word(w, 0);
    DriveTable[0].cylinders = 7;
    DriveTable[0].totalSectors = 7;
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.present, 1);
    EXPECT_EQ(r.cylinders, 0);
    EXPECT_EQ(r.heads, 0);
    EXPECT_EQ(r.sectorsPerTrack, 0);
    EXPECT_EQ(r.totalSectors, 0u);
}

TEST_F(IdentifyTest, FillsOnlyTheGivenDrive)
{
    const DriveRecord& r = Decode(IdentifySector::Typical(), 2);
    EXPECT_EQ(r.present, 1);
    EXPECT_STREQ(r.model, "ST320410A");
    for (int d : {0, 1, 3}) {
        EXPECT_EQ(DriveTable[d].present, 0) << d;
        EXPECT_STREQ(DriveTable[d].model, "") << d;
    }
}

// --- texts: byte pairs, lengths, NULs ---

TEST_F(IdentifyTest, TextsReadHighByteOfEachWordFirst)
{
    IdentifySector s = IdentifySector::Typical();
    s.bytes[54] = 'B';
    s.bytes[55] = 'A';
    s.bytes[56] = 'D';
    s.bytes[57] = 'C';
    for (int i = 58; i < 94; ++i)
        s.bytes[i] = ' ';
    EXPECT_STREQ(Decode(s).model, "ABCD");
}

TEST_F(IdentifyTest, ThreeTextsComeFromTheirOwnRanges)
{
    IdentifySector s = IdentifySector::Typical();
    s.Text(ModelAt, 40, "Maxtor 96147H8");
    s.Text(FirmwareAt, 8, "BAC51KJ0");
    s.Text(SerialAt, 20, "W40AJ4NC");
    const DriveRecord& r = Decode(s);
    EXPECT_STREQ(r.model, "Maxtor 96147H8");
    EXPECT_STREQ(r.firmware, "BAC51KJ0");
    EXPECT_STREQ(r.serial, "W40AJ4NC");
}

TEST_F(IdentifyTest, FullLengthTextsKeepEveryCharacterAndReadNothingBeyond)
{
    const std::string model = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    IdentifySector s = IdentifySector::Typical();
    s.Text(ModelAt, 40, model);
    s.Text(FirmwareAt, 8, "12345678");  // followed directly by the model
    s.Text(SerialAt, 20, "SERIAL0123456789WXYZ");  // followed by words 20 to 22
    s.Word(20, 0x4141);
    s.Word(47, 0x4242);  // just behind the model
    const DriveRecord& r = Decode(s);
    ASSERT_EQ(model.size(), 40u);
    EXPECT_EQ(std::string(r.model), model);
    EXPECT_STREQ(r.firmware, "12345678");
    EXPECT_STREQ(r.serial, "SERIAL0123456789WXYZ");
}

TEST_F(IdentifyTest, TextEndsAtFirstNulInsideTheRange)
{
    IdentifySector s = IdentifySector::Typical();
    s.Text(ModelAt, 40, std::string("WDC WD2500JB") + '\0' + "GARBAGE");
    EXPECT_STREQ(Decode(s).model, "WDC WD2500JB");
}

TEST_F(IdentifyTest, DecodedTextReplacesALongerOldOne)
{
    std::memset(DriveTable[0].model, 'X', TextSize - 1);
    std::memset(DriveTable[0].serial, 'X', TextSize - 1);
    const DriveRecord& r = Decode(IdentifySector::Typical());
    EXPECT_STREQ(r.model, "ST320410A");
    EXPECT_STREQ(r.serial, "5ED1X2AB");
}

TEST_F(IdentifyTest, AllNulSerialIsEmptyAndDriveStaysPresent)
{
    IdentifySector s = IdentifySector::Typical();
    std::memset(s.bytes + SerialAt, 0, 20);
    const DriveRecord& r = Decode(s);
    EXPECT_STREQ(r.serial, "");
    EXPECT_EQ(r.present, 1);
}

TEST_F(IdentifyTest, BlanksAreTrimmedAtBothEndsButKeptInside)
{
    IdentifySector s = IdentifySector::Typical();
    s.Text(FirmwareAt, 8, "  3AA112");
    s.Text(ModelAt, 40, "  WDC   WD2500JB   ");
    s.Text(SerialAt, 20, "            WD123456");
    const DriveRecord& r = Decode(s);
    EXPECT_STREQ(r.firmware, "3AA112");
    EXPECT_STREQ(r.model, "WDC   WD2500JB");
    EXPECT_STREQ(r.serial, "WD123456");
}

TEST_F(IdentifyTest, TabsAndHighBytesAreNotBlanks)
{
    IdentifySector s = IdentifySector::Typical();
    s.Text(ModelAt, 40, "\tMODEL\t");
    s.Text(SerialAt, 20, " \xE9t\xFF ");
    const DriveRecord& r = Decode(s);
    EXPECT_STREQ(r.model, "\tMODEL\t");
    EXPECT_STREQ(r.serial, "\xE9t\xFF");
}

TEST_F(IdentifyTest, TextRangesAreLeftSwappedAndTheRestUntouched)
{
    IdentifySector original = IdentifySector::Typical();
    for (int i = 0; i < SectorSize; ++i) {
        if (original.bytes[i] == 0)
            original.bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    IdentifySector s = original;
    DecodeIdentify(s.bytes, 0);
    auto inText = [](int i) {
        return (i >= SerialAt && i < SerialAt + 20) || (i >= FirmwareAt && i < ModelAt + 40);
    };
    for (int i = 0; i < SectorSize; ++i) {
        uint8_t expected = inText(i) ? original.bytes[i ^ 1] : original.bytes[i];
        ASSERT_EQ(s.bytes[i], expected) << "byte " << i;
    }
}

// --- presence ---

TEST_F(IdentifyTest, AllBlankModelIsNotPresentButOtherFieldsStay)
{
    IdentifySector s = IdentifySector::Typical();
    s.Text(ModelAt, 40, "");
    DriveTable[0].listPosition = 0;
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.present, 0);
    EXPECT_EQ(r.listPosition, -1);
    EXPECT_STREQ(r.model, "");
    EXPECT_EQ(r.cylinders, 16383);
    EXPECT_EQ(r.heads, 16);
    EXPECT_EQ(r.sectorsPerTrack, 63);
    EXPECT_EQ(r.totalSectors, 0x12345678u);
    EXPECT_STREQ(r.firmware, "3.39");
    EXPECT_STREQ(r.serial, "5ED1X2AB");
}

TEST_F(IdentifyTest, NulAsFirstModelCharacterIsNotPresentWhateverFollows)
{
    IdentifySector s = IdentifySector::Typical();
    s.Text(ModelAt, 40, "XST320410A");
    s.bytes[55] = 0;
    const DriveRecord& r = Decode(s);
    EXPECT_EQ(r.present, 0);
    EXPECT_EQ(r.listPosition, -1);
}

TEST_F(IdentifyTest, AllZeroSectorIsNotPresent)
{
    const DriveRecord& r = Decode(IdentifySector{});
    EXPECT_EQ(r.present, 0);
    EXPECT_EQ(r.listPosition, -1);
}

TEST_F(IdentifyTest, NonEmptyModelMakesAPreviouslyAbsentRecordPresent)
{
    Decode(IdentifySector{}, 1);
    const DriveRecord& r = Decode(IdentifySector::Typical(), 1);
    EXPECT_EQ(r.present, 1);
}

// --- the helpers on their own ---

TEST(SwapBytePairsTest, SwapsEachPairWithinTheLengthOnly)
{
    uint8_t b[] = {'1', '2', '3', '4', '5', '6'};
    SwapBytePairs(b, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 6), "214356");
    SwapBytePairs(b, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b), 6), "214356");
}

TEST(ExtractAtaTextTest, TakesAtMostLengthCharacters)
{
    uint8_t sector[SectorSize];
    std::memset(sector, 'Z', sizeof sector);
    std::memcpy(sector + 100, "BADCFEHG", 8);
    char field[TextSize];
    std::memset(field, 'Q', sizeof field);
    ExtractAtaText(sector, 100, 8, field);
    EXPECT_STREQ(field, "ABCDEFGH");
    EXPECT_EQ(sector[99], 'Z');
    EXPECT_EQ(sector[108], 'Z');
}

std::string Trimmed(const char* text)
{
    char buf[TextSize] = {};
    std::strcpy(buf, text);
    TrimBlanks(buf);
    return buf;
}

TEST(TrimBlanksTest, RemovesBlanksAtBothEndsOnly)
{
    EXPECT_EQ(Trimmed(""), "");
    EXPECT_EQ(Trimmed("a"), "a");
    EXPECT_EQ(Trimmed(" a"), "a");
    EXPECT_EQ(Trimmed("a "), "a");
    EXPECT_EQ(Trimmed("   a b  c   "), "a b  c");
    EXPECT_EQ(Trimmed("\ta\t"), "\ta\t");
    EXPECT_EQ(Trimmed(" \n"), "\n");
}

TEST(TrimBlanksTest, AllBlankTextBecomesAllNul)
{
    char buf[8] = {' ', ' ', ' ', ' ', ' ', '\0', 'x', 'y'};
    TrimBlanks(buf);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(buf[i], '\0') << i;
    EXPECT_EQ(buf[6], 'x');  // nothing behind the terminator is touched
    char one[] = " ";
    TrimBlanks(one);
    EXPECT_EQ(one[0], '\0');
}

TEST(TrimBlanksTest, LeadingBlanksLeaveNoCharacterBehindTheText)
{
    char buf[] = "   abc";
    TrimBlanks(buf);
    EXPECT_STREQ(buf, "abc");
    for (int i = 3; i < 7; ++i)
        EXPECT_EQ(buf[i], '\0') << i;
}

TEST(TrimBlanksTest, SecondTrimChangesNothing)
{
    char once[] = "  x  y  ";
    TrimBlanks(once);
    char twice[sizeof once];
    std::memcpy(twice, once, sizeof once);
    TrimBlanks(twice);
    EXPECT_EQ(std::memcmp(once, twice, sizeof once), 0);
}

}  // namespace
