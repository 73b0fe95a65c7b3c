#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

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
    RecordingSmtp net;

    static MemoryHost& Of(void* c) { return *static_cast<MemoryHost*>(c); }
    MonitorServices services{
        this,
        [](void* c, char* buffer, size_t capacity, size_t* length) {
            *length = std::min(Of(c).file.size(), capacity);
            std::memcpy(buffer, Of(c).file.data(), *length);
            return !Of(c).file.empty();
        },
        [](void* c, const char* text, size_t length) { return Of(c).file.assign(text, length), true; },
        [](void*, LocalTime* now, int32_t* offset) { *now = {2025, 3, 2, 4, 14, 5, 9, 0}, *offset = 60; },
        [](void* c) { return Of(c).ms; },
        [](void*, char* out, size_t capacity) { std::snprintf(out, capacity, "DESK 7"); },
        [](void* c) -> const SmtpServices* { return Of(c).hasNetwork ? &Of(c).net.services : nullptr; },
        [](void* c, const char* text) { Of(c).shown = text; },
        [](void* c, uint32_t delay) { Of(c).armed = delay; },
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

    // Answers the lookup and the connection, then sends the replies.
    void Converse(const std::string& replies)
    {
        MonitorHostFound(true, 0x0100007F);
        MonitorConnected(0);
        MonitorReceived(replies.data(), replies.size());
    }
};

const std::string Accepting = "220 hi\r\n250-hello\r\n250 SIZE\r\n250 ok\r\n250 ok\r\n354 go\r\n250 queued\r\n221 bye\r\n";

TEST_F(MonitorTest, WarningsWaitForDeliveryAndAreSentOnce)
{
    EXPECT_EQ(host.shown, "State file reset");
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Checked 14:05");

    table[2].attributes[0].value = 80;
    MonitorCheck(table, settings);
    EXPECT_EQ(host.armed, static_cast<uint32_t>(SmtpReplyTimeoutMs));
    MonitorCheck(table, settings);  // waits for the running dialogue
    Converse("220 hi\r\n250 hello\r\n250 ok\r\n550 5.1.1 no such user\r\n");
    EXPECT_EQ(host.shown, "Not sent 14:05: 550");
    EXPECT_STREQ(MonitorLastOutcome(), "Warning of 1 problem(s) not sent 04/03/2025 14:05:09 to me@example.org "
                                       "through mail.example port 2525: the server refused the message; the "
                                       "server's last reply: \"550 5.1.1 no such user\"");

    // The waiting check found the fall again and sends it.
    Converse(Accepting);
    EXPECT_EQ(host.shown, "Sent 14:05");
    EXPECT_THAT(MonitorLastOutcome(), testing::HasSubstr("last reply: \"250 queued\""));
    EXPECT_EQ(host.armed, 0u);
    EXPECT_THAT(host.net.sent, testing::AllOf(testing::HasSubstr("EHLO DESK7\r\n"),
        testing::HasSubstr("Subject: Ostrivel warning: 1 drive problem(s) on DESK 7\r\n"),
        testing::HasSubstr("  Attribute 1, Raw Read Error Rate:\r\n    value fell from 100 to 80 (threshold 0)\r\n")));
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Checked 14:05");

    // The references outlive the program (80 is the reference of the fall to
    // 70 that mail off leaves to be found again); a broken file starts afresh.
    MonitorStart(&host.services);
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
    EXPECT_EQ(host.shown, "Not sent: bad server");

    settings.smtpServer = "relay.example";
    settings.pollMinutes = -1;  // no checks, but a test message all the same
    MonitorSettingsChanged(before, settings);
    EXPECT_EQ(host.net.lookedUp, "relay.example;");  // nothing for the bad server
    MonitorHostFound(true, 1);
    host.ms += SmtpReplyTimeoutMs;
    MonitorClockTick();
    EXPECT_EQ(host.shown, "Not sent 14:05: time-out");

    before = settings;
    settings.smtpServer = "mail.example:2525";
    MonitorSettingsChanged(before, settings);
    Converse(Accepting);
    EXPECT_EQ(host.shown, "Sent 14:05");
    EXPECT_THAT(host.net.sent, testing::HasSubstr("Subject: Ostrivel test message from DESK 7\r\n"));
    EXPECT_EQ(host.net.port, 2525);
}

}  // namespace
