// The main window and its dialogs at the system DPI. The scenario runs here at
// the prefix's 96 DPI, then again in a copy of this test program started with
// the prefix's LogPixels at 144 and at 192 (put back afterwards): Wine reads
// the DPI once, when a process starts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "layout.h"
#include "resource.h"

namespace {

const char DpiVariable[] = "OSTRIVEL_TEST_DPI";
const char InfoRowsVariable[] = "OSTRIVEL_TEST_INFO_ROWS";
const char DesktopKey[] = "Control Panel\\Desktop";

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int RowsPerPage(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0));
}

RECT PlaceIn(HWND parent, HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A rectangle of the layout at 96 DPI: halves of the client width plus pixels.
struct Edge {
    int halves, pixels;
};
struct Row {
    int id;
    Edge left, right;
    int top, bottom;
};

const Row Rows96[] = {
    {IDC_TITLE, {1, -30}, {1, 120}, 0, 20},      {IDC_DRIVE_LIST, {0, 0}, {2, 0}, 20, 110},
    {IDC_INFO_LIST, {0, 0}, {2, 0}, 140, 300},   {IDC_ATTR_LIST, {0, 0}, {2, 0}, 140, 300},
    {CMD_INFO_PAGE, {0, 0}, {1, 0}, 115, 135},   {CMD_SMART_PAGE, {1, 0}, {2, 0}, 115, 135},
};

const std::vector<std::vector<int>> Columns96 = {{160, 100, 100, 50}, {190, 180}, {35, 220, 70, 70}};

// The text of a control drawn in its own font fits its box.
void ExpectTextFits(HWND control, int dpi)
{
    char text[512] = "", className[16] = "";
    GetWindowTextA(control, text, sizeof text);
    GetClassNameA(control, className, sizeof className);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    if (!text[0] || (_stricmp(className, "Static") && _stricmp(className, "Button")))
        return;
    RECT box;
    GetClientRect(control, &box);
    const int height = box.bottom;
    UINT format = DT_CALCRECT | DT_WORDBREAK;
    if (!_stricmp(className, "Button")) {
        const LONG type = style & BS_TYPEMASK;
        const bool pushed = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
        box.right -= pushed ? 4 : type == BS_GROUPBOX ? MulDiv(16, dpi, 96) : GetSystemMetrics(SM_CXMENUCHECK) + 4;
        format = DT_CALCRECT | DT_SINGLELINE;
    }
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = box;
    DrawTextA(dc, text, -1, &needed, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    EXPECT_LE(needed.right, box.right) << text;
    EXPECT_LE(needed.bottom, height) << text;
}

// Every control inside the dialog, its text whole, and no two overlapping
// (group boxes hold others; a pixel of rounding between neighbours is let be).
void ExpectDialogWhole(HWND dialog, int dpi)
{
    RECT client;
    GetClientRect(dialog, &client);
    std::vector<std::pair<HWND, RECT>> placed;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        const RECT r = PlaceIn(dialog, child);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << "control " << GetDlgCtrlID(child) << " outside the dialog";
        ExpectTextFits(child, dpi);
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        if (!_stricmp(className, "Button") && (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
            continue;
        for (const auto& [other, o] : placed) {
            RECT both;
            if (IntersectRect(&both, &r, &o)) {
                EXPECT_TRUE(both.right - both.left <= 1 || both.bottom - both.top <= 1)
                    << "controls " << GetDlgCtrlID(child) << " and " << GetDlgCtrlID(other) << " overlap";
            }
        }
        placed.push_back({child, r});
    }
}

class DisplayScalingTest : public CommandTest {
protected:
    void ExpectLayoutScaled(int dpi)
    {
        RECT client;
        GetClientRect(mainWindow, &client);
        const int w96 = MulDiv(client.right, 96, dpi);
        auto scaled = [dpi, w96](Edge e) { return MulDiv(e.halves * w96 / 2 + e.pixels, dpi, 96); };
        for (const Row& row : Rows96) {
            const RECT r = PlaceIn(mainWindow, GetDlgItem(mainWindow, row.id));
            EXPECT_NEAR(r.left, scaled(row.left), 2) << row.id;
            EXPECT_NEAR(r.right, scaled(row.right), 2) << row.id;
            EXPECT_NEAR(r.top, MulDiv(row.top, dpi, 96), 2) << row.id;
            EXPECT_NEAR(r.bottom, MulDiv(row.bottom, dpi, 96), 2) << row.id;
        }
        const HWND lists[] = {DriveList, InfoList, AttributeList};
        for (size_t i = 0; i < std::size(lists); ++i) {
            for (size_t c = 0; c < Columns96[i].size(); ++c) {
                const int width = static_cast<int>(SendMessageA(lists[i], LVM_GETCOLUMNWIDTH, c, 0));
                EXPECT_NEAR(width, MulDiv(Columns96[i][c], dpi, 96), 2) << "list " << i << " column " << c;
            }
        }
        const RECT bar = PlaceIn(mainWindow, GetDlgItem(mainWindow, IDC_STATUS_BAR));
        EXPECT_GE(bar.top, PlaceIn(mainWindow, InfoList).bottom) << "the status bar covers the page";
        EXPECT_EQ(bar.bottom, client.bottom);
    }

    void ExpectListsWhole(int infoRows96)
    {
        EXPECT_EQ(RowCount(DriveList), 4);
        EXPECT_GE(RowsPerPage(DriveList), 4);
        EXPECT_GE(RowsPerPage(InfoList), infoRows96);
        Command(CMD_SMART_PAGE);
        for (HWND list : {DriveList, InfoList, AttributeList})
            EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL) << GetDlgCtrlID(list);
        Command(CMD_INFO_PAGE);
    }

    void ExpectFontsAndIcons(int dpi)
    {
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendDlgItemMessageA(mainWindow, IDC_TITLE, WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, dpi == 96 ? "MS Sans Serif" : "Microsoft Sans Serif");
        EXPECT_EQ(font.lfHeight, -MulDiv(10, dpi, 96));
        int cx = 0, cy = 0;
        ImageList_GetIconSize(SmallImages, &cx, &cy);
        EXPECT_EQ(cx, GetSystemMetrics(SM_CXSMICON));
        EXPECT_EQ(cy, GetSystemMetrics(SM_CYSMICON));
    }

    void ExpectDialogsWhole(int dpi)
    {
        const ModalRun setup = DriveModal([this] { Command(CMD_SETUP); }, {Inspect([dpi](HWND dialog) {
                                              ExpectDialogWhole(dialog, dpi);
                                              LOGFONTA font = {};
                                              GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)),
                                                         sizeof font, &font);
                                              EXPECT_STREQ(font.lfFaceName,
                                                           dpi == 96 ? "MS Sans Serif" : "Microsoft Sans Serif");
                                          }),
                                                                             Click(IDCANCEL)});
        EXPECT_EQ(setup.stepsDone, 2u);
        const ModalRun about = DriveModal([this] { Command(CMD_ABOUT); },
                                          {Inspect([dpi](HWND box) { ExpectDialogWhole(box, dpi); }), Click(IDOK)});
        EXPECT_EQ(about.stepsDone, 2u);
    }
};

TEST_F(DisplayScalingTest, LayoutFontsAndDialogsFollowTheSystemDpi)
{
    const int dpi = ScreenDpi();
    if (const char* wanted = std::getenv(DpiVariable)) {
        ASSERT_EQ(dpi, std::atoi(wanted)) << "LogPixels not taken up";
    }
    ExpectLayoutScaled(dpi);
    const char* rows = std::getenv(InfoRowsVariable);
    ExpectListsWhole(rows ? std::atoi(rows) : RowsPerPage(InfoList));
    ExpectFontsAndIcons(dpi);
    ExpectDialogsWhole(dpi);
}

// The prefix's LogPixels set for the life of the object, then put back.
class LogPixels {
public:
    explicit LogPixels(DWORD dpi)
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, DesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        DWORD size = sizeof before_;
        had_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before_), &size) ==
               ERROR_SUCCESS;
        RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
    }
    ~LogPixels()
    {
        if (had_)
            RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before_), sizeof before_);
        else
            RegDeleteValueA(key_, "LogPixels");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    DWORD before_ = 0;
    bool had_ = false;
};

// This test program again, running only the scenario above; its exit code.
int RunScenarioAt(int dpi, int infoRows96)
{
    LogPixels pixels(dpi);
    SetEnvironmentVariableA(DpiVariable, std::to_string(dpi).c_str());
    SetEnvironmentVariableA(InfoRowsVariable, std::to_string(infoRows96).c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string line = std::string("\"") + program +
                       "\" --gtest_filter=DisplayScalingTest.LayoutFontsAndDialogsFollowTheSystemDpi";
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(program, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                                        &process);
    SetEnvironmentVariableA(DpiVariable, nullptr);
    SetEnvironmentVariableA(InfoRowsVariable, nullptr);
    if (!started)
        return -1;
    DWORD code = 99;
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 98);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

TEST_F(DisplayScalingTest, SameScenarioAt144And192Dpi)
{
    if (std::getenv(DpiVariable))
        GTEST_SKIP();
    ASSERT_EQ(ScreenDpi(), 96);
    const int infoRows96 = RowsPerPage(InfoList);
    for (int dpi : {144, 192})
        EXPECT_EQ(RunScenarioAt(dpi, infoRows96), 0) << "at " << dpi << " DPI";
}

}  // namespace
