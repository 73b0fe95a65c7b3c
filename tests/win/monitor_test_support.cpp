#include "monitor_test_support.h"

#include <commctrl.h>

#include <filesystem>
#include <vector>

#include "drive_folder.h"
#include "resource.h"
#include "window_session.h"

std::string FileText(const std::string& path)
{
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

namespace {

std::string TextOf(const std::string& path)
{
    for (const DWORD start = GetTickCount(); !FileExists(path) && GetTickCount() - start < 15000;)
        Sleep(20);
    return FileText(path);
}

}  // namespace

// Wine numbers processes per prefix: tests of other build trees running at
// the same time may have the same number, so the clock tells them apart.
SmtpTestServer::SmtpTestServer()
    : folder_("/tmp/ostrivel-smtp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()))
{
    std::filesystem::create_directory(File(""));
}

SmtpTestServer::~SmtpTestServer()
{
    Stop();
    std::filesystem::remove_all(File(""));
}

static void RunPython(const std::string& script, const std::string& arguments)
{
    std::string line = "Z:\\usr\\bin\\python3 " + std::string(OSTRIVEL_SOURCE_DIR).substr(2) + "/tests/support/" +
                       script + " " + arguments;
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process);
}

bool SmtpTestServer::Start(const std::string& mode, const std::string& tls)
{
    Stop();
    std::filesystem::remove(File("stopped"));
    RunPython("smtp_test_server.py", folder_ + " " + std::to_string(port_) + " \"" + mode + "\" " + tls);
    port_ = std::atoi(TextOf(File("port")).c_str());
    return port_ > 0;
}

std::string SmtpTestServer::Logins() const
{
    return FileText(File("auth.log"));
}

std::string SmtpTestServer::Certificates()
{
    std::filesystem::remove(File("certificates-made"));
    RunPython("make_test_certificates.py", folder_);
    TextOf(File("certificates-made"));
    return folder_ + "/";
}

void SmtpTestServer::Stop()
{
    if (FileExists(File("port")) && WriteWholeFile(File("stop"), "", 0))
        TextOf(File("stopped"));
    std::filesystem::remove(File("stop"));
}

size_t SmtpTestServer::MessageCount() const
{
    size_t count = 0;
    while (FileExists(File("mail-" + std::to_string(count + 1) + ".txt")))
        ++count;
    return count;
}

std::string SmtpTestServer::Message(size_t k) const
{
    return TextOf(File("mail-" + std::to_string(k) + ".txt"));
}

std::string Outcome(HWND mainWindow)
{
    char text[256] = "";
    SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string AwaitOutcome(HWND mainWindow, UINT message, WPARAM wParam, DWORD limitMs)
{
    SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(""));
    SendMessageA(mainWindow, message, wParam, 0);
    std::string shown;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < limitMs; PumpMessages()) {
        shown = Outcome(mainWindow);
        if (shown.rfind("Sent ", 0) == 0 || shown.rfind("Not sent", 0) == 0 || shown.rfind("Checked ", 0) == 0 ||
            shown.rfind("Command ran ", 0) == 0 || shown.rfind("State not saved ", 0) == 0)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return shown;
}

std::string OutcomeBox(HWND mainWindow)
{
    HWND bar = GetDlgItem(mainWindow, IDC_STATUS_BAR);
    RECT part = {};
    SendMessageA(bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
    BoxCloser closer(GetCurrentThreadId());
    SendMessageA(bar, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(part.left + 5, part.top + 5));
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 1000; Sleep(10)) {
        if (!closer.Texts().empty())  // noted once the closer has closed it
            return closer.Texts()[0];
    }
    return "(no box)";
}
