// Measures one ScanDrives over four drives served by the emulated SMART driver
// from snapshot files (each open reads its file, as the program does), and
// counts the heap allocations made meanwhile. Prints both; exits 1 when the
// scan allocated anything.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "allocation_counter.h"
#include "drive_scan.h"
#include "drive_table.h"
#include "emulated_drives.h"
#include "posix_drive_files.h"
#include "quiet_smart_os.h"

namespace {

constexpr int Iterations = 20000;

void PutSection(std::string& file, const char* tag, const uint8_t* data)
{
    file.append(tag, 4);
    file.append("\0\0\x02\0", 4);
    file.append(reinterpret_cast<const char*>(data), 512);
}

// Four drives with blank-padded texts and all 30 attribute entries in use.
bool WriteDrives(const std::string& folder)
{
    for (int d = 0; d < DriveCount; ++d) {
        uint8_t identify[512] = {}, attributes[512] = {}, thresholds[512] = {};
        char model[41];
        std::snprintf(model, sizeof model, "EXAMPLE DISK %-27d", d);
        for (int k = 0; k < 40; ++k)
            identify[54 + (k ^ 1)] = static_cast<uint8_t>(model[k]);
        for (int k = 0; k < 20; ++k)
            identify[20 + (k ^ 1)] = static_cast<uint8_t>(k < 10 ? ' ' : '0' + k % 10);
        for (int k = 0; k < 30; ++k) {
            attributes[2 + 12 * k] = static_cast<uint8_t>(k < 13 ? k + 1 : 180 + k);
            attributes[2 + 12 * k + 3] = static_cast<uint8_t>(100 + k);
            thresholds[2 + 12 * k + 1] = static_cast<uint8_t>(k % 3 ? 0 : 20);
        }
        std::string file;
        PutSection(file, "IDFY", identify);
        PutSection(file, "SMDT", attributes);
        PutSection(file, "SMTH", thresholds);
        const std::string path = folder + "/drive" + std::to_string(d) + ".blob";
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size())
            return false;
        std::fclose(out);
    }
    return true;
}

void RemoveDrives(const std::string& folder)
{
    for (int d = 0; d < DriveCount; ++d)
        std::remove((folder + "/drive" + std::to_string(d) + ".blob").c_str());
    rmdir(folder.c_str());
}

}  // namespace

int main()
{
    char folder[] = "/tmp/ostrivel-scan-bench-XXXXXX";
    if (!mkdtemp(folder) || !WriteDrives(folder)) {
        std::fprintf(stderr, "scan_bench: cannot write the drive files\n");
        return 2;
    }
    SetSmartOs(StartEmulatedDrives(QuietSmartOs(), PosixDriveFiles(), folder));
    const bool scanned = ScanDrives() == 1 && NumberPresentDrives() == 4 &&
                         DriveTable[3].attributes[29].name[0] != '\0';
    if (!scanned) {
        std::fprintf(stderr, "scan_bench: the four drives did not scan\n");
        RemoveDrives(folder);
        return 2;
    }

    int answered = 0;
    StartCountingAllocations();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Iterations; ++i)
        answered += ScanDrives();
    const auto stop = std::chrono::steady_clock::now();
    StopCountingAllocations();
    const long counted = CountedAllocations();
    RemoveDrives(folder);

    const double us = std::chrono::duration<double, std::micro>(stop - start).count() / Iterations;
    std::printf("ScanDrives over four emulated drives (4 opens reading 4 files, 20 requests, decoding): "
                "%.2f us per scan (%d scans, %d answered)\n",
                us, Iterations, answered);
    std::printf("heap allocations while scanning: %ld\n", counted);
    return counted == 0 ? 0 : 1;
}
