#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mail_text.h"

namespace {

// The lines of a message as the server stores them: CRLF-split, one leading
// dot of each stuffed line removed. Fails the test on a bare CR or LF, a
// byte outside 0x20..0x7E, or a body line over 78 characters.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0, end;
    while ((end = text.find("\r\n", from)) != std::string::npos) {
        std::string line = text.substr(from, end - from);
        for (char c : line)
            EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << line;
        EXPECT_LE(line.size(), 78u + (line[0] == '.')) << line;
        lines.push_back(line[0] == '.' ? line.substr(1) : line);
        from = end + 2;
    }
    EXPECT_EQ(from, text.size()) << "the text ends with CRLF";
    return lines;
}

class MailTextTest : public ::testing::Test {
protected:
    MailContext context{"PC\xE9-1", "someone@example.org", {2025, 3, 0, 4, 14, 5, 9, 0}, 60, 0xBEEF};
    MonitorState state = {};
    DriveRecord table[DriveCount] = {};
    ConditionList conditions = {};
    char text[MailTextMax];
};

TEST_F(MailTextTest, WarningAndTestMessagesHeadersBodyAndWrapping)
{
    const std::string dots(70, '.');
    state.driveCount = 2;
    state.drives[0] = {"WDC WD400BB-00DEA0", "WD-123\x01", "FW1", 1, 0, 0, 0, {}, {}, 0, {}};
    std::snprintf(state.drives[1].model, TextSize, "%s %s", dots.c_str(), dots.substr(0, 8).c_str());
    std::snprintf(state.drives[1].firmware, TextSize, "FW1");
    table[1].smartEnabled = 1;
    table[1].attributes[0] = {"Reallocated Sectors Count", 5, 30, 36, 0, 0, 0};
    conditions = {3,
                  {{ConditionKind::ReachedThreshold, 0, 1, 5, 100, 30, 36, 0, 0},
                   {ConditionKind::CountRose, 0, 1, 5, 0, 12, 36, 12, 0},
                   {ConditionKind::Vanished, 1, 3, 0, 0, 0, 0, 0, 0}},
                  0};

    const size_t n = FormatWarningMail(context, state, table, conditions, text, sizeof text);
    ASSERT_GT(n, 0u);
    const std::vector<std::string> lines = Lines(std::string(text, n));
    const std::vector<std::string> expected = {
        "Date: Tue, 04 Mar 2025 14:05:09 +0100",
        "From: <someone@example.org>",
        "To: <someone@example.org>",
        "Subject: Ostrivel warning: 3 drive problem(s) on PC?-1",
        "Message-ID: <20250304140509.0000BEEF.ostrivel@example.org>",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=us-ascii",
        "Content-Transfer-Encoding: 7bit",
        "",
        "Ostrivel on PC?-1 found 3 drive problem(s).",
        "Time: Tue, 04 Mar 2025 14:05:09 +0100",
        "",
        "Primary/Slave: WDC WD400BB-00DEA0",
        "  Serial number: WD-123?",
        "  Firmware revision: FW1",
        "  Status: Alert",
        "  Attribute 5, Reallocated Sectors Count:",
        "    value fell from 100 to 30, at or below its threshold 36",
        "  Attribute 5, Reallocated Sectors Count:",
        "    count rose from 0 to 12",
        "",
        "Secondary/Slave:",
        dots,  // stuffed on the wire, one dot less here
        dots.substr(0, 8),
        "  Serial number: ",
        "  Firmware revision: FW1",
        "  Status: not answering",
        "  The drive no longer answers.",
    };
    ASSERT_GE(lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i;
    EXPECT_EQ(FormatWarningMail(context, state, table, conditions, text, n), 0u);  // no room for the NUL

    // The test message: a leap day west of UTC, and headers folded.
    context.utcOffsetMinutes = -330;
    context.now = {2024, 2, 0, 29, 23, 59, 0, 0};
    const std::string address = "a-very-long-local-part-for-folding@" + std::string(30, 'x') + ".example";
    context.address = address.c_str();
    context.computerName = "A NAME WITH MANY WORDS THAT NEEDS FOLDING IN THE SUBJECT LINE OF THE TEST";
    const std::vector<std::string> test = Lines(std::string(text, FormatTestMail(context, text, sizeof text)));
    EXPECT_EQ(test[0], "Date: Thu, 29 Feb 2024 23:59:00 -0530");
    EXPECT_EQ(test[1], "From:");  // a single word too long for one line goes on its own
    EXPECT_EQ(test[2], " <" + address + ">");
    EXPECT_EQ(test[5], "Subject: Ostrivel test message from A NAME WITH MANY WORDS THAT NEEDS FOLDING");
    EXPECT_EQ(test[6], " IN THE SUBJECT LINE OF THE TEST");
}

// An NVMe drive's conditions, as the rules find them, name the field, the
// values and what they mean.
TEST_F(MailTextTest, NvmeConditionsSayWhatTheyMean)
{
    DriveRecord& r = table[0];
    r.present = r.smartEnabled = 1;
    r.busType = DriveBusNvme;
    r.nvme.healthRead = 1;
    CheckDrives(&state, table, 0, &conditions);  // the references of a drive at rest
    r.nvme.health = {0x80, 100, 10, 89, 0, {{}, {}, {}, {}, {}, {}, {}, {}, {{7}}}, 0, 0, {}};
    CheckDrives(&state, table, 0, &conditions);
    const std::vector<std::string> lines =
        Lines(std::string(text, FormatWarningMail(context, state, table, conditions, text, sizeof text)));
    // The drive's report section, then its conditions.
    EXPECT_EQ(lines[16], "  Health: Alert");
    EXPECT_EQ(std::vector<std::string>(lines.end() - 6, lines.end() - 2),
              (std::vector<std::string>{"  Critical Warning, bit 7:", "    newly set: a warning this program does not know",
                                        "  Media and Data Integrity Errors:",
                                        "    rose from 0 to 7: the drive found data it could not keep intact"}));
}

}  // namespace
