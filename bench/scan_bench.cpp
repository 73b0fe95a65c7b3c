// Measures one ScanDrives over four drives served by the emulated SMART driver
// from snapshot files (each open reads its file, as the program does), and
// counts the heap allocations made meanwhile. Prints both; exits 1 when the
// scan allocated anything.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "allocation_counter.h"
#include "bench_drives.h"
#include "drive_scan.h"
#include "drive_table.h"
#include "emulated_drives.h"
#include "posix_drive_files.h"
#include "quiet_smart_os.h"

namespace {

constexpr int Iterations = 20000;

}  // namespace

int main()
{
    const std::string folder = WriteBenchDrives("ostrivel-scan-bench");
    if (folder.empty()) {
        std::fprintf(stderr, "scan_bench: cannot write the drive files\n");
        return 2;
    }
    SetSmartOs(StartEmulatedDrives(QuietSmartOs(), PosixDriveFiles(), folder.c_str()));
    const bool scanned = ScanDrives() == 1 && NumberPresentDrives() == 4 &&
                         DriveTable[3].attributes[29].name[0] != '\0';
    if (!scanned) {
        std::fprintf(stderr, "scan_bench: the four drives did not scan\n");
        RemoveBenchDrives(folder);
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
    RemoveBenchDrives(folder);

    const double us = std::chrono::duration<double, std::micro>(stop - start).count() / Iterations;
    std::printf("ScanDrives over four emulated drives (4 opens reading 4 files, 20 requests, decoding): "
                "%.2f us per scan (%d scans, %d answered)\n",
                us, Iterations, answered);
    std::printf("heap allocations while scanning: %ld\n", counted);
    return counted == 0 ? 0 : 1;
}
