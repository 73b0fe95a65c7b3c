#include <gtest/gtest.h>

#include <string>

#include "mail_address.h"
#include "mail_config.h"
#include "recording_smtp.h"
#include "smtp_auth.h"
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

// The logins' own encodings are checked in the dialogue below.
TEST(SmtpAuth, Base64BothWays)
{
    char out[17];
    uint8_t bytes[8];
    size_t n = 0;
    const struct {
        std::string bytes, text;
    } pairs[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {std::string("\0\xFF\xFE", 3), "AP/+"}};
    for (const auto& p : pairs) {
        ASSERT_TRUE(EncodeBase64(p.bytes.data(), p.bytes.size(), out, sizeof out));
        EXPECT_EQ(out, p.text);
        ASSERT_TRUE(DecodeBase64(p.text.c_str(), bytes, sizeof bytes, &n)) << p.text;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), n), p.bytes);
    }
    EXPECT_FALSE(EncodeBase64("0123456789ab", 12, out, 16)) << "16 characters and the terminator";
    EXPECT_TRUE(EncodeBase64("0123456789ab", 12, out, 17));
    for (const char* bad : {"Zg=", "Z===", "Zg=a", "Zm=v", "Zm9v=", "Zm 9", "Zg==Zg=="})
        EXPECT_FALSE(DecodeBase64(bad, bytes, sizeof bytes, &n)) << bad;
    EXPECT_FALSE(DecodeBase64("Zm9vYmFy", bytes, 4, &n)) << "six bytes into four";
}

TEST(MailConfigFile, ReadsItsKeysAndRefusesMalformedTextsWhole)
{
    MailConfig c;
    const std::string good = "; comment\r\n[Other]\r\nUser=not this\r\n\r\n[MAIL]\r\n security = StartTLS \n"
                             "User=me@example.com\r\nPassword=AQID\r\nCommand=C:\\n.exe --a=b\r\nLater=1\r\n";
    ASSERT_TRUE(ParseMailConfig(good.data(), good.size(), &c));
    char text[MailConfigFileMax];  // what was read, written back
    const size_t n = FormatMailConfig(c, text, sizeof text);
    EXPECT_EQ(std::string(text, n), "[Mail]\r\nSecurity=starttls\r\nUser=me@example.com\r\nPassword=AQID\r\n"
                                    "Command=C:\\n.exe --a=b\r\n");
    EXPECT_TRUE(ParseMailConfig("", 0, &c) && c.security == SmtpSecurity::None && !c.user[0]);

    const std::string longest(MailUserSize - 1, 'u');
    EXPECT_TRUE(ParseMailConfig(("[Mail]\nUser=" + longest).c_str(), 12 + longest.size(), &c) && c.user == longest);
    for (const std::string& bad : {"[Mail]\nUser=" + longest + "u", std::string("[Mail]\nSecurity=ssl"),
                                  std::string("[Mail]\nPassword=AQI"), std::string("[Mail\nUser=a"),
                                  std::string("[Mail]\nUser a"), std::string("[Mail]\nUser=a\0b", 15),
                                  "[Mail]\n;" + std::string(MailConfigFileMax, 'x')}) {
        c.security = SmtpSecurity::Tls;
        EXPECT_FALSE(ParseMailConfig(bad.data(), bad.size(), &c)) << bad.substr(0, 40);
        EXPECT_TRUE(c.security == SmtpSecurity::None && !c.user[0]) << "the defaults";
    }
}

class SmtpDialogueTest : public ::testing::Test {
protected:
    RecordingSmtp net;
    std::string mail = "Subject: x\r\n\r\n..dot\r\n";
    uint32_t now = 0xFFFF0000u;  // the clock wraps during the slow dialogue below

    // Starts a dialogue afresh; the lookup and the connection answer.
    SmtpOutcome Start(int connectError = 0, bool found = true, SmtpSecurity security = SmtpSecurity::None)
    {
        net.TakeSent(), net.tlsHost.clear();
        SmtpStart(&net.services, {"mail.example", 2525, "PC1", "a@b.example", mail.data(), mail.size(), security, "me", "pw"}, now);
        SmtpHostFound(found, 0x0100007F, now);
        SmtpConnected(connectError, now);
        return SmtpResult();
    }
    void Reply(const std::string& text) { SmtpReceived(text.data(), text.size(), now); }
    void Reply(std::initializer_list<const char*> texts) { for (const char* text : texts) Reply(text); }
};

TEST_F(SmtpDialogueTest, WholeExchangeInSmallWrites)
{
    net.takeAtMost = 5;
    Start();
    Reply({"220 ready\r\n", "502 no EHLO\r\n", "250 hi\r\n", "250 ok\r\n", "250 ok\r\n"});
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
    Reply({"220 ready\r\n", "421 busy\r\n"});  // a 4xx to EHLO refuses too
    EXPECT_TRUE(SmtpResult() == SmtpOutcome::Rejected && SmtpReplyCode() == 421);
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nQUIT\r\n");
    Start();
    net.blocked = true;
    Reply({"220 ready\r\n", "250 hi\r\n"});  // the EHLO reply before EHLO was wholly sent
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

TEST_F(SmtpDialogueTest, StartTlsAndLoginWithEveryWayTheyEnd)
{
    Start(0, true, SmtpSecurity::StartTls);
    Reply({"220 hi\r\n", "250-mail\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n"});
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nSTARTTLS\r\n") << "no login before TLS";
    Reply("220 go ahead\r\n");
    EXPECT_EQ(net.tlsHost, "mail.example;");
    SmtpSecured(SmtpOutcome::Sent, "", now);
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\n");
    Reply("250-mail\r\n250-AU");  // one reply over two decrypted pieces
    Reply("TH LOGIN\r\n250 8BITMIME\r\n");
    EXPECT_EQ(net.TakeSent(), "AUTH LOGIN\r\n") << "LOGIN, the only one offered";
    Reply({"334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"});
    EXPECT_EQ(net.TakeSent(), "bWU=\r\ncHc=\r\nMAIL FROM:<a@b.example>\r\n");
    Reply("250 ok\r\n250 ok\r\n");  // two replies in one piece: the second unasked
    EXPECT_EQ(SmtpResult(), SmtpOutcome::OutOfStep);

    Start(0, true, SmtpSecurity::StartTls);
    Reply({"220 hi\r\n", "250-mail\r\n250 AUTH PLAIN\r\n"});
    EXPECT_EQ(SmtpResult(), SmtpOutcome::NoStartTls);
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nQUIT\r\n");
    Start(0, true, SmtpSecurity::StartTls);
    Reply({"220 hi\r\n", "250 STARTTLS\r\n", "220 go\r\n250 planted before TLS\r\n"});
    EXPECT_EQ(SmtpResult(), SmtpOutcome::OutOfStep);

    Start(0, true, SmtpSecurity::Tls);
    EXPECT_EQ(net.tlsHost, "mail.example;") << "TLS before the greeting";
    SmtpSecured(SmtpOutcome::Sent, "", now);
    Reply({"220 hi\r\n", "250-mail\r\n250 AUTH=LOGIN PLAIN\r\n"});
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nAUTH PLAIN AG1lAHB3\r\n");
    Reply("535 5.7.8 credentials invalid\r\n");
    EXPECT_EQ(SmtpResult(), SmtpOutcome::LoginRefused);
    EXPECT_STREQ(SmtpLastReply(), "535 5.7.8 credentials invalid");
    Start(0, true, SmtpSecurity::Tls);
    SmtpSecured(SmtpOutcome::Sent, "", now);
    Reply({"220 hi\r\n", "250 mail\r\n"});
    EXPECT_EQ(SmtpResult(), SmtpOutcome::NoLogin);
    Start(0, true, SmtpSecurity::None);
    Reply({"220 hi\r\n", "250 AUTH PLAIN\r\n"});
    EXPECT_EQ(net.TakeSent(), "EHLO PC1\r\nMAIL FROM:<a@b.example>\r\n") << "never a login in plain text";
    SmtpAbort();
}

}  // namespace
