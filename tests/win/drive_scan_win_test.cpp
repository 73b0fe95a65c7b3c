// The drive scan and the SMART driver check with the real Windows services,
// under Wine: the NT path against Wine's own devices, the 9x path (Wine set to
// report Windows 98 for this program, in a child process) with real files in
// the system folder, and the emulated driver chosen by OSTRIVEL_DRIVES.
// Message boxes are closed by a watcher thread that records what they showed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "drive_scan.h"
#include "drive_services.h"
#include "drive_table.h"

namespace {

const char ChildVariable[] = "OSTRIVEL_NINEX_CHILD";
const DWORD BoxTimeLimitMs = 20000;

std::string SystemText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
                   nullptr);
    std::string s = text ? text : "";
    LocalFree(text);
    return s;
}

// ---- Message boxes ------------------------------------------------------------

struct SeenBox {
    std::string text, caption;
    UINT icon;  // MB_ICONERROR, MB_ICONINFORMATION, or 0 for another picture
};

// While it lives, a thread closes every message box of this process with OK
// and records its text, caption and icon.
class BoxWatcher {
public:
    BoxWatcher()
    {
        InitializeCriticalSection(&lock_);
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~BoxWatcher()
    {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(stop_);
        DeleteCriticalSection(&lock_);
    }
    std::vector<SeenBox> Boxes()
    {
        EnterCriticalSection(&lock_);
        std::vector<SeenBox> copy = boxes_;
        LeaveCriticalSection(&lock_);
        return copy;
    }

private:
    static UINT IconOf(HWND box)
    {
        HICON shown = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x0440, STM_GETICON, 0, 0));
        if (shown && shown == LoadIconA(nullptr, IDI_HAND))
            return MB_ICONERROR;
        if (shown && shown == LoadIconA(nullptr, IDI_ASTERISK))
            return MB_ICONINFORMATION;
        return 0;
    }

    static BOOL CALLBACK Visit(HWND window, LPARAM self)
    {
        auto* watcher = reinterpret_cast<BoxWatcher*>(self);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char name[16] = "";
        GetClassNameA(window, name, sizeof name);
        if (process != GetCurrentProcessId() || std::strcmp(name, "#32770") != 0 || !IsWindowVisible(window))
            return TRUE;
        for (HWND closed : watcher->closed_) {
            if (closed == window)
                return TRUE;
        }
        char caption[256] = "", text[2048] = "";
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        EnterCriticalSection(&watcher->lock_);
        watcher->boxes_.push_back({text, caption, IconOf(window)});
        LeaveCriticalSection(&watcher->lock_);
        watcher->closed_.push_back(window);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }

    static DWORD WINAPI Run(void* self)
    {
        auto* watcher = static_cast<BoxWatcher*>(self);
        while (WaitForSingleObject(watcher->stop_, 20) == WAIT_TIMEOUT)
            EnumWindows(Visit, reinterpret_cast<LPARAM>(watcher));
        return 0;
    }

    CRITICAL_SECTION lock_;
    HANDLE stop_;
    HANDLE thread_;
    std::vector<SeenBox> boxes_;
    std::vector<HWND> closed_;
};

// ---- Files ------------------------------------------------------------------

std::string SystemFolder()
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder under the temp folder, removed with its files afterwards.
class TempFolder {
public:
    TempFolder()
    {
        char base[MAX_PATH] = "";
        GetTempPathA(sizeof base, base);
        path_ = std::string(base) + "ostrivel-scan-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(counter_++);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder()
    {
        for (const char* name : {"drive0.blob", "drive1.blob", "drive2.blob", "drive3.blob", "drive0.fail"})
            DeleteFileA(File(name).c_str());
        RemoveDirectoryA(File("drive0.blob").c_str());
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    std::string File(const char* name) const { return path_ + "\\" + name; }

private:
    std::string path_;
    static inline int counter_ = 0;
};

// A snapshot whose IDENTIFY sector names the given model.
std::string Snapshot(const char* model)
{
    std::string sector(512, '\0');
    const size_t n = std::strlen(model);
    for (size_t i = 0; i < 40; ++i)
        sector[54 + (i ^ 1)] = i < n ? model[i] : ' ';
    std::string file = "IDFY";
    file += std::string("\0\0\x02\0", 4);
    return file + sector;
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name)
    {
        SetEnvironmentVariableA(name, value);
    }
    ~EnvironmentVariable() { SetEnvironmentVariableA(name_, nullptr); }

private:
    const char* name_;
};

bool IsBlank(int d)
{
    DriveRecord blank{};
    blank.listPosition = -1;
    return std::memcmp(&DriveTable[d], &blank, sizeof blank) == 0;
}

// ---- Windows NT: Wine's own devices ------------------------------------------

class WindowsScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (GetEnvironmentVariableA(ChildVariable, nullptr, 0))
            GTEST_SKIP() << "the Windows 98 child runs only its own tests";
        SetSmartOs(WindowsSmartOs());
        std::memset(ErrorText, 0, sizeof ErrorText);
        ResetDriveTable();
    }
};

TEST_F(WindowsScanTest, NtPositionsOneToThreeFailToOpen)
{
    ASSERT_EQ(WindowsSmartOs().platformId(), 2u);
    const std::string notFound = "2 - " + SystemText(ERROR_FILE_NOT_FOUND);
    for (int d = 1; d < 4; ++d) {
        std::memset(ErrorText, 0, sizeof ErrorText);
        EXPECT_EQ(ProbeDrive(d), 0) << d;
        EXPECT_EQ(std::string(ErrorText), notFound) << d;
    }
    // Wine opens PhysicalDrive0 but refuses the SMART version query.
    EXPECT_EQ(ProbeDrive(0), 0);
}

TEST_F(WindowsScanTest, NtScanWithoutAnswersShowsTheLastOpenFailure)
{
    std::memset(DriveTable, 0x5A, sizeof DriveTable);
    int result = -1;
    std::vector<SeenBox> boxes;
    {
        BoxWatcher watcher;
        result = ScanDrives();
        boxes = watcher.Boxes();
    }
    EXPECT_EQ(result, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "2 - " + SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(boxes[0].caption, "Ostrivel");
    EXPECT_EQ(boxes[0].icon, static_cast<UINT>(MB_ICONERROR));
    for (int d = 0; d < 4; ++d)
        EXPECT_TRUE(IsBlank(d)) << d;
}

TEST_F(WindowsScanTest, NtNeedsNoDriverFile)
{
    BoxWatcher watcher;
    EXPECT_EQ(CheckSmartDriver(), 1);
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(WindowsScanTest, SystemTextsKeepTheirInserts)
{
    // Code 107's text carries %1; read with inserts it would need arguments.
    SetLastError(107);
    char text[ErrorTextSize];
    FormatLastError(text);
    EXPECT_EQ(std::string(text), "107 - " + SystemText(107));
    EXPECT_NE(std::string(text).find("%1"), std::string::npos);

    EXPECT_EQ(WindowsSmartOs().formatSystemText(0xE0001234u), nullptr);
    SetLastError(0xE0001234u);
    FormatLastError(text);
    EXPECT_EQ(std::string(text).rfind("-536866252 - (", 0), 0u) << text;
}

// ---- The emulated driver, chosen by OSTRIVEL_DRIVES ------------------------------

TEST_F(WindowsScanTest, DrivesVariableSelectsTheEmulatedDriver)
{
    TempFolder folder;
    WriteText(folder.File("drive2.blob"), Snapshot("EMULATED SECONDARY"));
    EnvironmentVariable drives("OSTRIVEL_DRIVES", folder.Path().c_str());
    SelectDriveServices();
    EXPECT_NE(CurrentSmartOs().createFile, WindowsSmartOs().createFile);
    EXPECT_EQ(CurrentSmartOs().messageBox, WindowsSmartOs().messageBox);
    {
        BoxWatcher watcher;
        EXPECT_EQ(CheckSmartDriver(), 1);
        EXPECT_EQ(ScanDrives(), 1);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    EXPECT_STREQ(DriveTable[2].model, "EMULATED SECONDARY");
    EXPECT_EQ(DriveTable[2].listPosition, 0);
    EXPECT_EQ(std::string(ErrorText), "2 - " + SystemText(ERROR_FILE_NOT_FOUND));  // position 3
    EXPECT_EQ(OpenEmulatedDevices(), 0);

    // Files the emulated driver cannot use, read through the Windows calls.
    CreateDirectoryA(folder.File("drive0.blob").c_str(), nullptr);
    EXPECT_EQ(ProbeDrive(0), 0);
    EXPECT_EQ(std::string(ErrorText), "5 - " + SystemText(ERROR_ACCESS_DENIED));
    WriteText(folder.File("drive1.blob"), std::string(10 * 1024 * 1024, '\0'));
    EXPECT_EQ(ProbeDrive(1), 0);
    EXPECT_EQ(std::string(ErrorText, 6), "223 - ");
    WriteText(folder.File("drive3.blob"), "IDFY");
    EXPECT_EQ(ProbeDrive(3), 0);
    EXPECT_EQ(std::string(ErrorText), "1392 - " + SystemText(ERROR_FILE_CORRUPT));
}

TEST_F(WindowsScanTest, RelativeDrivesFolderMeansTheFolderStartedIn)
{
    // The program enters its own folder before the scan; a relative name must
    // still mean the folder that was current when the program started.
    TempFolder folder;
    WriteText(folder.File("drive1.blob"), Snapshot("RELATIVE DRIVE"));
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    const std::string path = folder.Path();
    const std::string parent = path.substr(0, path.rfind('\\'));
    const std::string name = path.substr(path.rfind('\\') + 1);
    ASSERT_TRUE(SetCurrentDirectoryA(parent.c_str()));
    EnvironmentVariable drives("OSTRIVEL_DRIVES", name.c_str());
    SelectDriveServices();
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    SetCurrentDirectoryA(system);
    {
        BoxWatcher watcher;  // closes the error box that a wrong folder brings
        EXPECT_EQ(ScanDrives(), 1);
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    SetCurrentDirectoryA(before);
    EXPECT_STREQ(DriveTable[1].model, "RELATIVE DRIVE");
}

TEST_F(WindowsScanTest, EmptyOrMissingVariableSelectsTheRealServices)
{
    {
        EnvironmentVariable drives("OSTRIVEL_DRIVES", "");
        SelectDriveServices();
        EXPECT_EQ(CurrentSmartOs().createFile, WindowsSmartOs().createFile);
    }
    SelectDriveServices();
    EXPECT_EQ(CurrentSmartOs().createFile, WindowsSmartOs().createFile);
    EXPECT_EQ(CurrentSmartOs().deviceIoControl, WindowsSmartOs().deviceIoControl);
}

// ---- Windows 9x, in a child process that Wine tells it is Windows 98 ---------

// Sets HKCU\Software\Wine\AppDefaults\<this program>\Version for the lifetime
// of the object, then puts back what was there.
class WineVersionOverride {
public:
    explicit WineVersionOverride(const char* version)
    {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, sizeof path);
        const char* name = std::strrchr(path, '\\') ? std::strrchr(path, '\\') + 1 : path;
        const std::string key = std::string("Software\\Wine\\AppDefaults\\") + name;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            &disposition) != ERROR_SUCCESS)
            return;
        createdKey_ = disposition == REG_CREATED_NEW_KEY;
        keyName_ = key;
        DWORD size = sizeof previous_;
        hadValue_ = RegQueryValueExA(key_, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(previous_),
                                     &size) == ERROR_SUCCESS;
        RegSetValueExA(key_, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(std::strlen(version) + 1));
    }
    ~WineVersionOverride()
    {
        if (!key_)
            return;
        if (hadValue_)
            RegSetValueExA(key_, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(previous_),
                           static_cast<DWORD>(std::strlen(previous_) + 1));
        else
            RegDeleteValueA(key_, "Version");
        RegCloseKey(key_);
        if (createdKey_)
            RegDeleteKeyA(HKEY_CURRENT_USER, keyName_.c_str());
    }
    bool Set() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
    bool createdKey_ = false;
    bool hadValue_ = false;
    char previous_[64] = "";
    std::string keyName_;
};

// Runs this program again with only the NineX tests, within a time limit.
DWORD RunChild(const char* filter)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string command = std::string("\"") + path + "\" --gtest_filter=" + filter;
    EnvironmentVariable child(ChildVariable, "1");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(path, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFFu;
    DWORD code = 0xFFFFFFFEu;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST_F(WindowsScanTest, NineXPathRunsAsWindows98)
{
    WineVersionOverride win98("win98");
    ASSERT_TRUE(win98.Set());
    EXPECT_EQ(RunChild("NineX*"), 0u) << "the Windows 98 tests failed (their output is above)";
}

class NineX : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GetEnvironmentVariableA(ChildVariable, nullptr, 0))
            GTEST_SKIP() << "runs in the Windows 98 child of NineXPathRunsAsWindows98";
        SetSmartOs(WindowsSmartOs());
        ResetDriveTable();
        std::memset(ErrorText, 0, sizeof ErrorText);
        system = SystemFolder();
        iosubsys = system + "\\iosubsys";
        target = iosubsys + "\\smartvsd.vxd";
        source = system + "\\smartvsd.vxd";
        RemoveDriverFiles();  // left by an interrupted run; the prefix is the build's own
    }
    void TearDown() override { RemoveDriverFiles(); }
    void RemoveDriverFiles()
    {
        DeleteFileA(target.c_str());
        DeleteFileA(source.c_str());
        RemoveDirectoryA(iosubsys.c_str());
    }
    std::vector<SeenBox> Check(int expected)
    {
        BoxWatcher watcher;
        EXPECT_EQ(CheckSmartDriver(), expected);
        return watcher.Boxes();
    }

    std::string system, iosubsys, target, source;
};

TEST_F(NineX, WineReportsWindows98)
{
    EXPECT_EQ(WindowsSmartOs().platformId(), 1u);
}

TEST_F(NineX, DriverInIosubsysGoesOn)
{
    CreateDirectoryA(iosubsys.c_str(), nullptr);
    WriteText(target, "installed driver");
    EXPECT_TRUE(Check(1).empty());
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(ReadText(target), "installed driver");
}

TEST_F(NineX, DriverOnlyInTheSystemFolderIsCopied)
{
    CreateDirectoryA(iosubsys.c_str(), nullptr);
    WriteText(source, "driver to install");
    const std::vector<SeenBox> boxes = Check(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Your system has been updated, please reboot");
    EXPECT_EQ(boxes[0].caption, "Ostrivel");
    EXPECT_EQ(boxes[0].icon, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(ReadText(target), "driver to install");
    EXPECT_TRUE(Check(1).empty());  // the next start goes on
}

TEST_F(NineX, DriverNowhereStops)
{
    CreateDirectoryA(iosubsys.c_str(), nullptr);
    const std::vector<SeenBox> boxes = Check(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "File smartvsd.vxd not present in the system");
    EXPECT_EQ(boxes[0].caption, "Ostrivel");
    EXPECT_EQ(boxes[0].icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(Exists(target));
}

TEST_F(NineX, FailedCopySaysWhy)
{
    WriteText(source, "driver to install");  // no iosubsys folder: the copy fails
    const std::vector<SeenBox> boxes = Check(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Could not copy smartvsd.vxd to " + target + "\n3 - " + SystemText(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(boxes[0].caption, "Ostrivel");
    EXPECT_EQ(boxes[0].icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(Exists(target));
}

TEST_F(NineX, ScanOpensTheSmartDevice)
{
    std::vector<SeenBox> boxes;
    {
        BoxWatcher watcher;
        EXPECT_EQ(ScanDrives(), 0);
        boxes = watcher.Boxes();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "2 - " + SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(boxes[0].caption, "Ostrivel");
    EXPECT_EQ(boxes[0].icon, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(NineX, EmulatedDriverServesEveryPositionThroughOneDevice)
{
    TempFolder folder;
    WriteText(folder.File("drive1.blob"), Snapshot("EMULATED SLAVE"));
    EnvironmentVariable drives("OSTRIVEL_DRIVES", folder.Path().c_str());
    SelectDriveServices();
    EXPECT_EQ(ScanDrives(), 1);
    EXPECT_STREQ(DriveTable[1].model, "EMULATED SLAVE");
    EXPECT_EQ(DriveTable[1].listPosition, 0);
    EXPECT_EQ(ErrorText[0], '\0');  // the one device opened every time
    SetSmartOs(WindowsSmartOs());
}

}  // namespace
