// The main window's controls as the user sees them: columns, fonts, colours,
// status bar, the image list's life, and the Setup and About dialogs whole; at
// 96 DPI to the pixel, and again in a copy of this program at 144 and 192 DPI,
// scaled to within 2 pixels.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "layout.h"
#include "modal_script.h"
#include "product.h"
#include "resource.h"
#include "window_session.h"

namespace {

struct ColumnSpec {
    const char* text;
    int width;
    int format;
};

class MainWindowLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        drives_.PutDemoDrives(true);  // ATA drives: the columns as laid out
        session_ = std::make_unique<MainWindowSession>(drives_);
        main_ = session_->Window();
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(!AskedDpi() || dpi_ == AskedDpi()) << "LogPixels not taken up";
    }

    int Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }

    void ExpectColumns(HWND list, const std::vector<ColumnSpec>& columns)
    {
        ASSERT_EQ(ColumnCount(list), static_cast<int>(columns.size()));
        for (size_t i = 0; i < columns.size(); ++i) {
            char text[64] = {};
            LVCOLUMNA column = {};
            column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
            column.pszText = text;
            column.cchTextMax = sizeof text;
            ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
            EXPECT_STREQ(text, columns[i].text) << "column " << i;
            EXPECT_NEAR(column.cx, Scaled(columns[i].width), slack_) << columns[i].text;
            EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, columns[i].format) << columns[i].text;
        }
    }

    static LOGFONTA FontOf(HWND control)
    {
        LOGFONTA font = {};
        HFONT handle = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        EXPECT_NE(handle, nullptr);
        GetObjectA(handle, sizeof font, &font);
        return font;
    }

    // The control's rectangle in the main window's client coordinates.
    RECT PlaceOf(HWND control) const
    {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    DriveFolder drives_;
    std::unique_ptr<MainWindowSession> session_;
    HWND main_ = nullptr;
    const int dpi_ = ScreenDpi();
    const int slack_ = dpi_ == 96 ? 0 : 2;  // pixels of rounding away from 96 DPI
};

TEST_F(MainWindowLayoutTest, ColumnsOfTheThreeLists)
{
    ExpectColumns(DriveList, {{"Model", 160, LVCFMT_LEFT},
                              {"Controller", 100, LVCFMT_LEFT},
                              {"SMART Enabled", 100, LVCFMT_LEFT},
                              {"Status", 50, LVCFMT_LEFT}});
    ExpectColumns(InfoList, {{"Type", 190, LVCFMT_LEFT}, {"Value", 180, LVCFMT_LEFT}});
    ExpectColumns(AttributeList, {{"Id", 30, LVCFMT_LEFT}, {"Attribute Name", 144, LVCFMT_LEFT},
                                  {"Value", 45, LVCFMT_RIGHT}, {"Threshold", 68, LVCFMT_RIGHT},
                                  {"Raw", 96, LVCFMT_RIGHT}});
}

TEST_F(MainWindowLayoutTest, ListStylesAndIdentifiers)
{
    EXPECT_EQ(GetDlgItem(main_, 500), DriveList);
    EXPECT_EQ(GetDlgItem(main_, 504), InfoList);
    EXPECT_EQ(GetDlgItem(main_, 508), AttributeList);
    const LONG common = WS_BORDER | LVS_NOSORTHEADER | LVS_SINGLESEL | LVS_REPORT;
    for (HWND list : {DriveList, InfoList, AttributeList})
        EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & common, common);
    EXPECT_FALSE(GetWindowLongA(DriveList, GWL_STYLE) & LVS_NOCOLUMNHEADER);
    EXPECT_TRUE(GetWindowLongA(InfoList, GWL_STYLE) & LVS_NOCOLUMNHEADER);
    EXPECT_FALSE(GetWindowLongA(AttributeList, GWL_STYLE) & LVS_NOCOLUMNHEADER);
    EXPECT_TRUE(SendMessageA(AttributeList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_GRIDLINES);
    EXPECT_TRUE(HasVisibleStyle(InfoList)) << "the information page shows first";
    EXPECT_FALSE(HasVisibleStyle(AttributeList));
}

TEST_F(MainWindowLayoutTest, ControlsSitInTheirRows)
{
    RECT client;
    GetClientRect(main_, &client);
    const int w = MulDiv(client.right, 96, dpi_);  // the client width at 96 DPI
    struct Expected {
        HWND control;
        RECT place;
    } expected[] = {
        {DriveList, {0, 20, w, 110}},
        {InfoList, {0, 140, w, 300}},
        {AttributeList, {0, 140, w, 300}},
        {GetDlgItem(main_, 800), {0, 115, w / 2, 135}},
        {GetDlgItem(main_, 801), {w / 2, 115, w / 2 + w / 2, 135}},
        {GetDlgItem(main_, 700), {w / 2 - 30, 0, w / 2 + 120, 20}},
    };
    for (const Expected& e : expected) {
        const RECT r = PlaceOf(e.control);
        for (auto edge : {&RECT::left, &RECT::top, &RECT::right, &RECT::bottom})
            EXPECT_NEAR(r.*edge, Scaled(e.place.*edge), slack_) << GetDlgCtrlID(e.control);
    }
    EXPECT_GE(PlaceOf(GetDlgItem(main_, 1200)).top, PlaceOf(InfoList).bottom) << "status bar over the page";
    RECT outer;
    GetWindowRect(main_, &outer);
    if (dpi_ == 96) {
        EXPECT_EQ(outer.right - outer.left, 420);
        EXPECT_EQ(outer.bottom - outer.top, 370);
    }
    const LONG style = GetWindowLongA(main_, GWL_STYLE);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX)) << "the window's size never changes";
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              static_cast<LONG>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
}

TEST_F(MainWindowLayoutTest, MonitorLabelIsBlueOnButtonFace)
{
    HWND monitor = FindWindowExA(main_, nullptr, "STATIC", "Monitor disabled");
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(GetDlgCtrlID(monitor), 701);
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    LRESULT brush = SendMessageA(main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(monitor));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(GetTextColor(dc), 0xFF0000u);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    DeleteDC(dc);
}

TEST_F(MainWindowLayoutTest, OtherStaticsGetNoBrushAndKeepTheirColour)
{
    HWND title = GetDlgItem(main_, 700);
    ASSERT_NE(title, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    LRESULT brush = SendMessageA(main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(title));
    EXPECT_EQ(brush, 0);
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << "every static is drawn transparent";
    DeleteDC(dc);
}

TEST_F(MainWindowLayoutTest, TitleIsBoldAndTheRestNormal)
{
    HWND title = GetDlgItem(main_, 700);
    char text[64] = {};
    GetWindowTextA(title, text, sizeof text);
    EXPECT_STREQ(text, "Hard Disk Drives");
    // The bitmap face at 96 DPI, the outline face that scales elsewhere.
    const char* face = dpi_ == 96 ? "MS Sans Serif" : "Microsoft Sans Serif";
    for (HWND control : {title, FindWindowExA(main_, nullptr, "STATIC", "Monitor disabled"), GetDlgItem(main_, 800),
                         GetDlgItem(main_, 801)}) {
        LOGFONTA font = FontOf(control);
        EXPECT_EQ(font.lfWeight, control == title ? FW_BOLD : 0) << GetDlgCtrlID(control);
        EXPECT_EQ(font.lfHeight, -Scaled(10));
        EXPECT_STREQ(font.lfFaceName, face);
    }
}

TEST_F(MainWindowLayoutTest, TitleIconLeftOfTheTitle)
{
    HWND icon = FindWindowExA(main_, nullptr, "STATIC", nullptr);
    while (icon && !(GetWindowLongA(icon, GWL_STYLE) & SS_ICON))
        icon = FindWindowExA(main_, icon, "STATIC", nullptr);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(GetDlgCtrlID(icon), 701);
    EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0);
    EXPECT_NEAR(PlaceOf(icon).left + Scaled(20), PlaceOf(GetDlgItem(main_, 700)).left, slack_);
}

TEST_F(MainWindowLayoutTest, StatusBarHasTwoPartsWithTheAddress)
{
    HWND bar = GetDlgItem(main_, 1200);
    ASSERT_NE(bar, nullptr);
    int edges[4] = {0, 0, 0, 0};
    EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], Scaled(250));
    EXPECT_EQ(edges[1], -1);
    char text[256] = {};
    SendMessageA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::string(text), std::string("Ostrivel v1.0 - ") + HomePageAddress);
    EXPECT_EQ(std::string(HomePageAddress).rfind("http", 0), 0u);
    SendMessageA(bar, SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "New state file") << "part 1: the monitor's outcome, here of a first start";
}

// As many rows in view as at 96 DPI; the longest texts fit their columns
// (with margins of 6 pixels a side) and nothing scrolls sideways, the
// attribute page's columns fitting beside its vertical scroll bar.
TEST_F(MainWindowLayoutTest, ListsShowTheirRowsAndLongestCellsWithoutScrollingSideways)
{
    for (const auto& [list, text] : {std::pair(DriveList, "Caution"), {AttributeList, "FFFFFFFFFFFF"}})
        EXPECT_LE(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text)) + 12,
                  SendMessageA(list, LVM_GETCOLUMNWIDTH, ColumnCount(list) - 1, 0)) << text;
    EXPECT_GE(SendMessageA(DriveList, LVM_GETCOUNTPERPAGE, 0, 0), 4);
    if (const char* rows96 = std::getenv("OSTRIVEL_TEST_NOTE")) {
        EXPECT_GE(SendMessageA(InfoList, LVM_GETCOUNTPERPAGE, 0, 0), std::atoi(rows96));
    }
    SendMessageA(main_, WM_COMMAND, 801, 0);
    EXPECT_EQ(GetWindowLongA(AttributeList, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
    for (HWND list : {DriveList, InfoList})
        EXPECT_FALSE(GetWindowLongA(list, GWL_STYLE) & WS_HSCROLL) << GetDlgCtrlID(list);
}

// Every control of a dialog inside it, with its whole text in its own font,
// and none on another (group boxes hold others; dialog units rounded to
// pixels may let neighbours share one).
void ExpectDialogWhole(HWND dialog)
{
    RECT client, r, both;
    GetClientRect(dialog, &client);
    std::vector<RECT> placed;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[512] = "", name[16] = "";
        GetWindowTextA(child, text, sizeof text);
        GetClassNameA(child, name, sizeof name);
        const LONG type = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
        const bool button = !_stricmp(name, "Button"), group = button && type == BS_GROUPBOX;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom) << text;
        RECT box;
        GetClientRect(child, &box);
        box.right -= !button ? 0 : type <= BS_DEFPUSHBUTTON ? 4 : group ? 16 : GetSystemMetrics(SM_CXMENUCHECK) + 4;
        RECT needed = box;
        HDC dc = GetDC(child);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        DrawTextA(dc, text, -1, &needed, DT_CALCRECT | (button ? DT_SINGLELINE : DT_WORDBREAK));
        ReleaseDC(child, dc);
        if (text[0] && (button || !_stricmp(name, "Static"))) {
            EXPECT_TRUE(needed.right <= box.right && needed.bottom <= box.bottom) << text << " cut";
        }
        for (const RECT& other : placed)
            EXPECT_FALSE(!group && IntersectRect(&both, &r, &other) && both.right - both.left > 1 &&
                         both.bottom - both.top > 1) << text << " on another";
        if (!group)
            placed.push_back(r);
    }
}

TEST_F(MainWindowLayoutTest, SetupMailServerAndAboutShowEveryControlWhole)
{
    std::string face;
    const ModalStep cancel = [](HWND dialog) { return PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0) != 0; };
    const ModalStep check = [&face, &cancel](HWND dialog) {
        ExpectDialogWhole(dialog);
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        face = font.lfFaceName;
        return cancel(dialog);
    };
    EXPECT_EQ(DriveModal([this] { RunSetupCommand(main_); }, {check}).stepsDone, 1u);
    EXPECT_EQ(face, dpi_ == 96 ? "MS Sans Serif" : "Microsoft Sans Serif");
    EXPECT_EQ(DriveModal([this] { ShowAbout(main_); }, {check}).stepsDone, 1u);
    const ModalStep openMailServer = [](HWND setup) {
        return PostMessageA(GetDlgItem(setup, IDC_MAIL_SERVER), BM_CLICK, 0, 0) != 0;
    };
    EXPECT_EQ(DriveModal([this] { RunSetupCommand(main_); }, {openMailServer, check, cancel}).stepsDone, 3u);
}

TEST_F(MainWindowLayoutTest, SameAt144And192Dpi)
{
    if (AskedDpi())
        GTEST_SKIP() << "this is the copy";
    const LRESULT rows96 = SendMessageA(InfoList, LVM_GETCOUNTPERPAGE, 0, 0);
    for (int dpi : {144, 192})
        EXPECT_TRUE(RunTestsAtDpi(dpi, "MainWindowLayoutTest.*", std::to_string(rows96))) << dpi << " DPI";
}

TEST_F(MainWindowLayoutTest, MenuCarriesThePageCommands)
{
    HMENU menu = GetMenu(main_);
    ASSERT_NE(menu, nullptr);
    char text[64] = {};
    GetMenuStringA(menu, 800, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Hard Disk Information");
    GetMenuStringA(menu, 801, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&S.M.A.R.T. Information");
}

TEST_F(MainWindowLayoutTest, ImageListIsSharedAndDestroyedOnce)
{
    HIMAGELIST images = SmallImages;
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 5);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(cy, GetSystemMetrics(SM_CYSMICON));
    EXPECT_EQ(SendMessageA(DriveList, LVM_GETIMAGELIST, LVSIL_SMALL, 0), reinterpret_cast<LRESULT>(images));
    EXPECT_EQ(SendMessageA(InfoList, LVM_GETIMAGELIST, LVSIL_SMALL, 0), reinterpret_cast<LRESULT>(images));
    EXPECT_EQ(SendMessageA(AttributeList, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
    // Neither list may free the list it shows: the window's teardown does, once.
    EXPECT_TRUE(GetWindowLongA(DriveList, GWL_STYLE) & LVS_SHAREIMAGELISTS);
    EXPECT_TRUE(GetWindowLongA(InfoList, GWL_STYLE) & LVS_SHAREIMAGELISTS);
    EXPECT_EQ(ImageList_GetImageCount(images), 5) << "still alive while the window lives";

    EXPECT_EQ(session_->Close(), 0);
    EXPECT_EQ(ImageList_GetImageCount(images), 0) << "freed with the window";
    EXPECT_EQ(SmallImages, nullptr);
}

}  // namespace
