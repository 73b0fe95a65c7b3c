#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <string>

#include "monitor_state_file.h"

namespace {

std::string Format(const MonitorState& state)
{
    static char text[MonitorStateFileMax + 1];
    return std::string(text, FormatMonitorState(state, text, sizeof text));
}

bool Parse(const std::string& text, MonitorState* state)
{
    return ParseMonitorState(text.data(), text.size(), state);
}

// The largest state the program can hold: 16 drives of 32 attributes, every
// byte 1..255 in the texts, the largest numbers; the four present drives
// with every condition they can have shown, the others gone (one each). It
// fits and reads back.
TEST(MonitorStateFile, LargestStateReadsAndWritesBack)
{
    static MonitorState state, back;
    state.checkCount = UINT32_MAX;
    state.driveCount = MonitorDriveMax;
    for (size_t i = 0; i + 1 < sizeof state.lastOutcome; ++i)
        state.lastOutcome[i] = static_cast<char>(i < 255 ? 1 + i : '%');
    for (KnownDrive& d : state.drives) {
        for (int i = 0; i + 1 < TextSize; ++i) {
            d.model[i] = static_cast<char>(1 + i);
            d.serial[i] = static_cast<char>(i ? 80 + i : 'A' + (&d - state.drives));  // 16 drives, not one
            d.firmware[i] = static_cast<char>(160 + i % 96);
        }
        d.lastPosition = 3;
        d.lastSeen = UINT32_MAX;
        d.firstSightPending = d.vanishedReported = 1;
        for (int a = 0; a < SlotCount; ++a)
            d.references[a] = {static_cast<uint8_t>(224 + a), 255, 255, (1ull << 48) - 1};
        d.shownCount = &d - state.drives < DriveCount ? ShownMax : 1;
        for (int m = 0; m < d.shownCount; ++m)
            d.shown[m] = {static_cast<uint8_t>(m % 2 ? ConditionKind::CountRose : ConditionKind::ReachedThreshold),
                          static_cast<uint8_t>(200 + m), 65535};
    }
    const std::string text = Format(state);
    ASSERT_FALSE(text.empty()) << "does not fit in " << MonitorStateFileMax << " bytes";
    ASSERT_TRUE(Parse(text, &back));
    EXPECT_EQ(back.driveCount, MonitorDriveMax);
    EXPECT_EQ(Format(back), text);
    EXPECT_EQ(std::string(back.drives[0].serial).size(), 40u) << "a serial in hexadecimal, whole";
}

TEST(MonitorStateFile, VersionsOneAndTwoAndMalformedTextsGiveAFreshState)
{
    const std::string head = "Ostrivel monitor state 1\r\ncheck 7\r\noutcome \"Sent 14:05\"\r\n";
    const std::string drive = "drive 7 2 0 1 \"WDC WD400%22X%25\" \"S 1\" \"\"\r\n";
    MonitorState state;
    // A second entry of one model and serial is read and dropped.
    ASSERT_TRUE(Parse(head + "\n" + drive + "attribute 5 100 12\nattribute 197 200 281474976710655\r\n" + drive +
                          "attribute 9 1 1\r\n", &state));
    EXPECT_EQ(state.drives[0].references[2].id, 0);
    EXPECT_STREQ(state.drives[0].model, "WDC WD400\"X%");
    EXPECT_EQ(state.drives[0].lastPosition, 2);
    EXPECT_EQ(state.drives[0].references[1].raw, 281474976710655ull);
    EXPECT_EQ(Format(state).substr(0, 26), "Ostrivel monitor state 2\r\n");  // written back as version 2
    EXPECT_NE(Format(state).find("\r\nattribute 5 100 12 -\r\n"), std::string::npos);  // no threshold known

    // Version 2: thresholds, an NVMe drive's references, shown conditions.
    const std::string head2 = "Ostrivel monitor state 2\r\n", nvme = "nvme 4 95 10 90 18446744073709551615\r\n";
    const std::string shown = "shown 2 197 3\r\nshown 15 0 0\r\n";
    ASSERT_TRUE(Parse(head2 + drive + "attribute 5 100 12 36\r\n" + shown + "drive 1 0 0 0 \"N\" \"S\" \"F\"\r\n" + nvme +
                          "shown 14 0 18446744073709551615\r\n", &state));
    EXPECT_NE(Format(state).find("\r\nattribute 5 100 12 36\r\n" + shown + "drive 1 0 0 0 \"N\" \"S\" \"F\"\r\n" + nvme),
              std::string::npos);
    EXPECT_EQ(state.drives[1].shown[0].measure, UINT64_MAX);

    std::string seventeen = head, thirtyThree = head + drive, tooManyShown = head2 + drive;
    for (int i = 0; i <= ShownMax; ++i)
        tooManyShown += "shown 0 " + std::to_string(i) + " 1\r\n";
    for (int i = 0; i < MonitorDriveMax + 1; ++i)
        seventeen += "drive 7 2 0 1 \"M\" \"" + std::to_string(i) + "\" \"\"\r\n";
    for (int i = 1; i <= SlotCount + 1; ++i)
        thirtyThree += "attribute " + std::to_string(i) + " 1 1\r\n";
    const std::string bad[] = {
        "",
        "Ostrivel monitor state 3\r\n",
        head + "attribute 5 100 0\r\n",      // no drive above it
        head + drive + "attribute 5 100 0\r\nattribute 5 90 0\r\n",
        head + drive + "attribute 0 100 0\r\n",
        head + drive + "attribute 5 256 0\r\n",
        head + drive + "attribute 5 100 281474976710656\r\n",
        head + drive + "attribute 5 100 -1\r\n",
        head + drive + "attribute 5 100 0 \r\n",
        head + drive + "attribute 5 100 0",  // cut short
        head2 + drive + "attribute 5 100 0\r\n",  // no threshold
        head + drive + nvme,  // not in version 1
        head2 + drive + "nvme 4 95 10 50 0\r\n",
        head2 + drive + "attribute 5 100 0 -\r\n" + nvme,
        head2 + drive + "nvme 4 95 10 90 18446744073709551616\r\n",
        head2 + "shown 2 197 3\r\n",  // no drive above it
        head + drive + "shown 2 197 3\r\n",
        head2 + drive + "shown 16 197 3\r\n",
        head2 + drive + "shown 2 256 3\r\n",
        head2 + drive + shown + "shown 2 197 4\r\n",
        tooManyShown,
        head + "drive 7 4 0 0 \"a\" \"b\" \"c\"\r\n",
        head + "drive 7 0 2 0 \"a\" \"b\" \"c\"\r\n",
        head + "drive 7 0 0 0 \"a\" \"b\"\r\n",
        head + "drive 7 0 0 0 \"a%G0\" \"b\" \"c\"\r\n",
        head + "drive 7 0 0 0 \"a%00\" \"b\" \"c\"\r\n",
        head + "drive 7 0 0 0 \"a\tb\" \"b\" \"c\"\r\n",
        head + "drive 7 0 0 0 \"" + std::string(TextSize, 'x') + "\" \"b\" \"c\"\r\n",
        head + "check 8\r\n",
        head + "checks 8\r\n",
        seventeen,
        thirtyThree,
        head + std::string(MonitorStateFileMax, '\n'),
    };
    for (const std::string& text : bad) {
        state.driveCount = 5;
        EXPECT_FALSE(Parse(text, &state)) << text.substr(head.size() < text.size() ? head.size() : 0, 80);
        EXPECT_EQ(state.driveCount, 0);
    }
}

}  // namespace
