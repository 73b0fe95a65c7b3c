// The attribute monitor in the running window, on emulated drives whose
// snapshot files change between ticks, against a real SMTP server on
// 127.0.0.1.
#include <windows.h>
#include <wincrypt.h>
#include <shellapi.h>

#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "drive_scan.h"
#include "import_hook.h"
#include "layout.h"
#include "mail_config_file.h"
#include "monitor.h"
#include "monitor_step.h"
#include "monitor_test_support.h"
#include "recall.h"
#include "refresh_timer.h"
#include "smtp_dialogue.h"
#include "window_session.h"

using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// The tick count the program's code reads, shifted as if time had passed.
DWORD ClockShift;
decltype(&GetTickCount) RealGetTickCount = GetTickCount;
DWORD WINAPI ShiftedTickCount()
{
    return RealGetTickCount() + ClockShift;
}

// The notification-area calls of the program's code, passed on to the shell.
struct NotifyIconCalls {
    int balloons, deletes;  // balloons: calls with NIF_INFO
    DWORD message, size, infoFlags;  // of the latest balloon
    std::string title, text;
};
NotifyIconCalls IconCalls;
decltype(&Shell_NotifyIconA) RealNotifyIcon = Shell_NotifyIconA;
BOOL WINAPI RecordingNotifyIcon(DWORD message, PNOTIFYICONDATAA data)
{
    IconCalls.deletes += message == NIM_DELETE;
    if (message != NIM_SETVERSION && (data->uFlags & NIF_INFO))
        IconCalls = {IconCalls.balloons + 1, IconCalls.deletes, message, data->cbSize, data->dwInfoFlags,
                     data->szInfoTitle, data->szInfo};
    return RealNotifyIcon(message, data);
}

// GetProcAddress as on a shell32 before 4.71, which has no DllGetVersion.
decltype(&GetProcAddress) RealGetProcAddress = GetProcAddress;
FARPROC WINAPI WithoutDllGetVersion(HMODULE module, LPCSTR name)
{
    if (HIWORD(name) && std::strcmp(name, "DllGetVersion") == 0)
        return nullptr;
    return RealGetProcAddress(module, name);
}

class MonitorMailTest : public ::testing::Test {
protected:
    MonitorMailTest() { RealNotifyIcon = notifyHook_.original<decltype(&Shell_NotifyIconA)>(), IconCalls = {}; }

    // The window on the demo drives, mailing through server; the test ticks.
    void Open(int recall, const std::string& server)
    {
        Settings settings = {60, 10, "admin@example.org", "", recall};
        std::strcpy(settings.smtpServer, server.c_str());
        main_ = session_.emplace(drives_, &settings).Window();
        ASSERT_NE(main_, nullptr);
        StopRefreshTimer(main_);
    }

    std::string Tick(UINT_PTR timer = RefreshTimerId) { return AwaitOutcome(main_, WM_TIMER, timer); }

    // The latest message, once it is the count-th.
    std::string Received(size_t count)
    {
        EXPECT_EQ(server_.MessageCount(), count);
        return server_.Message(count);
    }

    SmtpTestServer server_;
    DriveFolder drives_;
    ImportHook notifyHook_{"shell32.dll", "Shell_NotifyIconA", reinterpret_cast<void*>(RecordingNotifyIcon)};
    std::optional<MainWindowSession> session_;
    HWND main_ = nullptr;
};

TEST_F(MonitorMailTest, WarningsGoOutOnceWaitForTheServerAndFailingServersAreShown)
{
    // Windows 95 without networking has no wsock32.dll: it is loaded, not imported.
    EXPECT_TRUE(ImportHook::ImportsFrom("kernel32.dll"));
    EXPECT_FALSE(ImportHook::ImportsFrom("wsock32.dll"));
    ASSERT_TRUE(server_.Start());
    drives_.PutDemoDrives(true);
    Settings settings = {60, 10, "admin@example.org", "", 1};
    std::strcpy(settings.smtpServer, server_.Server().c_str());
    MainWindowSession session(drives_, &settings);
    main_ = session.Window();
    ASSERT_NE(main_, nullptr);
    StopRefreshTimer(main_);  // the test ticks

    // The comparison after start-up takes the scan's values: a change on the
    // drive since is neither read nor shown. The demo's IBM fails already.
    ASSERT_TRUE(KillTimer(main_, MonitorFirstCheckTimerId)) << "armed at creation";
    drives_.SetAttribute(0, 8, 220, 58172);
    const auto shown = ListCells(AttributeList, 4);
    EXPECT_THAT(Tick(MonitorFirstCheckTimerId), StartsWith("Sent "));
    EXPECT_EQ(ListCells(AttributeList, 4), shown);
    EXPECT_THAT(Received(1), AllOf(StartsWith("HELO "), HasSubstr("\r\nMAIL FROM admin@example.org\r\nRCPT TO admin@example.org\r\n"),
                                   HasSubstr("\r\nSubject: Ostrivel warning: 2 drive problem(s) on "),
                                   HasSubstr("IC35L040AVVN07-0"), HasSubstr("VNC202A2L1SB8A"), Not(HasSubstr("Maxtor"))));
    EXPECT_TRUE(FileExists(session.WorkFile("ostrivel.mon")));

    // The notice: one balloon, from an icon the hot-key recall adds for it; a
    // click on it takes the icon away and brings the window with the drive.
    EXPECT_EQ(IconCalls.balloons, 1);
    EXPECT_EQ(IconCalls.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_THAT(IconCalls.size, AnyOf(NOTIFYICONDATAA_V2_SIZE, sizeof(NOTIFYICONDATAA),
                                      sizeof(NOTIFYICONDATAA) + sizeof(HICON)));
    EXPECT_TRUE(IconCalls.infoFlags == NIIF_WARNING && IconCalls.title == "Drive problem");
    EXPECT_THAT(IconCalls.text, AllOf(StartsWith("IC35L040AVVN07-0: "), EndsWith("\nand 1 more")));
    ShowWindow(main_, SW_HIDE);
    SendMessageA(main_, RecallIconMessage, RecallIconId, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_EQ(CellText(InfoList, 1, 1), "IC35L040AVVN07-0");
    EXPECT_EQ(IconCalls.deletes, 1);

    // A tick reads the drives again: attribute 8 (pre-failure) fell from 252
    // to 220, more than 10 percent, and the attribute page shows 220.
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_THAT(Received(2), AllOf(HasSubstr("Maxtor 6Y080L0"), HasSubstr("252"), HasSubstr("220"),
                                   HasSubstr(": 1 drive problem(s)"), Not(HasSubstr("IC35L040AVVN07-0"))));
    EXPECT_EQ(CellText(AttributeList, 5, 2), "220");
    EXPECT_THAT(IconCalls.text, StartsWith("Maxtor 6Y080L0: Attribute 8, "));
    EXPECT_TRUE(KillTimer(main_, RecallNoticeTimerId)) << "the notice's icon goes after 30 s";
    SendMessageA(main_, WM_TIMER, RecallNoticeTimerId, 0);
    EXPECT_EQ(IconCalls.deletes, 2);
    EXPECT_THAT(Tick(), StartsWith("Checked ")) << "nothing new, nothing sent twice";
    EXPECT_EQ(IconCalls.balloons, 2) << "nor shown twice";

    // Read without rights, then in full: the same drives with their kept
    // thresholds, none vanished, no threshold crossed (drive 2 refuses SMART).
    const auto thresholds = ListCells(AttributeList, 4);
    for (bool limited : {true, false}) {
        for (int d = 0; d < 4; ++d)
            drives_.Fail(d, d == 2 ? (limited ? "admin\nenable" : "enable") : (limited ? "admin" : ""));
        EXPECT_THAT(Tick(), StartsWith("Checked ")) << limited;
        EXPECT_EQ(ListCells(AttributeList, 4), thresholds);
        EXPECT_EQ(CellText(InfoList, 6, 1) == "-", limited);
    }

    // Attribute 4 of the WD (a usage attribute: no fall warning) at its
    // threshold; 3 reallocated sectors on the Maxtor, in the low 16 bits of
    // a raw value whose upper bytes carry other data; the WD stops answering.
    drives_.SetAttribute(3, 4, 40, 714);
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_THAT(Received(3), AllOf(HasSubstr("WD-WMAL71234567"), HasSubstr(": 1 drive problem(s)")));
    drives_.SetAttribute(0, 5, 253, 0x0000AB0000000003ull);
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_THAT(Received(4), AllOf(HasSubstr("Maxtor 6Y080L0"), HasSubstr("Reallocated"), HasSubstr(" 3")));
    drives_.Fail(3, "open");
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_EQ(RowCount(DriveList), 3);
    EXPECT_STREQ(ErrorText, "") << "the re-read keeps the start-up's error text";
    EXPECT_THAT(Received(5), HasSubstr("WDC WD1200JB-00GVA0"));
    EXPECT_THAT(Tick(), StartsWith("Checked ")) << "a vanished drive is reported once";

    // A state file that cannot be replaced is said at every save.
    const std::string state = session.WorkFile("ostrivel.mon");
    ASSERT_TRUE(SetFileAttributesA(state.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THAT(Tick(), StartsWith("State not saved "));
    EXPECT_THAT(OutcomeBox(main_), AllOf(HasSubstr("ostrivel.mon could not be written: the file is read-only"),
                                         HasSubstr("The latest outcome: Checked ")));
    ASSERT_TRUE(SetFileAttributesA(state.c_str(), FILE_ATTRIBUTE_NORMAL));

    // With the server down the warning waits for the next check.
    server_.Stop();
    drives_.SetAttribute(0, 197, 253, 1);
    const int balloons = IconCalls.balloons;
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), HasSubstr(": refused")));
    EXPECT_THAT(OutcomeBox(main_), AllOf(StartsWith("Ostrivel: "), HasSubstr(server_.Server().substr(10))));
    EXPECT_EQ(IconCalls.balloons, balloons + 1) << "shown though not mailed";
    ASSERT_TRUE(server_.Start());
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_EQ(IconCalls.balloons, balloons + 1) << "mailed, not shown again";
    EXPECT_THAT(Received(6), AllOf(HasSubstr("Maxtor 6Y080L0"), HasSubstr("197")));

    // A silent server: the window goes on; the reply's time-out ends it.
    ASSERT_TRUE(server_.Start("silent"));
    drives_.SetAttribute(0, 197, 253, 2);
    EXPECT_EQ(AwaitOutcome(main_, WM_TIMER, RefreshTimerId, 300), "") << "no greeting yet";
    SendMessageA(main_, WM_COMMAND, 801, 0);
    EXPECT_TRUE(HasVisibleStyle(AttributeList)) << "the window answers meanwhile";
    EXPECT_TRUE(KillTimer(main_, MonitorClockTimerId)) << "the monitor's clock runs";
    ImportHook hook("kernel32.dll", "GetTickCount", reinterpret_cast<void*>(ShiftedTickCount));
    ASSERT_TRUE(hook.installed());
    RealGetTickCount = hook.original<decltype(&GetTickCount)>();
    for (DWORD shift : {SmtpReplyTimeoutMs - 5000, SmtpReplyTimeoutMs + 1000}) {
        ClockShift = shift;
        SendMessageA(main_, WM_TIMER, MonitorClockTimerId, 0);
        EXPECT_EQ(Outcome(main_).find(": time-out") != std::string::npos, shift > SmtpReplyTimeoutMs) << shift;
    }
    ClockShift = 0;

    ASSERT_TRUE(server_.Start("550 5.1.1 No such user here"));
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), HasSubstr(": 550")));
    EXPECT_THAT(OutcomeBox(main_), HasSubstr("550 5.1.1 No such user here"));

    // A server that sends every reply at once, unasked, then refuses all.
    ASSERT_TRUE(server_.Start("early"));
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), HasSubstr(": out of step")));
    EXPECT_EQ(server_.MessageCount(), 6u);

    // The command on a warning: beside the mail, in its place, and alone;
    // it gets the subject, the computer's name and the whole message.
    const std::string got = session.WorkFile("command.txt");
    auto command = [&](const char* how) {
        std::snprintf(CurrentMailConfig.command, sizeof CurrentMailConfig.command, "\"%s\" \"%s\" %s",
                      OSTRIVEL_COMMAND_PROBE, got.c_str(), how);
    };
    ASSERT_TRUE(server_.Start());
    command("0");
    drives_.SetAttribute(0, 197, 253, 3);
    EXPECT_THAT(Tick(), AllOf(StartsWith("Sent "), EndsWith("; command ran")));
    char computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    const std::string mail = Received(7), seen = FileText(got);
    EXPECT_THAT(seen, AllOf(StartsWith("OSTRIVEL_SUBJECT=Ostrivel warning: 1 drive problem(s) on "),
                            HasSubstr("\nOSTRIVEL_COMPUTER=" + std::string(computer) + "\n"),
                            HasSubstr(mail.substr(mail.find("Date: ")))));
    const size_t file = seen.find("OSTRIVEL_MESSAGE_FILE=") + 22;
    EXPECT_FALSE(FileExists(seen.substr(file, seen.find('\n', file) - file))) << "removed after";

    server_.Stop();
    drives_.SetAttribute(0, 197, 253, 4);
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), EndsWith(": refused; command ran")));
    EXPECT_THAT(Tick(), StartsWith("Checked ")) << "the command delivered it";
    CurrentSettings.emailAddress[0] = CurrentSettings.smtpServer[0] = '\0';
    command("3");
    drives_.SetAttribute(0, 197, 253, 5);
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), EndsWith(": command failed")));
    EXPECT_THAT(OutcomeBox(main_), AllOf(HasSubstr(" not delivered "), HasSubstr("exit code 3.")));

    // A command that hangs is ended after a minute, with what it started.
    command("hang");
    drives_.SetAttribute(0, 197, 253, 6);
    EXPECT_EQ(AwaitOutcome(main_, WM_TIMER, RefreshTimerId, 1500), "") << "the window does not wait";
    ASSERT_THAT(FileText(got), HasSubstr("\nCHILD="));
    const DWORD child = std::stoul(FileText(got).substr(FileText(got).find("\nCHILD=") + 7));
    ClockShift = CommandTimeoutMs + 1000;
    EXPECT_THAT(AwaitOutcome(main_, WM_TIMER, MonitorCommandTimerId), EndsWith(": command timed out"));
    ClockShift = 0;
    HANDLE orphan = OpenProcess(SYNCHRONIZE, FALSE, child);  // left to the process's end
    EXPECT_TRUE(!orphan || WaitForSingleObject(orphan, 5000) == WAIT_OBJECT_0) << "the command's child ended too";
    CurrentMailConfig = {};
}

// The test authority among the current user's trusted roots while it lives.
class TrustedTestAuthority {
public:
    explicit TrustedTestAuthority(const std::string& pemPath)
    {
        const std::string pem = FileText("Z:" + pemPath);
        BYTE der[4096];
        DWORD size = sizeof der;
        store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
        if (store_ && CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()),
                                           CRYPT_STRING_BASE64HEADER, der, &size, nullptr, nullptr))
            CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_REPLACE_EXISTING,
                                             &added_);
        CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);  // to the registry now, for the chain engine
    }
    ~TrustedTestAuthority()
    {
        if (added_ && CertDeleteCertificateFromStore(added_))
            CertControlStore(store_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        CertCloseStore(store_, 0);
    }
    bool Trusted() const { return added_ != nullptr; }

private:
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT added_ = nullptr;
};

TEST_F(MonitorMailTest, TlsAndLoginDeliverAndEveryCertificateOrLoginProblemStopsTheMail)
{
    const std::string certs = server_.Certificates();
    TrustedTestAuthority authority(certs + "ca.pem");
    ASSERT_TRUE(authority.Trusted());
    auto serve = [&](const char* security, const char* certificate, const char* password = "app-pw") {
        return server_.Start("", std::string(security) + " " + certs + certificate + ".pem " + certs + certificate +
                                     ".key me@example.com " + password);
    };
    ASSERT_TRUE(serve("starttls", "localhost"));
    drives_.PutDemoDrives(true);
    Open(1, "localhost" + server_.Server().substr(9));
    ASSERT_TRUE(KillTimer(main_, MonitorFirstCheckTimerId));
    CurrentMailConfig = {SmtpSecurity::StartTls, "me@example.com", "", ""};
    ASSERT_TRUE(ProtectPassword("app-pw", CurrentMailConfig.password, sizeof CurrentMailConfig.password));
    EXPECT_THAT(Tick(MonitorFirstCheckTimerId), StartsWith("Sent "));
    EXPECT_THAT(Received(1), AllOf(HasSubstr("IC35L040AVVN07-0"), Not(HasSubstr("app-pw"))));
    EXPECT_EQ(server_.Logins(), "AUTH PLAIN me@example.com accepted\n");

    auto next = [&, raw = 1]() mutable { drives_.SetAttribute(0, 197, 253, ++raw); };
    ASSERT_TRUE(serve("tls", "localhost"));
    CurrentMailConfig.security = SmtpSecurity::Tls;
    next();
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_THAT(Received(2), HasSubstr("Maxtor 6Y080L0"));

    // A certificate from an unknown authority, or for another name, ends
    // the dialogue before the login: the server hears no AUTH.
    const std::string logins = server_.Logins();
    next();
    for (const char* certificate : {"unknown", "otherhost"}) {
        ASSERT_TRUE(serve("tls", certificate));
        EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), HasSubstr(": certificate"))) << certificate;
    }
    EXPECT_THAT(OutcomeBox(main_), AllOf(HasSubstr("\"mail.example\""), HasSubstr("not made out to")));
    ASSERT_TRUE(serve("starttls", "unknown"));
    CurrentMailConfig.security = SmtpSecurity::StartTls;
    EXPECT_THAT(Tick(), HasSubstr(": certificate"));
    EXPECT_THAT(OutcomeBox(main_), AllOf(HasSubstr("\"localhost\""), HasSubstr("not an authority")));
    EXPECT_EQ(server_.Logins(), logins);

    ASSERT_TRUE(serve("starttls", "localhost", "another-pw"));
    EXPECT_THAT(Tick(), HasSubstr(": login refused"));
    EXPECT_THAT(OutcomeBox(main_), HasSubstr("535"));
    ASSERT_TRUE(server_.Start());  // plain SMTP only: no STARTTLS offered
    EXPECT_THAT(Tick(), HasSubstr(": no STARTTLS"));
    EXPECT_EQ(server_.MessageCount(), 2u);
}

// The demo's NVMe drives: the WD at position 3 ran hot once (a warning
// bit, reported at first sight); the Samsung at 0 wears out, then fails.
// The icon in the notification area carries the notice; an old shell
// shows none.
TEST_F(MonitorMailTest, NvmeWearAndWarningBitsAreMailedOnce)
{
    ASSERT_TRUE(server_.Start());
    drives_.PutDemoDrives();
    Open(0, server_.Server());
    EXPECT_THAT(Tick(MonitorFirstCheckTimerId), StartsWith("Sent "));
    EXPECT_THAT(Received(1), AllOf(HasSubstr("WDC WDS500G2B0C-00PXH0"), HasSubstr("temperature"),
                                   Not(HasSubstr("Samsung SSD 970"))));
    EXPECT_EQ(IconCalls.balloons, 1);
    EXPECT_EQ(IconCalls.message, static_cast<DWORD>(NIM_MODIFY));
    SendMessageA(main_, RecallIconMessage, RecallIconId, NIN_BALLOONTIMEOUT);
    EXPECT_EQ(IconCalls.deletes, 0) << "the recall's own icon stays";

    enum { CriticalWarning = 0, PercentageUsed = 5 };
    drives_.SetHealthByte(0, PercentageUsed, 90);
    {
        ImportHook oldShell("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(WithoutDllGetVersion));
        RealGetProcAddress = oldShell.original<decltype(&GetProcAddress)>();
        EXPECT_THAT(Tick(), StartsWith("Sent "));
        EXPECT_EQ(IconCalls.balloons, 1) << "an old shell shows no notice";
    }
    EXPECT_THAT(Received(2), AllOf(HasSubstr("Samsung SSD 970 EVO Plus 1TB"), HasSubstr("Percentage Used"),
                                   HasSubstr("90"), HasSubstr(": 1 drive problem(s)")));
    drives_.SetHealthByte(0, PercentageUsed, 91);
    EXPECT_THAT(Tick(), StartsWith("Checked ")) << "90 is reported once";

    drives_.SetHealthByte(0, CriticalWarning, 0x04);
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_THAT(Received(3), AllOf(HasSubstr("Samsung SSD 970 EVO Plus 1TB"), HasSubstr("reliability degraded")));
    EXPECT_EQ(IconCalls.balloons, 2);
    EXPECT_THAT(Tick(), StartsWith("Checked "));
    EXPECT_EQ(server_.MessageCount(), 3u);
}

}  // namespace
