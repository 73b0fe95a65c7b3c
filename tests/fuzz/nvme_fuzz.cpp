// Fuzzes what an NVMe drive and its driver hand the program: the input is a
// storage query's answer (device descriptor or protocol data descriptor) and,
// zero-padded, each of the three NVMe structures; the decoded record must
// keep its invariants and its page texts must fit their cells.
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "nvme.h"
#include "nvme_text.h"
#include "record_checks.h"
#include "storage_query.h"

namespace {

uint8_t Structure[NvmeIdentifySize];

void CheckDescriptorTexts(const uint8_t* data, uint32_t size)
{
    STORAGE_DEVICE_DESCRIPTOR d = {};
    std::memcpy(&d, data, size < sizeof d ? size : sizeof d);
    for (uint32_t offset : {d.VendorIdOffset, d.ProductIdOffset, d.ProductRevisionOffset, d.SerialNumberOffset}) {
        const char* text = DescriptorText(data, size, offset);
        if (text)
            FUZZ_REQUIRE(text >= reinterpret_cast<const char*>(data) + 36 &&
                         text + std::strlen(text) < reinterpret_cast<const char*>(data) + size);
    }
    FUZZ_REQUIRE(size >= 32 || DescriptorBusType(data, size) == 0);
}

void CheckProtocolAnswer(const uint8_t* data, uint32_t size)
{
    for (uint32_t length : {0u, 512u, 4096u}) {
        const uint8_t* payload = NvmeAnswerData(data, size, length);
        if (payload)
            FUZZ_REQUIRE(payload >= data + ProtocolDataStart && payload + length <= data + size);
    }
}

void CheckCells(const DriveRecord& r)
{
    InfoRowText rows[InfoRowCount];
    MakeInfoRows(r, rows);
    for (const InfoRowText& row : rows)
        FUZZ_REQUIRE(std::memchr(row.value, '\0', CellSize) != nullptr);
    for (int k = 0; k < NvmeAttributeRowCount; ++k) {
        AttributeRowText row;
        MakeNvmeAttributeRow(r.nvme, k, &row);
        FUZZ_REQUIRE(std::strlen(row.value) < CellSize && std::strlen(row.threshold) < CellSize);
        if (k >= 7) {
            for (const char* c = row.value; *c; ++c)
                FUZZ_REQUIRE(*c >= '0' && *c <= '9');
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > NvmeQueryBufferSize)
        return 0;
    const uint32_t n = static_cast<uint32_t>(size);
    CheckDescriptorTexts(data, n);
    CheckProtocolAnswer(data, n);

    std::memset(Structure, 0, sizeof Structure);
    std::memcpy(Structure, data, size < sizeof Structure ? size : sizeof Structure);
    static DriveRecord r;
    std::memset(&r, 0, sizeof r);
    r.busType = DriveBusNvme;
    DecodeNvmeController(Structure, r);
    CheckText(r.model, 40);
    CheckText(r.serial, 20);
    CheckText(r.firmware, 8);
    DecodeNvmeNamespace(Structure, r.nvme);
    FUZZ_REQUIRE(r.nvme.blockSize == 0 || (r.nvme.blockSize >= 512 && (r.nvme.blockSize & (r.nvme.blockSize - 1)) == 0));
    DecodeNvmeHealth(Structure, r.nvme.health);
    r.nvme.healthRead = data[0] & 1;
    const DriveStatus status = GetRecordStatus(r);
    FUZZ_REQUIRE(r.nvme.healthRead ? status != DriveStatus::NotAvailable : status == DriveStatus::NotAvailable);
    CheckCells(r);
    return 0;
}
