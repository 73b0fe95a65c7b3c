// The generated ostrivel.hlp opened the way the program opens it: WinHelpA
// from a real window with the bare file name, the help file's folder being
// the current directory, at context 1 (main window) and 2 (Setup dialog).
// The help viewer must show the right topic, whose first line is its title,
// and end on HELP_QUIT. A broken help file can leave WinHelpA waiting for
// ever, so every call runs under a watchdog that ends the viewer processes
// this test started.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace {

constexpr DWORD CallLimitMs = 20000;
constexpr DWORD WindowLimitMs = 10000;
constexpr char HelpFileName[] = "ostrivel.hlp";

std::set<DWORD> ViewerProcesses()
{
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
        if (lstrcmpiA(entry.szExeFile, "winhlp32.exe") == 0)
            ids.insert(entry.th32ProcessID);
    CloseHandle(snap);
    return ids;
}

// Ends one process by its id and waits for it to go.
void EndProcess(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process)
        return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

// Ends the viewer processes that were not running before the test began.
int EndNewViewers(const std::set<DWORD>& before)
{
    int ended = 0;
    for (DWORD id : ViewerProcesses())
        if (!before.count(id)) {
            EndProcess(id);
            ++ended;
        }
    return ended;
}

// Calls WinHelpA; if it has not returned within the limit, the viewers this
// test started are ended so that the call comes back, and the result says so.
struct HelpCall {
    BOOL result = FALSE;
    bool timedOut = false;
};

HelpCall CallWinHelp(HWND owner, UINT command, ULONG_PTR data, const std::set<DWORD>& before)
{
    HelpCall call;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([&] {
        if (WaitForSingleObject(done, CallLimitMs) != WAIT_TIMEOUT)
            return;
        call.timedOut = true;
        EndNewViewers(before);
        if (WaitForSingleObject(done, 10000) == WAIT_TIMEOUT)
            ExitProcess(3); // the call is stuck for good; fail rather than hang ctest
    });
    call.result = WinHelpA(owner, HelpFileName, command, data);
    SetEvent(done);
    watchdog.join();
    CloseHandle(done);
    return call;
}

HWND FindViewer()
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < WindowLimitMs; Sleep(50))
        if (HWND viewer = FindWindowA("MS_WINHELP", nullptr))
            return viewer;
    return nullptr;
}

BOOL CALLBACK FindTextPane(HWND child, LPARAM found)
{
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (_strnicmp(cls, "RichEdit", 8) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// The text the viewer shows, read from its rich-edit pane (another process:
// WM_GETTEXT is copied across, with a time limit).
std::string ShownText(HWND viewer)
{
    HWND pane = nullptr;
    EnumChildWindows(viewer, FindTextPane, reinterpret_cast<LPARAM>(&pane));
    if (!pane)
        return "(no text pane)";
    char text[8192] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(pane, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    return text;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

// Waits until the viewer shows a topic whose first line is `title`.
std::string WaitForTopic(HWND viewer, const std::string& title)
{
    std::string text;
    for (DWORD start = GetTickCount(); GetTickCount() - start < WindowLimitMs; Sleep(50)) {
        text = ShownText(viewer);
        if (FirstLine(text) == title)
            break;
    }
    return text;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

class HelpWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA cls{};
        cls.lpfnWndProc = OwnerProc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "OstrivelHelpOwner";
        RegisterClassA(&cls);
        owner = CreateWindowExA(0, cls.lpszClassName, "Ostrivel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                nullptr, nullptr, cls.hInstance, nullptr);
        ASSERT_NE(owner, nullptr);

        GetCurrentDirectoryA(sizeof oldDirectory, oldDirectory);
        std::string folder = OSTRIVEL_HELP_DIR;
        for (char& c : folder)
            if (c == '/')
                c = '\\';
        ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
        ASSERT_NE(GetFileAttributesA(HelpFileName), INVALID_FILE_ATTRIBUTES) << "no " << HelpFileName << " in " << folder;
        before = ViewerProcesses();
        ASSERT_EQ(FindWindowA("MS_WINHELP", nullptr), nullptr) << "a help viewer is already open";
    }

    void TearDown() override
    {
        EXPECT_EQ(EndNewViewers(before), 0) << "a help viewer was left running";
        if (owner)
            DestroyWindow(owner);
        SetCurrentDirectoryA(oldDirectory);
    }

    // Opens a context and checks the topic the viewer shows.
    void ExpectTopic(ULONG_PTR context, const std::string& title, const char* phrase)
    {
        const HelpCall call = CallWinHelp(owner, HELP_CONTEXT, context, before);
        ASSERT_FALSE(call.timedOut) << "WinHelpA did not return for context " << context;
        ASSERT_TRUE(call.result) << "context " << context;
        const HWND viewer = FindViewer();
        ASSERT_NE(viewer, nullptr) << "no help window for context " << context;
        const std::string text = WaitForTopic(viewer, title);
        EXPECT_EQ(FirstLine(text), title) << text;
        EXPECT_NE(text.find(phrase), std::string::npos) << text;
    }

    // Closes the viewer with HELP_QUIT and waits for its process to end.
    void QuitViewer()
    {
        const HWND viewer = FindWindowA("MS_WINHELP", nullptr);
        ASSERT_NE(viewer, nullptr);
        DWORD id = 0;
        GetWindowThreadProcessId(viewer, &id);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        ASSERT_NE(process, nullptr);
        const HelpCall call = CallWinHelp(owner, HELP_QUIT, 0, before);
        EXPECT_FALSE(call.timedOut);
        EXPECT_EQ(WaitForSingleObject(process, WindowLimitMs), WAIT_OBJECT_0) << "the viewer did not end on HELP_QUIT";
        CloseHandle(process);
    }

    HWND owner = nullptr;
    char oldDirectory[MAX_PATH] = {};
    std::set<DWORD> before;
};

TEST_F(HelpWindow, MainWindowTopicThenSetupTopicInOneViewer)
{
    ASSERT_NO_FATAL_FAILURE(ExpectTopic(1, "The Ostrivel window", "at or below its non-zero threshold"));
    ASSERT_NO_FATAL_FAILURE(ExpectTopic(2, "The Setup dialog", "-1 switches refreshing off"));
    const std::string setup = ShownText(FindViewer()); // the last topic, run on into the second block
    EXPECT_NE(setup.find("and Help shows this page."), std::string::npos) << setup;
    QuitViewer();
}

TEST_F(HelpWindow, SetupTopicInAFreshViewer)
{
    ASSERT_NO_FATAL_FAILURE(ExpectTopic(2, "The Setup dialog", "starts Ostrivel hidden"));
    QuitViewer();
}

} // namespace
