#include <gtest/gtest.h>

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
    std::string file;
    bool fileExists = false;
    std::string shown;  // the latest short outcome
    uint32_t ms = 5000;
    uint32_t armed = 0;
    bool hasNetwork = true;
    RecordingSmtp net;
    MonitorServices services{this, Read, Write, Time, Ms, Name, Network, Show, Arm};

    static MemoryHost& Of(void* c) { return *static_cast<MemoryHost*>(c); }
    static bool Read(void* c, char* buffer, size_t capacity, size_t* length)
    {
        const std::string& f = Of(c).file;
        *length = f.size() < capacity ? f.size() : capacity;
        std::memcpy(buffer, f.data(), *length);
        return Of(c).fileExists;
    }
    static bool Write(void* c, const char* text, size_t length)
    {
        Of(c).file.assign(text, length);
        return Of(c).fileExists = true;
    }
    static void Time(void*, LocalTime* now, int32_t* offset)
    {
        *now = {2025, 3, 2, 4, 14, 5, 9, 0};
        *offset = 60;
    }
    static uint32_t Ms(void* c) { return Of(c).ms; }
    static void Name(void*, char* out, size_t capacity) { std::snprintf(out, capacity, "DESK 7"); }
    static const SmtpServices* Network(void* c) { return Of(c).hasNetwork ? &Of(c).net.services : nullptr; }
    static void Show(void* c, const char* text) { Of(c).shown = text; }
    static void Arm(void* c, uint32_t delay) { Of(c).armed = delay; }
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
        std::snprintf(r.serial, TextSize, "5JV1");
        std::snprintf(r.attributes[0].name, TextSize, "Raw Read Error Rate");
        r.attributes[0].id = 1;
        r.attributes[0].value = 100;
        r.attributes[0].flags = PreFailureFlag;
        MonitorStart(&host.services);
    }
    void TearDown() override { MonitorReset(); }

    // Answers the lookup and the connection, then sends each reply.
    void Converse(std::initializer_list<const char*> replies)
    {
        MonitorHostFound(true, 0x0100007F);
        MonitorConnected(0);
        for (const char* reply : replies)
            MonitorReceived(reply, std::strlen(reply));
    }
};

const std::initializer_list<const char*> Accepting = {"220 hi\r\n", "250-hello\r\n250 SIZE\r\n", "250 ok\r\n",
                                                      "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"};

TEST_F(MonitorTest, WarningsWaitForDeliveryAndAreSentOnce)
{
    EXPECT_EQ(host.shown, "State file reset");
    EXPECT_EQ(host.file.rfind("Ostrivel monitor state 1\r\n", 0), 0u);
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Checked 14:05");
    EXPECT_STREQ(MonitorLastOutcome(), "Checked 04/03/2025 14:05:09: nothing new to report.");

    table[2].attributes[0].value = 80;
    MonitorCheck(table, settings);
    EXPECT_EQ(host.net.lookedUp, "mail.example;");
    EXPECT_EQ(host.armed, static_cast<uint32_t>(SmtpReplyTimeoutMs));
    MonitorCheck(table, settings);  // waits for the running dialogue
    Converse({"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "550 5.1.1 no such user\r\n"});
    EXPECT_EQ(host.shown, "Not sent 14:05: 550");
    EXPECT_STREQ(MonitorLastOutcome(), "Warning of 1 problem(s) not sent 04/03/2025 14:05:09 to me@example.org "
                                       "through mail.example port 2525: the server refused the message; the "
                                       "server's last reply: \"550 5.1.1 no such user\"");

    // The waiting check found the fall again and sends it.
    EXPECT_EQ(host.net.lookedUp, "mail.example;mail.example;");
    host.net.TakeSent();
    Converse(Accepting);
    EXPECT_EQ(host.shown, "Sent 14:05");
    EXPECT_NE(std::string(MonitorLastOutcome()).find("last reply: \"250 queued\""), std::string::npos);
    EXPECT_EQ(host.armed, 0u);
    const std::string sent = host.net.TakeSent();
    EXPECT_NE(sent.find("EHLO DESK7\r\n"), std::string::npos);
    EXPECT_NE(sent.find("Subject: Ostrivel warning: 1 drive problem(s) on DESK 7\r\n"), std::string::npos);
    EXPECT_NE(sent.find("  Attribute 1, Raw Read Error Rate:\r\n    value fell from 100 to 80 (threshold 0)\r\n"),
              std::string::npos);
    MonitorCheck(table, settings);
    EXPECT_EQ(host.shown, "Checked 14:05");

    // The references outlive the program; a broken file starts afresh.
    MonitorStart(&host.services);
    EXPECT_EQ(host.shown, "Checked 14:05");
    table[2].attributes[0].value = 70;
    settings.pollMinutes = 0;  // mail off: checked, found again later
    MonitorCheck(table, settings);
    EXPECT_STREQ(MonitorLastOutcome(), "Checked 04/03/2025 14:05:09: 1 problem(s) found; mail is off, so the next "
                                       "check finds them again.");
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
    EXPECT_TRUE(MonitorMailEnabled(settings));
    settings.emailAddress = "me@example.org, you@example.org";
    EXPECT_FALSE(MonitorMailEnabled(settings));
    MonitorSettingsChanged(before, settings);
    EXPECT_EQ(host.shown, "Not sent: bad address");
    settings = before;
    settings.smtpServer = "mail.example:25x";
    MonitorSettingsChanged(before, settings);
    EXPECT_EQ(host.shown, "Not sent: bad server");
    EXPECT_EQ(host.net.lookedUp, "");

    settings.smtpServer = "relay.example";
    settings.pollMinutes = -1;
    EXPECT_FALSE(MonitorMailEnabled(settings));
    MonitorSettingsChanged(before, settings);
    EXPECT_EQ(host.net.lookedUp, "relay.example;");
    MonitorHostFound(true, 1);
    host.ms += SmtpReplyTimeoutMs;
    MonitorClockTick();
    EXPECT_EQ(host.shown, "Not sent 14:05: time-out");
    EXPECT_EQ(host.net.closes, 1);

    before = settings;
    settings.smtpServer = "mail.example:2525";
    MonitorSettingsChanged(before, settings);
    Converse(Accepting);
    EXPECT_EQ(host.shown, "Sent 14:05");
    EXPECT_NE(host.net.sent.find("Subject: Ostrivel test message from DESK 7\r\n"), std::string::npos);
    EXPECT_EQ(host.net.port, 2525);
}

}  // namespace
