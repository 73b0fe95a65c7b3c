// The NVMe decoders at their edges, the NVMe status rule, the 128-bit counter
// texts, and the checks of what the storage queries answer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "nvme.h"
#include "storage_query.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutText(Bytes& b, size_t offset, size_t length, const char* text)
{
    std::memset(b.data() + offset, ' ', length);
    std::memcpy(b.data() + offset, text, std::strlen(text));
}

std::string CounterText(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3, bool units = false)
{
    char text[64];
    const Counter128 c = {{w0, w1, w2, w3}};
    (units ? FormatDataUnits : FormatCounter128)(c, text, sizeof text);
    return text;
}

TEST(NvmeDecodeTest, ControllerTextsTrimmedAndBlankOnesKeepWhatWasThere)
{
    Bytes ct(NvmeIdentifySize, 0);
    PutText(ct, 4, 20, "  S3EVNX0J");
    PutText(ct, 24, 40, "");  // a model of spaces only
    PutText(ct, 64, 8, "1B6QCXP7");
    ct[80] = 0x00, ct[81] = 0x04, ct[82] = 0x01;  // VER 1.4
    ct[266] = 0x5C, ct[267] = 0x01;                // WCTEMP 348 K
    DriveRecord r{};
    std::strcpy(r.model, "Descriptor Product");
    DecodeNvmeController(ct.data(), r);
    EXPECT_STREQ(r.model, "Descriptor Product");
    EXPECT_STREQ(r.serial, "S3EVNX0J");
    EXPECT_STREQ(r.firmware, "1B6QCXP7");
    EXPECT_EQ(r.nvme.version, 0x10400u);
    EXPECT_EQ(r.nvme.warningTemperature, 348);
    EXPECT_EQ(r.nvme.criticalTemperature, 0);
    EXPECT_EQ(r.nvme.identifyRead, 1);
}

TEST(NvmeDecodeTest, BlockSizeOnlyFromAFormatInsideTheTableOfAtLeast512Bytes)
{
    Bytes ns(NvmeIdentifySize, 0);
    ns[0] = 0x00, ns[1] = 0x10;  // NSZE 4096
    ns[25] = 1;                  // two formats
    ns[128 + 2] = 9;             // format 0: 512 bytes
    ns[132 + 2] = 12;            // format 1: 4096 bytes
    const struct {
        uint8_t flbas;
        uint8_t format0Exponent;
        uint32_t blockSize;
    } cases[] = {
        {0x00, 9, 512}, {0x11, 9, 4096},  // bit 4 (metadata at the end) is not part of the index
        {0x02, 9, 0},                      // index beyond NLBAF
        {0x00, 8, 0},                      // 256-byte blocks
        {0x00, 32, 0},
    };
    for (const auto& c : cases) {
        ns[26] = c.flbas;
        ns[130] = c.format0Exponent;
        NvmeRecord n{};
        DecodeNvmeNamespace(ns.data(), n);
        EXPECT_EQ(n.namespaceBlocks, 4096u);
        EXPECT_EQ(n.blockSize, c.blockSize) << int(c.flbas) << " " << int(c.format0Exponent);
        EXPECT_EQ(n.capacityBytes, 4096u * c.blockSize);
    }
}

TEST(NvmeDecodeTest, HealthLogFieldsAndTheStatusOfEachWarningBit)
{
    Bytes log(NvmeHealthLogSize, 0);
    log[1] = 0x3C, log[2] = 0x01;  // 316 K
    log[3] = 10, log[4] = 10, log[5] = 3;
    log[32 + 8] = 1;    // Data Units Read: 2^64
    log[160] = 54;      // Media and Data Integrity Errors
    log[191] = 0x80;    // Error Information Log Entries: top bit of 128
    log[196] = 7;       // Critical Composite Temperature Time
    log[214] = 0x2A, log[215] = 0x01;  // sensor 8: 298 K
    NvmeRecord n{};
    EXPECT_EQ(GetNvmeStatus(n), DriveStatus::NotAvailable);
    DecodeNvmeHealth(log.data(), n.health);
    n.healthRead = 1;
    const NvmeHealth& h = n.health;
    EXPECT_EQ(h.compositeTemperature, 316);
    EXPECT_EQ(h.percentageUsed, 3);
    EXPECT_EQ(h.counters[NvmeDataUnitsRead].word[2], 1u);
    EXPECT_EQ(h.counters[NvmeMediaErrors].word[0], 54u);
    EXPECT_EQ(h.counters[NvmeErrorLogEntries].word[3], 0x80000000u);
    EXPECT_EQ(h.criticalTemperatureTime, 7u);
    EXPECT_EQ(h.temperatureSensors[7], 298);

    EXPECT_EQ(GetNvmeStatus(n), DriveStatus::Ok) << "spare equal to its threshold";
    n.health.availableSpare = 9;
    EXPECT_EQ(GetNvmeStatus(n), DriveStatus::Alert) << "spare below its threshold";
    n.health.availableSpare = 10;
    for (int bit = 0; bit < 8; ++bit) {
        n.health.criticalWarning = static_cast<uint8_t>(1 << bit);
        EXPECT_EQ(GetNvmeStatus(n), bit == 1 ? DriveStatus::Ok : DriveStatus::Alert) << "bit " << bit;
    }
}

TEST(NvmeDecodeTest, CountersInDecimalAndDataUnitsWithTheirAmount)
{
    EXPECT_EQ(CounterText(0, 0, 0, 0), "0");
    EXPECT_EQ(CounterText(0xFFFFFFFF, 0xFFFFFFFF, 0, 0), "18446744073709551615");
    EXPECT_EQ(CounterText(0, 0, 1, 0), "18446744073709551616");
    EXPECT_EQ(CounterText(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF),
              "340282366920938463463374607431768211455");
    EXPECT_EQ(CounterText(15834308, 0, 0, 0, true), "15834308 (8.1 TB)");
    EXPECT_EQ(CounterText(0, 0, 0, 0, true), "0");
    EXPECT_EQ(CounterText(1, 0, 0, 0, true), "1 (512.0 KB)");
    EXPECT_EQ(CounterText(1953, 0, 0, 0, true), "1953 (999.9 MB)");
    EXPECT_EQ(CounterText(1954, 0, 0, 0, true), "1954 (1.0 GB)");
    EXPECT_EQ(CounterText(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, true),
              "340282366920938463463374607431768211455 (174224571863520.5 QB)");
    char cut[5];
    FormatCounter128(Counter128{{123456, 0, 0, 0}}, cut, sizeof cut);
    EXPECT_STREQ(cut, "1234");
}

// ---- The storage queries -----------------------------------------------------

TEST(StorageQueryTest, NvmeRequestLayoutAndTheChecksOfItsAnswer)
{
    uint8_t buffer[NvmeQueryBufferSize];
    std::memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(BuildNvmeQuery(buffer, 50, 2, 2, 0, 512), 560u);
    const uint32_t words[] = {50, 0, 3, 2, 2, 0, 40, 512, 0, 0, 0, 0};
    for (int i = 0; i < 12; ++i) {
        uint32_t w;
        std::memcpy(&w, buffer + 4 * i, 4);
        EXPECT_EQ(w, words[i]) << "word " << i;
    }
    EXPECT_EQ(buffer[48], 0);
    EXPECT_EQ(buffer[559], 0);
    EXPECT_EQ(buffer[560], 0xEE);

    // The answer: version and size 48 at the start, the data at 8 + offset.
    auto answer = [&](uint32_t version, uint32_t size, uint32_t offset, uint32_t length) {
        const uint32_t head[] = {version, size, 3, 2, 2, 0, offset, length};
        std::memcpy(buffer, head, sizeof head);
    };
    answer(48, 48, 40, 512);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), buffer + 48);
    EXPECT_EQ(NvmeAnswerData(buffer, 559, 512), nullptr) << "cut short";
    EXPECT_EQ(NvmeAnswerData(buffer, 47, 0), nullptr);
    answer(48, 48, 44, 512);
    EXPECT_EQ(NvmeAnswerData(buffer, 564, 512), buffer + 52);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), nullptr) << "data moved past the end";
    answer(48, 48, 0xFFFFFFF8u, 512);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), nullptr) << "offset wrapping round";
    answer(48, 48, 39, 512);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), nullptr) << "data over the record";
    answer(48, 48, 40, 511);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), nullptr) << "less than asked for";
    answer(40, 48, 40, 512);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), nullptr) << "version";
    answer(48, 56, 40, 512);
    EXPECT_EQ(NvmeAnswerData(buffer, 560, 512), nullptr) << "size";
}

TEST(StorageQueryTest, DescriptorTextsOnlyInsideTheAnswerAndTerminated)
{
    uint8_t d[64] = {};
    d[28] = 17;
    std::memcpy(d + 40, "Product\0Rev", 12);  // "Rev" without its NUL at the very end
    std::memcpy(d + 52, "ABCDEFGHIJK", 12);
    EXPECT_EQ(DescriptorBusType(d, 64), 17u);
    EXPECT_EQ(DescriptorBusType(d, 31), 0u);
    EXPECT_STREQ(DescriptorText(d, 64, 40), "Product");
    EXPECT_STREQ(DescriptorText(d, 64, 52), "ABCDEFGHIJK");
    EXPECT_EQ(DescriptorText(d, 63, 52), nullptr) << "unterminated within the bytes returned";
    EXPECT_EQ(DescriptorText(d, 64, 0), nullptr);
    EXPECT_EQ(DescriptorText(d, 64, 12), nullptr) << "inside the fixed part";
    EXPECT_EQ(DescriptorText(d, 64, 64), nullptr);
    EXPECT_EQ(DescriptorText(d, 64, 0xFFFFFFFFu), nullptr);
}

}  // namespace
