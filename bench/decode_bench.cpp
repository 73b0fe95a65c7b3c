// Measures decoding one drive (IDENTIFY sector, attribute and threshold
// sectors, status) and counts the heap allocations made while doing it.
// Prints both; exits 1 when the decoding allocated anything.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "allocation_counter.h"
#include "attributes.h"
#include "drive_table.h"
#include "identify.h"

// --- one synthetic drive ---------------------------------------------------

namespace {

constexpr int Iterations = 1000000;

uint8_t IdentifySample[SectorSize];
uint8_t AttributeSample[SectorSize];
uint8_t ThresholdSample[SectorSize];

void PutAtaText(uint8_t* sector, int offset, int length, const char* text)
{
    size_t n = std::strlen(text);
    for (int k = 0; k < length; ++k)
        sector[offset + (k ^ 1)] = static_cast<uint8_t>(static_cast<size_t>(k) < n ? text[k] : ' ');
}

// A drive with blank-padded texts and all 30 attribute entries in use, the
// most work the decoders can be given.
void MakeSampleDrive()
{
    IdentifySample[2] = 0xFF;
    IdentifySample[3] = 0x3F;
    IdentifySample[6] = 16;
    IdentifySample[12] = 63;
    IdentifySample[120] = 0xB0;
    IdentifySample[121] = 0xA9;
    IdentifySample[122] = 0x73;
    IdentifySample[123] = 0x07;
    PutAtaText(IdentifySample, 20, 20, "        SN00012345");
    PutAtaText(IdentifySample, 46, 8, "3.AAE");
    PutAtaText(IdentifySample, 54, 40, "EXAMPLE DISK 2000");
    const int ids[AttributeEntries] = {1,   2,   3,   4,   5,   7,   8,   9,   10,  12,
                                       191, 192, 193, 194, 195, 196, 197, 198, 199, 200,
                                       220, 222, 223, 224, 225, 226, 228, 240, 184, 187};
    for (int k = 0; k < AttributeEntries; ++k) {
        uint8_t* a = AttributeSample + 2 + 12 * k;
        a[0] = static_cast<uint8_t>(ids[k]);
        a[3] = static_cast<uint8_t>(100 + k);
        ThresholdSample[2 + 12 * k] = a[0];
        ThresholdSample[2 + 12 * k + 1] = static_cast<uint8_t>(k < 10 ? 20 : 0);
    }
}

// What the scan does for one position, then what the drive list asks.
DriveStatus DecodeOneDrive(uint8_t* identifyBuffer)
{
    std::memcpy(identifyBuffer, IdentifySample, SectorSize);  // the decoder swaps it in place
    DriveTable[0].listPosition = -1;
    DriveTable[0].smartEnabled = 1;
    DecodeIdentify(identifyBuffer, 0);
    DecodeAttributes(AttributeSample, ThresholdSample, 0);
    return GetDriveStatus(0);
}

}  // namespace

int main()
{
    MakeSampleDrive();
    static uint8_t identifyBuffer[SectorSize];
    ResetDriveTable();
    DecodeOneDrive(identifyBuffer);  // warm up caches
    if (DriveTable[0].present != 1 || DriveTable[0].attributes[29].name[0] == '\0') {
        std::fprintf(stderr, "decode_bench: the sample drive did not decode\n");
        return 2;
    }

    int alerts = 0;
    StartCountingAllocations();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Iterations; ++i)
        alerts += DecodeOneDrive(identifyBuffer) == DriveStatus::Alert;
    auto stop = std::chrono::steady_clock::now();
    StopCountingAllocations();
    long counted = CountedAllocations();

    double ns = std::chrono::duration<double, std::nano>(stop - start).count() / Iterations;
    std::printf("decode one drive (identify + 30 attributes + status): %.1f ns per drive (%d runs, %d alerts)\n",
                ns, Iterations, alerts);
    std::printf("heap allocations while decoding: %ld\n", counted);
    return counted == 0 ? 0 : 1;
}
