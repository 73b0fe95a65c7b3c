#include "report_command.h"

#include <cstring>

#include "drive_scan.h"
#include "monitor_windows.h"
#include "report_text.h"
#include "unicode_calls.h"
#include "view_text.h"

namespace {

enum { ReportExitUnwritable = 3, ReportExitNoDrive = 4 };

char ReportText[ReportTextMax];

size_t MakeReport()
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    ReportContext context = {computer, {}};
    GetLocalTime(reinterpret_cast<SYSTEMTIME*>(&context.now));
    return FormatReport(context, DriveTable, ReportText, sizeof ReportText);
}

bool PutOnClipboard(HWND owner, const char* text, size_t length)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    char* copy = memory ? static_cast<char*>(GlobalLock(memory)) : nullptr;
    if (!copy) {
        if (memory)
            GlobalFree(memory);
        return false;
    }
    std::memcpy(copy, text, length + 1);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    // The clipboard owns the memory once it has taken it.
    const bool taken = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    if (!taken)
        GlobalFree(memory);
    return taken;
}

bool WriteWhole(const char* file, const char* text, size_t length)
{
    HANDLE handle = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(handle, text, static_cast<DWORD>(length), &written, nullptr) && written == length;
    return CloseHandle(handle) && whole;
}

int PresentDrives()
{
    int n = 0;
    for (const DriveRecord& r : DriveTable)
        n += r.present != 0;
    return n;
}

}  // namespace

bool CopyReport(HWND mainWindow)
{
    const size_t length = MakeReport();
    return length > 0 && PutOnClipboard(mainWindow, ReportText, length);
}

bool FindReportFile(const char* commandTail, char (&file)[MAX_PATH])
{
    static const char Switch[] = "/report";
    const char* at = commandTail ? std::strstr(commandTail, Switch) : nullptr;
    if (!at)
        return false;
    at += sizeof Switch - 1;
    while (*at == ' ' || *at == '\t')
        ++at;
    const bool quoted = *at == '"';
    at += quoted;
    size_t n = 0;
    while (at[n] != '\0' && n + 1 < MAX_PATH && (quoted ? at[n] != '"' : at[n] != ' ' && at[n] != '\t'))
        ++n;
    if (n + 1 == MAX_PATH)
        n = 0;  // too long for a path: no file rather than a cut name
    std::memcpy(file, at, n);
    file[n] = '\0';
    return true;
}

int WriteReportFile(const char* file)
{
    // The file is named from the caller's folder; the program's own files
    // are found from its folder.
    char path[MAX_PATH];
    const DWORD full = file[0] ? GetFullPathNameA(file, sizeof path, path, nullptr) : 0;
    WCHAR folder[MAX_PATH];
    if (GetProgramFolder(folder))
        SetCurrentFolder(folder);
    RereadDrives();
    ApplyStateFileThresholds();
    const size_t length = MakeReport();
    if (full == 0 || full >= sizeof path || length == 0 || !WriteWhole(path, ReportText, length))
        return ReportExitUnwritable;
    if (PresentDrives() == 0)
        return ReportExitNoDrive;
    DriveVerdict worst;
    return FindWorstDrive(DriveTable, &worst) == NoDrive ? 0 : LevelRank(worst.level);
}
