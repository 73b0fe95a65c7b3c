#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "monitor.h"
#include "monitor_state_file.h"
#include "recording_smtp.h"

namespace {

// The services of the Windows side, in memory: the state file is a string,
// the clock moves only when the test moves it.
struct MemoryHost {
    std::string file;   // the state file; empty: missing
    std::string shown;  // the latest short outcome
    uint32_t ms = 5000;
    uint32_t armed = 0;
    bool hasNetwork = true;
    bool showsNotices = true;  // false: a shell without balloons
    std::vector<std::string> notices;  // "<position> <text>"
    const char* computerName = "DESK 7";
    RecordingSmtp net;
    CommandStart commandStart = CommandStart::Started;
    std::string command;  // "line|subject|computer|message" of the latest start

    static MemoryHost& Of(void* c) { return *static_cast<MemoryHost*>(c); }
    MonitorServices services{
        this,
        [](void* c, char* buffer, size_t capacity, size_t* length) {
            *length = std::min(Of(c).file.size(), capacity);
            std::memcpy(buffer, Of(c).file.data(), *length);
            return Of(c).file.empty() ? StateFileRead::Missing : StateFileRead::Read;
        },
        [](void* c, const char* text, size_t length, char*, size_t) { return Of(c).file.assign(text, length), true; },
        [](void*, LocalTime* now, int32_t* offset) { *now = {2025, 3, 2, 4, 14, 5, 9, 0}, *offset = 60; },
        [](void* c) { return Of(c).ms; },
        [](void* c, char* out, size_t capacity) { std::snprintf(out, capacity, "%s", Of(c).computerName); },
        [](void* c) -> const SmtpServices* { return Of(c).hasNetwork ? &Of(c).net.services : nullptr; },
        [](void* c, const char* text) { Of(c).shown = text; },
        [](void* c, uint32_t delay) { Of(c).armed = delay; },
        nullptr,
        [](void* c, const CommandRun& r) {
            Of(c).command = std::string(r.commandLine) + "|" + r.subject + "|" + r.computerName + "|" +
                            std::string(r.message, r.messageLength);
            return Of(c).commandStart;
        },
        [](void* c, const char* text, int32_t position) {
            return Of(c).showsNotices && (Of(c).notices.push_back(std::to_string(position) + " " + text), true);
        },
    };
};

class MonitorTest : public ::testing::Test {
protected:
    MemoryHost host;
    DriveRecord table[DriveCount] = {};
    MonitorSettings settings{"me@example.org", "mail.example:2525", 10, 0};

    void SetUp() override
    {
        DriveRecord& r = table[2];
        r.present = r.smartEnabled = 1;
        std::snprintf(r.model, TextSize, "ST380011A");
        r.attributes[0] = {"Raw Read Error Rate", 1, 100, 0, PreFailureFlag, 0, 0};
        MonitorStart(&host.services);
    }
    void TearDown() override { MonitorReset(); }

    // Answers the lookup and the connection, then sends the replies, each
    // in its own piece, as a server that waits for every command does.
    void Converse(const std::vector<std::string>& replies)
    {
        MonitorHostFound(true, 0x0100007F);
        MonitorConnected(0);
        for (const std::string& reply : replies)
            MonitorReceived(reply.data(), reply.size());
    }
};

const std::vector<std::string> Accepting = {"220 hi\r\n",   "250-hello\r\n250 SIZE\r\n", "250 ok\r\n",  "250 ok\r\n",
                                            "354 go\r\n",   "250 queued\r\n",            "221 bye\r\n"};

TEST_F(MonitorTest, WarningsWaitForDeliveryAndAreSentOnce)
{
    EXPECT_EQ(host.shown, "New state file");
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "New state file");  // stays until a delivery's outcome

    table[2].attributes[0].value = 80;
    MonitorCheck(table, settings);
    EXPECT_EQ(host.armed, static_cast<uint32_t>(SmtpReplyTimeoutMs));
    MonitorCheck(table, settings);  // waits for the running dialogue
    const std::string longReply = "550 5.1.1 " + std::string(490, 'r');
    Converse({"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", longReply + "\r\n"});
    EXPECT_EQ(host.shown, "Not sent 14:05: 550");
    EXPECT_EQ(std::string(MonitorLastOutcome()),
              "Warning of 1 problem(s) not sent 04/03/2025 14:05:09 to me@example.org through mail.example port "
              "2525: the server refused the message; the server's last reply: \"" + longReply + "\".");

    // The waiting check found the fall again and sends it; the one that
    // waits for that delivery finds nothing new and leaves its outcome.
    MonitorCheck(table, settings);
    Converse(Accepting);
    EXPECT_EQ(host.shown, "Sent 14:05");
    EXPECT_THAT(MonitorLastOutcome(), testing::HasSubstr("last reply: \"250 queued\""));
    EXPECT_EQ(host.armed, 0u);
    EXPECT_THAT(host.net.sent, testing::AllOf(testing::HasSubstr("EHLO [192.0.2.7]\r\n"),
        testing::HasSubstr("Subject: Ostrivel warning: 1 drive problem(s) on this PC\r\n"),
        testing::HasSubstr("  Attribute 1, Raw Read Error Rate:\r\n    value fell from 100 to 80 (threshold 0)\r\n")));
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Checked 14:05");

    // The references outlive the program (80 is the reference of the fall to
    // 70 that mail off, with no notice shown, leaves to be found again); a
    // broken file starts afresh.
    MonitorStart(&host.services);
    host.showsNotices = false;
    table[2].attributes[0].value = 70;
    settings.pollMinutes = 0;
    MonitorCheck(table, settings);
    settings.pollMinutes = 10;
    host.hasNetwork = false;
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Not sent 14:05: no network");
    host.file.back() = 'x';
    MonitorStart(&host.services);
    EXPECT_EQ(host.shown, "State file reset");
}

TEST_F(MonitorTest, SetupChangesSendATestMessage)
{
    MonitorSettings before = settings;
    settings.smtpServer = "mail.example:25x";
    MonitorSettingsChanged(before, settings);
    EXPECT_EQ(host.shown, "Not sent 14:05: bad server");

    settings.smtpServer = "relay.example";
    settings.pollMinutes = -1;  // no checks, but a test message all the same
    MonitorSettingsChanged(before, settings);
    EXPECT_EQ(host.net.lookedUp, "relay.example;");  // nothing for the bad server
    MonitorHostFound(true, 1);
    host.ms += SmtpReplyTimeoutMs;
    MonitorClockTick();
    EXPECT_EQ(host.shown, "Not sent 14:05: no answer");  // never connected

    before = settings;
    settings.smtpServer = "mail.example:2525";
    host.computerName = "DESK-7";
    MonitorSettingsChanged(before, settings);
    Converse(Accepting);
    EXPECT_EQ(host.shown, "Sent 14:05");
    EXPECT_THAT(host.net.sent, testing::AllOf(testing::HasSubstr("EHLO DESK-7\r\n"),
                                              testing::HasSubstr("Subject: Ostrivel test message from DESK-7\r\n")));
    EXPECT_EQ(host.net.port, 2525);
}

// The command alone delivers, once it ran: a copy that may not run it (one
// started elevated) leaves the fall to be found again.
TEST_F(MonitorTest, TheCommandAloneDeliversOnceItRan)
{
    MailConfig mail = {};
    std::snprintf(mail.command, sizeof mail.command, "notify.exe --all");
    MonitorSettings alone{"", "", 10, 0, &mail};
    EXPECT_TRUE(MonitorMailEnabled(alone));
    MonitorCheck(table, alone);  // the references
    table[2].attributes[0].value = 80;
    host.commandStart = CommandStart::Refused;
    MonitorCheck(table, alone);
    EXPECT_EQ(host.shown, "Not sent 14:05: no command");
    host.commandStart = CommandStart::Started;
    MonitorCheck(table, alone);
    EXPECT_TRUE(MonitorBusy()) << "the command still runs";
    MonitorCommandEnded(0, false);
    EXPECT_EQ(host.shown, "Command ran 14:05");
    EXPECT_THAT(MonitorLastOutcome(), testing::StartsWith("Warning of 1 problem(s) handed to the command 04/03/2025"));
    EXPECT_THAT(host.command, testing::StartsWith("notify.exe --all|Ostrivel warning: 1 drive problem(s) on this PC|DESK 7|"
                                                  "Date: "));
    MonitorCheck(table, alone);
    EXPECT_EQ(host.shown, "Checked 14:05");
}

// Each condition is shown once, mailed or not, and again only when it goes
// further; with mail off, a shown one is delivered, an unshown one is not.
TEST_F(MonitorTest, NoticesShowEachConditionOnceWithOrWithoutMail)
{
    const std::string model(40, 'M');
    const std::string name = "Reallocated Sectors Count as named by a drive that fills the whole field of its";
    std::snprintf(table[2].model, TextSize, "%s", model.c_str());
    AttributeSlot* slots = table[2].attributes;
    slots[1] = {"", 5, 100, 36, PreFailureFlag, 0, 100};
    std::snprintf(slots[1].name, TextSize, "%s", name.c_str());
    slots[2] = {"Current Pending Sector Count", 197, 100, 0, 0, 0, 100};
    host.hasNetwork = false;
    MonitorCheck(table, settings);

    slots[0].value = 80;
    MonitorCheck(table, settings);
    MonitorCheck(table, settings);
    MonitorStart(&host.services);  // the marks outlive the program
    slots[0].value = 81;           // recovered a little: no further than shown
    MonitorCheck(table, settings);
    EXPECT_EQ(host.notices.size(), 1u);
    slots[0].value = 79;
    MonitorCheck(table, settings);
    ASSERT_EQ(host.notices.size(), 2u);
    EXPECT_EQ(host.notices[1], "2 " + model + ": Attribute 1, Raw Read Error Rate: value fell from 100 to 79 (threshold 0)");

    // Two new ones: the first, cut at a blank to leave room for how many more.
    slots[1].value = 36;
    slots[2].raw = 0xFFFF0003;
    MonitorCheck(table, settings);
    ASSERT_EQ(host.notices.size(), 3u);
    EXPECT_EQ(host.notices[2], "2 " + model + ": Attribute 5, " + name +
                                   ": value fell from 100 to 36, at or below its threshold\nand 1 more");

    // Mail off: what was shown counts as delivered, and mail turned on again
    // finds nothing to send.
    MonitorSettings off = settings;
    off.emailAddress = off.smtpServer = "";
    MonitorCheck(table, off);
    EXPECT_EQ(host.notices.size(), 3u);
    EXPECT_THAT(MonitorLastOutcome(), testing::HasSubstr("3 problem(s) found; mail is off, so the notice was the"));
    host.hasNetwork = true;
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Checked 14:05");

    // Without notices, mail off leaves the references where they are.
    host.showsNotices = false;
    slots[2].raw = 9;
    MonitorCheck(table, off);
    EXPECT_THAT(MonitorLastOutcome(), testing::HasSubstr("so the next check finds them again"));
    host.showsNotices = true;
    MonitorCheck(table, off);
    MonitorCheck(table, off);
    ASSERT_EQ(host.notices.size(), 4u);
    EXPECT_THAT(host.notices[3], testing::EndsWith(": Attribute 197, Current Pending Sector Count: count rose from 3 to 9"));
}

}  // namespace
