#include "window_session.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdlib>

#include "drive_services.h"
#include "main_window.h"

namespace {

struct BoxSearch {
    std::vector<HWND>* seen;
    std::vector<std::string>* texts;
};

BOOL CALLBACK CloseIfBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    // A box may still be up at the next look: count each one once.
    bool seen = false;
    for (HWND w : *search->seen)
        seen = seen || w == window;
    if (!seen) {
        search->seen->push_back(window);
        char text[600] = {};
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        char caption[100] = {};
        GetWindowTextA(window, caption, sizeof caption);
        search->texts->push_back(std::string(caption) + ": " + text);
    }
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void SetDrivesVariable(const std::string& folder)
{
    // Both the process environment and the C runtime's copy of it.
    SetEnvironmentVariableA("OSTRIVEL_DRIVES", folder.c_str());
    _putenv_s("OSTRIVEL_DRIVES", folder.c_str());
}

}  // namespace

BoxCloser::BoxCloser(DWORD threadId) : threadId_(threadId)
{
    InitializeCriticalSection(&lock_);
    watcher_ = std::thread([this] { Watch(); });
}

BoxCloser::~BoxCloser()
{
    stop_ = true;
    watcher_.join();
    DeleteCriticalSection(&lock_);
}

void BoxCloser::Watch()
{
    std::vector<HWND> seen;
    while (!stop_) {
        std::vector<std::string> found;
        BoxSearch search = {&seen, &found};
        EnumThreadWindows(threadId_, CloseIfBox, reinterpret_cast<LPARAM>(&search));
        EnterCriticalSection(&lock_);
        texts_.insert(texts_.end(), found.begin(), found.end());
        LeaveCriticalSection(&lock_);
        Sleep(50);
    }
}

std::vector<std::string> BoxCloser::Texts()
{
    EnterCriticalSection(&lock_);
    std::vector<std::string> copy = texts_;
    LeaveCriticalSection(&lock_);
    return copy;
}

MainWindowSession::MainWindowSession(const DriveFolder& drives, const Settings* settings,
                                     const std::vector<uint8_t>* state)
    : work_("work")
{
    GetCurrentDirectoryA(sizeof previousDirectory_, previousDirectory_);
    // By default the hot key recalls the window: Wine's notification area
    // takes seconds to answer an icon request.
    Settings hotKey = {};
    hotKey.recallMode = 1;
    if (!settings)
        settings = &hotKey;
    WriteWholeFile(work_.File("ostrivel.ini"), settings, sizeof *settings);
    if (state)
        WriteWholeFile(work_.File("ostrivel.mon"), state->data(), state->size());
    SetCurrentDirectoryA(work_.Path().c_str());
    SetDrivesVariable(drives.Path());
    SelectDriveServices();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterMainClass(instance);
    BoxCloser closer(GetCurrentThreadId());
    bool creationRan = false;
    window_ = CreateMainWindow(instance, &creationRan);
    boxes_ = closer.Texts();
}

MainWindowSession::~MainWindowSession()
{
    Close();
    SetCurrentDirectoryA(previousDirectory_);
}

int MainWindowSession::Close()
{
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
    window_ = nullptr;
    MSG msg;
    DWORD deadline = GetTickCount() + 5000;
    while (GetTickCount() < deadline) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // The quit message is a flag, not a queued message: once the queue
            // is empty and no quit came, none is coming.
            return -1;
        }
        if (msg.message == WM_QUIT)
            return static_cast<int>(msg.wParam);
        DispatchMessageA(&msg);
    }
    return -1;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool HasVisibleStyle(HWND window)
{
    return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

int ColumnCount(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

std::string CellText(HWND list, int row, int column)
{
    char text[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

int RowImage(HWND list, int row)
{
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -99;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

std::vector<std::vector<std::string>> ListCells(HWND list, int columns)
{
    std::vector<std::vector<std::string>> rows(RowCount(list));
    for (size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns; ++c)
            rows[r].push_back(CellText(list, static_cast<int>(r), c));
    }
    return rows;
}

int SelectedCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

void SelectRow(HWND list, int row)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void ClearSelection(HWND list)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    // Row -1 means every row.
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

LRESULT SendDoubleClick(HWND mainWindow, HWND list)
{
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    click.hdr.code = static_cast<UINT>(NM_DBLCLK);
    click.iItem = -1;
    return SendMessageA(mainWindow, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
}

std::vector<uint32_t> ClientPixels(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = GetDC(window);
    HDC copy = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* first = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(first, first + client.right * client.bottom);
    SelectObject(copy, old);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(window, dc);
    return pixels;
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int AskedDpi()
{
    const char* dpi = std::getenv("OSTRIVEL_TEST_DPI");
    return dpi ? std::atoi(dpi) : 0;
}

bool RunTestsAtDpi(int dpi, const char* filter, const std::string& note)
{
    const char desktop[] = "Control Panel\\Desktop";
    DWORD before = 0, size = sizeof before, code = 99;
    const bool had = SHGetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", nullptr, &before, &size) == ERROR_SUCCESS;
    SHSetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    SetEnvironmentVariableA("OSTRIVEL_TEST_DPI", std::to_string(dpi).c_str());
    SetEnvironmentVariableA("OSTRIVEL_TEST_NOTE", note.c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string line = std::string("\"") + program + "\" --gtest_filter=" + filter;
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;  // the copy reports to our output
    start.hStdOutput = start.hStdError = GetStdHandle(STD_OUTPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(program, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process)) {
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &code);
        TerminateProcess(process.hProcess, 98);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    SetEnvironmentVariableA("OSTRIVEL_TEST_DPI", nullptr);
    if (had)
        SHSetValueA(HKEY_CURRENT_USER, desktop, "LogPixels", REG_DWORD, &before, sizeof before);
    else
        SHDeleteValueA(HKEY_CURRENT_USER, desktop, "LogPixels");
    return code == 0;
}
