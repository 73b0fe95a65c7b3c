#include <gtest/gtest.h>

#include <string>

#include "mail_address.h"
#include "recording_smtp.h"
#include "smtp_dialogue.h"

namespace {

// "code|last line|bytes taken" of the first reply in text; "open" when none
// completes. Whole and byte-by-byte feeding agree (the fuzz target checks).
std::string FirstReply(const std::string& text)
{
    SmtpReplyParser p;
    ResetReplyParser(&p);
    const size_t used = FeedReply(&p, text.data(), text.size());
    return p.complete ? std::to_string(p.code) + "|" + p.lastLine + "|" + std::to_string(used) : "open";
}

TEST(SmtpReplyParser, RepliesAndMalformedLines)
{
    const std::string y(600, 'y');
    const struct {
        std::string text, reply;
    } cases[] = {
        {"250-mail.example\r\n250-SIZE 1\r\n250 HELP\r\n354 go\r\n", "250|250 HELP|40"},
        {"354 go on\n", "354|354 go on|10"},
        {"550 no\x01\xE9 way\r\n", "550|550 no?? way|14"},  // control and 8-bit bytes as '?'
        {"220\r\n", "220|220|5"},
        {"250-" + std::string(2000, 'x') + "\r\n250 " + y + "\r\n", "250|250 " + y.substr(0, 508) + "|2612"},
        {"hello\r\n", "0|hello|7"},
        {"2500 x\r\n", "0|2500 x|8"},
        {"099 x\r\n", "0|099 x|7"},
        {"600 y\r\n", "0|600 y|7"},
        {"250-a\r\n251 b\r\n", "0|251 b|14"},  // another code within one reply
        {"250-unfinished\r\n250", "open"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstReply(c.text), c.reply);
}

TEST(MailAddress, AddressAndServer)
{
    for (const char* good : {"a@b", "first.last+tag@mail.example.com", "!#$%&'*+-/=?^_`{|}~@x-1.y2", "1@2.3"})
        EXPECT_TRUE(IsPlainAddress(good)) << good;
    for (const char* bad : {"", "@b", "a@", "ab", "a@b@c", "a b@c", "a@b,c@d", "<a@b>", "a@b\r\n", "a\x80@b",
                            ".a@b", "a.@b", "a..b@c", "a@.b", "a@b.", "a@b..c", "a@-b", "a@b-", "a@b-.c", "a@b.-c",
                            "x@[127.0.0.1]", "a\"b@c", "a(b)@c", "a@b_c", "a:b@c"})
        EXPECT_FALSE(IsPlainAddress(bad)) << bad;

    char host[SmtpHostMax + 1];
    uint16_t port = 0;
    EXPECT_TRUE(ParseSmtpServer("mail.example.com", host, sizeof host, &port) && port == 25);
    EXPECT_STREQ(host, "mail.example.com");
    EXPECT_TRUE(ParseSmtpServer("127.0.0.1:65535", host, sizeof host, &port) && port == 65535);
    for (const char* bad : {":25", "mail:", "mail:0", "mail:65536", "mail:2x", "a..b", ".a", "a.", "mail/x"})
        EXPECT_FALSE(ParseSmtpServer(bad, host, sizeof host, &port)) << bad;
    EXPECT_FALSE(ParseSmtpServer("abcdef", host, 6, &port));
}

class SmtpDialogueTest : public ::testing::Test {
protected:
    RecordingSmtp net;
    std::string mail = "Subject: x\r\n\r\n..dot\r\n";
    uint32_t now = 0xFFFF0000u;  // the clock wraps during the slow dialogue below

    // Starts a dialogue; the lookup and the connection answer.
    SmtpOutcome Start(int connectError = 0, bool found = true)
    {
        SmtpStart(&net.services, {"mail.example", 2525, "PC1", "a@b.example", mail.data(), mail.size()}, now);
        SmtpHostFound(found, 0x0100007F, now);
        SmtpConnected(connectError, now);
        return SmtpResult();
    }
    void Reply(const std::string& text) { SmtpReceived(text.data(), text.size(), now); }
};

TEST_F(SmtpDialogueTest, WholeExchangeInSmallWrites)
{
    net.takeAtMost = 5;
    Start();
    for (const char* reply : {"220 ready\r\n", "502 no EHLO\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n"})
        Reply(reply);
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nHELO PC1\r\nMAIL FROM:<a@b.example>\r\nRCPT TO:<a@b.example>\r\nDATA\r\n");
    net.blocked = true;
    Reply("354 go\r\n");
    net.blocked = false;
    SmtpWritable(now);
    EXPECT_EQ(net.TakeSent(), mail + ".\r\n");
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Running);
    Reply("250 queued as 1\r\n");
    EXPECT_TRUE(SmtpResult() == SmtpOutcome::Sent && SmtpRunning());
    EXPECT_EQ(net.TakeSent(), "QUIT\r\n");
    SmtpClosed(now);  // no 221: the message was taken all the same
    EXPECT_TRUE(SmtpResult() == SmtpOutcome::Sent && !SmtpRunning() && net.closes == 1);
}

TEST_F(SmtpDialogueTest, RefusalsFailuresAndTimeOuts)
{
    Start();
    Reply("220 ready\r\n");
    Reply("421 busy\r\n");  // a 4xx to EHLO refuses too
    EXPECT_TRUE(SmtpResult() == SmtpOutcome::Rejected && SmtpReplyCode() == 421);
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nQUIT\r\n");
    Start();
    net.blocked = true;
    Reply("220 ready\r\n");
    Reply("250 hi\r\n");  // the EHLO reply before EHLO was sent
    EXPECT_EQ(SmtpResult(), SmtpOutcome::OutOfStep);
    net.blocked = false;
    EXPECT_EQ(Start(SmtpErrorRefused), SmtpOutcome::Refused);
    EXPECT_EQ(Start(SmtpErrorTimedOut), SmtpOutcome::NoAnswer);
    EXPECT_EQ(Start(10065), SmtpOutcome::Failed);
    EXPECT_EQ(Start(0, false), SmtpOutcome::HostNotFound);
    net.lookupWorks = false;
    EXPECT_EQ(Start(), SmtpOutcome::NoNetwork);
    SmtpStart(nullptr, {"h", 25, "PC1", "a@b", "", 0}, now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::NoNetwork);
    EXPECT_EQ(net.closes, 6);  // one per dialogue begun, none for the last two
    net.lookupWorks = true;

    Start();
    Reply("220 a\r\n250 b\r\n");  // replies at once, before EHLO went out
    EXPECT_EQ(SmtpResult(), SmtpOutcome::OutOfStep);
    Start();  // a greeting trickling in does not move its deadline
    SmtpClockTick(now += SmtpReplyTimeoutMs - 1000);
    Reply("2");
    SmtpClockTick(now += 1000);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::TimedOut);
    SmtpStart(&net.services, {"h", 25, "PC1", "a@b", "", 0}, now);
    SmtpHostFound(true, 1, now);
    SmtpClosed(now);  // before it connected
    EXPECT_EQ(SmtpResult(), SmtpOutcome::NoAnswer);

    Start();  // each reply in time, but the whole dialogue too slow
    const uint32_t start = now;
    for (const char* reply : {"220 a\r\n", "250 b\r\n", "250 c\r\n", "250 d\r\n"}) {
        SmtpClockTick(now += 25000);
        Reply(reply);
    }
    EXPECT_TRUE(SmtpRunning() && SmtpNextDeadline() == start + SmtpDialogueTimeoutMs);
    SmtpClockTick(now = start + SmtpDialogueTimeoutMs);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::TimedOut);

    Start();  // a silent server: the reply's time-out, to the millisecond
    SmtpClockTick(now += SmtpReplyTimeoutMs - 1);
    EXPECT_TRUE(SmtpRunning() && SmtpNextDeadline() == now + 1);
    SmtpClockTick(++now);
    EXPECT_EQ(SmtpResult(), SmtpOutcome::TimedOut);

    Start();
    Reply("220 a\r\n");
    SmtpClosed(now);
    SmtpClosed(now);  // a late notice changes nothing
    Reply("250 x\r\n");
    EXPECT_EQ(SmtpResult(), SmtpOutcome::Closed);
}

}  // namespace
