#include "monitor_test_support.h"

#include <commctrl.h>

#include <algorithm>
#include <filesystem>

#include "drive_folder.h"
#include "resource.h"
#include "window_session.h"

namespace {

bool WaitForFile(const std::string& path)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
        if (FileExists(path))
            return true;
    }
    return false;
}

std::string ReadText(const std::string& path)
{
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

std::string MessageFile(const std::string& folder, size_t k)
{
    return folder + "\\mail-" + std::to_string(k) + ".txt";
}

}  // namespace

SmtpTestServer::SmtpTestServer()
    : folder_("Z:\\tmp\\ostrivel-smtp-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount()))
{
    CreateDirectoryA(folder_.c_str(), nullptr);
}

SmtpTestServer::~SmtpTestServer()
{
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool SmtpTestServer::Start(const std::string& options)
{
    Stop();
    DeleteFileA((folder_ + "\\stopped").c_str());
    std::string unixFolder = folder_.substr(2), script = std::string(OSTRIVEL_SOURCE_DIR).substr(2);
    for (std::string* path : {&unixFolder, &script})
        std::replace(path->begin(), path->end(), '\\', '/');
    std::string line = "Z:\\usr\\bin\\python3 " + script + "/tests/support/smtp_test_server.py " + unixFolder +
                       " --port " + std::to_string(port_) + " " + options;
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process) ||
        !WaitForFile(folder_ + "\\port"))
        return false;
    port_ = std::stoi(ReadText(folder_ + "\\port"));
    return true;
}

void SmtpTestServer::Stop()
{
    if (!FileExists(folder_ + "\\port"))
        return;
    WriteWholeFile(folder_ + "\\stop", "", 0);
    WaitForFile(folder_ + "\\stopped");
    DeleteFileA((folder_ + "\\stop").c_str());
}

size_t SmtpTestServer::MessageCount() const
{
    size_t count = 0;
    while (FileExists(MessageFile(folder_, count + 1)))
        ++count;
    return count;
}

std::vector<std::string> SmtpTestServer::Messages() const
{
    std::vector<std::string> messages;
    for (size_t k = 1; k <= MessageCount(); ++k)
        messages.push_back(ReadText(MessageFile(folder_, k)));
    return messages;
}

std::string Outcome(HWND mainWindow)
{
    char text[256] = "";
    SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string AwaitOutcome(HWND mainWindow, UINT message, WPARAM wParam)
{
    SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(""));
    SendMessageA(mainWindow, message, wParam, 0);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
        const std::string shown = Outcome(mainWindow);
        if (shown.rfind("Sent ", 0) == 0 || shown.rfind("Not sent", 0) == 0 || shown.rfind("Checked ", 0) == 0)
            return shown;
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return "(no outcome)";
}

std::string OutcomeBox(HWND mainWindow)
{
    HWND bar = GetDlgItem(mainWindow, IDC_STATUS_BAR);
    RECT part = {};
    SendMessageA(bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
    const LPARAM at = MAKELPARAM(part.left + 5, part.top + 5);
    BoxCloser closer(GetCurrentThreadId());
    SendMessageA(bar, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    std::vector<std::string> boxes;
    for (const DWORD start = GetTickCount(); boxes.empty() && GetTickCount() - start < 1000; Sleep(10))
        boxes = closer.Texts();  // noted once the closer has closed it
    return boxes.empty() ? "(no box)" : boxes[0];
}

std::string ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return name;
}
