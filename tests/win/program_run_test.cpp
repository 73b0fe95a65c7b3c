// The real ostrivel.exe as a user starts it: command line, the failing start
// and the settings file at exit. Every run has time limits and ends with the
// process gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "drive_folder.h"
#include "process_window.h"
#include "resource.h"

namespace fs = std::filesystem;

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

// A copy of the program in its own folder (or in a subfolder of that name),
// so that its ostrivel.ini lands there, started on a folder of drive
// snapshots.
class ProgramRun {
public:
    explicit ProgramRun(const std::wstring& subfolder = L"")
        : folder_("program"), elsewhere_("cwd"), programFolder_(fs::path(folder_.Path()) / subfolder)
    {
        exe_ = programFolder_ / "ostrivel.exe";
        copied_ = (subfolder.empty() || CreateDirectoryW(programFolder_.c_str(), nullptr)) &&
                  CopyFileW(fs::path(OSTRIVEL_EXE).c_str(), exe_.c_str(), FALSE);
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
    const fs::path& Exe() const { return exe_; }
    fs::path File(const char* name) const { return programFolder_ / name; }
    fs::path Settings() const { return File("ostrivel.ini"); }
    std::string SettingsInStartFolder() const { return elsewhere_.File("ostrivel.ini"); }
    std::string InStartFolder(const char* name) const { return elsewhere_.File(name); }

    // Starts the program (this copy, or the one at exe) with the tail and
    // show command, by the UTF-16 functions; the current directory is another
    // folder, so the program must find its own.
    bool Start(const DriveFolder& drives, const std::string& tail, WORD show = SW_SHOWNORMAL,
               fs::path exe = {})
    {
        exe = exe.empty() ? exe_ : exe;
        std::wstring line = L"\"" + exe.wstring() + L"\" " + std::wstring(tail.begin(), tail.end());
        std::vector<wchar_t> command(line.begin(), line.end());
        command.push_back(L'\0');
        std::vector<char> environment = EnvironmentWithDrives(drives.Path());
        STARTUPINFOW start = {};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESHOWWINDOW;
        start.wShowWindow = show;
        return CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, environment.data(),
                              fs::path(elsewhere_.Path()).c_str(), &start, &process_) != 0;
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
    fs::path programFolder_;
    fs::path exe_;
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

TEST_F(ProgramRunTest, ALaterCopyOfTheFolderRecallsTheFirstAndEnds)
{
    StartAndWait("/i");
    ProgramRun hidden, later, elsewhere;  // the first two start this test's copy
    ASSERT_TRUE(hidden.Start(drives_, "/i", SW_SHOWNORMAL, run_.Exe()));
    EXPECT_EQ(hidden.WaitForExit(), 0);
    EXPECT_FALSE(IsWindowVisible(main_)) << "a hidden start shows nothing";
    std::wstring upper = run_.Exe().wstring();  // the same folder in other letters
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    ASSERT_TRUE(later.Start(drives_, "", SW_SHOWNORMAL, upper));
    EXPECT_EQ(later.WaitForExit(), 0);
    EXPECT_EQ(run_.WaitForWindow("ostrivel", true), main_) << "the first copy's window is back";

    ASSERT_TRUE(elsewhere.Copied() && elsewhere.Start(drives_, ""));  // a folder of its own
    HWND second = elsewhere.WaitForMainWindow();
    ASSERT_NE(second, nullptr);
    PostMessageA(second, WM_CLOSE, 0, 0);
    EXPECT_EQ(elsewhere.WaitForExit(), 0);
    CloseAndExpectCleanExit();
}

// With every drive read without rights, Run as Administrator starts the
// program with "runas" (under Wine a plain start, no prompt) and this copy
// ends; the copy started so takes over and never offers the item again.
TEST_F(ProgramRunTest, RunAsAdministratorHandsOverToTheCopyStartedSo)
{
    for (int d = 0; d < 4; ++d)
        drives_.Fail(d, "admin");
    StartAndWait("");
    PostMessageA(main_, WM_COMMAND, CMD_RUN_AS_ADMIN, 0);
    EXPECT_EQ(run_.WaitForExit(), 0);
    HWND elevated = nullptr;  // once shown, its start-up is over (no other copy runs in this Wine)
    for (DWORD start = GetTickCount(); !IsWindowVisible(elevated = FindWindowA("ostrivel", nullptr)) &&
                                       GetTickCount() - start < Patience;)
        Sleep(20);
    ASSERT_TRUE(IsWindowVisible(elevated));
    EXPECT_EQ(DriveRows(elevated), 4);
    DWORD id = 0;
    GetWindowThreadProcessId(elevated, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    PostMessageA(elevated, WM_COMMAND, CMD_RUN_AS_ADMIN, 0);
    EXPECT_EQ(WaitForSingleObject(process, 2000), static_cast<DWORD>(WAIT_TIMEOUT)) << "not offered: it goes on";
    PostMessageA(elevated, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process, Patience), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(process);
}

TEST_F(ProgramRunTest, StaleTemporaryFilesGoAndACutSaveIsFinished)
{
    std::vector<uint8_t> older(172, 0), newer(172, 0);
    older[4] = 7;  // changePercent
    newer[4] = 9;
    const std::pair<const char*, size_t> files[] = {  // name, bytes of the newer record
        {"OST1B2C.TMP", 172}, {"ost0.tmp", 0}, {"osmF3.tmp", 100},  // the two saves' own
        {"ost12345.tmp", 172}, {"ostG1.tmp", 172}, {"ost1.tmp.bak", 172}, {"ost2.tmp", 100},
    };
    for (const auto& [name, size] : files)
        ASSERT_TRUE(WriteWholeFile(run_.File(name), newer.data(), size));
    const fs::path earlier = run_.File("ostA1.tmp");
    ASSERT_TRUE(WriteWholeFile(earlier, older.data(), older.size()));
    fs::last_write_time(earlier, fs::file_time_type::clock::now() - std::chrono::hours(1));
    // The monitor's newest leftover is no settings record, whatever its size.
    const fs::path state = run_.File("osm7.tmp");
    ASSERT_TRUE(WriteWholeFile(state, older.data(), older.size()));
    fs::last_write_time(state, fs::file_time_type::clock::now() + std::chrono::hours(1));

    StartAndWait("");
    EXPECT_FALSE(FileExists(earlier));
    EXPECT_FALSE(FileExists(state));
    for (size_t i = 0; i < std::size(files); ++i)
        EXPECT_EQ(FileExists(run_.File(files[i].first)), i >= 3) << files[i].first;
    CloseAndExpectCleanExit();
    std::vector<uint8_t> saved;
    ASSERT_TRUE(ReadWholeFile(run_.Settings(), &saved));
    EXPECT_EQ(saved, newer) << "the newer whole record became the settings file";
}

// Ctrl+C typed in the window puts the report on the clipboard; "/report
// FILE" writes the same into the caller's folder, beside the running copy or
// from a folder of its own that keeps no settings or state, and ends with the
// worst level's code.
TEST_F(ProgramRunTest, CtrlCAndTheReportSwitchGiveTheReport)
{
    StartAndWait("");  // the demo drives
    SetForegroundWindow(main_);
    const DWORD before = GetClipboardSequenceNumber();
    for (const auto& [key, up] : {std::pair(VK_CONTROL, 0), {'C', 0}, {'C', KEYEVENTF_KEYUP}, {VK_CONTROL, KEYEVENTF_KEYUP}})
        keybd_event(static_cast<BYTE>(key), 0, up, 0);
    for (DWORD start = GetTickCount(); GetClipboardSequenceNumber() == before && GetTickCount() - start < Patience;)
        Sleep(20);
    std::string copied;
    OpenClipboard(nullptr);
    if (HANDLE data = GetClipboardData(CF_TEXT))
        copied = static_cast<const char*>(GlobalLock(data));
    CloseClipboard();

    const std::string worn = SampleBlob("modern/WDC_WD20EZRX-00D8PB0--80.00A80.blob");
    if (worn.empty())
        GTEST_SKIP() << "no drive samples on this machine";
    const struct {
        std::string blob;                // at position 0; "" none; "demo": beside the running copy
        const char *tail, *file, *line;  // file: null where none can be written
        int exitCode;
    } runs[] = {
        {"demo", "/report report.txt", "report.txt", "  Health: Alert", 2},
        {worn, "/report \"my report.txt\"", "my report.txt", "    468 pending sectors (197)", 1},
        {DemoBlob(0), "/i /report r.txt", "r.txt", "  Health: Ok", 0},
        {"", "/report none.txt", "none.txt", "No drive answered.", 4},
        {DemoBlob(0), "/report no-such-folder\\r.txt", nullptr, nullptr, 3},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.tail);
        const bool beside = r.blob == "demo";
        DriveFolder own;
        if (!beside && !r.blob.empty())
            own.Put(0, r.blob);
        ProgramRun report;
        ASSERT_TRUE(report.Start(beside ? drives_ : own, r.tail, SW_SHOWNORMAL, beside ? run_.Exe() : report.Exe()));
        EXPECT_EQ(report.WaitForExit(), r.exitCode);
        EXPECT_TRUE(beside || !(FileExists(report.Settings()) || FileExists(report.File("ostrivel.mon"))));
        std::vector<uint8_t> bytes;
        EXPECT_EQ(r.file && ReadWholeFile(report.InStartFolder(r.file), &bytes), r.file != nullptr);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_TRUE(!r.line || text.find("\r\n" + std::string(r.line) + "\r\n") != std::string::npos) << text;
        EXPECT_TRUE(!beside || copied.substr(copied.find("\r\n\r\n")) == text.substr(text.find("\r\n\r\n")));
    }
    // Read without rights, the report takes the thresholds the running copy keeps.
    drives_.Fail(1, "admin");
    ProgramRun limited;
    ASSERT_TRUE(limited.Start(drives_, "/report kept.txt", SW_SHOWNORMAL, run_.Exe()));
    EXPECT_EQ(limited.WaitForExit(), 2);
    std::vector<uint8_t> kept;
    ASSERT_TRUE(ReadWholeFile(limited.InStartFolder("kept.txt"), &kept));
    const std::string keptText(kept.begin(), kept.end());
    EXPECT_NE(keptText.find("Raw Read Error Rate                100   100        60  "), std::string::npos) << keptText;
    EXPECT_TRUE(run_.Running()) << "the running copy is left alone";
    CloseAndExpectCleanExit();
}

// A program folder whose name the code page cannot hold, whatever the locale.
TEST(ProgramFolderTest, AnyFolderNameKeepsTheSettingsAndTheRunValueRight)
{
    DriveFolder drives;
    drives.PutDemoDrives();
    ProgramRun run(L"\u65E5\u672C \u30C9\u30E9\u30A4\u30D6");  // "日本 ドライブ"
    ASSERT_TRUE(run.Copied() && run.Start(drives, ""));
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, 106, 0);  // Setup, with "start at log-on" checked
    HWND setup = run.WaitForWindow("#32770", true);
    ASSERT_NE(setup, nullptr);
    SendMessageA(GetDlgItem(setup, 1500), BM_SETCHECK, BST_CHECKED, 0);
    DWORD_PTR ignored;
    SendMessageTimeoutA(setup, WM_COMMAND, IDOK, 0, SMTO_ABORTIFHUNG, Patience, &ignored);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_TRUE(FileExists(run.Settings()));
    EXPECT_FALSE(FileExists(run.SettingsInStartFolder()));

    const WCHAR runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    WCHAR data[MAX_PATH + 8] = {};
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, runKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD size = sizeof data - sizeof(WCHAR);
    RegQueryValueExW(key, L"Ostrivel", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegDeleteValueW(key, L"Ostrivel");
    RegCloseKey(key);
    EXPECT_EQ(std::wstring(data), L"\"" + run.Exe().wstring() + L"\" /i");
}

class FailingStartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run_.Copied()) << OSTRIVEL_EXE; }

    // Starts on an empty drive folder, reads and closes the error box.
    void StartAndCloseTheErrorBox(const char* textStart = "2 - ")
    {
        ASSERT_TRUE(run_.Start(empty_, ""));
        HWND box = run_.WaitForWindow("#32770", true);
        ASSERT_NE(box, nullptr) << "no error box";
        char caption[64] = {};
        GetWindowTextA(box, caption, sizeof caption);
        EXPECT_STREQ(caption, "Ostrivel");
        char text[600] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        EXPECT_EQ(std::string(text).rfind(textStart, 0), 0u) << text;
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

TEST_F(FailingStartTest, ADeniedDriveIsWhatTheBoxSaysNotTheEmptyPositionsAfterIt)
{
    empty_.Fail(0, "open 5");
    StartAndCloseTheErrorBox("5 - ");
}

}  // namespace
