// The About box, the Help command and the Web Site command.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "command_fixture.h"
#include "commands.h"
#include "layout.h"
#include "product.h"
#include "resource.h"

namespace {

// What the program handed to MessageBoxIndirectA; the box itself still opens.
struct BoxCall {
    int count = 0;
    MSGBOXPARAMSA params = {};
    std::string text, caption;
    int result = 0;
};
BoxCall Box;
decltype(&MessageBoxIndirectA) RealMessageBoxIndirect;

int WINAPI RecordMessageBoxIndirect(const MSGBOXPARAMSA* params)
{
    ++Box.count;
    Box.params = *params;
    Box.text = params->lpszText;
    Box.caption = params->lpszCaption;
    Box.result = RealMessageBoxIndirect(params);
    return Box.result;
}

class InfoCommandTest : public CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        Box = {};
        hook_ = std::make_unique<ImportHook>("user32.dll", "MessageBoxIndirectA",
                                             reinterpret_cast<void*>(RecordMessageBoxIndirect));
        ASSERT_TRUE(hook_->installed());
        RealMessageBoxIndirect = hook_->original<decltype(&MessageBoxIndirectA)>();
    }
    void TearDown() override
    {
        hook_.reset();
        CommandTest::TearDown();
    }

    ModalRun RunAbout(std::vector<ModalStep> steps) { return DriveModal([this] { Command(CMD_ABOUT); }, std::move(steps)); }

private:
    std::unique_ptr<ImportHook> hook_;
};

std::vector<HWND> ChildrenOfClass(HWND window, const char* className)
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[32] = "";
        GetClassNameA(child, name, sizeof name);
        if (_stricmp(name, className) == 0)
            found.push_back(child);
    }
    return found;
}

TEST_F(InfoCommandTest, AboutIsAModalBoxWithTheProgramIconAndOneOkButton)
{
    const ModalRun run = RunAbout({
        Inspect([this](HWND box) {
            char caption[64] = "";
            GetWindowTextA(box, caption, sizeof caption);
            EXPECT_STREQ(caption, "Ostrivel 1.0");
            EXPECT_EQ(GetWindow(box, GW_OWNER), mainWindow);
            EXPECT_FALSE(IsWindowEnabled(mainWindow));
            const std::vector<HWND> buttons = ChildrenOfClass(box, "Button");
            ASSERT_EQ(buttons.size(), 1u);
            EXPECT_EQ(GetDlgCtrlID(buttons[0]), IDOK);
            // The message box's icon control shows icon resource 1.
            HICON expected = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP));
            ASSERT_NE(expected, nullptr);
            bool iconShown = false;
            for (HWND s : ChildrenOfClass(box, "Static"))
                iconShown = iconShown || reinterpret_cast<HICON>(SendMessageA(s, STM_GETICON, 0, 0)) == expected;
            EXPECT_TRUE(iconShown);
            // Its text control holds the About text.
            bool textShown = false;
            for (HWND s : ChildrenOfClass(box, "Static")) {
                char text[512] = "";
                GetWindowTextA(s, text, sizeof text);
                textShown = textShown || Box.text == text;
            }
            EXPECT_TRUE(textShown);
        }),
        Click(IDOK),
    });
    EXPECT_EQ(run.stepsDone, 2u);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(IsWindowEnabled(mainWindow));
    EXPECT_EQ(Box.result, IDOK);
}

TEST_F(InfoCommandTest, AboutParametersAndText)
{
    RunAbout({Click(IDOK)});
    ASSERT_EQ(Box.count, 1);
    const MSGBOXPARAMSA& p = Box.params;
    EXPECT_EQ(p.cbSize, sizeof(MSGBOXPARAMSA));
    EXPECT_EQ(p.hwndOwner, mainWindow);
    EXPECT_EQ(p.hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(p.dwStyle, static_cast<DWORD>(MB_USERICON));
    EXPECT_EQ(p.lpszIcon, MAKEINTRESOURCEA(IDI_APP));
    EXPECT_EQ(p.dwContextHelpId, 0u);
    EXPECT_EQ(p.lpfnMsgBoxCallback, nullptr);
    EXPECT_EQ(p.dwLanguageId, 0u);
    EXPECT_EQ(Box.caption, "Ostrivel 1.0");
    // First line "Ostrivel v1.0", further lines separated by line feeds only.
    EXPECT_EQ(Box.text.rfind("Ostrivel v1.0\n", 0), 0u) << Box.text;
    EXPECT_EQ(Box.text.find('\r'), std::string::npos);
    EXPECT_LT(Box.text.size(), 512u);
    int lines = 0;
    for (size_t at = 0; at != std::string::npos; at = Box.text.find('\n', at + 1))
        ++lines;
    EXPECT_GE(lines, 3);
}

TEST_F(InfoCommandTest, ATickWhileAboutIsOpenRebuildsTheViews)
{
    const ModalRun run = RunAbout({
        Inspect([this](HWND) {
            ListView_DeleteAllItems(DriveList);
            ArmMainTimer(10);
        }),
        [](HWND) { return Seen.ticks >= 1 && RowCount(DriveList) > 0; },
        Click(IDOK),
    });
    EXPECT_EQ(run.stepsDone, 3u);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(RowCount(DriveList), 4);
}

TEST_F(InfoCommandTest, HelpOpensTheHelpFileAtContextOne)
{
    Command(CMD_HELP);
    ASSERT_EQ(Seen.winHelp.size(), 1u);
    EXPECT_EQ(Seen.winHelp[0].window, mainWindow);
    EXPECT_EQ(Seen.winHelp[0].file, "ostrivel.hlp");
    EXPECT_EQ(Seen.winHelp[0].command, 1u);  // HELP_CONTEXT
    EXPECT_EQ(Seen.winHelp[0].data, 1u);
    EXPECT_TRUE(Seen.shellExecute.empty());
}

TEST_F(InfoCommandTest, WebSiteOpensTheStatusBarAddressMaximized)
{
    Command(CMD_WEBSITE);
    ASSERT_EQ(Seen.shellExecute.size(), 1u);
    const ShellExecuteCall& call = Seen.shellExecute[0];
    EXPECT_EQ(call.window, mainWindow);
    EXPECT_EQ(call.operation, "open");
    EXPECT_EQ(call.file, HomePageAddress);
    EXPECT_EQ(std::string(StatusBarText), "Ostrivel v1.0 - " + call.file);
    EXPECT_EQ(call.parameters, "");
    EXPECT_EQ(call.directory, "");
    EXPECT_EQ(call.show, 3);  // SW_SHOWMAXIMIZED
    EXPECT_TRUE(Seen.winHelp.empty());
}

}  // namespace
