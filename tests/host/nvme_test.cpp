// The NVMe decoders and status rule at their edges, the 128-bit counter texts,
// and the checks of what the storage queries answer (their requests are
// checked by the emulated driver).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "nvme.h"
#include "storage_query.h"

namespace {

std::string Text(void (*format)(const Counter128&, char*, size_t), Counter128 c)
{
    char text[64];
    format(c, text, sizeof text);
    return text;
}

TEST(NvmeTest, DecodersAtTheirEdges)
{
    std::vector<uint8_t> s(NvmeIdentifySize, ' ');
    std::memcpy(&s[64], "1B6QCXP7", 8);
    DriveRecord r{};
    std::strcpy(r.model, "From the descriptor");
    DecodeNvmeController(s.data(), r);  // model and serial of spaces only
    EXPECT_STREQ(r.model, "From the descriptor");
    EXPECT_STREQ(r.firmware, "1B6QCXP7");

    std::fill(s.begin(), s.end(), 0);
    s[1] = 0x10;      // NSZE 4096
    s[25] = 1;        // NLBAF: two formats
    s[132 + 2] = 12;  // format 1: 4096 bytes
    // FLBAS (its index in the low nibble) and format 0's size exponent; block size.
    for (const auto& [flbas, exponent0, blockSize] :
         {std::tuple<uint8_t, uint8_t, uint32_t>{0x00, 9, 512}, {0x11, 9, 4096}, {0x02, 9, 0}, {0x00, 8, 0}, {0x00, 32, 0}}) {
        s[26] = flbas;
        s[130] = exponent0;
        NvmeRecord n{};
        DecodeNvmeNamespace(s.data(), n);
        EXPECT_EQ(n.capacityBytes, 4096ull * blockSize) << int(flbas) << "/" << int(exponent0);
    }

    s[3] = 10, s[4] = 10, s[191] = 0x80;
    NvmeRecord n{};
    EXPECT_EQ(GetNvmeStatus(n), DriveStatus::NotAvailable);
    DecodeNvmeHealth(s.data(), n.health);
    n.healthRead = 1;
    EXPECT_EQ(n.health.counters[NvmeErrorLogEntries].word[3], 0x80000000u);
    EXPECT_EQ(GetNvmeStatus(n), DriveStatus::Ok) << "spare equal to its threshold";
    n.health.availableSpare = 9;
    EXPECT_EQ(GetNvmeStatus(n), DriveStatus::Alert);
    n.health.availableSpare = 10;
    for (int bit = 0; bit < 8; ++bit) {
        n.health.criticalWarning = static_cast<uint8_t>(1 << bit);
        EXPECT_EQ(GetNvmeStatus(n), bit == 1 ? DriveStatus::Ok : DriveStatus::Alert) << "bit " << bit;
    }

    // The counters' texts, above 2^64 too.
    EXPECT_EQ(Text(FormatCounter128, {{~0u, ~0u}}), "18446744073709551615");
    EXPECT_EQ(Text(FormatDataUnits, {{0, 0, 1}}), "18446744073709551616 (9.4 YB)");
    EXPECT_EQ(Text(FormatDataUnits, {{~0u, ~0u, ~0u, ~0u}}), "340282366920938463463374607431768211455 (174224571863520.5 QB)");
    EXPECT_EQ(Text(FormatDataUnits, {}), "0");
    EXPECT_EQ(Text(FormatDataUnits, {{1953}}), "1953 (999.9 MB)");

    // A protocol answer: version and size 48, the data at 8 + offset.
    uint8_t b[564] = {};
    auto answer = [&](uint32_t version, uint32_t offset, uint32_t length, uint32_t returned) {
        const uint32_t head[] = {version, 48, 3, 2, 2, 0, offset, length};
        std::memcpy(b, head, sizeof head);
        return NvmeAnswerData(b, returned, 512);
    };
    EXPECT_EQ(answer(48, 44, 512, 564), b + 52);
    EXPECT_EQ(answer(48, 44, 512, 563), nullptr) << "cut short";
    EXPECT_EQ(answer(48, 0xFFFFFFF8u, 512, 560), nullptr) << "offset wrapping round";
    EXPECT_EQ(answer(48, 39, 512, 560), nullptr) << "data over the record";
    EXPECT_EQ(answer(48, 40, 511, 560), nullptr) << "less than asked for";
    EXPECT_EQ(answer(40, 40, 512, 560), nullptr) << "version";
    EXPECT_EQ(DescriptorText(b, 564, 12), nullptr) << "a text offset inside the fixed part";
}

}  // namespace
