// Fuzzes what an NVMe drive and its driver hand the program: the input is a
// storage query's answer (device descriptor or protocol data descriptor) and,
// zero-padded, each NVMe structure; the record must keep its invariants and
// the page texts must fit their cells.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "nvme.h"
#include "nvme_text.h"
#include "record_checks.h"
#include "storage_query.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > NvmeQueryBufferSize)
        return 0;
    const uint32_t n = static_cast<uint32_t>(size);
    for (uint32_t at = 12; at + 4 <= n && at <= 24; at += 4) {  // the four text offsets
        uint32_t offset;
        std::memcpy(&offset, data + at, 4);
        if (const char* text = DescriptorText(data, n, offset))
            FUZZ_REQUIRE(text >= reinterpret_cast<const char*>(data) + 36 &&
                         text + std::strlen(text) < reinterpret_cast<const char*>(data) + n);
    }
    for (uint32_t length : {0u, 512u, 4096u}) {
        if (const uint8_t* payload = NvmeAnswerData(data, n, length))
            FUZZ_REQUIRE(payload >= data + ProtocolDataStart && payload + length <= data + n);
    }

    static uint8_t s[NvmeIdentifySize];
    static DriveRecord r;
    std::memset(s, 0, sizeof s);
    std::memcpy(s, data, size < sizeof s ? size : sizeof s);
    std::memset(&r, 0, sizeof r);
    r.busType = DriveBusNvme;
    DecodeNvmeController(s, r);
    for (const auto& [text, length] : {std::pair{r.model, 40}, {r.serial, 20}, {r.firmware, 8}})
        CheckText(text, length);
    DecodeNvmeNamespace(s, r.nvme);
    const uint32_t block = r.nvme.blockSize;
    FUZZ_REQUIRE(block == 0 || (block >= 512 && (block & (block - 1)) == 0));
    DecodeNvmeHealth(s, r.nvme.health);
    r.nvme.healthRead = size & 1;
    FUZZ_REQUIRE((GetRecordStatus(r) == DriveStatus::NotAvailable) == !r.nvme.healthRead);
    InfoRowText rows[InfoRowCount];
    MakeInfoRows(r, rows);  // each cell is cut to its size; the sanitizers watch
    for (int k = 7; k < NvmeAttributeRowCount; ++k) {
        AttributeRowText row;
        MakeNvmeAttributeRow(r.nvme, k, &row);
        FUZZ_REQUIRE(std::strspn(row.value, "0123456789") == std::strlen(row.value));
    }
    return 0;
}
