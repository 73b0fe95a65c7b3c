// Measures one monitor check over four drives of the emulated SMART driver,
// as a refresh tick runs it: the drives read again (ScanDrives), then
// MonitorCheck against the references, which saves the state. Then a check
// that finds a condition on each drive and writes the warning message (no
// network here, so no dialogue). Counts the heap allocations made meanwhile;
// exits 1 when there were any.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "allocation_counter.h"
#include "bench_drives.h"
#include "drive_scan.h"
#include "drive_table.h"
#include "emulated_drives.h"
#include "monitor.h"
#include "posix_drive_files.h"
#include "quiet_smart_os.h"

namespace {

constexpr int Iterations = 10000;

char StateFile[40000];
size_t StateLength;
char Shown[64];
uint32_t Clock;

// A state file with nothing in it yet, so that the first check's outcome shows.
StateFileRead ReadState(void*, char* buffer, size_t capacity, size_t* length)
{
    *length = static_cast<size_t>(std::snprintf(buffer, capacity, "Ostrivel monitor state 2\r\ncheck 0\r\n"));
    return StateFileRead::Read;
}
bool WriteState(void*, const char* text, size_t length, char*, size_t)
{
    std::memcpy(StateFile, text, length);
    StateLength = length;
    return true;
}
void LocalNow(void*, LocalTime* now, int32_t* offset)
{
    *now = {2025, 3, 2, 4, 14, 5, 9, 0};
    *offset = 60;
}
uint32_t Milliseconds(void*) { return ++Clock; }
void ComputerName(void*, char* out, size_t capacity) { std::snprintf(out, capacity, "BENCH"); }
const SmtpServices* NoNetwork(void*) { return nullptr; }
void ShowOutcome(void*, const char* text) { std::snprintf(Shown, sizeof Shown, "%s", text); }
void ArmClock(void*, uint32_t) {}

const MonitorServices Services{nullptr, ReadState, WriteState, LocalNow, Milliseconds,
                               ComputerName, NoNetwork, ShowOutcome, ArmClock};
const MonitorSettings Settings{"someone@example.org", "mail.example", 10, 5};

// Runs body Iterations times; prints the time per run and the allocations.
template <typename Body>
long Measure(const char* what, Body body)
{
    StartCountingAllocations();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Iterations; ++i)
        body();
    const auto stop = std::chrono::steady_clock::now();
    StopCountingAllocations();
    const double us = std::chrono::duration<double, std::micro>(stop - start).count() / Iterations;
    std::printf("%s: %.2f us per check (%d checks; status \"%s\", state %zu bytes); heap allocations: %ld\n", what,
                us, Iterations, Shown, StateLength, CountedAllocations());
    return CountedAllocations();
}

}  // namespace

int main()
{
    const std::string folder = WriteBenchDrives("ostrivel-monitor-bench");
    if (folder.empty()) {
        std::fprintf(stderr, "monitor_bench: cannot write the drive files\n");
        return 2;
    }
    SetSmartOs(StartEmulatedDrives(QuietSmartOs(), PosixDriveFiles(), folder.c_str()));
    MonitorStart(&Services);
    const bool scanned = ScanDrives() == 1 && NumberPresentDrives() == 4;
    MonitorCheck(DriveTable, Settings);
    if (!scanned || std::strcmp(Shown, "Checked 14:05") != 0) {
        std::fprintf(stderr, "monitor_bench: the four drives did not scan and check (%s)\n", Shown);
        RemoveBenchDrives(folder);
        return 2;
    }

    long allocations = Measure("ScanDrives and MonitorCheck over four emulated drives, nothing new", [] {
        ScanDrives();
        MonitorCheck(DriveTable, Settings);
    });
    for (DriveRecord& r : DriveTable)
        r.attributes[0].value = 10;  // below its threshold of 20
    allocations += Measure("MonitorCheck finding 4 conditions, warning message written", [] {
        MonitorCheck(DriveTable, Settings);
    });
    RemoveBenchDrives(folder);
    return allocations == 0 && std::strcmp(Shown, "Not sent 14:05: no network") == 0 ? 0 : 1;
}
