// The Setup dialog opened by the main window's Setup command, and
// driven from inside its modal loop.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "autostart.h"
#include "mail_config_file.h"
#include "command_fixture.h"
#include "commands.h"
#include "layout.h"
#include "mail_address.h"
#include "monitor_test_support.h"
#include "resource.h"
#include "settings.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    short x, y, cx, cy;
};

// The template, control by control, in template (and tab) order.
constexpr ExpectedControl SetupControls[] = {
    {100, "Button", "", 0x50000007, 4, 0, 280, 204},
    {101, "Button", "Polling Data", 0x50020007, 12, 8, 264, 56},
    {700, "Static", "Check Hard Disk(s) every", 0x50000000, 20, 26, 88, 9},
    {900, "Edit", "", 0x50810000, 108, 22, 32, 13},
    {701, "Static", "minutes (insert -1 to disable controls)", 0x50000000, 144, 26, 126, 9},
    {702, "Static", "If Hard Disk Attributes change more then ", 0x50000000, 20, 42, 76, 16},
    {901, "Edit", "", 0x50812000, 96, 42, 24, 14},
    {703, "Static", "% on their previous values send a warning", 0x50000000, 124, 42, 136, 16},
    {102, "Button", "Email Information", 0x50020007, 12, 68, 264, 60},
    {704, "Static", "Send messages to this destination", 0x50000000, 20, 82, 160, 9},
    {705, "Static", "Email Address", 0x50000000, 40, 96, 52, 9},
    {902, "Edit", "", 0x50810080, 96, 92, 88, 13},
    {706, "Static", "SMTP Server", 0x50000000, 40, 112, 52, 9},
    {903, "Edit", "", 0x50810080, 96, 108, 88, 13},
    {904, "Button", "Mail Server...", 0x50010000, 188, 107, 80, 14},
    {103, "Button", "Misc.", 0x50020007, 12, 129, 264, 67},
    {707, "Static", "How do you want to recall the window of Ostrivel when it is hidden ?", 0x50000000, 20, 140, 236, 9},
    {1400, "Button", "Click on the icon in the Tray Area", 0x50010029, 40, 152, 140, 9},
    {1401, "Button", "Press Ctrl Alt F12", 0x50010029, 40, 164, 140, 9},
    {1500, "Button", "Run Ostrivel (minimized) when you log on", 0x50010123, 20, 180, 160, 9},
    {9, "Button", "&Help", 0x50010300, 4, 210, 50, 14},
    {1, "Button", "&OK", 0x50010301, 181, 210, 50, 14},
    {2, "Button", "&Cancel", 0x50010300, 233, 210, 50, 14},
};

// Reads the extended dialog template of resource 2 field by field.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* at) : at_(at) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A text or an ordinal (0xFFFF followed by its number, given as "#n").
    std::string Name()
    {
        if (*reinterpret_cast<const WORD*>(at_) == 0xFFFF) {
            Word();
            char ordinal[8];
            snprintf(ordinal, sizeof ordinal, "#%u", Word());
            return ordinal;
        }
        std::string text;
        for (WORD c; (c = Word()) != 0;)
            text += static_cast<char>(c);
        return text;
    }
    void AlignDword()
    {
        while (reinterpret_cast<UINT_PTR>(at_) % 4)
            ++at_;
    }

private:
    template <typename T>
    T Take()
    {
        T value;
        std::memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    const BYTE* at_;
};

std::string ClassFromTemplate(std::string name)
{
    if (name == "#128") return "Button";
    if (name == "#129") return "Edit";
    if (name == "#130") return "Static";
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!name.empty())
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

TEST(SetupTemplate, HoldsTheDialogAndIts23ControlsInOrder)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETUP), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(found, nullptr);
    TemplateReader t(static_cast<const BYTE*>(LockResource(LoadResource(module, found))));
    EXPECT_EQ(t.Word(), 1);       // dlgVer
    EXPECT_EQ(t.Word(), 0xFFFF);  // extended template
    EXPECT_EQ(t.Dword(), 0u);     // help identifier
    EXPECT_EQ(t.Dword(), 0x00010001u);
    EXPECT_EQ(t.Dword(), 0x90C800C4u);
    EXPECT_EQ(t.Word(), 23);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 290);
    EXPECT_EQ(t.Short(), 230);
    EXPECT_EQ(t.Name(), "");  // no menu
    EXPECT_EQ(t.Name(), "");  // standard dialog class
    EXPECT_EQ(t.Name(), "Setup");
    EXPECT_EQ(t.Word(), 8);   // points
    EXPECT_EQ(t.Word(), 0);   // weight
    EXPECT_EQ(t.Byte(), 0);   // not italic
    EXPECT_EQ(t.Byte(), 1);   // DEFAULT_CHARSET
    EXPECT_EQ(t.Name(), "MS Sans Serif");
    for (const ExpectedControl& want : SetupControls) {
        SCOPED_TRACE(want.id);
        t.AlignDword();
        EXPECT_EQ(t.Dword(), 0u);  // help identifier
        EXPECT_EQ(t.Dword(), 0u);  // extended style
        EXPECT_EQ(t.Dword(), want.style);
        EXPECT_EQ(t.Short(), want.x);
        EXPECT_EQ(t.Short(), want.y);
        EXPECT_EQ(t.Short(), want.cx);
        EXPECT_EQ(t.Short(), want.cy);
        EXPECT_EQ(t.Dword(), static_cast<DWORD>(want.id));
        EXPECT_EQ(ClassFromTemplate(t.Name()), want.className);
        EXPECT_EQ(t.Name(), want.text);
        EXPECT_EQ(t.Word(), 0);  // no creation data
    }
}

class SetupDialogTest : public CommandTest {
protected:
    ModalRun RunSetup(std::vector<ModalStep> steps) { return DriveModal([this] { Command(CMD_SETUP); }, std::move(steps)); }

    // Opens the dialog, runs the checks on it, then presses a button.
    void OpenCheckAndPress(std::function<void(HWND)> check, int button)
    {
        const ModalRun run = RunSetup({Inspect(check), Click(button)});
        EXPECT_EQ(run.stepsDone, 2u);
        EXPECT_FALSE(run.timedOut);
    }
};

TEST_F(SetupDialogTest, IsModalToTheOwnerAndStandsAtItsClientOrigin)
{
    OpenCheckAndPress(
        [this](HWND dialog) {
            char caption[32] = "";
            GetWindowTextA(dialog, caption, sizeof caption);
            EXPECT_STREQ(caption, "Setup");
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), mainWindow);
            EXPECT_FALSE(IsWindowEnabled(mainWindow));
            // Position (0, 0): its client area starts where the main window's does.
            POINT mainOrigin = {0, 0};
            ClientToScreen(mainWindow, &mainOrigin);
            POINT origin = {0, 0};
            ClientToScreen(dialog, &origin);
            EXPECT_EQ(origin.x, mainOrigin.x);
            EXPECT_EQ(origin.y, mainOrigin.y);
            RECT client;
            GetClientRect(dialog, &client);
            RECT size = {0, 0, 290, 230};
            MapDialogRect(dialog, &size);
            EXPECT_EQ(client.right, size.right);
            EXPECT_EQ(client.bottom, size.bottom);
        },
        IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(mainWindow));
}

TEST_F(SetupDialogTest, TabStopsAndGroupsFollowTheTemplate)
{
    OpenCheckAndPress(
        [](HWND dialog) {
            std::vector<int> tabOrder;
            HWND item = nullptr;
            for (int i = 0; i < 13; ++i) {
                item = GetNextDlgTabItem(dialog, item, FALSE);
                tabOrder.push_back(GetDlgCtrlID(item));
            }
            EXPECT_THAT(tabOrder, ElementsAre(900, 901, 902, 903, 904, 1400, 1401, 1500, 9, 1, 2, 900, 901));
            // The two radio buttons share the group that box 103 starts.
            EXPECT_EQ(GetNextDlgGroupItem(dialog, GetDlgItem(dialog, 1400), FALSE), GetDlgItem(dialog, 1401));
            SendDlgItemMessageA(dialog, 1401, BM_CLICK, 0, 0);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1400), BST_UNCHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1401), BST_CHECKED);
            SendDlgItemMessageA(dialog, 1400, BM_CLICK, 0, 0);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1400), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1401), BST_UNCHECKED);
        },
        IDCANCEL);
}

TEST_F(SetupDialogTest, StaticColoursAreBlueTitlesARedHeadingAndNothingElse)
{
    OpenCheckAndPress(
        [](HWND dialog) {
            HDC dc = CreateCompatibleDC(nullptr);
            for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                const int id = GetDlgCtrlID(child);
                SCOPED_TRACE(id);
                SetBkMode(dc, OPAQUE);
                SetTextColor(dc, RGB(1, 2, 3));
                const INT_PTR result = SetupDialogProc(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(child));
                EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
                const bool title = id == 101 || id == 102 || id == 103;
                const COLORREF colour = title ? 0xFF0000 : id == 704 ? 0x0000FF : RGB(1, 2, 3);
                EXPECT_EQ(GetTextColor(dc), colour);
                const HBRUSH brush = title || id == 704 ? GetSysColorBrush(COLOR_BTNFACE) : nullptr;
                EXPECT_EQ(reinterpret_cast<HBRUSH>(result), brush);
            }
            DeleteDC(dc);
        },
        IDCANCEL);
}

TEST_F(SetupDialogTest, OpeningWithZerosShowsAndStoresTheDefaultsAndCancelArmsTheTimer)
{
    OpenCheckAndPress(
        [](HWND dialog) {
            EXPECT_EQ(ItemText(dialog, 900), "240");
            EXPECT_EQ(ItemText(dialog, 901), "5");
            EXPECT_EQ(CurrentSettings.pollMinutes, 240);
            EXPECT_EQ(CurrentSettings.changePercent, 5u);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1400), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1401), BST_UNCHECKED);
        },
        IDCANCEL);
    EXPECT_EQ(CurrentSettings.pollMinutes, 240);
    EXPECT_EQ(CurrentSettings.changePercent, 5u);
    EXPECT_THAT(Seen.timerCalls, ElementsAre(TimerCall{false, 1, 0}, TimerCall{true, 1, 240u * 60000u}));
    EXPECT_TRUE(KillMainTimer());
}

TEST_F(SetupDialogTest, ShowsTheRecordAndCancelKeepsIt)
{
    CurrentSettings.pollMinutes = -5;
    CurrentSettings.changePercent = 3000000000u;
    std::strcpy(CurrentSettings.emailAddress, "admin@example.org");
    std::strcpy(CurrentSettings.smtpServer, "smtp.example.org");
    CurrentSettings.recallMode = 2;
    const Settings before = CurrentSettings;
    OpenCheckAndPress(
        [](HWND dialog) {
            EXPECT_EQ(ItemText(dialog, 900), "-5");
            EXPECT_EQ(ItemText(dialog, 901), "3000000000");
            EXPECT_EQ(ItemText(dialog, 902), "admin@example.org");
            EXPECT_EQ(ItemText(dialog, 903), "smtp.example.org");
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1400), BST_UNCHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1401), BST_CHECKED);
            SetDlgItemTextA(dialog, 900, "7");
            SetDlgItemTextA(dialog, 902, "other@example.org");
            SendDlgItemMessageA(dialog, 1400, BM_CLICK, 0, 0);
        },
        IDCANCEL);
    EXPECT_EQ(std::memcmp(&CurrentSettings, &before, sizeof before), 0);
    EXPECT_THAT(Seen.timerCalls, IsEmpty());
}

// Esc and the close box cancel; Enter presses the default button, OK.
TEST_F(SetupDialogTest, KeysAndTheCloseBoxEndTheDialog)
{
    auto post = [](int control, UINT message, WPARAM wParam) {
        return [=](HWND dialog) {
            PostMessageA(control ? GetDlgItem(dialog, control) : dialog, message, wParam, 0);
            return true;
        };
    };
    const std::vector<ModalStep> endings[] = {
        {post(900, WM_KEYDOWN, VK_ESCAPE)},
        {post(0, WM_SYSCOMMAND, SC_CLOSE)},
        {post(903, WM_KEYDOWN, VK_RETURN)},
    };
    const int32_t expected[] = {9, 9, 12};
    for (size_t i = 0; i < std::size(endings); ++i) {
        CurrentSettings.pollMinutes = 9;
        std::vector<ModalStep> steps = {SetText(900, "12")};
        steps.insert(steps.end(), endings[i].begin(), endings[i].end());
        EXPECT_FALSE(RunSetup(steps).timedOut);
        EXPECT_EQ(CurrentSettings.pollMinutes, expected[i]) << i;
    }
}

struct NumberCase {
    const char* minutes;
    const char* percent;
    int32_t pollMinutes;
    uint32_t changePercent;
};

TEST_F(SetupDialogTest, OkReadsTheNumbersAndEmptyOrZeroTakesTheDefault)
{
    const NumberCase cases[] = {
        {"", "", 240, 5},
        {"0", "0", 240, 5},
        {"-0", "000", 240, 5},
        {"-", "x", 240, 5},
        {"-1", "1", -1, 1},
        {"7", "17", 7, 17},
        {"-2147483647", "4294967294", -2147483647, 4294967294u},
        {"99999999999", "99999999999", 240, 5},  // out of range
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.minutes);
        CurrentSettings.pollMinutes = 30;
        CurrentSettings.changePercent = 30;
        const ModalRun run = RunSetup({SetText(900, c.minutes), SetText(901, c.percent), Click(IDOK)});
        EXPECT_EQ(run.stepsDone, 3u);
        EXPECT_EQ(CurrentSettings.pollMinutes, c.pollMinutes);
        EXPECT_EQ(CurrentSettings.changePercent, c.changePercent);
    }
}

TEST_F(SetupDialogTest, EmailTextsAreCutTo79Characters)
{
    std::memset(CurrentSettings.emailAddress, 'x', sizeof CurrentSettings.emailAddress);  // no terminator
    const std::string long100(100, 'a');
    const std::string exact79(79, 'b');
    OpenCheckAndPress(
        [&](HWND dialog) {
            EXPECT_EQ(ItemText(dialog, 902), std::string(79, 'x'));
            EXPECT_EQ(ItemText(dialog, 903), "");
            SetDlgItemTextA(dialog, 902, long100.c_str());
            SetDlgItemTextA(dialog, 903, exact79.c_str());
        },
        IDOK);
    EXPECT_EQ(std::string(CurrentSettings.emailAddress), std::string(79, 'a'));
    EXPECT_EQ(std::string(CurrentSettings.smtpServer), exact79);
}

TEST_F(SetupDialogTest, RecallModeIsZeroForTheIconAndOneForTheHotKey)
{
    struct Case {
        int32_t before;
        int click;  // 0: none
        int32_t after;
    };
    for (const Case& c : {Case{2, 0, 1}, Case{0, 0, 0}, Case{0, 1401, 1}, Case{-3, 1400, 0}}) {
        SCOPED_TRACE(c.before);
        CurrentSettings.recallMode = c.before;
        std::vector<ModalStep> steps = {Inspect([&](HWND dialog) {
            EXPECT_EQ(IsDlgButtonChecked(dialog, c.before ? 1401 : 1400), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(dialog, c.before ? 1400 : 1401), BST_UNCHECKED);
        })};
        if (c.click)
            steps.push_back(Click(c.click));
        steps.push_back(Click(IDOK));
        EXPECT_FALSE(RunSetup(steps).timedOut);
        EXPECT_EQ(CurrentSettings.recallMode, c.after);
    }
}

std::string ExpectedRunValue()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string("\"") + path + "\" /i";
}

TEST_F(SetupDialogTest, TheCheckBoxFollowsTheRunKeyAndEveryOkWritesIt)
{
    WriteRunValue("C:\\old place\\ostrivel.exe /i");
    OpenCheckAndPress(
        [](HWND dialog) {
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1500), BST_CHECKED);
            DeleteRunValue();  // gone behind the dialog's back: OK writes it again
        },
        IDOK);
    std::string data;
    ASSERT_TRUE(ReadRunValue(&data));
    EXPECT_EQ(data, ExpectedRunValue());

    WriteRunValue("C:\\old place\\ostrivel.exe /i");
    OpenCheckAndPress([](HWND) {}, IDOK);
    ASSERT_TRUE(ReadRunValue(&data));
    EXPECT_EQ(data, ExpectedRunValue());  // brought up to date
}

TEST_F(SetupDialogTest, AnUncheckedBoxDeletesTheEntryOnEveryOk)
{
    DeleteRunValue();
    OpenCheckAndPress(
        [](HWND dialog) {
            EXPECT_EQ(IsDlgButtonChecked(dialog, 1500), BST_UNCHECKED);
            WriteRunValue("C:\\elsewhere\\ostrivel.exe /i");
        },
        IDOK);
    EXPECT_FALSE(ReadRunValue(nullptr));

    OpenCheckAndPress([](HWND) {}, IDOK);  // nothing to delete: silent
    EXPECT_FALSE(ReadRunValue(nullptr));

    WriteRunValue("x");
    const ModalRun run = RunSetup({Click(1500), Click(IDOK)});  // checked, then unchecked
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_FALSE(ReadRunValue(nullptr));
}

TEST_F(SetupDialogTest, CancelLeavesTheRunKeyAlone)
{
    DeleteRunValue();
    const ModalRun run = RunSetup({Click(1500), Click(IDCANCEL)});
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_FALSE(ReadRunValue(nullptr));
}

TEST_F(SetupDialogTest, AnUnchangedIntervalLeavesTheRunningTimerAlone)
{
    CurrentSettings.pollMinutes = 5;
    ArmMainTimer(150);  // a short countdown that a re-arm would replace by 5 minutes
    const ModalRun run = RunSetup({SetText(900, "5"), Click(IDOK)});
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_THAT(Seen.timerCalls, IsEmpty());
    EXPECT_TRUE(WaitForTick(2000));
    EXPECT_TRUE(KillMainTimer());
}

// The monitor hears of OK at once: the label follows, and an address and
// server that pass the checks get a test message (a name to look up here).
TEST_F(SetupDialogTest, OkWithAWorkingAddressAndServerSendsATestMessage)
{
    SmtpTestServer server;
    ASSERT_TRUE(server.Start());
    const std::string byName = "localhost" + server.Server().substr(9);
    std::string outcome;
    char label[32] = "", computer[MAX_COMPUTERNAME_LENGTH + 1] = "";
    auto setup = [&](std::vector<ModalStep> steps, DWORD limitMs = 5000) {
        DriveModal([&] { outcome = AwaitOutcome(mainWindow, WM_COMMAND, CMD_SETUP, limitMs); }, std::move(steps));
        GetWindowTextA(MonitorLabel, label, sizeof label);
    };
    setup({SetText(902, "admin at example.org"), SetText(903, byName.c_str()), Click(IDOK)});
    EXPECT_THAT(outcome, testing::EndsWith(": bad address"));
    EXPECT_STREQ(label, "Monitor disabled");
    setup({SetText(902, "admin@example.org"), Click(IDOK)});
    EXPECT_THAT(outcome, StartsWith("Sent "));
    EXPECT_STREQ(label, "Monitor enabled");
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    const std::string name = IsDomainLabel(computer) ? computer : "this PC";  // no bad header
    EXPECT_THAT(server.Message(1), HasSubstr("\r\nSubject: Ostrivel test message from " + name));
    setup({SetText(900, "-1"), Click(IDOK)}, 300);
    EXPECT_EQ(outcome, "") << "address and server unchanged: nothing sent";
    EXPECT_STREQ(label, "Monitor disabled") << "no refresh, no mail";
}

// A click that opens a further modal dialog must not wait inside the step.
ModalStep PostClick(int id)
{
    return [id](HWND modal) { return PostMessageA(GetDlgItem(modal, id), BM_CLICK, 0, 0) != 0; };
}

TEST_F(SetupDialogTest, MailServerIsADraftUntilSetupsOkAndKeepsThePasswordProtected)
{
    const char password[] = "app-pw-3141 5926";
    auto fill = [&](HWND d) {
        auto Enabled = [d](int id) { return IsWindowEnabled(GetDlgItem(d, id)) != FALSE; };
        EXPECT_TRUE(IsDlgButtonChecked(d, IDC_SECURITY_NONE) && !Enabled(IDC_MAIL_USER) && Enabled(IDC_MAIL_COMMAND));
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(d, IDC_MAIL_PASSWORD), GWL_STYLE) & ES_PASSWORD);
        SendMessageA(GetDlgItem(d, IDC_SECURITY_TLS), BM_CLICK, 0, 0);
        EXPECT_TRUE(Enabled(IDC_MAIL_USER) && Enabled(IDC_MAIL_PASSWORD));
        SetDlgItemTextA(d, IDC_MAIL_USER, "me@example.com");
        SetDlgItemTextA(d, IDC_MAIL_PASSWORD, password);
        SetDlgItemTextA(d, IDC_MAIL_COMMAND, "notify.exe --all");
    };
    EXPECT_EQ(RunSetup({PostClick(IDC_MAIL_SERVER), Inspect(fill), Click(IDOK), Click(IDCANCEL)}).stepsDone, 4u);
    EXPECT_FALSE(FileExists("ostrivel.cfg")) << "Setup's Cancel drops the draft";
    EXPECT_EQ(CurrentMailConfig.security, SmtpSecurity::None);

    EXPECT_EQ(RunSetup({PostClick(IDC_MAIL_SERVER), Inspect(fill), Click(IDOK), Click(IDOK)}).stepsDone, 4u);
    const std::string cfg = FileText("ostrivel.cfg");
    MailConfig stored;
    ASSERT_TRUE(!cfg.empty() && ParseMailConfig(cfg.data(), cfg.size(), &stored));
    EXPECT_TRUE(stored.security == SmtpSecurity::Tls && std::string(stored.user) == "me@example.com" &&
                std::string(stored.command) == "notify.exe --all");
    char revealed[MailPasswordMax + 1];
    EXPECT_TRUE(RevealPassword(stored.password, revealed, sizeof revealed) && std::string(revealed) == password);
    for (const auto& file : std::filesystem::directory_iterator("."))
        EXPECT_EQ(FileText(file.path().string()).find("3141"), std::string::npos) << file.path();

    // The dialog shows what is stored, the password as dots; Send Test goes
    // out with what the dialogs hold and shows the reply there.
    SmtpTestServer server;
    ASSERT_TRUE(server.Start("550 5.1.1 No such user here"));
    std::string tested;
    auto awaitOutcome = [&](HWND d) {
        tested = ItemText(d, IDC_TEST_OUTCOME);
        return tested.find("not sent") != std::string::npos;
    };
    auto shown = [&](HWND d) {
        EXPECT_TRUE(ItemText(d, IDC_MAIL_PASSWORD) == password && IsDlgButtonChecked(d, IDC_SECURITY_TLS));
    };
    RunSetup({SetText(902, "admin@example.org"), SetText(903, server.Server().c_str()), PostClick(IDC_MAIL_SERVER),
              Inspect(shown), Click(IDC_SECURITY_NONE), Click(IDC_SEND_TEST), awaitOutcome, Click(IDCANCEL),
              Click(IDCANCEL)});
    EXPECT_THAT(tested, AllOf(StartsWith("Test message not sent "), HasSubstr(server.Server().substr(10)),
                              HasSubstr("last reply: \"550 5.1.1 No such user here\"")));

    // A password protected by another account reads as none and says so.
    std::strcpy(CurrentMailConfig.password, "AQIDBAUG");
    auto look = [&](HWND d) {
        EXPECT_EQ(ItemText(d, IDC_MAIL_PASSWORD), "");
        EXPECT_THAT(ItemText(d, IDC_TEST_OUTCOME), HasSubstr("must be entered again"));
    };
    EXPECT_EQ(RunSetup({PostClick(IDC_MAIL_SERVER), Inspect(look), Click(IDCANCEL), Click(IDCANCEL)}).stepsDone, 4u);
}

// OK saves the settings at once; a failed save says so, naming the file and
// the reason, and keeps what the user set for this run.
TEST_F(SetupDialogTest, OkSavesTheSettingsAndAFailedSaveSaysWhy)
{
    std::vector<uint8_t> saved;
    RunSetup({SetText(900, "17"), Click(IDOK)});
    ASSERT_TRUE(SetFileAttributesA(SettingsFileName, FILE_ATTRIBUTE_READONLY));
    std::string box;
    // A posted OK opens the box from the dialog's own loop, where steps reach it.
    const ModalStep postOk = [](HWND dialog) { return PostMessageA(dialog, WM_COMMAND, IDOK, 0) != 0; };
    RunSetup({SetText(900, "18"), postOk, Inspect([&box](HWND b) { box = ItemText(b, 0xFFFF); }), Click(IDOK)});
    SetFileAttributesA(SettingsFileName, FILE_ATTRIBUTE_NORMAL);
    char file[MAX_PATH];
    GetFullPathNameA(SettingsFileName, MAX_PATH, file, nullptr);
    EXPECT_THAT(box, StartsWith(std::string("The settings could not be saved to\n") + file + "\n\n5 - "));
    EXPECT_EQ(CurrentSettings.pollMinutes, 18);
    ASSERT_TRUE(ReadWholeFile(SettingsFileName, &saved));
    EXPECT_EQ(saved[0], 17);
}

TEST_F(SetupDialogTest, AChangedIntervalReArmsTheTimer)
{
    CurrentSettings.pollMinutes = 5;
    ArmMainTimer(300000);
    EXPECT_EQ(RunSetup({SetText(900, "7"), Click(IDOK)}).stepsDone, 2u);
    EXPECT_THAT(Seen.timerCalls, ElementsAre(TimerCall{false, 1, 0}, TimerCall{true, 1, 420000u}));
    EXPECT_TRUE(KillMainTimer());
}

TEST_F(SetupDialogTest, MinusOneOrZeroInTheRecordKillsTheTimer)
{
    CurrentSettings.pollMinutes = 5;
    ArmMainTimer(300000);
    EXPECT_EQ(RunSetup({SetText(900, "-1"), Click(IDOK)}).stepsDone, 2u);
    EXPECT_EQ(CurrentSettings.pollMinutes, -1);
    EXPECT_THAT(Seen.timerCalls, ElementsAre(TimerCall{false, 1, 0}));
    EXPECT_FALSE(KillMainTimer());

    // The dialog itself never leaves 0; a record that became 0 while it was
    // open (as a failed save does) stops the timer as well.
    Seen.timerCalls.clear();
    CurrentSettings.pollMinutes = 5;
    ArmMainTimer(300000);
    const ModalRun run = RunSetup({Inspect([](HWND) { CurrentSettings.pollMinutes = 0; }), Click(IDCANCEL)});
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_THAT(Seen.timerCalls, ElementsAre(TimerCall{false, 1, 0}));
    EXPECT_FALSE(KillMainTimer());
}

TEST_F(SetupDialogTest, HelpOpensContextTwoAndTheDialogStaysOpen)
{
    HWND shown = nullptr;
    const ModalRun run = RunSetup({
        Click(IDC_SETUP_HELP),
        Inspect([&](HWND dialog) {
            shown = dialog;
            EXPECT_TRUE(IsWindowVisible(dialog));
        }),
        Click(IDCANCEL),
    });
    EXPECT_EQ(run.stepsDone, 3u);
    ASSERT_EQ(Seen.winHelp.size(), 1u);
    EXPECT_EQ(Seen.winHelp[0].window, shown);
    EXPECT_EQ(Seen.winHelp[0].file, "ostrivel.hlp");
    EXPECT_EQ(Seen.winHelp[0].command, static_cast<UINT>(HELP_CONTEXT));
    EXPECT_EQ(Seen.winHelp[0].data, 2u);
}

TEST_F(SetupDialogTest, ATickWhileTheDialogIsOpenRebuildsTheViews)
{
    const ModalRun run = RunSetup({
        Inspect([this](HWND) {
            ListView_DeleteAllItems(DriveList);
            ArmMainTimer(10);
        }),
        [](HWND) { return Seen.ticks >= 1 && RowCount(DriveList) > 0; },
        Click(IDCANCEL),
    });
    EXPECT_EQ(run.stepsDone, 3u);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(RowCount(DriveList), 4);
}

}  // namespace
