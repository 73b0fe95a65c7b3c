// Window recall with real windows under Wine: the hot key is checked by a
// second window trying to register Ctrl+Alt+F12, the icon by modifying it in
// the notification area (which fails when no such icon exists).
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "recall.h"
#include "settings.h"

namespace {

HWND CreateTestWindow()
{
    static ATOM windowClass = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "OstrivelRecallTest";
        return RegisterClassA(&wc);
    }();
    return CreateWindowA(MAKEINTATOM(windowClass), "recall", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

class RecallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(RecallIconResource)))
            << "the test program carries icon resource 1";
        ForgetSettings();
        main_ = CreateTestWindow();
        other_ = CreateTestWindow();
        ASSERT_TRUE(main_ && other_);
    }

    void TearDown() override
    {
        SetRecall(main_, 0);
        DestroyWindow(main_);
        DestroyWindow(other_);
        ForgetSettings();
    }

    // Whether Ctrl+Alt+F12 is taken: another window cannot register it then.
    bool HotKeyHeld()
    {
        if (!RegisterHotKey(other_, 1, MOD_ALT | MOD_CONTROL, VK_F12))
            return true;
        UnregisterHotKey(other_, 1);
        return false;
    }

    bool IconShown()
    {
        NOTIFYICONDATAA icon = {};
        icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
        icon.hWnd = main_;
        icon.uID = RecallIconId;
        icon.uFlags = NIF_TIP;
        lstrcpynA(icon.szTip, "Ostrivel", 64);
        return Shell_NotifyIconA(NIM_MODIFY, &icon);
    }

    HWND main_ = nullptr;
    HWND other_ = nullptr;
};

TEST_F(RecallTest, NonZeroModeHoldsTheHotKeyUntilRemoved)
{
    for (int mode : {1, 7, -1}) {
        CurrentSettings.recallMode = mode;
        ASSERT_FALSE(HotKeyHeld());
        SetRecall(main_, 1);
        EXPECT_TRUE(HotKeyHeld()) << "mode " << mode;
        EXPECT_FALSE(IconShown());
        SetRecall(main_, 0);
        EXPECT_FALSE(HotKeyHeld()) << "mode " << mode;
    }
}

TEST_F(RecallTest, ModeZeroShowsTheIconUntilRemoved)
{
    SetRecall(main_, 1);
    EXPECT_TRUE(IconShown());
    EXPECT_FALSE(HotKeyHeld());
    SetRecall(main_, 0);
    EXPECT_FALSE(IconShown());
}

TEST_F(RecallTest, RemovalTakesAwayTheInstalledHotKeyAfterTheModeChanged)
{
    CurrentSettings.recallMode = 1;
    SetRecall(main_, 1);
    ASSERT_TRUE(HotKeyHeld());
    CurrentSettings.recallMode = 0;  // Setup dialog, or a failed save
    SetRecall(main_, 0);
    EXPECT_FALSE(HotKeyHeld());
}

TEST_F(RecallTest, RemovalTakesAwayTheInstalledIconAfterTheModeChanged)
{
    SetRecall(main_, 1);
    ASSERT_TRUE(IconShown());
    CurrentSettings.recallMode = 1;
    SetRecall(main_, 0);
    EXPECT_FALSE(IconShown());
}

TEST_F(RecallTest, InstallingAgainReplacesTheEarlierMethod)
{
    SetRecall(main_, 1);
    CurrentSettings.recallMode = 1;
    SetRecall(main_, 1);
    EXPECT_FALSE(IconShown());
    EXPECT_TRUE(HotKeyHeld());
    SetRecall(main_, 0);
    SetRecall(main_, 0);  // nothing left to remove: silent
    EXPECT_FALSE(HotKeyHeld());
}

}  // namespace
