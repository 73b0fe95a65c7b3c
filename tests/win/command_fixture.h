// Shared by the tests of the Setup, About, Help and Web Site commands: the
// real main window on the demo drives, with its timer ticks counted, a record
// of the timer calls that the program's code makes on it, its WinHelpA and
// ShellExecuteA calls caught by recorders, and the Run key value saved and
// restored around every test.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drive_folder.h"
#include "import_hook.h"
#include "modal_script.h"
#include "window_session.h"

struct TimerCall {
    bool set;  // SetTimer, else KillTimer
    UINT_PTR id;
    UINT period;
    bool operator==(const TimerCall&) const = default;
};

struct WinHelpCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
};

struct ShellExecuteCall {
    HWND window;
    std::string operation, file, parameters, directory;
    INT show;
};

// What the program's code did while a test ran.
struct Observed {
    std::vector<TimerCall> timerCalls;  // on the main window, in order
    int ticks = 0;                      // WM_TIMER messages the main window received
    std::vector<WinHelpCall> winHelp;
    std::vector<ShellExecuteCall> shellExecute;
};
extern Observed Seen;

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND mainWindow = nullptr;

    // Runs a command of the main window, as its menu does.
    void Command(int id) { SendMessageA(mainWindow, WM_COMMAND, id, 0); }

    // The test's own timer calls, not recorded.
    void ArmMainTimer(UINT period);
    bool KillMainTimer();  // true when the timer existed
    // Runs the message loop until the main window has had a tick or the time is up.
    bool WaitForTick(DWORD limitMs);

private:
    std::unique_ptr<DriveFolder> drives_;
    std::unique_ptr<MainWindowSession> session_;
    std::unique_ptr<ImportHook> setTimerHook_, killTimerHook_, winHelpHook_, shellExecuteHook_;
    bool hadRunValue_ = false;
    std::string savedRunValue_;
};

// The Run key value "Ostrivel": read (false when absent), write and delete.
bool ReadRunValue(std::string* data);
void WriteRunValue(const char* data);
void DeleteRunValue();

// Steps for DriveModal.
ModalStep Inspect(std::function<void(HWND)> check);  // runs once
ModalStep Click(int id);                             // BM_CLICK on a control
ModalStep SetText(int id, const char* text);         // WM_SETTEXT, not filtered

std::string ItemText(HWND dialog, int id);
void PutClipboardText(const char* text);
