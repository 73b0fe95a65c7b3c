// The program's start when its window cannot be made at all: it must end with
// a failure code rather than wait in a message loop for a quit that never
// comes. And the folder it enters for its bare-named files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "import_hook.h"
#include "main_window.h"

namespace {

int WindowsAsked;

HWND WINAPI RefuseWindow(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                         LPVOID)
{
    ++WindowsAsked;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

DWORD WINAPI NoModulePath(HMODULE, LPWSTR, DWORD)
{
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
}

// The program reaches GetModuleFileNameW through GetProcAddress.
FARPROC(WINAPI* RealGetProcAddress)(HMODULE, LPCSTR);
FARPROC WINAPI LookUpWithoutModulePath(HMODULE module, LPCSTR name)
{
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) && lstrcmpA(name, "GetModuleFileNameW") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(NoModulePath));
    return RealGetProcAddress(module, name);
}

std::string CurrentFolder()
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

// Folder names compare without regard to case on Windows.
std::string Lower(std::string text)
{
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

class AppStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = CurrentFolder();
        char system[MAX_PATH];
        GetSystemDirectoryA(system, sizeof system);
        ASSERT_TRUE(SetCurrentDirectoryA(system));
        WindowsAsked = 0;
    }
    void TearDown() override { SetCurrentDirectoryA(previous_.c_str()); }

    // Runs the program's start with no window to be had; its exit code.
    int RunWithoutWindow()
    {
        ImportHook create("user32.dll", "CreateWindowExA", reinterpret_cast<void*>(RefuseWindow));
        EXPECT_TRUE(create.installed());
        int code = RunOstrivel(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
        EXPECT_EQ(WindowsAsked, 1);
        return code;
    }

    std::string previous_;
};

TEST_F(AppStartTest, NoWindowEndsAtOnceWithAFailureCode)
{
    EXPECT_EQ(RunWithoutWindow(), 1);
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_EQ(Lower(CurrentFolder()), Lower(ProgramFolder()))
        << "the program's own folder is entered first";
}

TEST_F(AppStartTest, UnreadableProgramPathLeavesTheCurrentFolder)
{
    const std::string before = CurrentFolder();
    ImportHook path("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(LookUpWithoutModulePath));
    ASSERT_TRUE(path.installed());
    RealGetProcAddress = path.original<decltype(RealGetProcAddress)>();
    EXPECT_EQ(RunWithoutWindow(), 1);
    EXPECT_EQ(CurrentFolder(), before);
}

}  // namespace
