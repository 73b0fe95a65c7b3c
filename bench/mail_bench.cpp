// Time from a refresh tick to the warning stored by a local SMTP server: the
// real main window in this process on four emulated drives, mail on, and
// python3-aiosmtpd on 127.0.0.1. Each round raises the reallocated-sector
// count of one drive in its snapshot file, so that each tick has one new
// condition to send. Printed: the tick itself (re-read and views), the time
// until the server has stored the message, and until the dialogue has ended.
//
//   mail_bench [rounds]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drive_folder.h"
#include "monitor_step.h"
#include "monitor_test_support.h"
#include "refresh_timer.h"
#include "resource.h"
#include "window_session.h"

namespace {

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

// Runs the message loop until done() or 10 s have passed.
template <typename Done>
void PumpUntil(Done done)
{
    for (const double start = Now(); !done() && Now() - start < 10000;) {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Print(const char* what, const std::vector<double>& ms)
{
    std::printf("%-44s median %7.2f ms   min %7.2f   max %7.2f\n", what, Median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    SmtpTestServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "the SMTP server did not start (python3-aiosmtpd?)\n");
        return 1;
    }
    DriveFolder drives;
    drives.PutDemoDrives(true);
    Settings settings = {};
    settings.pollMinutes = 60;
    settings.recallMode = 1;
    std::strcpy(settings.emailAddress, "admin@example.org");
    std::snprintf(settings.smtpServer, sizeof settings.smtpServer, "%s", server.Server().c_str());
    MainWindowSession session(drives, &settings);
    HWND window = session.Window();
    if (!window) {
        std::fprintf(stderr, "the main window was not created\n");
        return 1;
    }
    // The start-up comparison sends the demo's failing drive first.
    AwaitOutcome(window, WM_TIMER, MonitorFirstCheckTimerId);

    std::vector<double> tick, stored, ended;
    for (int r = 0; r < rounds; ++r) {
        drives.SetAttribute(0, 5, 253, static_cast<uint64_t>(r + 1));
        const size_t before = server.MessageCount();
        SendDlgItemMessageA(window, IDC_STATUS_BAR, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(""));
        const double start = Now();
        SendMessageA(window, WM_TIMER, RefreshTimerId, 0);
        tick.push_back(Now() - start);
        PumpUntil([&] { return server.MessageCount() > before; });
        stored.push_back(Now() - start);
        PumpUntil([&] { return !Outcome(window).empty(); });
        if (Outcome(window).rfind("Sent ", 0) != 0) {
            std::fprintf(stderr, "round %d: not sent: %s\n", r, Outcome(window).c_str());
            return 1;
        }
        ended.push_back(Now() - start);
    }
    std::printf("%d rounds, one warning each, 4 emulated drives:\n", rounds);
    Print("refresh tick (re-read, check, views)", tick);
    Print("tick to the message stored by the server", stored);
    Print("tick to the end of the SMTP dialogue", ended);
    return 0;
}
