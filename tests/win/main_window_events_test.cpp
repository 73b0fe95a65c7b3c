// What the running window does with commands, double-clicks, timer ticks,
// minimizing and the recall signals.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "layout.h"
#include "main_window.h"
#include "refresh_timer.h"
#include "settings.h"
#include "import_hook.h"
#include "window_session.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Everything the user can see of the three lists and which page is up.
struct Screen {
    Rows drives, info, attributes;
    bool infoShown, attributesShown;
    bool operator==(const Screen&) const = default;
};

Screen Look()
{
    return {ListCells(DriveList, 4), ListCells(InfoList, 2), ListCells(AttributeList, 5),
            HasVisibleStyle(InfoList), HasVisibleStyle(AttributeList)};
}

std::string ShownModel()
{
    return CellText(InfoList, 1, 1);  // below the Health row
}

std::vector<std::string> ShownAttributeIds()
{
    std::vector<std::string> ids;
    for (const auto& row : ListCells(AttributeList, 1))
        ids.push_back(row[0]);
    return ids;
}

std::vector<std::string> AttributeIdsOf(const DriveFacts& facts)
{
    std::vector<std::string> ids;
    for (const AttributeFact& a : facts.attributes)
        ids.push_back(std::to_string(a.id));
    return ids;
}

class MainWindowEventsTest : public ::testing::Test {
protected:
    void Open(const Settings* settings = nullptr)
    {
        drives_.PutDemoDrives();
        facts_.clear();
        models_.clear();
        for (int d = 0; d < 4; ++d) {
            facts_.push_back(ReadDriveFacts(DemoBlob(d)));
            models_.push_back(facts_.back().model);
        }
        session_ = std::make_unique<MainWindowSession>(drives_, settings);
        main_ = session_->Window();
        ASSERT_NE(main_, nullptr);
        ASSERT_EQ(RowCount(DriveList), 4);
    }

    void OpenWithPollMinutes(int32_t minutes)
    {
        Settings s = {};
        s.pollMinutes = minutes;
        s.recallMode = 1;
        Open(&s);
    }

    LRESULT Command(WPARAM wParam, LPARAM lParam = 0)
    {
        return SendMessageA(main_, WM_COMMAND, wParam, lParam);
    }

    void DoubleClickRow(int row)
    {
        SelectRow(DriveList, row);
        SendDoubleClick(main_, DriveList);
    }

    bool AttributePageUp() const { return HasVisibleStyle(AttributeList) && !HasVisibleStyle(InfoList); }
    bool InfoPageUp() const { return HasVisibleStyle(InfoList) && !HasVisibleStyle(AttributeList); }

    DriveFolder drives_;
    std::vector<DriveFacts> facts_;
    std::vector<std::string> models_;
    std::unique_ptr<MainWindowSession> session_;
    HWND main_ = nullptr;
};

TEST_F(MainWindowEventsTest, PageCommandsFromTheMenu)
{
    Open();
    EXPECT_TRUE(InfoPageUp());
    EXPECT_EQ(Command(801), 0);
    EXPECT_TRUE(AttributePageUp());
    EXPECT_EQ(Command(801), 0);
    EXPECT_TRUE(AttributePageUp()) << "showing the page that is up changes nothing";
    EXPECT_EQ(Command(800), 0);
    EXPECT_TRUE(InfoPageUp());
    // An accelerator's high word of 1 is ignored like any other.
    Command(MAKEWPARAM(801, 1));
    EXPECT_TRUE(AttributePageUp());
}

TEST_F(MainWindowEventsTest, PageCommandsFromTheButtons)
{
    Open();
    HWND info = GetDlgItem(main_, 800);
    HWND smart = GetDlgItem(main_, 801);
    ASSERT_TRUE(info && smart);
    EXPECT_EQ(Command(MAKEWPARAM(801, BN_CLICKED), reinterpret_cast<LPARAM>(smart)), 0);
    EXPECT_TRUE(AttributePageUp());
    EXPECT_EQ(Command(MAKEWPARAM(800, BN_CLICKED), reinterpret_cast<LPARAM>(info)), 0);
    EXPECT_TRUE(InfoPageUp());
    // A click on the button itself reaches the window the same way.
    SendMessageA(smart, BM_CLICK, 0, 0);
    EXPECT_TRUE(AttributePageUp());
    SendMessageA(info, BM_CLICK, 0, 0);
    EXPECT_TRUE(InfoPageUp());
    EXPECT_EQ(SendMessageA(info, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "plain buttons, never checked";
    EXPECT_EQ(SendMessageA(smart, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(MainWindowEventsTest, UnknownCommandsDoNothing)
{
    Open();
    DoubleClickRow(2);
    Command(801);
    Screen before = Look();
    for (WPARAM id : {0, 1, 100, 104, 107, 500, 799, 802, 1200, 0xFFFF}) {
        EXPECT_EQ(Command(id), 0) << id;
        EXPECT_TRUE(IsWindow(main_)) << id;
        EXPECT_EQ(Look(), before) << id;
    }
}

TEST_F(MainWindowEventsTest, ExitCommandEndsTheProgramAndSavesTheSettings)
{
    Settings s = {};
    s.pollMinutes = 0;
    s.changePercent = 17;
    lstrcpyA(s.emailAddress, "someone@example.org");
    lstrcpyA(s.smtpServer, "mail.example.org");
    s.recallMode = 1;
    Open(&s);
    DeleteFileA(session_->WorkFile("ostrivel.ini").c_str());
    EXPECT_EQ(Command(105), 0);
    EXPECT_FALSE(IsWindow(main_));
    EXPECT_EQ(MainWindow, nullptr);
    EXPECT_EQ(session_->Close(), 0) << "quit code";
    std::vector<uint8_t> saved;
    ASSERT_TRUE(ReadWholeFile(session_->WorkFile("ostrivel.ini"), &saved));
    ASSERT_EQ(saved.size(), sizeof s);
    EXPECT_EQ(std::memcmp(saved.data(), &s, sizeof s), 0);
}

TEST_F(MainWindowEventsTest, DoubleClickShowsTheDriveOnBothPages)
{
    Open();
    EXPECT_EQ(ShownModel(), models_[0]);
    EXPECT_EQ(ShownAttributeIds(), AttributeIdsOf(facts_[0]));
    DoubleClickRow(2);
    EXPECT_EQ(ShownModel(), models_[2]);
    EXPECT_EQ(ShownAttributeIds(), AttributeIdsOf(facts_[2]));
    EXPECT_TRUE(InfoPageUp()) << "the visible page stays";

    Command(801);
    for (int row : {1, 3, 0}) {
        DoubleClickRow(row);
        EXPECT_EQ(ShownModel(), models_[row]);
        EXPECT_EQ(ShownAttributeIds(), AttributeIdsOf(facts_[row]));
        EXPECT_TRUE(AttributePageUp()) << "the visible page stays";
    }
}

TEST_F(MainWindowEventsTest, DoubleClickWithoutASelectedRowChangesNothing)
{
    Open();
    DoubleClickRow(3);
    ASSERT_EQ(ShownModel(), models_[3]);
    ClearSelection(DriveList);
    ASSERT_EQ(SelectedCount(DriveList), 0);
    Screen before = Look();
    SendDoubleClick(main_, DriveList);
    EXPECT_EQ(Look(), before);
}

TEST_F(MainWindowEventsTest, OnlyADoubleClickOnTheDriveListCounts)
{
    Open();
    DoubleClickRow(3);
    Screen before = Look();
    SelectRow(DriveList, 1);
    NMHDR click = {DriveList, 500, static_cast<UINT>(NM_CLICK)};
    SendMessageA(main_, WM_NOTIFY, 500, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Look(), before) << "a single click";
    SelectRow(InfoList, 1);
    SendDoubleClick(main_, InfoList);
    EXPECT_EQ(Look(), before) << "a double-click on the information page";
}

TEST_F(MainWindowEventsTest, DoubleClickWithTheMouse)
{
    Open();
    ShowWindow(main_, SW_SHOWNORMAL);
    UpdateWindow(main_);
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageA(DriveList, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row)));
    LPARAM at = MAKELPARAM(row.left + 20, (row.top + row.bottom) / 2);
    SendMessageA(DriveList, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(DriveList, WM_LBUTTONUP, 0, at);
    SendMessageA(DriveList, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(DriveList, WM_LBUTTONUP, 0, at);
    PumpMessages();
    EXPECT_EQ(SelectedCount(DriveList), 1);
    EXPECT_EQ(ShownModel(), models_[2]);
    EXPECT_TRUE(InfoPageUp());
}

TEST_F(MainWindowEventsTest, TickRebuildsTheViewsAndKeepsThePage)
{
    OpenWithPollMinutes(0);
    Screen fresh = Look();
    Command(801);
    DoubleClickRow(3);
    ASSERT_EQ(ShownModel(), models_[3]);
    // Spoil the drive list, so that only a rebuild brings it back.
    SendMessageA(DriveList, LVM_DELETEITEM, 1, 0);
    LVITEMA cell = {};
    cell.iSubItem = 3;
    cell.pszText = const_cast<char*>("stale");
    SendMessageA(DriveList, LVM_SETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&cell));
    const Screen spoiled = Look();
    EXPECT_EQ(SendMessageA(main_, WM_TIMER, 7, 0), 0);
    EXPECT_EQ(Look(), spoiled) << "only timer 1 is the refresh tick";

    EXPECT_EQ(SendMessageA(main_, WM_TIMER, RefreshTimerId, 0), 0);
    Screen ticked = Look();
    EXPECT_EQ(ticked.drives, fresh.drives);
    // The drives were read again: only the time of reading may differ.
    for (Rows* info : {&fresh.info, &ticked.info}) {
        for (auto& row : *info)
            row[1] = row[0] == "Last Access" ? "" : row[1];
    }
    EXPECT_EQ(ticked.info, fresh.info) << "details of the first listed drive again";
    EXPECT_EQ(ticked.attributes, fresh.attributes);
    EXPECT_EQ(SelectedCount(DriveList), 0);
    EXPECT_TRUE(AttributePageUp()) << "the visible page stays";
}

// What the window shows once its queue has run; it must be what a repaint of
// all of it shows.
std::vector<uint32_t> PaintedScreen(HWND window, const std::string& after)
{
    PumpMessages();
    std::vector<uint32_t> shown = ClientPixels(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_TRUE(ClientPixels(window) == shown) << "not all painted after " << after;
    return shown;
}

void WINAPI StoppedClock(SYSTEMTIME* now)
{
    *now = {2026, 12, 1, 7, 14, 5, 0, 0};
}

// On either page, a double-click and the ticks after it, one that takes the
// pages back to the first drive and one that changes nothing, paint all they
// change, and the other page stays hidden. The drive list has the focus, so
// that its chosen row shows. The clock stands still and a first tick has
// shown the monitor's outcome: every tick reads the drives again, and the
// time of reading shows on the page and in the status bar.
TEST_F(MainWindowEventsTest, EveryFillPaintsWhatItChanges)
{
    ImportHook clock("kernel32.dll", "GetLocalTime", reinterpret_cast<void*>(StoppedClock));
    ASSERT_TRUE(clock.installed());
    Open();
    SendMessageA(main_, WM_TIMER, RefreshTimerId, 0);
    ShowWindow(main_, SW_SHOWNORMAL);
    SetFocus(DriveList);
    for (int page : {800, 801}) {
        Command(page);
        const std::string on = "on page " + std::to_string(page);
        std::vector<uint32_t> first = PaintedScreen(main_, "the page command " + on);
        DoubleClickRow(2);
        EXPECT_FALSE(PaintedScreen(main_, "a double-click " + on) == first);
        EXPECT_EQ(ShownModel(), models_[2]);
        EXPECT_EQ(ShownAttributeIds(), AttributeIdsOf(facts_[2]));
        for (const char* tick : {"a tick back to the first drive ", "a tick that changes nothing "}) {
            SendMessageA(main_, WM_TIMER, RefreshTimerId, 0);
            EXPECT_TRUE(PaintedScreen(main_, tick + on) == first) << tick << on;
            EXPECT_EQ(SelectedCount(DriveList), 0);
            EXPECT_EQ(ShownModel(), models_[0]);
            EXPECT_EQ(ShownAttributeIds(), AttributeIdsOf(facts_[0]));
            EXPECT_TRUE(IsWindowVisible(DriveList));
            EXPECT_EQ(IsWindowVisible(InfoList), page == 800) << tick << on;
            EXPECT_EQ(IsWindowVisible(AttributeList), page == 801) << tick << on;
        }
    }
}

TEST_F(MainWindowEventsTest, TickRearmsTheTimerOnlyWhilePollMinutesIsPositive)
{
    OpenWithPollMinutes(5);
    EXPECT_TRUE(KillTimer(main_, RefreshTimerId)) << "armed at creation";
    SendMessageA(main_, WM_TIMER, RefreshTimerId, 0);
    EXPECT_TRUE(KillTimer(main_, RefreshTimerId)) << "armed again after a tick";
    for (int32_t minutes : {0, -1, INT32_MIN}) {
        CurrentSettings.pollMinutes = minutes;
        SendMessageA(main_, WM_TIMER, RefreshTimerId, 0);
        EXPECT_FALSE(KillTimer(main_, RefreshTimerId)) << minutes;
    }
    CurrentSettings.pollMinutes = 1;
    SetTimer(main_, RefreshTimerId, 60000, nullptr);
    CurrentSettings.pollMinutes = 0;
    SendMessageA(main_, WM_TIMER, RefreshTimerId, 0);
    EXPECT_FALSE(KillTimer(main_, RefreshTimerId)) << "the tick kills the running timer";
}

TEST_F(MainWindowEventsTest, NoTimerWhenPollMinutesIsZeroOrLess)
{
    for (int32_t minutes : {0, -3}) {
        OpenWithPollMinutes(minutes);
        EXPECT_FALSE(KillTimer(main_, RefreshTimerId)) << minutes;
        session_.reset();
    }
}

TEST_F(MainWindowEventsTest, LongestIntervalArmsTheLongestPeriod)
{
    OpenWithPollMinutes(INT32_MAX);
    EXPECT_TRUE(KillTimer(main_, RefreshTimerId));
    EXPECT_EQ(RefreshPeriod(1), 60000u);
    EXPECT_EQ(RefreshPeriod(35791), 2147460000u);
    // Beyond what SetTimer takes the period stays the longest, never wraps.
    EXPECT_EQ(RefreshPeriod(35792), static_cast<UINT>(USER_TIMER_MAXIMUM));
    EXPECT_EQ(RefreshPeriod(71583), static_cast<UINT>(USER_TIMER_MAXIMUM));
    EXPECT_EQ(RefreshPeriod(INT32_MAX), static_cast<UINT>(USER_TIMER_MAXIMUM));
}

TEST_F(MainWindowEventsTest, MinimizeHidesAndTheIconClickRestores)
{
    Settings iconRecall = {};
    Open(&iconRecall);
    ShowWindow(main_, SW_SHOWNORMAL);
    ASSERT_TRUE(IsWindowVisible(main_));
    ShowWindow(main_, SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(main_)) << "minimized means hidden";

    for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,
                         WM_MBUTTONUP, 0}) {
        EXPECT_EQ(SendMessageA(main_, WM_USER + 1, 1, mouse), 0) << mouse;
        EXPECT_FALSE(IsWindowVisible(main_)) << mouse;
    }
    EXPECT_EQ(SendMessageA(main_, WM_USER + 1, 1, WM_LBUTTONUP), 0);
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(IsIconic(main_));
}

TEST_F(MainWindowEventsTest, HotKeyRestores)
{
    Open();
    ShowWindow(main_, SW_SHOWNORMAL);
    ShowWindow(main_, SW_MINIMIZE);
    ASSERT_FALSE(IsWindowVisible(main_));
    EXPECT_EQ(SendMessageA(main_, WM_HOTKEY, 1, MAKELPARAM(MOD_CONTROL | MOD_ALT, VK_F12)), 0);
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(IsIconic(main_));
}

TEST_F(MainWindowEventsTest, RecallBringsTheWindowAboveOthers)
{
    Open();
    ShowWindow(main_, SW_SHOWNORMAL);
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    auto above = [](HWND a, HWND b) {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            if (w == a)
                return true;
            if (w == b)
                return false;
        }
        return false;
    };
    ASSERT_TRUE(above(other, main_));
    SendMessageA(main_, WM_HOTKEY, 1, 0);
    EXPECT_TRUE(above(main_, other));
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SendMessageA(main_, WM_USER + 1, 1, WM_LBUTTONUP);
    EXPECT_TRUE(above(main_, other));
    DestroyWindow(other);
}

TEST_F(MainWindowEventsTest, OtherSizeChangesKeepTheWindow)
{
    Open();
    ShowWindow(main_, SW_SHOWNORMAL);
    for (WPARAM kind : {SIZE_RESTORED, SIZE_MAXIMIZED, SIZE_MAXSHOW, SIZE_MAXHIDE}) {
        SendMessageA(main_, WM_SIZE, kind, MAKELPARAM(400, 300));
        EXPECT_TRUE(IsWindowVisible(main_)) << kind;
    }
    EXPECT_EQ(SendMessageA(main_, WM_SIZE, SIZE_MINIMIZED, 0), 0);
    EXPECT_FALSE(IsWindowVisible(main_));
}

TEST(StartsHiddenTest, LowerCaseSwitchAnywhere)
{
    for (const char* tail : {"/i", "x/i", "C:/installed/here", "-a /i -b", "/i/i"})
        EXPECT_TRUE(StartsHidden(tail)) << tail;
    for (const char* tail : {"", "/I", "i", "/", "/ i", "\\i", "-i"})
        EXPECT_FALSE(StartsHidden(tail)) << tail;
    EXPECT_FALSE(StartsHidden(nullptr));
}

}  // namespace
