#include "monitor_test_support.h"

#include <commctrl.h>

#include <cctype>

#include "drive_folder.h"
#include "layout.h"
#include "resource.h"
#include "window_session.h"

namespace {

const char Python[] = "Z:\\usr\\bin\\python3";

// The Linux path of a path that Wine shows under Z:.
std::string UnixPath(const std::string& native)
{
    std::string path = native.substr(2);
    for (char& c : path)
        c = c == '\\' ? '/' : c;
    return path;
}

bool WaitForFile(const std::string& path, DWORD limitMs)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < limitMs; Sleep(20)) {
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

}  // namespace

SmtpTestServer::SmtpTestServer()
{
    static int serial;
    unixFolder_ = "/tmp/ostrivel-smtp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    CreateDirectoryA(Native("").c_str(), nullptr);
}

SmtpTestServer::~SmtpTestServer()
{
    Stop();
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(Native("*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        DeleteFileA(Native(found.cFileName).c_str());
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    RemoveDirectoryA(Native("").c_str());
}

std::string SmtpTestServer::Native(const char* name) const
{
    std::string path = "Z:" + unixFolder_ + "/" + name;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

bool SmtpTestServer::Start(Mode mode)
{
    Stop();
    DeleteFileA(Native("stop").c_str());
    DeleteFileA(Native("stopped").c_str());
    std::string line = std::string(Python) + " " + UnixPath(OSTRIVEL_SOURCE_DIR) +
                       "/tests/support/smtp_test_server.py " + unixFolder_ + " --port " + std::to_string(port_);
    if (mode == Mode::RefuseRecipient)
        line += " --rcpt-reply \"550 5.1.1 No such user here\"";
    if (mode == Mode::Silent)
        line += " --silent";
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
        return false;
    if (!WaitForFile(Native("port"), 15000))
        return false;
    port_ = std::stoi(ReadText(Native("port")));
    running_ = true;
    return true;
}

void SmtpTestServer::Stop()
{
    if (!running_)
        return;
    running_ = false;
    WriteWholeFile(Native("stop"), "", 0);
    WaitForFile(Native("stopped"), 5000);
}

std::string SmtpTestServer::Server() const
{
    return "127.0.0.1:" + std::to_string(port_);
}

std::string SmtpTestServer::MessageFile(size_t k) const
{
    return Native(("mail-" + std::to_string(k) + ".txt").c_str());
}

size_t SmtpTestServer::MessageCount() const
{
    size_t count = 0;
    while (FileExists(MessageFile(count + 1)))
        ++count;
    return count;
}

std::vector<std::string> SmtpTestServer::Messages() const
{
    std::vector<std::string> messages;
    for (size_t k = 1; k <= MessageCount(); ++k)
        messages.push_back(ReadText(MessageFile(k)));
    return messages;
}

std::string Outcome(HWND mainWindow)
{
    char text[256] = "";
    SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    return text;
}

void SetOutcome(HWND mainWindow, const char* text)
{
    SendDlgItemMessageA(mainWindow, IDC_STATUS_BAR, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text));
}

std::string AwaitOutcome(HWND mainWindow)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 10000; PumpFor(5)) {
        const std::string shown = Outcome(mainWindow);
        for (const char* end : {"Sent ", "Not sent", "Checked "}) {
            if (shown.rfind(end, 0) == 0)
                return shown;
        }
    }
    return "(no outcome)";
}

std::string OutcomeBox(HWND mainWindow)
{
    HWND bar = GetDlgItem(mainWindow, IDC_STATUS_BAR);
    RECT part = {};
    SendMessageA(bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
    const LPARAM at = MAKELPARAM((part.left + part.right) / 2, (part.top + part.bottom) / 2);
    BoxCloser closer(GetCurrentThreadId());
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
    SendMessageA(bar, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
    std::vector<std::string> boxes;
    for (const DWORD start = GetTickCount(); boxes.empty() && GetTickCount() - start < 1000; Sleep(10))
        boxes = closer.Texts();  // the closer notes a box once it has closed it
    return boxes.size() == 1 ? boxes[0] : std::to_string(boxes.size()) + " boxes";
}

std::string MonitorLabelText()
{
    char text[64] = "";
    GetWindowTextA(MonitorLabel, text, sizeof text);
    return text;
}

void PumpFor(DWORD ms)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

std::string ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return name;
}

std::string HeloName()
{
    std::string helo;
    for (char c : ComputerName()) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-')
            helo += c;
    }
    return helo.empty() ? "localhost" : helo;
}
