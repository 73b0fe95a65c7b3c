// The autostart entry on the real registry under Wine. Each test maps
// HKEY_CURRENT_USER onto an empty scratch key of its own, so it starts with no
// Run key and leaves the user's real Run key alone; the scratch key is
// deleted afterwards.
#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "autostart.h"

namespace {

const char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RunValue {
    DWORD type = 0;
    std::wstring data;  // as stored, terminator included
};

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratchPath_ = "Software\\OstrivelAutostartTest" + std::to_string(GetCurrentProcessId());
        SHDeleteKeyA(HKEY_CURRENT_USER, scratchPath_.c_str());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &scratch_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, scratch_), ERROR_SUCCESS);
        ASSERT_FALSE(RunKeyExists());
    }

    void TearDown() override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(scratch_);
        EXPECT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, scratchPath_.c_str()), ERROR_SUCCESS);
    }

    static bool RunKeyExists()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Adds a string value (not terminated in its stored data: the program
    // must not depend on other values' data).
    static void AddValue(const std::string& name, const std::string& data = "x")
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(data.data()), data.size()),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The names under the Run key in enumeration order.
    static std::vector<std::string> ValueNames()
    {
        std::vector<std::string> names;
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return names;
        char name[400];
        DWORD length = sizeof name;
        for (DWORD i = 0; RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
             ++i, length = sizeof name)
            names.push_back(name);
        RegCloseKey(key);
        return names;
    }

    // Read through the wide function, which returns the data exactly as
    // stored (the narrow one may add a terminator of its own).
    static bool ReadValue(const WCHAR* name, RunValue& value)
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        WCHAR data[1024];
        DWORD size = sizeof data;
        LONG result = RegQueryValueExW(key, name, nullptr, &value.type,
                                       reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS)
            return false;
        value.data.assign(data, size / sizeof(WCHAR));
        return true;
    }

    static std::wstring OwnCommand()
    {
        WCHAR path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        return L"\"" + std::wstring(path) + L"\" /i";
    }

private:
    std::string scratchPath_;
    HKEY scratch_ = nullptr;
};

TEST_F(AutostartTest, NoRunKeyQueriesZeroAndSetCreatesKeyAndValue)
{
    EXPECT_EQ(QueryAutostart(), 0);
    SetAutostart(1);
    EXPECT_EQ(QueryAutostart(), 1);
    EXPECT_EQ(ValueNames(), std::vector<std::string>{"Ostrivel"});
}

TEST_F(AutostartTest, SetWritesTheQuotedPathWithTheTerminatorCounted)
{
    SetAutostart(1);
    SetAutostart(1);  // written again, still one value
    RunValue value;
    ASSERT_TRUE(ReadValue(L"Ostrivel", value));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, OwnCommand() + L'\0');
    EXPECT_EQ(ValueNames().size(), 1u);
}

TEST_F(AutostartTest, FoundAtFirstMiddleAndLastPosition)
{
    // Created in name order, so creation order and sorted order agree.
    const std::vector<std::vector<std::string>> layouts = {
        {"Ostrivel", "Pqr", "Zulu"},
        {"Alpha", "Ostrivel", "Zulu"},
        {"Alpha", "Beta", "Ostrivel"},
    };
    for (const auto& layout : layouts) {
        for (const std::string& name : layout)
            AddValue(name);
        ASSERT_EQ(ValueNames(), layout);
        EXPECT_EQ(QueryAutostart(), 1) << layout[0] << " " << layout[1] << " " << layout[2];
        SetAutostart(0);
        EXPECT_EQ(QueryAutostart(), 0);
        for (const std::string& name : layout)
            if (name != "Ostrivel")
                SHDeleteValueA(HKEY_CURRENT_USER, RunKeyPath, name.c_str());
    }
}

TEST_F(AutostartTest, OtherLetterCaseOrLongerNameIsNotFound)
{
    for (const char* name : {"ostrivel", "OSTRIVEL", "Ostrivel2", "Ostrive"}) {
        AddValue(name);
        EXPECT_EQ(QueryAutostart(), 0) << name;
        SHDeleteValueA(HKEY_CURRENT_USER, RunKeyPath, name);
    }
}

TEST_F(AutostartTest, FoundWhateverTheDataAndNameLengthsAround)
{
    AddValue("Alpha", std::string(300, 'a'));
    AddValue(std::string(120, 'L'));  // a name longer than the name buffer
    AddValue("Ostrivel", std::string(300, 'o'));
    AddValue("Zulu", std::string(300, 'z'));
    EXPECT_EQ(QueryAutostart(), 1);
}

TEST_F(AutostartTest, ClearDeletesOnlyTheEntryAndIsSilentWhenAbsent)
{
    SetAutostart(0);  // no key, no value
    EXPECT_EQ(QueryAutostart(), 0);

    AddValue("Alpha");
    SetAutostart(1);
    SetAutostart(0);
    EXPECT_EQ(QueryAutostart(), 0);
    EXPECT_EQ(ValueNames(), std::vector<std::string>{"Alpha"});
    SetAutostart(0);
    EXPECT_EQ(ValueNames(), std::vector<std::string>{"Alpha"});
}

TEST(AutostartCommand, PathIsQuoted)
{
    WCHAR out[MAX_PATH + 5];
    ASSERT_TRUE(FormatAutostartCommand(out, MAX_PATH + 5, L"C:\\Program Files\\App\\ostrivel.exe"));
    EXPECT_STREQ(out, L"\"C:\\Program Files\\App\\ostrivel.exe\" /i");
}

TEST(AutostartCommand, LongestPathFitsAndOneCharacterLessDoesNot)
{
    std::wstring path = L"C:\\" + std::wstring(MAX_PATH - 4, L'\u65E5');  // 259 characters
    WCHAR out[MAX_PATH + 5];
    ASSERT_TRUE(FormatAutostartCommand(out, MAX_PATH + 5, path.c_str()));
    EXPECT_EQ(std::wstring(out), L"\"" + path + L"\" /i");
    EXPECT_FALSE(FormatAutostartCommand(out, MAX_PATH + 4, path.c_str()));
}

}  // namespace
