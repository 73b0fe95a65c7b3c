// The settings file on real files under Wine: each test works in a folder of
// its own, made the current directory, and removes it afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "file_places.h"
#include "import_hook.h"
#include "settings.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char FileName[] = "ostrivel.ini";

void WriteBytes(const char* name, const Bytes& bytes)
{
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), bytes.size(), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
    CloseHandle(file);
}

// The file's bytes; empty with a failure when it cannot be read.
Bytes ReadBytes(const char* name)
{
    Bytes bytes(4096);
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << name;
        return {};
    }
    DWORD read = 0;
    ReadFile(file, bytes.data(), bytes.size(), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

Bytes RecordBytes()
{
    const auto* p = reinterpret_cast<const uint8_t*>(&CurrentSettings);
    return Bytes(p, p + sizeof CurrentSettings);
}

// A record image with every field set and distinct from any other test's.
Bytes SampleRecord(uint8_t seed)
{
    Bytes bytes(172, 0);
    bytes[0] = seed;         // pollMinutes
    bytes[4] = seed + 1;     // changePercent
    bytes[8] = 'm';          // emailAddress "m"
    bytes[88] = 's';         // smtpServer "s"
    bytes[168] = seed + 2;   // recallMode
    return bytes;
}

// Names of the entries of the current folder, "." and ".." left out.
std::vector<std::string> FolderEntries()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, ".."))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void ExpectRecordZero()
{
    EXPECT_EQ(RecordBytes(), Bytes(172, 0));
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter;
        ASSERT_TRUE(GetCurrentDirectoryA(sizeof previous_, previous_));
        char temp[MAX_PATH];
        ASSERT_TRUE(GetTempPathA(sizeof temp, temp));
        folder_ = std::string(temp) + "ostrivel_settings_" + std::to_string(GetCurrentProcessId())
                  + "_" + std::to_string(++counter);
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
        ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
        // The user's folders of this test alone.
        home_ = folder_ + "_home";
        std::filesystem::create_directories(home_ + "\\Roaming");
        SetEnvironmentVariableA("APPDATA", (home_ + "\\Roaming").c_str());
        SetEnvironmentVariableA("LOCALAPPDATA", (home_ + "\\Local").c_str());
        ForgetSettings();
    }

    void TearDown() override
    {
        ForgetSettings();
        for (const std::string& name : FolderEntries()) {
            SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(name.c_str());
        }
        SetCurrentDirectoryA(previous_);
        EXPECT_TRUE(RemoveDirectoryA(folder_.c_str())) << folder_;
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }

    std::string folder_;
    std::string home_;

private:
    char previous_[MAX_PATH];
};

TEST_F(SettingsFileTest, NoFileGivesZeroRecordAndSaveCreatesIt)
{
    memset(&CurrentSettings, 0x5A, sizeof CurrentSettings);
    LoadSettings();
    ExpectRecordZero();

    CurrentSettings.pollMinutes = 3;
    SaveSettings();
    Bytes expected(172, 0);
    expected[0] = 3;
    EXPECT_EQ(ReadBytes(FileName), expected);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName}) << "temporary file left";
}

TEST_F(SettingsFileTest, ExampleRecordIsWrittenByteForByte)
{
    LoadSettings();
    CurrentSettings.pollMinutes = 10;
    CurrentSettings.changePercent = 5;
    strcpy(CurrentSettings.emailAddress, "a");
    strcpy(CurrentSettings.smtpServer, "b");
    CurrentSettings.recallMode = 1;
    SaveSettings();

    Bytes expected(172, 0);
    expected[0] = 0x0A;
    expected[4] = 0x05;
    expected[8] = 0x61;
    expected[88] = 0x62;
    expected[168] = 0x01;
    EXPECT_EQ(ReadBytes(FileName), expected);
    EXPECT_EQ(RecordBytes(), expected) << "a successful save keeps the record";

    // An existing file is replaced, and the next start reads it back.
    CurrentSettings.pollMinutes = -1;
    SaveSettings();
    ForgetSettings();
    LoadSettings();
    EXPECT_EQ(CurrentSettings.pollMinutes, -1);
    EXPECT_STREQ(CurrentSettings.smtpServer, "b");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName});
}

TEST_F(SettingsFileTest, ShortFileFillsOnlyItsBytes)
{
    WriteBytes(FileName, {0x01, 0x00, 0x00, 0x00});
    memset(&CurrentSettings, 0x5A, sizeof CurrentSettings);
    LoadSettings();
    Bytes expected(172, 0);
    expected[0] = 1;
    EXPECT_EQ(RecordBytes(), expected);
    EXPECT_EQ(CurrentSettings.pollMinutes, 1);
    EXPECT_EQ(CurrentSettings.recallMode, 0) << "icon recall";
}

TEST_F(SettingsFileTest, LongFileUsesItsFirst172BytesAndIsCutBySave)
{
    Bytes file = SampleRecord(40);
    file.resize(200, 0xEE);
    WriteBytes(FileName, file);
    LoadSettings();
    EXPECT_EQ(RecordBytes(), SampleRecord(40));

    SaveSettings();
    EXPECT_EQ(ReadBytes(FileName), SampleRecord(40));
}

TEST_F(SettingsFileTest, TextWithoutTerminatorIsCutAtItsLastByte)
{
    Bytes file = SampleRecord(7);
    memset(&file[8], 'x', 80);
    memset(&file[88], 'y', 80);
    WriteBytes(FileName, file);
    LoadSettings();

    EXPECT_EQ(strlen(CurrentSettings.emailAddress), 79u);
    EXPECT_EQ(strlen(CurrentSettings.smtpServer), 79u);
    EXPECT_EQ(CurrentSettings.pollMinutes, 7);
    EXPECT_EQ(CurrentSettings.recallMode, 9) << "neighbouring fields untouched";
}

TEST_F(SettingsFileTest, TerminatedTextKeepsItsBytesAfterTheTerminator)
{
    // 79 characters and the terminator in the last byte; junk up to the last
    // byte after an early terminator. Both come back unchanged.
    Bytes file = SampleRecord(8);
    memset(&file[8], 'x', 79);
    file[87] = 0;
    memset(&file[88], 'j', 80);
    file[89] = 0;
    WriteBytes(FileName, file);
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(ReadBytes(FileName), file);
}

TEST_F(SettingsFileTest, NoSaveBeforeALoad)
{
    // A main window whose creation failed is destroyed before any load.
    SaveSettings();
    EXPECT_TRUE(FolderEntries().empty()) << "nothing created";

    WriteBytes(FileName, SampleRecord(12));
    SaveSettings();
    EXPECT_EQ(ReadBytes(FileName), SampleRecord(12));
}

// Folder made unwritable with the Linux immutable attribute (chattr +i), run
// through Wine: the read-only attribute of a directory does not stop file
// creation, and as root neither do permission bits. Nothing can be created,
// renamed or deleted in such a folder, though its files stay writable.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const std::string& folder)
        : folder_(folder), marker_(folder + ".done") {}
    ~ImmutableFolder()
    {
        if (immutable_) {
            EXPECT_TRUE(Set(false)) << "folder still immutable: " << folder_;
        }
    }

    // Sets or clears the attribute; true once file creation in the folder
    // fails (on) or works again (off).
    bool Set(bool on)
    {
        if (!RunChattr(on ? "+i" : "-i"))
            return false;
        immutable_ = !CanCreateFile();
        return immutable_ == on;
    }

private:
    bool CanCreateFile()
    {
        std::string probe = folder_ + "\\probe";
        HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        DeleteFileA(probe.c_str());
        return true;
    }

    // A function that only Wine's kernel32 exports; null elsewhere.
    static void (*WineFunction(const char* name))()
    {
        FARPROC function = GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
        return reinterpret_cast<void (*)()>(function);
    }

    // Runs chattr through a Unix shell started by Wine. Such a process gives
    // no handle to wait on, so the shell leaves a marker file beside the
    // folder when chattr has finished; true once the marker appeared.
    bool RunChattr(const char* flag)
    {
        using UnixName = char*(CDECL*)(const WCHAR*);
        using DosName = WCHAR*(CDECL*)(const char*);
        auto unixName = reinterpret_cast<UnixName>(WineFunction("wine_get_unix_file_name"));
        auto dosName = reinterpret_cast<DosName>(WineFunction("wine_get_dos_file_name"));
        if (!unixName || !dosName)
            return false;
        std::wstring wideFolder(folder_.begin(), folder_.end());
        char* unixFolder = unixName(wideFolder.c_str());
        WCHAR* shell = dosName("/bin/sh");
        bool started = false;
        DeleteFileA(marker_.c_str());
        if (unixFolder && shell) {
            // sh -c "chattr +i \"$0\"; touch \"$0.done\"" "<folder>"
            std::string command = R"(sh -c "chattr )" + std::string(flag)
                                  + R"( \"$0\"; touch \"$0.done\"" ")" + unixFolder + "\"";
            std::wstring wideCommand(command.begin(), command.end());
            STARTUPINFOW startup = {};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process = {};
            started = CreateProcessW(shell, wideCommand.data(), nullptr, nullptr, FALSE, 0,
                                     nullptr, nullptr, &startup, &process);
            if (process.hProcess)
                CloseHandle(process.hProcess);
            if (process.hThread)
                CloseHandle(process.hThread);
        }
        HeapFree(GetProcessHeap(), 0, unixFolder);
        HeapFree(GetProcessHeap(), 0, shell);
        for (int i = 0; started && i < 100; ++i) {
            if (DeleteFileA(marker_.c_str()))
                return true;
            Sleep(50);
        }
        return false;
    }

    std::string folder_;
    std::string marker_;
    bool immutable_ = false;
};

// After a save that cannot replace the file, the earlier file is unchanged
// byte for byte, no temporary file is left and the reason is the system's.
void ExpectFailedSaveKeepsFile(const Bytes& earlier, DWORD reason)
{
    LoadSettings();
    ASSERT_EQ(RecordBytes(), earlier);
    CurrentSettings.pollMinutes = 99;
    EXPECT_EQ(SaveSettings(), 0);
    EXPECT_EQ(GetLastError(), reason);
    EXPECT_EQ(ReadBytes(FileName), earlier);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName}) << "temporary file left";
}

// Once the obstacle is gone, the next save writes the record the user set.
void ExpectSaveAfterwardsWrites(const Bytes& earlier)
{
    EXPECT_EQ(SaveSettings(), 1);
    Bytes expected = earlier;
    expected[0] = 99;
    EXPECT_EQ(ReadBytes(FileName), expected);
}

TEST_F(SettingsFileTest, ReadOnlyFileIsKept)
{
    WriteBytes(FileName, SampleRecord(20));
    ASSERT_TRUE(SetFileAttributesA(FileName, FILE_ATTRIBUTE_READONLY));
    ExpectFailedSaveKeepsFile(SampleRecord(20), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributesA(FileName) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(SetFileAttributesA(FileName, FILE_ATTRIBUTE_NORMAL));
    ExpectSaveAfterwardsWrites(SampleRecord(20));
}

TEST_F(SettingsFileTest, FileHeldOpenWithoutWriteSharingIsKept)
{
    WriteBytes(FileName, SampleRecord(21));
    HANDLE holder = CreateFileA(FileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ExpectFailedSaveKeepsFile(SampleRecord(21), ERROR_SHARING_VIOLATION);  // the load shares reading

    CloseHandle(holder);
    ExpectSaveAfterwardsWrites(SampleRecord(21));
}

TEST_F(SettingsFileTest, FileHeldOpenWithWriteSharingIsReplacedWholeOrKept)
{
    // The system may refuse to replace a file that is open at all; either
    // way the file is one whole record and nothing is left behind.
    WriteBytes(FileName, SampleRecord(23));
    LoadSettings();
    ASSERT_EQ(RecordBytes(), SampleRecord(23));
    HANDLE holder = CreateFileA(FileName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    CurrentSettings.pollMinutes = 99;
    Bytes saved = RecordBytes();
    const int done = SaveSettings();
    CloseHandle(holder);
    EXPECT_EQ(RecordBytes(), saved);
    EXPECT_EQ(ReadBytes(FileName), done ? saved : SampleRecord(23));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName}) << "temporary file left";
}

// A program folder that takes no new files (Program Files, run as a user):
// the files go to %APPDATA%\Ostrivel\, where they are read and written
// from then on.
TEST_F(SettingsFileTest, FolderRefusingNewFilesSendsTheFilesToAppData)
{
    WriteBytes(FileName, SampleRecord(22));
    ImmutableFolder folder(folder_);
    if (!folder.Set(true))
        GTEST_SKIP() << "cannot make the folder unwritable here (needs Wine, chattr, root)";
    const std::string own = home_ + "\\Roaming\\Ostrivel\\";
    FilePlace state;
    PlaceProgramFile("ostrivel.mon", &state);
    EXPECT_EQ(state.write, own + "ostrivel.mon");
    LoadSettings();
    CurrentSettings.pollMinutes = 99;
    ASSERT_EQ(SaveSettings(), 1);
    ASSERT_TRUE(folder.Set(false));
    ForgetSettings();
    LoadSettings();
    EXPECT_EQ(CurrentSettings.pollMinutes, 99);
    char path[MAX_PATH];
    ASSERT_EQ(SaveSettings(path), 1);
    EXPECT_EQ(path, own + FileName);
    EXPECT_EQ(ReadBytes(FileName), SampleRecord(22));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName}) << "a probe's file left";
}

// What Windows redirected for a version without a manifest is read while no
// place has a file, so the first save takes it over. A folder that another
// copy of the program gives overrides every place.
TEST_F(SettingsFileTest, VirtualStoreCopyIsTakenOverOnce)
{
    char program[MAX_PATH];
    ASSERT_TRUE(GetModuleFileNameA(nullptr, program, MAX_PATH));
    *strrchr(program, '\\') = '\0';
    const std::string store = home_ + "\\Local\\VirtualStore\\" + (program + 3);  // without "C:\"
    std::filesystem::create_directories(store);
    WriteBytes((store + "\\" + FileName).c_str(), SampleRecord(50));
    LoadSettings();
    EXPECT_EQ(RecordBytes(), SampleRecord(50));
    ASSERT_EQ(SaveSettings(), 1);
    WriteBytes((store + "\\" + FileName).c_str(), SampleRecord(60));
    LoadSettings();
    EXPECT_EQ(RecordBytes(), SampleRecord(50));

    UseSettingsFolder(home_.c_str());
    char path[MAX_PATH];
    EXPECT_EQ(SaveSettings(path), 1);
    UseSettingsFolder(nullptr);
    EXPECT_EQ(path, home_ + "\\" + FileName);
}

// Windows 9x: MoveFileExA is exported but always fails with
// ERROR_CALL_NOT_IMPLEMENTED, as the hook makes it here.
BOOL WINAPI MoveFileExAsOnWindows9x(LPCSTR, LPCSTR, DWORD)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

// The first rename onto "ostrivel.ini" (the new record's) fails; every
// other rename, the earlier file's return among them, goes through.
int RenamesOntoSettings;
decltype(&MoveFileA) RealMoveFileA;

BOOL WINAPI MoveFileAFailingOntoSettings(LPCSTR from, LPCSTR to)
{
    if (_stricmp(to, FileName) == 0 && RenamesOntoSettings++ == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return RealMoveFileA(from, to);
}

class SettingsFileOnWindows9xTest : public SettingsFileTest {
protected:
    ImportHook moveFileEx_{"kernel32.dll", "MoveFileExA",
                           reinterpret_cast<void*>(MoveFileExAsOnWindows9x)};
};

TEST_F(SettingsFileOnWindows9xTest, SaveReplacesTheFileWithoutMoveFileEx)
{
    ASSERT_TRUE(moveFileEx_.installed());
    WriteBytes(FileName, SampleRecord(30));
    LoadSettings();
    CurrentSettings.pollMinutes = 31;
    Bytes saved = RecordBytes();
    SaveSettings();
    EXPECT_EQ(ReadBytes(FileName), saved);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName}) << "spare or temporary file left";
}

TEST_F(SettingsFileOnWindows9xTest, SaveCreatesAMissingFileWithoutMoveFileEx)
{
    ASSERT_TRUE(moveFileEx_.installed());
    LoadSettings();
    CurrentSettings.recallMode = 1;
    Bytes saved = RecordBytes();
    SaveSettings();
    EXPECT_EQ(ReadBytes(FileName), saved);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{FileName});
}

TEST_F(SettingsFileOnWindows9xTest, FailedRenameGivesTheEarlierFileBack)
{
    ASSERT_TRUE(moveFileEx_.installed());
    RenamesOntoSettings = 0;
    ImportHook moveFile("kernel32.dll", "MoveFileA", reinterpret_cast<void*>(MoveFileAFailingOntoSettings));
    ASSERT_TRUE(moveFile.installed());
    RealMoveFileA = moveFile.original<decltype(&MoveFileA)>();
    WriteBytes(FileName, SampleRecord(32));
    ExpectFailedSaveKeepsFile(SampleRecord(32), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RenamesOntoSettings, 2) << "the earlier file was not renamed back";
}

}  // namespace
