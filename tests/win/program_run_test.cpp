// The real ostrivel.exe as a user starts it: command line, the failing start
// and the settings file at exit. Every run has time limits and ends with the
// process gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "drive_folder.h"
#include "process_window.h"

namespace {

const DWORD Patience = 20000;  // ms for any one step of a run

// The current environment with OSTRIVEL_DRIVES set to `folder`.
std::vector<char> EnvironmentWithDrives(const std::string& folder)
{
    std::vector<char> block;
    char* strings = GetEnvironmentStringsA();
    for (const char* s = strings; *s; s += lstrlenA(s) + 1) {
        if (_strnicmp(s, "OSTRIVEL_DRIVES=", 16) != 0)
            block.insert(block.end(), s, s + lstrlenA(s) + 1);
    }
    FreeEnvironmentStringsA(strings);
    std::string mine = "OSTRIVEL_DRIVES=" + folder;
    block.insert(block.end(), mine.begin(), mine.end());
    block.push_back('\0');
    block.push_back('\0');
    return block;
}

// A copy of the program in its own folder, so that its ostrivel.ini lands
// there, started on a folder of drive snapshots.
class ProgramRun {
public:
    ProgramRun() : folder_("program"), elsewhere_("cwd")
    {
        exe_ = folder_.File("ostrivel.exe");
        copied_ = CopyFileA(OSTRIVEL_EXE, exe_.c_str(), FALSE) != 0;
    }

    ~ProgramRun()
    {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
                WaitForSingleObject(process_.hProcess, Patience);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
    }

    bool Copied() const { return copied_; }
    std::string Settings() const { return folder_.File("ostrivel.ini"); }
    std::string SettingsInStartFolder() const { return elsewhere_.File("ostrivel.ini"); }

    // Starts the program with the tail and show command; the current
    // directory is another folder, so the program must find its own.
    bool Start(const DriveFolder& drives, const std::string& tail, WORD show = SW_SHOWNORMAL)
    {
        std::string line = "\"" + exe_ + "\"" + (tail.empty() ? "" : " " + tail);
        std::vector<char> command(line.begin(), line.end());
        command.push_back('\0');
        std::vector<char> environment = EnvironmentWithDrives(drives.Path());
        STARTUPINFOA start = {};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESHOWWINDOW;
        start.wShowWindow = show;
        return CreateProcessA(exe_.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                              environment.data(), elsewhere_.Path().c_str(), &start, &process_) != 0;
    }

    // The main window once the program waits in its message loop (its
    // start-up, including the show step, is then over).
    HWND WaitForMainWindow()
    {
        WaitForInputIdle(process_.hProcess, Patience);
        HWND window = WaitForWindow("ostrivel", false);
        DWORD_PTR ignored;
        if (window && !SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, Patience, &ignored))
            return nullptr;
        return window;
    }

    // A window of the program's, once it exists (or once it is shown: a
    // dialog gets its texts before it is shown).
    HWND WaitForWindow(const char* className, bool shownOnly)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < Patience; Sleep(20)) {
            if (HWND w = FindProcessWindow(process_.dwProcessId, className, shownOnly))
                return w;
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0)
                return nullptr;
        }
        return nullptr;
    }

    // The exit code, or -1 when the program did not end in time.
    int WaitForExit()
    {
        if (WaitForSingleObject(process_.hProcess, Patience) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }

    bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

private:
    TempFolder folder_;
    TempFolder elsewhere_;
    std::string exe_;
    bool copied_ = false;
    PROCESS_INFORMATION process_ = {};
};

int DriveRows(HWND mainWindow)
{
    return static_cast<int>(SendMessageA(GetDlgItem(mainWindow, 500), LVM_GETITEMCOUNT, 0, 0));
}

class ProgramRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(run_.Copied()) << OSTRIVEL_EXE;
        drives_.PutDemoDrives();
    }

    // Starts with a tail; true when the window came up with its four drives.
    void StartAndWait(const std::string& tail, WORD show = SW_SHOWNORMAL)
    {
        ASSERT_TRUE(run_.Start(drives_, tail, show));
        main_ = run_.WaitForMainWindow();
        ASSERT_NE(main_, nullptr);
        EXPECT_EQ(DriveRows(main_), 4);
    }

    void CloseAndExpectCleanExit()
    {
        PostMessageA(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(run_.WaitForExit(), 0);
    }

    DriveFolder drives_;
    ProgramRun run_;
    HWND main_ = nullptr;
};

TEST_F(ProgramRunTest, SwitchStartsHidden)
{
    StartAndWait("/i");
    EXPECT_FALSE(IsWindowVisible(main_));
    CloseAndExpectCleanExit();
}

TEST_F(ProgramRunTest, SwitchInsideALongerWordStartsHidden)
{
    StartAndWait("C:/images/of/disks");
    EXPECT_FALSE(IsWindowVisible(main_));
    CloseAndExpectCleanExit();
}

TEST_F(ProgramRunTest, UpperCaseSwitchStartsShown)
{
    StartAndWait("/I");
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(IsIconic(main_));
    CloseAndExpectCleanExit();
}

TEST_F(ProgramRunTest, SettingsAreSavedBesideTheProgramAtExit)
{
    StartAndWait("");
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(FileExists(run_.Settings())) << "loading creates no file";
    CloseAndExpectCleanExit();
    std::vector<uint8_t> saved;
    ASSERT_TRUE(ReadWholeFile(run_.Settings(), &saved));
    EXPECT_EQ(saved, std::vector<uint8_t>(172, 0)) << "the defaults of a missing file";
    EXPECT_FALSE(FileExists(run_.SettingsInStartFolder()));
}

TEST_F(ProgramRunTest, SettingsAreSavedWhenTheSessionEnds)
{
    StartAndWait("/i");  // no file: the program holds the zero record
    // A file put there after the start shows whether, and what, a save wrote.
    const std::vector<uint8_t> other(172, 0x41);
    ASSERT_TRUE(WriteWholeFile(run_.Settings(), other.data(), other.size()));
    DWORD_PTR ignored;
    SendMessageTimeoutA(main_, WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, Patience, &ignored);
    std::vector<uint8_t> saved;
    EXPECT_TRUE(ReadWholeFile(run_.Settings(), &saved));
    EXPECT_EQ(saved, other) << "a cancelled log-off saves nothing";
    SendMessageTimeoutA(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, Patience,
                        &ignored);
    EXPECT_TRUE(ReadWholeFile(run_.Settings(), &saved));
    EXPECT_EQ(saved, std::vector<uint8_t>(172, 0)) << "the record the program holds";
    EXPECT_TRUE(run_.Running()) << "the system ends the process, not the program";
    CloseAndExpectCleanExit();
}

class FailingStartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run_.Copied()) << OSTRIVEL_EXE; }

    // Starts on an empty drive folder, reads and closes the error box.
    void StartAndCloseTheErrorBox()
    {
        ASSERT_TRUE(run_.Start(empty_, ""));
        HWND box = run_.WaitForWindow("#32770", true);
        ASSERT_NE(box, nullptr) << "no error box";
        char caption[64] = {};
        GetWindowTextA(box, caption, sizeof caption);
        EXPECT_STREQ(caption, "Ostrivel");
        char text[600] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_EQ(std::string(text).rfind("2 - ", 0), 0u) << text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(run_.WaitForExit(), 0);
    }

    DriveFolder empty_;
    ProgramRun run_;
};

TEST_F(FailingStartTest, NoAnsweringDriveLeavesTheSettingsFileUntouched)
{
    std::vector<uint8_t> before(172);
    for (size_t i = 0; i < before.size(); ++i)
        before[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_TRUE(WriteWholeFile(run_.Settings(), before.data(), before.size()));
    StartAndCloseTheErrorBox();
    std::vector<uint8_t> after;
    ASSERT_TRUE(ReadWholeFile(run_.Settings(), &after));
    EXPECT_EQ(after, before);
}

TEST_F(FailingStartTest, NoAnsweringDriveWritesNoSettingsFile)
{
    StartAndCloseTheErrorBox();
    EXPECT_FALSE(FileExists(run_.Settings()));
}

}  // namespace
