// The attribute monitor in the running window, on emulated drives whose
// snapshot files change between ticks, against a real SMTP server on
// 127.0.0.1: each kind of warning goes out once, a tick without news sends
// nothing, a warning waits for a server that was down, a silent server ends
// in the time-out while the window goes on, a refused recipient is shown.
#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "import_hook.h"
#include "layout.h"
#include "monitor_step.h"
#include "monitor_test_support.h"
#include "refresh_timer.h"
#include "smtp_dialogue.h"
#include "window_session.h"

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

const char Address[] = "admin@example.org";

// Shifts the tick count that the program's code reads, as if time passed.
DWORD ClockShift;
decltype(&GetTickCount) RealGetTickCount = GetTickCount;
DWORD WINAPI ShiftedTickCount()
{
    return RealGetTickCount() + ClockShift;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// What was said and what arrived: envelope, RFC 5322 headers, CRLF lines of
// printable 7-bit text of at most 78 characters.
void ExpectWellFormedWarning(const std::string& stored, int problems)
{
    const std::vector<std::string> lines = Lines(stored);
    ASSERT_GT(lines.size(), 10u);
    EXPECT_EQ(lines[0], "HELO " + HeloName() + "\r");
    EXPECT_EQ(lines[1], std::string("MAIL FROM ") + Address + "\r");
    EXPECT_EQ(lines[2], std::string("RCPT TO ") + Address + "\r");
    const std::string subject =
        "Subject: Ostrivel warning: " + std::to_string(problems) + " drive problem(s) on " + ComputerName() + "\r";
    for (const char* header : {"Date: ", "From: ", "To: ", "Message-ID: <"})
        EXPECT_THAT(stored, HasSubstr(std::string("\n") + header)) << header;
    EXPECT_THAT(stored, HasSubstr("\n" + subject));
    EXPECT_THAT(stored, HasSubstr("\nMIME-Version: 1.0\r\n"));
    EXPECT_THAT(stored, HasSubstr("\nContent-Type: text/plain; charset=us-ascii\r\n"));
    for (size_t i = 3; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_TRUE(!line.empty() && line.back() == '\r') << "line " << i;
        EXPECT_LE(line.size() - 1, 78u) << line;
        for (size_t k = 0; k + 1 < line.size(); ++k)
            EXPECT_TRUE(line[k] >= 0x20 && line[k] <= 0x7E) << line;
    }
}

class MonitorMailTest : public ::testing::Test {
protected:
    void Open()
    {
        drives_.PutDemoDrives();
        Settings settings = {};
        settings.pollMinutes = 60;
        settings.changePercent = 10;
        settings.recallMode = 1;
        std::strcpy(settings.emailAddress, Address);
        std::strcpy(settings.smtpServer, server_.Server().c_str());
        session_ = std::make_unique<MainWindowSession>(drives_, &settings);
        main_ = session_->Window();
        ASSERT_NE(main_, nullptr);
        StopRefreshTimer(main_);  // the test ticks
    }

    // A refresh tick; returns the outcome it ends in once any mail it sent
    // has been delivered or refused.
    std::string Tick(UINT_PTR timer = RefreshTimerId)
    {
        SetOutcome(main_, "");
        SendMessageA(main_, WM_TIMER, timer, 0);
        return AwaitOutcome(main_);
    }

    std::string LastMessage() const
    {
        const std::vector<std::string> mail = server_.Messages();
        return mail.empty() ? "" : mail.back();
    }

    SmtpTestServer server_;
    DriveFolder drives_;
    std::unique_ptr<MainWindowSession> session_;
    HWND main_ = nullptr;
};

TEST_F(MonitorMailTest, EachWarningGoesOutOnceAndAWarningWaitsForTheServer)
{
    ASSERT_TRUE(server_.Start());
    Open();
    EXPECT_EQ(MonitorLabelText(), "Monitor enabled");
    EXPECT_EQ(Outcome(main_), "State file reset") << "no state file yet";

    // The comparison after start-up takes the scan's values: a change on the
    // drive since is neither read nor shown.
    ASSERT_TRUE(KillTimer(main_, MonitorFirstCheckTimerId)) << "armed at creation";
    drives_.SetAttribute(0, 8, 220, 58172);
    const auto shown = ListCells(AttributeList, 4);
    EXPECT_THAT(Tick(MonitorFirstCheckTimerId), StartsWith("Sent "));
    EXPECT_EQ(ListCells(AttributeList, 4), shown);
    ASSERT_EQ(server_.Messages().size(), 1u);
    ExpectWellFormedWarning(LastMessage(), 2);  // in "Alert", and 12 pending sectors
    EXPECT_THAT(LastMessage(), HasSubstr("IC35L040AVVN07-0")) << "already failing when first seen";
    EXPECT_THAT(LastMessage(), HasSubstr("VNC202A2L1SB8A"));
    EXPECT_THAT(LastMessage(), Not(HasSubstr("Maxtor")));
    EXPECT_TRUE(FileExists(session_->WorkFile("ostrivel.mon")));

    // The tick reads every drive again: attribute 8 (pre-failure) fell from
    // 252 to 220, more than 10 percent; the page shows the value just read.
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    ASSERT_EQ(server_.Messages().size(), 2u);
    ExpectWellFormedWarning(LastMessage(), 1);
    EXPECT_THAT(LastMessage(), AllOf(HasSubstr("Maxtor 6Y080L0"), HasSubstr("252"), HasSubstr("220")));
    EXPECT_THAT(LastMessage(), Not(HasSubstr("IC35L040AVVN07-0"))) << "delivered once only";
    EXPECT_EQ(CellText(AttributeList, 5, 2), "220");

    EXPECT_THAT(Tick(), StartsWith("Checked ")) << "nothing new";
    EXPECT_EQ(server_.Messages().size(), 2u);

    // Attribute 4 of the WD (a usage attribute) down to its threshold 40.
    drives_.SetAttribute(3, 4, 40, 714);
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    ASSERT_EQ(server_.Messages().size(), 3u);
    ExpectWellFormedWarning(LastMessage(), 1);
    EXPECT_THAT(LastMessage(), AllOf(HasSubstr("WDC WD1200JB-00GVA0"), HasSubstr("WD-WMAL71234567")));

    // Three more reallocated sectors on the Maxtor, its value unchanged.
    drives_.SetAttribute(0, 5, 253, 0x0000AB0000000003ull);
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    ASSERT_EQ(server_.Messages().size(), 4u);
    ExpectWellFormedWarning(LastMessage(), 1);
    EXPECT_THAT(LastMessage(), AllOf(HasSubstr("Maxtor 6Y080L0"), HasSubstr("Reallocated")));

    // The WD stops answering: it leaves the list, and the warning says so.
    drives_.Fail(3, "open");
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    EXPECT_EQ(RowCount(DriveList), 3);
    ASSERT_EQ(server_.Messages().size(), 5u);
    ExpectWellFormedWarning(LastMessage(), 1);
    EXPECT_THAT(LastMessage(), HasSubstr("WDC WD1200JB-00GVA0"));
    EXPECT_THAT(Tick(), StartsWith("Checked ")) << "a vanished drive is reported once";

    // With the server down the warning stays pending, and goes with the
    // next check once the server is back.
    server_.Stop();
    drives_.SetAttribute(0, 197, 253, 1);
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), HasSubstr("refused")));
    EXPECT_THAT(OutcomeBox(main_), HasSubstr(server_.Server().substr(10)));
    ASSERT_TRUE(server_.Start());
    EXPECT_THAT(Tick(), StartsWith("Sent "));
    ASSERT_EQ(server_.Messages().size(), 6u);
    EXPECT_THAT(LastMessage(), AllOf(HasSubstr("Maxtor 6Y080L0"), HasSubstr("197")));
}

TEST_F(MonitorMailTest, ASilentServerTimesOutWhileTheWindowGoesOnAndARefusalIsShown)
{
    ASSERT_TRUE(server_.Start(SmtpTestServer::Mode::Silent));
    Open();
    SetOutcome(main_, "");
    const DWORD before = GetTickCount();
    SendMessageA(main_, WM_TIMER, MonitorFirstCheckTimerId, 0);
    PumpFor(300);
    EXPECT_LT(GetTickCount() - before, 2000u);
    SendMessageA(main_, WM_COMMAND, 801, 0);
    EXPECT_TRUE(HasVisibleStyle(AttributeList)) << "the window answers while the server is silent";
    EXPECT_EQ(Outcome(main_), "") << "still waiting for the greeting";

    {
        ImportHook hook("kernel32.dll", "GetTickCount", reinterpret_cast<void*>(ShiftedTickCount));
        ASSERT_TRUE(hook.installed());
        RealGetTickCount = hook.original<decltype(&GetTickCount)>();
        ClockShift = SmtpReplyTimeoutMs - 1000;
        SendMessageA(main_, WM_TIMER, MonitorClockTimerId, 0);
        EXPECT_EQ(Outcome(main_), "") << "29 s: still waiting";
        ClockShift = SmtpReplyTimeoutMs + 1000;
        SendMessageA(main_, WM_TIMER, MonitorClockTimerId, 0);
        ClockShift = 0;
    }
    EXPECT_THAT(Outcome(main_), AllOf(StartsWith("Not sent "), HasSubstr("time-out")));

    ASSERT_TRUE(server_.Start(SmtpTestServer::Mode::RefuseRecipient));
    EXPECT_THAT(Tick(), AllOf(StartsWith("Not sent "), HasSubstr("550")));
    EXPECT_THAT(OutcomeBox(main_), HasSubstr("550 5.1.1 No such user here"));
    EXPECT_TRUE(server_.Messages().empty());
}

}  // namespace
