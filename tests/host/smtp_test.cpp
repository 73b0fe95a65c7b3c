#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mail_address.h"
#include "recording_smtp.h"
#include "smtp_dialogue.h"

namespace {

// Feeds text to a fresh parser; returns the bytes the first reply took.
size_t Parse(SmtpReplyParser& p, const std::string& text)
{
    ResetReplyParser(&p);
    return FeedReply(&p, text.data(), text.size());
}

TEST(SmtpReplyParser, WholeRepliesAndProtocolErrors)
{
    SmtpReplyParser p;
    const std::string two = "250-mail.example\r\n250-SIZE 100\r\n250 HELP\r\n354 go on\n";
    EXPECT_EQ(Parse(p, two), two.find("354"));
    EXPECT_TRUE(p.complete);
    EXPECT_EQ(p.code, 250);
    EXPECT_STREQ(p.lastLine, "250 HELP");
    EXPECT_EQ(FeedReply(&p, two.data() + two.find("354"), 10), 10u);  // the next reply, ending in LF
    EXPECT_EQ(p.code, 354);

    // Byte by byte, with control and 8-bit bytes shown as '?'.
    const std::string odd = std::string("550 no\x01\xE9 way\r\n");
    ResetReplyParser(&p);
    for (char c : odd)
        ASSERT_EQ(FeedReply(&p, &c, 1), 1u);
    EXPECT_EQ(p.code, 550);
    EXPECT_STREQ(p.lastLine, "550 no?? way");

    for (const char* bad : {"hello\r\n", "25\r\n", "2500 x\r\n", "099 x\r\n", "600 x\r\n", "250-a\r\n251 b\r\n"}) {
        Parse(p, bad);
        EXPECT_TRUE(p.complete) << bad;
        EXPECT_EQ(p.code, 0) << bad;
    }
    Parse(p, "220\r\n");
    EXPECT_EQ(p.code, 220);
    Parse(p, "250-unfinished\r\n250");
    EXPECT_FALSE(p.complete);
}

TEST(SmtpReplyParser, OverlongLineIsCut)
{
    SmtpReplyParser p;
    const std::string text = "250-" + std::string(2000, 'x') + "\r\n250 " + std::string(600, 'y') + "\r\n";
    EXPECT_EQ(Parse(p, text), text.size());
    EXPECT_EQ(p.code, 250);
    EXPECT_EQ(std::string(p.lastLine), "250 " + std::string(SmtpReplyLineMax - 4, 'y'));
}

TEST(MailAddress, AddressAndServerChecks)
{
    for (const char* good : {"a@b", "first.last+tag@mail.example.com", "x@[127.0.0.1]"})
        EXPECT_TRUE(IsPlainAddress(good)) << good;
    for (const char* bad : {"", "@b", "a@", "ab", "a@b@c", "a b@c", "a@b,c@d", "<a@b>", "a@b\r\n", "a\x80@b"})
        EXPECT_FALSE(IsPlainAddress(bad)) << bad;

    char host[SmtpHostMax + 1];
    uint16_t port = 0;
    EXPECT_TRUE(ParseSmtpServer("mail.example.com", host, sizeof host, &port));
    EXPECT_STREQ(host, "mail.example.com");
    EXPECT_EQ(port, 25);
    EXPECT_TRUE(ParseSmtpServer("127.0.0.1:65535", host, sizeof host, &port));
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"", ":25", "mail:", "mail:0", "mail:65536", "mail:2x", "mail:25:1", "a..b", ".a",
                            "a.", "mail example", "mail/x"})
        EXPECT_FALSE(ParseSmtpServer(bad, host, sizeof host, &port)) << bad;
    EXPECT_FALSE(ParseSmtpServer("abcdef", host, 6, &port));

    char name[16];
    MakeHeloName("My PC_1", name, sizeof name);
    EXPECT_STREQ(name, "MyPC1");
    MakeHeloName("\xC4\xD6 _", name, sizeof name);
    EXPECT_STREQ(name, "localhost");
    MakeHeloName("ABCDEFGHIJKLMNOPQRS", name, sizeof name);
    EXPECT_STREQ(name, "ABCDEFGHIJKLMNO");
}

class SmtpDialogueTest : public ::testing::Test {
protected:
    RecordingSmtp net;
    std::string mail = "Subject: x\r\n\r\n..dot\r\n";
    uint32_t now = 0xFFFFF000u;  // the clock wraps during the dialogue

    void Start()
    {
        SmtpRequest r{"mail.example", 2525, "PC1", "a@b.example", mail.data(), mail.size()};
        SmtpStart(&net.services, r, now);
        SmtpHostFound(true, 0x0100007F, now);
        SmtpConnected(0, now);
    }
    void Reply(const std::string& text) { SmtpReceived(text.data(), text.size(), now); }
};

TEST_F(SmtpDialogueTest, WholeExchangeInSmallWrites)
{
    net.takeAtMost = 5;
    Start();
    EXPECT_EQ(net.lookedUp, "mail.example;");
    EXPECT_EQ(net.port, 2525);
    Reply("220 ready\r\n");
    Reply("502 no EHLO\r\n");
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nHELO PC1\r\n");
    Reply("250 hi\r\n");
    Reply("250 ok\r\n");
    Reply("250 ok\r\n");
    EXPECT_EQ(net.TakeSent(), "MAIL FROM:<a@b.example>\r\nRCPT TO:<a@b.example>\r\nDATA\r\n");

    net.blocked = true;
    Reply("354 go\r\n");
    EXPECT_EQ(net.sent, "");
    net.blocked = false;
    SmtpWritable(now);
    EXPECT_EQ(net.TakeSent(), mail + ".\r\n");
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Running);
    Reply("250 queued as 1\r\n");
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Sent);
    EXPECT_TRUE(SmtpRunning());
    EXPECT_EQ(net.TakeSent(), "QUIT\r\n");
    SmtpClosed(now);  // no 221: the message was taken all the same
    EXPECT_FALSE(SmtpRunning());
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Sent);
    EXPECT_STREQ(SmtpLastReply(), "250 queued as 1");
    EXPECT_EQ(net.closes, 1);
}

TEST_F(SmtpDialogueTest, RefusalsAndFailures)
{
    Start();
    Reply("220 ready\r\n250 hi\r\n250 ok\r\n");
    net.TakeSent();
    Reply("550 5.1.1 no such user\r\n");
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Rejected);
    EXPECT_EQ(SmtpReplyCode(), 550);
    EXPECT_EQ(net.TakeSent(), "QUIT\r\n");
    EXPECT_EQ(net.closes, 1);

    Start();
    Reply("220 ready\r\n");
    net.blocked = true;
    Reply("250 hi\r\n250 ok\r\n");  // the MAIL reply before MAIL was sent
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Failed);
    net.blocked = false;

    const struct {
        int error;
        SmtpOutcome outcome;
    } connects[] = {{SmtpErrorRefused, SmtpOutcome::Refused},
                    {SmtpErrorTimedOut, SmtpOutcome::TimedOut},
                    {10065, SmtpOutcome::Failed}};
    for (const auto& c : connects) {
        SmtpRequest r{"h", 25, "PC1", "a@b", mail.data(), mail.size()};
        SmtpStart(&net.services, r, now);
        SmtpHostFound(true, 1, now);
        SmtpConnected(c.error, now);
        EXPECT_EQ(SmtpResult(), c.outcome);
    }
    SmtpRequest r{"h", 25, "PC1", "a@b", mail.data(), mail.size()};
    SmtpStart(&net.services, r, now);
    SmtpHostFound(false, 0, now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::HostNotFound);
    net.lookupWorks = false;
    const int closes = net.closes;
    SmtpStart(&net.services, r, now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::NoNetwork);
    SmtpStart(nullptr, r, now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::NoNetwork);
    EXPECT_EQ(net.closes, closes);  // nothing was begun
}

TEST_F(SmtpDialogueTest, TimeOutsAndCloses)
{
    Start();
    now += SmtpReplyTimeoutMs - 1;
    SmtpClockTick(now);
    EXPECT_TRUE(SmtpRunning());
    now += 1;
    EXPECT_EQ(SmtpNextDeadline(), now);
    SmtpClockTick(now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::TimedOut);

    // Each reply in time, but the whole dialogue too slow.
    Start();
    const uint32_t start = now;
    for (const char* reply : {"220 a\r\n", "250 b\r\n", "250 c\r\n", "250 d\r\n"}) {
        now += 25000;
        SmtpClockTick(now);
        Reply(reply);
    }
    EXPECT_EQ(SmtpNextDeadline(), start + SmtpDialogueTimeoutMs);
    now = start + SmtpDialogueTimeoutMs;
    SmtpClockTick(now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::TimedOut);

    Start();
    Reply("220 a\r\n");
    SmtpClosed(now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Closed);
    SmtpClosed(now);  // a late notice changes nothing
    SmtpReceived("250 x\r\n", 7, now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Closed);
}

}  // namespace
