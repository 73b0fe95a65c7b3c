// Typing and pasting into the Setup dialog's fields: the interval takes an
// optional leading minus and digits, the percentage digits only; the mail
// fields scroll and take up to 79 characters.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "command_fixture.h"
#include "commands.h"
#include "resource.h"
#include "settings.h"
#include "signed_field.h"

namespace {

void Type(HWND edit, const char* keys)
{
    for (; *keys; ++keys)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*keys), 1);
}

void Select(HWND edit, int start, int end)
{
    SendMessageA(edit, EM_SETSEL, start, end);
}

std::string Text(HWND edit)
{
    char text[128] = "";  // more than the mail fields take
    GetWindowTextA(edit, text, sizeof text);
    return text;
}

// Empties the field and types keys into it.
std::string Typed(HWND edit, const char* keys)
{
    SetWindowTextA(edit, "");
    Type(edit, keys);
    return Text(edit);
}

// Puts text into the field, places the selection and pastes clip over it.
std::string Pasted(HWND edit, const char* text, int start, int end, const char* clip)
{
    SetWindowTextA(edit, text);
    Select(edit, start, end);
    PutClipboardText(clip);
    SendMessageA(edit, WM_PASTE, 0, 0);
    return Text(edit);
}

TEST(SignedNumberText, AcceptsAnOptionalLeadingMinusAndDigits)
{
    for (const char* good : {"", "-", "0", "-1", "240", "-2147483648", "007"})
        EXPECT_TRUE(IsSignedNumberText(good)) << good;
    for (const char* bad : {"--1", "1-", "1-2", " 1", "+1", "1a", "a", "-x", "1.5"})
        EXPECT_FALSE(IsSignedNumberText(bad)) << bad;
}

using SetupFieldsTest = CommandTest;

TEST_F(SetupFieldsTest, TheIntervalTakesAMinusOnlyInFront)
{
    const ModalRun run = DriveModal([this] { Command(CMD_SETUP); },
                                    {Inspect([](HWND dialog) {
                                         HWND field = GetDlgItem(dialog, 900);
                                         EXPECT_EQ(Typed(field, "-1"), "-1");
                                         EXPECT_EQ(Typed(field, "-1a"), "-1");
                                         EXPECT_EQ(Typed(field, "-1-"), "-1");
                                         EXPECT_EQ(Typed(field, "12 "), "12");
                                         EXPECT_EQ(Typed(field, "--5"), "-5");
                                         EXPECT_EQ(Typed(field, "+5"), "5");
                                         // A minus before the text, or a digit before the minus.
                                         SetWindowTextA(field, "15");
                                         Select(field, 0, 0);
                                         Type(field, "-");
                                         EXPECT_EQ(Text(field), "-15");
                                         Select(field, 0, 0);
                                         Type(field, "-9");
                                         EXPECT_EQ(Text(field), "-15");
                                         // Replacing the whole selection is judged on the result.
                                         Select(field, 0, -1);
                                         Type(field, "-");
                                         EXPECT_EQ(Text(field), "-");
                                         // Backspace keeps working.
                                         Type(field, "42\b");
                                         EXPECT_EQ(Text(field), "-4");
                                         // The narrow field without scrolling stops long input.
                                         for (const char* keys : {"-12345678901234", "123456789012345"}) {
                                             const std::string typed = Typed(field, keys);
                                             EXPECT_LE(typed.size(), 11u);
                                             EXPECT_EQ(std::string(keys).rfind(typed, 0), 0u) << typed;
                                         }
                                         Typed(field, "-1");
                                     }),
                                     Click(IDOK)});
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_EQ(CurrentSettings.pollMinutes, -1);
}

TEST_F(SetupFieldsTest, TheIntervalTakesOnlyPastesThatLeaveANumber)
{
    const ModalRun run =
        DriveModal([this] { Command(CMD_SETUP); },
                   {Inspect([](HWND dialog) {
                        HWND field = GetDlgItem(dialog, 900);
                        EXPECT_EQ(Pasted(field, "240", 0, -1, "-12"), "-12");
                        EXPECT_EQ(Pasted(field, "240", 0, -1, "1-2"), "240");
                        EXPECT_EQ(Pasted(field, "240", 0, -1, "ab"), "240");
                        EXPECT_EQ(Pasted(field, "5", 1, 1, "-3"), "5");     // would give "5-3"
                        EXPECT_EQ(Pasted(field, "5", 0, 0, "-3"), "-35");
                        EXPECT_EQ(Pasted(field, "-5", 0, 0, "-3"), "-5");   // would give "-3-5"
                        EXPECT_EQ(Pasted(field, "", 0, 0, "12\r\n34"), "12");  // first line only
                        EXPECT_EQ(Pasted(field, "", 0, 0, "123456789012"), "");
                        EXPECT_EQ(Pasted(field, "7", 0, -1, ""), "");
                        Pasted(field, "", 0, 0, "-12");
                    }),
                    Click(IDOK)});
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_EQ(CurrentSettings.pollMinutes, -12);
}

TEST_F(SetupFieldsTest, ThePercentageTakesDigitsOnlyAndTheMailFieldsUpTo79Characters)
{
    const char address[] = "firstname.lastname@company.example";  // 34 characters
    const std::string server = "smtp." + std::string(80, 's');
    const ModalRun run = DriveModal([this] { Command(CMD_SETUP); },
                                    {Inspect([&](HWND dialog) {
                                         HWND field = GetDlgItem(dialog, 901);
                                         EXPECT_EQ(Typed(field, "-12"), "12");
                                         EXPECT_EQ(Typed(field, "1a5"), "15");
                                         EXPECT_EQ(Typed(GetDlgItem(dialog, 902), address), address);
                                         EXPECT_EQ(Pasted(GetDlgItem(dialog, 903), "", 0, 0, server.c_str()),
                                                   server.substr(0, 79));
                                     }),
                                     Click(IDOK)});
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_EQ(CurrentSettings.changePercent, 15u);
    EXPECT_STREQ(CurrentSettings.emailAddress, address);
}

}  // namespace
