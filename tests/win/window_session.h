// The real main window, run inside the test process on emulated drives, and
// small readers for its list views.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "drive_folder.h"
#include "settings.h"

// Closes every message box that appears on one thread while it lives, and
// keeps their texts, so that a failing start cannot hang a test.
class BoxCloser {
public:
    explicit BoxCloser(DWORD threadId);
    ~BoxCloser();
    std::vector<std::string> Texts();

private:
    void Watch();
    DWORD threadId_;
    std::atomic<bool> stop_{false};
    std::vector<std::string> texts_;
    CRITICAL_SECTION lock_;
    std::thread watcher_;
};

class MainWindowSession {
public:
    // Points the emulated driver at `drives`, enters a fresh current directory
    // holding ostrivel.ini with `settings` (default: all zero but the hot key
    // as recall method) and, when given, the monitor's state file of an
    // earlier session, and creates the window.
    explicit MainWindowSession(const DriveFolder& drives, const Settings* settings = nullptr,
                               const std::vector<uint8_t>* state = nullptr);
    ~MainWindowSession();

    HWND Window() const { return window_; }
    std::string WorkFile(const char* name) const { return work_.File(name); }
    // Message boxes that came up (and were closed) during creation.
    const std::vector<std::string>& Boxes() const { return boxes_; }

    // Destroys the window unless it is gone already, then runs the queue until
    // the quit message. Returns its code, or -1 when none came.
    int Close();

private:
    TempFolder work_;
    char previousDirectory_[MAX_PATH] = {};
    HWND window_ = nullptr;
    std::vector<std::string> boxes_;
};

// Runs the thread's queue until it is empty.
void PumpMessages();

// The WS_VISIBLE style bit: a page's own visibility, whatever its parent's.
bool HasVisibleStyle(HWND window);

int RowCount(HWND list);
int ColumnCount(HWND list);
std::string CellText(HWND list, int row, int column);
int RowImage(HWND list, int row);
// All rows, each with `columns` cells.
std::vector<std::vector<std::string>> ListCells(HWND list, int columns);
int SelectedCount(HWND list);
// Selects and focuses one row, as a mouse click would.
void SelectRow(HWND list, int row);
void ClearSelection(HWND list);
// What the list view sends its parent on a double-click.
LRESULT SendDoubleClick(HWND mainWindow, HWND list);
// The pixels of a window's client area (its controls' included), as painted.
std::vector<uint32_t> ClientPixels(HWND window);

// The screen's DPI; the DPI that RunTestsAtDpi asked a copy of this program
// for (0 in the program as ctest starts it).
int ScreenDpi();
int AskedDpi();

// Runs the tests of `filter` in a copy of this program started with the
// prefix's LogPixels at `dpi` (Wine reads it when a process starts), then
// puts LogPixels back; `note` reaches the copy as OSTRIVEL_TEST_NOTE. True
// when all of them passed.
bool RunTestsAtDpi(int dpi, const char* filter, const std::string& note = "");
