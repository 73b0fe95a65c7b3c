#include "command_fixture.h"

#include <cstring>

#include "main_window.h"
#include "settings.h"

Observed Seen;

namespace {

constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

HWND RecordedWindow;
decltype(&SetTimer) RealSetTimer = SetTimer;
decltype(&KillTimer) RealKillTimer = KillTimer;

UINT_PTR WINAPI RecordSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc)
{
    if (window == RecordedWindow)
        Seen.timerCalls.push_back({true, id, period});
    return RealSetTimer(window, id, period, proc);
}

BOOL WINAPI RecordKillTimer(HWND window, UINT_PTR id)
{
    if (window == RecordedWindow)
        Seen.timerCalls.push_back({false, id, 0});
    return RealKillTimer(window, id);
}

BOOL WINAPI RecordWinHelp(HWND window, LPCSTR file, UINT command, ULONG_PTR data)
{
    Seen.winHelp.push_back({window, file ? file : "(null)", command, data});
    return TRUE;
}

HINSTANCE WINAPI RecordShellExecute(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                    LPCSTR directory, INT show)
{
    auto text = [](LPCSTR s) { return std::string(s ? s : "(null)"); };
    Seen.shellExecute.push_back({window, text(operation), text(file), text(parameters), text(directory), show});
    return reinterpret_cast<HINSTANCE>(33);  // "succeeded"
}

// Counts the main window's refresh ticks before its own procedure handles them.
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == 1)
        ++Seen.ticks;
    return CallWindowProcA(MainWindowProc, window, message, wParam, lParam);
}

}  // namespace

void CommandTest::SetUp()
{
    hadRunValue_ = ReadRunValue(&savedRunValue_);
    drives_ = std::make_unique<DriveFolder>();
    drives_->PutDemoDrives();
    session_ = std::make_unique<MainWindowSession>(*drives_);
    mainWindow = session_->Window();
    ASSERT_NE(mainWindow, nullptr);
    SetWindowLongPtrA(mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc));
    // Each test sets the record it needs; the window was created without a
    // settings file, so it runs no timer.
    CurrentSettings = Settings{};
    Seen = {};
    RecordedWindow = mainWindow;
    setTimerHook_ = std::make_unique<ImportHook>("user32.dll", "SetTimer", reinterpret_cast<void*>(RecordSetTimer));
    killTimerHook_ = std::make_unique<ImportHook>("user32.dll", "KillTimer", reinterpret_cast<void*>(RecordKillTimer));
    ASSERT_TRUE(setTimerHook_->installed());
    ASSERT_TRUE(killTimerHook_->installed());
    RealSetTimer = setTimerHook_->original<decltype(&SetTimer)>();
    RealKillTimer = killTimerHook_->original<decltype(&KillTimer)>();
    // The real WinHelpA and ShellExecuteA calls are caught, not passed on:
    // no help program or browser starts.
    winHelpHook_ = std::make_unique<ImportHook>("user32.dll", "WinHelpA", reinterpret_cast<void*>(RecordWinHelp));
    shellExecuteHook_ = std::make_unique<ImportHook>("shell32.dll", "ShellExecuteA",
                                                     reinterpret_cast<void*>(RecordShellExecute));
    ASSERT_TRUE(winHelpHook_->installed());
    ASSERT_TRUE(shellExecuteHook_->installed());
}

void CommandTest::TearDown()
{
    shellExecuteHook_.reset();
    winHelpHook_.reset();
    killTimerHook_.reset();
    setTimerHook_.reset();
    RecordedWindow = nullptr;
    session_.reset();
    drives_.reset();
    if (hadRunValue_)
        WriteRunValue(savedRunValue_.c_str());
    else
        DeleteRunValue();
}

void CommandTest::ArmMainTimer(UINT period)
{
    RealSetTimer(mainWindow, 1, period, nullptr);
}

bool CommandTest::KillMainTimer()
{
    return RealKillTimer(mainWindow, 1) != FALSE;
}

bool CommandTest::WaitForTick(DWORD limitMs)
{
    const DWORD start = GetTickCount();
    const int before = Seen.ticks;
    while (Seen.ticks == before && GetTickCount() - start < limitMs) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return Seen.ticks != before;
}

bool ReadRunValue(std::string* data)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[1024] = "";
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const bool found = RegQueryValueExA(key, "Ostrivel", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                       ERROR_SUCCESS;
    RegCloseKey(key);
    if (found && data)
        *data = buffer;
    return found;
}

void WriteRunValue(const char* data)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Ostrivel", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>(std::strlen(data) + 1));
    RegCloseKey(key);
}

void DeleteRunValue()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, "Ostrivel");
    RegCloseKey(key);
}

ModalStep Inspect(std::function<void(HWND)> check)
{
    return [check](HWND modal) {
        check(modal);
        return true;
    };
}

ModalStep Click(int id)
{
    return [id](HWND modal) {
        SendMessageA(GetDlgItem(modal, id), BM_CLICK, 0, 0);
        return true;
    };
}

ModalStep SetText(int id, const char* text)
{
    const std::string copy = text;
    return [id, copy](HWND modal) {
        SetDlgItemTextA(modal, id, copy.c_str());
        return true;
    };
}

std::string ItemText(HWND dialog, int id)
{
    char text[256] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void PutClipboardText(const char* text)
{
    const size_t size = std::strlen(text) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(memory), text, size);
    GlobalUnlock(memory);
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        SetClipboardData(CF_TEXT, memory);
        CloseClipboard();
    }
}
